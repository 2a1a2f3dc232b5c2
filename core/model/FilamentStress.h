// The stress in a filament in the unit of the trade, grams per denier.
#pragma once

#include <cmath>

namespace korvane {

// Centimetres in 9000 m (the denier length) and dyn per gram-force.
inline constexpr double kDenierLength = 900000.0;
inline constexpr double kDynPerGramForce = 980.0;

// sigma = F / (rho 900000 A 980), g/den: the tension F (dyn) over the filament's titre
// rho A 900000 (g per 9000 m) in gram-force. NaN, never an infinity, when the divisor is zero.
inline double FilamentStress(double tension, double density, double area) {
  const double divisor = density * kDenierLength * area * kDynPerGramForce;
  return divisor != 0 ? tension / divisor : NAN;
}

}  // namespace korvane
