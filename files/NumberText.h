// Number texts: the three ways in which numbers become text in files and panels.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

enum class NumberStyle { Fixed, Exponent, Integer };

// A number text style with its precision P (significant digits) and its digits D (decimals
// for Fixed, minimum exponent width for Exponent; unused for Integer).
struct NumberFormat {
  NumberStyle Style = NumberStyle::Fixed;
  int Precision = 0;
  int Digits = 0;
};

// Fixed(P, D): fixed-point text, rounded half up at D decimals or P significant digits,
// whichever comes first; the exponent form when the integer digits exceed P.
std::string Fixed(double value, int precision, int digits);
// Exponent(P, E): scientific text with P significant digits and an exponent of at least E digits.
std::string Exponent(double value, int precision, int exponentDigits);
// Integer: the decimal digits of a 32-bit signed integer.
std::string Integer(int32_t value);

// The text of a value in the given style (Integer takes the value as a whole number).
std::string FormatNumber(double value, NumberFormat format);

}  // namespace korvane
