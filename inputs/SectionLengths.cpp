#include "inputs/SectionLengths.h"

#include <cmath>

#include "inputs/TextConversion.h"

namespace korvane {

std::optional<SectionLengths> ComputeSectionLengths(
    const std::array<std::string, kSectionCount>& increments,
    const std::array<std::string, kSectionCount>& counts) {
  SectionLengths result;
  for (size_t i = 0; i < kSectionCount; ++i) {
    double increment = 0;
    int32_t count = 0;
    if (!ConvertDecimal(increments[i], increment) || !ConvertInt32(counts[i], count))
      return std::nullopt;
    result.Lengths[i] = increment * count;
    if (!std::isfinite(result.Lengths[i])) return std::nullopt;
  }
  double total = 0;
  for (double length : result.Lengths) total = total + length;
  if (!std::isfinite(total)) return std::nullopt;
  result.Total = total;
  return result;
}

}  // namespace korvane
