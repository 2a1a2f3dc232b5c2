#include "inputs/RangeChecks.h"

#include <string>

#include "inputs/ParameterItems.h"

namespace korvane {

namespace {

struct Bound {
  bool (*Holds)(double value);
  const char* Requirement;  // completes "\"label\" ..."
};

// Written so that a value that is not a number fails every bound.
constexpr Bound kPositive{[](double v) { return v > 0; }, "must be greater than 0."};
constexpr Bound kAtLeastOne{[](double v) { return v >= 1; }, "must be at least 1."};
constexpr Bound kNonNegative{[](double v) { return v >= 0; }, "must be at least 0."};
constexpr Bound kOpenFraction{[](double v) { return v > 0 && v < 1; },
                              "must be greater than 0 and less than 1."};
constexpr Bound kFractionBelowOne{[](double v) { return v >= 0 && v < 1; },
                                  "must be at least 0 and less than 1."};
constexpr Bound kFractionUpToOne{[](double v) { return v > 0 && v <= 1; },
                                 "must be greater than 0 and at most 1."};
// The model's absolute temperature is t + 273.
constexpr Bound kAboveAbsoluteZero{[](double v) { return v > -273; }, "must be above -273 degC."};

struct ItemBound {
  int Number;
  Bound Range;
  int CountItem;  // the bound applies only while this item is above 0 (0: always)
};

// In the order of the item numbers.
// clang-format off
constexpr ItemBound kItemBounds[] = {
    {1, kPositive, 0},            // dope density
    {2, kPositive, 0},            // dope specific heat
    {3, kOpenFraction, 0},        // initial solvent fraction
    {9, kFractionUpToOne, 0},     // critical weight fraction
    {12, kPositive, 0},           // solvent molecular weight
    {13, kPositive, 0},           // heat of vaporization
    {14, kPositive, 0},           // vapour specific heat
    {18, kPositive, 0},           // gas specific heat
    {19, kAboveAbsoluteZero, 0},  // gas inlet temperature
    {20, kPositive, 0},           // gas flow rate
    {21, kFractionBelowOne, 0},   // solvent carried by the inlet gas
    {26, kPositive, 0},           // dope output
    {27, kAboveAbsoluteZero, 0},  // dope temperature
    {28, kPositive, 0},           // nozzle area
    {29, kAtLeastOne, 0},         // filaments
    {30, kPositive, 0},           // take-up speed
    {31, kAboveAbsoluteZero, 0},  // room temperature
    {32, kAboveAbsoluteZero, 0},  // jacket temperatures
    {33, kAboveAbsoluteZero, 0},
    {34, kAboveAbsoluteZero, 0},
    {35, kPositive, 0},           // column diameter
    {40, kNonNegative, 0},        // insulation coefficient
    {41, kPositive, 46},          // increments of the sections that have steps
    {42, kPositive, 47},
    {43, kPositive, 48},
    {44, kPositive, 49},
    {45, kPositive, 50},
    {51, kPositive, 0},           // h/kx
};
// clang-format on

std::string Refusal(const char* label, const Bound& bound) {
  return std::string("\"") + label + "\" " + bound.Requirement;
}

}  // namespace

ReadOutcome CheckInputRanges(const RunParameters& params) {
  ReadOutcome outcome;
  for (const ItemBound& entry : kItemBounds) {
    if (entry.CountItem != 0 && !(ItemValue(ItemByNumber(entry.CountItem), params) > 0)) continue;
    const ParameterItem& item = ItemByNumber(entry.Number);
    if (entry.Range.Holds(ItemValue(item, params))) continue;
    outcome.Ok = false;
    outcome.FailedItem = item.Number;
    outcome.Message = Refusal(item.EntryLabel, entry.Range);
    return outcome;
  }
  if (!kPositive.Holds(params.InitialTension)) {
    outcome.Ok = false;
    outcome.InitialTensionFailed = true;
    outcome.Message = Refusal(kInitialTensionLabel, kPositive);
  }
  return outcome;
}

std::optional<std::string> ItemRangeProblem(const ParameterItem& item, double value) {
  for (const ItemBound& entry : kItemBounds) {
    if (entry.Number != item.Number || entry.CountItem != 0 || entry.Range.Holds(value)) continue;
    return Refusal(item.EntryLabel, entry.Range);
  }
  return std::nullopt;
}

}  // namespace korvane
