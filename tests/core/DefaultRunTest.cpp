// A whole run of the worked default case.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "DefaultCase.h"
#include "core/classic/TensionIteration.h"
#include "core/model/InitialState.h"

namespace korvane {
namespace {

TEST(DefaultRun, APassThatEndsAtALimitKeepsItsOwnPointCount) {
  // Below zero the take-up speed makes the velocity limit negative: every pass ends at point 1,
  // clamped there, and its relative difference is negative, so the first pass is accepted.
  testing::Run run;
  run.Params.TakeUpSpeed = -833;
  InitialState(run.Params, *run.Profile, run.State);
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  ASSERT_TRUE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.Profile->ProfilePointCount, 115);
  EXPECT_EQ(run.Profile->PassPointCount, 2);
}

TEST(DefaultRun, ConvergesToTheTakeUpSpeed) {
  testing::Run run;
  InitialState(run.Params, *run.Profile, run.State);
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  ASSERT_TRUE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::None);
  const SpinningLineProfile& pr = *run.Profile;
  const int last = pr.ProfilePointCount - 1;
  ASSERT_EQ(last, 114);
  EXPECT_EQ(pr.PassPointCount, 115);
  EXPECT_LT(std::fabs(pr.ProfileYarnVelocity[last] - 833) / 833, 5e-5);
  ASSERT_EQ(run.Reporter.Messages.size(), 1u);
  EXPECT_EQ(run.Reporter.Messages[0], "NUMBER OF CALCULATION LOOP = " +
                                          std::to_string(run.State.Iteration.CalculationLoopCount));
  EXPECT_EQ(static_cast<int>(run.Reporter.Passes.size()), run.State.Iteration.CalculationLoopCount);
  // Where this case has converged since the core was written.
  EXPECT_EQ(run.State.Iteration.CalculationLoopCount, 11);
  EXPECT_NEAR(run.State.Iteration.TensionGuess, 3.2551685, 1e-6);
  EXPECT_EQ(pr.ProfileTension[0], run.State.Iteration.TensionGuess);

  for (int i = 1; i <= last; ++i) {
    // The filament is drawn and pulled harder all the way down; the gas cools.
    EXPECT_GT(pr.ProfileYarnVelocity[i], pr.ProfileYarnVelocity[i - 1]) << i;
    EXPECT_GT(pr.ProfileTension[i], 0) << i;
    EXPECT_LT(pr.ProfileGasTemp[i], pr.ProfileGasTemp[i - 1]) << i;
    EXPECT_GT(pr.ProfileElongViscosity[i], 0) << i;
    EXPECT_GT(pr.ProfileHeatTransfer[i], 0) << i;
    // The filament dries and the gas takes up its solvent, until near the end the cooling
    // filament comes close to equilibrium with the solvent-laden gas.
    if (pr.ProfileAvgSolvent[i - 1] > 0.03) {
      EXPECT_LT(pr.ProfileAvgSolvent[i], pr.ProfileAvgSolvent[i - 1]) << i;
      EXPECT_LE(pr.ProfileSurfaceSolvent[i], pr.ProfileAvgSolvent[i]) << i;
      EXPECT_GT(pr.ProfileGasSolventFraction[i], pr.ProfileGasSolventFraction[i - 1]) << i;
    }
  }
  EXPECT_LT(pr.ProfileAvgSolvent[last], 0.03);
  EXPECT_LT(pr.ProfileGasTemp[last], 140);
}

TEST(DefaultRun, RepeatedRunGivesTheSameProfile) {
  testing::Run run;
  InitialState(run.Params, *run.Profile, run.State);
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  const auto first = std::make_unique<SpinningLineProfile>(*run.Profile);
  InitialState(run.Params, *run.Profile, run.State);
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  EXPECT_TRUE(*first == *run.Profile);
}

}  // namespace
}  // namespace korvane
