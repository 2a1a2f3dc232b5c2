// korvane.fit's compiled part: the fit of a case to measurements, as _korvane._fit.
#pragma once

#include <pybind11/pybind11.h>

namespace korvane {

void AddFitBindings(pybind11::module_& m);

}  // namespace korvane
