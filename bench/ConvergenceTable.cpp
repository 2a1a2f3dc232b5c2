// Prints how the default case's answers move with the axial grid of the classic method, with
// the radial grid of the converged method, and what each costs: the tables of the README's
// section on classic and converged results.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

#include "DefaultCase.h"
#include "core/classic/SpinningLineMarch.h"
#include "core/classic/TensionIteration.h"
#include "core/converged/ConvergedSolver.h"
#include "core/model/InitialState.h"

namespace {

using korvane::testing::DefaultCase;

// Processor time since `start`: on a shared machine it says more than the clock on the wall.
double CpuMilliseconds(std::clock_t start) {
  return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

class SilentReporter : public korvane::SimulationReporter {
 public:
  void ShowMessage(std::string_view) override {}
};

struct Line {
  double EndVelocityAtDefaultTension = 0;
  double Tension = 0;
  double EndSolvent = 0;
  double EndGasTemp = 0;
};

korvane::RunParameters Refined(int refinement) {
  korvane::RunParameters p = DefaultCase();
  for (int s = 0; s < korvane::kSectionCount; ++s) {
    p.Increment[s] /= refinement;
    p.IncrementCount[s] *= refinement;
  }
  return p;
}

// The classic method on a grid refined `refinement` times; `defaultTension` is the tension of
// the unrefined run (0 for that run itself).
Line Classic(int refinement, double defaultTension) {
  korvane::RunParameters p = Refined(refinement);
  auto profile = std::make_unique<korvane::SpinningLineProfile>();
  korvane::SimulationState state;
  SilentReporter reporter;
  korvane::SimulationContext context{p, *profile, state, reporter};
  Line line;
  if (defaultTension > 0) {
    korvane::InitialState(p, *profile, state);
    state.Iteration.TensionGuess = defaultTension;
    state.Outcome.CalculationOk = true;
    const int reached = korvane::MarchPass(context);
    line.EndVelocityAtDefaultTension = profile->ProfileYarnVelocity[reached - 1];
  }
  korvane::InitialState(p, *profile, state);
  korvane::TensionIteration(p, *profile, state, reporter);
  const int last = profile->ProfilePointCount - 1;
  if (defaultTension <= 0) line.EndVelocityAtDefaultTension = profile->ProfileYarnVelocity[last];
  line.Tension = state.Iteration.TensionGuess;
  line.EndSolvent = profile->ProfileAvgSolvent[last];
  line.EndGasTemp = profile->ProfileGasTemp[last];
  return line;
}

korvane::ConvergedReport Converged(const korvane::ConvergedOptions& options, Line* line) {
  korvane::RunParameters p = DefaultCase();
  auto profile = std::make_unique<korvane::SpinningLineProfile>();
  korvane::SimulationState state;
  SilentReporter reporter;
  const korvane::ConvergedReport r = korvane::SolveConverged(p, options, *profile, state, reporter);
  if (line) {
    const int last = profile->ProfilePointCount - 1;
    line->Tension = r.SpinneretTension;
    line->EndSolvent = profile->ProfileAvgSolvent[last];
    line->EndGasTemp = profile->ProfileGasTemp[last];
  }
  return r;
}

void PrintLine(const char* name, const Line& l) {
  std::printf("| %s | %.2f | %.4f | %.6f | %.2f |\n", name, l.EndVelocityAtDefaultTension,
              l.Tension, l.EndSolvent, l.EndGasTemp);
}

}  // namespace

int main() {
  std::printf("Classic method, every axial step refined:\n\n");
  std::printf(
      "| axial refinement (points) | end velocity at the default run's tension (cm/s) "
      "| converged spinneret tension (dyn) | end solvent fraction | end gas temperature "
      "(degC) |\n|---|---|---|---|---|\n");
  const Line base = Classic(1, 0);
  std::vector<Line> lines = {base};
  PrintLine("1x (114)", base);
  for (const int r : {2, 4, 8, 16}) {
    lines.push_back(Classic(r, base.Tension));
    char name[32];
    std::snprintf(name, sizeof name, "%dx (%d)", r, 114 * r);
    PrintLine(name, lines.back());
  }
  // Richardson, order 1, from the two finest grids.
  const Line& a = lines[3];
  const Line& b = lines[4];
  const Line limit{2 * b.EndVelocityAtDefaultTension - a.EndVelocityAtDefaultTension,
                   2 * b.Tension - a.Tension, 2 * b.EndSolvent - a.EndSolvent,
                   2 * b.EndGasTemp - a.EndGasTemp};
  PrintLine("limit (Richardson, order 1)", limit);
  std::printf(
      "\nobserved order of the tension: %.2f\n",
      std::log2((lines[3].Tension - lines[2].Tension) / (lines[4].Tension - lines[3].Tension)));

  korvane::ConvergedOptions tenEqual;
  tenEqual.Tolerance = 1e-5;
  tenEqual.RadialIntervals = 10;
  Line converged;
  {
    korvane::ConvergedOptions atTension = tenEqual;
    atTension.SpinneretTension = base.Tension;
    korvane::RunParameters p = DefaultCase();
    auto profile = std::make_unique<korvane::SpinningLineProfile>();
    korvane::SimulationState state;
    SilentReporter reporter;
    const auto r = korvane::SolveConverged(p, atTension, *profile, state, reporter);
    converged.EndVelocityAtDefaultTension = r.EndVelocity;
  }
  const auto report = Converged(tenEqual, &converged);
  PrintLine("converged, 10 equal radial intervals", converged);
  std::printf("(estimated error of its tension: integration %.1e dyn)\n",
              report.IntegrationTensionError);

  std::printf("\nConverged method, tension by radial grid (tolerance 1e-5):\n\n");
  std::printf("| radial intervals | equal | surface-clustered |\n|---|---|---|\n");
  for (const int n : {4, 8, 10, 12, 16, 20, 32, 40, 64, 80, 128, 256, 512}) {
    korvane::ConvergedOptions o;
    o.Tolerance = 1e-5;
    o.RadialIntervals = n;
    Line equal;
    Converged(o, &equal);
    o.SurfaceClustered = true;
    Line clustered;
    Converged(o, &clustered);
    std::printf("| %d | %.4f | %.4f |\n", n, equal.Tension, clustered.Tension);
  }

  std::printf("\nCost of a run of the default case (processor time of one core):\n\n");
  std::printf(
      "| method | passes | steps | right-hand sides | radial nodes | tension (dyn) | "
      "estimated error (dyn) | time (ms) |\n|---|---|---|---|---|---|---|---|\n");
  {
    const std::clock_t start = std::clock();
    const Line l = Classic(1, 0);
    const double ms = CpuMilliseconds(start);
    std::printf("| classic | 11 | 114 per pass | 456 per pass | 11 | %.4f | - | %.1f |\n",
                l.Tension, ms);
  }
  struct Row {
    const char* Name;
    double Tolerance;
    int Intervals;
  };
  for (const Row& row :
       {Row{"converged 1e-3, 10 equal", 1e-3, 10}, Row{"converged 1e-4, 10 equal", 1e-4, 10},
        Row{"converged 1e-3, automatic", 1e-3, 0}, Row{"converged 1e-4, automatic", 1e-4, 0}}) {
    korvane::ConvergedOptions o;
    o.Tolerance = row.Tolerance;
    o.RadialIntervals = row.Intervals;
    const std::clock_t start = std::clock();
    const auto r = Converged(o, nullptr);
    const double ms = CpuMilliseconds(start);
    std::printf("| %s | %d | %ld | %ld | %d | %.4f | %.1e | %.1f |\n", row.Name, r.Passes, r.Steps,
                r.RhsEvaluations, r.RadialIntervals + 1, r.SpinneretTension,
                r.EstimatedTensionError, ms);
  }
  return 0;
}
