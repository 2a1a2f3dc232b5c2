#include "files/MeasurementsCsv.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "files/NumberText.h"
#include "inputs/TextConversion.h"

namespace korvane {

namespace {

constexpr size_t kLargestMeasurementsFile = 1024 * 1024;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  return text;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = line.find(',', start);
    fields.push_back(Trimmed(line.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

const ProfileColumn* ColumnNamed(std::string_view name) {
  for (const ProfileColumn& column : ProfileColumns())
    if (name == column.Label || name == column.Name) return &column;
  return nullptr;
}

}  // namespace

std::vector<const ProfileColumn*> MeasurableColumns() {
  std::vector<const ProfileColumn*> columns;
  for (const ProfileColumn& column : ProfileColumns())
    if (std::string_view(column.Name) != "z") columns.push_back(&column);
  return columns;
}

MeasurementsLoad ReadMeasurements(std::string_view text, const std::string& path,
                                  double lineLength) {
  MeasurementsLoad load;
  int lineNumber = 0;
  bool header = false;
  std::map<const ProfileColumn*, std::pair<int, int>> sigmaGiven;  // rows with, without
  auto refuse = [&](const std::string& why) {
    load.Values.clear();
    load.Message = path + ", line " + std::to_string(lineNumber) + ": " + why;
    return load;
  };
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (Trimmed(line).empty()) continue;
    const std::vector<std::string_view> fields = Fields(line);
    if (!header) {
      if (fields.size() != 4 || fields[0] != "quantity" || fields[1] != "z" ||
          fields[2] != "value" || fields[3] != "sigma")
        return refuse("the first line must be the header quantity,z,value,sigma");
      header = true;
      continue;
    }
    if (fields.size() != 4)
      return refuse("a row has four fields, quantity,z,value,sigma; this one has " +
                    std::to_string(fields.size()));
    Measurement m;
    m.Line = lineNumber;
    m.Column = ColumnNamed(fields[0]);
    if (!m.Column || std::string_view(m.Column->Name) == "z") {
      std::string why(1, '"');
      why.append(fields[0]);
      why += "\" is no quantity that can be fitted to (korvane-fit --list-quantities lists them)";
      return refuse(why);
    }
    const char* names[] = {"z", "value", "sigma"};
    double numbers[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
      if (k == 2 && fields[3].empty()) break;
      const std::optional<double> number = FiniteNumber(fields[static_cast<size_t>(k) + 1]);
      if (!number)
        return refuse(std::string(names[k]) + " \"" +
                      std::string(fields[static_cast<size_t>(k) + 1]) + "\" is not a number");
      numbers[k] = *number;
    }
    m.Z = numbers[0];
    m.Value = numbers[1];
    m.Sigma = numbers[2];
    if (!(m.Z >= 0 && m.Z <= lineLength))
      return refuse("z = " + ShortestText(m.Z) + " cm lies outside the line (0 to " +
                    ShortestText(lineLength) + " cm)");
    if (!fields[3].empty() && !(m.Sigma > 0))
      return refuse("sigma must be above 0 (or empty, to be estimated from the residuals)");
    auto& [with, without] = sigmaGiven[m.Column];
    (fields[3].empty() ? without : with) += 1;
    if (with > 0 && without > 0)
      return refuse("sigma of \"" + std::string(m.Column->Label) +
                    "\" is given for some rows and empty for others; give it for all or none");
    load.Values.push_back(m);
  }
  if (load.Values.empty()) {
    load.Message = path + ": no measurements (a header quantity,z,value,sigma, then one row each)";
    return load;
  }
  load.Ok = true;
  return load;
}

MeasurementsLoad LoadMeasurementsFile(const std::string& path, double lineLength) {
  MeasurementsLoad load;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    load.Message =
        "The measurements file " + path + " could not be opened: " + std::strerror(errno);
    return load;
  }
  std::string text;
  char buffer[8192];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 &&
         text.size() <= kLargestMeasurementsFile)
    text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) {
    load.Message = "The measurements file " + path + " could not be read: " + std::strerror(error);
    return load;
  }
  if (text.size() > kLargestMeasurementsFile) {
    load.Message = path + ": a measurements file is at most 1 MiB; this is not one";
    return load;
  }
  return ReadMeasurements(text, path, lineLength);
}

}  // namespace korvane
