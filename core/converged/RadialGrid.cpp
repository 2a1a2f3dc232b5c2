#include "core/converged/RadialGrid.h"

#include <cmath>

namespace korvane {

namespace {

constexpr double kHalfPi = 1.57079632679489661923;

RadialGrid GridOf(std::vector<double> xi) {
  RadialGrid g;
  g.Intervals = static_cast<int>(xi.size()) - 1;
  const int n = g.Intervals;
  g.Xi = std::move(xi);
  g.Lower.assign(n, 0);
  g.Centre.assign(n, 0);
  g.Upper.assign(n, 0);
  // Axis: c'' + c'/r -> 2 c'' with c[-1] = c[1], so 4 (c[1] - c[0]) / h^2.
  const double h1 = g.Xi[1];
  g.Centre[0] = -4 / (h1 * h1);
  g.Upper[0] = 4 / (h1 * h1);
  for (int j = 1; j < n; ++j) {
    const double hm = g.Xi[j] - g.Xi[j - 1];
    const double hp = g.Xi[j + 1] - g.Xi[j];
    const double sum = hm + hp;
    // c'' = 2 ((c[j+1] - c[j]) / hp - (c[j] - c[j-1]) / hm) / (hm + hp)
    const double d2Lower = 2 / (hm * sum);
    const double d2Upper = 2 / (hp * sum);
    // c' = (hm^2 c[j+1] - hp^2 c[j-1] + (hp^2 - hm^2) c[j]) / (hm hp (hm + hp))
    const double d1Lower = -hp / (hm * sum);
    const double d1Upper = hm / (hp * sum);
    const double d1Centre = (hp - hm) / (hm * hp);
    const double r = g.Xi[j];
    g.Lower[j] = d2Lower + d1Lower / r;
    g.Upper[j] = d2Upper + d1Upper / r;
    g.Centre[j] = -(d2Lower + d2Upper) + d1Centre / r;
  }
  g.RingWeight.assign(n + 1, 0);
  g.NodeWeight.assign(n + 1, 0);
  for (int k = 1; k <= n; ++k) {
    g.RingWeight[k] = g.Xi[k] * g.Xi[k] - g.Xi[k - 1] * g.Xi[k - 1];
    g.NodeWeight[k - 1] += g.RingWeight[k] / 2;
    g.NodeWeight[k] += g.RingWeight[k] / 2;
  }
  return g;
}

}  // namespace

RadialGrid EqualRadialGrid(int intervals) {
  std::vector<double> xi(intervals + 1);
  for (int j = 0; j <= intervals; ++j) xi[j] = static_cast<double>(j) / intervals;
  return GridOf(std::move(xi));
}

RadialGrid SurfaceClusteredRadialGrid(int intervals) {
  std::vector<double> xi(intervals + 1);
  for (int j = 0; j <= intervals; ++j) xi[j] = std::sin(kHalfPi * j / intervals);
  xi[intervals] = 1;
  return GridOf(std::move(xi));
}

double CrossSectionAverage(const RadialGrid& grid, const double* c) {
  double sum = 0;
  for (int k = 1; k <= grid.Intervals; ++k) sum += grid.RingWeight[k] * (c[k - 1] + c[k]) / 2;
  return sum;
}

double RadialValueAt(const RadialGrid& grid, const double* c, double xi) {
  const int n = grid.Intervals;
  if (xi <= 0) return c[0];
  if (xi >= 1) return c[n];
  int k = 1;
  while (k < n && grid.Xi[k] < xi) ++k;
  const double a = grid.Xi[k - 1];
  const double b = grid.Xi[k];
  const double s = (xi - a) / (b - a);
  return c[k - 1] + s * (c[k] - c[k - 1]);
}

}  // namespace korvane
