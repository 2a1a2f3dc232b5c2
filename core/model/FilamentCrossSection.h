// The cross-section and radius of a filament at a point of the line, from the polymer mass
// balance.
#pragma once

#include <cmath>

#include "core/model/MathConstants.h"

namespace korvane {

// A = Q / ((1 - w) v rho), cm2: the cross-section that carries the polymer flow Q (g/s, one
// filament) of dope with solvent fraction w and density rho at the velocity v.
inline double FilamentCrossSection(double polymerFlowRate, double w, double v, double density) {
  return polymerFlowRate / ((1 - w) * v * density);
}

// The same cross-section for printing: NaN, never an infinity, when (1 - w) v rho is zero.
inline double PrintedFilamentCrossSection(double polymerFlowRate, double w, double v,
                                          double density) {
  const double divisor = (1 - w) * v * density;
  return divisor != 0 ? polymerFlowRate / divisor : NAN;
}

// R = sqrt(A / pi), cm.
inline double FilamentRadius(double area) {
  return std::sqrt(area / kPi);
}

// The same radius for a guarded step: false when A / pi has no real root (it is negative or
// not a number).
inline bool TryFilamentRadius(double area, double& radius) {
  const double areaOverPi = area / kPi;
  if (!(areaOverPi >= 0)) return false;
  radius = std::sqrt(areaOverPi);
  return true;
}

}  // namespace korvane
