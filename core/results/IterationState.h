// The variables of the shooting iteration on the spinneret tension.
#pragma once

#include <cstdint>

namespace korvane {

struct IterationState {
  int32_t CalculationLoopCount = 0;  // passes of the march so far
  double TensionGuess = 0;           // dyn, the spinneret tension of the next pass
  double TensionStep = 0;            // dyn, the step towards a side not yet seen
  double FineTensionStep = 0;        // dyn, the step once a secant has been taken
};

}  // namespace korvane
