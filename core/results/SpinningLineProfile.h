// The spinning-line profile: the state of filaments and gas at every point of the line.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace korvane {

// Room for 2001 points (indices 0..2000) from the start, the most the classic method uses;
// point 0 is the spinneret exit. The converged method grows the columns as its grid needs.
inline constexpr int kProfileCapacity = 2001;
// Columns of the radial table (radial nodes 0..10 are used).
inline constexpr int kRadialCapacity = 21;

// Columns allocated once by their owner (about 0.6 MB) and overwritten by every run and every
// pass; a run of the classic method never allocates.
struct SpinningLineProfile {
  SpinningLineProfile() { Resize(kProfileCapacity); }

  // Makes room for at least `points` points; existing values stay, the room never shrinks.
  void Resize(int points) {
    if (points <= Capacity()) return;
    const auto n = static_cast<size_t>(points);
    for (std::vector<double>* column :
         {&ProfileZ, &ProfileAvgSolvent, &ProfileSurfaceSolvent, &ProfileYarnVelocity,
          &ProfileYarnTemp, &ProfileTension, &ProfileGasTemp, &ProfileGasVelocity,
          &ProfileGasSolventFraction, &ProfileElongViscosity, &ProfileHeatTransfer,
          &ProfileFilamentHeatCoeff, &ProfileEvaporationFlux, &ProfileStress}) {
      column->resize(n);
    }
    ProfileRadialSolvent.resize(n);
  }
  int Capacity() const { return static_cast<int>(ProfileZ.size()); }

  bool operator==(const SpinningLineProfile&) const = default;

  int32_t ProfilePointCount = 0;              // points of the grid
  int32_t PassPointCount = 0;                 // points the last pass computed (at most the grid's)
  std::vector<double> ProfileZ;               // cm from the spinneret
  std::vector<double> ProfileAvgSolvent;      // cross-section average, weight fraction
  std::vector<double> ProfileSurfaceSolvent;  // at the filament surface
  std::vector<double> ProfileYarnVelocity;    // cm/s
  std::vector<double> ProfileYarnTemp;        // degC
  std::vector<double> ProfileTension;         // dyn, one filament
  std::vector<double> ProfileGasTemp;         // degC
  std::vector<double> ProfileGasVelocity;     // cm/s
  std::vector<double> ProfileGasSolventFraction;  // mole fraction of solvent in the gas
  std::vector<double> ProfileElongViscosity;      // poise
  std::vector<double> ProfileHeatTransfer;        // gas to wall, cal/(cm2 s degC)
  std::vector<double> ProfileFilamentHeatCoeff;   // filament to gas, cal/(cm2 s degC)
  std::vector<double> ProfileEvaporationFlux;     // mol/(cm2 s)
  std::vector<double> ProfileStress;              // g/den, filled by the result file
  std::vector<std::array<double, kRadialCapacity>> ProfileRadialSolvent;  // row k: nodes of point k
};

}  // namespace korvane
