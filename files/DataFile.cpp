#include "files/DataFile.h"

#include <string_view>
#include <vector>

#include "files/TextLines.h"
#include "inputs/ParameterItems.h"

namespace korvane {

void ApplyDataFileValues(const DataFileValues& values, FieldTexts& texts) {
  for (const ParameterItem& item : ParameterItems()) {
    if (item.Fixed) continue;
    const size_t index = static_cast<size_t>(item.Number - 1);
    texts.Items[index] = values.Items[index];
  }
  texts.Jacketed = values.Jacketed;
}

namespace {

// The value of a line "label = value": the text after the first "=", without its leading
// blanks, up to the next blank. Only the blank 0x20 counts; a tab is part of the value.
std::string LineValue(const std::string& line, size_t equalsAt) {
  size_t begin = equalsAt + 1;
  while (begin < line.size() && line[begin] == ' ') ++begin;
  const size_t end = line.find(' ', begin);
  return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

ReadStatus ReadDataFileLines(const std::string& path, DataFileLines& lines) {
  std::vector<std::string> read;
  const ReadStatus status = ReadFirstLines(path, kDataFileLineCount, kDataFileMaxBytes, read);
  if (status != ReadStatus::Ok) return status;
  for (size_t k = 0; k < lines.size(); ++k) lines[k] = std::move(read[k]);
  return status;
}

DataFileLoad DataFileReader(const DataFileLines& lines, const std::string& dataFileName) {
  DataFileLoad load;
  std::array<std::string, kDataFileLineCount> values;
  for (size_t k = 0; k < lines.size(); ++k) {
    const size_t equalsAt = lines[k].find('=');
    if (equalsAt == std::string::npos) {
      load.Message = '"' + dataFileName + '"' + kNotADataFileSuffix;
      return load;
    }
    values[k] = LineValue(lines[k], equalsAt);
  }
  for (size_t k = 0; k < load.Values.Items.size(); ++k) load.Values.Items[k] = values[k];
  for (size_t j = 0; j < load.Values.Jacketed.size(); ++j)
    load.Values.Jacketed[j] = values[kItemCount + j] == "1";
  load.Ok = true;
  return load;
}

DataFileLoad LoadDataFile(const std::string& path) {
  DataFileLines lines;
  const ReadStatus status = ReadDataFileLines(path, lines);
  if (status != ReadStatus::Ok) {
    DataFileLoad load;
    load.Message = status == ReadStatus::NotRegular ? '"' + path + '"' + kNotARegularFileSuffix
                                                    : std::string(kDataFileCannotOpen);
    return load;
  }
  return DataFileReader(lines, path);
}

bool IsResultFileStart(const DataFileLines& lines) {
  return lines[0] == "==========" && lines[1] == "INPUT DATA";
}

DataFileLoad LoadResultFileInputs(const std::string& path) {
  // The section holds the 51 item lines among its titles and blank lines.
  constexpr size_t kSectionLines = 100;
  DataFileLoad load;
  std::vector<std::string> lines;
  const ReadStatus status = ReadFirstLines(path, kSectionLines, kDataFileMaxBytes, lines);
  if (status != ReadStatus::Ok) {
    load.Message = status == ReadStatus::NotRegular ? '"' + path + '"' + kNotARegularFileSuffix
                                                    : std::string(kDataFileCannotOpen);
    return load;
  }
  for (const ParameterItem& item : ParameterItems()) {
    bool found = false;
    for (const std::string& line : lines) {
      const std::string_view label = item.EchoLabel;
      if (line.compare(0, label.size(), label) != 0) continue;
      const size_t first = line.find_first_not_of(' ', label.size());
      const size_t last = line.find_last_not_of(' ');
      load.Values.Items[static_cast<size_t>(item.Number - 1)] =
          first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
      found = true;
      break;
    }
    if (!found) {
      load.Message = '"' + path + '"' + kNotADataFileSuffix;
      return load;
    }
  }
  load.Ok = true;
  return load;
}

}  // namespace korvane
