#include "files/ComparisonCsv.h"

#include <algorithm>
#include <vector>

#include "files/FileBytes.h"
#include "files/ProfileColumns.h"
#include "files/ProfileCsv.h"

namespace korvane {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

}  // namespace

std::string ComparisonCsvText(const RunParameters& params, const SpinningLineProfile& profile,
                              const SimulationState& state, int pointCount,
                              const SpinningLineProfile& converged,
                              const SimulationState& convergedState, int convergedPointCount) {
  const std::vector<std::string> classic =
      Lines(ProfileCsvText(params, profile, state, pointCount));
  const std::vector<std::string> other =
      Lines(ProfileCsvText(params, converged, convergedState, convergedPointCount));
  const size_t columns = ProfileColumns().size();
  // The header: the converged columns are the run's, each marked.
  std::string csv = classic[0];
  size_t start = 0;
  const std::string& header = other[0];
  for (size_t c = 0; c < columns; ++c) {
    const size_t end = header.find(',', start);
    csv += ",converged ";
    csv += header.substr(start, end - start);
    start = end + 1;
  }
  csv += '\n';
  const std::string emptyClassic(columns - 1, ',');
  const std::string emptyOther(columns, ',');
  for (size_t row = 1; row < std::max(classic.size(), other.size()); ++row) {
    csv += row < classic.size() ? classic[row] : emptyClassic;
    if (row < other.size()) {
      csv += ',';
      csv += other[row];
    } else {
      csv += emptyOther;
    }
    csv += '\n';
  }
  return csv;
}

FileResult WriteComparisonCsv(const std::string& path, const RunParameters& params,
                              const SpinningLineProfile& profile, const SimulationState& state,
                              int pointCount, const SpinningLineProfile& converged,
                              const SimulationState& convergedState, int convergedPointCount) {
  return WriteFileBytes(path,
                        ComparisonCsvText(params, profile, state, pointCount, converged,
                                          convergedState, convergedPointCount),
                        kCsvCannotOpen, "CSV file could not be written: ");
}

}  // namespace korvane
