// The texts of the main window's inputs, as a run reads them.
#pragma once

#include <array>
#include <string>

#include "run/RunParameters.h"

namespace korvane {

struct FieldTexts {
  std::array<std::string, kItemCount> Items;  // item k's field text at index k - 1
  std::array<bool, kJacketCount> Jacketed = {false, false, false};
  std::string ResultFileName = "result.txt";
  std::string InitialTensionText = "3.0";
};

// The window's default texts: the worked default case.
FieldTexts DefaultFieldTexts();

struct DataFileValues;

// Puts a data file's values into the texts as the window's load does: every item whose field
// is not fixed takes the file's text, and the three jacket selections follow the file.
void ApplyDataFileValues(const DataFileValues& values, FieldTexts& texts);

}  // namespace korvane
