// The filament's balance equations along the line (velocity, temperature, tension) and the
// Runge-Kutta-Gill step that advances them over one axial step.
#pragma once

#include "core/classic/StepStart.h"
#include "core/model/StepStatus.h"
#include "core/results/SimulationContext.h"

namespace korvane {

// Room for the state vector of the Gill step.
inline constexpr int kGillCapacity = 10;

// What an evaluation of the filament equations gives besides the derivatives.
struct FilamentStageOutputs {
  double HeatTransfer = 0;     // filament to gas, cal/(cm2 s degC)
  double EvaporationFlux = 0;  // mol/(cm2 s), positive when solvent leaves the filament
};

// dY/dz for Y = (velocity, temperature, tension) in a step from `start`, whose gas side and
// solvent content hold over the step. Writes ProfileElongViscosity at the start point. z does
// not enter: the equations do not depend on the position itself. Refused or Fault (after the
// message, or with the fault recorded at the start's position) when a guarded step fails.
StepStatus FilamentDerivatives(const double* y, double z, double* dy, FilamentStageOutputs& outputs,
                               const StepStart& start, SimulationContext& context);

// One Runge-Kutta-Gill step of n equations from z to z + dz. `derivatives(y, z, dy)` gives
// dy/dz at (y, z) and returns false to stop the step at once (y is then partly advanced).
template <typename Derivatives>
bool GillStep(int n, double* y, double z, double dz, Derivatives&& derivatives) {
  double f[kGillCapacity];
  double q[kGillCapacity];
  if (!derivatives(y, z, f)) return false;
  for (int e = 0; e < n; ++e) {
    const double k = dz * f[e];
    y[e] = y[e] + 0.5 * k;
    q[e] = k;
  }
  if (!derivatives(y, z + 0.5 * dz, f)) return false;
  for (int e = 0; e < n; ++e) {
    const double k = dz * f[e];
    y[e] = y[e] + 0.29289321881 * (k - q[e]);
    q[e] = 0.58578643763 * k + 0.12132034356 * q[e];
  }
  if (!derivatives(y, z + 0.5 * dz, f)) return false;
  for (int e = 0; e < n; ++e) {
    const double k = dz * f[e];
    y[e] = y[e] + 1.7071067812 * (k - q[e]);
    q[e] = 3.4142135624 * k - 4.1213203436 * q[e];
  }
  if (!derivatives(y, z + dz, f)) return false;
  for (int e = 0; e < n; ++e) {
    const double k = dz * f[e];
    y[e] = y[e] + k / 6 - q[e] / 3;
  }
  return true;
}

// The march's step: advances Y = (velocity, temperature, tension) from `start` over dz with
// FilamentDerivatives and stores the heat-transfer coefficient and evaporation flux of the last
// evaluation at the start point.
StepStatus GillStep(int n, double* y, const StepStart& start, double dz,
                    SimulationContext& context);

}  // namespace korvane
