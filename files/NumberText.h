// Number texts: the three ways in which numbers become text in files and panels.
#pragma once

#include <cstdint>
#include <string>

#include "inputs/NumberFormat.h"

namespace korvane {

// The text of a value that is not a finite number (NaN or an infinity), in every style. It
// can not be read back as a number. The file writers refuse such values before printing
// them; the marker only keeps a panel from showing a misleading number.
inline constexpr const char* kNonFiniteNumberText = "****";

// All styles first take the value to its 18 most significant decimal digits and then round
// half up (away from zero) on the decimal digits, so a value such as 0.125 rounds to 0.13.
// The precision P is held to 2..18; a minimum exponent width above 4 counts as 0.

// Fixed(P, D): fixed-point text, rounded half up at D decimals or P significant digits,
// whichever comes first; digits beyond the P-th significant one are written as 0 and a value
// that rounds to zero has no sign. When the integer digits exceed P: the P significant digits
// without trailing zeros and an unsigned exponent of at least D digits (1.23457E6).
std::string Fixed(double value, int precision, int digits);
// Exponent(P, E): scientific text with P significant digits and an exponent of at least E digits.
std::string Exponent(double value, int precision, int exponentDigits);
// Integer: the decimal digits of a 32-bit signed integer.
std::string Integer(int32_t value);

// The text of a value in the given style. Integer takes the whole-number part of the value;
// a value outside the 32-bit range gives kNonFiniteNumberText.
std::string FormatNumber(double value, NumberFormat format);

// The shortest text that reads back as the same double ("833", "1.31e-07"): how a value given
// as a number becomes an entry field's text.
std::string ShortestText(double value);

// A panel's length text: Fixed(5,1) padded on the left to five characters.
std::string PanelText(double value);

}  // namespace korvane
