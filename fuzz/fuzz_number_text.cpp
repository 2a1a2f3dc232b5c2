// Any double in any style the files use: the text never says "nan" or "inf", and it reads
// back to the value within the rounding of its digits.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/NumberText.h"

namespace {

// The value a text reads back to; false when the text, rounded up at its last digit, lies
// beyond the largest double (a value next to the top of the range rounds there).
bool ReadBack(const std::string& text, double& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ptr != text.data() + text.size()) std::abort();
  if (result.ec == std::errc::result_out_of_range) return false;
  if (result.ec != std::errc()) std::abort();
  return true;
}

void Check(double value, const std::string& text, double bound) {
  if (text.find("nan") != std::string::npos || text.find("inf") != std::string::npos ||
      text.find("NAN") != std::string::npos || text.find("INF") != std::string::npos)
    std::abort();
  if (!std::isfinite(value)) {
    if (text != korvane::kNonFiniteNumberText) std::abort();
    return;
  }
  double back = 0;
  if (!ReadBack(text, back)) {
    if (std::fabs(value) < 1e307) std::abort();
    return;
  }
  // The value is first taken to 18 significant digits; allow for that and the read-back.
  const double slack = std::fabs(value) * 1e-15 + 1e-300;
  if (!(std::fabs(back - value) <= bound * (1 + 1e-9) + slack)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < sizeof(double) + 2) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  const int precision = 2 + data[sizeof(double)] % 17;      // 2..18
  const int digits = data[sizeof(double) + 1] % 13;         // 0..12
  const int exponentDigits = data[sizeof(double) + 1] % 5;  // 0..4

  // The decimal order of the magnitude (log10 can be off by one next to a power of ten),
  // and the place of the last digit kept at P significant digits.
  double order = 0;
  if (value != 0 && std::isfinite(value)) {
    const double magnitude = std::fabs(value);
    order = std::floor(std::log10(magnitude));
    if (std::pow(10.0, order) > magnitude) order -= 1;
    if (order < 308 && std::pow(10.0, order + 1) <= magnitude) order += 1;
  }
  const double lastSignificant = std::pow(10.0, order - precision + 1);

  const std::string fixed = korvane::Fixed(value, precision, digits);
  const bool exponentForm = fixed.find('E') != std::string::npos;
  const double fixedBound = exponentForm
                                ? 0.5 * lastSignificant
                                : 0.5 * std::fmax(std::pow(10.0, -digits), lastSignificant);
  Check(value, fixed, fixedBound);
  Check(value, korvane::Exponent(value, precision, exponentDigits), 0.5 * lastSignificant);
  return 0;
}
