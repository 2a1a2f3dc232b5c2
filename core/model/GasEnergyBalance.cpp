#include "core/model/GasEnergyBalance.h"

#include "core/model/MathConstants.h"

namespace korvane {

double GasEnergyBalance(const RunParameters& params, const RunConstants& constants,
                        const FilamentExchange& filaments, double dz, double wallHeat, double tg,
                        double& vaporMassFlow) {
  const RunParameters& p = params;
  const double gasMass = constants.GasMassFlow;
  const double radius = filaments.Radius;
  const double evaporatedMass = filaments.EvaporationFlux * 2 * kPi * radius * dz *
                                p.FilamentCount * p.SolventMolecularWeight;
  const double latentHeat = evaporatedMass * p.HeatOfVaporization / p.SolventMolecularWeight;
  const double convection = filaments.FilamentHeatCoeff * 2 * kPi * radius * dz *
                            (tg - filaments.YarnTemp) * p.FilamentCount;
  const double heatBefore = (p.GasSpecificHeat * gasMass + p.VaporSpecificHeat * vaporMassFlow) /
                            (gasMass + vaporMassFlow);
  const double enthalpy = (gasMass + vaporMassFlow) * heatBefore * tg;
  vaporMassFlow = vaporMassFlow + evaporatedMass;
  const double heatAfter = (p.GasSpecificHeat * gasMass + p.VaporSpecificHeat * vaporMassFlow) /
                           (gasMass + vaporMassFlow);
  return (wallHeat + enthalpy + latentHeat - convection) / ((gasMass + vaporMassFlow) * heatAfter);
}

}  // namespace korvane
