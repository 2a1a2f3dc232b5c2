// One pass of the march down the spinning line for the assumed tension at the spinneret.
#pragma once

#include "core/results/SimulationContext.h"

namespace korvane {

// Computes points 1.. of the profile from point 0 with state.Iteration.TensionGuess at the
// spinneret: per step the radial diffusion, the filament equations, the tests that end a pass
// early, the gas composition and velocity, the heat exchange with the column wall and the gas
// energy balance. Returns the number of points reached (ProfilePointCount when every step ran). A
// failure clears state.Outcome.CalculationOk (after a guarded step's message, or with
// state.Outcome.Fault recording an unguarded floating-point fault and the position of its step);
// the result is then of no use. Requires 2 <= ProfilePointCount <= the profile's capacity; other
// counts end the pass at once with CalculationOk cleared and nothing written.
int MarchPass(SimulationContext& context);

}  // namespace korvane
