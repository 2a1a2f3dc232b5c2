// What one pass of the march carries from each step to the next.
#pragma once

#include "core/results/SpinningLineProfile.h"

namespace korvane {

struct MarchScratch {
  double CurrentRadialProfile[kRadialCapacity] = {};  // the radial profile at the step's start
  double GasVaporMassFlow = 0;                        // g/s of solvent vapour in the gas
};

}  // namespace korvane
