#include "fit/FitParameters.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "files/NumberText.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/RangeChecks.h"
#include "inputs/SensitivityItems.h"
#include "inputs/TextConversion.h"

namespace korvane {

namespace {

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

std::string FitParameterName(const FitParameter& parameter) {
  return parameter.Item ? ItemName(*parameter.Item) : parameter.Constant;
}

void DefaultConstantBounds(double value, double& low, double& high) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  low = value > 0 ? 1e-9 * value : -kInfinity;
  high = kInfinity;
}

std::optional<FitParameter> ParseFitParameter(std::string_view text, const FieldTexts& texts,
                                              std::string& error) {
  const size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  FitParameter parameter;
  for (size_t k = 0; k < texts.LawConstants.size() && parameter.Constant.empty(); ++k) {
    if (texts.LawConstants[k].first != name) continue;
    parameter.Constant = name;
    parameter.ConstantIndex = k;
  }
  std::string itemName = parameter.Constant;
  if (parameter.Constant.empty()) {
    if (!SensitivityParameterFor(name, error)) {
      if (!ItemByNumberOrName(name) && !texts.LawConstants.empty()) {
        error += "; nor is it a constant of the case's laws (";
        for (size_t k = 0; k < texts.LawConstants.size(); ++k)
          error += (k ? ", " : "") + texts.LawConstants[k].first;
        error += ")";
      }
      return std::nullopt;
    }
    parameter.Item = ItemByNumberOrName(name);
    const ParameterItem& item = *parameter.Item;
    itemName = ItemName(item);
    const std::optional<double> initial =
        ConvertItemText(item, texts.Items[static_cast<size_t>(item.Number - 1)]);
    if (!initial) {
      error = itemName + ": the case's value \"" +
              texts.Items[static_cast<size_t>(item.Number - 1)] + "\" is not a number";
      return std::nullopt;
    }
    parameter.Initial = *initial;
    DefaultBounds(item, parameter.Low, parameter.High);
  } else {
    const std::string& value = texts.LawConstants[parameter.ConstantIndex].second;
    const std::optional<double> initial = FiniteNumber(value);
    if (!initial) {
      error = itemName + ": the case's value \"" + value + "\" is not a number";
      return std::nullopt;
    }
    parameter.Initial = *initial;
    DefaultConstantBounds(parameter.Initial, parameter.Low, parameter.High);
  }
  if (equals != std::string_view::npos) {
    const std::string_view bounds = text.substr(equals + 1);
    const size_t colon = bounds.find(':');
    const std::optional<double> low =
        colon == std::string_view::npos ? std::nullopt : FiniteNumber(bounds.substr(0, colon));
    const std::optional<double> high =
        colon == std::string_view::npos ? std::nullopt : FiniteNumber(bounds.substr(colon + 1));
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
            ShortestText(parameter.High) + "; start the fit inside them" +
            (parameter.Item ? " (--set " + itemName + "=VALUE)" : std::string());
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
      if (FitParameterName(earlier) == FitParameterName(*parameter)) {
        error = FitParameterName(*parameter) + " is named twice";
        return std::nullopt;
      }
    }
    parameters.push_back(*parameter);
  }
  if (parameters.empty()) {
    error =
        "no parameter to fit (NAME or NAME=LOW:HIGH, NAME an item's name or number or a law "
        "constant's name)";
    return std::nullopt;
  }
  return parameters;
}

}  // namespace korvane
