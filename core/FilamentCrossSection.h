// The cross-section of one filament from its mass balance.
#pragma once

#include <cmath>

namespace korvane {

// A = Qp / ((1 - w) v rho), cm2: the area through which the polymer flow Qp (g/s) passes at
// the velocity v with the solvent weight fraction w and the dope density rho.
inline double FilamentArea(double polymerFlowRate, double w, double v, double dopeDensity) {
  return polymerFlowRate / ((1 - w) * v * dopeDensity);
}

// R = sqrt(A / pi), cm.
inline double FilamentRadius(double area) {
  return std::sqrt(area / 3.14159265358979323846);
}

}  // namespace korvane
