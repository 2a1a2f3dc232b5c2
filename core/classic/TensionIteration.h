// The shooting iteration on the spinning tension at the spinneret.
#pragma once

#include "core/model/RunParameters.h"
#include "core/results/SimulationReporter.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"

namespace korvane {

// Runs passes of the march until the end velocity meets the take-up speed. On return
// state.Outcome.CalculationOk tells whether the profile holds a converged last pass, whose
// points are 0 .. profile.PassPointCount - 1; state.Outcome.Fault and state.Outcome.Cancelled
// tell why a run ended without a message of the core's own.
void TensionIteration(const RunParameters& params, SpinningLineProfile& profile,
                      SimulationState& state, SimulationReporter& reporter);

}  // namespace korvane
