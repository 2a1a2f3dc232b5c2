#include "core/model/FilmProperties.h"

#include "core/model/PropertyCorrelations.h"
#include "core/model/PropertyLaws.h"

namespace korvane {

StepStatus FilmTemperatureAndViscosity(const RunParameters& params, double t, double tg,
                                       const GuardSite& site, FilmProperties& film) {
  film.Temperature = (tg + t) / 2;
  if (GivesLaw(params, PropertyLaw::GasKinematicViscosity))
    return EvaluatePropertyLaw(*params.Laws, PropertyLaw::GasKinematicViscosity, params,
                               film.Temperature, 0, site, film.KinematicViscosity);
  film.KinematicViscosity = GasKinematicViscosity(params.GasKinViscosityParam1,
                                                  params.GasKinViscosityParam2, film.Temperature);
  return StepStatus::Ok;
}

StepStatus CompleteFilmProperties(const RunParameters& params, double area, double v, double t,
                                  double ug, FilmProperties& film, const GuardSite& site) {
  if (params.Laws != nullptr) {
    PropertyLaws& laws = *params.Laws;
    StepStatus status = StepStatus::Ok;
    if (laws.Gives(PropertyLaw::VaporPressure))
      status = EvaluatePropertyLaw(laws, PropertyLaw::VaporPressure, params, t, 0, site,
                                   film.VaporPressure);
    else
      film.VaporPressure = VaporPressure(params.VaporPressureParam1, params.VaporPressureParam2,
                                         params.VaporPressureParam3, t);
    if (status != StepStatus::Ok) return status;
    if (laws.Gives(PropertyLaw::GasConductivity))
      status = EvaluatePropertyLaw(laws, PropertyLaw::GasConductivity, params, film.Temperature, 0,
                                   site, film.Conductivity);
    else
      film.Conductivity = GasThermalConductivity(params.GasConductivityParam1,
                                                 params.GasConductivityParam2, film.Temperature);
    if (status != StepStatus::Ok) return status;
    return YarnHeatTransferCoefficient(area, v, film.KinematicViscosity, film.Conductivity, ug,
                                       site, film.HeatTransfer);
  }
  film.VaporPressure = VaporPressure(params.VaporPressureParam1, params.VaporPressureParam2,
                                     params.VaporPressureParam3, t);
  film.Conductivity = GasThermalConductivity(params.GasConductivityParam1,
                                             params.GasConductivityParam2, film.Temperature);
  return YarnHeatTransferCoefficient(area, v, film.KinematicViscosity, film.Conductivity, ug, site,
                                     film.HeatTransfer);
}

}  // namespace korvane
