// The velocity of the spinning gas down the column.
#pragma once

#include "core/model/MathConstants.h"
#include "core/model/Power.h"

namespace korvane {

// u = n 22.4 1000 / (pi/4 D^2) (273 + tg) / 273, cm/s: the volume of n mol/s of gas at 0 degC
// (22.4 l/mol) over the column's cross-section (diameter D, cm), scaled to the gas
// temperature tg.
inline double GasVelocity(double molarFlow, double columnDiameter, double tg) {
  return molarFlow * 22.4 * 1000 / (kQuarterPi * Power(columnDiameter, 2)) * (273 + tg) / 273;
}

}  // namespace korvane
