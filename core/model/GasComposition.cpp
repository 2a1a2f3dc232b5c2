#include "core/model/GasComposition.h"

#include "core/model/GasStream.h"
#include "core/model/GasVelocity.h"

namespace korvane {

GasComposition GasCompositionAt(const RunConstants& constants, double solventMolecularWeight,
                                double columnDiameter, double w, double tg) {
  const double solventInFilaments = constants.TotalPolymerFlow * w / (1 - w);
  const double evaporated =
      (constants.TotalSolventFlow - solventInFilaments) / solventMolecularWeight;
  GasComposition gas;
  gas.SolventFraction =
      GasSolventFraction(evaporated, constants.GasSolventMolarFlow, constants.GasMolarFlow);
  gas.Velocity = GasVelocity(constants.GasMolarFlow + evaporated + constants.GasSolventMolarFlow,
                             columnDiameter, tg);
  return gas;
}

}  // namespace korvane
