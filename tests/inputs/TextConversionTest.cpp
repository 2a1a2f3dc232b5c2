// Conversions of entry-field texts: what a user may type and what must be refused.
#include <gtest/gtest.h>

#include <clocale>
#include <limits>

#include "inputs/TextConversion.h"

namespace korvane {
namespace {

TEST(ConvertDecimal, AcceptsBlanksSignsPointsAndExponents) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"2.0", 2.0},
               {"  2.0  ", 2.0},
               {"-2190.0", -2190.0},
               {"+7.5", 7.5},
               {"1.31E-7", 1.31e-7},
               {"1.31e-7", 1.31e-7},
               {"5.", 5.0},
               {".5", 0.5},
               {"48", 48.0},
               {"1e+3", 1000.0},
               {"0.000000131", 1.31e-7},
               {"-0", 0.0},
               {"1e-400", 0.0},
               {"0.0001e-320", 0.0}};
  for (const Case& c : cases) {
    double value = -1;
    EXPECT_TRUE(ConvertDecimal(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(ConvertDecimal, RefusesWhatIsNotADecimalNumber) {
  for (const char* text :
       {"",    " ",     "abc",    "1.0x",           "1,5",  "1.0 g", "- 1",   "e5",
        "1e",  "1e+",   "\t1.0",  "1.0\t",          "0x10", "$10",   "1.2.3", "nan",
        "inf", "1e400", "-1e400", "1000000000e300", "+",    "."}) {
    double value = 42;
    EXPECT_FALSE(ConvertDecimal(text, value)) << '"' << text << '"';
    EXPECT_EQ(value, 42) << "a refused text must leave the value alone: " << text;
  }
}

TEST(ConvertDecimal, RegressionHugeExponentNoLongerOverflowsTheOrderSum) {
  // Found by fuzzing: the exponent at the top of the long range overflowed when the digits
  // before the point were added to it.
  double value = 42;
  EXPECT_FALSE(ConvertDecimal("1e09223372036854775807", value));
  EXPECT_FALSE(ConvertDecimal("12e9223372036854775807", value));
  EXPECT_TRUE(ConvertDecimal("0.01e-9223372036854775808", value));
  EXPECT_EQ(value, 0.0);
}

TEST(ConvertDecimal, IgnoresTheLocaleDecimalSeparator) {
  // A user locale with a decimal comma must not change how a full stop is read.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale";
  double value = 0;
  EXPECT_TRUE(ConvertDecimal("0.73", value));
  EXPECT_EQ(value, 0.73);
  EXPECT_FALSE(ConvertDecimal("0,73", value));
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ConvertInt32, AcceptsDecimalAndHexadecimalWholeNumbers) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"30", 30},
               {"  30", 30},
               {"-5", -5},
               {"+7", 7},
               {"$1F", 31},
               {"x1f", 31},
               {"X10", 16},
               {"0x10", 16},
               {"0X10", 16},
               {"-$10", -16},
               {"007", 7},
               {"2147483647", 2147483647},
               {"-2147483648", std::numeric_limits<int32_t>::min()},
               {"$7FFFFFFF", 2147483647}};
  for (const Case& c : cases) {
    int32_t value = -1;
    EXPECT_TRUE(ConvertInt32(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(ConvertInt32, RefusesDecimalsTrailingBlanksAndOutOfRange) {
  for (const char* text : {"", "30.0", "30 ", "3 0", "2147483648", "-2147483649", "$80000000", "$",
                           "0x", "x", "1e3", "abc", "-", "$G", "99999999999999999999"}) {
    int32_t value = 42;
    EXPECT_FALSE(ConvertInt32(text, value)) << '"' << text << '"';
    EXPECT_EQ(value, 42) << text;
  }
}

}  // namespace
}  // namespace korvane
