// --set ITEM=VALUE: one item of the case set from the command line, fixed items included.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/FieldTexts.h"

namespace korvane {

struct ItemSetting {
  int Item = 0;      // 1..51
  std::string Text;  // the field text, as given
};

// "ITEM=VALUE", ITEM a number or a script name. Empty, with error set (naming the item), when
// the text is malformed, the item unknown, or the value not a number of the item's kind or
// outside its range.
std::optional<ItemSetting> ParseItemSetting(std::string_view text, std::string& error);

// Why the settings cannot all apply (an item set twice), or empty.
std::optional<std::string> ItemSettingsProblem(const std::vector<ItemSetting>& settings);

// Puts the settings' texts into the case.
void ApplyItemSettings(const std::vector<ItemSetting>& settings, FieldTexts& texts);

}  // namespace korvane
