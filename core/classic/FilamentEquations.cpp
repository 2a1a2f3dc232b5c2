#include "core/classic/FilamentEquations.h"

#include <cmath>

#include "core/classic/StepStart.h"
#include "core/model/ArithmeticFault.h"
#include "core/model/FilamentCrossSection.h"
#include "core/model/FilmProperties.h"
#include "core/model/PropertyCorrelations.h"
#include "core/model/PropertyLaws.h"

namespace korvane {

namespace {

// The equations with the solvent activity ws exp(1 - ws) of the start point's surface already
// evaluated: it is the same for all four stages of a step.
StepStatus EvaluateFilament(const double* y, double* dy, FilamentStageOutputs& outputs,
                            const StepStart& start, SimulationContext& context,
                            double surfaceActivity) {
  const RunParameters& p = context.Params;
  const RunConstants& constants = context.State.Constants;
  const GuardSite site{context.State.Outcome, context.Reporter, start.Z};
  const double v = y[0];
  const double t = y[1];
  const double tension = y[2];
  const double w = start.AvgSolvent;
  const double tg = start.GasTemp;
  const double ug = start.GasVelocity;
  const double yg = start.GasSolventFraction;

  // Mass balance: the cross-section that carries the polymer flow at this velocity.
  const double area = FilamentCrossSection(constants.PolymerFlowRate, w, v, p.DopeDensity);
  double radius = 0;
  if (!TryFilamentRadius(area, radius))
    return FailGuardedStep(site, kAreaHasNoRootInDerivatives, RaisedFaultFlags());

  FilmProperties film;
  if (const StepStatus status = FilmTemperatureAndViscosity(p, t, tg, site, film);
      status != StepStatus::Ok)
    return status;
  const double rho = FilmGasDensity(film.Temperature);
  const double nu = film.KinematicViscosity;
  if (!(nu > 0)) return FailGuardedStep(site, kGasViscosityNotPositive, RaisedFaultFlags());
  const StepStatus filmStatus = CompleteFilmProperties(p, area, v, t, ug, film, site);
  const double h = film.HeatTransfer;
  outputs.HeatTransfer = h;
  if (filmStatus != StepStatus::Ok) return filmStatus;

  // Evaporation driven by the start point's surface fraction.
  const double kx = MassTransferCoefficient(h, p.SolventGasHKRatio);
  double ys = 0;
  if (GivesLaw(p, PropertyLaw::SurfaceVaporFraction)) {
    if (const StepStatus status =
            EvaluatePropertyLaw(*p.Laws, PropertyLaw::SurfaceVaporFraction, p, start.SurfaceSolvent,
                                film.VaporPressure, site, ys);
        status != StepStatus::Ok)
      return status;
  } else {
    ys = surfaceActivity * film.VaporPressure;
  }
  const double n = EvaporationFlux(ys, yg, kx);
  outputs.EvaporationFlux = n;

  // Elongational viscosity: three times the zero-shear viscosity of each ring at its mean
  // fraction, averaged with the ring areas (k^2 - (k - 1)^2) / intervals^2.
  const int intervals = constants.RadialIntervals;
  const double* row = start.RadialSolvent;
  const double intervalsSquared = Power(intervals, 2);
  double elongViscosity = 0;
  if (GivesLaw(p, PropertyLaw::ZeroShearViscosity)) {
    for (int k = 1; k <= intervals; ++k) {
      double eta0 = 0;
      if (const StepStatus status = EvaluatePropertyLaw(*p.Laws, PropertyLaw::ZeroShearViscosity, p,
                                                        t, (row[k - 1] + row[k]) / 2, site, eta0);
          status != StepStatus::Ok)
        return status;
      elongViscosity += 3 * eta0 * (Power(k, 2) - Power(k - 1, 2)) / intervalsSquared;
    }
  } else {
    const double temperatureFactor = std::exp(p.ViscosityParam3 / (t + 273));
    for (int k = 1; k <= intervals; ++k) {
      const double eta =
          3 * ZeroShearViscosityWithFactor(p.ViscosityParam1, p.ViscosityParam2,
                                           (row[k - 1] + row[k]) / 2, temperatureFactor);
      elongViscosity += eta * (Power(k, 2) - Power(k - 1, 2)) / intervalsSquared;
    }
  }
  context.Profile.ProfileElongViscosity[start.Index] = elongViscosity;

  const double dvdz =
      p.DopeDensity * v * tension * (1 - w) / (constants.PolymerFlowRate * elongViscosity);
  // 2 sqrt(pi / A) is the perimeter over the cross-section.
  const double dtdz = 2 * std::sqrt(kPi / area) * ((tg - t) * h - p.HeatOfVaporization * n) /
                      (p.DopeDensity * p.DopeSpecificHeat * v);
  const double tau = GasDragStress(radius, v, nu, rho);
  // Momentum of the whole mass flow, momentum carried off by the evaporating solvent, weight,
  // and gas drag.
  const double dfdz = constants.PolymerFlowRate / (1 - w) * dvdz -
                      2 * kPi * radius * p.SolventMolecularWeight * n * v -
                      area * p.DopeDensity * 980 + 2 * kPi * radius * tau;
  dy[0] = dvdz;
  dy[1] = dtdz;
  dy[2] = dfdz;
  return StepStatus::Ok;
}

}  // namespace

StepStatus FilamentDerivatives(const double* y, double /*z*/, double* dy,
                               FilamentStageOutputs& outputs, const StepStart& start,
                               SimulationContext& context) {
  return EvaluateFilament(y, dy, outputs, start, context, SurfaceActivity(start.SurfaceSolvent));
}

StepStatus GillStep(int n, double* y, const StepStart& start, double dz,
                    SimulationContext& context) {
  FilamentStageOutputs outputs;
  const double activity = SurfaceActivity(start.SurfaceSolvent);
  StepStatus status = StepStatus::Ok;
  GillStep(n, y, start.Z, dz, [&](const double* stage, double, double* dy) {
    status = EvaluateFilament(stage, dy, outputs, start, context, activity);
    return status == StepStatus::Ok;
  });
  if (status != StepStatus::Ok) return status;
  context.Profile.ProfileFilamentHeatCoeff[start.Index] = outputs.HeatTransfer;
  context.Profile.ProfileEvaporationFlux[start.Index] = outputs.EvaporationFlux;
  return StepStatus::Ok;
}

}  // namespace korvane
