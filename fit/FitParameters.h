// The parameters of a fit: input items named as scripts name them ("diffusion_param_1") or by
// number ("7"), fixed items included, and the constants of the case's laws by their names
// ([laws.constants] d0 = 1.2e-6: "d0"), each within bounds.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/FieldTexts.h"
#include "inputs/ParameterItems.h"

namespace korvane {

struct FitParameter {
  const ParameterItem* Item = nullptr;  // null for a law constant
  std::string Constant;                 // the law constant's name
  size_t ConstantIndex = 0;             // its place in the case's LawConstants
  double Initial = 0;                   // the case's value, where the fit starts
  double Low = 0;                       // the bounds the estimate stays within (may be infinite)
  double High = 0;
};

// The bounds of the item's range checks (a positive item: above 0; a fraction: 0 to 1; a
// temperature: above -273 degC), an open bound moved inside by a relative 1e-9; infinite where
// the item has none.
void DefaultBounds(const ParameterItem& item, double& low, double& high);

// The item's script name or the constant's name.
std::string FitParameterName(const FitParameter& parameter);

// A law constant's bounds: above 0 (at a billionth of its value) when its value is positive, so
// that a factor of a law keeps its sign; none otherwise.
void DefaultConstantBounds(double value, double& low, double& high);

// "NAME" or "NAME=LOW:HIGH", started from the item's (or law constant's) value in `texts`.
// Empty, with error set (naming the item), when the name is no item nor law constant of the
// case, the item is a whole number or an increment, the bounds do not read as LOW below HIGH,
// or the case's value does not convert or lies outside them.
std::optional<FitParameter> ParseFitParameter(std::string_view text, const FieldTexts& texts,
                                              std::string& error);

// All of them, each item and constant once.
std::optional<std::vector<FitParameter>> ParseFitParameters(const std::vector<std::string>& texts,
                                                            const FieldTexts& caseTexts,
                                                            std::string& error);

}  // namespace korvane
