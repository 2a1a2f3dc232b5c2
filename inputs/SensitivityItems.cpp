#include "inputs/SensitivityItems.h"

#include "core/model/PropertyLaws.h"

namespace korvane {

std::optional<std::string> SensitivityRefusal(const ParameterItem& item) {
  const std::string name = ItemName(item);
  const std::string which = name + " (item " + std::to_string(item.Number) + ")";
  if (item.Type != ItemType::Decimal || !item.DecimalField.Get) {
    return which + " is a whole number; derivatives are taken with respect to decimal items";
  }
  if (item.Number >= kFirstIncrementItem && item.Number < kFirstIncrementItem + kSectionCount) {
    return which + " lays out the print points; no derivative is taken with respect to it";
  }
  return std::nullopt;
}

std::optional<SensitivityParameter> SensitivityParameterFor(std::string_view text,
                                                            std::string& error) {
  const ParameterItem* item = ItemByNumberOrName(text);
  if (!item) {
    std::string message(1, '"');
    message.append(text);
    message += "\" is no input item (a number from 1 to 51 or a name such as take_up_speed)";
    error = std::move(message);
    return std::nullopt;
  }
  if (std::optional<std::string> refusal = SensitivityRefusal(*item)) {
    error = std::move(*refusal);
    return std::nullopt;
  }
  return SensitivityParameter{ItemName(*item), item->DecimalField.Get};
}

SensitivityParameter LawConstantSensitivity(std::string name, size_t index) {
  return SensitivityParameter{std::move(name), [index](RunParameters& record) -> double* {
                                return record.Laws ? record.Laws->Constant(index) : nullptr;
                              }};
}

std::optional<std::vector<SensitivityParameter>> SensitivityParametersFor(std::string_view list,
                                                                          std::string& error) {
  std::vector<SensitivityParameter> parameters;
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    const std::string_view text = list.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    std::optional<SensitivityParameter> parameter = SensitivityParameterFor(text, error);
    if (!parameter) return std::nullopt;
    for (const SensitivityParameter& earlier : parameters) {
      if (earlier.Name == parameter->Name) {
        error = parameter->Name + " is named twice";
        return std::nullopt;
      }
    }
    parameters.push_back(std::move(*parameter));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return parameters;
}

std::string ItemUnit(const ParameterItem& item) {
  const std::string name = ItemDisplayName(item);
  const size_t close = name.rfind(')');
  if (close == std::string::npos || close + 1 != name.size()) return {};
  const size_t open = name.rfind('(', close);
  if (open == std::string::npos) return {};
  return name.substr(open + 1, close - open - 1);
}

}  // namespace korvane
