// The values no physical case has: a negative density or filament count, a fraction outside
// 0 to 1, a temperature below absolute zero, a step that runs backwards. Such a value is refused
// like one that does not convert, before anything is written, with a message that names the
// item by its entry label.
#pragma once

#include <optional>
#include <string>

#include "core/model/RunParameters.h"
#include "inputs/ParameterItems.h"
#include "inputs/ReadRunParameters.h"

namespace korvane {

// The label of the initial tension in the dialog that changes it.
inline constexpr const char* kInitialTensionLabel = "Assumed initial tension (dyn)";

// The first value outside its bound, in the order of the item numbers, then the initial
// tension; Ok when every value lies within its bound. The correlation parameters and the jacket
// positions have no bound here.
ReadOutcome CheckInputRanges(const RunParameters& params);

// Why the value is outside the item's bound, in the words of CheckInputRanges; empty when it
// lies within it. A bound that depends on another item (the increment of a section without
// steps) is left to CheckInputRanges.
std::optional<std::string> ItemRangeProblem(const ParameterItem& item, double value);

}  // namespace korvane
