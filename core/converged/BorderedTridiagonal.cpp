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
  BorderedMatrixData& data = *Data(matrix);
  std::fill(data.Values.begin(), data.Values.end(), 0.0);
  std::fill(data.Weights.begin(), data.Weights.end(), 0.0);
  return SUNMAT_SUCCESS;
}

// to = from
int CopyMatrix(SUNMatrix from, SUNMatrix to) {
  const BorderedMatrixData& source = *Data(from);
  BorderedMatrixData& target = *Data(to);
  if (source.Values.size() != target.Values.size()) return SUNMAT_ILL_INPUT;
  std::copy(source.Values.begin(), source.Values.end(), target.Values.begin());
  std::copy(source.Weights.begin(), source.Weights.end(), target.Weights.begin());
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
  *realWords = static_cast<long>(Data(matrix)->Values.size() + Data(matrix)->Weights.size());
  *integerWords = 3;
  return SUNMAT_SUCCESS;
}

// The factors of a bordered matrix. With s = q^T x1 as an unknown beside x1 and the border's
// x2, the system is
//   T x1 + p s + B x2 = r1,   q^T x1 - s = 0,   C x1 + D x2 = r2;
// E = [p B] and u = (s, x2): T = L U by elimination, Z = T^-1 E, and u from the Schur
// complement S = [-1 0; 0 D] - [q^T; C] Z, LU-factored.
struct Factors {
  int Size = 0;
  int Inner = 0;
  int Border = 0;  // of the matrix; the Schur complement has one row and column more
  std::vector<double> Multiplier;    // of the elimination from the top or the bottom
  std::vector<double> InversePivot;  // 1 / the pivots
  // T^-1 E for the columns of E that couple to the tridiagonal block at all (Active, in
  // ascending order), row by row: Z[j * Active.size() + a] is row j of column Active[a].
  std::vector<double> Z;
  std::vector<int> Active;
  std::vector<char> ActiveColumn;  // E's column has an entry that is not zero
  std::vector<double> Schur;       // row by row, overwritten by its LU factors
  std::vector<int> Permutation;
  std::vector<double> Work;
  std::vector<double> Sums;                // one per column or row of the Schur complement
  std::vector<const double*> RowPointers;  // q, then the border's rows
  sunindextype LastFlag = 0;

  // T is eliminated from both ends at once: rows 0..Twist-1 from the top (Multiplier[j] =
  // lower[j] / the pivot above), rows Twist+1..m-1 from the bottom (Multiplier[j] = upper[j] /
  // the pivot below), and the twist row from both, so that the two halves' chains of
  // dependent operations overlap. InversePivot holds the pivots' inverses.
  int Twist = 0;
  double TwistFromAbove = 0;  // lower[Twist] / the pivot above it
  double TwistFromBelow = 0;  // upper[Twist] / the pivot below it

  // z = T^-1 r (z may be r).
  void SolveInner(const double* lower, const double* upper, const double* r, double* z) const {
    const int m = Inner;
    const int k = Twist;
    const int top = k;             // rows 0..k-1
    const int bottom = m - 1 - k;  // rows k+1..m-1
    if (top > 0) z[0] = r[0];
    if (bottom > 0) z[m - 1] = r[m - 1];
    const int sweep = std::max(top, bottom);
    for (int i = 1; i < sweep; ++i) {
      if (i < top) z[i] = r[i] - Multiplier[i] * z[i - 1];
      if (i < bottom) {
        const int j = m - 1 - i;
        z[j] = r[j] - Multiplier[j] * z[j + 1];
      }
    }
    double middle = r[k];
    if (top > 0) middle -= TwistFromAbove * z[k - 1];
    if (bottom > 0) middle -= TwistFromBelow * z[k + 1];
    z[k] = middle * InversePivot[k];
    for (int i = 1; i <= sweep; ++i) {
      if (i <= top) {
        const int j = k - i;
        z[j] = (z[j] - upper[j] * z[j + 1]) * InversePivot[j];
      }
      if (i <= bottom) {
        const int j = k + i;
        z[j] = (z[j] - lower[j] * z[j - 1]) * InversePivot[j];
      }
    }
  }
  // The same for the active columns of E at once, side by side.
  void SolveInnerColumns(const double* lower, const double* upper, const double* columns) {
    const size_t count = Active.size();
    if (count == 0) return;
    const int m = Inner;
    const int k = Twist;
    const int top = k;
    const int bottom = m - 1 - k;
    double* z = Z.data();
    const auto row = [&](int j) { return z + static_cast<size_t>(j) * count; };
    const auto column = [&](size_t a, int j) {
      return columns[static_cast<size_t>(Active[a]) * m + j];
    };
    for (size_t a = 0; a < count; ++a) {
      if (top > 0) row(0)[a] = column(a, 0);
      if (bottom > 0) row(m - 1)[a] = column(a, m - 1);
    }
    const int sweep = std::max(top, bottom);
    for (int i = 1; i < sweep; ++i) {
      if (i < top) {
        const double l = Multiplier[i];
        double* here = row(i);
        const double* before = row(i - 1);
        for (size_t a = 0; a < count; ++a) here[a] = column(a, i) - l * before[a];
      }
      if (i < bottom) {
        const int j = m - 1 - i;
        const double l = Multiplier[j];
        double* here = row(j);
        const double* after = row(j + 1);
        for (size_t a = 0; a < count; ++a) here[a] = column(a, j) - l * after[a];
      }
    }
    double* middle = row(k);
    for (size_t a = 0; a < count; ++a) {
      double t = column(a, k);
      if (top > 0) t -= TwistFromAbove * row(k - 1)[a];
      if (bottom > 0) t -= TwistFromBelow * row(k + 1)[a];
      middle[a] = t * InversePivot[k];
    }
    for (int i = 1; i <= sweep; ++i) {
      if (i <= top) {
        const int j = k - i;
        const double u = upper[j];
        const double pivot = InversePivot[j];
        double* here = row(j);
        const double* after = row(j + 1);
        for (size_t a = 0; a < count; ++a) here[a] = (here[a] - u * after[a]) * pivot;
      }
      if (i <= bottom) {
        const int j = k + i;
        const double l = lower[j];
        const double pivot = InversePivot[j];
        double* here = row(j);
        const double* before = row(j - 1);
        for (size_t a = 0; a < count; ++a) here[a] = (here[a] - l * before[a]) * pivot;
      }
    }
  }
};

// sums[i] = the sum over j < m of rows[i][j] z[j] in j's order, for `count` rows side by side:
// each sum's chain of additions overlaps the others'. With the count known the sums stay in
// registers.
template <int Count>
void FixedRowSums(const double* const* rows, const double* z, int m, double* sums) {
  double acc[Count] = {};
  for (int j = 0; j < m; ++j) {
    const double zj = z[j];
#pragma GCC unroll 8
    for (int i = 0; i < Count; ++i) acc[i] += rows[i][j] * zj;
  }
  for (int i = 0; i < Count; ++i) sums[i] = acc[i];
}

void RowSums(const double* const* rows, const double* z, int m, int count, double* sums) {
  switch (count) {
    case 7:  // the line's border of six quantities and the weighted sum
      FixedRowSums<7>(rows, z, m, sums);
      return;
    default:
      std::fill(sums, sums + count, 0.0);
      for (int j = 0; j < m; ++j) {
        const double zj = z[j];
        for (int i = 0; i < count; ++i) sums[i] += rows[i][j] * zj;
      }
  }
}

// sums[c] = the sum over j < m of row[j] z[j * count + c] in j's order, for `count` columns.
template <int Count>
void FixedColumnSums(const double* row, const double* z, int m, double* sums) {
  double acc[Count] = {};
  for (int j = 0; j < m; ++j) {
    const double r = row[j];
    const double* zj = z + static_cast<size_t>(j) * Count;
#pragma GCC unroll 8
    for (int c = 0; c < Count; ++c) acc[c] += r * zj[c];
  }
  for (int c = 0; c < Count; ++c) sums[c] = acc[c];
}

void ColumnSums(const double* row, const double* z, int m, int count, double* sums) {
  switch (count) {
    case 3:
      FixedColumnSums<3>(row, z, m, sums);
      return;
    case 4:
      FixedColumnSums<4>(row, z, m, sums);
      return;
    case 5:
      FixedColumnSums<5>(row, z, m, sums);
      return;
    default:
      std::fill(sums, sums + count, 0.0);
      for (int j = 0; j < m; ++j) {
        const double r = row[j];
        const double* zj = z + static_cast<size_t>(j) * count;
        for (int c = 0; c < count; ++c) sums[c] += r * zj[c];
      }
  }
}

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

  // T eliminated from both ends towards the twist row.
  const int twistRow = m / 2;
  f.Twist = twistRow;
  const auto invertible = [](double pivot) { return pivot != 0 && std::isfinite(pivot); };
  double pivot = diagonal[0];
  for (int j = 0; j < twistRow; ++j) {
    if (j > 0) {
      f.Multiplier[j] = lower[j] / pivot;
      pivot = diagonal[j] - f.Multiplier[j] * upper[j - 1];
    }
    if (!invertible(pivot)) return f.LastFlag = SUNLS_LUFACT_FAIL;
    f.InversePivot[j] = 1 / pivot;
  }
  pivot = diagonal[m - 1];
  for (int j = m - 1; j > twistRow; --j) {
    if (j < m - 1) {
      f.Multiplier[j] = upper[j] / pivot;
      pivot = diagonal[j] - f.Multiplier[j] * lower[j + 1];
    }
    if (!invertible(pivot)) return f.LastFlag = SUNLS_LUFACT_FAIL;
    f.InversePivot[j] = 1 / pivot;
  }
  double twist = diagonal[twistRow];
  f.TwistFromAbove = 0;
  f.TwistFromBelow = 0;
  if (twistRow > 0) {
    f.TwistFromAbove = lower[twistRow] * f.InversePivot[twistRow - 1];
    twist -= f.TwistFromAbove * upper[twistRow - 1];
  }
  if (twistRow < m - 1) {
    f.TwistFromBelow = upper[twistRow] * f.InversePivot[twistRow + 1];
    twist -= f.TwistFromBelow * lower[twistRow + 1];
  }
  if (!invertible(twist)) return f.LastFlag = SUNLS_LUFACT_FAIL;
  f.InversePivot[twistRow] = 1 / twist;

  // Z = T^-1 E for the columns of E that couple to the tridiagonal block at all.
  const int e = b + 1;
  const double* columns = a.Coupling();  // p, then B's columns
  f.Active.clear();
  for (int c = 0; c < e; ++c) {
    const double* column = columns + static_cast<size_t>(c) * m;
    f.ActiveColumn[c] = std::any_of(column, column + m, [](double v) { return v != 0; });
    if (f.ActiveColumn[c]) f.Active.push_back(c);
  }
  f.SolveInnerColumns(lower, upper, columns);

  // S = [-1 0; 0 D] - [q^T; C] Z: row 0 from q, row 1 + i from the border's row i. The sums
  // over j of the active columns run side by side, each in j's order.
  const double* rows = a.Rows();
  const size_t active = f.Active.size();
  double* sums = f.Sums.data();
  for (int i = 0; i < e; ++i) {
    const double* row = i == 0 ? a.Weights.data() : rows + static_cast<size_t>(i - 1) * n;
    ColumnSums(row, f.Z.data(), m, static_cast<int>(active), sums);
    size_t next = 0;
    for (int c = 0; c < e; ++c) {
      double s = 0;
      if (i == 0 && c == 0) s = -1;
      if (i > 0 && c > 0) s = row[m + c - 1];
      if (f.ActiveColumn[c]) s -= sums[next++];
      f.Schur[static_cast<size_t>(i) * e + c] = s;
    }
  }

  // S = P^T L U with partial pivoting; whole rows are exchanged.
  double* s = f.Schur.data();
  for (int k = 0; k < e; ++k) {
    int p = k;
    for (int i = k + 1; i < e; ++i) {
      if (std::fabs(s[i * e + k]) > std::fabs(s[p * e + k])) p = i;
    }
    f.Permutation[k] = p;
    if (!(s[p * e + k] != 0) || !std::isfinite(s[p * e + k])) {
      return f.LastFlag = SUNLS_LUFACT_FAIL;
    }
    if (p != k) {
      for (int c = 0; c < e; ++c) std::swap(s[k * e + c], s[p * e + c]);
    }
    for (int i = k + 1; i < e; ++i) {
      const double l = s[i * e + k] / s[k * e + k];
      s[i * e + k] = l;
      for (int c = k + 1; c < e; ++c) s[i * e + c] -= l * s[k * e + c];
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
  // z = T^-1 r1; u = (s, x2) from S u = (-q^T z, r2 - C z); x1 = z - Z u.
  const int e = b + 1;
  double* z = f.Work.data();
  double* u = z + m;
  f.SolveInner(a.Lower(), a.Upper(), r, z);
  // The sums over j for every row at once, each in j's order.
  const double* rows = a.Rows();
  const double** rowOf = f.RowPointers.data();
  rowOf[0] = a.Weights.data();
  for (int i = 1; i < e; ++i) rowOf[i] = rows + static_cast<size_t>(i - 1) * n;
  double* sums = f.Sums.data();
  RowSums(rowOf, z, m, e, sums);
  for (int i = 0; i < e; ++i) u[i] = (i == 0 ? 0 : r[m + i - 1]) - sums[i];
  const double* s = f.Schur.data();
  for (int k = 0; k < e; ++k) std::swap(u[k], u[f.Permutation[k]]);
  for (int i = 1; i < e; ++i) {
    for (int k = 0; k < i; ++k) u[i] -= s[i * e + k] * u[k];
  }
  for (int i = e - 1; i >= 0; --i) {
    for (int c = i + 1; c < e; ++c) u[i] -= s[i * e + c] * u[c];
    u[i] /= s[i * e + i];
  }
  // z -= Z u, the active columns in ascending order for each row.
  const size_t active = f.Active.size();
  double* picked = sums;
  for (size_t c = 0; c < active; ++c) picked[c] = u[f.Active[c]];
  for (int j = 0; j < m; ++j) {
    const double* row = f.Z.data() + j * active;
    double zj = z[j];
    for (size_t c = 0; c < active; ++c) zj -= row[c] * picked[c];
    z[j] = zj;
  }
  // x = (x1, x2): z and u without s.
  std::copy(z, z + m, out);
  std::copy(u + 1, u + e, out + m);
  return f.LastFlag = SUNLS_SUCCESS;
}

sunindextype LastSolverFlag(SUNLinearSolver solver) {
  return FactorsOf(solver)->LastFlag;
}

int SolverSpace(SUNLinearSolver solver, long* realWords, long* integerWords) {
  const Factors& f = *FactorsOf(solver);
  *realWords = static_cast<long>(f.Multiplier.size() + f.InversePivot.size() + f.Z.size() +
                                 f.Schur.size() + f.Work.size());
  *integerWords =
      static_cast<long>(f.Permutation.size() + f.ActiveColumn.size() + f.Active.capacity());
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
  data->Weights.assign(inner, 0.0);
  data->Values.assign(4 * static_cast<size_t>(inner) +
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
  f->Z.assign(static_cast<size_t>(inner) * (border + 1), 0.0);
  f->ActiveColumn.assign(border + 1, 0);
  f->Schur.assign(static_cast<size_t>(border + 1) * (border + 1), 0.0);
  f->Permutation.assign(border + 1, 0);
  f->Work.assign(size + 1, 0.0);
  f->Active.reserve(border + 1);
  f->Sums.assign(border + 1, 0.0);
  f->RowPointers.assign(border + 1, nullptr);
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
