// The radial grid of a filament cross-section in the converged method: nodes at r/R = xi_j,
// j = 0..N (node 0 on the axis, node N at the surface), with the finite-difference form of
// the radial diffusion operator c'' + c'/r and the ring weights of the cross-section average.
#pragma once

#include <vector>

namespace korvane {

struct RadialGrid {
  int Intervals = 0;
  std::vector<double> Xi;  // r/R of the nodes, N + 1 values
  // (c'' + c'/r) at node j, times R^2: Lower[j] c[j-1] + Centre[j] c[j] + Upper[j] c[j+1],
  // for j = 0..N-1 (the axis row uses the symmetry c[-1] = c[1]).
  std::vector<double> Lower;
  std::vector<double> Centre;
  std::vector<double> Upper;
  // Ring k between nodes k - 1 and k has the area share RingWeight[k] = xi_k^2 - xi_{k-1}^2
  // (k = 1..N; they add up to 1). NodeWeight[j] is the share of node j in the average
  // sum_k RingWeight[k] (c[k-1] + c[k]) / 2.
  std::vector<double> RingWeight;
  std::vector<double> NodeWeight;
};

// N equal intervals: the stencil is that of the classic march with N in place of 10,
// (alpha / 2)((1 + 1/(2j)) c[j+1] - 2 c[j] + (1 - 1/(2j)) c[j-1]) and 4 (c[1] - c[0]) / dr^2
// at the axis.
RadialGrid EqualRadialGrid(int intervals);

// N intervals clustered towards the surface, where the solvent-depleted skin forms:
// xi_j = sin(pi j / (2 N)), equal near the axis and shrinking to about pi^2 / (8 N^2) at the
// surface. Second-order differences on the uneven spacing.
RadialGrid SurfaceClusteredRadialGrid(int intervals);

// The cross-section average sum_k RingWeight[k] (c[k-1] + c[k]) / 2 of nodes c[0..N].
double CrossSectionAverage(const RadialGrid& grid, const double* c);

// The value at r/R = xi (0 <= xi <= 1), linear between the nodes.
double RadialValueAt(const RadialGrid& grid, const double* c, double xi);

}  // namespace korvane
