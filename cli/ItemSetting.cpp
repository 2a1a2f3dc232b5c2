#include "cli/ItemSetting.h"

#include "inputs/MaterialItems.h"
#include "inputs/ParameterItems.h"
#include "inputs/RangeChecks.h"
#include "inputs/ReadRunParameters.h"

namespace korvane {

std::optional<ItemSetting> ParseItemSetting(std::string_view text, std::string& error) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    error = "a setting is ITEM=VALUE, ITEM a number from 1 to 51 or a name such as take_up_speed";
    return std::nullopt;
  }
  const std::string name(text.substr(0, equals));
  const ParameterItem* item = ItemByNumberOrName(name);
  if (!item) {
    const std::string closest = ClosestItemName(name);
    error = "\"" + name + "\" is no input item (" +
            (closest.empty() ? "a number from 1 to 51 or a name such as take_up_speed"
                             : "did you mean " + closest + "?") +
            ")";
    return std::nullopt;
  }
  ItemSetting setting{item->Number, std::string(text.substr(equals + 1))};
  const std::optional<double> value = ConvertItemText(*item, setting.Text);
  if (!value) {
    error =
        std::string(ItemName(*item)) + ": " + kInputValueNotCorrect + " (\"" + setting.Text + "\")";
    return std::nullopt;
  }
  if (const std::optional<std::string> problem = ItemRangeProblem(*item, *value)) {
    error = std::string(ItemName(*item)) + ": " + *problem;
    return std::nullopt;
  }
  return setting;
}

std::optional<std::string> ItemSettingsProblem(const std::vector<ItemSetting>& settings) {
  for (size_t a = 0; a < settings.size(); ++a)
    for (size_t b = 0; b < a; ++b)
      if (settings[a].Item == settings[b].Item)
        return std::string(ItemName(ItemByNumber(settings[a].Item))) + " is set twice";
  return std::nullopt;
}

void ApplyItemSettings(const std::vector<ItemSetting>& settings, FieldTexts& texts) {
  for (const ItemSetting& setting : settings)
    texts.Items[static_cast<size_t>(setting.Item - 1)] = setting.Text;
}

}  // namespace korvane
