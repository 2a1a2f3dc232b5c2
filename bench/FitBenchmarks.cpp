// Speed of a fit: a diffusion and a viscosity parameter fitted to 17 measurements along the
// default line (the spinneret tension, eight average solvent fractions, eight filament
// temperatures), converged at 1e-4, from starting values 10 % off.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fit/MeasurementFit.h"
#include "fit/ProfileInterpolation.h"

namespace {

using namespace korvane;

class SilentEvents : public RunEvents {
 public:
  void ShowMessage(std::string_view) override {}
};

// The default case's values at the points, shifted by a fixed pattern of about one sigma.
std::vector<Measurement> DefaultLineMeasurements(const RunOptions& options) {
  struct Point {
    const char* Column;
    double Z, Sigma;
  };
  std::vector<Point> points = {{"tension", 0, 0.05}};
  for (double z : {50, 100, 150, 200, 300, 400, 500, 600})
    points.push_back({"average_solvent_fraction", z, 0.005});
  for (double z : {50, 100, 200, 300, 400, 500, 600, 700})
    points.push_back({"filament_temperature", z, 0.5});
  RunContext context;
  SilentEvents events;
  FieldTexts texts = DefaultFieldTexts();
  texts.ResultFileName =
      (std::filesystem::temp_directory_path() / "korvane-fit-bench.txt").string();
  const RunReport report = RunDriver(context, texts, events, options);
  std::filesystem::remove(texts.ResultFileName);
  const ProfileSource source{context.Params, *context.Profile, context.State,
                             report.PrintedPointCount};
  std::vector<Measurement> measurements;
  const double pattern[] = {0.3, -1.1, 0.8, 0.1, -0.4, 1.3, -0.9, 0.5, -0.2};
  for (size_t i = 0; i < points.size(); ++i) {
    Measurement m;
    m.Column = &ProfileColumnByName(points[i].Column);
    m.Z = points[i].Z;
    m.Sigma = points[i].Sigma;
    m.Value = InterpolatedValue(*m.Column, source,
                                LocateOnLine(*context.Profile, report.PrintedPointCount, m.Z)) +
              m.Sigma * pattern[i % std::size(pattern)];
    measurements.push_back(m);
  }
  return measurements;
}

void BM_FitTwoParametersTo17Measurements(benchmark::State& bench) {
  RunOptions options;
  options.Method = SolverMethod::Converged;
  options.Converged.Tolerance = 1e-4;
  FitRequest request;
  request.Texts = DefaultFieldTexts();
  request.Options = options;
  request.Measurements = DefaultLineMeasurements(options);
  request.Texts.Items[6] = "0.001133";  // diffusion_param_1, 10 % above the default
  request.Texts.Items[3] = "4961.07";   // viscosity_param_1, 10 % below
  std::string error;
  request.Parameters =
      *ParseFitParameters({"diffusion_param_1", "viscosity_param_1"}, request.Texts, error);
  FitResult result;
  for (auto _ : bench) {
    result = FitToMeasurements(request);
    benchmark::ClobberMemory();
  }
  if (result.Status != FitStatus::Fitted) bench.SkipWithError(result.Message.c_str());
  bench.counters["iterations"] = result.Iterations;
  bench.counters["model_runs"] = result.Evaluations;
  bench.counters["chi_square"] = result.ChiSquare;
}
BENCHMARK(BM_FitTwoParametersTo17Measurements)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
