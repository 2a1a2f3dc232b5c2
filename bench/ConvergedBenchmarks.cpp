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

// Arguments: the tolerance as its negative decimal exponent, and the radial intervals
// (0: chosen automatically).
void BM_ConvergedDefaultRun(benchmark::State& bench) {
  const korvane::RunParameters params = korvane::testing::DefaultCase();
  auto profile = std::make_unique<korvane::SpinningLineProfile>();
  korvane::SimulationState state;
  SilentReporter reporter;
  korvane::ConvergedOptions options;
  options.Tolerance = std::pow(10.0, -static_cast<double>(bench.range(0)));
  options.RadialIntervals = static_cast<int>(bench.range(1));
  korvane::ConvergedReport report;
  for (auto _ : bench) {
    report = korvane::SolveConverged(params, options, *profile, state, reporter);
    benchmark::DoNotOptimize(report.SpinneretTension);
  }
  bench.counters["passes"] = report.Passes;
  bench.counters["steps"] = static_cast<double>(report.Steps);
  bench.counters["rhs"] = static_cast<double>(report.RhsEvaluations);
  bench.counters["radial_nodes"] = report.RadialIntervals + 1;
  bench.counters["tension_error"] = report.EstimatedTensionError;
}
BENCHMARK(BM_ConvergedDefaultRun)
    ->Args({3, 10})
    ->Args({4, 10})
    ->Args({3, 0})
    ->Args({4, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
