// The values a run derives once from its inputs, before the first pass of the march.
#pragma once

#include <cstdint>

namespace korvane {

struct RunConstants {
  double PolymerFlowRate = 0;      // g/s, one filament
  double TotalPolymerFlow = 0;     // g/s, all filaments
  double TotalSolventFlow = 0;     // g/s
  double GasMolarFlow = 0;         // mol/s of dry gas
  double GasMassFlow = 0;          // g/s of dry gas
  double GasSolventMassFlow = 0;   // g/s of vapour entering with the gas
  double GasSolventMolarFlow = 0;  // mol/s
  double VelocityUpperLimit = 0;   // cm/s
  double VelocityLowerLimit = 0;   // cm/s
  int32_t RadialIntervals = 10;
  int32_t RadialNodeCount = 11;
};

}  // namespace korvane
