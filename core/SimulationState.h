// The run-wide values of the simulation: the constants the initial state derives, the
// variables of the tension iteration, what the march carries from step to step, and how the
// run ended.
#pragma once

#include "core/IterationState.h"
#include "core/MarchScratch.h"
#include "core/RunConstants.h"
#include "core/RunOutcomeFlags.h"

namespace korvane {

struct SimulationState {
  RunConstants Constants;
  IterationState Iteration;
  MarchScratch Scratch;
  RunOutcomeFlags Outcome;
};

}  // namespace korvane
