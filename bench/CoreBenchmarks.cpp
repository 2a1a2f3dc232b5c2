// Speed of the simulation core: one axial step, one whole default run, and passes over the
// largest grid the profile holds.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <string_view>

#include "DefaultCase.h"
#include "core/classic/FilamentDiffusion.h"
#include "core/classic/FilamentEquations.h"
#include "core/classic/SpinningLineMarch.h"
#include "core/classic/TensionIteration.h"
#include "core/model/InitialState.h"
#include "inputs/PropertyLawFormulas.h"

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

// One pass of the default case with all six property laws given as formulas, each written as
// its built-in form: what evaluating laws costs per axial step.
void BM_DefaultPassWithLaws(benchmark::State& bench) {
  std::string problem;
  const auto laws = korvane::PropertyLawFormulas::Compile(
      {{"diffusion_coefficient",
        "w >= critical_weight_fraction ? diffusion_param_1 * exp(diffusion_param_2 / (t + 273)) "
        ": (w / critical_weight_fraction)^(temperature_dependency_param_1 * t + "
        "temperature_dependency_param_2) * diffusion_param_1 * exp(diffusion_param_2 / (t + "
        "273))"},
       {"zero_shear_viscosity",
        "viscosity_param_1 * (1 - w)^viscosity_param_2 * exp(viscosity_param_3 / (t + 273))"},
       {"vapor_pressure",
        "10^(vapor_pressure_param_1 - vapor_pressure_param_2 / (t + vapor_pressure_param_3))"},
       {"surface_vapor_fraction", "ws * exp(1 - ws) * ps"},
       {"gas_conductivity", "gas_conductivity_param_1 * tf + gas_conductivity_param_2"},
       {"gas_kinematic_viscosity",
        "gas_kinematic_viscosity_param_1 * tf + gas_kinematic_viscosity_param_2"}},
      problem);
  Data d;
  d.Params.Laws = laws.get();
  korvane::InitialState(d.Params, *d.Profile, d.State);
  korvane::TensionIteration(d.Params, *d.Profile, d.State, d.Reporter);
  for (auto _ : bench) {
    benchmark::DoNotOptimize(korvane::MarchPass(d.Context));
  }
  bench.counters["ns_per_step"] = benchmark::Counter(
      114, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DefaultPassWithLaws);

}  // namespace

BENCHMARK_MAIN();
