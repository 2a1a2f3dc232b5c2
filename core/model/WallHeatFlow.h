// The heat the spinning gas exchanges with the column wall.
#pragma once

#include "core/model/RunParameters.h"

namespace korvane {

struct WallHeatExchange {
  double Coefficient = 0;  // gas to wall, cal/(cm2 s degC)
  double HeatFlow = 0;     // cal/s into the gas
};

// The wall zone at z: 0 above the first jacket (insulated towards the room), k in jacket k
// (1..3), which starts at its upper position.
int WallZoneAt(const RunParameters& params, double z);

// Over a step of length dz starting at z, with the gas at tg moving at ug:
// Q = U pi D dz (To - tg). Above the first jacket the wall is insulated (U = insulation) towards
// the room (To = room temperature); each jacket zone is either jacketed, U from
// WallHeatTransferCoefficient over the whole line length with the gas density
// 273 / (tg + 273) 1.293e-3 g/cm3, or insulated, towards its jacket temperature To.
WallHeatExchange WallHeatFlow(const RunParameters& params, double z, double dz, double lineLength,
                              double insulation, double ug, double tg);

}  // namespace korvane
