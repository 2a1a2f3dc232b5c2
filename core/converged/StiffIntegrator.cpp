#include "core/converged/StiffIntegrator.h"

#include <cvodes/cvodes.h>
#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "core/converged/BorderedTridiagonal.h"
#include "core/converged/SerialVectorOperations.h"

namespace korvane {

struct StiffIntegrator::Impl {
  int Size = 0;
  int RootCount = 0;
  Rhs F;
  Roots G;
  SUNContext Context = nullptr;
  void* Memory = nullptr;
  N_Vector Y = nullptr;
  N_Vector AbsTol = nullptr;
  SUNMatrix Jacobian = nullptr;
  SUNLinearSolver Solver = nullptr;
  bool Initialised = false;
  std::vector<double> Work;  // perturbed state, then f there
  long JacobianRhs = 0;      // evaluations for the difference-quotient columns

  // What every integrator needs before its linear solver: the context, the vectors and the
  // library's memory.
  void Create(int size, int rootCount, Rhs rhs, Roots roots) {
    Size = size;
    RootCount = rootCount;
    F = std::move(rhs);
    G = std::move(roots);
    SUNContext_Create(nullptr, &Context);
    // The library's vectors (its own are cloned from Y) with the arithmetic compiled here.
    Y = NewSerialVector(size, Context);
    AbsTol = NewSerialVector(size, Context);
    ErrorWeights = NewSerialVector(size, Context);
    Memory = CVodeCreate(CV_BDF, Context);
  }

  // The whole Jacobian in bordered tridiagonal form: the blocks from the callback, the
  // border's columns by difference quotients.
  static int WholeBorderedJacobian(sunrealtype z, N_Vector y, N_Vector fy, SUNMatrix jacobian,
                                   void* data, N_Vector, N_Vector, N_Vector) {
    auto* self = static_cast<Impl*>(data);
    BorderedMatrixData& matrix = BorderedData(jacobian);
    const int n = self->Size;
    const int m = matrix.Inner;
    const double* yv = N_VGetArrayPointer(y);
    const double* f0 = N_VGetArrayPointer(fy);
    double* rows = matrix.Rows();
    const int flag =
        self->Bordered(yv, f0,
                       BorderedBlocks{matrix.Lower(), matrix.Diagonal(), matrix.Upper(),
                                      matrix.Coupling(), matrix.Weights.data(), rows});
    if (flag != 0) return flag;
    matrix.Lower()[0] = 0;
    matrix.Upper()[m - 1] = 0;

    double* yp = self->Work.data();
    double* fp = yp + n;
    std::copy(yv, yv + n, yp);
    CVodeGetErrWeights(self->Memory, self->ErrorWeights);
    const double* ewt = N_VGetArrayPointer(self->ErrorWeights);
    double* columns = matrix.Columns();
    for (int k = m; k < n; ++k) {
      const double scale = std::max(std::fabs(yv[k]), 1 / ewt[k]);
      const double d = 1.4901161193847656e-08 * scale;
      yp[k] = yv[k] + d;
      const int rhsFlag = self->F(z, yp, fp);
      ++self->JacobianRhs;
      yp[k] = yv[k];
      if (rhsFlag != 0) return rhsFlag;
      double* column = columns + static_cast<size_t>(k - m) * m;
      for (int j = 0; j < m; ++j) column[j] = (fp[j] - f0[j]) / d;
      for (int i = 0; i < n - m; ++i)
        rows[static_cast<size_t>(i) * n + k] = (fp[m + i] - f0[m + i]) / d;
    }
    return 0;
  }
  BorderedJacobian Bordered;

  N_Vector ErrorWeights = nullptr;
  // Forward sensitivities, once StartSensitivities has set them up.
  int SensitivityCount = 0;
  N_Vector* SensitivityVectors = nullptr;
  double* Parameters = nullptr;
  std::vector<double> ParameterScales;
  std::vector<double> SensitivityWork;  // the shifted states, then f there
  double RelativeTolerance = 0;         // of the last Start

  // ds_k/dz = df/dy s_k + df/dp_k by one central difference along (s_k, e_k):
  // (f(y + d s_k, p + d e_k) - f(y - d s_k, p - d e_k)) / 2d. The step moves the parameter by
  // about the cube root of the unit roundoff relative to its scale, where the truncation and
  // the rounding errors of the quotient balance, and the state by as much of its change for a
  // change of the parameter by its scale. (The library's own quotients take steps of the
  // tolerance's size, which leaves rounding noise above tight tolerances; so would a step
  // bounded by the tolerance scale of a component such as a flow that starts at zero.)
  static int SensitivityRhs(int, sunrealtype z, N_Vector y, N_Vector, int k, N_Vector sk,
                            N_Vector dsk, void* data, N_Vector, N_Vector) {
    auto* self = static_cast<Impl*>(data);
    const int n = self->Size;
    const double* yv = N_VGetArrayPointer(y);
    const double* s = N_VGetArrayPointer(sk);
    double* ds = N_VGetArrayPointer(dsk);
    const double d = 6.0e-6 * self->ParameterScales[k];
    double* shifted = self->SensitivityWork.data();
    double* fPlus = shifted + n;
    double* fMinus = shifted + 2 * n;
    double& p = self->Parameters[k];
    const double value = p;
    for (int e = 0; e < n; ++e) shifted[e] = yv[e] + d * s[e];
    p = value + d;
    int flag = self->F(z, shifted, fPlus);
    if (flag == 0) {
      for (int e = 0; e < n; ++e) shifted[e] = yv[e] - d * s[e];
      p = value - d;
      flag = self->F(z, shifted, fMinus);
    }
    p = value;
    if (flag != 0) return flag;
    for (int e = 0; e < n; ++e) ds[e] = (fPlus[e] - fMinus[e]) / (2 * d);
    return 0;
  }
  void FreeSensitivities() {
    if (SensitivityVectors) N_VDestroyVectorArray(SensitivityVectors, SensitivityCount);
    SensitivityVectors = nullptr;
  }
  long StepsBefore = 0;  // counts of the runs before the last restart
  long RhsBefore = 0;

  static int RhsCallback(sunrealtype z, N_Vector y, N_Vector dy, void* data) {
    auto* self = static_cast<Impl*>(data);
    return self->F(z, N_VGetArrayPointer(y), N_VGetArrayPointer(dy));
  }
  static int RootCallback(sunrealtype z, N_Vector y, sunrealtype* g, void* data) {
    auto* self = static_cast<Impl*>(data);
    self->G(z, N_VGetArrayPointer(y), g);
    return 0;
  }
  // The library's own diagnostics are not shown: a failure is reported through Advance.
  static void SilentErrors(int, const char*, const char*, char*, void*) {}

  long LibrarySteps() const {
    long steps = 0;
    if (Initialised) CVodeGetNumSteps(Memory, &steps);
    return steps;
  }
  long LibraryRhs() const {
    long rhs = 0;
    long jacobianRhs = 0;
    if (Initialised) {
      CVodeGetNumRhsEvals(Memory, &rhs);
      CVodeGetNumLinRhsEvals(Memory, &jacobianRhs);
    }
    return rhs + jacobianRhs;
  }
};

StiffIntegrator::StiffIntegrator(int size, int rootCount, Rhs rhs, Roots roots)
    : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  m.Create(size, rootCount, std::move(rhs), std::move(roots));
  m.Jacobian = SUNDenseMatrix(size, size, m.Context);
  m.Solver = SUNLinSol_Dense(m.Y, m.Jacobian, m.Context);
}

StiffIntegrator::StiffIntegrator(int size, int rootCount, Rhs rhs, Roots roots, int inner,
                                 BorderedJacobian jacobian)
    : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  m.Create(size, rootCount, std::move(rhs), std::move(roots));
  m.Jacobian = NewBorderedMatrix(size, inner, m.Context);
  m.Solver = NewBorderedSolver(size, inner, m.Context);
  m.Work.assign(2 * static_cast<size_t>(size), 0);
  m.Bordered = std::move(jacobian);
}

StiffIntegrator::~StiffIntegrator() {
  Impl& m = *impl_;
  CVodeFree(&m.Memory);
  m.FreeSensitivities();
  SUNLinSolFree(m.Solver);
  SUNMatDestroy(m.Jacobian);
  N_VDestroy(m.AbsTol);
  N_VDestroy(m.ErrorWeights);
  N_VDestroy(m.Y);
  SUNContext_Free(&m.Context);
}

bool StiffIntegrator::Start(double z0, const double* y0, double relativeTolerance,
                            const double* absoluteTolerances, double zStop, long maxSteps) {
  Impl& m = *impl_;
  failure_.clear();
  if (!m.Memory || !m.Y || !m.Solver || !m.Jacobian) {
    failure_ = "the integrator could not be set up";
    return false;
  }
  double* y = N_VGetArrayPointer(m.Y);
  double* atol = N_VGetArrayPointer(m.AbsTol);
  for (int e = 0; e < m.Size; ++e) {
    y[e] = y0[e];
    atol[e] = absoluteTolerances[e];
  }
  m.RelativeTolerance = relativeTolerance;
  int flag = 0;
  if (!m.Initialised) {
    flag = CVodeInit(m.Memory, &Impl::RhsCallback, z0, m.Y);
    if (flag == CV_SUCCESS) flag = CVodeSetUserData(m.Memory, &m);
    if (flag == CV_SUCCESS) flag = CVodeSetErrHandlerFn(m.Memory, &Impl::SilentErrors, nullptr);
    if (flag == CV_SUCCESS) flag = CVodeSetLinearSolver(m.Memory, m.Solver, m.Jacobian);
    if (flag == CV_SUCCESS && m.Bordered) {
      flag = CVodeSetJacFn(m.Memory, &Impl::WholeBorderedJacobian);
    }
    if (flag == CV_SUCCESS && m.RootCount > 0) {
      flag = CVodeRootInit(m.Memory, m.RootCount, &Impl::RootCallback);
    }
    m.Initialised = flag == CV_SUCCESS;
  } else {
    m.StepsBefore += m.LibrarySteps();
    m.RhsBefore += m.LibraryRhs();
    flag = CVodeReInit(m.Memory, z0, m.Y);
  }
  if (flag == CV_SUCCESS) flag = CVodeSVtolerances(m.Memory, relativeTolerance, m.AbsTol);
  if (flag == CV_SUCCESS) flag = CVodeSetStopTime(m.Memory, zStop);
  if (flag == CV_SUCCESS) flag = CVodeSetMaxNumSteps(m.Memory, maxSteps);
  if (flag == CV_SUCCESS) flag = CVodeSetMaxErrTestFails(m.Memory, 20);
  if (flag == CV_SUCCESS) flag = CVodeSetMaxConvFails(m.Memory, 50);
  // The Newton iteration stops once its correction is below a twentieth of the error test's
  // bound (the library's default is a tenth). With an exact Jacobian a single iteration often
  // meets the looser bound, and what the corrector leaves is then most of the global error:
  // on the default case at 1e-4 the tighter bound takes the tension's integration error from
  // 1.2e-4 to 2.5e-6 dyn for about the same number of steps.
  if (flag == CV_SUCCESS) flag = CVodeSetNonlinConvCoef(m.Memory, 0.05);
  if (flag != CV_SUCCESS) {
    failure_ = "the integrator could not be started";
    return false;
  }
  return true;
}

bool StiffIntegrator::StartSensitivities(int count, double* parameters, const double* scales,
                                         const double* initial) {
  Impl& m = *impl_;
  if (!m.Initialised || count <= 0 || (m.SensitivityVectors && count != m.SensitivityCount)) {
    failure_ = "the sensitivities could not be set up";
    return false;
  }
  const bool first = m.SensitivityVectors == nullptr;
  if (first) {
    m.SensitivityVectors = N_VCloneVectorArray(count, m.Y);
    if (!m.SensitivityVectors) {
      failure_ = "the sensitivities could not be set up";
      return false;
    }
    m.SensitivityCount = count;
  }
  for (int k = 0; k < count; ++k) {
    double* s = N_VGetArrayPointer(m.SensitivityVectors[k]);
    for (int e = 0; e < m.Size; ++e) s[e] = initial[static_cast<size_t>(k) * m.Size + e];
  }
  int flag = CV_SUCCESS;
  if (first) {
    // Staggered: the state's corrector converges before the sensitivities' is solved with the
    // same Newton matrix.
    m.Parameters = parameters;
    m.ParameterScales.assign(scales, scales + count);
    m.SensitivityWork.assign(3 * static_cast<size_t>(m.Size), 0);
    flag =
        CVodeSensInit1(m.Memory, count, CV_STAGGERED, &Impl::SensitivityRhs, m.SensitivityVectors);
    if (flag == CV_SUCCESS) {
      flag = CVodeSetSensParams(m.Memory, parameters, m.ParameterScales.data(), nullptr);
    }
    // The sensitivities take part in the error test, without which they drift by far more than
    // the tolerance.
    if (flag == CV_SUCCESS) flag = CVodeSetSensErrCon(m.Memory, SUNTRUE);
  } else {
    flag = CVodeSensReInit(m.Memory, CV_STAGGERED, m.SensitivityVectors);
  }
  // Their tolerances: the state's over the parameters' scales, loosened by a factor. The
  // derivatives' error follows the state's (their relative error stays about the state's
  // tolerance with or without the factor), and the factor halves the steps they add.
  constexpr double kLooser = 10;
  N_Vector* absoluteTolerances = N_VCloneVectorArray(count, m.Y);
  if (!absoluteTolerances) flag = CV_MEM_FAIL;
  for (int k = 0; flag == CV_SUCCESS && k < count; ++k) {
    N_VScale(kLooser / m.ParameterScales[k], m.AbsTol, absoluteTolerances[k]);
  }
  if (flag == CV_SUCCESS) {
    flag = CVodeSensSVtolerances(m.Memory, kLooser * m.RelativeTolerance, absoluteTolerances);
  }
  if (absoluteTolerances) N_VDestroyVectorArray(absoluteTolerances, count);
  if (flag != CV_SUCCESS) {
    failure_ = "the sensitivities could not be started";
    return false;
  }
  return true;
}

bool StiffIntegrator::Sensitivities(double* values) const {
  const Impl& m = *impl_;
  if (!m.SensitivityVectors) return false;
  double z = 0;
  if (CVodeGetSens(m.Memory, &z, m.SensitivityVectors) != CV_SUCCESS) return false;
  for (int k = 0; k < m.SensitivityCount; ++k) {
    const double* s = N_VGetArrayPointer(m.SensitivityVectors[k]);
    for (int e = 0; e < m.Size; ++e) values[static_cast<size_t>(k) * m.Size + e] = s[e];
  }
  return true;
}

StiffIntegrator::Outcome StiffIntegrator::Advance(double zOut, double* y, double& zReached,
                                                  int* rootsFound) {
  Impl& m = *impl_;
  double z = 0;
  const int flag = CVode(m.Memory, zOut, m.Y, &z, CV_NORMAL);
  zReached = z;
  const double* values = N_VGetArrayPointer(m.Y);
  for (int e = 0; e < m.Size; ++e) y[e] = values[e];
  if (flag == CV_SUCCESS || flag == CV_TSTOP_RETURN) return Outcome::Reached;
  if (flag == CV_ROOT_RETURN) {
    if (rootsFound) CVodeGetRootInfo(m.Memory, rootsFound);
    return Outcome::RootFound;
  }
  double zLast = z;
  CVodeGetCurrentTime(m.Memory, &zLast);
  zReached = zLast;
  switch (flag) {
    case CV_TOO_MUCH_WORK:
      failure_ = "too many integration steps";
      break;
    case CV_TOO_CLOSE:
    case CV_TOO_MUCH_ACC:
    case CV_ERR_FAILURE:
      failure_ = "the integration step became too small";
      break;
    case CV_CONV_FAILURE:
    case CV_LSETUP_FAIL:
    case CV_LSOLVE_FAIL:
      failure_ = "the corrector iteration did not converge";
      break;
    case CV_RHSFUNC_FAIL:
    case CV_FIRST_RHSFUNC_ERR:
    case CV_REPTD_RHSFUNC_ERR:
    case CV_UNREC_RHSFUNC_ERR:
      failure_ = "the equations could not be evaluated";
      break;
    default:
      failure_ = "the integrator failed";
      break;
  }
  return Outcome::Failed;
}

StiffIntegrator::Statistics StiffIntegrator::Counts() const {
  const Impl& m = *impl_;
  return Statistics{m.StepsBefore + m.LibrarySteps(), m.RhsBefore + m.LibraryRhs() + m.JacobianRhs};
}

}  // namespace korvane
