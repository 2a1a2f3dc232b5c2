#include "core/SpinningLineMarch.h"

#include <cmath>

#include "core/ArithmeticFault.h"
#include "core/FilamentDiffusion.h"
#include "core/FilamentEquations.h"
#include "core/Power.h"
#include "core/PropertyCorrelations.h"

namespace korvane {

namespace {

// Prandtl number and viscosity of the gas at the jacketed wall.
constexpr double kWallGasPrandtl = 0.675;
constexpr double kWallGasViscosity = 0.00024;  // g/(cm s)

// After a failed guarded step: an unguarded fault that came first still lacks its position.
void PlaceFault(SimulationState& state, double z) {
  if (state.Fault.Kind != FaultKind::None) state.Fault.Z = z;
}

// The values a step stored, all of which must be numbers.
bool StepValuesFinite(const SpinningLineProfile& profile, int i) {
  const int s = i - 1;
  return std::isfinite(profile.ProfileAvgSolvent[i]) &&
         std::isfinite(profile.ProfileSurfaceSolvent[i]) &&
         std::isfinite(profile.ProfileYarnVelocity[i]) &&
         std::isfinite(profile.ProfileYarnTemp[i]) && std::isfinite(profile.ProfileTension[i]) &&
         std::isfinite(profile.ProfileGasTemp[i]) && std::isfinite(profile.ProfileGasVelocity[i]) &&
         std::isfinite(profile.ProfileGasSolventFraction[i]) &&
         std::isfinite(profile.ProfileElongViscosity[s]) &&
         std::isfinite(profile.ProfileHeatTransfer[s]) &&
         std::isfinite(profile.ProfileFilamentHeatCoeff[s]) &&
         std::isfinite(profile.ProfileEvaporationFlux[s]);
}

// Ends the run when the step raised a fault flag or left a value that is not a number.
bool StepFaulted(SimulationState& state, bool valuesFinite, double z) {
  FaultKind kind = FaultKindOf(RaisedFaultFlags());
  if (kind == FaultKind::None && valuesFinite) return false;
  if (kind == FaultKind::None) kind = FaultKind::InvalidOperation;
  RecordFault(state, kind, z);
  return true;
}

}  // namespace

int MarchPass(SimulationContext& context) {
  const RunParameters& p = context.Params;
  SpinningLineProfile& profile = context.Profile;
  SimulationState& state = context.State;
  const int pointCount = profile.ProfilePointCount;
  if (pointCount < 2 || pointCount > profile.Capacity()) {
    state.CalculationOk = false;
    return 0;
  }

  // Flags raised outside the core are none of this pass's faults.
  ClearFaultFlags();
  profile.ProfileTension[0] = state.TensionGuess;
  for (int j = 0; j < state.RadialNodeCount; ++j) {
    state.CurrentRadialProfile[j] = p.InitialSolventFraction;
  }
  state.GasVaporMassFlow = state.GasSolventMassFlow;

  const double lineLength = profile.ProfileZ[pointCount - 1];
  const double insulation = InsulationCoefficient(p.InsulationHeatTransferCoeff);
  for (int i = 1; i < pointCount; ++i) {
    const int s = i - 1;
    const double z = profile.ProfileZ[s];
    const double dz = profile.ProfileZ[i] - z;
    state.CurrentPointIndex = s;

    RadialDiffusionStep(i, context);
    if (!state.CalculationOk) {
      PlaceFault(state, z);
      return i + 1;
    }

    double y[kGillCapacity] = {profile.ProfileYarnVelocity[s], profile.ProfileYarnTemp[s],
                               profile.ProfileTension[s]};
    if (!GillStep(3, y, z, dz, context)) {
      PlaceFault(state, z);
      return i + 1;
    }
    profile.ProfileYarnVelocity[i] = y[0];
    profile.ProfileYarnTemp[i] = y[1];
    profile.ProfileTension[i] = y[2];

    // A tension at or below zero, or a velocity beyond a limit (clamped to it), ends the pass
    // at this point without its gas values.
    bool endsHere = false;
    if (profile.ProfileTension[i] <= 0) {
      endsHere = true;
    } else if (profile.ProfileYarnVelocity[i] > state.VelocityUpperLimit) {
      profile.ProfileYarnVelocity[i] = state.VelocityUpperLimit;
      endsHere = true;
    } else if (profile.ProfileYarnVelocity[i] < state.VelocityLowerLimit) {
      profile.ProfileYarnVelocity[i] = state.VelocityLowerLimit;
      endsHere = true;
    }
    if (endsHere) {
      const bool finite = std::isfinite(profile.ProfileAvgSolvent[i]) &&
                          std::isfinite(profile.ProfileSurfaceSolvent[i]) &&
                          std::isfinite(profile.ProfileYarnVelocity[i]) &&
                          std::isfinite(profile.ProfileYarnTemp[i]) &&
                          std::isfinite(profile.ProfileTension[i]) &&
                          std::isfinite(profile.ProfileElongViscosity[s]) &&
                          std::isfinite(profile.ProfileFilamentHeatCoeff[s]) &&
                          std::isfinite(profile.ProfileEvaporationFlux[s]);
      StepFaulted(state, finite, z);
      return i + 1;
    }

    // Gas composition and velocity from the overall solvent balance.
    const double tgStart = profile.ProfileGasTemp[s];
    const double w = profile.ProfileAvgSolvent[i];
    const double solventInFilaments = state.TotalPolymerFlow * w / (1 - w);
    const double evaporated =
        (state.TotalSolventFlow - solventInFilaments) / p.SolventMolecularWeight;
    profile.ProfileGasSolventFraction[i] =
        (evaporated + state.GasSolventMolarFlow) /
        (evaporated + state.GasSolventMolarFlow + state.GasMolarFlow);
    profile.ProfileGasVelocity[i] =
        (state.GasMolarFlow + evaporated + state.GasSolventMolarFlow) * 22.4 * 1000 /
        (0.78539816339744831 * Power(p.ColumnDiameter, 2)) * (273 + tgStart) / 273;

    // Column wall: the zone of the start point; the upper zone is insulated towards the room,
    // each jacket zone either jacketed or insulated towards its own jacket temperature.
    double outside = 0;
    if (z < p.JacketUpperPos[0]) {
      profile.ProfileHeatTransfer[s] = insulation;
      outside = p.RoomTemp;
    } else {
      const int jacket = z < p.JacketUpperPos[1] ? 0 : z < p.JacketUpperPos[2] ? 1 : 2;
      if (p.JacketMode[jacket] == '1') {
        profile.ProfileHeatTransfer[s] =
            WallHeatTransferCoefficient(lineLength, p.ColumnDiameter, profile.ProfileGasVelocity[s],
                                        kWallGasPrandtl, p.JacketTemp[jacket], tgStart,
                                        273 / (tgStart + 273) * 1.293 * 0.001, kWallGasViscosity);
      } else {
        profile.ProfileHeatTransfer[s] = insulation;
      }
      outside = p.JacketTemp[jacket];
    }
    const double wallHeat =
        profile.ProfileHeatTransfer[s] * kPi * p.ColumnDiameter * dz * (outside - tgStart);

    // Energy balance of the gas over the step.
    const double area = state.PolymerFlowRate / ((1 - profile.ProfileAvgSolvent[s]) *
                                                 profile.ProfileYarnVelocity[s] * p.DopeDensity);
    const double radius = std::sqrt(area / kPi);
    const double evaporatedMass = profile.ProfileEvaporationFlux[s] * 2 * kPi * radius * dz *
                                  p.FilamentCount * p.SolventMolecularWeight;
    const double latentHeat = evaporatedMass * p.HeatOfVaporization / p.SolventMolecularWeight;
    const double convection = profile.ProfileFilamentHeatCoeff[s] * 2 * kPi * radius * dz *
                              (tgStart - profile.ProfileYarnTemp[s]) * p.FilamentCount;
    const double heatBefore =
        (p.GasSpecificHeat * state.GasMassFlow + p.VaporSpecificHeat * state.GasVaporMassFlow) /
        (state.GasMassFlow + state.GasVaporMassFlow);
    const double enthalpy = (state.GasMassFlow + state.GasVaporMassFlow) * heatBefore * tgStart;
    state.GasVaporMassFlow = state.GasVaporMassFlow + evaporatedMass;
    const double heatAfter =
        (p.GasSpecificHeat * state.GasMassFlow + p.VaporSpecificHeat * state.GasVaporMassFlow) /
        (state.GasMassFlow + state.GasVaporMassFlow);
    profile.ProfileGasTemp[i] = (wallHeat + enthalpy + latentHeat - convection) /
                                ((state.GasMassFlow + state.GasVaporMassFlow) * heatAfter);

    if (StepFaulted(state, StepValuesFinite(profile, i), z)) return i + 1;
  }

  // Every step ran: the last point's elongational viscosity from its cross-section average,
  // and the wall coefficient of the step before it.
  const int last = pointCount - 1;
  profile.ProfileElongViscosity[last] =
      3 * p.ViscosityParam1 * Power(1 - profile.ProfileAvgSolvent[last], p.ViscosityParam2) *
      std::exp(p.ViscosityParam3 / (profile.ProfileYarnTemp[last] + 273));
  profile.ProfileHeatTransfer[last] = profile.ProfileHeatTransfer[last - 1];
  StepFaulted(state,
              std::isfinite(profile.ProfileElongViscosity[last]) &&
                  std::isfinite(profile.ProfileHeatTransfer[last]),
              profile.ProfileZ[last]);
  return pointCount;
}

}  // namespace korvane
