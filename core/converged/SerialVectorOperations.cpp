#include "core/converged/SerialVectorOperations.h"

#include <nvector/nvector_serial.h>

#include <cmath>
#include <vector>

namespace korvane {

namespace {

// Every operation keeps the library's own arithmetic for each element: where it takes a special
// case whose rounding differs from the general formula (a (x + y) for a x + a y), so does this.

sunindextype Length(N_Vector v) {
  return NV_LENGTH_S(v);
}
double* Data(N_Vector v) {
  return NV_DATA_S(v);
}

// z = a x + b y
void LinearSum(sunrealtype a, N_Vector x, sunrealtype b, N_Vector y, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  const double* yd = Data(y);
  double* zd = Data(z);
  const bool unit = a == 1 || a == -1 || b == 1 || b == -1;
  if (!unit && a == b) {
    for (sunindextype i = 0; i < n; ++i) zd[i] = a * (xd[i] + yd[i]);
  } else if (!unit && a == -b) {
    for (sunindextype i = 0; i < n; ++i) zd[i] = a * (xd[i] - yd[i]);
  } else if (a == 1 && b == 1) {
    // With a or b = +-1 the library's special cases (x + y, a x - y, y += a x, ...) round
    // as the general formula does, a product with +-1 being exact.
    for (sunindextype i = 0; i < n; ++i) zd[i] = xd[i] + yd[i];
  } else if (a == 1) {
    for (sunindextype i = 0; i < n; ++i) zd[i] = xd[i] + b * yd[i];
  } else if (b == 1) {
    for (sunindextype i = 0; i < n; ++i) zd[i] = a * xd[i] + yd[i];
  } else {
    for (sunindextype i = 0; i < n; ++i) zd[i] = a * xd[i] + b * yd[i];
  }
}

void Const(sunrealtype c, N_Vector z) {
  const sunindextype n = Length(z);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = c;
}

void Prod(N_Vector x, N_Vector y, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  const double* yd = Data(y);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = xd[i] * yd[i];
}

void Div(N_Vector x, N_Vector y, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  const double* yd = Data(y);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = xd[i] / yd[i];
}

void Scale(sunrealtype c, N_Vector x, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = c * xd[i];
}

void Abs(N_Vector x, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = std::fabs(xd[i]);
}

void Inv(N_Vector x, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = 1 / xd[i];
}

void AddConst(N_Vector x, sunrealtype b, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = xd[i] + b;
}

sunrealtype DotProd(N_Vector x, N_Vector y) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  const double* yd = Data(y);
  double sum = 0;
  for (sunindextype i = 0; i < n; ++i) sum += xd[i] * yd[i];
  return sum;
}

sunrealtype MaxNorm(N_Vector x) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double largest = 0;
  for (sunindextype i = 0; i < n; ++i) {
    if (std::fabs(xd[i]) > largest) largest = std::fabs(xd[i]);
  }
  return largest;
}

// sum (x w)^2
sunrealtype WeightedSquareSum(N_Vector x, N_Vector w) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  const double* wd = Data(w);
  double sum = 0;
  for (sunindextype i = 0; i < n; ++i) {
    const double product = xd[i] * wd[i];
    sum += product * product;
  }
  return sum;
}

// The same over the elements whose id is above zero.
sunrealtype WeightedSquareSumMask(N_Vector x, N_Vector w, N_Vector id) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  const double* wd = Data(w);
  const double* idd = Data(id);
  double sum = 0;
  for (sunindextype i = 0; i < n; ++i) {
    if (idd[i] > 0) {
      const double product = xd[i] * wd[i];
      sum += product * product;
    }
  }
  return sum;
}

sunrealtype WrmsNorm(N_Vector x, N_Vector w) {
  return std::sqrt(WeightedSquareSum(x, w) / static_cast<double>(Length(x)));
}

sunrealtype WrmsNormMask(N_Vector x, N_Vector w, N_Vector id) {
  return std::sqrt(WeightedSquareSumMask(x, w, id) / static_cast<double>(Length(x)));
}

sunrealtype Min(N_Vector x) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double smallest = xd[0];
  for (sunindextype i = 1; i < n; ++i) {
    if (xd[i] < smallest) smallest = xd[i];
  }
  return smallest;
}

sunrealtype WL2Norm(N_Vector x, N_Vector w) {
  return std::sqrt(WeightedSquareSum(x, w));
}

sunrealtype L1Norm(N_Vector x) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double sum = 0;
  for (sunindextype i = 0; i < n; ++i) sum += std::fabs(xd[i]);
  return sum;
}

void Compare(sunrealtype c, N_Vector x, N_Vector z) {
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  double* zd = Data(z);
  for (sunindextype i = 0; i < n; ++i) zd[i] = std::fabs(xd[i]) >= c ? 1 : 0;
}

// z = sum c_i X_i
int LinearCombination(int count, sunrealtype* c, N_Vector* x, N_Vector z) {
  if (count < 1) return -1;
  if (count == 1) {
    Scale(c[0], x[0], z);
    return 0;
  }
  if (count == 2) {
    LinearSum(c[0], x[0], c[1], x[1], z);
    return 0;
  }
  const sunindextype n = Length(z);
  double* zd = Data(z);
  if (x[0] != z) {
    const double* xd = Data(x[0]);
    for (sunindextype j = 0; j < n; ++j) zd[j] = c[0] * xd[j];
  } else if (c[0] != 1) {
    for (sunindextype j = 0; j < n; ++j) zd[j] *= c[0];
  }
  for (int i = 1; i < count; ++i) {
    const double* xd = Data(x[i]);
    for (sunindextype j = 0; j < n; ++j) zd[j] += c[i] * xd[j];
  }
  return 0;
}

// Z_i = a_i x + Y_i
int ScaleAddMulti(int count, sunrealtype* a, N_Vector x, N_Vector* y, N_Vector* z) {
  if (count < 1) return -1;
  const sunindextype n = Length(x);
  const double* xd = Data(x);
  for (int i = 0; i < count; ++i) {
    const double* yd = Data(y[i]);
    double* zd = Data(z[i]);
    for (sunindextype j = 0; j < n; ++j) zd[j] = a[i] * xd[j] + yd[j];
  }
  return 0;
}

int DotProdMulti(int count, N_Vector x, N_Vector* y, sunrealtype* products) {
  if (count < 1) return -1;
  for (int i = 0; i < count; ++i) products[i] = DotProd(x, y[i]);
  return 0;
}

int LinearSumVectorArray(int count, sunrealtype a, N_Vector* x, sunrealtype b, N_Vector* y,
                         N_Vector* z) {
  if (count < 1) return -1;
  for (int i = 0; i < count; ++i) LinearSum(a, x[i], b, y[i], z[i]);
  return 0;
}

int ScaleVectorArray(int count, sunrealtype* c, N_Vector* x, N_Vector* z) {
  if (count < 1) return -1;
  for (int i = 0; i < count; ++i) Scale(c[i], x[i], z[i]);
  return 0;
}

int ConstVectorArray(int count, sunrealtype c, N_Vector* z) {
  if (count < 1) return -1;
  for (int i = 0; i < count; ++i) Const(c, z[i]);
  return 0;
}

int WrmsNormVectorArray(int count, N_Vector* x, N_Vector* w, sunrealtype* norms) {
  if (count < 1) return -1;
  for (int i = 0; i < count; ++i) norms[i] = WrmsNorm(x[i], w[i]);
  return 0;
}

int WrmsNormMaskVectorArray(int count, N_Vector* x, N_Vector* w, N_Vector id, sunrealtype* norms) {
  if (count < 1) return -1;
  for (int i = 0; i < count; ++i) norms[i] = WrmsNormMask(x[i], w[i], id);
  return 0;
}

// Z[j][i] = a_j X_i + Y[j][i]
int ScaleAddMultiVectorArray(int count, int sums, sunrealtype* a, N_Vector* x, N_Vector** y,
                             N_Vector** z) {
  if (count < 1 || sums < 1) return -1;
  std::vector<N_Vector> ys(static_cast<size_t>(sums));
  std::vector<N_Vector> zs(static_cast<size_t>(sums));
  for (int i = 0; i < count; ++i) {
    for (int j = 0; j < sums; ++j) {
      ys[static_cast<size_t>(j)] = y[j][i];
      zs[static_cast<size_t>(j)] = z[j][i];
    }
    ScaleAddMulti(sums, a, x[i], ys.data(), zs.data());
  }
  return 0;
}

// Z_i = sum_j c_j X[j][i]
int LinearCombinationVectorArray(int count, int sums, sunrealtype* c, N_Vector** x, N_Vector* z) {
  if (count < 1 || sums < 1) return -1;
  std::vector<N_Vector> xs(static_cast<size_t>(sums));
  for (int i = 0; i < count; ++i) {
    for (int j = 0; j < sums; ++j) xs[static_cast<size_t>(j)] = x[j][i];
    LinearCombination(sums, c, xs.data(), z[i]);
  }
  return 0;
}

}  // namespace

void UseCompiledOperations(N_Vector serial) {
  N_Vector_Ops ops = serial->ops;
  ops->nvlinearsum = LinearSum;
  ops->nvconst = Const;
  ops->nvprod = Prod;
  ops->nvdiv = Div;
  ops->nvscale = Scale;
  ops->nvabs = Abs;
  ops->nvinv = Inv;
  ops->nvaddconst = AddConst;
  ops->nvdotprod = DotProd;
  ops->nvmaxnorm = MaxNorm;
  ops->nvwrmsnorm = WrmsNorm;
  ops->nvwrmsnormmask = WrmsNormMask;
  ops->nvmin = Min;
  ops->nvwl2norm = WL2Norm;
  ops->nvl1norm = L1Norm;
  ops->nvcompare = Compare;
  ops->nvlinearcombination = LinearCombination;
  ops->nvscaleaddmulti = ScaleAddMulti;
  ops->nvdotprodmulti = DotProdMulti;
  ops->nvlinearsumvectorarray = LinearSumVectorArray;
  ops->nvscalevectorarray = ScaleVectorArray;
  ops->nvconstvectorarray = ConstVectorArray;
  ops->nvwrmsnormvectorarray = WrmsNormVectorArray;
  ops->nvwrmsnormmaskvectorarray = WrmsNormMaskVectorArray;
  ops->nvscaleaddmultivectorarray = ScaleAddMultiVectorArray;
  ops->nvlinearcombinationvectorarray = LinearCombinationVectorArray;
  ops->nvdotprodlocal = DotProd;
  ops->nvmaxnormlocal = MaxNorm;
  ops->nvminlocal = Min;
  ops->nvl1normlocal = L1Norm;
  ops->nvwsqrsumlocal = WeightedSquareSum;
  ops->nvwsqrsummasklocal = WeightedSquareSumMask;
}

N_Vector NewSerialVector(int length, SUNContext context) {
  N_Vector v = N_VNew_Serial(length, context);
  if (!v) return nullptr;
  UseCompiledOperations(v);
  Const(0, v);
  return v;
}

}  // namespace korvane
