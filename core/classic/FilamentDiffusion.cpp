#include "core/classic/FilamentDiffusion.h"

#include <charconv>
#include <cmath>

#include "core/model/ArithmeticFault.h"
#include "core/model/FilamentCrossSection.h"
#include "core/model/FilmProperties.h"
#include "core/model/PropertyCorrelations.h"
#include "core/model/PropertyLaws.h"

namespace korvane {

void EliminateDiagonal(const TridiagonalSystem& system, int n, SystemVector& pivots) {
  pivots[0] = system.Diag[0];
  for (int row = 1; row < n; ++row) {
    pivots[row] = system.Diag[row];
    if (system.Sub[row] != 0) {
      pivots[row] = pivots[row] - system.Super[row - 1] * system.Sub[row] / pivots[row - 1];
    }
  }
}

void EliminateRightSide(const TridiagonalSystem& system, const SystemVector& pivots, int firstRow,
                        int lastRow, SystemVector& rhs) {
  for (int row = firstRow; row <= lastRow; ++row) {
    if (system.Sub[row] != 0) {
      rhs[row] = rhs[row] - rhs[row - 1] * system.Sub[row] / pivots[row - 1];
    }
  }
}

void BackSubstitute(const TridiagonalSystem& system, const SystemVector& pivots,
                    const SystemVector& rhs, int n, SystemVector& x) {
  x[n - 1] = rhs[n - 1] / pivots[n - 1];
  for (int row = n - 2; row >= 0; --row) {
    // The sum over the row starts from zero, as in the full elimination.
    double sum = 0;
    sum += x[row + 1] * system.Super[row];
    x[row] = (rhs[row] - sum) / pivots[row];
  }
}

void SolveTridiagonalSystem(const TridiagonalSystem& system, int n, SystemVector& x) {
  SystemVector pivots;
  SystemVector rhs;
  for (int row = 0; row < n; ++row) rhs[row] = system.Rhs[row];
  EliminateDiagonal(system, n, pivots);
  EliminateRightSide(system, pivots, 1, n - 1, rhs);
  BackSubstitute(system, pivots, rhs, n, x);
}

void BuildDiffusionRows(int intervals, const double* alpha, const double* c, DiffusionRows& rows) {
  TridiagonalSystem& s = rows.System;
  // Axis: the limit 2 c'' of the radial operator, with c[-1] = c[1].
  s.Sub[0] = 0;
  s.Diag[0] = 1 + 2 * alpha[0];
  s.Super[0] = -2 * alpha[0];
  s.Rhs[0] = (1 - 2 * alpha[0]) * c[0] + 2 * alpha[0] * c[1];
  const int last = intervals - 1;
  for (int j = 1; j <= last; ++j) {
    const double half = alpha[j] / 2;
    const double inner = 1 - 1.0 / (2 * j);  // towards the axis
    const double outer = 1 + 1.0 / (2 * j);  // towards the surface
    s.Sub[j] = -half * inner;
    s.Diag[j] = 1 + alpha[j];
    s.Super[j] = j < last ? -half * outer : 0;
    s.Rhs[j] = c[j] + half * (outer * c[j + 1] - 2 * c[j] + inner * c[j - 1]);
    if (j == last) {
      rows.LastRhsWithoutSurface = s.Rhs[j];
      rows.SurfaceCoefficient = half * outer;
    }
  }
}

namespace {

// Not below 0 and not above 1 (a value that is not a number is left to the fault checks).
bool IsWeightFraction(double w) {
  return !(w < 0 || w > 1);
}

// Ends the calculation with the message naming the point z (cm) where the fraction left 0 to 1.
StepStatus FailSolventFractionRange(const GuardSite& site, double z) {
  char text[kSolventFractionLeavesRange.size() + 32];
  kSolventFractionLeavesRange.copy(text, kSolventFractionLeavesRange.size());
  char* end = text + kSolventFractionLeavesRange.size();
  end = std::to_chars(end, text + sizeof text - 4, z, std::chars_format::general, 6).ptr;
  for (const char c : {' ', 'c', 'm', '.'}) *end++ = c;
  return FailGuardedStep(site, std::string_view(text, static_cast<size_t>(end - text)),
                         RaisedFaultFlags());
}

}  // namespace

StepStatus RadialDiffusionStep(const StepStart& start, SimulationContext& context) {
  const RunParameters& p = context.Params;
  SpinningLineProfile& profile = context.Profile;
  SimulationState& state = context.State;
  const GuardSite site{state.Outcome, context.Reporter, start.Z};
  const int i = start.Index + 1;
  const double w0 = start.AvgSolvent;
  const double v = start.YarnVelocity;
  const double t = start.YarnTemp;
  const double tg = start.GasTemp;
  const double ug = start.GasVelocity;
  const double yg = start.GasSolventFraction;
  const double dz = profile.ProfileZ[i] - start.Z;

  // Cross-section and radius at the start point; the root is guarded.
  const double area = FilamentCrossSection(state.Constants.PolymerFlowRate, w0, v, p.DopeDensity);
  double radius = 0;
  if (!TryFilamentRadius(area, radius))
    return FailGuardedStep(site, kAreaHasNoRootInDiffusion, RaisedFaultFlags());

  // Film properties between filament and gas.
  FilmProperties film;
  if (const StepStatus status = FilmTemperatureAndViscosity(p, t, tg, site, film);
      status != StepStatus::Ok)
    return status;
  if (const StepStatus status = CompleteFilmProperties(p, area, v, t, ug, film, site);
      status != StepStatus::Ok)
    return status;
  const double ps = film.VaporPressure;
  const double h = film.HeatTransfer;
  const double kx = MassTransferCoefficient(h, p.SolventGasHKRatio);

  const int intervals = state.Constants.RadialIntervals;
  const int nodes = state.Constants.RadialNodeCount;
  double* c = state.Scratch.CurrentRadialProfile;
  for (int j = 0; j < nodes; ++j) {
    if (c[j] < 0.0001) c[j] = 0.0001;
  }
  const double dr = radius / intervals;

  // Diffusion coefficient and Crank-Nicolson ratio D dt / dr^2 of every node, with the
  // time step dz / v the filament takes for the step.
  double alpha[kSystemCapacity];
  if (GivesLaw(p, PropertyLaw::DiffusionCoefficient)) {
    for (int j = 0; j < nodes; ++j) {
      double d = 0;
      if (const StepStatus status =
              EvaluatePropertyLaw(*p.Laws, PropertyLaw::DiffusionCoefficient, p, t, c[j], site, d);
          status != StepStatus::Ok)
        return status;
      alpha[j] = d / v * dz / (dr * dr);
    }
  } else {
    const FaultFlags flagsBeforeFactor = RaisedFaultFlags();
    const double temperatureFactor = std::exp(p.DiffusionParam2 / (t + 273));
    for (int j = 0; j < nodes; ++j) {
      double d = 0;
      if (c[j] >= p.CriticalWeightFraction) {
        d = p.DiffusionParam1 * temperatureFactor;
        if (!std::isfinite(d)) {
          // Unguarded: the plain coefficient overflowed; the run ends here.
          const FaultKind kind = FaultKindOf(RaisedFaultFlags());
          RecordFault(state.Outcome, kind == FaultKind::None ? FaultKind::Overflow : kind, start.Z);
          return StepStatus::Fault;
        }
      } else {
        if (const StepStatus status = DiffusionCoefficientWithFactor(
                p.DiffusionParam1, temperatureFactor, t, c[j], p.CriticalWeightFraction,
                p.TempDependencyParam1, p.TempDependencyParam2, site, flagsBeforeFactor, d);
            status != StepStatus::Ok)
          return status;
      }
      alpha[j] = d / v * dz / (dr * dr);
    }
  }

  DiffusionRows rows;
  BuildDiffusionRows(intervals, alpha, c, rows);
  // Everything but the last row's right side is the same for every trial surface value.
  SystemVector pivots;
  SystemVector rhs;
  EliminateDiagonal(rows.System, intervals, pivots);
  for (int row = 0; row < intervals - 1; ++row) rhs[row] = rows.System.Rhs[row];
  EliminateRightSide(rows.System, pivots, 1, intervals - 2, rhs);

  // Ring k lies between nodes k - 1 and k; the ring areas add up to the cross-section.
  double ringArea[kSystemCapacity];
  for (int k = 1; k <= intervals; ++k) {
    ringArea[k] = kPi * (Power(k * dr, 2) - Power((k - 1) * dr, 2));
  }
  const double diffusionFluxDenominator =
      2 * kPi * radius * p.SolventMolecularWeight * Power(1 - w0, 2);

  // Surface iteration: bracket the balance of diffusive loss and evaporation, stepping by 0.1
  // until both sides are seen, then false position between the latest high and low points.
  double ws = start.SurfaceSolvent;
  int counter = 1;
  double xHi = 0;
  double fHi = -1.0;  // no high point yet
  double xLo = 0;
  double fLo = 1.0;  // no low point yet
  SystemVector x;
  for (;;) {
    profile.ProfileSurfaceSolvent[i] = ws;
    SetSurfaceValue(rows, intervals, ws);
    rhs[intervals - 1] = rows.System.Rhs[intervals - 1];
    EliminateRightSide(rows.System, pivots, intervals - 1, intervals - 1, rhs);
    BackSubstitute(rows.System, pivots, rhs, intervals, x);
    x[intervals] = ws;

    double sum = 0;
    for (int k = 1; k <= intervals; ++k) sum += ringArea[k] * (x[k - 1] + x[k]) / 2;
    profile.ProfileAvgSolvent[i] = sum / area;

    const double fluxIn = -(profile.ProfileAvgSolvent[i] - w0) / diffusionFluxDenominator / dz *
                          state.Constants.PolymerFlowRate;
    double ys = 0;
    if (GivesLaw(p, PropertyLaw::SurfaceVaporFraction)) {
      if (const StepStatus status =
              EvaluatePropertyLaw(*p.Laws, PropertyLaw::SurfaceVaporFraction, p, ws, ps, site, ys);
          status != StepStatus::Ok)
        return status;
    } else {
      ys = SurfaceVaporFraction(ws, ps);
    }
    const double fluxOut = EvaporationFlux(ys, yg, kx);
    const double rel = (fluxOut - fluxIn) / fluxOut;
    if (std::fabs(rel) < 0.005 || counter > 20) break;

    ++counter;
    const double d = fluxOut - fluxIn;
    if (d > 0) {
      xHi = ws;
      fHi = d;
    } else {
      xLo = ws;
      fLo = d;
    }
    if (fHi < 0) {
      ws = xLo + 0.1;
    } else if (fLo > 0) {
      ws = xHi - 0.1;
    } else {
      ws = xHi - fHi * (xHi - xLo) / (fHi - fLo);
    }
  }

  // The last trial is accepted even when the balance was not met; a weight fraction outside 0
  // to 1 from it would carry on as solvent the filament never held.
  if (!IsWeightFraction(profile.ProfileAvgSolvent[i]) || !IsWeightFraction(ws))
    return FailSolventFractionRange(site, profile.ProfileZ[i]);

  for (int j = 0; j < nodes; ++j) {
    c[j] = x[j];
    profile.ProfileRadialSolvent[i][j] = x[j];
  }
  return StepStatus::Ok;
}

}  // namespace korvane
