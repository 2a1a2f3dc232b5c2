#include "core/TensionIteration.h"

#include "core/SimulationContext.h"
#include "core/SpinningLineMarch.h"
#include "core/TensionIterationLoop.h"

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
