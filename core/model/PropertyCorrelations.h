// Material and transfer properties of the dope, the solvent and the spinning gas.
//
// Each is a pure function of its arguments. Three guard an arithmetic step: they give their
// value through an out parameter and return how the step ended, reporting a failure at the
// guard site (the value is then 0). Units: cm, g, s, degC (absolute temperature t + 273), cal,
// mol.
#pragma once

#include "core/model/ArithmeticFault.h"
#include "core/model/HeatTransferUnits.h"
#include "core/model/StepStatus.h"

namespace korvane {

// Solvent diffusion coefficient in the filament, cm2/s: P1 exp(P2 / (t + 273)) at or above the
// critical weight fraction, times (w / wg)^(Q1 t + Q2) below it. The power branch is guarded.
StepStatus DiffusionCoefficient(double diffusionParam1, double diffusionParam2, double t, double w,
                                double criticalWeightFraction, double tempDependencyParam1,
                                double tempDependencyParam2, const GuardSite& site, double& d);

// The same, with exp(P2 / (t + 273)) already evaluated for t (the radial nodes of one step
// share it) and the flags that were raised before it was evaluated.
StepStatus DiffusionCoefficientWithFactor(double diffusionParam1, double temperatureFactor,
                                          double t, double w, double criticalWeightFraction,
                                          double tempDependencyParam1, double tempDependencyParam2,
                                          const GuardSite& site, FaultFlags flagsAtEntry,
                                          double& d);

// Kinematic viscosity of the spinning gas at the film temperature tf, cm2/s.
inline double GasKinematicViscosity(double param1, double param2, double tf) {
  return param1 * tf + param2;
}

// Thermal conductivity of the spinning gas at the film temperature tf, cal/(cm s degC).
inline double GasThermalConductivity(double param1, double param2, double tf) {
  return param1 * tf + param2;
}

// Solvent vapour pressure in units of the total gas pressure: 10^(P1 - P2 / (t + P3)).
double VaporPressure(double param1, double param2, double param3, double t);

// Heat-transfer coefficient from filament to gas, cal/(cm2 s degC), for the cross-section A,
// filament velocity v, gas kinematic viscosity nu, gas conductivity lambda and gas velocity ug.
// The first power, with sqrt(A), is guarded.
StepStatus YarnHeatTransferCoefficient(double area, double v, double nu, double lambda, double ug,
                                       const GuardSite& site, double& h);

// Zero-shear viscosity of the dope, poise: P1 (1 - w)^P2 exp(P3 / (t + 273)).
double ZeroShearViscosity(double param1, double param2, double param3, double w, double t);

// The same with exp(P3 / (t + 273)) already evaluated (the rings of one cross-section share it).
inline double ZeroShearViscosityWithFactor(double param1, double param2, double w,
                                           double temperatureFactor);

// Shear stress of the gas on a filament of radius R and velocity v, dyn/cm2.
double GasDragStress(double radius, double v, double nu, double rho);

// Overall heat-transfer coefficient of an insulated wall, converted from kcal/(m2 h degC).
inline double InsulationCoefficient(double insulationHeatTransferCoeff) {
  return insulationHeatTransferCoeff * 1000 / (1000 * kKcalPerM2HourPerCalPerCm2Second);
}

// Heat-transfer coefficient from the gas to a jacketed wall, cal/(cm2 s degC): laminar free
// and forced convection below Re 2000, turbulent above 10000, blended between.
double WallHeatTransferCoefficient(double length, double diameter, double u, double prandtl,
                                   double tw, double tg, double rho, double mu);

// Density of the gas film at t, g/cm3.
inline double FilmGasDensity(double t) {
  return 0.001293 * 273 / (t + 273);
}

// Mass-transfer coefficient kx, mol/(cm2 s), from the heat-transfer coefficient.
inline double MassTransferCoefficient(double h, double solventGasHKRatio) {
  return h / solventGasHKRatio;
}

// Activity of the solvent at the filament surface, ws exp(1 - ws).
double SurfaceActivity(double ws);

// Solvent mole fraction in the gas at the filament surface: the activity times Ps.
inline double SurfaceVaporFraction(double ws, double ps) {
  return SurfaceActivity(ws) * ps;
}

// Evaporation flux from the surface, mol/(cm2 s); positive when solvent leaves the filament.
inline double EvaporationFlux(double ys, double yg, double kx) {
  return kx * (ys - yg) / (1 - ys);
}

}  // namespace korvane

#include "core/model/Power.h"

namespace korvane {

inline double ZeroShearViscosityWithFactor(double param1, double param2, double w,
                                           double temperatureFactor) {
  return param1 * Power(1 - w, param2) * temperatureFactor;
}

}  // namespace korvane
