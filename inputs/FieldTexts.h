// The texts of the main window's inputs, as a run reads them.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "core/model/RunParameters.h"

namespace korvane {

struct FieldTexts {
  std::array<std::string, kItemCount> Items;  // item k's field text at index k - 1
  std::array<bool, kJacketCount> Jacketed = {false, false, false};
  std::string ResultFileName = "result.txt";
  std::string InitialTensionText = "3.0";
  // Property laws given as formulas: law name and formula, as a material or a case file wrote
  // them (see inputs/PropertyLawFormulas.h). Empty: the built-in correlations.
  std::vector<std::pair<std::string, std::string>> Laws;
  // The named constants the laws may use ([laws.constants]): name and number text, in the order
  // given. A fit may take them as parameters.
  std::vector<std::pair<std::string, std::string>> LawConstants;
};

// The window's default texts: the worked default case.
FieldTexts DefaultFieldTexts();

}  // namespace korvane
