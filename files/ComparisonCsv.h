// The profile table of a run with the converged line of the same case beside it.
#pragma once

#include <string>

#include "core/model/RunParameters.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"
#include "files/FileResult.h"

namespace korvane {

// The columns of a run's profile table (ProfileCsvText), then the same columns of the converged
// line, each headed "converged " and the run's header. The two lines have points of their own:
// row i holds point i of each, and the cells of the shorter one are empty past its end.
std::string ComparisonCsvText(const RunParameters& params, const SpinningLineProfile& profile,
                              const SimulationState& state, int pointCount,
                              const SpinningLineProfile& converged,
                              const SimulationState& convergedState, int convergedPointCount);

FileResult WriteComparisonCsv(const std::string& path, const RunParameters& params,
                              const SpinningLineProfile& profile, const SimulationState& state,
                              int pointCount, const SpinningLineProfile& converged,
                              const SimulationState& convergedState, int convergedPointCount);

}  // namespace korvane
