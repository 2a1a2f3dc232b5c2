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
// The most values of the table of the converged method's own radial nodes (32 MB).
inline constexpr int64_t kMostRadialNodeValues = 4'000'000;

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

  // Makes room for the solvent at the radial nodes xi (r/R) of every stride-th of `points`
  // print points, the stride chosen so that the table stays within kMostRadialNodeValues.
  void KeepRadialNodes(const std::vector<double>& xi, int points) {
    const int64_t nodes = std::max<int64_t>(1, static_cast<int64_t>(xi.size()));
    const int64_t rows = std::max<int64_t>(1, kMostRadialNodeValues / nodes);
    const auto stride = static_cast<int32_t>(std::max<int64_t>(1, (points + rows - 1) / rows));
    const auto kept = static_cast<size_t>((points - 1) / stride + 1);
    // Every pass of a run on one grid overwrites the rows it reaches.
    if (xi == RadialNodeXi && stride == RadialNodeStride && kept == ProfileRadialNodes.size())
      return;
    RadialNodeXi = xi;
    RadialNodeStride = stride;
    ProfileRadialNodes.assign(kept, {});
  }

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
  // The converged method's own radial nodes, which resolve the thin skin at the surface that the
  // table above cannot: r/R of each node, and the solvent at them for print point
  // k * RadialNodeStride in row k. Empty (stride 0) after a classic run.
  std::vector<double> RadialNodeXi;
  int32_t RadialNodeStride = 0;
  std::vector<std::vector<double>> ProfileRadialNodes;
};

}  // namespace korvane
