// A small set of measurements on the default line (its converged values, rounded), for the
// tests of the fit's front ends.
#pragma once

namespace korvane::testing {

inline constexpr const char* kDefaultLineMeasurements =
    "quantity,z,value,sigma\n"
    "tension,0,3.99,0.05\n"
    "average solvent fraction,100,0.5707,0.005\n"
    "average solvent fraction,200,0.3392,0.005\n"
    "average solvent fraction,300,0.1544,0.005\n"
    "average solvent fraction,500,0.0310,0.005\n"
    "filament temperature,200,137.0,0.5\n"
    "filament temperature,700,133.9,0.5\n";

}  // namespace korvane::testing
