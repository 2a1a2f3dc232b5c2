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

// Heat capacity flow of gas and vapour, cal/(s degC): cg G + cv Mv.
inline double GasHeatCapacityFlow(double gasSpecificHeat, double gasMassFlow,
                                  double vaporSpecificHeat, double vaporMassFlow) {
  return gasSpecificHeat * gasMassFlow + vaporSpecificHeat * vaporMassFlow;
}

// Prandtl number and viscosity of the gas at the jacketed wall.
inline constexpr double kWallGasPrandtl = 0.675;
inline constexpr double kWallGasViscosity = 0.00024;  // g/(cm s)

// Density of the gas at the wall, g/cm3: 1.293e-3 x 273 / (tg + 273).
inline double WallGasDensity(double tg) {
  return 273 / (tg + 273) * 1.293 * 0.001;
}

}  // namespace korvane
