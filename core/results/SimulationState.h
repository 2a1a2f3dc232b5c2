// The run-wide values of the simulation: the constants the initial state derives, the
// variables of the tension iteration, what the march carries from step to step, and how the
// run ended.
#pragma once

#include "core/model/RunConstants.h"
#include "core/results/IterationState.h"
#include "core/results/MarchScratch.h"
#include "core/results/RunOutcomeFlags.h"

namespace korvane {

struct SimulationState {
  RunConstants Constants;
  IterationState Iteration;
  MarchScratch Scratch;
  RunOutcomeFlags Outcome;
};

}  // namespace korvane
