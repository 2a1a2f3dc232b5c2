#include "ui/ResultFileClash.h"

#include "files/OutputPaths.h"

namespace korvane::ui {

std::optional<std::string> ResultFileClash(const std::string& resultFile,
                                           const std::vector<WindowFile>& inputs) {
  std::vector<NamedFile> named;
  for (const WindowFile& input : inputs) {
    if (!input.Path.empty()) named.push_back({input.Role, input.Path});
  }
  return FindOutputClash(named, {{"the result file (Save File Name)", resultFile}});
}

}  // namespace korvane::ui
