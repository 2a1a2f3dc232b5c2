// The constants of circles and cylinders.
#pragma once

namespace korvane {

// pi to double precision.
inline constexpr double kPi = 3.14159265358979323846;

// pi / 4, the area of a circle over its squared diameter, as every formula of the line writes it.
inline constexpr double kQuarterPi = 0.78539816339744831;

}  // namespace korvane
