// The gas film between a filament and the spinning gas, through which heat and solvent pass.
#pragma once

#include "core/model/ArithmeticFault.h"
#include "core/model/RunParameters.h"
#include "core/model/StepStatus.h"

namespace korvane {

struct FilmProperties {
  double Temperature = 0;         // tf = (tg + t) / 2, degC
  double KinematicViscosity = 0;  // nu(tf), cm2/s
  double VaporPressure = 0;       // Ps(t), in units of the total gas pressure
  double Conductivity = 0;        // lambda(tf), cal/(cm s degC)
  double HeatTransfer = 0;        // h(A, v, nu, lambda, ug), filament to gas, cal/(cm2 s degC)
};

// The film temperature tf = (tg + t) / 2 of a filament at t in gas at tg, and the gas's
// kinematic viscosity nu(tf) there. The other properties follow in CompleteFilmProperties, so
// that a caller may test nu in between. A law of the run that has no value ends the step at
// the site.
StepStatus FilmTemperatureAndViscosity(const RunParameters& params, double t, double tg,
                                       const GuardSite& site, FilmProperties& film);

// The vapour pressure Ps(t), the gas conductivity lambda(tf) and the heat-transfer coefficient
// h for a filament of cross-section A moving at v through gas moving at ug. h is guarded and
// reports a failure at the site, as does a law of the run that has no value.
StepStatus CompleteFilmProperties(const RunParameters& params, double area, double v, double t,
                                  double ug, FilmProperties& film, const GuardSite& site);

}  // namespace korvane
