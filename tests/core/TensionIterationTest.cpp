// The shooting iteration on the spinneret tension, driven by scripted end velocities, and a
// whole default run.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "DefaultCase.h"
#include "core/classic/TensionIteration.h"
#include "core/classic/TensionIterationLoop.h"
#include "core/model/InitialState.h"

namespace korvane {
namespace {

constexpr double kTakeUp = 100;

// Runs the iteration with end velocities from `velocityOf(pass number, tension)` and records
// the tension of every pass.
struct ScriptedIteration {
  explicit ScriptedIteration(double initialTension) {
    state.Iteration.CalculationLoopCount = 1;
    state.Iteration.TensionGuess = initialTension;
    state.Iteration.TensionStep = 0.02 * initialTension;
    state.Iteration.FineTensionStep = 0.1 * state.Iteration.TensionStep;
  }
  void Run(const std::function<double(int, double)>& velocityOf) {
    RunTensionIteration(kTakeUp, state, reporter, [&]() {
      tensions.push_back(state.Iteration.TensionGuess);
      return velocityOf(static_cast<int>(tensions.size()), state.Iteration.TensionGuess);
    });
  }
  SimulationState state;
  testing::RecordingReporter reporter;
  std::vector<double> tensions;
};

TEST(TensionIteration, FirstPassWithinToleranceEndsAtOnce) {
  ScriptedIteration it(3);
  it.Run([](int, double) { return kTakeUp * (1 + 4.9e-5); });
  EXPECT_TRUE(it.state.Outcome.CalculationOk);
  EXPECT_EQ(it.tensions.size(), 1u);
  ASSERT_EQ(it.reporter.Messages.size(), 1u);
  EXPECT_EQ(it.reporter.Messages[0], "NUMBER OF CALCULATION LOOP = 1");
  EXPECT_EQ(it.reporter.Passes, std::vector<int>{1});
}

TEST(TensionIteration, CoarseStepsUntilBracketedThenSecantsWithTheFineStep) {
  ScriptedIteration it(10);
  // Too slow twice, then too fast, then too fast again, then on target.
  const double script[] = {90, 95, 110, 120, kTakeUp};
  it.Run([&](int pass, double) { return script[pass - 1]; });
  ASSERT_EQ(it.tensions.size(), 5u);
  EXPECT_EQ(it.tensions[0], 10);
  EXPECT_EQ(it.tensions[1], 10 + 0.2);
  EXPECT_EQ(it.tensions[2], 10 + 0.2 + 0.2);
  // Secant through the latest low (pass 2) and high (pass 3) points.
  auto secant = [](double xLo, double fLo, double xHi, double fHi) {
    const double s = (fHi - fLo) / (xHi - xLo);
    return -(fHi - s * xHi) / s;
  };
  EXPECT_EQ(it.tensions[3], secant(it.tensions[1], -5, it.tensions[2], 10));
  EXPECT_NEAR(it.tensions[3], 10.2 + 0.2 / 3, 1e-12);
  // The latest low is still pass 2; the latest high is now pass 4, not the two latest passes.
  EXPECT_EQ(it.tensions[4], secant(it.tensions[1], -5, it.tensions[3], 20));
  EXPECT_EQ(it.state.Iteration.TensionStep, it.state.Iteration.FineTensionStep);
  EXPECT_TRUE(it.state.Outcome.CalculationOk);
  EXPECT_EQ(it.reporter.Messages.back(), "NUMBER OF CALCULATION LOOP = 5");
}

TEST(TensionIteration, TooFastPassesLowerTheTensionByTheCoarseStep) {
  ScriptedIteration it(5);
  it.Run([](int pass, double) { return pass < 4 ? 5 * kTakeUp : kTakeUp; });
  ASSERT_EQ(it.tensions.size(), 4u);
  EXPECT_EQ(it.tensions[1], 5 - 0.1);
  EXPECT_EQ(it.tensions[2], 5 - 0.1 - 0.1);
}

TEST(TensionIteration, EleventhSecantStartsANewCycle) {
  ScriptedIteration it(10);
  // Alternate sides for ever after the first pass: every pass from the second on brackets.
  it.Run([&](int pass, double) {
    if (pass == 15) return kTakeUp;
    return pass % 2 == 1 ? 90.0 : 110.0;
  });
  ASSERT_EQ(it.tensions.size(), 15u);
  // Passes 2..12 each gave a secant (11 of them); the 11th restarted the cycle, so pass 13
  // (too slow) sees one side only and steps up by the fine step; pass 14 (too fast) brackets.
  EXPECT_EQ(it.tensions[13], it.tensions[12] + it.state.Iteration.FineTensionStep);
  EXPECT_NE(it.tensions[12], it.tensions[11] + it.state.Iteration.FineTensionStep);
  EXPECT_EQ(it.reporter.Messages.back(), "NUMBER OF CALCULATION LOOP = 15");
}

TEST(TensionIteration, PassLimitAfter5001Passes) {
  ScriptedIteration it(0);  // both steps 0: every pass repeats the same tension
  it.Run([](int, double) { return 0.5 * kTakeUp; });
  EXPECT_EQ(it.tensions.size(), 5001u);
  EXPECT_FALSE(it.state.Outcome.CalculationOk);
  ASSERT_EQ(it.reporter.Messages.size(), 2u);
  EXPECT_EQ(it.reporter.Messages[0], "THIS CALCULATION DOES NOT CONVERGE!!");
  EXPECT_EQ(it.reporter.Messages[1], "NUMBER OF CALCULATION LOOP = 5001");
}

TEST(TensionIteration, The5001stPassIsStillTestedForConvergence) {
  ScriptedIteration it(0);
  it.Run([](int pass, double) { return pass == 5001 ? kTakeUp : 0.5 * kTakeUp; });
  EXPECT_TRUE(it.state.Outcome.CalculationOk);
  ASSERT_EQ(it.reporter.Messages.size(), 1u);
  EXPECT_EQ(it.reporter.Messages[0], "NUMBER OF CALCULATION LOOP = 5001");
}

TEST(TensionIteration, FailureInsideAPassEndsWithoutAMessage) {
  ScriptedIteration it(3);
  it.Run([&](int pass, double) {
    if (pass == 3) it.state.Outcome.CalculationOk = false;
    return 50.0;
  });
  EXPECT_EQ(it.tensions.size(), 3u);
  EXPECT_FALSE(it.state.Outcome.CalculationOk);
  EXPECT_TRUE(it.reporter.Messages.empty());
}

TEST(TensionIteration, CancelStopsWithoutAMessage) {
  ScriptedIteration it(3);
  it.reporter.CancelAfter = 4;
  it.Run([](int, double) { return 50.0; });
  EXPECT_EQ(it.tensions.size(), 4u);
  EXPECT_TRUE(it.state.Outcome.Cancelled);
  EXPECT_FALSE(it.state.Outcome.CalculationOk);
  EXPECT_TRUE(it.reporter.Messages.empty());
  EXPECT_EQ(it.reporter.Passes, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_DOUBLE_EQ(it.reporter.RelativeDifferences[0], 0.5);
}

TEST(TensionIteration, SecantThroughTwoPointsAtTheSameTensionIsADivisionByZeroFault) {
  ScriptedIteration it(3);
  it.state.Iteration.TensionStep = 0;  // the next pass repeats the tension
  it.Run([](int pass, double) { return pass == 1 ? 90.0 : 110.0; });
  EXPECT_EQ(it.tensions.size(), 2u);
  EXPECT_FALSE(it.state.Outcome.CalculationOk);
  EXPECT_EQ(it.state.Outcome.Fault.Kind, FaultKind::DivisionByZero);
  EXPECT_EQ(it.state.Outcome.Fault.Z, 0);
  EXPECT_TRUE(it.reporter.Messages.empty());
  EXPECT_TRUE(std::isfinite(it.state.Iteration.TensionGuess));
}

TEST(TensionIteration, ZeroInitialTensionWithTheRealMarch) {
  testing::Run run;
  run.Params.InitialTension = 0;
  InitialState(run.Params, *run.Profile, run.State);
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.State.Iteration.CalculationLoopCount, 5001);
  EXPECT_EQ(run.Reporter.Passes.size(), 5001u);
  ASSERT_EQ(run.Reporter.Messages.size(), 2u);
  EXPECT_EQ(run.Reporter.Messages[0], "THIS CALCULATION DOES NOT CONVERGE!!");
  EXPECT_EQ(run.Reporter.Messages[1], "NUMBER OF CALCULATION LOOP = 5001");
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::None);
}

}  // namespace
}  // namespace korvane
