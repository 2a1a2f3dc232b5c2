// The texts of the main window's inputs, as a run reads them.
#pragma once

#include <array>
#include <string>

#include "core/model/RunParameters.h"

namespace korvane {

struct FieldTexts {
  std::array<std::string, kItemCount> Items;  // item k's field text at index k - 1
  std::array<bool, kJacketCount> Jacketed = {false, false, false};
  std::string ResultFileName = "result.txt";
  std::string InitialTensionText = "3.0";
};

// The window's default texts: the worked default case.
FieldTexts DefaultFieldTexts();

}  // namespace korvane
