// The spinning-line profile: the state of filaments and gas at every point of the line.
#pragma once

#include <cstdint>

namespace korvane {

// Room for 2001 points (indices 0..2000); point 0 is the spinneret exit.
inline constexpr int kProfileCapacity = 2001;
// Columns of the radial table (radial nodes 0..10 are used).
inline constexpr int kRadialCapacity = 21;

// Fixed-capacity arrays, allocated once by their owner (about 0.6 MB: keep it on the heap)
// and overwritten by every run and every pass.
struct SpinningLineProfile {
  int32_t ProfilePointCount = 0;  // points of the grid
  int32_t PassPointCount = 0;     // points the last pass of the march computed (at most the grid's)
  double ProfileZ[kProfileCapacity] = {};               // cm from the spinneret
  double ProfileAvgSolvent[kProfileCapacity] = {};      // cross-section average, weight fraction
  double ProfileSurfaceSolvent[kProfileCapacity] = {};  // at the filament surface
  double ProfileYarnVelocity[kProfileCapacity] = {};    // cm/s
  double ProfileYarnTemp[kProfileCapacity] = {};        // degC
  double ProfileTension[kProfileCapacity] = {};         // dyn, one filament
  double ProfileGasTemp[kProfileCapacity] = {};         // degC
  double ProfileGasVelocity[kProfileCapacity] = {};     // cm/s
  double ProfileGasSolventFraction[kProfileCapacity] = {};  // mole fraction of solvent in the gas
  double ProfileElongViscosity[kProfileCapacity] = {};      // poise
  double ProfileHeatTransfer[kProfileCapacity] = {};        // gas to wall, cal/(cm2 s degC)
  double ProfileFilamentHeatCoeff[kProfileCapacity] = {};   // filament to gas, cal/(cm2 s degC)
  double ProfileEvaporationFlux[kProfileCapacity] = {};     // mol/(cm2 s)
  double ProfileStress[kProfileCapacity] = {};              // g/den, filled by the result file
  double ProfileRadialSolvent[kProfileCapacity][kRadialCapacity] =
      {};  // row k: nodes 0..10 of point k
};

}  // namespace korvane
