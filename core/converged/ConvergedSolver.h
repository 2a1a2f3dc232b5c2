// The converged method: the model's grid-independent solution to a stated accuracy, with an
// estimate of the error of the spinneret tension. It fills the same profile fields as the
// classic method, at the same print points.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/converged/ConvergedModel.h"
#include "core/converged/ConvergedSensitivities.h"
#include "core/model/RunParameters.h"
#include "core/results/SimulationReporter.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"

namespace korvane {

struct ConvergedOptions {
  double Tolerance = 1e-4;  // relative accuracy of the reported values, 1e-8 .. 1e-2
  // 0: chosen to meet the tolerance (on the surface-clustered grid); otherwise this many
  // intervals, equal ones unless SurfaceClustered (10 equal ones: the classic radial model).
  int RadialIntervals = 0;
  bool SurfaceClustered = false;
  // The target at the end of the line: the take-up speed of the run, or this tension (dyn).
  std::optional<double> TakeUpTension;
  // Instead of a target: the line for this spinneret tension (dyn), one pass without a search
  // or error estimates, on the given radial grid (automatic: the finest automatic one).
  std::optional<double> SpinneretTension;
  double TimeLimitSeconds = 60;
  // Polled during the run; returning true stops it (ConvergedStatus::Cancelled).
  std::function<bool()> Cancelled;
  ConvergedPhysics Physics;
  // Inputs to take the derivatives of the answer with respect to (see ConvergedSensitivities).
  std::vector<SensitivityParameter> Sensitivities;
};

enum class ConvergedStatus {
  Converged,
  CalculationFailed,  // the message says why (and where, for the integrator)
  Cancelled,
  TimedOut,
  InvalidOptions,
};

struct ConvergedReport {
  ConvergedStatus Status = ConvergedStatus::CalculationFailed;
  std::string Message;   // empty on success
  int Passes = 0;        // every pass of the run, the error estimates' included
  int SearchPasses = 0;  // those of the tension search on the final radial grid
  long Steps = 0;
  long RhsEvaluations = 0;
  int RadialIntervals = 0;
  bool SurfaceClustered = false;
  double SpinneretTension = 0;       // dyn
  double EstimatedTensionError = 0;  // dyn
  double EstimatedRelativeTensionError = 0;
  // A bound on |tension - the radially converged tension|, in two parts: the radial grid's
  // (from the order of convergence the three finest grids of the answer's kind show, with a
  // safety factor) and the integration's (twice the move to a ten times tighter tolerance on
  // the answer's own grid) with the search's (the remaining end mismatch, or half the
  // bracket of the spinneret tension of a line in parts).
  double RadialTensionError = 0;
  double IntegrationTensionError = 0;
  double EndVelocity = 0;  // cm/s
  double EndTension = 0;   // dyn
  // (solvent lost by the filaments - solvent gained by the gas) / solvent lost.
  double SolventBalanceError = 0;
  double Seconds = 0;
  // The estimated error is within the tolerance and the written line meets its target within
  // it (the automatic radial grid may stop short).
  bool ToleranceMet = false;
  // The derivatives with respect to the options' Sensitivities, in their order.
  std::vector<ParameterSensitivity> Sensitivities;
  // (end velocity - take-up speed) / take-up speed of the written line, or the same of the
  // tension at take-up when that is the target.
  double EndMismatch = 0;
  // The order of convergence the three radial grids showed (0: they showed none).
  double RadialOrder = 0;
  // Where the first part ended of a line integrated in parts, each from its own tension (0: in
  // one). A line is split where its end follows the spinneret tension within a window
  // narrower than one pass from the spinneret resolves (a line close to zero tension).
  double SplitZ = 0;
  // The largest step of the tension between the parts of a line split in parts, relative to
  // the tension there.
  double LargestPartStep = 0;
  // Why the tolerance is not met, in words (empty when it is).
  std::string ToleranceNote;
};

// The limits of the converged method's options, for every front end.
inline constexpr double kSmallestConvergedTolerance = 1e-8;
inline constexpr double kLargestConvergedTolerance = 1e-2;
inline constexpr int kSmallestRadialIntervals = 2;

inline constexpr int kLargestRadialIntervals = 512;
// The most print points of a line (the profile grows to hold them).
inline constexpr int kLargestConvergedPointCount = 1000001;
// The automatic choice stops doubling here, to keep a run's time bounded.
inline constexpr int kLargestAutomaticIntervals = 512;

// Lays out the run like the classic method (initial state, print grid) into `profile` and
// `state`, finds the spinneret tension that meets the target and fills the profile's print
// points from the converged line; the radial table holds r/R = 0, 0.1, ..., 1. On success
// state.Outcome.CalculationOk is true, state.Iteration.TensionGuess holds the tension and
// state.Iteration.CalculationLoopCount the passes, and the reporter is told "NUMBER OF CALCULATION
// LOOP = n" as after a classic run. A failure shows its message and clears CalculationOk.
ConvergedReport SolveConverged(const RunParameters& params, const ConvergedOptions& options,
                               SpinningLineProfile& profile, SimulationState& state,
                               SimulationReporter& reporter);

}  // namespace korvane
