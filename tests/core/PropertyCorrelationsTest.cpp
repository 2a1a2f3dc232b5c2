// The correlations against the worked figures of the default case, their branch limits and
// their guarded failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "DefaultCase.h"
#include "core/classic/TensionIteration.h"
#include "core/converged/ConvergedSolver.h"
#include "core/model/InitialState.h"
#include "core/model/PropertyCorrelations.h"
#include "inputs/PropertyLawFormulas.h"

namespace korvane {
namespace {

using testing::DefaultCase;
using testing::RecordingReporter;

class PropertyCorrelations : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearFaultFlags();
    state.Outcome.CalculationOk = true;
  }
  double Diffusion(double t, double w) {
    double d = 0;
    DiffusionCoefficient(p.DiffusionParam1, p.DiffusionParam2, t, w, p.CriticalWeightFraction,
                         p.TempDependencyParam1, p.TempDependencyParam2, Site(), d);
    return d;
  }
  double HeatTransfer(double area, double v, double nu, double lambda, double ug) {
    double h = 0;
    YarnHeatTransferCoefficient(area, v, nu, lambda, ug, Site(), h);
    return h;
  }
  GuardSite Site() { return GuardSite{state.Outcome, reporter, 0}; }
  RunParameters p = DefaultCase();
  SimulationState state;
  RecordingReporter reporter;
};

TEST_F(PropertyCorrelations, DefaultCaseFigures) {
  auto vapor = [&](double t) {
    return VaporPressure(p.VaporPressureParam1, p.VaporPressureParam2, p.VaporPressureParam3, t);
  };
  EXPECT_NEAR(vapor(165), 0.9776, 0.00005);
  EXPECT_NEAR(vapor(80), 0.03843, 0.000005);
  EXPECT_NEAR(vapor(25), 0.0014997, 0.00000005);

  EXPECT_NEAR(ZeroShearViscosity(p.ViscosityParam1, p.ViscosityParam2, p.ViscosityParam3, 0.73, 80),
              738.1, 0.05);
  EXPECT_NEAR(ZeroShearViscosity(p.ViscosityParam1, p.ViscosityParam2, p.ViscosityParam3, 0.5, 100),
              1.119e5, 50);

  // n = 0 makes the concentration factor 1 for every w, also w = 0.
  for (double w : {0.0, 0.3, 0.73, 1.0}) EXPECT_NEAR(Diffusion(80, w), 2.082e-6, 5e-10) << w;
  EXPECT_TRUE(state.Outcome.CalculationOk);

  EXPECT_NEAR(InsulationCoefficient(1.0), 2.7778e-5, 5e-10);
  EXPECT_EQ(InsulationCoefficient(0.0), 0);
  EXPECT_DOUBLE_EQ(FilmGasDensity(0), 0.001293);
  EXPECT_TRUE(reporter.Messages.empty());
}

TEST_F(PropertyCorrelations, DiffusionCoefficientBelowTheCriticalFraction) {
  p.CriticalWeightFraction = 0.5;
  p.TempDependencyParam1 = 0.01;
  p.TempDependencyParam2 = 1.2;
  const double plain = p.DiffusionParam1 * std::exp(p.DiffusionParam2 / (80 + 273));
  // At the critical fraction the plain branch holds.
  EXPECT_EQ(Diffusion(80, 0.5), plain);
  // Below it the fraction ratio to the power n = 0.01 t + 1.2 = 2.0.
  EXPECT_NEAR(Diffusion(80, 0.25), 0.25 * plain, 1e-20);
  EXPECT_TRUE(state.Outcome.CalculationOk);
  EXPECT_TRUE(reporter.Messages.empty());
}

TEST_F(PropertyCorrelations, DiffusionCoefficientNegativeFractionWithNonIntegralPower) {
  p.TempDependencyParam2 = 0.5;
  Diffusion(80, -0.1);
  EXPECT_FALSE(state.Outcome.CalculationOk);
  ASSERT_EQ(reporter.Messages.size(), 1u);
  EXPECT_EQ(reporter.Messages[0], "Sorry, this case does not converge!!!");
  EXPECT_EQ(state.Outcome.Fault.Kind, FaultKind::None);
}

TEST_F(PropertyCorrelations, DiffusionCoefficientNegativeFractionWithIntegralPower) {
  p.TempDependencyParam2 = 2;
  const double d = Diffusion(80, -0.1);
  EXPECT_TRUE(state.Outcome.CalculationOk);
  EXPECT_TRUE(reporter.Messages.empty());
  EXPECT_NEAR(d, 0.01 * 2.082e-6, 1e-11);
}

TEST_F(PropertyCorrelations, DiffusionCoefficientZeroCriticalFractionIsGuarded) {
  p.CriticalWeightFraction = 0;
  Diffusion(80, -0.1);
  EXPECT_FALSE(state.Outcome.CalculationOk);
  ASSERT_EQ(reporter.Messages.size(), 1u);
  EXPECT_EQ(reporter.Messages[0], "Sorry, this case does not converge!!!");
}

TEST_F(PropertyCorrelations, YarnHeatTransferGuardsAreaVelocityAndViscosity) {
  const double lambda = 1e-4;
  for (auto [area, v, nu] : {std::tuple{-1e-4, 500.0, 0.2}, std::tuple{1e-4, -500.0, 0.2},
                             std::tuple{1e-4, 500.0, 0.0}, std::tuple{1e-4, 500.0, -0.2}}) {
    state.Outcome.CalculationOk = true;
    reporter.Messages.clear();
    HeatTransfer(area, v, nu, lambda, 15);
    EXPECT_FALSE(state.Outcome.CalculationOk) << area << " " << v << " " << nu;
    ASSERT_EQ(reporter.Messages.size(), 1u);
    EXPECT_EQ(reporter.Messages[0], "Sorry, this case does not converge!!!!");
  }
}

TEST_F(PropertyCorrelations, YarnHeatTransferValue) {
  // x = (sqrt(A) v / nu)^0.36, y = (1.076 x - 0.685)^2,
  // Nu = 0.35 + 0.146 (1.129 sqrt(A) ug / nu + y)^0.5, h = Nu 0.886 lambda / sqrt(A).
  const double area = 1e-4, v = 500, nu = 0.2, lambda = 7e-5, ug = 15;
  const double x = std::pow(0.01 * 500 / 0.2, 0.36);
  const double y = (1.076 * x - 0.685) * (1.076 * x - 0.685);
  const double nusselt = 0.35 + 0.146 * std::sqrt(1.129 * 0.01 * 15 / 0.2 + y);
  EXPECT_NEAR(HeatTransfer(area, v, nu, lambda, ug), nusselt * 0.886 * lambda / 0.01, 1e-15);
  EXPECT_TRUE(state.Outcome.CalculationOk);
}

TEST_F(PropertyCorrelations, GuardedFailureAfterAnUnguardedFaultRecordsTheFault) {
  // A division by zero earlier in the same step ended the calculation before the guard.
  volatile double zero = 0;
  volatile double inf = 1 / zero;
  (void)inf;
  double h = 1;
  const StepStatus status = YarnHeatTransferCoefficient(
      -1e-4, 500, 0.2, 1e-4, 15, GuardSite{state.Outcome, reporter, 12.5}, h);
  EXPECT_EQ(status, StepStatus::Fault);
  EXPECT_EQ(h, 0);
  EXPECT_FALSE(state.Outcome.CalculationOk);
  EXPECT_TRUE(reporter.Messages.empty());
  EXPECT_EQ(state.Outcome.Fault.Kind, FaultKind::DivisionByZero);
  EXPECT_EQ(state.Outcome.Fault.Z, 12.5);  // the position of the step the guard belongs to
}

TEST_F(PropertyCorrelations, GasDragAndEvaporation) {
  const double r = 0.005, v = 400, nu = 0.3, rho = 0.0008;
  const double cf = 0.37 * std::pow(2 * r * v / nu, -0.61);
  EXPECT_NEAR(GasDragStress(r, v, nu, rho), rho / 2 * cf * v * v, 1e-15);
  const double ys = SurfaceVaporFraction(0.5, 0.2);
  EXPECT_DOUBLE_EQ(ys, 0.5 * std::exp(0.5) * 0.2);
  EXPECT_DOUBLE_EQ(EvaporationFlux(ys, 0.01, 2e-6), 2e-6 * (ys - 0.01) / (1 - ys));
  EXPECT_EQ(MassTransferCoefficient(7.5e-4, 7.5), 1e-4);
  ClearFaultFlags();
  EXPECT_TRUE(std::isinf(EvaporationFlux(1, 0, 1e-6)));
  EXPECT_EQ(FaultKindOf(RaisedFaultFlags()), FaultKind::DivisionByZero);
}

// Laminar value computed from the textbook form, for the branch tests below.
double LaminarNusselt(double l, double d, double re, double pr, double tw, double tg, double rho) {
  const double g = std::fabs((tw - tg) * 875000000.0 / 24 * d * d * d * rho * rho);
  const double x = d / l + 0.0006 * std::pow(re, 0.75) * std::exp(-7e-7 * std::pow(l / d, 4));
  const double s = std::cbrt(0.0135 * std::pow(g * pr * x, 0.8) + M_PI / 4 * re * pr * x);
  return tw >= tg ? s + 2.25 : 1.45 * s + 2.25;
}

double WallH(double nusselt, double d) {
  return 0.034 * nusselt / (d / 100) / 36000;
}

TEST(WallHeatTransfer, BranchLimits) {
  const double l = 700, d = 40, pr = 0.675, tw = 30, tg = 150;
  // Re = D u rho / mu: with rho = mu = 1 the velocity sets it exactly.
  const double atLaminarLimit = WallHeatTransferCoefficient(l, d, 50, pr, tw, tg, 1, 1);
  EXPECT_NEAR(atLaminarLimit, WallH(LaminarNusselt(l, d, 2000, pr, tw, tg, 1), d),
              1e-12 * atLaminarLimit);

  const double ratio = std::sqrt((1.8 * tg + 492) / (1.8 * tw + 492));
  const double atTurbulentLimit = WallHeatTransferCoefficient(l, d, 250, pr, tw, tg, 1, 1);
  EXPECT_NEAR(atTurbulentLimit, WallH(34.87 * std::pow(pr, 0.4) * ratio, d),
              1e-12 * atTurbulentLimit);

  const double turbulent = WallHeatTransferCoefficient(l, d, 500, pr, tw, tg, 1, 1);
  EXPECT_NEAR(turbulent, WallH(0.022 * std::pow(20000, 0.8) * std::pow(pr, 0.4) * ratio, d),
              1e-12 * turbulent);

  // The blend meets the other branches to within the rounding of its constants.
  const double justAbove = WallHeatTransferCoefficient(l, d, 50.000001, pr, tw, tg, 1, 1);
  EXPECT_NEAR(justAbove, atLaminarLimit, 1e-4 * atLaminarLimit);
}

TEST(WallHeatTransfer, EqualTemperaturesLeaveForcedConvectionOnly) {
  const double l = 700, d = 40, pr = 0.675, t = 120, rho = 0.00089, mu = 0.00024;
  const double u = 10;
  const double re = d * u * rho / mu;
  ASSERT_LT(re, 2000);
  const double x = d / l + 0.0006 * std::pow(re, 0.75) * std::exp(-7e-7 * std::pow(l / d, 4));
  const double s = std::cbrt(0.78539816339744831 * re * pr * x);
  const double h = WallHeatTransferCoefficient(l, d, u, pr, t, t, rho, mu);
  EXPECT_NEAR(h, WallH(s + 2.25, d), 1e-12 * h);
}

// Each law written as its built-in form: the same values as the built-in correlation at
// points across and beyond the default case (with the diffusion coefficient's power branch
// switched on), and the same line from both methods within 1e-12.
struct BuiltInLaw {
  const char* Name;
  const char* Formula;
  std::function<double(const RunParameters&, double, double)> BuiltIn;
  std::vector<std::pair<double, double>> Points;
};

const std::vector<BuiltInLaw>& BuiltInLaws() {
  static const std::vector<BuiltInLaw> laws = {
      {"diffusion_coefficient",
       "w >= critical_weight_fraction ? diffusion_param_1 * exp(diffusion_param_2 / (t + 273)) : "
       "(w / critical_weight_fraction)^(temperature_dependency_param_1 * t + "
       "temperature_dependency_param_2) * diffusion_param_1 * exp(diffusion_param_2 / (t + 273))",
       [](const RunParameters& p, double t, double w) {
         RunOutcomeFlags outcome;
         RecordingReporter quiet;
         double d = 0;
         DiffusionCoefficient(p.DiffusionParam1, p.DiffusionParam2, t, w, p.CriticalWeightFraction,
                              p.TempDependencyParam1, p.TempDependencyParam2,
                              GuardSite{outcome, quiet, 0}, d);
         return d;
       },
       {{20, 0.0001}, {60, 0.3}, {80, 0.73}, {120, 0.999}, {180, 0.05}}},
      {"zero_shear_viscosity",
       "viscosity_param_1 * (1 - w)^viscosity_param_2 * exp(viscosity_param_3 / (t + 273))",
       [](const RunParameters& p, double t, double w) {
         return ZeroShearViscosity(p.ViscosityParam1, p.ViscosityParam2, p.ViscosityParam3, w, t);
       },
       {{20, 0.0001}, {60, 0.3}, {80, 0.73}, {120, 0.95}, {180, 0.05}}},
      {"vapor_pressure",
       "10^(vapor_pressure_param_1 - vapor_pressure_param_2 / (t + vapor_pressure_param_3))",
       [](const RunParameters& p, double t, double) {
         return VaporPressure(p.VaporPressureParam1, p.VaporPressureParam2, p.VaporPressureParam3,
                              t);
       },
       {{20, 0}, {60, 0}, {80, 0}, {165, 0}, {230, 0}}},
      {"surface_vapor_fraction",
       "ws * exp(1 - ws) * ps",
       [](const RunParameters&, double ws, double ps) { return SurfaceVaporFraction(ws, ps); },
       {{0.0001, 0.5}, {0.3, 0.04}, {0.73, 0.98}, {1, 1.5}, {-0.05, 0.2}}},
      {"gas_conductivity",
       "gas_conductivity_param_1 * tf + gas_conductivity_param_2",
       [](const RunParameters& p, double tf, double) {
         return GasThermalConductivity(p.GasConductivityParam1, p.GasConductivityParam2, tf);
       },
       {{20, 0}, {85, 0}, {150, 0}, {260, 0}}},
      {"gas_kinematic_viscosity",
       "gas_kinematic_viscosity_param_1 * tf + gas_kinematic_viscosity_param_2",
       [](const RunParameters& p, double tf, double) {
         return GasKinematicViscosity(p.GasKinViscosityParam1, p.GasKinViscosityParam2, tf);
       },
       {{20, 0}, {85, 0}, {150, 0}, {260, 0}}},
  };
  return laws;
}

double RelativeDifference(double a, double b) {
  return a == b ? 0 : std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

// The largest relative difference of the two profiles' filament values over the points.
double LargestProfileDifference(const SpinningLineProfile& a, const SpinningLineProfile& b,
                                int points) {
  double largest = 0;
  for (int i = 0; i < points; ++i) {
    for (const auto column :
         {&SpinningLineProfile::ProfileYarnVelocity, &SpinningLineProfile::ProfileYarnTemp,
          &SpinningLineProfile::ProfileTension, &SpinningLineProfile::ProfileAvgSolvent,
          &SpinningLineProfile::ProfileSurfaceSolvent, &SpinningLineProfile::ProfileGasTemp,
          &SpinningLineProfile::ProfileElongViscosity,
          &SpinningLineProfile::ProfileEvaporationFlux}) {
      largest = std::max(largest, RelativeDifference((a.*column)[i], (b.*column)[i]));
    }
  }
  return largest;
}

TEST(PropertyLaws, EachLawWrittenAsItsBuiltInFormAgreesWithinOneIn1e12) {
  // Both methods' lines without laws, to compare with.
  testing::Run classic;
  InitialState(classic.Params, *classic.Profile, classic.State);
  TensionIteration(classic.Params, *classic.Profile, classic.State, classic.Reporter);
  ASSERT_TRUE(classic.State.Outcome.CalculationOk);
  ConvergedOptions options;
  options.RadialIntervals = 10;
  options.SpinneretTension = classic.State.Iteration.TensionGuess;
  testing::Run converged;
  SolveConverged(converged.Params, options, *converged.Profile, converged.State,
                 converged.Reporter);
  ASSERT_TRUE(converged.State.Outcome.CalculationOk);

  for (const BuiltInLaw& law : BuiltInLaws()) {
    SCOPED_TRACE(law.Name);
    std::string problem;
    const std::unique_ptr<PropertyLawFormulas> laws =
        PropertyLawFormulas::Compile({{law.Name, law.Formula}}, problem);
    ASSERT_TRUE(laws) << problem;
    const PropertyLaw which = *PropertyLawByName(law.Name);

    RunParameters p = DefaultCase();
    p.CriticalWeightFraction = 0.4;  // the diffusion coefficient's power branch below 0.4
    p.TempDependencyParam1 = 0.01;
    p.TempDependencyParam2 = 1.5;
    for (const auto& [first, second] : law.Points) {
      double value = 0;
      ASSERT_TRUE(laws->Evaluate(which, p, first, second, value)) << laws->FailureText();
      EXPECT_LE(RelativeDifference(value, law.BuiltIn(p, first, second)), 1e-12)
          << first << ", " << second;
    }

    testing::Run classicWithLaw;
    classicWithLaw.Params.Laws = laws.get();
    InitialState(classicWithLaw.Params, *classicWithLaw.Profile, classicWithLaw.State);
    TensionIteration(classicWithLaw.Params, *classicWithLaw.Profile, classicWithLaw.State,
                     classicWithLaw.Reporter);
    ASSERT_TRUE(classicWithLaw.State.Outcome.CalculationOk);
    EXPECT_LE(RelativeDifference(classicWithLaw.State.Iteration.TensionGuess,
                                 classic.State.Iteration.TensionGuess),
              1e-12);
    ASSERT_EQ(classicWithLaw.Profile->PassPointCount, classic.Profile->PassPointCount);
    EXPECT_LE(LargestProfileDifference(*classicWithLaw.Profile, *classic.Profile,
                                       classic.Profile->PassPointCount),
              1e-12);

    testing::Run convergedWithLaw;
    convergedWithLaw.Params.Laws = laws.get();
    SolveConverged(convergedWithLaw.Params, options, *convergedWithLaw.Profile,
                   convergedWithLaw.State, convergedWithLaw.Reporter);
    ASSERT_TRUE(convergedWithLaw.State.Outcome.CalculationOk);
    EXPECT_LE(LargestProfileDifference(*convergedWithLaw.Profile, *converged.Profile,
                                       converged.Profile->PassPointCount),
              1e-12);
  }
}

}  // namespace
}  // namespace korvane
