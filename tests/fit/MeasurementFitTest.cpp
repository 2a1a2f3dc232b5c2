// Fits to measurements: the estimates and their stated uncertainty hold up against data made by
// the model itself with noise of known size, and data that cannot determine a parameter say so.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>

#include "RecordingEnvironment.h"
#include "files/NumberText.h"
#include "fit/DerivedColumnDerivative.h"
#include "fit/MeasurementFit.h"
#include "fit/ProfileInterpolation.h"
#include "inputs/SensitivityItems.h"

namespace korvane {
namespace {

// Normal deviates made from the generator's bits alone (Box-Muller), so the data are the same
// with every standard library.
class NormalNoise {
 public:
  explicit NormalNoise(uint64_t seed) : bits_(seed) {}
  double Next() {
    const double u1 = (static_cast<double>(bits_() >> 11) + 0.5) * 0x1.0p-53;
    const double u2 = (static_cast<double>(bits_() >> 11) + 0.5) * 0x1.0p-53;
    return std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }

 private:
  std::mt19937_64 bits_;
};

// The fit's own model options: converged, on a fixed coarse radial grid at a loose tolerance,
// so that twenty fits stay quick; the data are made by the same model.
RunOptions QuickConverged() {
  RunOptions options;
  options.Method = SolverMethod::Converged;
  options.Converged.Tolerance = 1e-3;
  options.Converged.RadialIntervals = 16;
  return options;
}

struct Point {
  const char* Column;
  double Z, Sigma;
};

// 17 measurements along the default line: the spinneret tension, the average solvent fraction
// and the filament temperature.
std::vector<Point> PlantPoints() {
  std::vector<Point> points = {{"tension", 0, 0.05}};
  for (double z : {50, 100, 150, 200, 300, 400, 500, 600})
    points.push_back({"average_solvent_fraction", z, 0.005});
  for (double z : {50, 100, 200, 300, 400, 500, 600, 700})
    points.push_back({"filament_temperature", z, 0.5});
  return points;
}

// The model's values at the points for the case.
std::vector<Measurement> ModelAt(const FieldTexts& texts, const RunOptions& options,
                                 const std::vector<Point>& points) {
  RunContext context;
  testing::RecordingEnvironment environment;
  FieldTexts run = texts;
  run.ResultFileName = (std::filesystem::temp_directory_path() / "korvane-fit-test.txt").string();
  const RunReport report = RunDriver(context, run, environment, options);
  std::filesystem::remove(run.ResultFileName);
  EXPECT_EQ(report.Outcome, RunOutcome::Success);
  const ProfileSource source{context.Params, *context.Profile, context.State,
                             report.PrintedPointCount};
  std::vector<Measurement> measurements;
  for (const Point& point : points) {
    Measurement m;
    m.Column = &ProfileColumnByName(point.Column);
    m.Z = point.Z;
    m.Sigma = point.Sigma;
    m.Value = InterpolatedValue(*m.Column, source,
                                LocateOnLine(*context.Profile, report.PrintedPointCount, point.Z));
    measurements.push_back(m);
  }
  return measurements;
}

FitParameter ParameterOf(const char* text, const FieldTexts& texts) {
  std::string error;
  const std::optional<FitParameter> parameter = ParseFitParameter(text, texts, error);
  EXPECT_TRUE(parameter) << error;
  return parameter.value_or(FitParameter{});
}

// Twenty data sets made at the default values with noise of the stated sigma: the 95 % interval
// holds the truth in at least 17 of them, for each parameter, and the scatter of the estimates
// matches their stated standard errors within 30 %.
TEST(MeasurementFit, RecoversTheTruthWithinItsStatedUncertainty) {
  const FieldTexts truth = DefaultFieldTexts();
  const std::vector<Point> points = PlantPoints();
  const std::vector<Measurement> exact = ModelAt(truth, QuickConverged(), points);
  const char* names[] = {"diffusion_param_1", "viscosity_param_1"};
  const double truthValues[] = {0.00103, 5512.3};
  // The fits start 10 % away from the truth.
  FieldTexts start = truth;
  start.Items[6] = "0.001133";
  start.Items[3] = "4961.07";

  constexpr int kSeeds = 20;
  int inside[2] = {0, 0};
  double sum[2] = {0, 0}, squares[2] = {0, 0}, statedErrors[2] = {0, 0};
  for (int seed = 1; seed <= kSeeds; ++seed) {
    NormalNoise noise(static_cast<uint64_t>(seed));
    FitRequest request;
    request.Texts = start;
    request.Options = QuickConverged();
    request.Measurements = exact;
    for (Measurement& m : request.Measurements) m.Value += m.Sigma * noise.Next();
    for (const char* name : names) request.Parameters.push_back(ParameterOf(name, start));
    const FitResult result = FitToMeasurements(request);
    ASSERT_EQ(result.Status, FitStatus::Fitted) << "seed " << seed << ": " << result.Message;
    EXPECT_EQ(result.DegreesOfFreedom, 15);
    for (int k = 0; k < 2; ++k) {
      const FitEstimate& e = result.Parameters[static_cast<size_t>(k)];
      inside[k] += e.Low95 <= truthValues[k] && truthValues[k] <= e.High95;
      sum[k] += e.Value;
      squares[k] += e.Value * e.Value;
      statedErrors[k] += e.StandardError / kSeeds;
    }
  }
  for (int k = 0; k < 2; ++k) {
    const double mean = sum[k] / kSeeds;
    const double scatter = std::sqrt((squares[k] - kSeeds * mean * mean) / (kSeeds - 1));
    EXPECT_GE(inside[k], 17) << names[k];
    EXPECT_NEAR(scatter / statedErrors[k], 1.0, 0.3)
        << names[k] << ": scatter " << scatter << ", stated " << statedErrors[k];
    std::printf("%s: truth inside the 95 %% interval in %d of %d; scatter %.4g, stated %.4g\n",
                names[k], inside[k], kSeeds, scatter, statedErrors[k]);
  }
}

// The spinneret tension alone follows the viscosity but cannot give a diffusion parameter as
// well: the fit names that one instead of printing a huge interval, and states the viscosity's
// error with it held. A sigma left to estimate from one point per parameter is refused.
TEST(MeasurementFit, NamesTheParametersTheDataCannotDetermine) {
  const FieldTexts texts = DefaultFieldTexts();
  FitRequest request;
  request.Texts = texts;
  request.Options = QuickConverged();
  request.Measurements =
      ModelAt(texts, request.Options, {{"tension", 0, 0.05}, {"tension", 0, 0.05}});
  request.Measurements[0].Value *= 1.01;
  for (const char* name : {"diffusion_param_1", "viscosity_param_1"})
    request.Parameters.push_back(ParameterOf(name, texts));
  const FitResult result = FitToMeasurements(request);
  ASSERT_EQ(result.Status, FitStatus::Undetermined) << result.Message;
  EXPECT_EQ(result.Undetermined, std::vector<std::string>{"diffusion_param_1"});
  EXPECT_NE(result.Message.find("cannot determine diffusion_param_1: "), std::string::npos)
      << result.Message;
  EXPECT_FALSE(result.Parameters[0].Determined);
  EXPECT_TRUE(result.Parameters[1].Determined);
  EXPECT_GT(result.Parameters[1].StandardError, 0);

  for (Measurement& m : request.Measurements) m.Sigma = 0;
  EXPECT_EQ(FitToMeasurements(request).Status, FitStatus::Refused);
}

// A constant of the case's laws is fitted as an item is, with the converged method's derivatives:
// data made at a1 = 5512.3 (the viscosity law written as the built-in one, a1 in the place of
// viscosity_param_1) give a1 back from a start 10 % off, and the fitted case carries it.
TEST(MeasurementFit, RecoversALawConstant) {
  FieldTexts truth = DefaultFieldTexts();
  truth.Laws = {{"zero_shear_viscosity",
                 "a1 * (1 - w)^viscosity_param_2 * exp(viscosity_param_3 / (t + 273))"}};
  truth.LawConstants = {{"a1", "5512.3"}};
  FitRequest request;
  request.Texts = truth;
  request.Texts.LawConstants = {{"a1", "4961.07"}};
  request.Options = QuickConverged();
  request.Measurements = ModelAt(truth, request.Options, PlantPoints());
  request.Parameters.push_back(ParameterOf("a1", request.Texts));
  const FitResult result = FitToMeasurements(request);
  ASSERT_EQ(result.Status, FitStatus::Fitted) << result.Message;
  ASSERT_EQ(result.Parameters.size(), 1u);
  const FitEstimate& e = result.Parameters[0];
  EXPECT_EQ(e.Name, "a1");
  EXPECT_EQ(e.Item, 0);
  EXPECT_NEAR(e.Value, 5512.3, 1e-4 * 5512.3);
  EXPECT_GT(e.StandardError, 0);
  EXPECT_LT(result.ChiSquare, 1e-3);
  ASSERT_EQ(result.FittedTexts.LawConstants.size(), 1u);
  EXPECT_EQ(result.FittedTexts.LawConstants[0].second, ShortestText(e.Value));
  EXPECT_EQ(result.FittedTexts.Laws, truth.Laws);
  std::printf("a1: fitted %.8g (truth 5512.3) in %d evaluations, %.2f s\n", e.Value,
              result.Evaluations, result.Seconds);
}

// The cross-section and the stress are computed from other columns; their derivatives, from
// those columns' sensitivities and the item's own place in the formulas, agree with central
// differences of whole runs, for an item inside the equations and one inside the formulas too.
TEST(DerivedColumnDerivative, AgreesWithCentralDifferencesOfRuns) {
  RunOptions options;
  options.Method = SolverMethod::Converged;
  options.Converged.Tolerance = 1e-7;
  options.Converged.RadialIntervals = 16;
  const std::string resultFile =
      (std::filesystem::temp_directory_path() / "korvane-fit-derived.txt").string();
  struct Line {
    RunContext Context;
    RunReport Report;
  };
  auto run = [&](const FieldTexts& texts, const RunOptions& o, Line& line) {
    FieldTexts t = texts;
    t.ResultFileName = resultFile;
    testing::RecordingEnvironment environment;
    line.Report = RunDriver(line.Context, t, environment, o);
    std::filesystem::remove(resultFile);
    ASSERT_EQ(line.Report.Outcome, RunOutcome::Success);
  };
  for (const char* name : {"diffusion_param_1", "dope_output"}) {
    const ParameterItem& item = *ItemByName(name);
    std::string error;
    RunOptions withSensitivity = options;
    withSensitivity.Converged.Sensitivities = {*SensitivityParameterFor(name, error)};
    Line base;
    run(DefaultFieldTexts(), withSensitivity, base);
    const double x = *ConvertItemText(item, DefaultFieldTexts().Items[item.Number - 1]);
    const double h = 1e-3 * x;
    Line up, down;
    FieldTexts moved = DefaultFieldTexts();
    moved.Items[item.Number - 1] = ShortestText(x + h);
    run(moved, options, up);
    moved.Items[item.Number - 1] = ShortestText(x - h);
    run(moved, options, down);
    for (const char* column : {"filament_area", "stress"}) {
      const ProfileColumn& c = ProfileColumnByName(column);
      const int n = base.Report.PrintedPointCount;
      const InterpolationPoint at = LocateOnLine(*base.Context.Profile, n, 103);
      const ProfileSource source{base.Context.Params, *base.Context.Profile, base.Context.State, n};
      const double derivative = DerivedColumnDerivative(
          c, source, base.Report.Converged->Sensitivities[0].Profile, &item, x, at);
      auto valueOf = [&](const Line& line) {
        const int m = line.Report.PrintedPointCount;
        return InterpolatedValue(
            c, {line.Context.Params, *line.Context.Profile, line.Context.State, m},
            LocateOnLine(*line.Context.Profile, m, 103));
      };
      const double difference = (valueOf(up) - valueOf(down)) / (2 * h);
      EXPECT_NEAR(derivative, difference, 2e-3 * std::abs(difference)) << name << ", " << column;
    }
  }
}

// The bounds a parameter gets from its item's range checks, and the texts refused.
TEST(FitParameters, TakesBoundsFromTheRangeChecksAndRefusesWhatCannotBeFitted) {
  FieldTexts texts = DefaultFieldTexts();
  texts.LawConstants = {{"a1", "5512.3"}, {"e", "-2"}, {"bad", "x"}};
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    const char* Text;
    double Low, High;
  } bounds[] = {
      {"diffusion_param_1", -kInf, kInf},
      {"dope_density", 1e-9, kInf},
      {"3", 1e-9, 1 - 1e-9},  // the initial solvent fraction, 0 < w < 1
      {"gas_inlet_temperature", -273 + 273e-9, kInf},
      {"gas_inlet_solvent_content", 0, 1 - 1e-9},
      {"viscosity_param_1=5000:6000", 5000, 6000},
      // A law constant: a positive one stays above 0, another is free.
      {"a1", 5512.3e-9, kInf},
      {"e", -kInf, kInf},
      {"a1=5000:6000", 5000, 6000},
  };
  for (const auto& row : bounds) {
    const FitParameter parameter = ParameterOf(row.Text, texts);
    EXPECT_DOUBLE_EQ(parameter.Low, row.Low) << row.Text;
    EXPECT_DOUBLE_EQ(parameter.High, row.High) << row.Text;
  }
  const struct {
    std::vector<std::string> Texts;
    const char* Message;
  } refusals[] = {
      {{"filament_count"}, "filament_count (item 29) is a whole number"},
      {{"41"}, "lays out the print points"},
      {{"speed"}, "\"speed\" is no input item"},
      {{"7=0.002:0.001"}, "diffusion_param_1: the bounds are LOW:HIGH"},
      {{"7=0.002"}, "diffusion_param_1: the bounds are LOW:HIGH"},
      {{"7=0.002:0.003"}, "diffusion_param_1: the case's value 0.00103 lies outside the bounds"},
      {{"7", "diffusion_param_1"}, "diffusion_param_1 is named twice"},
      {{"a2"},
       "\"a2\" is no input item (a number from 1 to 51 or a name such as "
       "take_up_speed); nor is it a constant of the case's laws (a1, e, bad)"},
      {{"bad"}, "bad: the case's value \"x\" is not a number"},
      {{"a1=6000:7000"},
       "a1: the case's value 5512.3 lies outside the bounds 6000:7000; start "
       "the fit inside them"},
      {{"a1", "e", "a1=1:1e9"}, "a1 is named twice"},
      {{}, "no parameter to fit"},
  };
  for (const auto& row : refusals) {
    std::string error;
    EXPECT_FALSE(ParseFitParameters(row.Texts, texts, error));
    EXPECT_NE(error.find(row.Message), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace korvane
