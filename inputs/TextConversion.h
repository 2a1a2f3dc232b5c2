// The conversions of entry-field texts into numbers. The decimal separator is always the
// full stop, whatever the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace korvane {

// Optional blanks, optional sign, digits with an optional decimal point, an optional exponent
// (E or e, optional sign, digits), optional blanks, nothing else. A value beyond the range of
// a double does not convert; an empty text does not convert.
bool ConvertDecimal(std::string_view text, double& value);

// Optional leading blanks, optional sign, then decimal digits or hexadecimal digits after
// "$", "x", "X", "0x" or "0X", and nothing after the digits. Outside the int32 range, or with a
// decimal point, it does not convert.
bool ConvertInt32(std::string_view text, int32_t& value);

// The whole text as a finite number in the C locale's form ("1.5e-3", "+2", "-7"), for the
// numbers of files that are not entry fields (measurements, bounds, constants of laws); empty
// when anything else stands in it, or it is empty, out of range, infinite or not a number.
std::optional<double> FiniteNumber(std::string_view text);

}  // namespace korvane
