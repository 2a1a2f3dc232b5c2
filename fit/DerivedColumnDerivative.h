// The derivative of a profile column computed from the others (the filament cross-section and
// the stress) with respect to an input item, at an interpolated z. The converged method's
// sensitivities give the columns these are computed from; the item may also enter the formulas
// directly (the dope output and the initial solvent fraction through the polymer flow, the dope
// density). The derivative is the central difference, over a relative step of 1e-6, of the
// same formulas the result file uses, evaluated on the line moved along its sensitivities:
// exact but for rounding, since no run is repeated.
#pragma once

#include "files/ProfileColumns.h"
#include "fit/ProfileInterpolation.h"
#include "inputs/ParameterItems.h"

namespace korvane {

// d(column)/d(parameter) at `at`; column is filament_area or stress (Derived), derivatives the
// parameter's profile of derivatives, value the parameter's. The parameter is the item, or
// with none a law constant, which enters these formulas through the line alone.
double DerivedColumnDerivative(const ProfileColumn& column, const ProfileSource& source,
                               const SpinningLineProfile& derivatives, const ParameterItem* item,
                               double value, const InterpolationPoint& at);

}  // namespace korvane
