// An adaptive, error-controlled stiff integrator of dy/dz = f(z, y) (variable-order backward
// differentiation with Newton iteration on a dense or bordered tridiagonal Jacobian) with
// dense output and root finding. The rest of the solver sees only this interface, not the library
// behind it.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace korvane {

class StiffIntegrator {
 public:
  // dy/dz at (z, y): 0 on success, > 0 for a state the model cannot evaluate (the integrator
  // retries with a smaller step), < 0 to stop at once.
  using Rhs = std::function<int(double z, const double* y, double* dy)>;
  // g(z, y): the integration stops where one of them changes sign.
  using Roots = std::function<void(double z, const double* y, double* g)>;

  // For a bordered tridiagonal Jacobian: the first `inner` components couple among themselves
  // only with their neighbours and through one weighted sum, and any component may couple
  // with the last size - inner ones (the border). At y, with f = f(y), the callback fills
  //   lower[j], diagonal[j], upper[j], coupling[j], weights[k] (j, k < inner): df_j/dy_k is
  //     lower[j], diagonal[j] or upper[j] for k = j - 1, j or j + 1, plus coupling[j]
  //     weights[k] (lower[0] and upper[inner - 1] are not read; coupling may stay zero);
  //   borderRows[i * size + k]: df_{inner+i}/dy_k for k < inner (i < size - inner).
  // The border's columns are taken by difference quotients of f. 0 on success, > 0 for a
  // state the model cannot evaluate.
  struct BorderedBlocks {
    double* Lower = nullptr;
    double* Diagonal = nullptr;
    double* Upper = nullptr;
    double* Coupling = nullptr;
    double* Weights = nullptr;
    double* BorderRows = nullptr;
  };
  using BorderedJacobian =
      std::function<int(const double* y, const double* f, const BorderedBlocks& blocks)>;

  enum class Outcome { Reached, RootFound, Failed };

  struct Statistics {
    long Steps = 0;
    long RhsEvaluations = 0;  // including those for the difference-quotient Jacobian
  };

  // The Newton iteration on the whole Jacobian, dense, by the library's difference quotients
  // (for small systems).
  StiffIntegrator(int size, int rootCount, Rhs rhs, Roots roots);
  // The Newton iteration on the whole Jacobian in the bordered tridiagonal form above
  // (0 < inner < size), factored in a time that grows linearly with the size.
  StiffIntegrator(int size, int rootCount, Rhs rhs, Roots roots, int inner,
                  BorderedJacobian jacobian);
  ~StiffIntegrator();
  StiffIntegrator(const StiffIntegrator&) = delete;
  StiffIntegrator& operator=(const StiffIntegrator&) = delete;

  // (Re)starts from y0 at z0 with the relative tolerance and per-component absolute
  // tolerances; the integration never passes zStop. At most maxSteps steps per Advance.
  bool Start(double z0, const double* y0, double relativeTolerance,
             const double* absoluteTolerances, double zStop, long maxSteps);
  // Advances to zOut (at most zStop) and writes y there, interpolated from the dense output.
  // On RootFound, zReached and y are at the root; rootsFound (if given) says which ones.
  Outcome Advance(double zOut, double* y, double& zReached, int* rootsFound = nullptr);

  // Forward sensitivities s_k = dy/dp_k for `count` parameters that the right-hand side reads
  // from `parameters` (the caller keeps the array for the integrator's life). The integrator
  // takes df/dy s_k + df/dp_k by central difference quotients along (s_k, e_k), perturbing
  // parameters[k] in proportion to scales[k] (its typical magnitude, not 0), and controls their
  // error like the state's with the absolute tolerances divided by scales[k]. Called after each
  // Start, with the sensitivities there: count rows of `size` values. The count stays that of the
  // first call.
  bool StartSensitivities(int count, double* parameters, const double* scales,
                          const double* initial);
  // After an Advance that did not fail: the sensitivities where it stopped (count rows).
  bool Sensitivities(double* values) const;

  // After Failed: what went wrong, in words.
  const std::string& FailureText() const { return failure_; }
  // Counts since construction.
  Statistics Counts() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string failure_;
};

}  // namespace korvane
