// The derivatives of a converged answer against central differences of whole converged runs on
// the same frozen radial grid, for inputs that enter the line in different ways.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "DefaultCase.h"
#include "core/converged/ConvergedSolver.h"
#include "inputs/FieldTexts.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/SensitivityItems.h"

namespace korvane {
namespace {

ConvergedOptions Frozen(double tolerance) {
  ConvergedOptions o;
  o.Tolerance = tolerance;
  o.RadialIntervals = 10;
  return o;
}

struct Answer {
  double Tension = 0;
  double EndSolvent = 0;
  double EndTemperature = 0;
  double MidTension = 0;
  double EndGasTemperature = 0;
  double MidViscosity = 0;
};

constexpr int kMid = 60;   // z = 220 cm
constexpr int kEnd = 114;  // z = 700 cm

// The default case with its first jacket, from 400 cm down, heated: a wall-zone boundary
// inside the line where the equations jump.
void HeatTheFirstJacket(RunParameters& p) {
  p.JacketMode[0] = '1';
  p.JacketTemp[0] = 150;
}

Answer Solve(testing::Run& run, const ConvergedOptions& options) {
  const ConvergedReport r =
      SolveConverged(run.Params, options, *run.Profile, run.State, run.Reporter);
  EXPECT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  const SpinningLineProfile& p = *run.Profile;
  return {r.SpinneretTension,     p.ProfileAvgSolvent[kEnd], p.ProfileYarnTemp[kEnd],
          p.ProfileTension[kMid], p.ProfileGasTemp[kEnd],    p.ProfileElongViscosity[kMid]};
}

struct Row {
  const char* Name;
  double* (*Field)(RunParameters&);
};

TEST(ConvergedSensitivities, MatchCentralDifferencesOnAFrozenGrid) {
  const Row rows[] = {
      // The diffusion coefficient's exponent: the radial nodes' equations.
      {"diffusion_param_2", [](RunParameters& p) { return &p.DiffusionParam2; }},
      // The viscosity: the velocity's equation.
      {"viscosity_param_1", [](RunParameters& p) { return &p.ViscosityParam1; }},
      // The take-up speed: only the end target.
      {"take_up_speed", [](RunParameters& p) { return &p.TakeUpSpeed; }},
      // The gas temperature at the inlet: the state at the spinneret.
      {"gas_inlet_temperature", [](RunParameters& p) { return &p.GasInitialTemp; }},
      // The gas flow: the run-wide flows derived from the record.
      {"gas_flow_rate", [](RunParameters& p) { return &p.GasFlowRate; }},
      // The first jacket's upper end: where the equations jump.
      {"jacket_1_upper_position", [](RunParameters& p) { return &p.JacketUpperPos[0]; }},
  };
  // Both at a tight tolerance, so that the differences see the derivatives rather than the
  // integration's noise.
  ConvergedOptions options = Frozen(1e-8);
  for (const Row& row : rows) options.Sensitivities.push_back({row.Name, row.Field});
  testing::Run base;
  HeatTheFirstJacket(base.Params);
  const ConvergedReport r =
      SolveConverged(base.Params, options, *base.Profile, base.State, base.Reporter);
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  ASSERT_EQ(r.Sensitivities.size(), std::size(rows));

  for (size_t k = 0; k < std::size(rows); ++k) {
    const Row& row = rows[k];
    const ParameterSensitivity& s = r.Sensitivities[k];
    EXPECT_EQ(s.Name, row.Name);
    // Fourth-order central differences: (8 (y(h) - y(-h)) - (y(2h) - y(-2h))) / 12h.
    const double value = *row.Field(base.Params);
    const double h = 1e-3 * std::fabs(value);
    Answer at[4];
    const double shifts[4] = {-2, -1, 1, 2};
    for (int j = 0; j < 4; ++j) {
      testing::Run shifted;
      HeatTheFirstJacket(shifted.Params);
      *row.Field(shifted.Params) = value + shifts[j] * h;
      at[j] = Solve(shifted, Frozen(1e-8));
    }
    const auto difference = [&](double Answer::*of) {
      return (8 * (at[2].*of - at[1].*of) - (at[3].*of - at[0].*of)) / (12 * h);
    };
    const SpinningLineProfile& d = s.Profile;
    const SpinningLineProfile& y = *base.Profile;
    const std::tuple<double, double, double> checks[] = {
        {s.SpinneretTension, difference(&Answer::Tension), r.SpinneretTension},
        {d.ProfileAvgSolvent[kEnd], difference(&Answer::EndSolvent), y.ProfileAvgSolvent[kEnd]},
        {d.ProfileYarnTemp[kEnd], difference(&Answer::EndTemperature), y.ProfileYarnTemp[kEnd]},
        {d.ProfileTension[kMid], difference(&Answer::MidTension), y.ProfileTension[kMid]},
        {d.ProfileGasTemp[kEnd], difference(&Answer::EndGasTemperature), y.ProfileGasTemp[kEnd]},
        {d.ProfileElongViscosity[kMid], difference(&Answer::MidViscosity),
         y.ProfileElongViscosity[kMid]},
    };
    // Agreement to 1e-4 of the derivative, or of a change of 1e-6 of the value for a change of
    // the input by all of its size where the derivative is about nothing.
    for (const auto& [computed, expected, size] : checks) {
      EXPECT_NEAR(computed, expected, 1e-4 * std::fabs(expected) + 1e-6 * size / std::fabs(value))
          << row.Name;
    }
  }
}

// The constants of a case's laws are differentiated as items are. d0 stands for
// diffusion_param_1 in a diffusion law written as the built-in one (the radial nodes' equations),
// b for viscosity_param_3 in the viscosity's (the velocity's equation): their derivatives agree
// with central differences of whole runs that move the constants, and with the derivatives of
// the items they stand for under the built-in laws.
TEST(ConvergedSensitivities, LawConstantsMatchCentralDifferencesAndTheirItems) {
  const PropertyLawTexts laws = {
      {"diffusion_coefficient",
       "w >= critical_weight_fraction ? d0 * exp(diffusion_param_2 / (t + 273)) : "
       "(w / critical_weight_fraction)^(temperature_dependency_param_1 * t + "
       "temperature_dependency_param_2) * d0 * exp(diffusion_param_2 / (t + 273))"},
      {"zero_shear_viscosity",
       "viscosity_param_1 * (1 - w)^viscosity_param_2 * exp(b / (t + 273))"}};
  const FieldTexts defaults = DefaultFieldTexts();
  const LawConstantTexts constants = {{"d0", defaults.Items[6]}, {"b", defaults.Items[5]}};
  std::string problem;
  const std::unique_ptr<PropertyLawFormulas> compiled =
      PropertyLawFormulas::Compile(laws, constants, problem);
  ASSERT_TRUE(compiled) << problem;

  ConvergedOptions options = Frozen(1e-8);
  options.Sensitivities = {LawConstantSensitivity("d0", 0), LawConstantSensitivity("b", 1)};
  testing::Run base;
  base.Params.Laws = compiled.get();
  const ConvergedReport r =
      SolveConverged(base.Params, options, *base.Profile, base.State, base.Reporter);
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  ASSERT_EQ(r.Sensitivities.size(), 2u);

  ConvergedOptions items = Frozen(1e-8);
  for (const char* name : {"diffusion_param_1", "viscosity_param_3"}) {
    std::string error;
    items.Sensitivities.push_back(*SensitivityParameterFor(name, error));
  }
  testing::Run builtIn;
  const ConvergedReport ri =
      SolveConverged(builtIn.Params, items, *builtIn.Profile, builtIn.State, builtIn.Reporter);
  ASSERT_EQ(ri.Status, ConvergedStatus::Converged) << ri.Message;

  for (size_t k = 0; k < 2; ++k) {
    const ParameterSensitivity& s = r.Sensitivities[k];
    double& constant = *compiled->Constant(k);
    const double value = constant;
    const double h = 1e-3 * std::fabs(value);
    Answer at[4];
    const double shifts[4] = {-2, -1, 1, 2};
    for (int j = 0; j < 4; ++j) {
      testing::Run shifted;
      shifted.Params.Laws = compiled.get();
      constant = value + shifts[j] * h;
      at[j] = Solve(shifted, Frozen(1e-8));
    }
    constant = value;
    const auto difference = [&](double Answer::*of) {
      return (8 * (at[2].*of - at[1].*of) - (at[3].*of - at[0].*of)) / (12 * h);
    };
    const SpinningLineProfile& d = s.Profile;
    const SpinningLineProfile& y = *base.Profile;
    const SpinningLineProfile& di = ri.Sensitivities[k].Profile;
    const std::tuple<double, double, double, double> checks[] = {
        {s.SpinneretTension, difference(&Answer::Tension), r.SpinneretTension,
         ri.Sensitivities[k].SpinneretTension},
        {d.ProfileAvgSolvent[kEnd], difference(&Answer::EndSolvent), y.ProfileAvgSolvent[kEnd],
         di.ProfileAvgSolvent[kEnd]},
        {d.ProfileYarnTemp[kEnd], difference(&Answer::EndTemperature), y.ProfileYarnTemp[kEnd],
         di.ProfileYarnTemp[kEnd]},
        {d.ProfileTension[kMid], difference(&Answer::MidTension), y.ProfileTension[kMid],
         di.ProfileTension[kMid]},
        {d.ProfileElongViscosity[kMid], difference(&Answer::MidViscosity),
         y.ProfileElongViscosity[kMid], di.ProfileElongViscosity[kMid]},
    };
    for (const auto& [computed, expected, size, ofItem] : checks) {
      EXPECT_NEAR(computed, expected, 1e-4 * std::fabs(expected) + 1e-6 * size / std::fabs(value))
          << s.Name;
      EXPECT_NEAR(computed, ofItem, 1e-6 * std::fabs(ofItem) + 1e-9 * size / std::fabs(value))
          << s.Name;
    }
  }
}

// Every decimal item at the tightest tolerance, in one pass, among them those whose value is 0
// (the inlet gas's solvent content, where the vapour flow starts from nothing).
TEST(ConvergedSensitivities, EveryDecimalItemAtTheTightestTolerance) {
  ConvergedOptions options = Frozen(1e-8);
  for (const ParameterItem& item : ParameterItems()) {
    std::string error;
    if (std::optional<SensitivityParameter> p =
            SensitivityParameterFor(std::to_string(item.Number), error)) {
      options.Sensitivities.push_back(*p);
    } else {
      EXPECT_TRUE(item.Type == ItemType::Int32 ||
                  (item.Number >= kFirstIncrementItem && item.Number < kFirstIncrementCountItem))
          << error;
    }
  }
  ASSERT_EQ(options.Sensitivities.size(), 40u);
  testing::Run run;
  const ConvergedReport r =
      SolveConverged(run.Params, options, *run.Profile, run.State, run.Reporter);
  ASSERT_EQ(r.Status, ConvergedStatus::Converged) << r.Message;
  for (const ParameterSensitivity& s : r.Sensitivities) {
    EXPECT_TRUE(std::isfinite(s.SpinneretTension)) << s.Name;
    const int last = run.Profile->ProfilePointCount - 1;
    EXPECT_TRUE(std::isfinite(s.Profile.ProfileGasTemp[last])) << s.Name;
    EXPECT_EQ(s.Profile.ProfileTension[0], s.SpinneretTension) << s.Name;
  }
}

}  // namespace
}  // namespace korvane
