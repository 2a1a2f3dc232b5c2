#include "fit/ProfileInterpolation.h"

#include <algorithm>

namespace korvane {

InterpolationPoint LocateOnLine(const SpinningLineProfile& profile, int pointCount, double z) {
  const auto begin = profile.ProfileZ.begin();
  const auto end = begin + pointCount;
  // The first point beyond z; the one before it is the left point.
  const int right = static_cast<int>(std::upper_bound(begin, end, z) - begin);
  if (right <= 0) return {0, 0};
  if (right >= pointCount) return {pointCount - 1, 0};
  const int left = right - 1;
  const double span = profile.ProfileZ[right] - profile.ProfileZ[left];
  return {left, span > 0 ? (z - profile.ProfileZ[left]) / span : 0};
}

double InterpolatedValue(const ProfileColumn& column, const ProfileSource& source,
                         const InterpolationPoint& at) {
  const double left = column.Value(source, at.Left);
  if (at.Weight == 0) return left;
  return (1 - at.Weight) * left + at.Weight * column.Value(source, at.Left + 1);
}

}  // namespace korvane
