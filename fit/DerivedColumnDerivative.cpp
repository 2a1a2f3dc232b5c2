#include "fit/DerivedColumnDerivative.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "core/model/FilamentCrossSection.h"
#include "core/model/FilamentStress.h"
#include "core/model/InitialState.h"

namespace korvane {

namespace {

// The column's value at point i of the line moved by h along the derivatives, the item moved
// by h with it.
double MovedValue(const ProfileColumn& column, const ProfileSource& source,
                  const SpinningLineProfile& d, const ParameterItem* item, int i, double h) {
  RunParameters params = source.Params;
  if (item) *item->DecimalField.Get(params) += h;
  const double polymerFlow = RunWideConstants(params).PolymerFlowRate;
  const SpinningLineProfile& p = source.Profile;
  const double w = p.ProfileAvgSolvent[i] + h * d.ProfileAvgSolvent[i];
  const double v = p.ProfileYarnVelocity[i] + h * d.ProfileYarnVelocity[i];
  const double area = PrintedFilamentCrossSection(polymerFlow, w, v, params.DopeDensity);
  if (std::string_view(column.Name) == "filament_area") return area;
  const double tension = p.ProfileTension[i] + h * d.ProfileTension[i];
  return FilamentStress(tension, params.DopeDensity, area);
}

double PointDerivative(const ProfileColumn& column, const ProfileSource& source,
                       const SpinningLineProfile& d, const ParameterItem* item, double x, int i) {
  const double h = 1e-6 * std::max(std::abs(x), 1e-12);
  return (MovedValue(column, source, d, item, i, h) - MovedValue(column, source, d, item, i, -h)) /
         (2 * h);
}

}  // namespace

double DerivedColumnDerivative(const ProfileColumn& column, const ProfileSource& source,
                               const SpinningLineProfile& derivatives, const ParameterItem* item,
                               double value, const InterpolationPoint& at) {
  const double left = PointDerivative(column, source, derivatives, item, value, at.Left);
  if (at.Weight == 0) return left;
  return (1 - at.Weight) * left +
         at.Weight * PointDerivative(column, source, derivatives, item, value, at.Left + 1);
}

}  // namespace korvane
