#include "files/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace korvane {

namespace {

// Significant digits that a value is first taken to, before the rounding at the cut.
constexpr int kLeadingDigits = 18;

// The significant decimal digits of a magnitude: value = 0.d1 d2 d3 ... x 10^(PointPosition).
// Zero has no digits.
struct DecimalDigits {
  std::string Digits;
  int PointPosition = 0;
  bool Negative = false;
};

// The value to its 18 most significant digits, rounded to the nearest. The conversion to
// text is exact, so every later step works on decimal digits and never on the double.
DecimalDigits LeadingDigits(double value) {
  DecimalDigits result;
  result.Negative = std::signbit(value);
  if (value == 0) return result;
  char buffer[64];
  const auto converted = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::scientific, kLeadingDigits - 1);
  // The text is d.ddddddddddddddddde[+-]xx.
  const std::string_view text(buffer, static_cast<size_t>(converted.ptr - buffer));
  const size_t exponentAt = text.find('e');
  result.Digits.push_back(text[0]);
  result.Digits.append(text.substr(2, exponentAt - 2));
  int exponent = 0;
  const char* exponentBegin = text.data() + exponentAt + 1;
  if (*exponentBegin == '+') ++exponentBegin;
  std::from_chars(exponentBegin, text.data() + text.size(), exponent);
  result.PointPosition = exponent + 1;
  return result;
}

// Cuts the digits after the first `keep` (keep < number of digits) and rounds half up on
// the first digit cut off. keep may be zero or negative: the value then rounds to zero or,
// when the first dropped digit is 5 or more, to one unit in the last kept place.
void CutAndRound(DecimalDigits& number, int keep) {
  const char decider = keep >= 0 ? number.Digits[static_cast<size_t>(keep)] : '0';
  if (keep <= 0) {
    number.Digits.clear();
    if (decider >= '5') {
      number.Digits.assign(1, '1');
      number.PointPosition += 1;
    }
    return;
  }
  number.Digits.resize(static_cast<size_t>(keep));
  if (decider < '5') return;
  int position = keep - 1;
  while (position >= 0 && number.Digits[static_cast<size_t>(position)] == '9') {
    number.Digits[static_cast<size_t>(position)] = '0';
    --position;
  }
  if (position >= 0) {
    ++number.Digits[static_cast<size_t>(position)];
  } else {
    number.Digits.insert(number.Digits.begin(), '1');
    number.PointPosition += 1;
  }
}

// Keeps at most the first `keep` significant digits and drops trailing zeros, so that an
// empty digit string means the value is zero.
void RoundAt(DecimalDigits& number, int keep) {
  if (keep < static_cast<int>(number.Digits.size())) CutAndRound(number, keep);
  while (!number.Digits.empty() && number.Digits.back() == '0') number.Digits.pop_back();
}

// Digit at significant position `index` (0-based), zero beyond the kept digits.
char DigitAt(const DecimalDigits& number, int index) {
  if (index < 0 || index >= static_cast<int>(number.Digits.size())) return '0';
  return number.Digits[static_cast<size_t>(index)];
}

int ClampPrecision(int precision) {
  return std::clamp(precision, 2, kLeadingDigits);
}

// Minimum exponent width: up to 4 digits; a larger (or negative) width counts as none.
int ClampExponentWidth(int width) {
  return width >= 0 && width <= 4 ? width : 0;
}

std::string ExponentDigits(int exponent, int minimumWidth) {
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (static_cast<int>(digits.size()) < minimumWidth)
    digits.insert(0, static_cast<size_t>(minimumWidth) - digits.size(), '0');
  return digits;
}

}  // namespace

std::string Fixed(double value, int precision, int digits) {
  if (!std::isfinite(value)) return kNonFiniteNumberText;
  precision = ClampPrecision(precision);
  digits = std::max(digits, 0);

  DecimalDigits number = LeadingDigits(value);
  // The cut: D decimals or P significant digits, whichever comes first.
  RoundAt(number, std::min(precision, number.PointPosition + digits));

  std::string text;
  if (number.Digits.empty()) {
    text = "0";
    if (digits > 0) text += '.' + std::string(static_cast<size_t>(digits), '0');
    return text;
  }
  if (number.Negative) text += '-';

  if (number.PointPosition > precision) {
    // More integer digits than the precision holds: P significant digits, trailing zeros
    // dropped, and an unsigned exponent.
    RoundAt(number, precision);
    text += number.Digits[0];
    if (number.Digits.size() > 1) text += '.' + number.Digits.substr(1);
    text += 'E';
    text += ExponentDigits(number.PointPosition - 1, ClampExponentWidth(digits));
    return text;
  }

  if (number.PointPosition <= 0) {
    text += '0';
  } else {
    for (int i = 0; i < number.PointPosition; ++i) text += DigitAt(number, i);
  }
  if (digits > 0) {
    text += '.';
    for (int i = 0; i < digits; ++i) text += DigitAt(number, number.PointPosition + i);
  }
  return text;
}

std::string Exponent(double value, int precision, int exponentDigits) {
  if (!std::isfinite(value)) return kNonFiniteNumberText;
  precision = ClampPrecision(precision);
  const int width = ClampExponentWidth(exponentDigits);

  DecimalDigits number = LeadingDigits(value);
  RoundAt(number, precision);

  std::string text;
  int exponent = 0;
  if (!number.Digits.empty()) {
    if (number.Negative) text += '-';
    exponent = number.PointPosition - 1;
  }
  text += DigitAt(number, 0);
  text += '.';
  for (int i = 1; i < precision; ++i) text += DigitAt(number, i);
  text += 'E';
  text += exponent < 0 ? '-' : '+';
  text += ExponentDigits(exponent, width);
  return text;
}

std::string Integer(int32_t value) {
  return std::to_string(value);
}

std::string FormatNumber(double value, NumberFormat format) {
  switch (format.Style) {
    case NumberStyle::Fixed:
      return Fixed(value, format.Precision, format.Digits);
    case NumberStyle::Exponent:
      return Exponent(value, format.Precision, format.Digits);
    case NumberStyle::Integer:
      if (!std::isfinite(value) || value < std::numeric_limits<int32_t>::min() ||
          value > std::numeric_limits<int32_t>::max())
        return kNonFiniteNumberText;
      return Integer(static_cast<int32_t>(value));
  }
  return kNonFiniteNumberText;
}

std::string PanelText(double value) {
  std::string text = Fixed(value, 5, 1);
  if (text.size() < 5) text.insert(0, 5 - text.size(), ' ');
  return text;
}

std::string ShortestText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace korvane
