// The state at the spinneret exit, the axial grid and the run-wide flows and limits.
#pragma once

#include "core/model/RunParameters.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"

namespace korvane {

// The run-wide flows and limits of a run record (the part of InitialState that depends on the
// inputs alone).
RunConstants RunWideConstants(const RunParameters& params);

// Lays out the grid and point 0 of the profile and derives the run-wide values.
// The caller guarantees 1 <= sum of IncrementCount <= 2000 with no negative count.
void InitialState(const RunParameters& params, SpinningLineProfile& profile,
                  SimulationState& state);

}  // namespace korvane
