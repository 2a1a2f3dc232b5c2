// Speed of the converged method on the default case, the tension search included.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string_view>

#include "DefaultCase.h"
#include "core/converged/ConvergedSolver.h"

namespace {

class SilentReporter : public korvane::SimulationReporter {
 public:
  void ShowMessage(std::string_view) override {}
};

// Runs the default case with the options under the benchmark's timer (the tolerance from its
// first argument, a negative decimal exponent, the radial intervals from its second) and
// reports the last run's counts.
korvane::ConvergedReport TimedDefaultRuns(benchmark::State& bench,
                                          korvane::ConvergedOptions options) {
  const korvane::RunParameters params = korvane::testing::DefaultCase();
  auto profile = std::make_unique<korvane::SpinningLineProfile>();
  korvane::SimulationState state;
  SilentReporter reporter;
  options.Tolerance = std::pow(10.0, -static_cast<double>(bench.range(0)));
  options.RadialIntervals = static_cast<int>(bench.range(1));
  korvane::ConvergedReport report;
  for (auto _ : bench) {
    report = korvane::SolveConverged(params, options, *profile, state, reporter);
    benchmark::DoNotOptimize(report.EndVelocity);
  }
  bench.counters["passes"] = report.Passes;
  bench.counters["steps"] = static_cast<double>(report.Steps);
  bench.counters["rhs"] = static_cast<double>(report.RhsEvaluations);
  return report;
}

// Arguments: the tolerance as its negative decimal exponent, and the radial intervals
// (0: chosen automatically).
void BM_ConvergedDefaultRun(benchmark::State& bench) {
  const korvane::ConvergedReport report = TimedDefaultRuns(bench, {});
  bench.counters["radial_nodes"] = report.RadialIntervals + 1;
  bench.counters["tension_error"] = report.EstimatedTensionError;
}
BENCHMARK(BM_ConvergedDefaultRun)
    ->Args({3, 10})
    ->Args({4, 10})
    ->Args({3, 0})
    ->Args({4, 0})
    ->Unit(benchmark::kMillisecond);

// One pass of the converged line at the default case's converged spinneret tension on a
// surface-clustered grid, the profile written: what each pass of a search costs. Arguments:
// the tolerance as its negative decimal exponent and the radial intervals.
void BM_ConvergedPass(benchmark::State& bench) {
  korvane::ConvergedOptions options;
  options.SurfaceClustered = true;
  options.SpinneretTension = 3.9894;
  TimedDefaultRuns(bench, options);
}
BENCHMARK(BM_ConvergedPass)->Args({4, 64})->Args({4, 512})->Unit(benchmark::kMillisecond);

}  // namespace
