// Radial solvent diffusion inside a filament over one axial step: Crank-Nicolson on equal
// radial intervals, with the surface fraction found by making the diffusive loss over the
// step equal to the evaporation flux that the surface drives into the gas.
#pragma once

#include "core/classic/StepStart.h"
#include "core/model/StepStatus.h"
#include "core/results/SimulationContext.h"

namespace korvane {

// Capacity of the linear systems: at most 21 equations.
inline constexpr int kSystemCapacity = 21;

using SystemVector = double[kSystemCapacity];

// A tridiagonal system: row r has Sub[r] in column r - 1, Diag[r] and Super[r] in column r + 1.
struct TridiagonalSystem {
  SystemVector Sub = {};
  SystemVector Diag = {};
  SystemVector Super = {};
  SystemVector Rhs = {};
};

// x with A x = Rhs for the first n rows, by Gaussian elimination without pivoting (rows with a
// zero below the pivot are skipped), restricted to the non-zero entries: it performs the
// operations of the full elimination in the same order and so gives the same doubles.
void SolveTridiagonalSystem(const TridiagonalSystem& system, int n, SystemVector& x);

// The pivots of the elimination, which do not depend on the right side.
void EliminateDiagonal(const TridiagonalSystem& system, int n, SystemVector& pivots);
// Eliminates the sub-diagonal from the right side for rows firstRow..lastRow (firstRow >= 1).
void EliminateRightSide(const TridiagonalSystem& system, const SystemVector& pivots, int firstRow,
                        int lastRow, SystemVector& rhs);
void BackSubstitute(const TridiagonalSystem& system, const SystemVector& pivots,
                    const SystemVector& rhs, int n, SystemVector& x);

// The Crank-Nicolson rows of the cylinder diffusion dc/dt = D (c'' + c'/r) for the unknown new
// values of nodes 0..intervals-1, from the start values c[0..intervals] and the ratios
// alpha[j] = D_j dt / dr^2. The axis row uses the symmetry c[-1] = c[1]. The new surface value
// is a known term of the last row: add SurfaceCoefficient x ws to its right side (see
// SetSurfaceValue). 2 <= intervals <= 20.
struct DiffusionRows {
  TridiagonalSystem System;
  double LastRhsWithoutSurface = 0;
  double SurfaceCoefficient = 0;
};

void BuildDiffusionRows(int intervals, const double* alpha, const double* c, DiffusionRows& rows);

// Completes the last row's right side for the new surface value ws.
inline void SetSurfaceValue(DiffusionRows& rows, int intervals, double ws) {
  rows.System.Rhs[intervals - 1] = rows.LastRhsWithoutSurface + rows.SurfaceCoefficient * ws;
}

// Advances the radial profile over the step from `start` to the next point i: sets
// ProfileAvgSolvent[i], ProfileSurfaceSolvent[i], ProfileRadialSolvent row i and the march's
// current radial profile. Refused or Fault (after the message, or with the fault recorded at
// the start's position) when a guarded step fails, or when the accepted surface trial leaves
// the average or surface solvent fraction outside 0 to 1.
StepStatus RadialDiffusionStep(const StepStart& start, SimulationContext& context);

}  // namespace korvane
