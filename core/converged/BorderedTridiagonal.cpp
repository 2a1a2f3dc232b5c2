#include "core/converged/BorderedTridiagonal.h"

#include <nvector/nvector_serial.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvane {

namespace {

BorderedMatrixData* Data(SUNMatrix matrix) {
  return static_cast<BorderedMatrixData*>(matrix->content);
}

SUNMatrix_ID MatrixId(SUNMatrix) {
  return SUNMATRIX_CUSTOM;
}

void DestroyMatrix(SUNMatrix matrix) {
  if (!matrix) return;
  delete Data(matrix);
  matrix->content = nullptr;
  SUNMatFreeEmpty(matrix);
}

SUNMatrix CloneMatrix(SUNMatrix matrix) {
  const BorderedMatrixData& data = *Data(matrix);
  return NewBorderedMatrix(data.Size, data.Inner, matrix->sunctx);
}

int ZeroMatrix(SUNMatrix matrix) {
  std::vector<double>& values = Data(matrix)->Values;
  std::fill(values.begin(), values.end(), 0.0);
  return SUNMAT_SUCCESS;
}

// to = from
int CopyMatrix(SUNMatrix from, SUNMatrix to) {
  const std::vector<double>& source = Data(from)->Values;
  std::vector<double>& target = Data(to)->Values;
  if (source.size() != target.size()) return SUNMAT_ILL_INPUT;
  std::copy(source.begin(), source.end(), target.begin());
  return SUNMAT_SUCCESS;
}

// matrix = c matrix + I
int ScaleAddIdentity(sunrealtype c, SUNMatrix matrix) {
  BorderedMatrixData& data = *Data(matrix);
  for (double& value : data.Values) value *= c;
  double* diagonal = data.Diagonal();
  for (int j = 0; j < data.Inner; ++j) diagonal[j] += 1;
  double* rows = data.Rows();
  for (int i = 0; i < data.Border; ++i)
    rows[static_cast<size_t>(i) * data.Size + data.Inner + i] += 1;
  return SUNMAT_SUCCESS;
}

int MatrixSpace(SUNMatrix matrix, long* realWords, long* integerWords) {
  *realWords = static_cast<long>(Data(matrix)->Values.size());
  *integerWords = 3;
  return SUNMAT_SUCCESS;
}

// The factors of a bordered matrix: A = L U by elimination, A^-1 B, and the Schur complement
// S = D - C A^-1 B with its LU factors.
struct Factors {
  int Size = 0;
  int Inner = 0;
  int Border = 0;
  std::vector<double> Multiplier;    // L below the diagonal
  std::vector<double> InversePivot;  // 1 / U's diagonal (U's upper diagonal is A's)
  std::vector<double> Z;             // A^-1 B, column by column
  std::vector<char> ActiveColumn;    // B's column has an entry that is not zero
  std::vector<double> Schur;         // row by row, overwritten by its LU factors
  std::vector<int> Permutation;
  std::vector<double> Work;
  sunindextype LastFlag = 0;

  // z = A^-1 r (z may be r).
  void SolveInner(const double* upper, const double* r, double* z) const {
    z[0] = r[0];
    for (int j = 1; j < Inner; ++j) z[j] = r[j] - Multiplier[j] * z[j - 1];
    z[Inner - 1] *= InversePivot[Inner - 1];
    for (int j = Inner - 2; j >= 0; --j) z[j] = (z[j] - upper[j] * z[j + 1]) * InversePivot[j];
  }
};

Factors* FactorsOf(SUNLinearSolver solver) {
  return static_cast<Factors*>(solver->content);
}

SUNLinearSolver_Type SolverType(SUNLinearSolver) {
  return SUNLINEARSOLVER_DIRECT;
}

SUNLinearSolver_ID SolverId(SUNLinearSolver) {
  return SUNLINEARSOLVER_CUSTOM;
}

int InitializeSolver(SUNLinearSolver solver) {
  FactorsOf(solver)->LastFlag = 0;
  return SUNLS_SUCCESS;
}

int SetupSolver(SUNLinearSolver solver, SUNMatrix matrix) {
  Factors& f = *FactorsOf(solver);
  BorderedMatrixData& a = *Data(matrix);
  const int m = f.Inner;
  const int b = f.Border;
  const int n = f.Size;
  if (a.Size != n || a.Inner != m) return f.LastFlag = SUNLS_ILL_INPUT;
  const double* lower = a.Lower();
  const double* diagonal = a.Diagonal();
  const double* upper = a.Upper();

  // A = L U, row by row.
  double pivot = diagonal[0];
  for (int j = 0; j < m; ++j) {
    if (j > 0) {
      f.Multiplier[j] = lower[j] / pivot;
      pivot = diagonal[j] - f.Multiplier[j] * upper[j - 1];
    }
    if (!(pivot != 0) || !std::isfinite(pivot)) return f.LastFlag = SUNLS_LUFACT_FAIL;
    f.InversePivot[j] = 1 / pivot;
  }

  // A^-1 B for the columns of B that couple to the tridiagonal block at all.
  const double* columns = a.Columns();
  for (int c = 0; c < b; ++c) {
    const double* column = columns + static_cast<size_t>(c) * m;
    f.ActiveColumn[c] = std::any_of(column, column + m, [](double v) { return v != 0; });
    if (f.ActiveColumn[c]) f.SolveInner(upper, column, f.Z.data() + static_cast<size_t>(c) * m);
  }

  // S = D - C A^-1 B.
  const double* rows = a.Rows();
  for (int i = 0; i < b; ++i) {
    const double* row = rows + static_cast<size_t>(i) * n;
    for (int c = 0; c < b; ++c) {
      double s = row[m + c];
      if (f.ActiveColumn[c]) {
        const double* z = f.Z.data() + static_cast<size_t>(c) * m;
        double sum = 0;
        for (int j = 0; j < m; ++j) sum += row[j] * z[j];
        s -= sum;
      }
      f.Schur[static_cast<size_t>(i) * b + c] = s;
    }
  }

  // S = P^T L U with partial pivoting; whole rows are exchanged.
  double* s = f.Schur.data();
  for (int k = 0; k < b; ++k) {
    int p = k;
    for (int i = k + 1; i < b; ++i) {
      if (std::fabs(s[i * b + k]) > std::fabs(s[p * b + k])) p = i;
    }
    f.Permutation[k] = p;
    if (!(s[p * b + k] != 0) || !std::isfinite(s[p * b + k])) {
      return f.LastFlag = SUNLS_LUFACT_FAIL;
    }
    if (p != k) {
      for (int c = 0; c < b; ++c) std::swap(s[k * b + c], s[p * b + c]);
    }
    for (int i = k + 1; i < b; ++i) {
      const double l = s[i * b + k] / s[k * b + k];
      s[i * b + k] = l;
      for (int c = k + 1; c < b; ++c) s[i * b + c] -= l * s[k * b + c];
    }
  }
  return f.LastFlag = SUNLS_SUCCESS;
}

// x = M^-1 r; x may be r.
int SolveSystem(SUNLinearSolver solver, SUNMatrix matrix, N_Vector x, N_Vector rhs, sunrealtype) {
  Factors& f = *FactorsOf(solver);
  BorderedMatrixData& a = *Data(matrix);
  const int m = f.Inner;
  const int b = f.Border;
  const int n = f.Size;
  const double* r = N_VGetArrayPointer(rhs);
  double* out = N_VGetArrayPointer(x);
  double* z = f.Work.data();
  double* u = z + m;

  // z = A^-1 r1; the border from S u = r2 - C z.
  f.SolveInner(a.Upper(), r, z);
  const double* rows = a.Rows();
  for (int i = 0; i < b; ++i) {
    const double* row = rows + static_cast<size_t>(i) * n;
    double sum = 0;
    for (int j = 0; j < m; ++j) sum += row[j] * z[j];
    u[i] = r[m + i] - sum;
  }
  const double* s = f.Schur.data();
  for (int k = 0; k < b; ++k) std::swap(u[k], u[f.Permutation[k]]);
  for (int i = 1; i < b; ++i) {
    for (int k = 0; k < i; ++k) u[i] -= s[i * b + k] * u[k];
  }
  for (int i = b - 1; i >= 0; --i) {
    for (int c = i + 1; c < b; ++c) u[i] -= s[i * b + c] * u[c];
    u[i] /= s[i * b + i];
  }
  // x1 = z - A^-1 B u.
  for (int c = 0; c < b; ++c) {
    if (!f.ActiveColumn[c]) continue;
    const double* column = f.Z.data() + static_cast<size_t>(c) * m;
    const double uc = u[c];
    for (int j = 0; j < m; ++j) z[j] -= column[j] * uc;
  }
  std::copy(z, z + n, out);
  return f.LastFlag = SUNLS_SUCCESS;
}

sunindextype LastSolverFlag(SUNLinearSolver solver) {
  return FactorsOf(solver)->LastFlag;
}

int SolverSpace(SUNLinearSolver solver, long* realWords, long* integerWords) {
  const Factors& f = *FactorsOf(solver);
  *realWords = static_cast<long>(f.Multiplier.size() + f.InversePivot.size() + f.Z.size() +
                                 f.Schur.size() + f.Work.size());
  *integerWords = static_cast<long>(f.Permutation.size() + f.ActiveColumn.size());
  return SUNLS_SUCCESS;
}

int FreeSolver(SUNLinearSolver solver) {
  if (!solver) return SUNLS_SUCCESS;
  delete FactorsOf(solver);
  solver->content = nullptr;
  SUNLinSolFreeEmpty(solver);
  return SUNLS_SUCCESS;
}

}  // namespace

SUNMatrix NewBorderedMatrix(int size, int inner, SUNContext context) {
  if (inner < 1 || inner >= size) return nullptr;
  SUNMatrix matrix = SUNMatNewEmpty(context);
  if (!matrix) return nullptr;
  auto* data = new BorderedMatrixData;
  data->Size = size;
  data->Inner = inner;
  data->Border = size - inner;
  data->Values.assign(3 * static_cast<size_t>(inner) +
                          static_cast<size_t>(data->Border) * (static_cast<size_t>(inner) + size),
                      0.0);
  matrix->content = data;
  matrix->ops->getid = MatrixId;
  matrix->ops->clone = CloneMatrix;
  matrix->ops->destroy = DestroyMatrix;
  matrix->ops->zero = ZeroMatrix;
  matrix->ops->copy = CopyMatrix;
  matrix->ops->scaleaddi = ScaleAddIdentity;
  matrix->ops->space = MatrixSpace;
  return matrix;
}

BorderedMatrixData& BorderedData(SUNMatrix matrix) {
  return *Data(matrix);
}

SUNLinearSolver NewBorderedSolver(int size, int inner, SUNContext context) {
  if (inner < 1 || inner >= size) return nullptr;
  SUNLinearSolver solver = SUNLinSolNewEmpty(context);
  if (!solver) return nullptr;
  auto* f = new Factors;
  const int border = size - inner;
  f->Size = size;
  f->Inner = inner;
  f->Border = border;
  f->Multiplier.assign(inner, 0.0);
  f->InversePivot.assign(inner, 0.0);
  f->Z.assign(static_cast<size_t>(inner) * border, 0.0);
  f->ActiveColumn.assign(border, 0);
  f->Schur.assign(static_cast<size_t>(border) * border, 0.0);
  f->Permutation.assign(border, 0);
  f->Work.assign(size, 0.0);
  solver->content = f;
  solver->ops->gettype = SolverType;
  solver->ops->getid = SolverId;
  solver->ops->initialize = InitializeSolver;
  solver->ops->setup = SetupSolver;
  solver->ops->solve = SolveSystem;
  solver->ops->lastflag = LastSolverFlag;
  solver->ops->space = SolverSpace;
  solver->ops->free = FreeSolver;
  return solver;
}

}  // namespace korvane
