#include "core/classic/TensionIteration.h"

#include "core/classic/SpinningLineMarch.h"
#include "core/classic/TensionIterationLoop.h"
#include "core/results/SimulationContext.h"

namespace korvane {

void TensionIteration(const RunParameters& params, SpinningLineProfile& profile,
                      SimulationState& state, SimulationReporter& reporter) {
  SimulationContext context{params, profile, state, reporter};
  RunTensionIteration(params.TakeUpSpeed, state, reporter, [&]() {
    const int reached = MarchPass(context);
    profile.PassPointCount = reached;
    return state.Outcome.CalculationOk ? profile.ProfileYarnVelocity[reached - 1] : 0.0;
  });
}

}  // namespace korvane
