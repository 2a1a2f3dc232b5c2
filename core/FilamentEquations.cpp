#include "core/FilamentEquations.h"

#include <cmath>

#include "core/ArithmeticFault.h"
#include "core/PropertyCorrelations.h"

namespace korvane {

namespace {

// The equations with the solvent activity ws exp(1 - ws) of the start point's surface already
// evaluated: it is the same for all four stages of a step.
bool EvaluateFilament(const double* y, double* dy, FilamentStageOutputs& outputs,
                      SimulationContext& context, double surfaceActivity) {
  const RunParameters& p = context.Params;
  SpinningLineProfile& profile = context.Profile;
  SimulationState& state = context.State;
  const int point = state.CurrentPointIndex;
  const double v = y[0];
  const double t = y[1];
  const double tension = y[2];
  const double w = profile.ProfileAvgSolvent[point];
  const double tg = profile.ProfileGasTemp[point];
  const double ug = profile.ProfileGasVelocity[point];
  const double yg = profile.ProfileGasSolventFraction[point];

  // Mass balance: the cross-section that carries the polymer flow at this velocity.
  const double area = state.PolymerFlowRate / ((1 - w) * v * p.DopeDensity);
  const double areaOverPi = area / kPi;
  if (!(areaOverPi >= 0)) {
    FailGuardedStep(state, context.Reporter, kAreaHasNoRootInDerivatives, RaisedFaultFlags());
    return false;
  }
  const double radius = std::sqrt(areaOverPi);

  const double tf = (tg + t) / 2;
  const double rho = FilmGasDensity(tf);
  const double nu = GasKinematicViscosity(p.GasKinViscosityParam1, p.GasKinViscosityParam2, tf);
  if (!(nu > 0)) {
    FailGuardedStep(state, context.Reporter, kGasViscosityNotPositive, RaisedFaultFlags());
    return false;
  }
  const double ps =
      VaporPressure(p.VaporPressureParam1, p.VaporPressureParam2, p.VaporPressureParam3, t);
  const double lambda =
      GasThermalConductivity(p.GasConductivityParam1, p.GasConductivityParam2, tf);
  const double h = YarnHeatTransferCoefficient(area, v, nu, lambda, ug, state, context.Reporter);
  outputs.HeatTransfer = h;
  if (!state.CalculationOk) return false;

  // Evaporation driven by the start point's surface fraction.
  const double kx = MassTransferCoefficient(h, p.SolventGasHKRatio);
  const double ys = surfaceActivity * ps;
  const double n = EvaporationFlux(ys, yg, kx);
  outputs.EvaporationFlux = n;

  // Elongational viscosity: three times the zero-shear viscosity of each ring at its mean
  // fraction, averaged with the ring areas (k^2 - (k - 1)^2) / intervals^2.
  const int intervals = state.RadialIntervals;
  const double* row = profile.ProfileRadialSolvent[point].data();
  const double temperatureFactor = std::exp(p.ViscosityParam3 / (t + 273));
  const double intervalsSquared = Power(intervals, 2);
  double elongViscosity = 0;
  for (int k = 1; k <= intervals; ++k) {
    const double eta =
        3 * ZeroShearViscosityWithFactor(p.ViscosityParam1, p.ViscosityParam2,
                                         (row[k - 1] + row[k]) / 2, temperatureFactor);
    elongViscosity += eta * (Power(k, 2) - Power(k - 1, 2)) / intervalsSquared;
  }
  profile.ProfileElongViscosity[point] = elongViscosity;

  const double dvdz =
      p.DopeDensity * v * tension * (1 - w) / (state.PolymerFlowRate * elongViscosity);
  // 2 sqrt(pi / A) is the perimeter over the cross-section.
  const double dtdz = 2 * std::sqrt(kPi / area) * ((tg - t) * h - p.HeatOfVaporization * n) /
                      (p.DopeDensity * p.DopeSpecificHeat * v);
  const double tau = GasDragStress(radius, v, nu, rho);
  // Momentum of the whole mass flow, momentum carried off by the evaporating solvent, weight,
  // and gas drag.
  const double dfdz = state.PolymerFlowRate / (1 - w) * dvdz -
                      2 * kPi * radius * p.SolventMolecularWeight * n * v -
                      area * p.DopeDensity * 980 + 2 * kPi * radius * tau;
  dy[0] = dvdz;
  dy[1] = dtdz;
  dy[2] = dfdz;
  return true;
}

}  // namespace

bool FilamentDerivatives(const double* y, double /*z*/, double* dy, FilamentStageOutputs& outputs,
                         SimulationContext& context) {
  const double ws = context.Profile.ProfileSurfaceSolvent[context.State.CurrentPointIndex];
  return EvaluateFilament(y, dy, outputs, context, SurfaceActivity(ws));
}

bool GillStep(int n, double* y, double z, double dz, SimulationContext& context) {
  FilamentStageOutputs outputs;
  const double activity =
      SurfaceActivity(context.Profile.ProfileSurfaceSolvent[context.State.CurrentPointIndex]);
  const bool ok = GillStep(n, y, z, dz, [&](const double* stage, double, double* dy) {
    return EvaluateFilament(stage, dy, outputs, context, activity);
  });
  if (!ok) return false;
  const int point = context.State.CurrentPointIndex;
  context.Profile.ProfileFilamentHeatCoeff[point] = outputs.HeatTransfer;
  context.Profile.ProfileEvaporationFlux[point] = outputs.EvaporationFlux;
  return true;
}

}  // namespace korvane
