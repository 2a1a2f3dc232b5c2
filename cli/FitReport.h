// The fit's report as JSON, for scripts:
//   {"parameters": {"NAME": {"value", "standard_error", "low95", "high95", "initial"}},
//    "correlation": [[...]], "chi_square", "degrees_of_freedom", "converged", "evaluations",
//    "seconds", "residuals": [{"quantity", "z", "measured", "sigma", "model"}]}
// Numbers are the shortest texts that read back as the same doubles; a value
// that is not a finite number, or a standard error the data cannot give, is null. Besides these
// keys: "undetermined" (the names of parameters the data cannot determine) and "message". The
// correlation matrix is that of the determined parameters, in their order.
#pragma once

#include <string>

#include "fit/MeasurementFit.h"

namespace korvane {

std::string FitReportJson(const FitResult& result);

}  // namespace korvane
