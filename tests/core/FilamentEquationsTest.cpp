// The Runge-Kutta-Gill step against equations with known solutions, and the filament
// equations' own rules and guarded failures.
#include <gtest/gtest.h>

#include <cmath>

#include "DefaultCase.h"
#include "core/classic/FilamentEquations.h"
#include "core/model/ArithmeticFault.h"
#include "core/model/InitialState.h"
#include "core/model/PropertyCorrelations.h"

namespace korvane {
namespace {

// y1' = y2, y2' = -y1 (a rotation), y3' = -2 y3, y4' = cos z: solution at z from
// (0, 1, 1, 0) at 0 is (sin z, cos z, exp(-2 z), sin z).
bool TestEquations(const double* y, double z, double* dy) {
  dy[0] = y[1];
  dy[1] = -y[0];
  dy[2] = -2 * y[2];
  dy[3] = std::cos(z);
  return true;
}

double GillError(int steps) {
  double y[4] = {0, 1, 1, 0};
  const double h = 1.0 / steps;
  for (int s = 0; s < steps; ++s) GillStep(4, y, s * h, h, TestEquations);
  return std::fabs(y[0] - std::sin(1.0)) + std::fabs(y[1] - std::cos(1.0)) +
         std::fabs(y[2] - std::exp(-2.0)) + std::fabs(y[3] - std::sin(1.0));
}

TEST(GillStep, ConvergesWithFourthOrder) {
  const double e8 = GillError(8);
  const double e16 = GillError(16);
  const double e32 = GillError(32);
  EXPECT_LT(e32, 1e-7);
  // Halving the step divides the error by about 2^4 = 16.
  EXPECT_NEAR(e8 / e16, 16, 2);
  EXPECT_NEAR(e16 / e32, 16, 2);
}

TEST(GillStep, StopsAtOnceWhenAnEvaluationFails) {
  int calls = 0;
  double y[1] = {1};
  const bool ok = GillStep(1, y, 0, 0.1, [&](const double*, double, double* dy) {
    dy[0] = 1;
    return ++calls < 2;
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(y[0], 1 + 0.5 * 0.1);  // advanced by the first stage only
}

class FilamentEquations : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialState(run.Params, *run.Profile, run.State);
    run.State.Outcome.CalculationOk = true;
  }
  bool Evaluate(double v, double t, double f, double z = 0) {
    const double y[3] = {v, t, f};
    return FilamentDerivatives(y, z, dy, outputs, StepStartAt(*run.Profile, 0), run.Context) ==
           StepStatus::Ok;
  }
  testing::Run run;
  double dy[3] = {};
  FilamentStageOutputs outputs;
};

TEST_F(FilamentEquations, UniformProfileGivesThreeTimesTheZeroShearViscosity) {
  ASSERT_TRUE(Evaluate(109.2357, 80, 3));
  const RunParameters& p = run.Params;
  const double eta0 =
      ZeroShearViscosity(p.ViscosityParam1, p.ViscosityParam2, p.ViscosityParam3, 0.73, 80);
  EXPECT_NEAR(run.Profile->ProfileElongViscosity[0], 3 * eta0, 1e-12 * eta0);
}

TEST_F(FilamentEquations, NoTensionNoAcceleration) {
  ASSERT_TRUE(Evaluate(150, 90, 0));
  EXPECT_EQ(dy[0], 0);
}

TEST_F(FilamentEquations, GasAtFilamentTemperatureWithoutEvaporationKeepsTemperature) {
  SpinningLineProfile& pr = *run.Profile;
  const RunParameters& p = run.Params;
  const double t = 120;
  pr.ProfileGasTemp[0] = t;
  const double ps =
      VaporPressure(p.VaporPressureParam1, p.VaporPressureParam2, p.VaporPressureParam3, t);
  pr.ProfileGasSolventFraction[0] = SurfaceVaporFraction(pr.ProfileSurfaceSolvent[0], ps);
  ASSERT_TRUE(Evaluate(150, t, 3));
  EXPECT_EQ(outputs.EvaporationFlux, 0);
  EXPECT_EQ(dy[1], 0);
}

TEST_F(FilamentEquations, PositionDoesNotEnter) {
  ASSERT_TRUE(Evaluate(150, 90, 3, 0));
  const double first[3] = {dy[0], dy[1], dy[2]};
  ASSERT_TRUE(Evaluate(150, 90, 3, 512.5));
  for (int e = 0; e < 3; ++e) EXPECT_EQ(dy[e], first[e]);
}

TEST_F(FilamentEquations, ZeroKinematicViscosityStopsBeforeTheHeatTransfer) {
  run.Params.GasKinViscosityParam1 = 0;
  run.Params.GasKinViscosityParam2 = 0;
  EXPECT_FALSE(Evaluate(150, 90, 3));
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  ASSERT_EQ(run.Reporter.Messages.size(), 1u);
  EXPECT_EQ(run.Reporter.Messages[0], "Sorry, this case does not converge.");
}

TEST_F(FilamentEquations, NegativeAreaShowsTheOneMarkMessage) {
  EXPECT_FALSE(Evaluate(-150, 90, 3));
  ASSERT_EQ(run.Reporter.Messages.size(), 1u);
  EXPECT_EQ(run.Reporter.Messages[0], "Sorry, this case does not converge!");
}

TEST_F(FilamentEquations, HeatTransferFailureShowsTheFourMarkMessage) {
  // A negative velocity with a negative dope density leaves the area positive, so the radius
  // exists and the heat-transfer power meets a negative base.
  run.Params.DopeDensity = -1;
  EXPECT_FALSE(Evaluate(-150, 90, 3));
  ASSERT_EQ(run.Reporter.Messages.size(), 1u);
  EXPECT_EQ(run.Reporter.Messages[0], "Sorry, this case does not converge!!!!");
}

TEST_F(FilamentEquations, MarchStepStoresTheLastStageCoefficients) {
  SpinningLineProfile& pr = *run.Profile;
  double y[kGillCapacity] = {pr.ProfileYarnVelocity[0], pr.ProfileYarnTemp[0], 3};
  ASSERT_EQ(GillStep(3, y, StepStartAt(pr, 0), 2, run.Context), StepStatus::Ok);
  // The last evaluation is at the state the fourth stage saw; the stored values are positive
  // coefficients of a drying, heating filament.
  EXPECT_GT(pr.ProfileFilamentHeatCoeff[0], 0);
  EXPECT_GT(pr.ProfileEvaporationFlux[0], 0);
  EXPECT_GT(y[0], pr.ProfileYarnVelocity[0]);
  EXPECT_GT(y[1], pr.ProfileYarnTemp[0]);
}

}  // namespace
}  // namespace korvane
