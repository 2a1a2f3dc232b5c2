// The messages with which a run of either method reports its end to the user.
#pragma once

#include <charconv>
#include <string_view>

#include "core/results/SimulationReporter.h"

namespace korvane {

inline constexpr std::string_view kIterationDoesNotConverge =
    "THIS CALCULATION DOES NOT CONVERGE!!";
inline constexpr std::string_view kLoopCountPrefix = "NUMBER OF CALCULATION LOOP = ";

// Shows "NUMBER OF CALCULATION LOOP = " with the count, composed without allocation.
inline void ShowLoopCount(SimulationReporter& reporter, int count) {
  char text[kLoopCountPrefix.size() + 16];
  kLoopCountPrefix.copy(text, kLoopCountPrefix.size());
  char* end = std::to_chars(text + kLoopCountPrefix.size(), text + sizeof text, count).ptr;
  reporter.ShowMessage(std::string_view(text, static_cast<size_t>(end - text)));
}

}  // namespace korvane
