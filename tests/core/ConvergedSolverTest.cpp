// The converged method against closed-form solutions, against the classic method's own limit
// of ever finer grids, and against itself at different tolerances.
#include <gtest/gtest.h>
#include <nvector/nvector_serial.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "DefaultCase.h"
#include "core/classic/TensionIteration.h"
#include "core/converged/BorderedTridiagonal.h"
#include "core/converged/ConvergedModel.h"
#include "core/converged/ConvergedSolver.h"
#include "core/converged/LogTensionSearch.h"
#include "core/converged/RadialGrid.h"
#include "core/converged/SerialVectorOperations.h"
#include "core/converged/StiffIntegrator.h"
#include "core/model/InitialState.h"
#include "core/model/PropertyCorrelations.h"

namespace korvane {
namespace {

ConvergedReport Solve(testing::Run& run, const ConvergedOptions& options) {
  return SolveConverged(run.Params, options, *run.Profile, run.State, run.Reporter);
}

// The classic radial model: 10 equal intervals.
ConvergedOptions ClassicRadial(double tolerance) {
  ConvergedOptions o;
  o.Tolerance = tolerance;
  o.RadialIntervals = 10;
  return o;
}

TEST(ConvergedSolver, DefaultCaseMeetsTheTakeUpSpeedAtThePrintPoints) {
  testing::Run run;
  const ConvergedReport r = Solve(run, ClassicRadial(1e-4));
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  ASSERT_TRUE(run.State.Outcome.CalculationOk);
  EXPECT_EQ(run.Reporter.Messages.back(),
            "NUMBER OF CALCULATION LOOP = " + std::to_string(r.Passes));
  EXPECT_EQ(run.State.Iteration.CalculationLoopCount, r.Passes);
  EXPECT_EQ(run.State.Iteration.TensionGuess, r.SpinneretTension);
  EXPECT_EQ(r.RadialIntervals, 10);
  EXPECT_FALSE(r.SurfaceClustered);

  const SpinningLineProfile& pr = *run.Profile;
  ASSERT_EQ(pr.ProfilePointCount, 115);
  EXPECT_EQ(pr.ProfileZ[30], 60);
  EXPECT_EQ(pr.ProfileZ[114], 700);
  EXPECT_EQ(pr.ProfileTension[0], r.SpinneretTension);
  EXPECT_NEAR(pr.ProfileYarnVelocity[114], 833, 833 * 1e-4);
  EXPECT_EQ(pr.ProfileAvgSolvent[0], 0.73);
  EXPECT_EQ(pr.ProfileRadialSolvent[0][10], 0.73);
  for (int i = 1; i < pr.ProfilePointCount; ++i) {
    EXPECT_GT(pr.ProfileYarnVelocity[i], pr.ProfileYarnVelocity[i - 1]) << i;
    EXPECT_GT(pr.ProfileTension[i], 0) << i;
    EXPECT_GT(pr.ProfileElongViscosity[i], 0) << i;
    EXPECT_GT(pr.ProfileHeatTransfer[i], 0) << i;
    // The surface of the nodes printed is the surface the line carries.
    EXPECT_EQ(pr.ProfileRadialSolvent[i][10], pr.ProfileSurfaceSolvent[i]) << i;
    if (pr.ProfileAvgSolvent[i - 1] > 0.03) {
      EXPECT_LT(pr.ProfileAvgSolvent[i], pr.ProfileAvgSolvent[i - 1]) << i;
      EXPECT_LT(pr.ProfileRadialSolvent[i][10], pr.ProfileRadialSolvent[i][0]) << i;
    }
  }
  // The model's answer on the classic radial grid, to the tolerance.
  EXPECT_NEAR(r.SpinneretTension, 3.47834, 3.47834 * 1e-4);
  EXPECT_NEAR(pr.ProfileAvgSolvent[114], 0.024701, 0.024701 * 1e-3);
  EXPECT_NEAR(pr.ProfileGasTemp[114], 131.09, 0.02);
  // The classic grid's 6 % error in the tension is the radial grid's, not the integrator's.
  EXPECT_LT(r.IntegrationTensionError, 1e-4 * r.SpinneretTension);
  EXPECT_GT(r.RadialTensionError, 0.02 * r.SpinneretTension);
}

TEST(ConvergedSolver, AboutTenPassesFromAnyInitialTension) {
  for (const double initial : {0.5, 3.0, 20.0}) {
    testing::Run run;
    run.Params.InitialTension = initial;
    const ConvergedReport r = Solve(run, ClassicRadial(1e-4));
    ASSERT_EQ(r.Status, ConvergedStatus::Converged) << initial << r.Message;
    EXPECT_LE(r.SearchPasses, 12) << initial;
    EXPECT_NEAR(r.SpinneretTension, 3.47834, 3.47834 * 1e-4) << initial;
  }
}

// The print grid only says where the line is written: a finer one than the classic profile
// holds gives the same line.
TEST(ConvergedSolver, PrintGridBeyondTheClassicCapacityGivesTheSameLine) {
  testing::Run coarse;
  const ConvergedReport a = Solve(coarse, ClassicRadial(1e-4));
  ASSERT_EQ(a.Status, ConvergedStatus::Converged) << a.Message;

  testing::Run fine;
  for (int s = 0; s < kSectionCount; ++s) fine.Params.IncrementCount[s] = 0;
  fine.Params.Increment[0] = 0.25;
  fine.Params.IncrementCount[0] = 2800;
  const ConvergedReport b = Solve(fine, ClassicRadial(1e-4));
  ASSERT_EQ(b.Status, ConvergedStatus::Converged) << b.Message;
  const SpinningLineProfile& pr = *fine.Profile;
  ASSERT_EQ(pr.ProfilePointCount, 2801);
  EXPECT_NEAR(pr.ProfileZ[2800], 700, 1e-9);
  EXPECT_NEAR(b.SpinneretTension, a.SpinneretTension, a.SpinneretTension * 1e-4);
  // z = 60 and 260 cm are print points of both grids.
  for (const auto& [i, k] : {std::pair{240, 30}, std::pair{1040, 70}, std::pair{2800, 114}}) {
    const SpinningLineProfile& q = *coarse.Profile;
    EXPECT_NEAR(pr.ProfileYarnVelocity[i], q.ProfileYarnVelocity[k],
                q.ProfileYarnVelocity[k] * 2e-4);
    EXPECT_NEAR(pr.ProfileAvgSolvent[i], q.ProfileAvgSolvent[k], q.ProfileAvgSolvent[k] * 2e-4);
    EXPECT_NEAR(pr.ProfileGasTemp[i], q.ProfileGasTemp[k], q.ProfileGasTemp[k] * 1e-4);
  }
}

TEST(ConvergedSolver, TakeUpTensionTargetFindsTheLineOfThatTension) {
  testing::Run bySpeed;
  const ConvergedReport speed = Solve(bySpeed, ClassicRadial(1e-4));
  ASSERT_EQ(speed.Status, ConvergedStatus::Converged) << speed.Message;

  testing::Run byTension;
  ConvergedOptions o = ClassicRadial(1e-4);
  o.TakeUpTension = speed.EndTension;
  const ConvergedReport tension = Solve(byTension, o);
  ASSERT_EQ(tension.Status, ConvergedStatus::Converged) << tension.Message;
  EXPECT_NEAR(tension.EndTension, speed.EndTension, speed.EndTension * 1e-4);
  EXPECT_NEAR(tension.SpinneretTension, speed.SpinneretTension, speed.SpinneretTension * 2e-4);
  EXPECT_NEAR(tension.EndVelocity, 833, 833 * 2e-3);
}

// With no evaporation, no heat exchange and no momentum besides the viscous one, the thread
// keeps its tension and v' = v F / (3 eta Q): v = v0 (vL / v0)^(z / L) and
// F = 3 eta Q ln(vL / v0) / L.
TEST(ConvergedSolver, IsothermalNewtonianThreadMatchesItsClosedForm) {
  testing::Run run;
  ConvergedOptions o;
  o.Tolerance = 1e-5;
  o.RadialIntervals = 4;
  o.Physics = ConvergedPhysics{false, false, false, false, false};
  const ConvergedReport r = Solve(run, o);
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;

  const RunParameters& p = run.Params;
  const double eta = ZeroShearViscosity(p.ViscosityParam1, p.ViscosityParam2, p.ViscosityParam3,
                                        p.InitialSolventFraction, p.DopeInitialTemp);
  const double q = p.DopeOutput / p.DopeDensity;  // cm3/s
  const double v0 = q / p.NozzleArea;
  const double length = 700;
  const double force = 3 * eta * q * std::log(p.TakeUpSpeed / v0) / length;
  EXPECT_NEAR(r.SpinneretTension, force, force * 1e-5);
  const SpinningLineProfile& pr = *run.Profile;
  for (int i = 0; i < pr.ProfilePointCount; ++i) {
    const double v = v0 * std::pow(p.TakeUpSpeed / v0, pr.ProfileZ[i] / length);
    EXPECT_NEAR(pr.ProfileYarnVelocity[i], v, v * 1e-5) << i;
    EXPECT_NEAR(pr.ProfileTension[i], force, force * 1e-5) << i;
    EXPECT_EQ(pr.ProfileYarnTemp[i], p.DopeInitialTemp) << i;
  }
}

// Diffusion in a cylinder of radius 1 with D = 1 from a uniform c0 into a surface held at cs:
// the average is cs + (c0 - cs) sum 4 / a_n^2 exp(-a_n^2 t), a_n the roots of J0.
double SeriesAverage(double c0, double cs, double t) {
  double sum = 0;
  for (int n = 1; n <= 60; ++n) {
    double lo = (n - 0.5) * M_PI;
    double hi = (n + 0.25) * M_PI;
    if (n == 1) lo = 2;
    for (int k = 0; k < 100; ++k) {
      const double mid = 0.5 * (lo + hi);
      if ((std::cyl_bessel_j(0.0, lo) > 0) == (std::cyl_bessel_j(0.0, mid) > 0)) {
        lo = mid;
      } else {
        hi = mid;
      }
    }
    const double a = 0.5 * (lo + hi);
    sum += 4 / (a * a) * std::exp(-a * a * t);
  }
  return cs + (c0 - cs) * sum;
}

// The worst error of the grid's average at a few times.
double WorstSeriesError(const RadialGrid& grid) {
  const int n = grid.Intervals;
  const double c0 = 0.7;
  const double cs = 0.1;
  StiffIntegrator integrator(
      n, 0,
      [&](double, const double* c, double* dc) {
        for (int j = 0; j < n; ++j) {
          const double upper = j + 1 < n ? c[j + 1] : cs;
          dc[j] = grid.Centre[j] * c[j] + grid.Upper[j] * upper +
                  (j > 0 ? grid.Lower[j] * c[j - 1] : 0);
        }
        return 0;
      },
      [](double, const double*, double*) {});
  std::vector<double> c(n + 1, c0);
  c[n] = cs;
  const std::vector<double> absTol(n, 1e-12);
  EXPECT_TRUE(integrator.Start(0, c.data(), 1e-10, absTol.data(), 1, 100000));
  double worst = 0;
  for (const double t : {0.01, 0.05, 0.2}) {
    double reached = 0;
    EXPECT_EQ(integrator.Advance(t, c.data(), reached), StiffIntegrator::Outcome::Reached);
    worst =
        std::max(worst, std::fabs(CrossSectionAverage(grid, c.data()) - SeriesAverage(c0, cs, t)));
  }
  return worst;
}

TEST(ConvergedSolver, CylinderDiffusionConvergesToTheSeriesSolution) {
  for (const bool clustered : {false, true}) {
    auto grid = [&](int n) {
      return clustered ? SurfaceClusteredRadialGrid(n) : EqualRadialGrid(n);
    };
    const double coarse = WorstSeriesError(grid(20));
    const double fine = WorstSeriesError(grid(40));
    EXPECT_LT(fine, 2e-3) << clustered;
    // Second order in the spacing.
    EXPECT_LT(fine, coarse / 3) << clustered;
  }
}

// The Newton iteration's Jacobian shows only in the cost, not in the answers (the error test
// keeps them to the tolerance whatever it is), so a wrong entry or a wrongly solved system
// would go unnoticed. The model's Jacobian is checked entry by entry against central
// differences, at a state with a solvent-depleted skin in the upper zone and in a jacket.
TEST(ConvergedSolver, NewtonJacobianMatchesCentralDifferences) {
  testing::Run run;
  InitialState(run.Params, *run.Profile, run.State);
  const RadialGrid grid = SurfaceClusteredRadialGrid(12);
  ConvergedModel model(run.Params, run.State.Constants, grid, ConvergedPhysics{}, 700);
  const int n = grid.Intervals;
  const int size = model.Size();
  std::vector<double> y(size);
  model.InitialValues(4, y.data());
  for (int j = 0; j <= n; ++j) y[j] = 0.73 - 0.6 * std::pow(grid.Xi[j], 4);
  y[model.Velocity()] *= 3;
  y[model.Temperature()] = 90;
  y[model.GasTemperature()] = 180;
  for (const int zone : {0, 1}) {
    model.SetWallZone(zone);
    std::vector<double> f(size), lower(n), diagonal(n), upper(n), coupling(n), weights(n);
    std::vector<double> rows((size - n) * size);
    ASSERT_EQ(model.Derivatives(y.data(), f.data()), 0);
    ASSERT_EQ(model.BorderedJacobian(y.data(), f.data(), lower.data(), diagonal.data(),
                                     upper.data(), coupling.data(), weights.data(), rows.data()),
              0);
    // expected[i][k]: df_i/dc_k of the inner nodes' columns.
    std::vector<std::vector<double>> expected(size, std::vector<double>(n));
    std::vector<double> scale(size, 0.0);
    for (int k = 0; k < n; ++k) {
      std::vector<double> plus = y, minus = y, fPlus(size), fMinus(size);
      plus[k] += 1e-6;
      minus[k] -= 1e-6;
      ASSERT_EQ(model.Derivatives(plus.data(), fPlus.data()), 0);
      ASSERT_EQ(model.Derivatives(minus.data(), fMinus.data()), 0);
      for (int i = 0; i < size; ++i) {
        expected[i][k] = (fPlus[i] - fMinus[i]) / (plus[k] - minus[k]);
        scale[i] = std::max(scale[i], std::fabs(expected[i][k]));
      }
    }
    for (int i = 0; i < size; ++i) {
      for (int k = 0; k < n; ++k) {
        const double entry = i < n ? coupling[i] * weights[k] + (k == i - 1 ? lower[i] : 0) +
                                         (k == i ? diagonal[i] : 0) + (k == i + 1 ? upper[i] : 0)
                                   : rows[(i - n) * size + k];
        EXPECT_NEAR(entry, expected[i][k], 1e-5 * scale[i])
            << "zone " << zone << ", row " << i << ", column " << k;
      }
    }
  }
}

// The bordered tridiagonal solver against the dense matrix it stands for: T + p q^T inside,
// a border of 3 rows and columns, the Schur complement needing a row exchange.
TEST(ConvergedSolver, BorderedSolverSolvesItsSystem) {
  const int size = 8;
  const int inner = 5;
  SUNContext context = nullptr;
  ASSERT_EQ(SUNContext_Create(nullptr, &context), 0);
  SUNMatrix matrix = NewBorderedMatrix(size, inner, context);
  SUNLinearSolver solver = NewBorderedSolver(size, inner, context);
  BorderedMatrixData& a = BorderedData(matrix);
  std::vector<std::vector<double>> dense(size, std::vector<double>(size, 0.0));
  for (int j = 0; j < inner; ++j) a.Weights[j] = 0.2 - 0.05 * j;
  for (int j = 0; j < inner; ++j) {
    a.Diagonal()[j] = 4 + j;
    a.Coupling()[j] = 0.3 * (j + 1);
    if (j > 0) a.Lower()[j] = -1 - 0.1 * j;
    if (j + 1 < inner) a.Upper()[j] = 0.5 * j - 1;
    for (int k = 0; k < inner; ++k) dense[j][k] = a.Coupling()[j] * a.Weights[k];
    dense[j][j] += a.Diagonal()[j];
    if (j > 0) dense[j][j - 1] += a.Lower()[j];
    if (j + 1 < inner) dense[j][j + 1] += a.Upper()[j];
  }
  const int border = size - inner;
  for (int c = 0; c < border; ++c) {
    for (int j = 0; j < inner; ++j) {
      a.Columns()[c * inner + j] = c == 1 ? 0 : std::sin(1.0 + j + 3 * c);
      dense[j][inner + c] = a.Columns()[c * inner + j];
    }
  }
  for (int i = 0; i < border; ++i) {
    for (int k = 0; k < size; ++k) {
      // The border's own block: small on its diagonal, so that its elimination pivots.
      const double value = inner + i == k ? 1e-3 : std::cos(2.0 * k + i);
      a.Rows()[i * size + k] = value;
      dense[inner + i][k] = value;
    }
  }
  N_Vector x = N_VNew_Serial(size, context);
  N_Vector r = N_VNew_Serial(size, context);
  double* rv = N_VGetArrayPointer(r);
  for (int i = 0; i < size; ++i) {
    rv[i] = 0;
    for (int k = 0; k < size; ++k) rv[i] += dense[i][k] * (1.0 + 0.5 * k);
  }
  ASSERT_EQ(SUNLinSolSetup(solver, matrix), 0);
  ASSERT_EQ(SUNLinSolSolve(solver, matrix, x, r, 0), 0);
  for (int k = 0; k < size; ++k) EXPECT_NEAR(N_VGetArrayPointer(x)[k], 1.0 + 0.5 * k, 1e-12) << k;
  N_VDestroy(x);
  N_VDestroy(r);
  SUNLinSolFree(solver);
  SUNMatDestroy(matrix);
  SUNContext_Free(&context);
}

// A stretch ends at a zone boundary, where the equations change: the integrator must stop
// there, neither evaluating them beyond it nor interpolating past it.
TEST(StiffIntegrator, StopsAtTheStretchEndWithoutLookingBeyond) {
  for (const double zStop : {0.3, 1.0 / 3, 2.5}) {
    double furthest = 0;
    StiffIntegrator integrator(
        1, 0,
        [&](double z, const double*, double* dy) {
          furthest = std::max(furthest, z);
          dy[0] = z <= zStop ? 1 : 1e6;
          return 0;
        },
        [](double, const double*, double*) {});
    double y = 0;
    const double absTol = 1e-10;
    ASSERT_TRUE(integrator.Start(0, &y, 1e-8, &absTol, zStop, 100000)) << zStop;
    double reached = 0;
    EXPECT_EQ(integrator.Advance(10, &y, reached), StiffIntegrator::Outcome::Reached) << zStop;
    EXPECT_EQ(reached, zStop);
    EXPECT_NEAR(y, zStop, 1e-8 * zStop);
    EXPECT_LE(furthest, zStop);
  }
}

// The integrator's vectors do their arithmetic in this build; every operation must give the
// library's own doubles, its special cases' rounding included (a (x + y) for a x + a y), or a
// converged run's results would change in their last digits.
TEST(StiffIntegrator, VectorArithmeticGivesTheLibrarysDoubles) {
  SUNContext context = nullptr;
  ASSERT_EQ(SUNContext_Create(nullptr, &context), 0);
  const int n = 7;
  N_Vector mine[4];
  N_Vector theirs[4];
  for (int k = 0; k < 4; ++k) {
    mine[k] = NewSerialVector(n, context);
    theirs[k] = N_VNew_Serial(n, context);
  }
  auto fill = [&] {
    for (int k = 0; k < 4; ++k) {
      for (int i = 0; i < n; ++i) {
        NV_Ith_S(mine[k], i) = NV_Ith_S(theirs[k], i) = std::sin(1.7 * i + 0.9 * k) * (k + 1) / 3;
      }
    }
  };
  auto same = [&](const char* what, int k) {
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(NV_Ith_S(mine[k], i), NV_Ith_S(theirs[k], i)) << what << " " << i;
    }
  };
  // z = a x + b y for every special case of the coefficients, z apart and z aliased to x or y.
  const double coefficients[][2] = {{1, 1},     {1, -1},   {-1, 1},    {-1, -1},   {0.3, 1},
                                    {1, 0.7},   {0.3, -1}, {-1, 0.7},  {0.3, 0.3}, {0.3, -0.3},
                                    {0.3, 0.7}, {0, 0},    {-0.3, 0.3}};
  for (const auto& c : coefficients) {
    for (int target : {2, 0, 1}) {
      fill();
      N_VLinearSum(c[0], mine[0], c[1], mine[1], mine[target]);
      N_VLinearSum_Serial(c[0], theirs[0], c[1], theirs[1], theirs[target]);
      same("linear sum", target);
      N_VScale(c[0], mine[1], mine[3]);
      N_VScale_Serial(c[0], theirs[1], theirs[3]);
      same("scale", 3);
    }
  }
  for (const double c0 : {1.0, 0.4}) {
    for (int target : {3, 0}) {
      fill();
      double c[] = {c0, 0.25, -1.5, 2};
      N_VLinearCombination(4, c, mine, mine[target]);
      N_VLinearCombination_Serial(4, c, theirs, theirs[target]);
      same("linear combination", target);
    }
  }
  fill();
  double a[] = {0.5, -2};
  N_VScaleAddMulti(2, a, mine[0], mine + 1, mine + 2);
  N_VScaleAddMulti_Serial(2, a, theirs[0], theirs + 1, theirs + 2);
  same("scale add", 2);
  same("scale add", 3);
  fill();
  N_VAbs(mine[1], mine[3]);
  N_VAbs_Serial(theirs[1], theirs[3]);
  N_VInv(mine[3], mine[2]);
  N_VInv_Serial(theirs[3], theirs[2]);
  same("inverse", 2);
  EXPECT_EQ(N_VWrmsNorm(mine[0], mine[2]), N_VWrmsNorm_Serial(theirs[0], theirs[2]));
  EXPECT_EQ(N_VDotProd(mine[0], mine[1]), N_VDotProd_Serial(theirs[0], theirs[1]));
  EXPECT_EQ(N_VMaxNorm(mine[1]), N_VMaxNorm_Serial(theirs[1]));
  // Clones do the same arithmetic.
  N_Vector clone = N_VClone(mine[0]);
  EXPECT_EQ(clone->ops->nvlinearsum, mine[0]->ops->nvlinearsum);
  N_VDestroy(clone);
  for (int k = 0; k < 4; ++k) {
    N_VDestroy(mine[k]);
    N_VDestroy(theirs[k]);
  }
  SUNContext_Free(&context);
}

TEST(ConvergedSolver, SolventLostByTheFilamentsIsGainedByTheGas) {
  testing::Run run;
  const ConvergedReport r = Solve(run, ClassicRadial(1e-7));
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  EXPECT_LT(std::fabs(r.SolventBalanceError), 1e-8);
}

TEST(ConvergedSolver, AnswersAtTighterTolerancesLieWithinTheReportedErrors) {
  std::vector<ConvergedReport> reports;
  for (const double tolerance : {1e-3, 1e-4, 1e-5}) {
    testing::Run run;
    reports.push_back(Solve(run, ClassicRadial(tolerance)));
    ASSERT_EQ(reports.back().Status, ConvergedStatus::Converged) << reports.back().Message;
    EXPECT_LT(reports.back().IntegrationTensionError, tolerance * reports.back().SpinneretTension);
  }
  for (size_t a = 0; a < reports.size(); ++a) {
    for (size_t b = a + 1; b < reports.size(); ++b) {
      EXPECT_LT(std::fabs(reports[a].SpinneretTension - reports[b].SpinneretTension),
                reports[a].IntegrationTensionError + reports[b].IntegrationTensionError)
          << a << " " << b;
    }
  }
}

// The classic method with every axial step divided into `refinement`.
double ClassicTension(int refinement, void (*change)(RunParameters&)) {
  testing::Run run;
  change(run.Params);
  for (int s = 0; s < kSectionCount; ++s) {
    run.Params.Increment[s] /= refinement;
    run.Params.IncrementCount[s] *= refinement;
  }
  InitialState(run.Params, *run.Profile, run.State);
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  EXPECT_TRUE(run.State.Outcome.CalculationOk) << refinement;
  return run.State.Iteration.TensionGuess;
}

struct LimitCase {
  const char* Name;
  void (*Change)(RunParameters&);
};

TEST(ConvergedSolver, ClassicRadialModelMeetsTheClassicMethodsLimit) {
  const LimitCase cases[] = {
      {"default", [](RunParameters&) {}},
      // Every wall zone inside the line, each jacket at its own temperature: the two methods
      // must agree on which zone a position lies in.
      {"three jackets",
       [](RunParameters& p) {
         const double upper[] = {150, 300, 500};
         const double temperature[] = {160, 90, 40};
         for (int k = 0; k < kJacketCount; ++k) {
           p.JacketUpperPos[k] = upper[k];
           p.JacketTemp[k] = temperature[k];
           p.JacketMode[k] = k == 1 ? '0' : '1';
         }
       }},
  };
  for (const LimitCase& c : cases) {
    const double f2 = ClassicTension(2, c.Change);
    const double f4 = ClassicTension(4, c.Change);
    const double f8 = ClassicTension(8, c.Change);
    // First order: each halving of the steps halves the change.
    const double ratio = (f4 - f2) / (f8 - f4);
    EXPECT_NEAR(ratio, 2, 0.25) << c.Name;
    const double limit = 2 * f8 - f4;
    // The limit is as uncertain as the limits of successive grid pairs differ.
    const double uncertainty = std::fabs(limit - (2 * f4 - f2));

    testing::Run run;
    c.Change(run.Params);
    const ConvergedReport r = Solve(run, ClassicRadial(1e-4));
    ASSERT_EQ(r.Status, ConvergedStatus::Converged) << c.Name << ": " << r.Message;
    EXPECT_NEAR(r.SpinneretTension, limit, uncertainty) << c.Name;
  }
}

TEST(ConvergedSolver, RadialGridRefinementConvergesAtSecondOrder) {
  std::vector<double> tensions;
  for (const int intervals : {8, 16, 32}) {
    testing::Run run;
    ConvergedOptions o;
    o.Tolerance = 1e-4;
    o.RadialIntervals = intervals;
    o.SurfaceClustered = true;
    const ConvergedReport r = Solve(run, o);
    ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
    tensions.push_back(r.SpinneretTension);
  }
  EXPECT_NEAR((tensions[1] - tensions[0]) / (tensions[2] - tensions[1]), 4, 0.8);
}

// The default grid doubles a surface-clustered grid until the tension stops moving; the
// radially converged tension of the default case is 3.9896 dyn (512 and 256 intervals).
TEST(ConvergedSolver, AutomaticRadialGridMeetsTheTolerance) {
  testing::Run run;
  ConvergedOptions o;
  o.Tolerance = 1e-3;
  const ConvergedReport r = Solve(run, o);
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  EXPECT_TRUE(r.ToleranceMet);
  EXPECT_TRUE(r.SurfaceClustered);
  EXPECT_GE(r.RadialIntervals, 64);
  EXPECT_LT(r.EstimatedRelativeTensionError, 1e-3);
  EXPECT_NEAR(r.SpinneretTension, 3.9896, 3.9896 * 1e-3);
  EXPECT_LE(std::fabs(r.SpinneretTension - 3.9896), r.EstimatedTensionError);
}

// As with the classic method, a line whose tension falls to zero is written up to there and
// flagged, so that the run ends as "tension below zero" rather than as a failed calculation.
TEST(ConvergedSolver, LineWhoseTensionFallsToZeroIsWrittenUpToThere) {
  testing::Run run;
  ConvergedOptions o = ClassicRadial(1e-4);
  o.SpinneretTension = 1.5;
  const ConvergedReport r = Solve(run, o);
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  EXPECT_TRUE(run.State.Outcome.CalculationOk);
  EXPECT_TRUE(run.State.Outcome.TensionBelowZero);
  const SpinningLineProfile& pr = *run.Profile;
  EXPECT_GT(pr.ProfileTension[1], 0);
  EXPECT_EQ(pr.ProfileTension[pr.ProfilePointCount - 1], 0);
}

struct FailureCase {
  const char* Name;
  void (*Change)(RunParameters&, ConvergedOptions&);
  ConvergedStatus Status;
  const char* MessagePart;  // nullptr: no message
};

TEST(ConvergedSolver, RunsThatCannotSucceedEndWithTheirReason) {
  const FailureCase cases[] = {
      {"tolerance", [](RunParameters&, ConvergedOptions& o) { o.Tolerance = 0.5; },
       ConvergedStatus::InvalidOptions, "tolerance"},
      {"intervals", [](RunParameters&, ConvergedOptions& o) { o.RadialIntervals = 1; },
       ConvergedStatus::InvalidOptions, "radial intervals"},
      {"take-up tension", [](RunParameters&, ConvergedOptions& o) { o.TakeUpTension = -1.0; },
       ConvergedStatus::InvalidOptions, "take-up tension"},
      // Slower than the lower velocity limit: every pass that gets far ends early.
      {"no bracket", [](RunParameters& p, ConvergedOptions&) { p.TakeUpSpeed = 50; },
       ConvergedStatus::CalculationFailed, "no spinneret tension"},
      // The gas viscosity reaches zero as the film cools: the equations lose their value.
      {"integrator", [](RunParameters& p, ConvergedOptions&) { p.GasKinViscosityParam2 = -0.165; },
       ConvergedStatus::CalculationFailed, "at z = "},
      {"cancelled", [](RunParameters&, ConvergedOptions& o) { o.Cancelled = [] { return true; }; },
       ConvergedStatus::Cancelled, nullptr},
      {"time", [](RunParameters&, ConvergedOptions& o) { o.TimeLimitSeconds = 1e-9; },
       ConvergedStatus::TimedOut, "ran out of time"},
  };
  for (const FailureCase& c : cases) {
    testing::Run run;
    ConvergedOptions o = ClassicRadial(1e-3);
    c.Change(run.Params, o);
    const ConvergedReport r = Solve(run, o);
    EXPECT_EQ(r.Status, c.Status) << c.Name << ": " << r.Message;
    EXPECT_FALSE(run.State.Outcome.CalculationOk) << c.Name;
    if (c.MessagePart) {
      EXPECT_NE(r.Message.find(c.MessagePart), std::string::npos) << c.Name << ": " << r.Message;
      ASSERT_EQ(run.Reporter.Messages.size(), 1u) << c.Name;
      EXPECT_EQ(run.Reporter.Messages[0], r.Message) << c.Name;
    } else {
      EXPECT_TRUE(run.Reporter.Messages.empty()) << c.Name;
    }
  }
}

// The tension search on mismatches with a known root: it must find it within a bounded number
// of passes, return the slope of the true mismatches there, and, where the passes on one side
// end early, close on where they start to.
struct SearchCase {
  const char* Name;
  double Root;
  double Start;
  std::function<TensionTrial(double)> Trial;
  double Slope;  // d mismatch / d ln F at the root
  int PassLimit;
};

TEST(LogTensionSearch, FindsAnalyticRootsInFewPasses) {
  auto value = [](double m) {
    TensionTrial t;
    t.Outcome = TensionTrial::Value;
    t.Mismatch = m;
    return t;
  };
  const SearchCase cases[] = {
      {"linear in ln F", 2.0, 3.0, [&](double f) { return value(std::log(f / 2.0)); }, 1, 6},
      {"steep", 0.5, 3.0, [&](double f) { return value(20 * std::log(f / 0.5)); }, 20, 14},
      {"exponential", 4.0, 1.0, [&](double f) { return value(std::exp(f - 4.0) - 1); }, 4, 18},
      // Curved on one side only: the chord keeps one end, which Illinois must release.
      {"curved", 1.5, 0.2,
       [&](double f) {
         const double x = std::log(f / 1.5);
         return value(x > 0 ? std::expm1(8 * x) : x);
       },
       1, 20},
      {"early end above", 1.2, 0.4,
       [&](double f) {
         if (f > 1.25) return TensionTrial{TensionTrial::TooHigh, 0, 0};
         return value(std::log(f / 1.2));
       },
       1, 20},
  };
  for (const SearchCase& c : cases) {
    TensionSearchSettings settings;
    settings.MismatchTolerance = 1e-9;
    settings.LogTensionTolerance = 1e-12;
    const TensionSearchResult r = SearchLogTension(c.Start, settings, c.Trial);
    ASSERT_EQ(r.Outcome, TensionSearchResult::Converged) << c.Name;
    EXPECT_NEAR(r.Tension, c.Root, 1e-8 * c.Root) << c.Name;
    EXPECT_LE(r.Passes, c.PassLimit) << c.Name;
    EXPECT_NEAR(r.Slope, c.Slope, 0.05 * c.Slope) << c.Name;
    // Ending on a Newton step: what it says it leaves over bounds the step's real mismatch.
    settings.MismatchTolerance = 1e-4;
    settings.NewtonAcceptance = 0.1;
    const TensionSearchResult n = SearchLogTension(c.Start, settings, c.Trial);
    ASSERT_EQ(n.Outcome, TensionSearchResult::Converged) << c.Name;
    EXPECT_LE(std::fabs(c.Trial(n.Tension).Mismatch), std::fabs(n.Mismatch)) << c.Name;
    EXPECT_LE(n.Passes, r.Passes) << c.Name;
    // And on one from three passes, by how much the slope still changes.
    settings.NewtonAcceptance = 0;
    settings.CurvatureAcceptance = true;
    const TensionSearchResult q = SearchLogTension(c.Start, settings, c.Trial);
    ASSERT_EQ(q.Outcome, TensionSearchResult::Converged) << c.Name;
    EXPECT_LE(std::fabs(c.Trial(q.Tension).Mismatch), std::fabs(q.Mismatch)) << c.Name;
    EXPECT_LE(q.Passes, r.Passes) << c.Name;
  }
}

}  // namespace
}  // namespace korvane
