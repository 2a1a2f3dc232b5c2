// One pass of the march: the tests that end a pass early, the wall zones, the end-of-pass
// fill, and the floating-point faults of the unguarded balances.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "DefaultCase.h"
#include "core/classic/SpinningLineMarch.h"
#include "core/model/InitialState.h"
#include "core/model/PropertyCorrelations.h"

namespace korvane {
namespace {

// The spinneret tension with which the default case meets the take-up speed.
constexpr double kDefaultTension = 3.2551684;

class March : public ::testing::Test {
 protected:
  int Pass(double tension) {
    InitialState(run.Params, *run.Profile, run.State);
    run.State.Outcome.CalculationOk = true;
    run.State.Iteration.TensionGuess = tension;
    return MarchPass(run.Context);
  }
  testing::Run run;
};

TEST_F(March, FullPassFillsEveryPoint) {
  EXPECT_EQ(Pass(kDefaultTension), 115);
  const SpinningLineProfile& pr = *run.Profile;
  EXPECT_TRUE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(pr.ProfileTension[0], kDefaultTension);
  EXPECT_NEAR(pr.ProfileYarnVelocity[114], 833, 0.1);
  // The end-of-pass fill: the cross-section average viscosity and the previous wall coefficient.
  const RunParameters& p = run.Params;
  EXPECT_EQ(pr.ProfileHeatTransfer[114], pr.ProfileHeatTransfer[113]);
  const double expected = 3 * p.ViscosityParam1 *
                          std::pow(1 - pr.ProfileAvgSolvent[114], p.ViscosityParam2) *
                          std::exp(p.ViscosityParam3 / (pr.ProfileYarnTemp[114] + 273));
  EXPECT_NEAR(pr.ProfileElongViscosity[114], expected, 1e-12 * expected);
  EXPECT_TRUE(run.Reporter.Messages.empty());
}

TEST_F(March, EveryPassStartsFromAUniformRadialProfile) {
  Pass(kDefaultTension);
  auto first = std::make_unique<SpinningLineProfile>(*run.Profile);
  MarchPass(run.Context);  // CurrentRadialProfile holds the last point's profile now
  EXPECT_TRUE(*first == *run.Profile);
}

TEST_F(March, TensionAtOrBelowZeroEndsThePassWithoutGasValues) {
  SpinningLineProfile& pr = *run.Profile;
  pr.ProfileGasTemp[1] = -999;
  pr.ProfileHeatTransfer[0] = -999;
  EXPECT_EQ(Pass(0), 2);
  EXPECT_LE(pr.ProfileTension[1], 0);
  EXPECT_EQ(pr.ProfileGasTemp[1], -999);
  EXPECT_EQ(pr.ProfileHeatTransfer[0], -999);
  EXPECT_GT(pr.ProfileElongViscosity[0], 0);  // written by the step itself
  EXPECT_TRUE(run.State.Outcome.CalculationOk);
}

TEST_F(March, VelocityAboveTheUpperLimitIsClampedAndEndsThePass) {
  const int reached = Pass(200);
  ASSERT_LT(reached, 115);
  EXPECT_EQ(run.Profile->ProfileYarnVelocity[reached - 1], 5 * 833.0);
  EXPECT_TRUE(run.State.Outcome.CalculationOk);
}

TEST_F(March, VelocityBelowTheLowerLimitIsClampedAndEndsThePass) {
  // A negative viscosity coefficient makes the filament slow down under tension.
  run.Params.ViscosityParam1 = -5512.3;
  EXPECT_EQ(Pass(30), 2);
  EXPECT_EQ(run.Profile->ProfileYarnVelocity[1], run.State.Constants.VelocityLowerLimit);
  EXPECT_GT(run.Profile->ProfileTension[1], 0);
}

TEST_F(March, JacketZoneStartsAtItsUpperPosition) {
  run.Params.JacketMode[0] = '1';
  ASSERT_EQ(Pass(kDefaultTension), 115);
  const SpinningLineProfile& pr = *run.Profile;
  const RunParameters& p = run.Params;
  ASSERT_EQ(pr.ProfileZ[84], 400);
  const double insulation = InsulationCoefficient(p.InsulationHeatTransferCoeff);
  EXPECT_EQ(pr.ProfileHeatTransfer[83], insulation);
  const double tg = pr.ProfileGasTemp[84];
  const double wall = WallHeatTransferCoefficient(700, 40, pr.ProfileGasVelocity[84], 0.675, 30, tg,
                                                  273 / (tg + 273) * 1.293 * 0.001, 0.00024);
  EXPECT_EQ(pr.ProfileHeatTransfer[84], wall);
  EXPECT_NE(wall, insulation);
}

TEST_F(March, InsulatedJacketLosesHeatTowardsItsJacketTemperature) {
  ASSERT_EQ(Pass(kDefaultTension), 115);
  const double coolJacket = run.Profile->ProfileGasTemp[100];
  run.Params.JacketTemp[0] = 400;  // insulated jacket 1, the room stays at 30
  ASSERT_EQ(Pass(kDefaultTension), 115);
  const SpinningLineProfile& pr = *run.Profile;
  EXPECT_GT(pr.ProfileGasTemp[100], coolJacket);
  // Above jacket 1 the room temperature holds: the same as before up to the jacket.
  run.Params.JacketTemp[0] = 30;
  auto before = std::make_unique<SpinningLineProfile>();
  Pass(kDefaultTension);
  *before = *run.Profile;
  run.Params.JacketTemp[0] = 400;
  Pass(kDefaultTension);
  EXPECT_EQ(pr.ProfileGasTemp[84], before->ProfileGasTemp[84]);
  EXPECT_NE(pr.ProfileGasTemp[85], before->ProfileGasTemp[85]);
}

TEST_F(March, RefusesAGridWithoutSteps) {
  InitialState(run.Params, *run.Profile, run.State);
  run.State.Outcome.CalculationOk = true;
  run.Profile->ProfilePointCount = 1;
  run.Profile->ProfileTension[0] = -1;
  EXPECT_EQ(MarchPass(run.Context), 0);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.Profile->ProfileTension[0], -1);
}

TEST_F(March, LargestGridRunsThrough) {
  for (int s = 0; s < kSectionCount; ++s) run.Params.IncrementCount[s] = 0;
  run.Params.Increment[0] = 0.35;
  run.Params.IncrementCount[0] = 2000;
  EXPECT_EQ(Pass(kDefaultTension), 2001);
  EXPECT_TRUE(run.State.Outcome.CalculationOk);
  // The finer steps give a slower line for the same tension: the march holds the solvent
  // content and the gas at each step's start, so its result depends on the step length.
  EXPECT_GT(run.Profile->ProfileYarnVelocity[2000], 2 * run.Profile->ProfileYarnVelocity[0]);
  EXPECT_LT(run.Profile->ProfileYarnVelocity[2000], 833);
}

// Faults in the unguarded balances end the run with their kind and the step's start point.
TEST_F(March, NegativeAbsoluteWallTemperatureIsAnInvalidOperationFault) {
  run.Params.JacketMode[0] = '1';
  run.Params.JacketTemp[0] = -400;  // the temperature ratio has no square root
  Pass(kDefaultTension);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::InvalidOperation);
  EXPECT_EQ(run.State.Outcome.Fault.Z, 400);
  EXPECT_TRUE(run.Reporter.Messages.empty());
}

TEST_F(March, ZeroHeatToMassTransferRatioIsADivisionByZeroFault) {
  run.Params.SolventGasHKRatio = 0;
  Pass(kDefaultTension);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::DivisionByZero);
  EXPECT_EQ(run.State.Outcome.Fault.Z, 0);
  EXPECT_TRUE(run.Reporter.Messages.empty());
}

TEST_F(March, ViscosityExponentialBeyondRangeIsAnOverflowFault) {
  run.Params.ViscosityParam3 = 3e5;
  Pass(kDefaultTension);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::Overflow);
  EXPECT_EQ(run.State.Outcome.Fault.Z, 0);
  EXPECT_TRUE(run.Reporter.Messages.empty());
}

TEST_F(March, GuardedFailureEndsThePassWithItsMessage) {
  // A gas kinematic viscosity below zero at the film temperature: the diffusion step does not
  // test its sign, so the heat-transfer power of that step fails first.
  run.Params.GasKinViscosityParam1 = -0.001;
  EXPECT_EQ(Pass(kDefaultTension), 2);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::None);
  ASSERT_EQ(run.Reporter.Messages.size(), 1u);
  EXPECT_EQ(run.Reporter.Messages[0], "Sorry, this case does not converge!!!!");
}

}  // namespace
}  // namespace korvane
