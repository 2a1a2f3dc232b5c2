#include "fit/MeasurementFit.h"

#include <ceres/ceres.h>
#include <unistd.h>

#include <Eigen/Dense>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "files/NumberText.h"
#include "fit/DerivedColumnDerivative.h"
#include "fit/ProfileInterpolation.h"
#include "inputs/SectionLengths.h"
#include "inputs/SensitivityItems.h"

namespace korvane {

namespace {

constexpr double kHuberCorner = 1.345;  // in sigmas: 95 % efficient for normal noise
constexpr double kNormalQuantile95 = 1.959963984540054;
constexpr double kClassicRelativeStep = 1e-3;  // central differences of the classic method
constexpr int kMostSigmaRounds = 10;

// A new, empty file of the fit's own in the temporary folder, into which every run of the fit
// writes its result file; removed when the fit ends.
class TemporaryResultFile {
 public:
  TemporaryResultFile() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) folder = "/tmp";
    std::string pattern = (folder / "korvane-fit-XXXXXX").string();
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0)
      throw std::runtime_error("no temporary file for the runs' result files could be made in " +
                               folder.string());
    close(descriptor);
    path_ = pattern;
  }
  TemporaryResultFile(const TemporaryResultFile&) = delete;
  TemporaryResultFile& operator=(const TemporaryResultFile&) = delete;
  ~TemporaryResultFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Keeps a run's messages and stops it when the fit is cancelled.
class QuietEvents : public RunEvents {
 public:
  explicit QuietEvents(const std::function<bool()>& cancelled) : cancelled_(cancelled) {}
  void ShowMessage(std::string_view text) override {
    if (!text.empty()) messages_.emplace_back(text);
  }
  bool PassFinished(int, double) override { return !(cancelled_ && cancelled_()); }
  std::string Text() const {
    std::string text;
    for (const std::string& m : messages_) text += (text.empty() ? "" : " ") + m;
    return text;
  }
  void Clear() { messages_.clear(); }

 private:
  const std::function<bool()>& cancelled_;
  std::vector<std::string> messages_;
};

void SetParameterTexts(const std::vector<FitParameter>& parameters, const double* x,
                       FieldTexts& texts) {
  for (size_t k = 0; k < parameters.size(); ++k) {
    if (parameters[k].Item)
      texts.Items[static_cast<size_t>(parameters[k].Item->Number - 1)] = ShortestText(x[k]);
    else
      texts.LawConstants[parameters[k].ConstantIndex].second = ShortestText(x[k]);
  }
}

// The model at the measurements for given parameter values, and its derivatives, from one run
// (converged) or 1 + 2p runs (classic); the last point asked for is kept, since the solver asks
// for the residuals of one point block by block.
class ModelEvaluator {
 public:
  ModelEvaluator(const FitRequest& request, const std::string& resultFile)
      : request_(request), texts_(request.Texts), options_(request.Options), events_(cancelled_) {
    cancelled_ = request.Cancelled;
    texts_.ResultFileName = resultFile;
    options_.Converged.Cancelled = request.Cancelled;
    if (Converged()) {
      for (const FitParameter& parameter : request.Parameters) {
        std::string error;
        options_.Converged.Sensitivities.push_back(
            parameter.Item ? *SensitivityParameterFor(ItemName(*parameter.Item), error)
                           : LawConstantSensitivity(parameter.Constant, parameter.ConstantIndex));
      }
    }
  }

  bool Converged() const { return options_.Method == SolverMethod::Converged; }
  int Evaluations() const { return evaluations_; }
  const std::string& Failure() const { return failure_; }
  const std::vector<double>& Values() const { return values_; }
  // Row i: d(model_i)/d(parameter k).
  const std::vector<std::vector<double>>& Jacobian() const { return jacobian_; }
  bool LastRunMetTolerance() const { return toleranceMet_; }

  bool At(const double* x, bool wantJacobian) {
    const size_t p = request_.Parameters.size();
    std::vector<double> point(x, x + p);
    if (point == point_ && valid_ && (!wantJacobian || hasJacobian_)) return true;
    valid_ = false;
    point_ = point;
    hasJacobian_ = false;
    if (!Run(x, Converged(), values_, Converged() ? &jacobian_ : nullptr)) return false;
    hasJacobian_ = Converged();
    valid_ = true;
    if (wantJacobian && !hasJacobian_) {
      // The classic method: central differences, one-sided at a bound.
      jacobian_.assign(values_.size(), std::vector<double>(p, 0));
      std::vector<double> up, down;
      for (size_t k = 0; k < p; ++k) {
        const FitParameter& parameter = request_.Parameters[k];
        const double h = kClassicRelativeStep * std::max(std::abs(x[k]), 1e-12);
        std::vector<double> xUp = point, xDown = point;
        xUp[k] = std::min(x[k] + h, parameter.High);
        xDown[k] = std::max(x[k] - h, parameter.Low);
        if (!Run(xUp.data(), false, up, nullptr) || !Run(xDown.data(), false, down, nullptr))
          return false;
        for (size_t i = 0; i < values_.size(); ++i)
          jacobian_[i][k] = (up[i] - down[i]) / (xUp[k] - xDown[k]);
      }
      hasJacobian_ = true;
    }
    return true;
  }

 private:
  bool Run(const double* x, bool withSensitivities, std::vector<double>& values,
           std::vector<std::vector<double>>* jacobian) {
    ++evaluations_;
    SetParameterTexts(request_.Parameters, x, texts_);
    RunOptions options = options_;
    if (!withSensitivities) options.Converged.Sensitivities.clear();
    events_.Clear();
    const RunReport report = RunDriver(context_, texts_, events_, options);
    std::string where;
    for (size_t k = 0; k < request_.Parameters.size(); ++k)
      where += (k ? ", " : " at ") + FitParameterName(request_.Parameters[k]) + " = " +
               ShortestText(x[k]);
    if (report.Outcome != RunOutcome::Success) {
      failure_ = "the run" + where + " failed: " +
                 (events_.Text().empty() ? std::string("no message") : events_.Text());
      return false;
    }
    if (report.Converged) toleranceMet_ = report.Converged->ToleranceMet;
    const int points = report.PrintedPointCount;
    const ProfileSource source{context_.Params, *context_.Profile, context_.State, points};
    const size_t n = request_.Measurements.size();
    values.resize(n);
    if (jacobian) jacobian->assign(n, std::vector<double>(request_.Parameters.size(), 0));
    for (size_t i = 0; i < n; ++i) {
      const Measurement& m = request_.Measurements[i];
      const InterpolationPoint at = LocateOnLine(*context_.Profile, points, m.Z);
      values[i] = InterpolatedValue(*m.Column, source, at);
      if (!std::isfinite(values[i])) {
        failure_ = "the run" + where + " has no " + m.Column->Label +
                   " at z = " + ShortestText(m.Z) + " cm";
        return false;
      }
      if (!jacobian || !report.Converged) continue;
      const std::vector<ParameterSensitivity>& sensitivities = report.Converged->Sensitivities;
      for (size_t k = 0; k < sensitivities.size(); ++k) {
        const ProfileSource derivatives{context_.Params, sensitivities[k].Profile, context_.State,
                                        points};
        (*jacobian)[i][k] =
            HasDerivative(*m.Column)
                ? InterpolatedValue(*m.Column, derivatives, at)
                : DerivedColumnDerivative(*m.Column, source, sensitivities[k].Profile,
                                          request_.Parameters[k].Item, x[k], at);
        if (!std::isfinite((*jacobian)[i][k])) {
          failure_ = "the derivative of " + std::string(m.Column->Label) +
                     " at z = " + ShortestText(m.Z) + " cm" + where + " is not a number";
          return false;
        }
      }
    }
    return true;
  }

  const FitRequest& request_;
  FieldTexts texts_;
  RunOptions options_;
  std::function<bool()> cancelled_;
  QuietEvents events_;
  RunContext context_;
  std::vector<double> point_;
  bool valid_ = false, hasJacobian_ = false, toleranceMet_ = true;
  std::vector<double> values_;
  std::vector<std::vector<double>> jacobian_;
  int evaluations_ = 0;
  std::string failure_;
};

// One measurement's weighted residual, (model - measured) / sigma.
class MeasurementResidual : public ceres::CostFunction {
 public:
  MeasurementResidual(ModelEvaluator& model, const Measurement& measurement, const double& sigma,
                      size_t index, const std::vector<double>& scale)
      : model_(model), measurement_(measurement), sigma_(sigma), index_(index), scale_(scale) {
    set_num_residuals(1);
    mutable_parameter_block_sizes()->push_back(static_cast<int>(scale.size()));
  }
  bool Evaluate(double const* const* parameters, double* residuals,
                double** jacobians) const override {
    const bool wantJacobian = jacobians != nullptr && jacobians[0] != nullptr;
    std::vector<double> x(scale_.size());
    for (size_t k = 0; k < x.size(); ++k) x[k] = parameters[0][k] * scale_[k];
    if (!model_.At(x.data(), wantJacobian)) return false;
    residuals[0] = (model_.Values()[index_] - measurement_.Value) / sigma_;
    if (wantJacobian) {
      const std::vector<double>& row = model_.Jacobian()[index_];
      for (size_t k = 0; k < row.size(); ++k) jacobians[0][k] = row[k] * scale_[k] / sigma_;
    }
    return true;
  }

 private:
  ModelEvaluator& model_;
  const Measurement& measurement_;
  const double& sigma_;
  size_t index_;
  const std::vector<double>& scale_;
};

class ProgressCallback : public ceres::IterationCallback {
 public:
  ProgressCallback(const FitRequest& request, const std::vector<double>& u,
                   const std::vector<double>& scale, int& iterations)
      : request_(request), u_(u), scale_(scale), iterations_(iterations) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& summary) override {
    iterations_ = summary.iteration;
    // An iteration cut short by the cancel has no cost to show.
    if (request_.Cancelled && request_.Cancelled()) return ceres::SOLVER_ABORT;
    if (request_.Progress) {
      FitProgress progress{summary.iteration, summary.cost, u_};
      for (size_t k = 0; k < u_.size(); ++k) progress.Values[k] *= scale_[k];
      request_.Progress(progress);
    }
    return ceres::SOLVER_CONTINUE;
  }

 private:
  const FitRequest& request_;
  const std::vector<double>& u_;
  const std::vector<double>& scale_;
  int& iterations_;
};

// The parameters enter the solver as u = x / scale, scale their initial magnitudes, so that the
// solver's step and stopping tests treat them alike.
void AddResiduals(ceres::Problem& problem, ModelEvaluator& model, const FitRequest& request,
                  const std::vector<double>& sigma, const std::vector<double>& scale,
                  std::vector<double>& u) {
  for (size_t i = 0; i < request.Measurements.size(); ++i) {
    ceres::LossFunction* loss =
        request.Loss == FitLoss::Huber ? new ceres::HuberLoss(kHuberCorner) : nullptr;
    problem.AddResidualBlock(
        new MeasurementResidual(model, request.Measurements[i], sigma[i], i, scale), loss,
        u.data());
  }
}

// The parameters the measurements cannot determine. The weighted Jacobian with respect to
// relative changes of the parameters, J diag(scale), has singular values s_j with right
// singular vectors v_j: the combination v_j of relative changes is known to a standard error of
// 1 / s_j. Where that exceeds 1 / 1.96, its 95 % interval reaches from no change to beyond a
// doubling, and the data do not say what it is; the parameters that take part in such a
// combination (|v_jk| above 0.3, and always the largest) are named. A parameter the model does
// not depend on at the measured points has s_j = 0.
std::vector<size_t> UndeterminedParameters(const Eigen::MatrixXd& relative) {
  const Eigen::Index p = relative.cols();
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(relative, Eigen::ComputeFullV);
  const Eigen::VectorXd& s = svd.singularValues();  // descending; fewer than p when n < p
  std::vector<bool> named(static_cast<size_t>(p), false);
  for (Eigen::Index j = 0; j < p; ++j) {
    const double value = j < s.size() ? s(j) : 0;
    if (value >= kNormalQuantile95) continue;  // 1 / s below 1 / 1.96
    Eigen::Index largest = 0;
    for (Eigen::Index k = 0; k < p; ++k) {
      if (std::abs(svd.matrixV()(k, j)) > std::abs(svd.matrixV()(largest, j))) largest = k;
      if (std::abs(svd.matrixV()(k, j)) > 0.3) named[static_cast<size_t>(k)] = true;
    }
    named[static_cast<size_t>(largest)] = true;
  }
  std::vector<size_t> undetermined;
  for (size_t k = 0; k < named.size(); ++k)
    if (named[k]) undetermined.push_back(k);
  return undetermined;
}

std::string Names(const std::vector<std::string>& names) {
  std::string text;
  for (size_t k = 0; k < names.size(); ++k)
    text += (k == 0 ? "" : k + 1 == names.size() ? " and " : ", ") + names[k];
  return text;
}

}  // namespace

std::optional<double> LineLength(const FieldTexts& texts) {
  std::array<std::string, kSectionCount> increments, counts;
  for (size_t i = 0; i < kSectionCount; ++i) {
    increments[i] = texts.Items[static_cast<size_t>(kFirstIncrementItem - 1) + i];
    counts[i] = texts.Items[static_cast<size_t>(kFirstIncrementCountItem - 1) + i];
  }
  const std::optional<SectionLengths> lengths = ComputeSectionLengths(increments, counts);
  if (!lengths) return std::nullopt;
  return lengths->Total;
}

FitResult FitToMeasurements(const FitRequest& request) {
  const auto started = std::chrono::steady_clock::now();
  FitResult result;
  const size_t n = request.Measurements.size();
  const size_t p = request.Parameters.size();
  result.FittedTexts = request.Texts;
  result.DegreesOfFreedom = static_cast<int>(n) - static_cast<int>(p);
  auto finish = [&](FitStatus status, std::string message) {
    result.Status = status;
    result.Message = std::move(message);
    result.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
  };
  if (p == 0 || n == 0) return finish(FitStatus::Refused, "nothing to fit");

  // Each quantity without a given sigma shares one, estimated from its residuals.
  std::vector<double> sigma(n);
  std::map<const ProfileColumn*, std::vector<size_t>> estimated;
  for (size_t i = 0; i < n; ++i) {
    const Measurement& m = request.Measurements[i];
    sigma[i] = m.Sigma;
    if (!(m.Sigma > 0)) estimated[m.Column].push_back(i);
  }
  if (!estimated.empty() && n <= p)
    return finish(FitStatus::Refused,
                  "sigma is to be estimated from the residuals, which needs more measurements (" +
                      std::to_string(n) + ") than parameters (" + std::to_string(p) + ")");
  for (auto& [column, rows] : estimated) {
    double scale = 0;
    for (size_t i : rows) scale += std::abs(request.Measurements[i].Value) / rows.size();
    for (size_t i : rows) sigma[i] = scale > 0 ? 1e-2 * scale : 1.0;
  }
  if (request.Options.Method == SolverMethod::Classic)
    result.Warnings.push_back(
        "The classic method's answer moves in steps with its inputs; its derivatives come from "
        "differences and the fit may stop at a step. The converged method fits reliably.");

  std::vector<double> x(p), scale(p), u(p, 1.0);
  for (size_t k = 0; k < p; ++k) {
    x[k] = request.Parameters[k].Initial;
    scale[k] = x[k] != 0 ? std::abs(x[k]) : 1.0;
    u[k] = x[k] / scale[k];
  }
  auto toX = [&] {
    for (size_t k = 0; k < p; ++k) x[k] = u[k] * scale[k];
  };
  std::unique_ptr<TemporaryResultFile> resultFile;
  try {
    resultFile = std::make_unique<TemporaryResultFile>();
  } catch (const std::runtime_error& error) {
    return finish(FitStatus::RunFailed, error.what());
  }
  ModelEvaluator model(request, resultFile->Path());
  const bool failedAtStart = !model.At(x.data(), false);
  auto cancelled = [&] { return request.Cancelled && request.Cancelled(); };
  if (failedAtStart) {
    result.Evaluations = model.Evaluations();
    return cancelled() ? finish(FitStatus::Cancelled, "the fit was cancelled")
                       : finish(FitStatus::RunFailed,
                                "The model cannot be run at the start of "
                                "the fit: " +
                                    model.Failure());
  }

  ceres::Solver::Summary summary;
  for (int round = 0; round < kMostSigmaRounds; ++round) {
    ceres::Problem::Options problemOptions;
    problemOptions.cost_function_ownership = ceres::TAKE_OWNERSHIP;
    ceres::Problem problem(problemOptions);
    AddResiduals(problem, model, request, sigma, scale, u);
    for (size_t k = 0; k < p; ++k) {
      const FitParameter& parameter = request.Parameters[k];
      if (std::isfinite(parameter.Low))
        problem.SetParameterLowerBound(u.data(), static_cast<int>(k), parameter.Low / scale[k]);
      if (std::isfinite(parameter.High))
        problem.SetParameterUpperBound(u.data(), static_cast<int>(k), parameter.High / scale[k]);
    }
    ceres::Solver::Options options;
    options.minimizer_type = ceres::TRUST_REGION;
    options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
    options.linear_solver_type = ceres::DENSE_QR;
    options.max_num_iterations = request.MaxIterations;
    // The model's values move with its tolerance (1e-4 by default) as the parameters move: a
    // relative change of the cost of 1e-5 (of chi-square about 1e-5 n, far below 1) or of the
    // parameters of 1e-5 (a thousandth of a typical standard error) ends the fit; tighter tests
    // would only chase that noise.
    options.function_tolerance = 1e-5;
    options.parameter_tolerance = 1e-5;
    options.gradient_tolerance = 1e-12;
    options.num_threads = 1;
    options.logging_type = ceres::SILENT;
    options.minimizer_progress_to_stdout = false;
    options.update_state_every_iteration = true;
    ProgressCallback progress(request, u, scale, result.Iterations);
    options.callbacks.push_back(&progress);
    ceres::Solve(options, &problem, &summary);
    toX();
    result.Evaluations = model.Evaluations();
    if (cancelled()) return finish(FitStatus::Cancelled, "the fit was cancelled");
    if (summary.termination_type == ceres::NO_CONVERGENCE)
      return finish(FitStatus::NotConverged, "the fit did not converge within " +
                                                 std::to_string(request.MaxIterations) +
                                                 " iterations (" + summary.message + ")");
    if (summary.termination_type != ceres::CONVERGENCE)
      return finish(FitStatus::NotConverged,
                    "the fit did not converge: " + summary.message +
                        (model.Failure().empty() ? "" : "; last model run: " + model.Failure()));
    if (!model.At(x.data(), false))
      return finish(FitStatus::NotConverged, "the fit ended where " + model.Failure());
    // The sigmas estimated from the residuals; the fit is repeated until they settle.
    double change = 0;
    for (auto& [column, rows] : estimated) {
      double squares = 0;
      for (size_t i : rows) {
        const double r = model.Values()[i] - request.Measurements[i].Value;
        squares += r * r;
      }
      const double s = std::sqrt(squares / rows.size() * n / (n - p));
      if (!(s > 0)) {
        return finish(FitStatus::NotConverged, "the model meets every measurement of " +
                                                   std::string(column->Label) +
                                                   " exactly; give their sigma");
      }
      change = std::max(change, std::abs(s / sigma[rows[0]] - 1));
      for (size_t i : rows) sigma[i] = s;
    }
    if (change < 1e-3) break;
  }

  // The answer: the model, its weighted Jacobian and the covariance.
  if (!model.At(x.data(), true))
    return finish(FitStatus::NotConverged, "the fit ended where " + model.Failure());
  result.Evaluations = model.Evaluations();
  SetParameterTexts(request.Parameters, x.data(), result.FittedTexts);
  Eigen::MatrixXd weighted(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(p));
  for (size_t i = 0; i < n; ++i) {
    const Measurement& m = request.Measurements[i];
    const double model_i = model.Values()[i];
    result.Residuals.push_back({m.Column, m.Z, m.Value, sigma[i], !(m.Sigma > 0), model_i});
    const double r = (model_i - m.Value) / sigma[i];
    result.ChiSquare += r * r;
    for (size_t k = 0; k < p; ++k)
      weighted(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(k)) =
          model.Jacobian()[i][k] * scale[k] / sigma[i];
  }
  if (model.Converged() && !model.LastRunMetTolerance())
    result.Warnings.push_back(
        "The converged run at the estimates does not meet its tolerance on the fit's radial grid.");

  const std::vector<size_t> undetermined = UndeterminedParameters(weighted);
  for (size_t k = 0; k < p; ++k) {
    FitEstimate estimate;
    estimate.Name = FitParameterName(request.Parameters[k]);
    estimate.Item = request.Parameters[k].Item ? request.Parameters[k].Item->Number : 0;
    estimate.Initial = request.Parameters[k].Initial;
    estimate.Value = x[k];
    estimate.Determined =
        std::find(undetermined.begin(), undetermined.end(), k) == undetermined.end();
    if (!estimate.Determined) result.Undetermined.push_back(estimate.Name);
    result.Parameters.push_back(estimate);
  }

  if (undetermined.size() < p) {
    // The covariance of the determined parameters, the others held at their estimates.
    ceres::Problem::Options problemOptions;
    ceres::Problem problem(problemOptions);
    AddResiduals(problem, model, request, sigma, scale, u);
    if (!undetermined.empty()) {
      std::vector<int> held(undetermined.begin(), undetermined.end());
      problem.SetManifold(u.data(), new ceres::SubsetManifold(static_cast<int>(p), held));
    }
    ceres::Covariance::Options covarianceOptions;
    covarianceOptions.algorithm_type = ceres::DENSE_SVD;
    covarianceOptions.num_threads = 1;
    ceres::Covariance covariance(covarianceOptions);
    const std::vector<std::pair<const double*, const double*>> blocks = {{u.data(), u.data()}};
    std::vector<double> c(p * p, 0);
    if (!covariance.Compute(blocks, &problem) ||
        !covariance.GetCovarianceBlock(u.data(), u.data(), c.data()))
      return finish(FitStatus::NotConverged, "the covariance of the estimates cannot be computed");
    for (size_t a = 0; a < p; ++a)
      for (size_t b = 0; b < p; ++b) c[a * p + b] *= scale[a] * scale[b];
    result.Evaluations = model.Evaluations();
    std::vector<size_t> determined;
    for (size_t k = 0; k < p; ++k) {
      FitEstimate& estimate = result.Parameters[k];
      if (!estimate.Determined) continue;
      determined.push_back(k);
      estimate.StandardError = std::sqrt(std::max(0.0, c[k * p + k]));
      estimate.Low95 = estimate.Value - kNormalQuantile95 * estimate.StandardError;
      estimate.High95 = estimate.Value + kNormalQuantile95 * estimate.StandardError;
      const FitParameter& parameter = request.Parameters[k];
      const double margin = 1e-6 * std::max(std::abs(estimate.Value), 1e-300);
      if (estimate.Value <= parameter.Low + margin || estimate.Value >= parameter.High - margin)
        result.Warnings.push_back(estimate.Name +
                                  " ended at a bound; its interval assumes it could move past it.");
    }
    for (size_t a : determined) {
      std::vector<double> row;
      for (size_t b : determined) {
        const double sa = result.Parameters[a].StandardError;
        const double sb = result.Parameters[b].StandardError;
        row.push_back(a == b ? 1.0 : (sa > 0 && sb > 0 ? c[a * p + b] / (sa * sb) : 0.0));
      }
      result.Correlation.push_back(row);
    }
  }
  if (!result.Undetermined.empty())
    return finish(FitStatus::Undetermined,
                  "the measurements cannot determine " + Names(result.Undetermined) +
                      ": the measured values hardly move with " +
                      (result.Undetermined.size() == 1 ? "it" : "them") +
                      ", or the others make up for " +
                      (result.Undetermined.size() == 1 ? "its" : "their") +
                      " change (the Jacobian is rank-deficient or nearly so); measure other "
                      "quantities or positions, or fit fewer parameters");
  return finish(FitStatus::Fitted, "");
}

}  // namespace korvane
