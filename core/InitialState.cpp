#include "core/InitialState.h"

#include "core/ArithmeticFault.h"
#include "core/Power.h"

namespace korvane {

void InitialState(const RunParameters& params, SpinningLineProfile& profile,
                  SimulationState& state) {
  const RunParameters& p = params;
  ClearFaultFlags();
  state.Fault = FloatingPointFault{};
  state.Cancelled = false;
  state.CalculationOk = true;

  state.VelocityUpperLimit = 5 * p.TakeUpSpeed;
  // Extrusion velocity at the spinneret exit.
  profile.ProfileYarnVelocity[0] = p.DopeOutput / (p.DopeDensity * p.NozzleArea);
  state.VelocityLowerLimit = 0.8 * profile.ProfileYarnVelocity[0];

  int32_t pointCount = 1;
  for (int s = 0; s < kSectionCount; ++s) pointCount += p.IncrementCount[s];
  profile.ProfilePointCount = pointCount;

  // The axial grid by successive addition of the section increments. The profile never takes
  // more points than it has room for, whatever the counts (the caller refuses such counts).
  profile.ProfileZ[0] = 0;
  int point = 0;
  for (int s = 0; s < kSectionCount; ++s) {
    for (int32_t k = 0; k < p.IncrementCount[s] && point + 1 < profile.Capacity(); ++k) {
      profile.ProfileZ[point + 1] = profile.ProfileZ[point] + p.Increment[s];
      ++point;
    }
  }

  profile.ProfileAvgSolvent[0] = p.InitialSolventFraction;
  profile.ProfileYarnTemp[0] = p.DopeInitialTemp;
  profile.ProfileSurfaceSolvent[0] = p.InitialSolventFraction;
  state.PolymerFlowRate = (1 - p.InitialSolventFraction) * p.DopeOutput;
  profile.ProfileGasTemp[0] = p.GasInitialTemp;
  // Normal gas volumes: 22.4 l/mol (80640 = 22.4 x 3600) and 1.293 kg/m3.
  state.GasMolarFlow = p.GasFlowRate * 1000 / 80640;
  state.GasMassFlow = p.GasFlowRate / 3600 * 1.293 * 1000;
  state.GasSolventMassFlow =
      state.GasMolarFlow * p.GasInitialSolventContent * p.SolventMolecularWeight;
  state.GasSolventMolarFlow = state.GasSolventMassFlow / p.SolventMolecularWeight;
  state.TotalPolymerFlow = (1 - p.InitialSolventFraction) * p.DopeOutput * p.FilamentCount;
  state.TotalSolventFlow =
      state.TotalPolymerFlow * p.InitialSolventFraction / (1 - p.InitialSolventFraction);
  profile.ProfileGasSolventFraction[0] =
      state.GasSolventMolarFlow / (state.GasSolventMolarFlow + state.GasMolarFlow);
  // Gas volume at 0 degC over the column cross-section, scaled to the gas temperature.
  profile.ProfileGasVelocity[0] = (state.GasMolarFlow + state.GasSolventMolarFlow) * 22.4 * 1000 /
                                  (0.78539816339744831 * Power(p.ColumnDiameter, 2)) *
                                  (273 + p.GasInitialTemp) / 273;

  state.RadialIntervals = 10;
  state.RadialNodeCount = state.RadialIntervals + 1;
  for (int j = 0; j < state.RadialNodeCount; ++j) {
    profile.ProfileRadialSolvent[0][j] = p.InitialSolventFraction;
  }

  state.CalculationLoopCount = 1;
  state.TensionGuess = p.InitialTension;
  state.TensionStep = 0.02 * state.TensionGuess;
  state.FineTensionStep = 0.1 * state.TensionStep;

  const FaultKind kind = FaultKindOf(RaisedFaultFlags());
  if (kind != FaultKind::None) RecordFault(state, kind, 0);
}

}  // namespace korvane
