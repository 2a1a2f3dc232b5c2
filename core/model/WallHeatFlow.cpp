#include "core/model/WallHeatFlow.h"

#include "core/model/GasStream.h"
#include "core/model/MathConstants.h"
#include "core/model/PropertyCorrelations.h"

namespace korvane {

int WallZoneAt(const RunParameters& params, double z) {
  if (z < params.JacketUpperPos[0]) return 0;
  if (z < params.JacketUpperPos[1]) return 1;
  if (z < params.JacketUpperPos[2]) return 2;
  return 3;
}

WallHeatExchange WallHeatFlow(const RunParameters& params, double z, double dz, double lineLength,
                              double insulation, double ug, double tg) {
  const RunParameters& p = params;
  WallHeatExchange wall;
  double outside = 0;
  const int zone = WallZoneAt(p, z);
  if (zone == 0) {
    wall.Coefficient = insulation;
    outside = p.RoomTemp;
  } else {
    const int jacket = zone - 1;
    if (p.JacketMode[jacket] == '1') {
      wall.Coefficient = WallHeatTransferCoefficient(lineLength, p.ColumnDiameter, ug,
                                                     kWallGasPrandtl, p.JacketTemp[jacket], tg,
                                                     WallGasDensity(tg), kWallGasViscosity);
    } else {
      wall.Coefficient = insulation;
    }
    outside = p.JacketTemp[jacket];
  }
  wall.HeatFlow = wall.Coefficient * kPi * p.ColumnDiameter * dz * (outside - tg);
  return wall;
}

}  // namespace korvane
