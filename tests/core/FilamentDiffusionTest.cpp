// The linear solvers, the Crank-Nicolson rows against the series solution for diffusion in a
// cylinder, and the diffusion step's own rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "DefaultCase.h"
#include "core/classic/FilamentDiffusion.h"
#include "core/model/ArithmeticFault.h"
#include "core/model/InitialState.h"

namespace korvane {
namespace {

using SystemMatrix = double[kSystemCapacity][kSystemCapacity];

// The oracle: x with M x = b for the first n rows and columns, by full Gaussian elimination
// without pivoting (rows with a zero below the pivot are skipped). M and b are not changed.
void SolveLinearSystem(const SystemMatrix& m, const SystemVector& b, int n, SystemVector& x) {
  SystemMatrix a;
  SystemVector r;
  for (int row = 0; row < n; ++row) {
    for (int col = 0; col < n; ++col) a[row][col] = m[row][col];
    r[row] = b[row];
  }
  for (int k = 0; k + 1 < n; ++k) {
    for (int row = k + 1; row < n; ++row) {
      if (a[row][k] == 0) continue;
      for (int col = k + 1; col < n; ++col) {
        a[row][col] = a[row][col] - a[k][col] * a[row][k] / a[k][k];
      }
      r[row] = r[row] - r[k] * a[row][k] / a[k][k];
    }
  }
  x[n - 1] = r[n - 1] / a[n - 1][n - 1];
  for (int row = n - 2; row >= 0; --row) {
    double sum = 0;
    for (int col = row + 1; col < n; ++col) sum += x[col] * a[row][col];
    x[row] = (r[row] - sum) / a[row][row];
  }
}

TEST(LinearSolvers, TridiagonalEliminationGivesTheSameDoublesAsTheFullOne) {
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> offDiagonal(-1.0, 1.0);
  std::uniform_real_distribution<double> margin(0.01, 3.0);
  for (int trial = 0; trial < 2000; ++trial) {
    const int n = 2 + trial % 20;
    TridiagonalSystem tri;
    SystemMatrix full = {};
    SystemVector b = {};
    for (int r = 0; r < n; ++r) {
      tri.Sub[r] = r > 0 ? offDiagonal(random) : 0;
      tri.Super[r] = r + 1 < n ? offDiagonal(random) : 0;
      // Some sub-diagonal entries exactly zero: both solvers skip those rows.
      if (r > 0 && trial % 7 == 0 && r % 3 == 0) tri.Sub[r] = 0;
      const double sign = (trial + r) % 2 == 0 ? 1 : -1;
      tri.Diag[r] = sign * (std::fabs(tri.Sub[r]) + std::fabs(tri.Super[r]) + margin(random));
      tri.Rhs[r] = offDiagonal(random) * 10;
      if (r > 0) full[r][r - 1] = tri.Sub[r];
      full[r][r] = tri.Diag[r];
      if (r + 1 < n) full[r][r + 1] = tri.Super[r];
      b[r] = tri.Rhs[r];
    }
    SystemVector xFull;
    SystemVector xTri;
    SolveLinearSystem(full, b, n, xFull);
    SolveTridiagonalSystem(tri, n, xTri);
    ASSERT_EQ(std::memcmp(xFull, xTri, sizeof(double) * n), 0) << "trial " << trial;
  }
}

TEST(LinearSolvers, FullEliminationSolvesDenseSystems) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  for (int n : {1, 3, 10, 21}) {
    SystemMatrix m = {};
    SystemVector solution = {};
    SystemVector b = {};
    for (int r = 0; r < n; ++r) {
      double rowSum = 0;
      for (int c = 0; c < n; ++c) {
        m[r][c] = entry(random);
        rowSum += std::fabs(m[r][c]);
      }
      m[r][r] = rowSum + 1;
      solution[r] = entry(random);
    }
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) b[r] += m[r][c] * solution[c];
    }
    SystemVector x;
    SolveLinearSystem(m, b, n, x);
    for (int r = 0; r < n; ++r) EXPECT_NEAR(x[r], solution[r], 1e-12) << n << " " << r;
  }
}

// Zeros of J0 and the series solution for a cylinder at 1 with its surface held at 0.
constexpr double kBesselZeros[] = {
    2.404825557695773, 5.520078110286311, 8.653727912911013, 11.79153443901428, 14.93091770848779,
    18.07106396791092, 21.21163662987926, 24.35247153074930, 27.49347913204025, 30.63460646843198};

double SeriesAverage(double tau) {
  double sum = 0;
  for (double a : kBesselZeros) sum += 4 / (a * a) * std::exp(-a * a * tau);
  return sum;
}

double SeriesCentre(double tau) {
  double sum = 0;
  for (double a : kBesselZeros) sum += 2 / (a * std::cyl_bessel_j(1.0, a)) * std::exp(-a * a * tau);
  return sum;
}

// Runs the Crank-Nicolson rows with a constant coefficient to dimensionless time tau.
void DiffuseCylinder(int intervals, double tau, int steps, double& average, double& centre) {
  const double dr = 1.0 / intervals;
  const double dt = tau / steps;
  double alpha[kSystemCapacity];
  double c[kSystemCapacity];
  for (int j = 0; j <= intervals; ++j) {
    alpha[j] = dt / (dr * dr);
    c[j] = j < intervals ? 1 : 0;
  }
  for (int step = 0; step < steps; ++step) {
    DiffusionRows rows;
    BuildDiffusionRows(intervals, alpha, c, rows);
    SetSurfaceValue(rows, intervals, 0);
    SystemVector x;
    SolveTridiagonalSystem(rows.System, intervals, x);
    for (int j = 0; j < intervals; ++j) c[j] = x[j];
  }
  double sum = 0;
  for (int k = 1; k <= intervals; ++k) {
    sum += ((k * dr) * (k * dr) - ((k - 1) * dr) * ((k - 1) * dr)) * (c[k - 1] + c[k]) / 2;
  }
  average = sum;
  centre = c[0];
}

TEST(CrankNicolsonDiffusion, MatchesTheSeriesSolutionForACylinder) {
  for (double tau : {0.05, 0.1, 0.3}) {
    double avg10 = 0, centre10 = 0, avg20 = 0, centre20 = 0;
    DiffuseCylinder(10, tau, 2000, avg10, centre10);
    DiffuseCylinder(20, tau, 2000, avg20, centre20);
    const double avgExact = SeriesAverage(tau);
    const double centreExact = SeriesCentre(tau);
    EXPECT_NEAR(avg10, avgExact, 0.01 * avgExact) << tau;
    EXPECT_NEAR(centre10, centreExact, 0.01 * centreExact) << tau;
    // Second order in the radial interval: halving it divides the error by about four.
    const double ratio = std::fabs(avg10 - avgExact) / std::fabs(avg20 - avgExact);
    EXPECT_GT(ratio, 3.0) << tau;
    EXPECT_LT(ratio, 5.0) << tau;
  }
}

TEST(CrankNicolsonDiffusion, RowsConserveAUniformProfile) {
  // A uniform profile with the same surface value stays uniform whatever the coefficients.
  double alpha[11];
  double c[11];
  for (int j = 0; j <= 10; ++j) {
    alpha[j] = 0.3 + 0.1 * j;
    c[j] = 0.42;
  }
  DiffusionRows rows;
  BuildDiffusionRows(10, alpha, c, rows);
  SetSurfaceValue(rows, 10, 0.42);
  SystemVector x;
  SolveTridiagonalSystem(rows.System, 10, x);
  for (int j = 0; j < 10; ++j) EXPECT_NEAR(x[j], 0.42, 1e-15) << j;
}

class RadialDiffusion : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialState(run.Params, *run.Profile, run.State);
    run.State.Outcome.CalculationOk = true;
    for (int j = 0; j < 11; ++j)
      run.State.Scratch.CurrentRadialProfile[j] = run.Params.InitialSolventFraction;
  }
  // Lets the start point's cross-section average be that of its radial profile, as a march
  // leaves it, when a test has changed the profile.
  void MatchStartAverage() {
    const double* c = run.State.Scratch.CurrentRadialProfile;
    double sum = 0;  // ring k has the area (2k - 1) / 100 of the cross-section
    for (int k = 1; k <= 10; ++k) sum += (2 * k - 1) * (c[k - 1] + c[k]) / 2;
    run.Profile->ProfileAvgSolvent[0] = sum / 100;
  }
  testing::Run run;
};

TEST_F(RadialDiffusion, WithoutDiffusionOnlyTheOuterRingChanges) {
  run.Params.DiffusionParam1 = 0;
  double* c = run.State.Scratch.CurrentRadialProfile;
  c[3] = 0.00009;  // raised to the floor of 0.0001
  c[4] = 0.0001;   // kept
  MatchStartAverage();
  RadialDiffusionStep(StepStartAt(*run.Profile, 0), run.Context);
  ASSERT_TRUE(run.State.Outcome.CalculationOk);
  const SpinningLineProfile& pr = *run.Profile;
  for (int j = 0; j < 10; ++j) {
    const double expected = j == 3 || j == 4 ? 0.0001 : 0.73;
    EXPECT_EQ(pr.ProfileRadialSolvent[1][j], expected) << j;
    EXPECT_EQ(c[j], expected) << j;
  }
  const double ws = pr.ProfileSurfaceSolvent[1];
  EXPECT_EQ(pr.ProfileRadialSolvent[1][10], ws);
  // The average is the ring mean: the inner rings as they were, the outer one with ws.
  const double area =
      run.State.Constants.PolymerFlowRate /
      ((1 - pr.ProfileAvgSolvent[0]) * pr.ProfileYarnVelocity[0] * run.Params.DopeDensity);
  const double dr = std::sqrt(area / kPi) / 10;
  double sum = 0;
  for (int k = 1; k <= 10; ++k) {
    const double ring = kPi * ((k * dr) * (k * dr) - ((k - 1) * dr) * ((k - 1) * dr));
    sum += ring * (pr.ProfileRadialSolvent[1][k - 1] + pr.ProfileRadialSolvent[1][k]) / 2;
  }
  EXPECT_NEAR(pr.ProfileAvgSolvent[1], sum / area, 1e-15);
}

TEST_F(RadialDiffusion, FirstStepBalancesDiffusionAndEvaporation) {
  RadialDiffusionStep(StepStartAt(*run.Profile, 0), run.Context);
  ASSERT_TRUE(run.State.Outcome.CalculationOk);
  const SpinningLineProfile& pr = *run.Profile;
  // Solvent leaves: the surface is drier than the inside, the average lies between.
  EXPECT_LT(pr.ProfileSurfaceSolvent[1], pr.ProfileAvgSolvent[1]);
  EXPECT_LT(pr.ProfileAvgSolvent[1], 0.73);
  for (int j = 1; j <= 10; ++j) {
    EXPECT_LE(pr.ProfileRadialSolvent[1][j], pr.ProfileRadialSolvent[1][j - 1]) << j;
  }
  EXPECT_EQ(FaultKindOf(RaisedFaultFlags()), FaultKind::None);
}

TEST_F(RadialDiffusion, AcceptedTrialSolvesTheCrankNicolsonSystemAsWritten) {
  RadialDiffusionStep(StepStartAt(*run.Profile, 0), run.Context);
  ASSERT_TRUE(run.State.Outcome.CalculationOk);
  const RunParameters& p = run.Params;
  const SpinningLineProfile& pr = *run.Profile;
  // The dense system of the first step, row by row in its textbook form, for the accepted
  // surface value; at point 0 every node holds the initial fraction.
  const double v = pr.ProfileYarnVelocity[0];
  const double area = run.State.Constants.PolymerFlowRate / ((1 - 0.73) * v * p.DopeDensity);
  const double dr = std::sqrt(area / kPi) / 10;
  const double d = p.DiffusionParam1 * std::exp(p.DiffusionParam2 / (pr.ProfileYarnTemp[0] + 273));
  const double a = d / v * (pr.ProfileZ[1] - pr.ProfileZ[0]) / (dr * dr);
  const double c = 0.73;
  const double ws = pr.ProfileSurfaceSolvent[1];
  SystemMatrix m = {};
  SystemVector b = {};
  m[0][0] = 1 + 2 * a;
  m[0][1] = -2 * a;
  b[0] = (1 - 2 * a) * c + 2 * a * c;
  for (int j = 1; j <= 9; ++j) {
    m[j][j - 1] = -(a / 2) * (1 - 1.0 / (2 * j));
    m[j][j] = 1 + a;
    if (j < 9) m[j][j + 1] = -(a / 2) * (1 + 1.0 / (2 * j));
    b[j] = c + (a / 2) * ((1 + 1.0 / (2 * j)) * c - 2 * c + (1 - 1.0 / (2 * j)) * c);
  }
  b[9] = b[9] + (a / 2) * (1 + 1.0 / 18) * ws;
  SystemVector x;
  SolveLinearSystem(m, b, 10, x);
  EXPECT_EQ(std::memcmp(x, pr.ProfileRadialSolvent[1].data(), sizeof(double) * 10), 0);
}

TEST_F(RadialDiffusion, NegativeAreaShowsTheTwoMarkMessage) {
  run.Profile->ProfileYarnVelocity[0] = -100;
  const double before = run.Profile->ProfileAvgSolvent[1] = 0.5;
  RadialDiffusionStep(StepStartAt(*run.Profile, 0), run.Context);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  ASSERT_EQ(run.Reporter.Messages.size(), 1u);
  EXPECT_EQ(run.Reporter.Messages[0], "Sorry, this case does not converge!!");
  EXPECT_EQ(run.Profile->ProfileAvgSolvent[1], before);
}

TEST_F(RadialDiffusion, DiffusionPowerFailureStopsBeforeTheOutputs) {
  run.Params.CriticalWeightFraction = 0.8;
  run.Params.TempDependencyParam2 = 0.5;
  run.State.Scratch.CurrentRadialProfile[5] = 0.0001;  // what the clamp leaves of -0.2
  MatchStartAverage();
  run.State.Scratch.CurrentRadialProfile[5] = -0.2;  // clamped to 0.0001: no failure from the clamp
  RadialDiffusionStep(StepStartAt(*run.Profile, 0), run.Context);
  EXPECT_TRUE(run.State.Outcome.CalculationOk);
  EXPECT_TRUE(run.Reporter.Messages.empty());
  run.Params.DiffusionParam2 = 1e6;  // the exponential of the guarded branch overflows
  RadialDiffusionStep(StepStartAt(*run.Profile, 0), run.Context);
  EXPECT_FALSE(run.State.Outcome.CalculationOk);
  ASSERT_EQ(run.Reporter.Messages.size(), 1u);
  EXPECT_EQ(run.Reporter.Messages[0], "Sorry, this case does not converge!!!");
  EXPECT_EQ(run.State.Outcome.Fault.Kind, FaultKind::None);
}

}  // namespace
}  // namespace korvane
