// The batch runner's input file: a data file, a case file or a result file opened as a case,
// told apart by their content.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "files/CaseFile.h"
#include "inputs/FieldTexts.h"
#include "run/RunDriver.h"

namespace korvane {

struct CaseInput {
  std::string Role = "the data file";  // how messages name the file
  CaseSolver Solver;                   // a case file's solver options
  bool HasInitialTension = false;      // a case file gave the initial tension
  std::string MaterialFile;            // the material file a case file read, if any
  std::vector<std::string> Notes;      // what the user should know about the reading
};

// Reads the file into texts: a data file's items that are not fixed and its jackets; every item
// of a case file, its jackets and its initial tension; every item of a result file's echo.
// Empty with error set (the message to show) when the file is refused.
std::optional<CaseInput> LoadCaseInput(const std::string& path, FieldTexts& texts,
                                       std::string& error);

// Puts a case's solver options into the run's, where the command line did not give them.
struct GivenOptions {
  bool Method = false, Tolerance = false, RadialIntervals = false, TakeUpTension = false;
};
void ApplyCaseSolver(const CaseSolver& solver, const GivenOptions& given, RunOptions& options);

}  // namespace korvane
