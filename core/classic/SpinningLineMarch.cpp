#include "core/classic/SpinningLineMarch.h"

#include <cmath>

#include "core/classic/FilamentDiffusion.h"
#include "core/classic/FilamentEquations.h"
#include "core/classic/StepStart.h"
#include "core/model/ArithmeticFault.h"
#include "core/model/FilamentCrossSection.h"
#include "core/model/GasComposition.h"
#include "core/model/GasEnergyBalance.h"
#include "core/model/Power.h"
#include "core/model/PropertyCorrelations.h"
#include "core/model/PropertyLaws.h"
#include "core/model/WallHeatFlow.h"

namespace korvane {

namespace {

// The filament values a step stored at its end point i and its start point i - 1: every step
// that ran its filament equations leaves them, all of which must be numbers.
bool FilamentValuesFinite(const SpinningLineProfile& profile, int i) {
  const int s = i - 1;
  return std::isfinite(profile.ProfileAvgSolvent[i]) &&
         std::isfinite(profile.ProfileSurfaceSolvent[i]) &&
         std::isfinite(profile.ProfileYarnVelocity[i]) &&
         std::isfinite(profile.ProfileYarnTemp[i]) && std::isfinite(profile.ProfileTension[i]) &&
         std::isfinite(profile.ProfileElongViscosity[s]) &&
         std::isfinite(profile.ProfileFilamentHeatCoeff[s]) &&
         std::isfinite(profile.ProfileEvaporationFlux[s]);
}

// The gas values a complete step adds.
bool GasValuesFinite(const SpinningLineProfile& profile, int i) {
  const int s = i - 1;
  return std::isfinite(profile.ProfileGasTemp[i]) && std::isfinite(profile.ProfileGasVelocity[i]) &&
         std::isfinite(profile.ProfileGasSolventFraction[i]) &&
         std::isfinite(profile.ProfileHeatTransfer[s]);
}

// Ends the run when the step raised a fault flag or left a value that is not a number.
bool StepFaulted(RunOutcomeFlags& outcome, bool valuesFinite, double z) {
  FaultKind kind = FaultKindOf(RaisedFaultFlags());
  if (kind == FaultKind::None && valuesFinite) return false;
  if (kind == FaultKind::None) kind = FaultKind::InvalidOperation;
  RecordFault(outcome, kind, z);
  return true;
}

// A tension at or below zero, or a velocity beyond a limit (clamped to it), ends the pass at
// point i without its gas values.
bool EndsPassEarly(SpinningLineProfile& profile, const RunConstants& constants, int i) {
  if (profile.ProfileTension[i] <= 0) return true;
  if (profile.ProfileYarnVelocity[i] > constants.VelocityUpperLimit) {
    profile.ProfileYarnVelocity[i] = constants.VelocityUpperLimit;
    return true;
  }
  if (profile.ProfileYarnVelocity[i] < constants.VelocityLowerLimit) {
    profile.ProfileYarnVelocity[i] = constants.VelocityLowerLimit;
    return true;
  }
  return false;
}

}  // namespace

int MarchPass(SimulationContext& context) {
  const RunParameters& p = context.Params;
  SpinningLineProfile& profile = context.Profile;
  SimulationState& state = context.State;
  const RunConstants& constants = state.Constants;
  const int pointCount = profile.ProfilePointCount;
  if (pointCount < 2 || pointCount > profile.Capacity()) {
    state.Outcome.CalculationOk = false;
    return 0;
  }

  // Flags raised outside the core are none of this pass's faults.
  ClearFaultFlags();
  profile.ProfileTension[0] = state.Iteration.TensionGuess;
  for (int j = 0; j < constants.RadialNodeCount; ++j) {
    state.Scratch.CurrentRadialProfile[j] = p.InitialSolventFraction;
  }
  state.Scratch.GasVaporMassFlow = constants.GasSolventMassFlow;

  const double lineLength = profile.ProfileZ[pointCount - 1];
  const double insulation = InsulationCoefficient(p.InsulationHeatTransferCoeff);
  for (int i = 1; i < pointCount; ++i) {
    const int s = i - 1;
    const StepStart start = StepStartAt(profile, s);
    const double z = start.Z;
    const double dz = profile.ProfileZ[i] - z;

    if (RadialDiffusionStep(start, context) != StepStatus::Ok) return i + 1;

    double y[kGillCapacity] = {start.YarnVelocity, start.YarnTemp, start.Tension};
    if (GillStep(3, y, start, dz, context) != StepStatus::Ok) return i + 1;
    profile.ProfileYarnVelocity[i] = y[0];
    profile.ProfileYarnTemp[i] = y[1];
    profile.ProfileTension[i] = y[2];

    if (EndsPassEarly(profile, constants, i)) {
      StepFaulted(state.Outcome, FilamentValuesFinite(profile, i), z);
      return i + 1;
    }

    const GasComposition gas =
        GasCompositionAt(constants, p.SolventMolecularWeight, p.ColumnDiameter,
                         profile.ProfileAvgSolvent[i], start.GasTemp);
    profile.ProfileGasSolventFraction[i] = gas.SolventFraction;
    profile.ProfileGasVelocity[i] = gas.Velocity;

    const WallHeatExchange wall =
        WallHeatFlow(p, z, dz, lineLength, insulation, start.GasVelocity, start.GasTemp);
    profile.ProfileHeatTransfer[s] = wall.Coefficient;

    FilamentExchange filaments;
    filaments.Radius = FilamentRadius(FilamentCrossSection(
        constants.PolymerFlowRate, start.AvgSolvent, start.YarnVelocity, p.DopeDensity));
    filaments.EvaporationFlux = profile.ProfileEvaporationFlux[s];
    filaments.FilamentHeatCoeff = profile.ProfileFilamentHeatCoeff[s];
    filaments.YarnTemp = start.YarnTemp;
    profile.ProfileGasTemp[i] = GasEnergyBalance(p, constants, filaments, dz, wall.HeatFlow,
                                                 start.GasTemp, state.Scratch.GasVaporMassFlow);

    const bool finite = FilamentValuesFinite(profile, i) && GasValuesFinite(profile, i);
    if (StepFaulted(state.Outcome, finite, z)) return i + 1;
  }

  // Every step ran: the last point's elongational viscosity from its cross-section average,
  // and the wall coefficient of the step before it.
  const int last = pointCount - 1;
  if (GivesLaw(p, PropertyLaw::ZeroShearViscosity)) {
    const GuardSite site{state.Outcome, context.Reporter, profile.ProfileZ[last]};
    double eta0 = 0;
    if (EvaluatePropertyLaw(*p.Laws, PropertyLaw::ZeroShearViscosity, p,
                            profile.ProfileYarnTemp[last], profile.ProfileAvgSolvent[last], site,
                            eta0) != StepStatus::Ok)
      return pointCount;
    profile.ProfileElongViscosity[last] = 3 * eta0;
  } else {
    profile.ProfileElongViscosity[last] =
        3 * p.ViscosityParam1 * Power(1 - profile.ProfileAvgSolvent[last], p.ViscosityParam2) *
        std::exp(p.ViscosityParam3 / (profile.ProfileYarnTemp[last] + 273));
  }
  profile.ProfileHeatTransfer[last] = profile.ProfileHeatTransfer[last - 1];
  StepFaulted(state.Outcome,
              std::isfinite(profile.ProfileElongViscosity[last]) &&
                  std::isfinite(profile.ProfileHeatTransfer[last]),
              profile.ProfileZ[last]);
  return pointCount;
}

}  // namespace korvane
