// What every calculation of one run works on: the run record, the profile, the run-wide
// values with the flags, and the reporter through which the core speaks. The caller owns all
// four; the context only refers to them.
#pragma once

#include "core/MathConstants.h"
#include "core/RunParameters.h"
#include "core/SimulationReporter.h"
#include "core/SimulationState.h"
#include "core/SpinningLineProfile.h"

namespace korvane {

struct SimulationContext {
  const RunParameters& Params;
  SpinningLineProfile& Profile;
  SimulationState& State;
  SimulationReporter& Reporter;
};

}  // namespace korvane
