#include "core/model/FilmProperties.h"

#include "core/model/PropertyCorrelations.h"

namespace korvane {

FilmProperties FilmTemperatureAndViscosity(const RunParameters& params, double t, double tg) {
  FilmProperties film;
  film.Temperature = (tg + t) / 2;
  film.KinematicViscosity = GasKinematicViscosity(params.GasKinViscosityParam1,
                                                  params.GasKinViscosityParam2, film.Temperature);
  return film;
}

StepStatus CompleteFilmProperties(const RunParameters& params, double area, double v, double t,
                                  double ug, FilmProperties& film, const GuardSite& site) {
  film.VaporPressure = VaporPressure(params.VaporPressureParam1, params.VaporPressureParam2,
                                     params.VaporPressureParam3, t);
  film.Conductivity = GasThermalConductivity(params.GasConductivityParam1,
                                             params.GasConductivityParam2, film.Temperature);
  return YarnHeatTransferCoefficient(area, v, film.KinematicViscosity, film.Conductivity, ug, site,
                                     film.HeatTransfer);
}

}  // namespace korvane
