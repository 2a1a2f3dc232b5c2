#include "files/DataFileWriter.h"

#include "files/FileBytes.h"
#include "inputs/ParameterItems.h"

namespace korvane {

namespace {

// The value a data file line would give back for this text: leading and trailing blanks
// are dropped on loading, so they are dropped here; anything else must survive as it is.
bool DataFileValue(const std::string& text, std::string& value) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    value.clear();
    return true;
  }
  const size_t last = text.find_last_not_of(' ');
  value = text.substr(first, last - first + 1);
  return value.find_first_of(std::string(" \r\n\x1a", 4)) == std::string::npos;
}

}  // namespace

FileResult DataFileWriter(const std::string& path, const FieldTexts& texts) {
  std::string bytes;
  for (const ParameterItem& item : ParameterItems()) {
    std::string value;
    if (!DataFileValue(texts.Items[static_cast<size_t>(item.Number - 1)], value)) {
      std::string message(1, '"');
      message += ItemDisplayName(item);
      message +=
          "\" holds a blank or a line break inside its text, which a data file cannot keep. "
          "Nothing was saved.";
      return FileResult{FileStatus::BadValue, message};
    }
    bytes += item.EchoLabel;
    bytes += value;
    bytes += "\r\n";
  }
  for (int j = 0; j < kJacketCount; ++j) {
    bytes += "Jacket-";
    bytes += std::to_string(j + 1);
    bytes += texts.Jacketed[static_cast<size_t>(j)] ? " = 1\r\n" : " = 2\r\n";
  }
  return WriteFileBytes(path, bytes, kDataFileCannotSave, "Data file could not be written: ");
}

}  // namespace korvane
