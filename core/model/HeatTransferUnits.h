// The two units of heat-transfer coefficients: the simulation works in cal/(cm2 s degC), the
// inputs and the printed results are in kcal/(m2 h degC).
#pragma once

namespace korvane {

// 1 cal/(cm2 s degC) = 1e-3 kcal / (1e-4 m2 x 1/3600 h degC) = 36000 kcal/(m2 h degC).
inline constexpr double kKcalPerM2HourPerCalPerCm2Second = 36000.0;

// x cal/(cm2 s degC) in kcal/(m2 h degC).
inline double ToKcalPerM2Hour(double calPerCm2Second) {
  return calPerCm2Second * kKcalPerM2HourPerCalPerCm2Second;
}

}  // namespace korvane
