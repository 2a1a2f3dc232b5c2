// The result file: the INPUT DATA echo written before the simulation and the CALCULATION
// RESULTS tables appended after it. Lines end in CR LF; the degree sign is the two bytes
// 0x81 0x8E. The writers show nothing: they tell the caller what failed.
#pragma once

#include <string>

#include "core/SimulationState.h"
#include "core/SpinningLineProfile.h"
#include "run/RunParameters.h"

namespace korvane {

enum class FileStatus {
  Ok,
  CannotOpen,   // could not be created, emptied or opened for appending
  WriteFailed,  // a line could not be written after the file was opened
  BadValue      // a value to print was not a finite number; nothing more was written
};

struct FileResult {
  FileStatus Status = FileStatus::Ok;
  std::string Message;  // the text to show the user when Status is not Ok
  bool ok() const { return Status == FileStatus::Ok; }
};

inline constexpr const char* kResultFileCannotOpen = "Result file can not open!";

// Creates (or empties) the file params.ResultFileName and writes the INPUT DATA section.
FileResult InputDataWriter(const RunParameters& params);

// Appends the CALCULATION RESULTS section for profile points 0 .. ProfilePointCount - 1.
// Fills profile.ProfileStress for the rows it writes and sets state.Outcome.TensionBelowZero
// (false first; true when it stops at a tension not above zero).
FileResult ResultsAppender(const RunParameters& params, SpinningLineProfile& profile,
                           SimulationState& state);

}  // namespace korvane
