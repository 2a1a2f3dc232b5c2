#include "core/converged/ConvergedModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/model/FilamentCrossSection.h"
#include "core/model/GasStream.h"
#include "core/model/GasVelocity.h"
#include "core/model/MathConstants.h"
#include "core/model/PropertyCorrelations.h"
#include "core/model/PropertyLaws.h"
#include "core/results/SimulationReporter.h"

namespace korvane {

namespace {

constexpr double kGravity = 980;  // cm/s2
// Prandtl number and viscosity of the gas at the jacketed wall.
// Fractions below this take the diffusion coefficient of this fraction.
constexpr double kLowestDiffusionFraction = 0.0001;

// The guarded correlations report through a reporter; in a trial state of the integrator a
// failure only means "cannot be evaluated here", so nothing is shown.
class QuietReporter : public SimulationReporter {
 public:
  void ShowMessage(std::string_view) override {}
};

bool Finite(double x) {
  return std::isfinite(x);
}

// A property by the run's law when it gives one (false: the law has no value), otherwise by
// the built-in correlation.
template <class BuiltIn>
bool Property(const RunParameters& p, PropertyLaw law, double first, double second, double& value,
              BuiltIn builtIn) {
  if (GivesLaw(p, law)) return p.Laws->Evaluate(law, p, first, second, value);
  value = builtIn();
  return true;
}

}  // namespace

// The values at the filament surface and in the gas film that the equations share.
struct ConvergedModel::Film {
  double W = 0;  // cross-section average
  double Area = 0;
  double Radius = 0;
  double Nu = 0;    // gas kinematic viscosity
  double Rho = 0;   // film gas density
  double H = 0;     // filament-gas heat transfer
  double Flux = 0;  // evaporation flux
  double Ug = 0;
  double Yg = 0;
  double Hw = 0;       // gas-wall heat transfer
  double Outside = 0;  // temperature beyond the wall
};

ConvergedModel::ConvergedModel(const RunParameters& params, const RunConstants& derived,
                               RadialGrid grid, ConvergedPhysics physics, double lineLength)
    : p_(params),
      flows_(derived),
      grid_(std::move(grid)),
      physics_(physics),
      lineLength_(lineLength) {}

void ConvergedModel::InitialValues(double tension, double* y) const {
  const int n = grid_.Intervals;
  for (int j = 0; j <= n; ++j) y[j] = p_.InitialSolventFraction;
  y[Velocity()] = p_.DopeOutput / (p_.DopeDensity * p_.NozzleArea);
  y[Temperature()] = p_.DopeInitialTemp;
  y[Tension()] = tension;
  y[GasTemperature()] = p_.GasInitialTemp;
  y[VaporFlow()] = flows_.GasSolventMassFlow;
}

void ConvergedModel::Scales(double* scale) const {
  const int n = grid_.Intervals;
  for (int j = 0; j <= n; ++j) scale[j] = 1e-3;
  scale[Velocity()] = 1e-2;
  scale[Temperature()] = 1e-2;
  scale[Tension()] = 1e-3;
  scale[GasTemperature()] = 1e-2;
  scale[VaporFlow()] = 1e-5 * std::max(flows_.TotalSolventFlow, 1e-12);
}

bool ConvergedModel::FilmAt(const double* y, Film& f, double averageShift) const {
  const double* c = y;
  const double v = y[Velocity()];
  const double t = y[Temperature()];
  const double tg = y[GasTemperature()];
  const double vapour = y[VaporFlow()];
  f.W = CrossSectionAverage(grid_, c) + averageShift;
  if (!(v > 0) || !(f.W < 1)) return false;
  f.Area = FilamentCrossSection(flows_.PolymerFlowRate, f.W, v, p_.DopeDensity);
  if (!(f.Area > 0) || !Finite(f.Area)) return false;
  f.Radius = FilamentRadius(f.Area);

  // Film properties at tf = (tg + t) / 2.
  const double tf = (tg + t) / 2;
  f.Rho = FilmGasDensity(tf);
  if (!Property(p_, PropertyLaw::GasKinematicViscosity, tf, 0, f.Nu, [&] {
        return GasKinematicViscosity(p_.GasKinViscosityParam1, p_.GasKinViscosityParam2, tf);
      }))
    return false;
  if (!(f.Nu > 0)) return false;
  double lambda = 0;
  if (!Property(p_, PropertyLaw::GasConductivity, tf, 0, lambda, [&] {
        return GasThermalConductivity(p_.GasConductivityParam1, p_.GasConductivityParam2, tf);
      }))
    return false;

  // Gas composition and velocity from the vapour it carries.
  const double evaporated = (vapour - flows_.GasSolventMassFlow) / p_.SolventMolecularWeight;
  f.Yg = GasSolventFraction(evaporated, flows_.GasSolventMolarFlow, flows_.GasMolarFlow);
  f.Ug = GasVelocity(flows_.GasMolarFlow + evaporated + flows_.GasSolventMolarFlow,
                     p_.ColumnDiameter, tg);

  f.H = 0;
  f.Flux = 0;
  if (physics_.HeatTransfer || physics_.Evaporation) {
    RunOutcomeFlags scratch;
    QuietReporter quiet;
    double h = 0;
    if (YarnHeatTransferCoefficient(f.Area, v, f.Nu, lambda, f.Ug, GuardSite{scratch, quiet, 0},
                                    h) != StepStatus::Ok ||
        !Finite(h))
      return false;
    if (physics_.HeatTransfer) f.H = h;
    if (physics_.Evaporation) {
      const double ws = c[grid_.Intervals];
      double ps = 0;
      double ys = 0;
      if (!Property(p_, PropertyLaw::VaporPressure, t, 0, ps,
                    [&] {
                      return VaporPressure(p_.VaporPressureParam1, p_.VaporPressureParam2,
                                           p_.VaporPressureParam3, t);
                    }) ||
          !Property(p_, PropertyLaw::SurfaceVaporFraction, ws, ps, ys,
                    [&] { return SurfaceVaporFraction(ws, ps); }))
        return false;
      if (!(ys < 1)) return false;
      f.Flux = EvaporationFlux(ys, f.Yg, MassTransferCoefficient(h, p_.SolventGasHKRatio));
    }
  }

  // Column wall of the current zone.
  if (zone_ == 0) {
    f.Hw = InsulationCoefficient(p_.InsulationHeatTransferCoeff);
    f.Outside = p_.RoomTemp;
  } else {
    const int jacket = zone_ - 1;
    f.Outside = p_.JacketTemp[jacket];
    f.Hw = p_.JacketMode[jacket] == '1'
               ? WallHeatTransferCoefficient(lineLength_, p_.ColumnDiameter, f.Ug, kWallGasPrandtl,
                                             f.Outside, tg, WallGasDensity(tg), kWallGasViscosity)
               : InsulationCoefficient(p_.InsulationHeatTransferCoeff);
  }
  return Finite(f.Flux) && Finite(f.Hw) && Finite(f.Ug) && Finite(f.Yg);
}

// B = sum over the rings of their area share times 3 eta0 at the ring's mean fraction (not a
// number when the run's law has no value).
static double ElongationalViscosity(const RunParameters& p, const RadialGrid& grid, const double* c,
                                    double t) {
  if (GivesLaw(p, PropertyLaw::ZeroShearViscosity)) {
    double b = 0;
    for (int k = 1; k <= grid.Intervals; ++k) {
      double eta0 = 0;
      if (!p.Laws->Evaluate(PropertyLaw::ZeroShearViscosity, p, t, (c[k - 1] + c[k]) / 2, eta0))
        return std::numeric_limits<double>::quiet_NaN();
      b += grid.RingWeight[k] * 3 * eta0;
    }
    return b;
  }
  const double factor = std::exp(p.ViscosityParam3 / (t + 273));
  double b = 0;
  for (int k = 1; k <= grid.Intervals; ++k) {
    b += grid.RingWeight[k] * 3 *
         ZeroShearViscosityWithFactor(p.ViscosityParam1, p.ViscosityParam2, (c[k - 1] + c[k]) / 2,
                                      factor);
  }
  return b;
}

bool ConvergedModel::DiffusionRates(const double* y, double radius, int rows, double* rate) const {
  RunOutcomeFlags scratch;
  QuietReporter quiet;
  const GuardSite site{scratch, quiet, 0};
  const double t = y[Temperature()];
  const double scale = 1 / (y[Velocity()] * radius * radius);
  if (GivesLaw(p_, PropertyLaw::DiffusionCoefficient)) {
    for (int j = 0; j < rows; ++j) {
      double d = 0;
      if (!p_.Laws->Evaluate(PropertyLaw::DiffusionCoefficient, p_, t,
                             std::max(y[j], kLowestDiffusionFraction), d))
        return false;
      rate[j] = d * scale;
    }
    return true;
  }
  const double factor = std::exp(p_.DiffusionParam2 / (t + 273));
  for (int j = 0; j < rows; ++j) {
    double d = 0;
    if (DiffusionCoefficientWithFactor(p_.DiffusionParam1, factor, t,
                                       std::max(y[j], kLowestDiffusionFraction),
                                       p_.CriticalWeightFraction, p_.TempDependencyParam1,
                                       p_.TempDependencyParam2, site, 0, d) != StepStatus::Ok)
      return false;
    rate[j] = d * scale;
  }
  return true;
}

int ConvergedModel::Derivatives(const double* y, double* dy) const {
  return Evaluate(y, dy, 0, 0);
}

int ConvergedModel::Evaluate(const double* y, double* dy, double averageShift,
                             double viscosityShift) const {
  Film f;
  if (!FilmAt(y, f, averageShift)) return 1;
  const int n = grid_.Intervals;
  const double* c = y;
  const double v = y[Velocity()];
  const double t = y[Temperature()];
  const double tension = y[Tension()];
  const double tg = y[GasTemperature()];
  const double vapour = y[VaporFlow()];
  const double qp = flows_.PolymerFlowRate;

  // Radial diffusion in the moving filament, time dz / v:
  // dc_j/dz = D_j / (v R^2) (Lower c_{j-1} + Centre c_j + Upper c_{j+1}).
  if (!DiffusionRates(y, f.Radius, n, dy)) return 1;
  for (int j = 0; j < n; ++j) {
    double stencil = grid_.Centre[j] * c[j] + grid_.Upper[j] * c[j + 1];
    if (j > 0) stencil += grid_.Lower[j] * c[j - 1];
    dy[j] *= stencil;
  }
  // Surface balance: the average loses what evaporates, d/dz [Qp w / (1 - w)] = -2 pi R M N,
  // so dw/dz = -2 pi R M N (1 - w)^2 / Qp, and the surface node takes up the difference
  // between that and what the inner nodes give.
  const double dwdz =
      -2 * kPi * f.Radius * p_.SolventMolecularWeight * f.Flux * (1 - f.W) * (1 - f.W) / qp;
  double inner = 0;
  for (int j = 0; j < n; ++j) inner += grid_.NodeWeight[j] * dy[j];
  dy[n] = (dwdz - inner) / grid_.NodeWeight[n];

  // Filament: dv/dz = rho v F (1 - w) / (Qp B);
  // dT/dz = 2 sqrt(pi / A) ((tg - T) h - Hv N) / (rho cp v);
  // dF/dz = Qp / (1 - w) dv/dz - 2 pi R M N v - A rho g + 2 pi R tau.
  const double b = ElongationalViscosity(p_, grid_, c, t) + viscosityShift;
  if (!(b > 0)) return 1;
  const double dvdz = p_.DopeDensity * v * tension * (1 - f.W) / (qp * b);
  const double dtdz = 2 * std::sqrt(kPi / f.Area) *
                      ((tg - t) * f.H - p_.HeatOfVaporization * f.Flux) /
                      (p_.DopeDensity * p_.DopeSpecificHeat * v);
  double dfdz = 0;
  if (physics_.Inertia) {
    dfdz += qp / (1 - f.W) * dvdz - 2 * kPi * f.Radius * p_.SolventMolecularWeight * f.Flux * v;
  }
  if (physics_.Gravity) dfdz -= f.Area * p_.DopeDensity * kGravity;
  if (physics_.Drag) dfdz += 2 * kPi * f.Radius * GasDragStress(f.Radius, v, f.Nu, f.Rho);
  dy[Velocity()] = dvdz;
  dy[Temperature()] = dtdz;
  dy[Tension()] = dfdz;

  // Gas: dMv/dz = n_f 2 pi R N M; the enthalpy flow (cg G + cv Mv) tg gains the wall heat
  // hw pi D (T_out - tg) and the latent heat dMv/dz Hv / M, and gives the filaments
  // n_f h 2 pi R (tg - T).
  const double perimeter = 2 * kPi * f.Radius;
  const double dmvdz = p_.FilamentCount * perimeter * f.Flux * p_.SolventMolecularWeight;
  const double wall = f.Hw * kPi * p_.ColumnDiameter * (f.Outside - tg);
  const double latent = dmvdz * p_.HeatOfVaporization / p_.SolventMolecularWeight;
  const double convection = f.H * perimeter * (tg - t) * p_.FilamentCount;
  const double capacity =
      GasHeatCapacityFlow(p_.GasSpecificHeat, flows_.GasMassFlow, p_.VaporSpecificHeat, vapour);
  dy[VaporFlow()] = dmvdz;
  dy[GasTemperature()] =
      (wall + latent - convection - p_.VaporSpecificHeat * dmvdz * tg) / capacity;

  for (int e = 0; e < Size(); ++e) {
    if (!Finite(dy[e])) return 1;
  }
  return 0;
}

int ConvergedModel::BorderedJacobian(const double* y, const double* f, double* lower,
                                     double* diagonal, double* upper, double* coupling,
                                     double* weights, double* borderRows) const {
  constexpr double kIncrement = 1.4901161193847656e-08;  // the square root of the unit roundoff
  const int n = grid_.Intervals;
  const int size = Size();
  const int border = size - n;
  const double* c = y;
  Film film;
  if (!FilmAt(y, film)) return 1;

  // Inner rows: dc_j/dz = r_j(c_j) s_j with the rate r_j = D_j / (v R^2) and the stencil s_j,
  // so d/dc_j = r_j Centre_j + r_j'(c_j) s_j. Each rate depends on its own node's fraction
  // only, so one evaluation with every node moved gives all the r_j'.
  std::vector<double> work(4 * static_cast<size_t>(size));
  double* rate = work.data();
  double* movedRate = rate + size;
  double* moved = movedRate + size;
  double* dy = moved + size;
  if (!DiffusionRates(y, film.Radius, n, rate)) return 1;
  std::copy(y, y + size, moved);
  for (int j = 0; j < n; ++j) {
    moved[j] = c[j] + kIncrement * std::max(std::fabs(c[j]), kLowestDiffusionFraction);
  }
  if (!DiffusionRates(moved, film.Radius, n, movedRate)) return 1;
  for (int j = 0; j < n; ++j) {
    double stencil = grid_.Centre[j] * c[j] + grid_.Upper[j] * c[j + 1];
    if (j > 0) stencil += grid_.Lower[j] * c[j - 1];
    const double slope = (movedRate[j] - rate[j]) / (moved[j] - c[j]);
    lower[j] = j > 0 ? rate[j] * grid_.Lower[j] : 0;
    upper[j] = rate[j] * grid_.Upper[j];
    diagonal[j] = rate[j] * grid_.Centre[j] + slope * stencil;
    if (!Finite(lower[j]) || !Finite(diagonal[j]) || !Finite(upper[j])) return 1;
  }

  // Every row sees an inner node through the cross-section average W (dW/dc_k is the node's
  // weight), the border's rows also through the viscosity B of the two rings beside it.
  // df/dW and df/dB by moving W and B alone; dB/dc_k = sum over the rings of
  // 3 RingWeight deta0/dc_k.
  const double averageStep = kIncrement * std::max(film.W, 1e-2);
  if (Evaluate(y, dy, averageStep, 0) != 0) return 1;
  for (int j = 0; j < n; ++j) {
    coupling[j] = (dy[j] - f[j]) / averageStep;
    weights[j] = grid_.NodeWeight[j];
    if (!Finite(coupling[j])) return 1;
  }
  double byAverage[8];
  double byViscosity[8];
  for (int i = 0; i < border; ++i) byAverage[i] = (dy[n + i] - f[n + i]) / averageStep;
  const double t = y[Temperature()];
  const double viscosity = ElongationalViscosity(p_, grid_, c, t);
  const double viscosityStep = kIncrement * viscosity;
  if (Evaluate(y, dy, 0, viscosityStep) != 0) return 1;
  for (int i = 0; i < border; ++i) byViscosity[i] = (dy[n + i] - f[n + i]) / viscosityStep;
  double* viscosityByNode = moved;  // dB/dc_k, k = 0..N
  std::fill(viscosityByNode, viscosityByNode + n + 1, 0.0);
  const double factor = std::exp(p_.ViscosityParam3 / (t + 273));
  for (int k = 1; k <= n; ++k) {
    const double mean = (c[k - 1] + c[k]) / 2;
    const double movedMean = mean + kIncrement * std::max(std::fabs(mean), 1e-3);
    double ring = 0;
    double movedRing = 0;
    if (!Property(p_, PropertyLaw::ZeroShearViscosity, t, mean, ring,
                  [&] {
                    return ZeroShearViscosityWithFactor(p_.ViscosityParam1, p_.ViscosityParam2,
                                                        mean, factor);
                  }) ||
        !Property(p_, PropertyLaw::ZeroShearViscosity, t, movedMean, movedRing, [&] {
          return ZeroShearViscosityWithFactor(p_.ViscosityParam1, p_.ViscosityParam2, movedMean,
                                              factor);
        }))
      return 1;
    // The mean moves by half of either node's change.
    const double share = grid_.RingWeight[k] * 3 * (movedRing - ring) / (movedMean - mean) / 2;
    viscosityByNode[k - 1] += share;
    viscosityByNode[k] += share;
  }
  const std::vector<double>& weight = grid_.NodeWeight;
  for (int i = 0; i < border; ++i) {
    double* row = borderRows + static_cast<size_t>(i) * size;
    for (int k = 0; k < n; ++k) {
      row[k] = byAverage[i] * weight[k] + byViscosity[i] * viscosityByNode[k];
    }
  }
  // The surface node's row takes away the inner nodes' weighted stencils: minus the weighted
  // sum of the inner rows over column k.
  for (int k = 0; k < n; ++k) {
    double sum = weight[k] * diagonal[k];
    if (k > 0) sum += weight[k - 1] * upper[k - 1];
    if (k + 1 < n) sum += weight[k + 1] * lower[k + 1];
    borderRows[k] -= sum / weight[n];
  }
  for (int i = 0; i < border; ++i) {
    const double* row = borderRows + static_cast<size_t>(i) * size;
    if (!std::all_of(row, row + n, Finite)) return 1;
  }
  return 0;
}

bool ConvergedModel::PointValues(const double* y, LinePointValues& values) const {
  Film f;
  if (!FilmAt(y, f)) return false;
  values.AvgSolvent = f.W;
  values.Area = f.Area;
  values.GasVelocity = f.Ug;
  values.GasSolventFraction = f.Yg;
  values.ElongViscosity = ElongationalViscosity(p_, grid_, y, y[Temperature()]);
  values.FilamentHeatCoeff = f.H;
  values.EvaporationFlux = f.Flux;
  values.WallHeatCoeff = f.Hw;
  return Finite(values.ElongViscosity);
}

}  // namespace korvane
