// The integrator library's serial vectors with their arithmetic compiled here. The library as
// installed may be built without optimisation; its vector operations then take about half of a
// converged run. These give the same values, element by element and in the same order of
// operations (the reductions too), so a run's results do not change.
#pragma once

#include <sundials/sundials_context.h>
#include <sundials/sundials_nvector.h>

namespace korvane {

// A serial vector of `length` values (zero) whose operations, and those of its clones, are
// these. nullptr when it cannot be made.
N_Vector NewSerialVector(int length, SUNContext context);

// Gives a serial vector (and the clones made from it afterwards) these operations.
void UseCompiledOperations(N_Vector serial);

}  // namespace korvane
