// The profile of a run as a CSV table, one row per point, for spreadsheets and plots.
#pragma once

#include <string>
#include <vector>

#include "core/converged/ConvergedSensitivities.h"
#include "core/model/RunParameters.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"
#include "files/FileResult.h"
#include "files/ProfileColumns.h"

namespace korvane {

inline constexpr const char* kCsvCannotOpen = "CSV file can not be opened for writing!";

// Points 0 .. pointCount - 1 with a header row of the columns of ProfileColumns(), each
// "Label (Unit)". Numbers are the shortest texts that read back to the same doubles, with a full
// stop. The filament-to-gas coefficient and the evaporation flux belong to the step that starts
// at a point, so the last point has none: those cells are empty, as is any derived cell whose
// divisor is zero. The stress is the one the result file stored in the profile for the rows it
// printed. With the sensitivities of a converged run, the derivatives follow, input by input: a
// column for every column that has one (HasDerivative), headed by DerivativeHeader.
std::string ProfileCsvText(const RunParameters& params, const SpinningLineProfile& profile,
                           const SimulationState& state, int pointCount,
                           const std::vector<ParameterSensitivity>& sensitivities = {});

FileResult WriteProfileCsv(const std::string& path, const RunParameters& params,
                           const SpinningLineProfile& profile, const SimulationState& state,
                           int pointCount,
                           const std::vector<ParameterSensitivity>& sensitivities = {});

// The CSV beside a run's result file: written when the run printed points; otherwise an earlier
// run's CSV of that name, which would pass for this run's profile, is removed (a CSV that is not
// there is no error).
FileResult UpdateProfileCsv(const std::string& path, const RunParameters& params,
                            const SpinningLineProfile& profile, const SimulationState& state,
                            int pointCount,
                            const std::vector<ParameterSensitivity>& sensitivities = {});

}  // namespace korvane
