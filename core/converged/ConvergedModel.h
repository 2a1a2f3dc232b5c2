// The spinning line as one system of ordinary differential equations in z: the radial solvent
// nodes with the surface fraction, the filament's velocity, temperature and tension, and the
// gas temperature with the vapour it carries. Every quantity is evaluated at the current
// position; the surface flux balance (the solvent that diffuses out equals the solvent that
// evaporates) is an equation of the system.
#pragma once

#include "core/converged/RadialGrid.h"
#include "core/model/RunConstants.h"
#include "core/model/RunParameters.h"
#include "core/model/WallHeatFlow.h"

namespace korvane {

// Parts of the physics that can be switched off, to check the model against cases with a
// closed-form solution.
struct ConvergedPhysics {
  bool Evaporation = true;   // solvent evaporation (the diffusion runs regardless)
  bool HeatTransfer = true;  // heat exchange of filament and gas
  bool Inertia = true;       // momentum of the mass flow and of the evaporating solvent
  bool Gravity = true;       // weight of the filament
  bool Drag = true;          // shear of the gas on the filament
};

// What the state gives at one position besides itself.
struct LinePointValues {
  double AvgSolvent = 0;
  double Area = 0;         // cm2
  double GasVelocity = 0;  // cm/s
  double GasSolventFraction = 0;
  double ElongViscosity = 0;  // poise
  double FilamentHeatCoeff = 0;
  double EvaporationFlux = 0;  // mol/(cm2 s)
  double WallHeatCoeff = 0;    // gas to wall
};

class ConvergedModel {
 public:
  // `derived` holds the run-wide flows and limits of the initial state.
  ConvergedModel(const RunParameters& params, const RunConstants& derived, RadialGrid grid,
                 ConvergedPhysics physics, double lineLength);

  const RadialGrid& Grid() const { return grid_; }
  int Size() const { return grid_.Intervals + 6; }
  // Positions in the state: radial nodes 0..N (N: the surface), then these.
  int Velocity() const { return grid_.Intervals + 1; }
  int Temperature() const { return grid_.Intervals + 2; }
  int Tension() const { return grid_.Intervals + 3; }
  int GasTemperature() const { return grid_.Intervals + 4; }
  int VaporFlow() const { return grid_.Intervals + 5; }  // g/s of vapour in the gas

  // The state at the spinneret for the tension there.
  void InitialValues(double tension, double* y) const;
  // Typical magnitudes of the components, for the absolute tolerances.
  void Scales(double* scale) const;
  // The wall zone at z (see WallZoneAt), and the one of the stretch being integrated.
  int WallZone(double z) const { return WallZoneAt(p_, z); }
  void SetWallZone(int zone) { zone_ = zone; }
  // New run-wide flows, for a record whose inputs have changed since construction.
  void SetRunConstants(const RunConstants& derived) { flows_ = derived; }

  // dy/dz at y: 0, or 1 when the state cannot be evaluated (a non-physical trial state, a
  // property without a value, a result that is not a finite number).
  int Derivatives(const double* y, double* dy) const;
  // The Jacobian of Derivatives at y (f: the derivatives there) in the integrator's bordered
  // tridiagonal form, the inner nodes 0..N-1 inside: the diffusion stencil's coupling in
  // lower/diagonal/upper (with the diffusion coefficient's own dependence on the fraction);
  // the inner nodes' dependence on the cross-section average, coupling[j] weights[k]; and in
  // borderRows[i * Size() + k] the surface's, filament's and gas's derivatives by the inner
  // nodes, which reach them through the cross-section average and the viscosity's rings.
  // Returns 0, or 1 as Derivatives.
  int BorderedJacobian(const double* y, const double* f, double* lower, double* diagonal,
                       double* upper, double* coupling, double* weights, double* borderRows) const;
  // The derived values at y; false when they cannot be evaluated.
  bool PointValues(const double* y, LinePointValues& values) const;

 private:
  struct Film;
  // With the cross-section average moved by averageShift (0: the state's own).
  bool FilmAt(const double* y, Film& film, double averageShift = 0) const;
  // Derivatives with the cross-section average and the elongational viscosity moved by the
  // shifts, for the difference quotients of the Jacobian.
  int Evaluate(const double* y, double* dy, double averageShift, double viscosityShift) const;
  // D_j / (v R^2) for the nodes 0..rows-1; false when a coefficient has no value.
  bool DiffusionRates(const double* y, double radius, int rows, double* rate) const;

  const RunParameters& p_;
  RunConstants flows_;
  RadialGrid grid_;
  ConvergedPhysics physics_;
  double lineLength_;
  int zone_ = 0;
};

}  // namespace korvane
