// Any bytes typed into a field: the conversions never crash, never give a non-finite value,
// and what they give is what its own text gives back.
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "inputs/TextConversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  double value = 0;
  if (korvane::ConvertDecimal(text, value)) {
    if (!std::isfinite(value)) std::abort();
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    double again = 0;
    if (!korvane::ConvertDecimal(std::string_view(buffer, static_cast<size_t>(end - buffer)),
                                 again) ||
        again != value)
      std::abort();
  }
  int32_t whole = 0;
  if (korvane::ConvertInt32(text, whole)) {
    int32_t again = 0;
    if (!korvane::ConvertInt32(std::to_string(whole), again) || again != whole) std::abort();
    // A whole number is also a decimal number with the same value, unless written in hex.
    double asDecimal = 0;
    if (text.find_first_of("$xX") == std::string_view::npos &&
        (!korvane::ConvertDecimal(text, asDecimal) || asDecimal != whole))
      std::abort();
  }
  return 0;
}
