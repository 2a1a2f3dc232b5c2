// The window's check that a run's result file is none of the files the user works from: the
// data file loaded or saved last, and the initial tension file. The batch runner refuses the
// same clashes by the same rule.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane::ui {

struct WindowFile {
  std::string Role;  // "the data file", "the initial tension file"
  std::string Path;  // empty when there is none
};

// The refusal naming the result file (by its field) and the file it would overwrite; empty
// when it is a file of its own. Relative paths are taken from the working folder.
std::optional<std::string> ResultFileClash(const std::string& resultFile,
                                           const std::vector<WindowFile>& inputs);

}  // namespace korvane::ui
