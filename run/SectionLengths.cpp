#include "run/SectionLengths.h"

#include <cmath>

#include "files/NumberText.h"
#include "run/TextConversion.h"

namespace korvane {

namespace {

// Fixed(5,1), padded on the left to five characters.
std::string PanelText(double value) {
  std::string text = Fixed(value, 5, 1);
  if (text.size() < 5) text.insert(0, 5 - text.size(), ' ');
  return text;
}

}  // namespace

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
  for (size_t i = 0; i < kSectionCount; ++i) result.Texts[i] = PanelText(result.Lengths[i]);
  result.Texts[kSectionCount] = PanelText(total);
  return result;
}

}  // namespace korvane
