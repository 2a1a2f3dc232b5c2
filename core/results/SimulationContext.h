// What every calculation of one run works on: the run record, the profile, the run-wide
// values with the flags, and the reporter through which the core speaks. The caller owns all
// four; the context only refers to them.
#pragma once

#include "core/model/MathConstants.h"
#include "core/model/RunParameters.h"
#include "core/results/SimulationReporter.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"

namespace korvane {

struct SimulationContext {
  const RunParameters& Params;
  SpinningLineProfile& Profile;
  SimulationState& State;
  SimulationReporter& Reporter;
};

}  // namespace korvane
