// The spinning gas as it takes up the solvent: composition, velocity and heat capacity flow.
#pragma once

namespace korvane {

// Mole fraction of solvent in the gas, (n + Ns) / (n + Ns + Ng), for n mol/s evaporated, Ns
// mol/s of vapour that entered with the gas and Ng mol/s of dry gas.
inline double GasSolventFraction(double evaporatedMoles, double inletSolventMoles,
                                 double dryGasMoles) {
  return (evaporatedMoles + inletSolventMoles) /
         (evaporatedMoles + inletSolventMoles + dryGasMoles);
}

// Gas velocity in the column, cm/s: the molar flow at 22.4 l/mol over the column cross-section
// pi/4 D^2, scaled to the gas temperature tg: (Ng + n + Ns) 22.4e3 / (pi/4 D^2) (273 + tg) / 273.
inline double GasVelocity(double dryGasMoles, double evaporatedMoles, double inletSolventMoles,
                          double columnDiameter, double tg) {
  return (dryGasMoles + evaporatedMoles + inletSolventMoles) * 22.4 * 1000 /
         (0.78539816339744831 * (columnDiameter * columnDiameter)) * (273 + tg) / 273;
}

// Heat capacity flow of gas and vapour, cal/(s degC): cg G + cv Mv.
inline double GasHeatCapacityFlow(double gasSpecificHeat, double gasMassFlow,
                                  double vaporSpecificHeat, double vaporMassFlow) {
  return gasSpecificHeat * gasMassFlow + vaporSpecificHeat * vaporMassFlow;
}

// Density of the gas at the wall, g/cm3: 1.293e-3 x 273 / (tg + 273).
inline double WallGasDensity(double tg) {
  return 273 / (tg + 273) * 1.293 * 0.001;
}

}  // namespace korvane
