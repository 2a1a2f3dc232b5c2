// Speed of the simulation core: one axial step, one whole default run, and passes over the
// largest grid the profile holds.
#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>

#include "DefaultCase.h"
#include "core/classic/FilamentDiffusion.h"
#include "core/classic/FilamentEquations.h"
#include "core/classic/SpinningLineMarch.h"
#include "core/classic/TensionIteration.h"
#include "core/model/InitialState.h"

namespace {

using korvane::testing::DefaultCase;

class SilentReporter : public korvane::SimulationReporter {
 public:
  void ShowMessage(std::string_view) override {}
};

struct Data {
  korvane::RunParameters Params = DefaultCase();
  std::unique_ptr<korvane::SpinningLineProfile> Profile =
      std::make_unique<korvane::SpinningLineProfile>();
  korvane::SimulationState State;
  SilentReporter Reporter;
  korvane::SimulationContext Context{Params, *Profile, State, Reporter};
};

// One axial step of the default case (diffusion with its surface iteration, the Gill step),
// step 40 of the converged line repeated from the same start.
void BM_AxialStep(benchmark::State& bench) {
  Data d;
  korvane::InitialState(d.Params, *d.Profile, d.State);
  // Converge once so that the profile holds the line the step starts from.
  korvane::TensionIteration(d.Params, *d.Profile, d.State, d.Reporter);
  const int i = 40;
  double radial[korvane::kRadialCapacity];
  for (int j = 0; j < korvane::kRadialCapacity; ++j) {
    radial[j] = d.Profile->ProfileRadialSolvent[i - 1][j];
  }
  for (auto _ : bench) {
    for (int j = 0; j < korvane::kRadialCapacity; ++j)
      d.State.Scratch.CurrentRadialProfile[j] = radial[j];
    const korvane::StepStart start = korvane::StepStartAt(*d.Profile, i - 1);
    korvane::RadialDiffusionStep(start, d.Context);
    double y[korvane::kGillCapacity] = {d.Profile->ProfileYarnVelocity[i - 1],
                                        d.Profile->ProfileYarnTemp[i - 1],
                                        d.Profile->ProfileTension[i - 1]};
    korvane::GillStep(3, y, start, d.Profile->ProfileZ[i] - start.Z, d.Context);
    benchmark::DoNotOptimize(y);
  }
}
BENCHMARK(BM_AxialStep);

// One pass of the default case (114 steps): the cost per axial step including the gas side.
void BM_DefaultPass(benchmark::State& bench) {
  Data d;
  korvane::InitialState(d.Params, *d.Profile, d.State);
  korvane::TensionIteration(d.Params, *d.Profile, d.State, d.Reporter);
  for (auto _ : bench) {
    benchmark::DoNotOptimize(korvane::MarchPass(d.Context));
  }
  bench.counters["ns_per_step"] = benchmark::Counter(
      114, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DefaultPass);

// A whole default run: initial state and the tension iteration to convergence.
void BM_DefaultRun(benchmark::State& bench) {
  Data d;
  for (auto _ : bench) {
    korvane::InitialState(d.Params, *d.Profile, d.State);
    korvane::TensionIteration(d.Params, *d.Profile, d.State, d.Reporter);
    benchmark::DoNotOptimize(d.State.Iteration.TensionGuess);
  }
  bench.counters["passes"] = d.State.Iteration.CalculationLoopCount;
}
BENCHMARK(BM_DefaultRun)->Unit(benchmark::kMillisecond);

// The largest legal grid: 2000 steps of 0.35 cm over the same 700 cm, one pass per iteration
// at the converged tension of the default case.
void BM_LargestGridPass(benchmark::State& bench) {
  Data d;
  korvane::InitialState(d.Params, *d.Profile, d.State);
  korvane::TensionIteration(d.Params, *d.Profile, d.State, d.Reporter);
  const double tension = d.State.Iteration.TensionGuess;
  for (int s = 0; s < korvane::kSectionCount; ++s) d.Params.IncrementCount[s] = 0;
  d.Params.Increment[0] = 0.35;
  d.Params.IncrementCount[0] = 2000;
  korvane::InitialState(d.Params, *d.Profile, d.State);
  d.State.Iteration.TensionGuess = tension;
  for (auto _ : bench) {
    benchmark::DoNotOptimize(korvane::MarchPass(d.Context));
  }
  bench.counters["reached"] = korvane::MarchPass(d.Context);
}
BENCHMARK(BM_LargestGridPass)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
