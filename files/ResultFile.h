// The result file: the INPUT DATA echo written before the simulation and the CALCULATION
// RESULTS tables after it. Lines end in CR LF; the degree sign is the two bytes 0x81 0x8E.
// Both go into one PendingFile, which the run commits over the name when it ends. The writers
// show nothing: they tell the caller what failed.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/converged/ConvergedSolver.h"
#include "core/model/RunParameters.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"
#include "files/FileResult.h"
#include "files/PendingFile.h"

namespace korvane {

inline constexpr const char* kResultFileCannotOpen = "Result file can not open!";
// What a failed write of the result file says, before the system's text.
inline constexpr const char* kResultFileWriteFailed = "Result file could not be written: ";

// Opens file to replace the result file params.ResultFileName (kResultFileCannotOpen when it
// cannot; a write-protected result file is refused).
FileResult OpenResultFile(PendingFile& file, const RunParameters& params);

// Writes the INPUT DATA section into the opened file.
FileResult InputDataWriter(PendingFile& file, const RunParameters& params);

// Opens the result file, writes the INPUT DATA section and commits it: the file of a run that
// ends before its results. A section that could not be written completely is not committed.
FileResult InputDataWriter(const RunParameters& params);

// Writes the CALCULATION RESULTS section for the points of the last pass, 0 .. PassPointCount
// - 1; the gas table leaves out a last point whose gas values that pass did not compute.
// Fills profile.ProfileStress for the rows it writes and sets state.Outcome.TensionBelowZero
// (false first; true when it stops at a tension not above zero).
FileResult ResultsAppender(PendingFile& file, const RunParameters& params,
                           SpinningLineProfile& profile, SimulationState& state);

// Writes, after the tables of a converged run, which method wrote them: a blank line, then
// "Written by the converged method: tolerance 1.0E-04, 129 radial nodes (surface-clustered),
// 34 passes, estimated error of the spinneret tension 3.5E-04 dyn (8.8E-05 relative)." and,
// when the estimate is larger than the tolerance, a line that says so. Classic files end with their
// tables.
FileResult ConvergedTrailerWriter(PendingFile& file, double tolerance,
                                  const ConvergedReport& report);

// Writes, last, the property laws a run used in place of the built-in correlations: a blank
// line, "Property laws given as formulas:" and one "  name = formula" line each; then, where the
// case has law constants, "Law constants:" and one "  name = number" line each. A run without
// laws or constants writes nothing.
FileResult PropertyLawsTrailerWriter(
    PendingFile& file, const std::vector<std::pair<std::string, std::string>>& laws,
    const std::vector<std::pair<std::string, std::string>>& constants = {});

// The property laws a result file lists at its end, for a case read from it (none when it
// lists none or cannot be read; the run that follows checks them as any laws).
// `constants`, where given, gets the law constants it lists.
std::vector<std::pair<std::string, std::string>> ReadResultFileLaws(
    const std::string& path, std::vector<std::pair<std::string, std::string>>* constants = nullptr);

}  // namespace korvane
