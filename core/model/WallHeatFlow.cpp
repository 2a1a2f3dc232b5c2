#include "core/model/WallHeatFlow.h"

#include "core/model/GasStream.h"
#include "core/model/MathConstants.h"
#include "core/model/PropertyCorrelations.h"

namespace korvane {

WallHeatExchange WallHeatFlow(const RunParameters& params, double z, double dz, double lineLength,
                              double insulation, double ug, double tg) {
  const RunParameters& p = params;
  WallHeatExchange wall;
  double outside = 0;
  if (z < p.JacketUpperPos[0]) {
    wall.Coefficient = insulation;
    outside = p.RoomTemp;
  } else {
    const int jacket = z < p.JacketUpperPos[1] ? 0 : z < p.JacketUpperPos[2] ? 1 : 2;
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
