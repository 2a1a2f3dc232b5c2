// The power operation of every formula of the simulation.
//
// e = 0 gives 1; b = 0 with e > 0 gives 0; an integral e (magnitude at most 2147483647)
// multiplies by repeated squaring, from the lowest bit of |e|, and takes the reciprocal for a
// negative e, so a negative base is allowed; any other case is exp(e ln b). Outside the
// guarded steps a faulting power simply raises the floating-point flags (the logarithm of a
// negative base is an invalid operation, 0 to a negative power a division by zero).
#pragma once

#include <cmath>
#include <cstdint>

namespace korvane {

// The exponent is a whole number that the integral branch handles.
inline bool IsIntegralExponent(double e) {
  return std::fabs(e) <= 2147483647.0 && static_cast<double>(static_cast<int32_t>(e)) == e;
}

// b to the power n >= 0 by binary exponentiation from the lowest bit. The running square is
// not squared once more after the highest bit, so it overflows only when the result does.
inline double IntegerPower(double b, uint32_t n) {
  double result = 1;
  double square = b;
  for (;;) {
    if (n & 1u) result *= square;
    n >>= 1;
    if (n == 0) break;
    square *= square;
  }
  return result;
}

inline double Power(double b, double e) {
  if (e == 0) return 1;
  if (b == 0 && e > 0) return 0;
  if (IsIntegralExponent(e)) {
    const double magnitude = IntegerPower(b, static_cast<uint32_t>(std::fabs(e)));
    return e < 0 ? 1 / magnitude : magnitude;
  }
  return std::exp(e * std::log(b));
}

// The same power for a guarded step: false when it would fault (a negative or zero base the
// operation does not allow, a division by zero, an overflow), with no fault flag raised for a
// base it refuses.
inline bool TryPower(double b, double e, double& result) {
  if (e == 0) {
    result = 1;
    return true;
  }
  if (b == 0 && e > 0) {
    result = 0;
    return true;
  }
  if (IsIntegralExponent(e)) {
    const double magnitude = IntegerPower(b, static_cast<uint32_t>(std::fabs(e)));
    if (!std::isfinite(magnitude)) return false;
    if (e < 0) {
      if (magnitude == 0) return false;
      result = 1 / magnitude;
    } else {
      result = magnitude;
    }
    return true;
  }
  if (!(b > 0)) return false;
  result = std::exp(e * std::log(b));
  return std::isfinite(result);
}

}  // namespace korvane
