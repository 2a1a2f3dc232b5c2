#include "core/converged/ConvergedModel.h"

#include <algorithm>
#include <cmath>

#include "core/model/FilamentCrossSection.h"
#include "core/model/GasStream.h"
#include "core/model/GasVelocity.h"
#include "core/model/MathConstants.h"
#include "core/model/PropertyCorrelations.h"
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

bool ConvergedModel::FilmAt(const double* y, Film& f) const {
  const double* c = y;
  const double v = y[Velocity()];
  const double t = y[Temperature()];
  const double tg = y[GasTemperature()];
  const double vapour = y[VaporFlow()];
  f.W = CrossSectionAverage(grid_, c);
  if (!(v > 0) || !(f.W < 1)) return false;
  f.Area = FilamentCrossSection(flows_.PolymerFlowRate, f.W, v, p_.DopeDensity);
  if (!(f.Area > 0) || !Finite(f.Area)) return false;
  f.Radius = FilamentRadius(f.Area);

  // Film properties at tf = (tg + t) / 2.
  const double tf = (tg + t) / 2;
  f.Rho = FilmGasDensity(tf);
  f.Nu = GasKinematicViscosity(p_.GasKinViscosityParam1, p_.GasKinViscosityParam2, tf);
  if (!(f.Nu > 0)) return false;
  const double lambda =
      GasThermalConductivity(p_.GasConductivityParam1, p_.GasConductivityParam2, tf);

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
      const double ps =
          VaporPressure(p_.VaporPressureParam1, p_.VaporPressureParam2, p_.VaporPressureParam3, t);
      const double ys = SurfaceVaporFraction(ws, ps);
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

// B = sum over the rings of their area share times 3 eta0 at the ring's mean fraction.
static double ElongationalViscosity(const RunParameters& p, const RadialGrid& grid, const double* c,
                                    double t) {
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
  const double factor = std::exp(p_.DiffusionParam2 / (t + 273));
  const double scale = 1 / (y[Velocity()] * radius * radius);
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

int ConvergedModel::RadialCoupling(const double* y, int rows, double* lower, double* centre,
                                   double* upper) const {
  Film f;
  if (!FilmAt(y, f) || !DiffusionRates(y, f.Radius, rows, centre)) return 1;
  for (int j = 0; j < rows; ++j) {
    const double rate = centre[j];
    lower[j] = j > 0 ? rate * grid_.Lower[j] : 0;
    upper[j] = rate * grid_.Upper[j];
    centre[j] = rate * grid_.Centre[j];
    if (!Finite(lower[j]) || !Finite(centre[j]) || !Finite(upper[j])) return 1;
  }
  return 0;
}

int ConvergedModel::Derivatives(const double* y, double* dy) const {
  Film f;
  if (!FilmAt(y, f)) return 1;
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
  const double b = ElongationalViscosity(p_, grid_, c, t);
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
