// A matrix whose first `inner` rows and columns form a tridiagonal block, bordered by the last
// size - inner rows and columns, which are full:
//
//   [ A  B ]   A: inner x inner, tridiagonal plus a rank-one part p q^T
//   [ C  D ]   B: inner x border (its columns); C, D: the border's rows over all the columns
//
// with a direct solver that factors A's tridiagonal part T by elimination without pivoting
// (from both ends towards its middle row),
// and the border, with s = q^T x as one more unknown, through its Schur complement
// (partial pivoting). T must not need pivoting: the stiff
// integrator's Newton matrices I - gamma J are diagonally dominant there when A is the
// coupling of a diffusion stencil. Both are the integrator library's matrix and linear-solver
// objects, for its Newton iteration.
#pragma once

#include <sundials/sundials_context.h>
#include <sundials/sundials_linearsolver.h>
#include <sundials/sundials_matrix.h>

#include <vector>

namespace korvane {

struct BorderedMatrixData {
  int Size = 0;
  int Inner = 0;
  int Border = 0;
  // One block of storage, so that copies and scalings are single loops:
  // lower (inner) | diagonal (inner) | upper (inner) | p (inner) |
  // B column by column (inner x border) | the border's rows (border x size, row by row).
  std::vector<double> Values;
  std::vector<double> Weights;  // q (inner), which scalings of the matrix leave alone

  double* Lower() { return Values.data(); }
  double* Diagonal() { return Values.data() + Inner; }
  double* Upper() { return Values.data() + 2 * Inner; }
  double* Coupling() { return Values.data() + 3 * Inner; }
  double* Columns() { return Values.data() + 4 * Inner; }
  double* Rows() { return Columns() + static_cast<size_t>(Inner) * Border; }
};

// The matrix, zero; `inner` is at least 1 and less than `size`.
SUNMatrix NewBorderedMatrix(int size, int inner, SUNContext context);
BorderedMatrixData& BorderedData(SUNMatrix matrix);

// The solver for such matrices of this shape.
SUNLinearSolver NewBorderedSolver(int size, int inner, SUNContext context);

}  // namespace korvane
