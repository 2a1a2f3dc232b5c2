// How a number is to be written: the style of its text and its digits. The item table says it
// for every echoed input; the number texts of the files carry it out.
#pragma once

namespace korvane {

enum class NumberStyle { Fixed, Exponent, Integer };

// A number text style with its precision P (significant digits) and its digits D (decimals
// for Fixed, minimum exponent width for Exponent; unused for Integer).
struct NumberFormat {
  NumberStyle Style = NumberStyle::Fixed;
  int Precision = 0;
  int Digits = 0;
};

}  // namespace korvane
