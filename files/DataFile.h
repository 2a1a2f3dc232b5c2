// The input data file: 54 lines of label "=" value (the 51 items, then the three jacket modes).
#pragma once

#include <array>
#include <string>

#include "core/model/RunParameters.h"
#include "files/TextLines.h"
#include "inputs/FieldTexts.h"

namespace korvane {

inline constexpr int kDataFileLineCount = 54;
inline constexpr const char* kDataFileCannotOpen = "Data file can not open!";
inline constexpr const char* kNotADataFileSuffix = " is not a correct data file!";
inline constexpr const char* kNotARegularFileSuffix = " is not a regular file!";
// A data file holds 54 short lines; reading stops after this many bytes.
inline constexpr size_t kDataFileMaxBytes = 1024 * 1024;

using DataFileLines = std::array<std::string, kDataFileLineCount>;

// What a valid data file gives: the value texts of items 1..51 (index k - 1) and the three
// jacket selections (true for "Jacketed", i.e. the value is exactly "1").
struct DataFileValues {
  std::array<std::string, kItemCount> Items;
  std::array<bool, kJacketCount> Jacketed = {false, false, false};
};

// Puts a data file's values into the texts as the window's load does: every item whose field
// is not fixed takes the file's text, and the three jacket selections follow the file.
void ApplyDataFileValues(const DataFileValues& values, FieldTexts& texts);

struct DataFileLoad {
  bool Ok = false;
  DataFileValues Values;
  std::string Message;  // when not Ok: the message to show
};

// Reads the first 54 lines of a file (LF or CR LF; a byte 0x1A ends the text; missing lines
// read as empty), from its first kDataFileMaxBytes bytes. A folder, device or pipe is not read.
ReadStatus ReadDataFileLines(const std::string& path, DataFileLines& lines);

// Parses the lines. dataFileName is the path as the user chose it, used in the message.
DataFileLoad DataFileReader(const DataFileLines& lines, const std::string& dataFileName);

// Both steps: the file's values, or the message ("Data file can not open!", or the path in
// double quotes followed by " is not a regular file!" or " is not a correct data file!").
DataFileLoad LoadDataFile(const std::string& path);

// A result file's INPUT DATA section read as a data file: the 51 items as the echo wrote them
// (so with the echo's rounding, e.g. "833.00"). The echo does not record the jacket modes; they
// read as insulated. The message, when the file is none, is the data file's.
DataFileLoad LoadResultFileInputs(const std::string& path);

// True when the lines begin as a result file does ("==========", "INPUT DATA").
bool IsResultFileStart(const DataFileLines& lines);

}  // namespace korvane
