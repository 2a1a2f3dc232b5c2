// Where the spinning tension fell to zero: the results end at that point.
#pragma once

#include "core/results/SpinningLineProfile.h"

namespace korvane {

// The number of points of the last pass up to and including the first whose tension is not
// above zero (not a number counts as not above zero); 0 when every point's tension is above
// zero.
inline int TensionBelowZeroPointCount(const SpinningLineProfile& profile) {
  const int n =
      profile.PassPointCount < profile.Capacity() ? profile.PassPointCount : profile.Capacity();
  for (int i = 0; i < n; ++i)
    if (!(profile.ProfileTension[i] > 0)) return i + 1;
  return 0;
}

}  // namespace korvane
