// The section-length summary: the length of each of the five sections and the total.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "run/RunParameters.h"

namespace korvane {

struct SectionLengths {
  std::array<double, kSectionCount> Lengths = {};
  double Total = 0;
  // Fixed(5,1) texts padded on the left to five characters: Length-1..Length-5, then the total.
  std::array<std::string, kSectionCount + 1> Texts;
};

// From the texts of the five increment fields and the five count fields. Empty when a text
// does not convert (the summary then stays as it was).
std::optional<SectionLengths> ComputeSectionLengths(
    const std::array<std::string, kSectionCount>& increments,
    const std::array<std::string, kSectionCount>& counts);

}  // namespace korvane
