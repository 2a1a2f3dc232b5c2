// The state at the spinneret and the run-wide values of the default case, and the faults of
// inputs the initial state can not work with.
#include <gtest/gtest.h>

#include "DefaultCase.h"
#include "core/classic/TensionIteration.h"
#include "core/model/InitialState.h"

namespace korvane {
namespace {

TEST(InitialState, DefaultCaseFigures) {
  testing::Run run;
  InitialState(run.Params, *run.Profile, run.State);
  const SpinningLineProfile& pr = *run.Profile;
  const SimulationState& st = run.State;
  EXPECT_EQ(st.Outcome.Fault.Kind, FaultKind::None);
  EXPECT_EQ(pr.ProfilePointCount, 115);
  EXPECT_EQ(pr.ProfileZ[0], 0);
  EXPECT_NEAR(pr.ProfileZ[30], 60, 1e-12);
  EXPECT_NEAR(pr.ProfileZ[70], 260, 1e-12);
  EXPECT_NEAR(pr.ProfileZ[114], 700, 1e-12);
  EXPECT_NEAR(pr.ProfileYarnVelocity[0], 109.2357, 0.00005);
  EXPECT_NEAR(st.Constants.VelocityLowerLimit, 87.3885, 0.00005);
  EXPECT_EQ(st.Constants.VelocityUpperLimit, 4165);
  EXPECT_NEAR(st.Constants.PolymerFlowRate, 0.009261, 0.0000005);
  EXPECT_NEAR(st.Constants.GasMolarFlow, 0.5332341, 0.00000005);
  EXPECT_NEAR(st.Constants.GasMassFlow, 15.44417, 0.000005);
  EXPECT_NEAR(pr.ProfileGasVelocity[0], 18.2094, 0.00005);
  EXPECT_NEAR(st.Constants.TotalPolymerFlow, 0.009261 * 48, 1e-12);
  EXPECT_NEAR(st.Constants.TotalSolventFlow, 0.0343 * 0.73 * 48, 1e-12);
  // The gas enters dry.
  EXPECT_EQ(st.Constants.GasSolventMassFlow, 0);
  EXPECT_EQ(st.Constants.GasSolventMolarFlow, 0);
  EXPECT_EQ(pr.ProfileGasSolventFraction[0], 0);
  EXPECT_EQ(pr.ProfileAvgSolvent[0], 0.73);
  EXPECT_EQ(pr.ProfileSurfaceSolvent[0], 0.73);
  EXPECT_EQ(pr.ProfileYarnTemp[0], 80);
  EXPECT_EQ(pr.ProfileGasTemp[0], 250);
  for (int j = 0; j < 11; ++j) EXPECT_EQ(pr.ProfileRadialSolvent[0][j], 0.73);
  EXPECT_EQ(st.Constants.RadialIntervals, 10);
  EXPECT_EQ(st.Constants.RadialNodeCount, 11);
  EXPECT_EQ(st.Iteration.CalculationLoopCount, 1);
  EXPECT_EQ(st.Iteration.TensionGuess, 3.0);
  EXPECT_EQ(st.Iteration.TensionStep, 0.02 * 3.0);
  EXPECT_EQ(st.Iteration.FineTensionStep, 0.1 * (0.02 * 3.0));
}

TEST(InitialState, GasWithSolventAndEmptySections) {
  testing::Run run;
  run.Params.GasInitialSolventContent = 0.05;
  run.Params.Increment[3] = 123;  // sections with no steps add no points
  InitialState(run.Params, *run.Profile, run.State);
  const SimulationState& st = run.State;
  EXPECT_NEAR(st.Constants.GasSolventMolarFlow, st.Constants.GasMolarFlow * 0.05, 1e-15);
  EXPECT_NEAR(run.Profile->ProfileGasSolventFraction[0], 0.05 / 1.05, 1e-15);
  EXPECT_EQ(run.Profile->ProfilePointCount, 115);
  EXPECT_NEAR(run.Profile->ProfileZ[114], 700, 1e-12);
}

TEST(InitialState, OnlyThePointsOfTheGridAreLaidOut) {
  testing::Run run;
  run.Profile->ProfileZ[115] = -1;
  InitialState(run.Params, *run.Profile, run.State);
  EXPECT_EQ(run.Profile->ProfileZ[115], -1);
  for (int s = 0; s < kSectionCount; ++s) run.Params.IncrementCount[s] = 0;
  InitialState(run.Params, *run.Profile, run.State);
  EXPECT_EQ(run.Profile->ProfilePointCount, 1);
}

struct FaultCase {
  const char* Name;
  void (*Change)(RunParameters&);
  FaultKind Kind;
};

class InitialStateFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(InitialStateFault, EndsTheRunWithoutAMessage) {
  testing::Run run;
  GetParam().Change(run.Params);
  InitialState(run.Params, *run.Profile, run.State);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.State.Outcome.Fault.Kind, GetParam().Kind);
  EXPECT_EQ(run.State.Outcome.Fault.Z, 0);
  // The iteration does not start after a faulted initial state.
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_TRUE(run.Reporter.Messages.empty());
  EXPECT_TRUE(run.Reporter.Passes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, InitialStateFault,
    ::testing::Values(FaultCase{"ZeroDopeDensity", [](RunParameters& p) { p.DopeDensity = 0; },
                                FaultKind::DivisionByZero},
                      FaultCase{"ZeroNozzleArea", [](RunParameters& p) { p.NozzleArea = 0; },
                                FaultKind::DivisionByZero},
                      FaultCase{"SolventOnly",
                                [](RunParameters& p) { p.InitialSolventFraction = 1; },
                                FaultKind::InvalidOperation},
                      FaultCase{"ZeroSolventMolecularWeight",
                                [](RunParameters& p) { p.SolventMolecularWeight = 0; },
                                FaultKind::InvalidOperation},
                      FaultCase{"ZeroColumnDiameter",
                                [](RunParameters& p) { p.ColumnDiameter = 0; },
                                FaultKind::DivisionByZero},
                      FaultCase{"NoGas", [](RunParameters& p) { p.GasFlowRate = 0; },
                                FaultKind::InvalidOperation}),
    [](const ::testing::TestParamInfo<FaultCase>& test) { return test.param.Name; });

TEST(InitialState, ANewRunForgetsTheFaultOfTheLastOne) {
  testing::Run run;
  run.Params.DopeDensity = 0;
  InitialState(run.Params, *run.Profile, run.State);
  ASSERT_NE(run.State.Outcome.Fault.Kind, FaultKind::None);
  run.Params.DopeDensity = 1;
  InitialState(run.Params, *run.Profile, run.State);
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::None);
}

}  // namespace
}  // namespace korvane
