// A profile column's value at any z of the written line: linear between the two print points
// around z. The derivatives of a converged run are interpolated with the same weights, so they
// are the exact derivatives of the interpolated value.
#pragma once

#include "files/ProfileColumns.h"

namespace korvane {

// Where z falls among points 0 .. pointCount - 1 of the profile: the point left of it and the
// weight of the point to its right (0 at the last point). z outside the line is held to its ends.
struct InterpolationPoint {
  int Left = 0;
  double Weight = 0;
};
InterpolationPoint LocateOnLine(const SpinningLineProfile& profile, int pointCount, double z);

// The column's value at the located z, read from source (which may hold a run's values or their
// derivatives): (1 - w) value[left] + w value[left + 1].
double InterpolatedValue(const ProfileColumn& column, const ProfileSource& source,
                         const InterpolationPoint& at);

}  // namespace korvane
