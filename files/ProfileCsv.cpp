#include "files/ProfileCsv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "files/FileBytes.h"
#include "inputs/SensitivityItems.h"

namespace korvane {

namespace {

void AppendNumber(std::string& row, double value) {
  row += ',';
  if (!std::isfinite(value)) return;  // an empty cell rather than a text no reader expects
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  row.append(buffer, result.ptr);
}

}  // namespace

std::string ProfileCsvText(const RunParameters& params, const SpinningLineProfile& profile,
                           const SimulationState& state, int pointCount,
                           const std::vector<ParameterSensitivity>& sensitivities) {
  std::string csv;
  for (const ProfileColumn& column : ProfileColumns()) {
    if (!csv.empty()) csv += ',';
    csv += column.Label;
    csv += " (";
    csv += column.Unit;
    csv += ')';
  }
  for (const ParameterSensitivity& sensitivity : sensitivities) {
    const ParameterItem* item = ItemByName(sensitivity.Name);
    const std::string unit = item ? ItemUnit(*item) : std::string();
    for (const ProfileColumn& column : ProfileColumns()) {
      if (HasDerivative(column)) csv += ',' + DerivativeHeader(column, sensitivity.Name, unit);
    }
  }
  csv += "\n";

  if (pointCount < 0) pointCount = 0;
  if (pointCount > profile.Capacity()) pointCount = profile.Capacity();
  const ProfileSource source{params, profile, state, pointCount};
  for (int i = 0; i < pointCount; ++i) {
    std::string row;
    for (const ProfileColumn& column : ProfileColumns()) AppendNumber(row, column.Value(source, i));
    for (const ParameterSensitivity& sensitivity : sensitivities) {
      // Only as far as the derivatives go.
      const int count = std::min(pointCount, sensitivity.Profile.ProfilePointCount);
      const ProfileSource derivatives{params, sensitivity.Profile, state, count};
      for (const ProfileColumn& column : ProfileColumns()) {
        if (HasDerivative(column)) {
          AppendNumber(row, i < count ? column.Value(derivatives, i) : NAN);
        }
      }
    }
    row.erase(0, 1);  // no separator before the first cell
    csv += row + "\n";
  }
  return csv;
}

FileResult WriteProfileCsv(const std::string& path, const RunParameters& params,
                           const SpinningLineProfile& profile, const SimulationState& state,
                           int pointCount, const std::vector<ParameterSensitivity>& sensitivities) {
  return WriteFileBytes(path, ProfileCsvText(params, profile, state, pointCount, sensitivities),
                        kCsvCannotOpen, "CSV file could not be written: ");
}

FileResult UpdateProfileCsv(const std::string& path, const RunParameters& params,
                            const SpinningLineProfile& profile, const SimulationState& state,
                            int pointCount,
                            const std::vector<ParameterSensitivity>& sensitivities) {
  if (pointCount > 0) {
    return WriteProfileCsv(path, params, profile, state, pointCount, sensitivities);
  }
  std::error_code error;
  const bool earlier = std::filesystem::is_regular_file(path, error);
  error.clear();
  if (earlier) std::filesystem::remove(path, error);
  if (!error) return {};
  return FileResult{FileStatus::WriteFailed,
                    "The earlier CSV file " + path + " could not be removed: " + error.message()};
}

}  // namespace korvane
