#include "inputs/TextConversion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace korvane {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Skips leading blanks and an optional sign; returns the position after them.
size_t SkipBlanksAndSign(std::string_view text, bool& negative) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  return pos;
}

}  // namespace

bool ConvertDecimal(std::string_view text, double& value) {
  const size_t end = text.size();
  bool negative = false;
  size_t pos = SkipBlanksAndSign(text, negative);
  // The number proper: digits with an optional decimal point, then an optional exponent.
  const size_t numberStart = pos;
  size_t mantissaDigits = 0;
  while (pos < end && IsDigit(text[pos])) ++pos, ++mantissaDigits;
  if (pos < end && text[pos] == '.') {
    ++pos;
    while (pos < end && IsDigit(text[pos])) ++pos, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) ++pos;
    size_t exponentDigits = 0;
    while (pos < end && IsDigit(text[pos])) ++pos, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  const size_t numberEnd = pos;
  while (pos < end && text[pos] == ' ') ++pos;
  if (pos != end) return false;

  // from_chars is locale-independent and rounds correctly; it takes no leading sign and no
  // exponent sign "+" is fine. A lone trailing point ("5.") is accepted by it as well.
  const std::string_view number = text.substr(numberStart, numberEnd - numberStart);
  double magnitude = 0;
  const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), magnitude,
                                         std::chars_format::general);
  if (ptr != number.data() + number.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Out of range is either an overflow (refused) or an underflow (a value too small to
    // represent, which becomes zero). Tell them apart by the decimal order of the text.
    long integerDigits = 0;  // significant digits before the point
    long fractionZeros = 0;  // zeros between the point and the first significant digit
    bool significant = false, seenPoint = false;
    size_t i = 0;
    for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
      const char c = number[i];
      if (c == '.') {
        seenPoint = true;
      } else if (!seenPoint) {
        significant = significant || c != '0';
        if (significant) ++integerDigits;
      } else if (!significant) {
        if (c == '0')
          ++fractionZeros;
        else
          significant = true;
      }
    }
    long exponent = 0;
    if (i < number.size()) {
      std::string_view e = number.substr(i + 1);
      if (!e.empty() && e[0] == '+') e.remove_prefix(1);
      // A huge exponent saturates; only its sign matters then.
      const auto r = std::from_chars(e.data(), e.data() + e.size(), exponent);
      if (r.ec == std::errc::result_out_of_range) exponent = e[0] == '-' ? -100000 : 100000;
      // Far beyond the range of a double either way; clamping keeps the sum below in range.
      exponent = std::clamp(exponent, -100000L, 100000L);
    }
    const long order = (integerDigits > 0 ? integerDigits : -fractionZeros) + exponent;
    if (significant && order > 0) return false;  // beyond the range of a double
    magnitude = 0;                               // too small: underflows to zero
  } else if (ec != std::errc()) {
    return false;
  }
  if (!std::isfinite(magnitude)) return false;
  value = negative ? -magnitude : magnitude;
  return true;
}

bool ConvertInt32(std::string_view text, int32_t& value) {
  const size_t end = text.size();
  bool negative = false;
  size_t pos = SkipBlanksAndSign(text, negative);
  int base = 10;
  if (pos < end && (text[pos] == '$' || text[pos] == 'x' || text[pos] == 'X')) {
    base = 16;
    ++pos;
  } else if (pos + 1 < end && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos == end) return false;
  // Accumulate the magnitude in 64 bits and stop as soon as it leaves the int32 range.
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  int64_t magnitude = 0;
  for (; pos < end; ++pos) {
    const int digit =
        base == 16 ? HexDigitValue(text[pos]) : (IsDigit(text[pos]) ? text[pos] - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

std::optional<double> FiniteNumber(std::string_view text) {
  double value = 0;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

}  // namespace korvane
