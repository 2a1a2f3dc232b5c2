// The input items a converged answer can be differentiated with respect to, named as the user
// names items: by number ("30") or by script name ("take_up_speed").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/converged/ConvergedSensitivities.h"
#include "inputs/ParameterItems.h"

namespace korvane {

// Why the item cannot be differentiated with respect to, or empty when it can: the
// whole-number items (the filament count, the step counts) and the increments, which lay out the
// print points themselves.
std::optional<std::string> SensitivityRefusal(const ParameterItem& item);

// The item of a text (a number 1..51 or a script name), as a sensitivity parameter named by its
// script name; empty with `error` (naming the text) when it is none or is refused.
std::optional<SensitivityParameter> SensitivityParameterFor(std::string_view text,
                                                            std::string& error);

// The law constant `index` of the run (PropertyLaws::Constant, in the order of the case's
// constants) as a sensitivity parameter named `name`: the run's compiled laws read it where the
// derivatives move it.
SensitivityParameter LawConstantSensitivity(std::string name, size_t index);

// The texts of a comma-separated list ("30,diffusion_param_2"), each item once.
std::optional<std::vector<SensitivityParameter>> SensitivityParametersFor(std::string_view list,
                                                                          std::string& error);

// The unit an item's display name gives in its last parentheses ("cm/s"), empty without one.
std::string ItemUnit(const ParameterItem& item);

}  // namespace korvane
