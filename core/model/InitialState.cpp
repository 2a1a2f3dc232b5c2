#include "core/model/InitialState.h"

#include "core/model/ArithmeticFault.h"
#include "core/model/GasVelocity.h"

namespace korvane {

RunConstants RunWideConstants(const RunParameters& p) {
  RunConstants c;
  c.VelocityUpperLimit = 5 * p.TakeUpSpeed;
  // 0.8 times the extrusion velocity at the spinneret exit.
  c.VelocityLowerLimit = 0.8 * (p.DopeOutput / (p.DopeDensity * p.NozzleArea));
  c.PolymerFlowRate = (1 - p.InitialSolventFraction) * p.DopeOutput;
  // Normal gas volumes: 22.4 l/mol (80640 = 22.4 x 3600) and 1.293 kg/m3.
  c.GasMolarFlow = p.GasFlowRate * 1000 / 80640;
  c.GasMassFlow = p.GasFlowRate / 3600 * 1.293 * 1000;
  c.GasSolventMassFlow = c.GasMolarFlow * p.GasInitialSolventContent * p.SolventMolecularWeight;
  c.GasSolventMolarFlow = c.GasSolventMassFlow / p.SolventMolecularWeight;
  c.TotalPolymerFlow = (1 - p.InitialSolventFraction) * p.DopeOutput * p.FilamentCount;
  c.TotalSolventFlow =
      c.TotalPolymerFlow * p.InitialSolventFraction / (1 - p.InitialSolventFraction);
  c.RadialIntervals = 10;
  c.RadialNodeCount = c.RadialIntervals + 1;
  return c;
}

void InitialState(const RunParameters& params, SpinningLineProfile& profile,
                  SimulationState& state) {
  const RunParameters& p = params;
  ClearFaultFlags();
  state.Outcome.Fault = FloatingPointFault{};
  state.Outcome.Cancelled = false;
  state.Outcome.CalculationOk = true;

  state.Constants = RunWideConstants(p);
  const RunConstants& c = state.Constants;
  // Extrusion velocity at the spinneret exit.
  profile.ProfileYarnVelocity[0] = p.DopeOutput / (p.DopeDensity * p.NozzleArea);

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
  profile.ProfileGasTemp[0] = p.GasInitialTemp;
  profile.ProfileGasSolventFraction[0] =
      c.GasSolventMolarFlow / (c.GasSolventMolarFlow + c.GasMolarFlow);
  profile.ProfileGasVelocity[0] =
      GasVelocity(c.GasMolarFlow + c.GasSolventMolarFlow, p.ColumnDiameter, p.GasInitialTemp);

  for (int j = 0; j < c.RadialNodeCount; ++j) {
    profile.ProfileRadialSolvent[0][j] = p.InitialSolventFraction;
  }

  state.Iteration.CalculationLoopCount = 1;
  state.Iteration.TensionGuess = p.InitialTension;
  state.Iteration.TensionStep = 0.02 * state.Iteration.TensionGuess;
  state.Iteration.FineTensionStep = 0.1 * state.Iteration.TensionStep;

  const FaultKind kind = FaultKindOf(RaisedFaultFlags());
  if (kind != FaultKind::None) RecordFault(state.Outcome, kind, 0);
}

}  // namespace korvane
