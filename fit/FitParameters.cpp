#include "fit/FitParameters.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "files/NumberText.h"
#include "inputs/RangeChecks.h"
#include "inputs/SensitivityItems.h"

namespace korvane {

namespace {

std::optional<double> Number(std::string_view text) {
  double value = 0;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

bool Refused(const ParameterItem& item, double value) {
  return ItemRangeProblem(item, value).has_value();
}

// A bound at c, moved inside by a relative 1e-9 where c itself is refused.
double Inside(const ParameterItem& item, double c, double direction) {
  return Refused(item, c) ? c + direction * 1e-9 * std::max(1.0, std::abs(c)) : c;
}

}  // namespace

void DefaultBounds(const ParameterItem& item, double& low, double& high) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  // The range checks bound items at these values only.
  constexpr double kCandidates[] = {-273, 0, 1};
  low = -kInfinity;
  high = kInfinity;
  for (double c : kCandidates) {
    const double step = 1e-6 * std::max(1.0, std::abs(c));
    if (Refused(item, c - step) && !Refused(item, c + step)) low = Inside(item, c, +1);
  }
  for (auto c = std::rbegin(kCandidates); c != std::rend(kCandidates); ++c) {
    const double step = 1e-6 * std::max(1.0, std::abs(*c));
    if (Refused(item, *c + step) && !Refused(item, *c - step)) high = Inside(item, *c, -1);
  }
}

std::optional<FitParameter> ParseFitParameter(std::string_view text, const FieldTexts& texts,
                                              std::string& error) {
  const size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  if (!SensitivityParameterFor(name, error)) return std::nullopt;
  FitParameter parameter;
  parameter.Item = ItemByNumberOrName(name);
  const ParameterItem& item = *parameter.Item;
  const std::string itemName = ItemName(item);
  const std::optional<double> initial =
      ConvertItemText(item, texts.Items[static_cast<size_t>(item.Number - 1)]);
  if (!initial) {
    error = itemName + ": the case's value \"" + texts.Items[static_cast<size_t>(item.Number - 1)] +
            "\" is not a number";
    return std::nullopt;
  }
  parameter.Initial = *initial;
  DefaultBounds(item, parameter.Low, parameter.High);
  if (equals != std::string_view::npos) {
    const std::string_view bounds = text.substr(equals + 1);
    const size_t colon = bounds.find(':');
    const std::optional<double> low =
        colon == std::string_view::npos ? std::nullopt : Number(bounds.substr(0, colon));
    const std::optional<double> high =
        colon == std::string_view::npos ? std::nullopt : Number(bounds.substr(colon + 1));
    if (!low || !high || !(*low < *high)) {
      error = itemName + ": the bounds are LOW:HIGH, two numbers with LOW below HIGH (\"" +
              std::string(bounds) + "\")";
      return std::nullopt;
    }
    parameter.Low = *low;
    parameter.High = *high;
  }
  if (!(parameter.Initial >= parameter.Low && parameter.Initial <= parameter.High)) {
    error = itemName + ": the case's value " + ShortestText(parameter.Initial) +
            " lies outside the bounds " + ShortestText(parameter.Low) + ":" +
            ShortestText(parameter.High) + "; start the fit inside them (--set " + itemName +
            "=VALUE)";
    return std::nullopt;
  }
  return parameter;
}

std::optional<std::vector<FitParameter>> ParseFitParameters(const std::vector<std::string>& texts,
                                                            const FieldTexts& caseTexts,
                                                            std::string& error) {
  std::vector<FitParameter> parameters;
  for (const std::string& text : texts) {
    std::optional<FitParameter> parameter = ParseFitParameter(text, caseTexts, error);
    if (!parameter) return std::nullopt;
    for (const FitParameter& earlier : parameters) {
      if (earlier.Item == parameter->Item) {
        error = std::string(ItemName(*parameter->Item)) + " is named twice";
        return std::nullopt;
      }
    }
    parameters.push_back(*parameter);
  }
  if (parameters.empty()) {
    error = "no parameter to fit (NAME or NAME=LOW:HIGH, NAME an item's name or number)";
    return std::nullopt;
  }
  return parameters;
}

}  // namespace korvane
