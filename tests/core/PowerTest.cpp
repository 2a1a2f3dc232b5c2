// The power operation: which inputs it allows, which fault they raise, and the exact
// multiplication order of its integral branch.
#include <gtest/gtest.h>

#include <cmath>

#include "core/model/ArithmeticFault.h"
#include "core/model/Power.h"

namespace korvane {
namespace {

double Opaque(double x) {
  volatile double v = x;
  return v;
}

TEST(Power, SpecialCasesOfExponentAndBase) {
  EXPECT_EQ(Power(Opaque(0), 0), 1);
  EXPECT_EQ(Power(Opaque(-3.5), 0), 1);
  EXPECT_EQ(Power(Opaque(0), 2.5), 0);
  EXPECT_EQ(Power(Opaque(0), 3), 0);
  EXPECT_EQ(Power(Opaque(-2), 3), -8);
  EXPECT_EQ(Power(Opaque(-2), -2), 0.25);
  // Beyond the integral range the exponential branch takes over.
  EXPECT_EQ(Power(Opaque(1), 4294967296.0), 1);
}

TEST(Power, IntegralExponentMultipliesFromTheLowestBit) {
  const double b = Opaque(1.1);
  EXPECT_EQ(Power(b, 2), b * b);
  EXPECT_EQ(Power(b, 3), b * (b * b));
  const double b2 = b * b;
  const double b4 = b2 * b2;
  EXPECT_EQ(Power(b, 5), b * b4);
  EXPECT_EQ(Power(b, 6), b2 * b4);
  EXPECT_EQ(Power(b, -3), 1 / (b * (b * b)));
}

TEST(Power, OtherExponentsUseTheExponentialOfTheLogarithm) {
  const double b = Opaque(2);
  EXPECT_EQ(Power(b, 0.5), std::exp(0.5 * std::log(b)));
  EXPECT_EQ(Power(Opaque(10), Opaque(-1.5)), std::exp(-1.5 * std::log(10.0)));
}

TEST(Power, FaultsRaiseTheirFlags) {
  ClearFaultFlags();
  EXPECT_TRUE(std::isinf(Power(Opaque(0), -1)));
  EXPECT_EQ(FaultKindOf(RaisedFaultFlags()), FaultKind::DivisionByZero);

  ClearFaultFlags();
  EXPECT_TRUE(std::isnan(Power(Opaque(-8), 1.0 / 3)));
  EXPECT_EQ(FaultKindOf(RaisedFaultFlags()), FaultKind::InvalidOperation);

  ClearFaultFlags();
  EXPECT_TRUE(std::isinf(Power(Opaque(1e200), 2)));
  EXPECT_EQ(FaultKindOf(RaisedFaultFlags()), FaultKind::Overflow);

  ClearFaultFlags();
  EXPECT_EQ(Power(Opaque(1e-200), 3), 0);  // an underflow is no fault
  EXPECT_EQ(FaultKindOf(RaisedFaultFlags()), FaultKind::None);
}

TEST(Power, LargeBaseToThePowerOneRaisesNoOverflow) {
  // The running square must not be squared once more after the highest bit.
  ClearFaultFlags();
  EXPECT_EQ(Power(Opaque(1e200), 1), 1e200);
  EXPECT_EQ(Power(Opaque(1e100), 3), 1e100 * (1e100 * 1e100));
  EXPECT_EQ(FaultKindOf(RaisedFaultFlags()), FaultKind::None);
}

TEST(Power, GuardedPowerRefusesWhatWouldFault) {
  double r = 0;
  EXPECT_FALSE(TryPower(-8, 1.0 / 3, r));
  EXPECT_FALSE(TryPower(0, -1, r));
  EXPECT_FALSE(TryPower(0, -0.5, r));
  EXPECT_FALSE(TryPower(1e200, 2, r));
  EXPECT_FALSE(TryPower(1e-200, -2, r));
  EXPECT_FALSE(TryPower(10, 400.5, r));
  EXPECT_FALSE(TryPower(std::nan(""), 0.5, r));
  ASSERT_TRUE(TryPower(-2, -2, r));
  EXPECT_EQ(r, 0.25);
  ASSERT_TRUE(TryPower(3, 0.36, r));
  EXPECT_EQ(r, Power(3, 0.36));
}

}  // namespace
}  // namespace korvane
