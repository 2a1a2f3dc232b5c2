// Fitting a case to measurements along the line: the values of chosen input items that bring
// the model's profile closest to measured values, weighted by their standard deviations, with
// the estimates' covariance.
//
// Front ends (the batch fitter, the scripting module, the window) all call FitToMeasurements:
//   FitRequest request;
//   request.Texts = the case;  request.Options = how to run it (converged at 1e-4 advised);
//   request.Measurements = LoadMeasurementsFile(path, *LineLength(request.Texts)).Values;
//   request.Parameters = *ParseFitParameters({"diffusion_param_1", "viscosity_param_1"}, ...);
//   request.Progress = [](const FitProgress& p) { show p.Iteration, p.Cost, p.Values };
//   request.Cancelled = [&] { return stopAsked.load(); };   // polled, also within a run
//   FitResult result = FitToMeasurements(request);
// The call blocks until the fit ends; the callbacks are called on its thread. Every model run
// of a fit has its own run context and writes its result file into a private temporary file, so
// fits may run side by side on several threads and nothing of a run is left behind.
//
// The model: the least-squares problem sum_i rho(((model_i - measured_i) / sigma_i)^2), model_i
// the profile column at the measurement's z, linear between the print points of the written
// line; rho the identity (linear) or Huber's with its corner at 1.345 sigma. It is solved by
// Levenberg-Marquardt within the parameters' bounds (Ceres Solver). The converged method gives
// the Jacobian from its forward sensitivities; every run is the converged answer the batch runner
// gives for those values, so re-running the fitted case shows the fitted profile. The classic
// method, whose answer moves in steps with its inputs, takes central differences (relative step
// 1e-3) and is warned about. The solver works on x / |x0| (x0 the starting values), so its steps
// and its stopping tests (relative changes of 1e-5) treat large and small parameters alike.
//
// Where a quantity's sigma is not given, its points weigh the same and their sigma is
// estimated from the residuals, s_q^2 = SSR_q / n_q * n / (n - p), the fit repeated until
// these settle. The covariance of the estimates is (J^T J)^-1 of the weighted Jacobian at the
// answer (ceres::Covariance); the 95 % interval is estimate +- 1.96 standard errors (normal
// quantile). A parameter the measurements cannot determine is named in Undetermined and has no
// standard error: one that takes part in a combination of relative parameter changes whose
// standard error exceeds 1 / 1.96 (its 95 % interval reaches from no change to beyond a
// doubling; a parameter the measured values do not depend on, or more parameters than
// measurements, give such combinations with an infinite error). The covariance of the others is
// then taken with those held at their estimates.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "files/MeasurementsCsv.h"
#include "fit/FitParameters.h"
#include "inputs/FieldTexts.h"
#include "run/RunDriver.h"

namespace korvane {

enum class FitLoss { Linear, Huber };

// The length of the case's line in cm (the total of its sections), to check measurements
// against before any run; empty when the step fields do not convert.
std::optional<double> LineLength(const FieldTexts& texts);

struct FitProgress {
  int Iteration = 0;
  double Cost = 0;             // half the sum of the (loss-weighted) squared residuals
  std::vector<double> Values;  // the parameters', in the request's order
};

struct FitRequest {
  FieldTexts Texts;  // the case; the parameters start from their values in it
  RunOptions Options;
  std::vector<Measurement> Measurements;
  std::vector<FitParameter> Parameters;
  FitLoss Loss = FitLoss::Linear;
  int MaxIterations = 50;
  std::function<void(const FitProgress&)> Progress;  // after every iteration; may be empty
  std::function<bool()> Cancelled;  // polled between iterations and within runs; may be empty
};

enum class FitStatus {
  Fitted,        // converged, and every parameter is determined
  Undetermined,  // converged, but the measurements cannot determine some parameters
  NotConverged,  // the iterations ran out or the solver gave up: Message says why
  RunFailed,     // the model could not be run at the start: Message has the run's words
  Cancelled,
  Refused,  // the request cannot be fitted: too few measurements, a quantity without value
};

struct FitEstimate {
  std::string Name;  // the item's script name or the law constant's name
  int Item = 0;      // the item's number; 0 for a law constant
  double Initial = 0;
  double Value = 0;
  bool Determined = true;  // false: no standard error or interval (they are 0)
  double StandardError = 0;
  double Low95 = 0, High95 = 0;
};

struct FitResidual {
  const ProfileColumn* Column = nullptr;
  double Z = 0;
  double Measured = 0;
  double Sigma = 0;  // as given, or estimated
  bool SigmaEstimated = false;
  double Model = 0;  // the fitted model's value
};

struct FitResult {
  FitStatus Status = FitStatus::NotConverged;
  std::string Message;                // why the fit did not succeed; empty when Fitted
  std::vector<std::string> Warnings;  // for the user, whatever the status
  std::vector<FitEstimate> Parameters;
  std::vector<std::vector<double>> Correlation;  // of the determined parameters (1 on the diagonal)
  std::vector<std::string> Undetermined;         // the names of those the data cannot determine
  double ChiSquare = 0;      // sum of ((model - measured) / sigma)^2 at the answer
  int DegreesOfFreedom = 0;  // measurements - parameters
  int Iterations = 0;
  int Evaluations = 0;  // model runs, the derivatives' included
  double Seconds = 0;
  std::vector<FitResidual> Residuals;  // in the order of the measurements
  FieldTexts FittedTexts;              // the case with the estimates (when the fit got that far)
  bool Converged() const {
    return Status == FitStatus::Fitted || Status == FitStatus::Undetermined;
  }
};

FitResult FitToMeasurements(const FitRequest& request);

}  // namespace korvane
