// The section-length summary: the length of each of the five sections and the total.
#pragma once

#include <array>
#include <optional>

#include "core/model/RunParameters.h"

namespace korvane {

struct SectionLengths {
  std::array<double, kSectionCount> Lengths = {};
  double Total = 0;
};

// From the texts of the five increment fields and the five count fields. Empty when a text
// does not convert (the summary then stays as it was).
std::optional<SectionLengths> ComputeSectionLengths(
    const std::array<std::string, kSectionCount>& increments,
    const std::array<std::string, kSectionCount>& counts);

}  // namespace korvane
