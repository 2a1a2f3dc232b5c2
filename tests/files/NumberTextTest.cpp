#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "files/NumberText.h"

namespace korvane {
namespace {

struct FixedCase {
  double Value;
  int Precision;
  int Digits;
  const char* Text;
};

void PrintTo(const FixedCase& c, std::ostream* os) {
  *os << "Fixed(" << c.Precision << "," << c.Digits << ") of " << c.Value;
}

class FixedText : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedText, RoundsOnTheDecimalDigits) {
  const FixedCase& c = GetParam();
  EXPECT_EQ(Fixed(c.Value, c.Precision, c.Digits), c.Text);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, FixedText,
    ::testing::Values(FixedCase{0.73, 5, 3, "0.730"}, FixedCase{-2190, 8, 2, "-2190.00"},
                      FixedCase{0.000000131, 12, 10, "0.0000001310"},
                      FixedCase{1234.567, 5, 2, "1234.60"}, FixedCase{0.125, 5, 2, "0.13"},
                      FixedCase{-0.04, 5, 1, "0.0"}, FixedCase{1234567, 6, 1, "1.23457E6"},
                      // Table cells and section lengths.
                      FixedCase{1000, 6, 1, "1000.0"}, FixedCase{10000, 6, 1, "10000.0"},
                      FixedCase{0.5, 5, 2, "0.50"}, FixedCase{123.456, 5, 2, "123.46"},
                      FixedCase{0.000321 * 36000, 5, 2, "11.56"}, FixedCase{0, 5, 1, "0.0"},
                      FixedCase{60, 5, 1, "60.0"}, FixedCase{700, 5, 1, "700.0"},
                      FixedCase{1000, 5, 1, "1000.0"}, FixedCase{123456, 5, 1, "1.2346E5"}));

INSTANTIATE_TEST_SUITE_P(
    CarriesAndCuts, FixedText,
    ::testing::Values(
        // A carry that adds a digit in front.
        FixedCase{9.999, 5, 2, "10.00"}, FixedCase{-9.996, 5, 2, "-10.00"},
        // ... and one that pushes the integer digits past P: exponent form, zeros dropped.
        FixedCase{99999.96, 5, 1, "1E5"}, FixedCase{-1234567, 6, 1, "-1.23457E6"},
        FixedCase{1e300, 5, 2, "1E300"},
        // The cut before the first significant digit: half up or to an unsigned zero.
        FixedCase{0.005, 5, 2, "0.01"}, FixedCase{-0.005, 5, 2, "-0.01"},
        FixedCase{0.004, 5, 2, "0.00"}, FixedCase{-0.004, 5, 2, "0.00"},
        FixedCase{0.0004, 5, 2, "0.00"}, FixedCase{1e-300, 5, 2, "0.00"},
        FixedCase{-0.0, 5, 1, "0.0"},
        // Decimals beyond the P-th significant digit are zeros.
        FixedCase{1.23456789, 5, 6, "1.234600"}, FixedCase{12345.678, 5, 3, "12346.000"},
        // Half up, not to even: exact binary halves.
        FixedCase{2.5, 5, 0, "3"}, FixedCase{0.375, 5, 2, "0.38"}, FixedCase{-0.625, 5, 2, "-0.63"},
        // Last digits come from the exact value, not from a double product.
        FixedCase{0.1, 18, 17, "0.10000000000000001"},
        FixedCase{1152921504606846976.0, 18, 0, "1.15292150460684698E18"},
        // Out-of-range precision is held to 2..18.
        FixedCase{1.26, 1, 2, "1.30"}, FixedCase{0.1, 40, 20, "0.10000000000000000600"}));

TEST(ExponentText, WorkedExamplesAndEdges) {
  EXPECT_EQ(Exponent(0, 3, 2), "0.00E+00");
  EXPECT_EQ(Exponent(-0.0, 3, 2), "0.00E+00");
  EXPECT_EQ(Exponent(5512.3, 5, 2), "5.5123E+03");
  EXPECT_EQ(Exponent(0.000314, 3, 2), "3.14E-04");
  EXPECT_EQ(Exponent(-12.345, 3, 2), "-1.23E+01");
  EXPECT_EQ(Exponent(1500, 3, 2), "1.50E+03");
  // Rounding carries into the exponent.
  EXPECT_EQ(Exponent(9.996, 3, 2), "1.00E+01");
  EXPECT_EQ(Exponent(0.000999999, 3, 2), "1.00E-03");
  // Exponents wider than the minimum, at both ends of the double range.
  EXPECT_EQ(Exponent(1e-300, 3, 2), "1.00E-300");
  EXPECT_EQ(Exponent(std::numeric_limits<double>::max(), 3, 2), "1.80E+308");
  EXPECT_EQ(Exponent(std::numeric_limits<double>::denorm_min(), 3, 2), "4.94E-324");
  // Exponent width: up to 4 digits; a larger one counts as none.
  EXPECT_EQ(Exponent(12, 3, 4), "1.20E+0001");
  EXPECT_EQ(Exponent(12, 3, 0), "1.20E+1");
  EXPECT_EQ(Exponent(12, 3, 5), "1.20E+1");
}

TEST(NumberText, NonFiniteValuesGiveTheMarker) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double value : {nan, inf, -inf}) {
    EXPECT_EQ(Fixed(value, 5, 2), kNonFiniteNumberText);
    EXPECT_EQ(Exponent(value, 3, 2), kNonFiniteNumberText);
    EXPECT_EQ(FormatNumber(value, {NumberStyle::Integer, 0, 0}), kNonFiniteNumberText);
  }
  // Whole numbers beyond 32 bits get the marker too.
  EXPECT_EQ(FormatNumber(48.0, {NumberStyle::Integer, 0, 0}), "48");
  EXPECT_EQ(FormatNumber(3e9, {NumberStyle::Integer, 0, 0}), kNonFiniteNumberText);
}

}  // namespace
}  // namespace korvane
