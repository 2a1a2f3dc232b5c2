#include "core/converged/ConvergedSolver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/converged/ConvergedPass.h"
#include "core/converged/LogTensionSearch.h"
#include "core/model/ArithmeticFault.h"
#include "core/model/InitialState.h"
#include "core/results/RunMessages.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// The integrator's local tolerance as a share of the requested accuracy: its global error is
// several times its local one where the velocity grows exponentially.
constexpr double kIntegratorShare = 0.02;
// The share of the requested accuracy left to the radial grid.
constexpr double kRadialShare = 0.5;
// The automatic radial grids: surface-clustered, from this many intervals, doubled.
constexpr int kFirstAutomaticIntervals = 8;
// The accuracy of the tension search as a share of the requested accuracy.
constexpr double kSearchShare = 0.2;
// Before two passes show it, d ln vL / d ln F is taken as this multiple of ln(vL / v0): 1 for a
// thread drawn by a constant tension, whose velocity grows like exp(F z); the drying filament
// of a real line, whose viscosity rises steeply, is several times more sensitive.
constexpr double kSlopeOverLogDraw = 5;

std::string FormatZ(double z) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4g", z);
  return text;
}

// The mismatch of a pass with the target, d mismatch / d ln F > 0.
struct Target {
  std::optional<double> Tension;
  double Speed = 0;
  double Mismatch(const PassResult& r) const {
    if (Tension) return (r.EndTension - *Tension) / std::fabs(*Tension);
    return std::log(r.EndVelocity / Speed);
  }
};

class Solver {
 public:
  Solver(const RunParameters& params, const ConvergedOptions& options, SpinningLineProfile& profile,
         SimulationState& state, SimulationReporter& reporter, ConvergedReport& report)
      : p_(params),
        o_(options),
        profile_(profile),
        state_(state),
        reporter_(reporter),
        report_(report) {}

  bool Run();

 private:
  struct GridResult {
    double Tension = 0;
    double Slope = 0;
    double Mismatch = 0;
  };

  std::unique_ptr<ConvergedPass> MakePass(const RadialGrid& grid) const {
    PassBounds bounds;
    bounds.VelocityUpperLimit = state_.Constants.VelocityUpperLimit;
    bounds.VelocityLowerLimit = state_.Constants.VelocityLowerLimit;
    bounds.Deadline = deadline_;
    bounds.Cancelled = o_.Cancelled;
    ConvergedModel model(p_, state_.Constants, grid, o_.Physics, printZ_.back());
    return std::make_unique<ConvergedPass>(model, printZ_, breaks_, bounds);
  }
  RadialGrid GridOf(int intervals, bool clustered) const {
    return clustered ? SurfaceClusteredRadialGrid(intervals) : EqualRadialGrid(intervals);
  }
  void Count(const ConvergedPass& pass) {
    const auto counts = pass.Counts();
    report_.Steps += counts.Steps;
    report_.RhsEvaluations += counts.RhsEvaluations;
  }
  // One pass; false (after setting the outcome) when the run cannot go on.
  bool Pass(ConvergedPass& pass, double tension, double tolerance, SpinningLineProfile* profile,
            PassResult& result);
  bool Search(ConvergedPass& pass, double initialTension, double slope, double tolerance,
              GridResult& found);
  // The tension of the grid of `pass` by one Newton step from a known solution.
  bool Shifted(ConvergedPass& pass, const GridResult& from, double tolerance, double& tension);
  // The last pass, which writes the print points; false when it cannot be written.
  bool WrittenLine(ConvergedPass& pass, double tension, double tolerance, PassResult& final);
  void Finish(const ConvergedPass& pass, const PassResult& final, int intervals, bool clustered,
              double tension);
  bool LineForTension(double tension, double tolerance);
  // The derivatives the options ask for, of the line found (`target`: by the tension search).
  bool Sensitivities(RadialGrid grid, double tension, double tolerance, bool target) {
    if (o_.Sensitivities.empty()) return true;
    const SensitivityLine line{.Params = p_,
                               .Grid = std::move(grid),
                               .Physics = o_.Physics,
                               .PrintZ = printZ_,
                               .SpinneretTension = tension,
                               .RelativeTolerance = tolerance,
                               .HasTarget = target,
                               .TakeUpTension = o_.TakeUpTension,
                               .Deadline = deadline_,
                               .Cancelled = o_.Cancelled};
    std::string message;
    if (ConvergedSensitivities(line, o_.Sensitivities, report_.Sensitivities, message)) return true;
    if (o_.Cancelled && o_.Cancelled()) return Fail(ConvergedStatus::Cancelled, "");
    return Fail(
        Clock::now() > deadline_ ? ConvergedStatus::TimedOut : ConvergedStatus::CalculationFailed,
        message);
  }
  bool Fail(ConvergedStatus status, std::string message) {
    report_.Status = status;
    report_.Message = std::move(message);
    return false;
  }

  const RunParameters& p_;
  const ConvergedOptions& o_;
  SpinningLineProfile& profile_;
  SimulationState& state_;
  SimulationReporter& reporter_;
  ConvergedReport& report_;
  Target target_;
  // The pass whose line the profile holds.
  struct Written {
    const ConvergedPass* Pass = nullptr;
    double Tension = 0;
    double Tolerance = 0;
    PassResult Result;
  } written_;
  Clock::time_point deadline_;
  std::vector<double> printZ_;
  std::vector<double> breaks_;
};

bool Solver::Pass(ConvergedPass& pass, double tension, double tolerance,
                  SpinningLineProfile* profile, PassResult& result) {
  result = pass.Run(tension, tolerance, profile);
  ++report_.Passes;
  if (result.End == PassEnd::Stopped) {
    if (pass.TimedOut()) {
      return Fail(ConvergedStatus::TimedOut,
                  "Sorry, this case does not converge: the calculation ran out of time at z = " +
                      FormatZ(result.EndZ) + " cm.");
    }
    return Fail(ConvergedStatus::Cancelled, "");
  }
  if (result.End == PassEnd::Failed) {
    return Fail(ConvergedStatus::CalculationFailed,
                "Sorry, this case does not converge: " + result.FailureText +
                    " at z = " + FormatZ(result.EndZ) + " cm.");
  }
  const double difference = result.End == PassEnd::Complete && !target_.Tension
                                ? std::fabs(result.EndVelocity - target_.Speed) / target_.Speed
                                : 1.0;
  if (!reporter_.PassFinished(report_.Passes, difference)) {
    return Fail(ConvergedStatus::Cancelled, "");
  }
  return true;
}

bool Solver::Search(ConvergedPass& pass, double initialTension, double slope, double tolerance,
                    GridResult& found) {
  TensionSearchSettings settings;
  settings.MismatchTolerance = kSearchShare * o_.Tolerance;
  settings.LogTensionTolerance = 0.1 * kSearchShare * o_.Tolerance;
  settings.FirstSlope = slope;
  // From a known solution nearby, look close by first.
  if (slope > 0) settings.BlindLogStep = 0.05;
  bool stopped = false;
  const double extrusion = p_.DopeOutput / (p_.DopeDensity * p_.NozzleArea);
  const TensionSearchResult r = SearchLogTension(initialTension, settings, [&](double tension) {
    TensionTrial trial;
    PassResult pr;
    // Every pass writes the print points, so that the last one, when it is the answer, need
    // not be run again.
    if (!Pass(pass, tension, tolerance, &profile_, pr)) {
      stopped = true;
      return trial;
    }
    written_ = Written{&pass, tension, tolerance, pr};
    switch (pr.End) {
      case PassEnd::Complete:
        trial.Outcome = TensionTrial::Value;
        trial.Mismatch = target_.Mismatch(pr);
        // Until a slope is known: the end velocity of a thread drawn by a constant tension
        // grows like exp(F), so d ln vL / d ln F is about ln(vL / v0).
        if (!target_.Tension && pr.EndVelocity > extrusion) {
          trial.SlopeHint = kSlopeOverLogDraw * std::log(pr.EndVelocity / extrusion);
        }
        break;
      case PassEnd::AboveVelocityLimit:
        trial.Outcome = TensionTrial::TooHigh;
        break;
      default:
        trial.Outcome = TensionTrial::TooLow;
        break;
    }
    return trial;
  });
  if (stopped) return false;
  switch (r.Outcome) {
    case TensionSearchResult::Converged:
      found.Tension = r.Tension;
      found.Slope = r.Slope;
      found.Mismatch = r.Mismatch;
      return true;
    case TensionSearchResult::NoBracket: {
      const std::string why = r.SeenTooHigh && r.SeenTooLow
                                  ? "the line ends early at every tension near it"
                              : r.SeenTooHigh ? "every pass ended too fast"
                                              : "every pass ended too slow or without tension";
      return Fail(ConvergedStatus::CalculationFailed,
                  "Sorry, this case does not converge: no spinneret tension meets the target (" +
                      why + ").");
    }
    default:
      return Fail(ConvergedStatus::CalculationFailed, std::string(kIterationDoesNotConverge));
  }
}

bool Solver::Shifted(ConvergedPass& pass, const GridResult& from, double tolerance,
                     double& tension) {
  PassResult pr;
  if (!Pass(pass, from.Tension, tolerance, nullptr, pr)) return false;
  if (pr.End != PassEnd::Complete || !(from.Slope > 0)) {
    tension = NAN;
    return true;
  }
  tension = from.Tension * std::exp(-(target_.Mismatch(pr) - from.Mismatch) / from.Slope);
  return true;
}

bool Solver::Run() {
  const auto startedAt = Clock::now();
  deadline_ = startedAt + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(o_.TimeLimitSeconds));
  const double tol = o_.Tolerance;
  if (!(tol >= 1e-8 && tol <= 1e-2)) {
    return Fail(ConvergedStatus::InvalidOptions, "The tolerance must lie between 1e-8 and 0.01.");
  }
  if (o_.RadialIntervals != 0 &&
      (o_.RadialIntervals < 2 || o_.RadialIntervals > kLargestRadialIntervals)) {
    return Fail(ConvergedStatus::InvalidOptions,
                "The number of radial intervals must lie between 2 and " +
                    std::to_string(kLargestRadialIntervals) + ".");
  }
  if (o_.TakeUpTension && !(*o_.TakeUpTension > 0 && std::isfinite(*o_.TakeUpTension))) {
    return Fail(ConvergedStatus::InvalidOptions, "The take-up tension must be above zero.");
  }
  if (!(o_.TimeLimitSeconds > 0)) {
    return Fail(ConvergedStatus::InvalidOptions, "The time limit must be above zero.");
  }

  // The profile grows to the grid: this method has no limit of its own but the bound below.
  long long points = 1;
  for (int s = 0; s < kSectionCount; ++s) {
    if (p_.IncrementCount[s] < 0) {
      return Fail(ConvergedStatus::InvalidOptions, "No number of increments may be negative.");
    }
    points += p_.IncrementCount[s];
  }
  if (points < 2 || points > kLargestConvergedPointCount) {
    return Fail(ConvergedStatus::InvalidOptions,
                "The line needs between 1 and " + std::to_string(kLargestConvergedPointCount - 1) +
                    " steps.");
  }
  profile_.Resize(static_cast<int>(points));
  InitialState(p_, profile_, state_);
  if (state_.Outcome.Fault.Kind != FaultKind::None) {
    return Fail(ConvergedStatus::CalculationFailed,
                "Sorry, this case does not converge: the state at the spinneret has no value.");
  }
  const int count = profile_.ProfilePointCount;
  printZ_.assign(profile_.ProfileZ.begin(), profile_.ProfileZ.begin() + count);
  for (int i = 1; i < count; ++i) {
    if (!(printZ_[i] > printZ_[i - 1])) {
      return Fail(ConvergedStatus::InvalidOptions, "Every increment must be above zero.");
    }
  }
  breaks_ = StretchBreaks(p_, printZ_);
  target_.Tension = o_.TakeUpTension;
  target_.Speed = p_.TakeUpSpeed;
  const double integratorTolerance = kIntegratorShare * tol;
  const double initial =
      p_.InitialTension > 0 && std::isfinite(p_.InitialTension) ? p_.InitialTension : 1.0;

  if (o_.SpinneretTension) return LineForTension(*o_.SpinneretTension, integratorTolerance);

  // The radial grid: the given one, or clustered grids doubled until the tension moves by
  // less than the radial share of the accuracy (second order: the error is a third of the
  // change).
  const bool automatic = o_.RadialIntervals == 0;
  const bool clustered = automatic || o_.SurfaceClustered;
  int intervals = automatic ? kFirstAutomaticIntervals : o_.RadialIntervals;
  auto pass = MakePass(GridOf(intervals, clustered));
  GridResult solution;
  int passesBefore = report_.Passes;
  if (!Search(*pass, initial, 0, integratorTolerance, solution)) return false;
  report_.SearchPasses = report_.Passes - passesBefore;
  double radialError = 0;
  // The integration error is measured on the next coarser grid, where a pass costs less: it
  // comes from the axial steps, not the radial ones.
  int estimateIntervals = intervals;
  GridResult estimateSolution = solution;
  if (automatic) {
    for (;;) {
      const int finer = 2 * intervals;
      Count(*pass);
      auto finerPass = MakePass(GridOf(finer, clustered));
      // The first refinement starts from a Newton step off the coarse answer; later ones from
      // the second-order prediction that each doubling moves the tension a quarter as far as
      // the one before.
      double start = solution.Tension + radialError * 3 / 4;
      if (radialError == 0) {
        double shifted = 0;
        if (!Shifted(*finerPass, solution, integratorTolerance, shifted)) return false;
        if (std::isfinite(shifted)) start = shifted;
      }
      GridResult finerSolution;
      passesBefore = report_.Passes;
      if (!Search(*finerPass, start, solution.Slope, integratorTolerance, finerSolution)) {
        return false;
      }
      report_.SearchPasses = report_.Passes - passesBefore;
      radialError = (finerSolution.Tension - solution.Tension) / 3;
      estimateIntervals = intervals;
      estimateSolution = solution;
      intervals = finer;
      pass = std::move(finerPass);
      solution = finerSolution;
      if (std::fabs(radialError) <= kRadialShare * tol * solution.Tension ||
          2 * intervals > kLargestAutomaticIntervals) {
        break;
      }
    }
    radialError = std::fabs(radialError);
  } else if (intervals >= 4) {
    // The same grid type with half the intervals tells how far the radial grid is out.
    auto coarserPass = MakePass(GridOf(intervals / 2, clustered));
    double shifted = 0;
    if (!Shifted(*coarserPass, solution, integratorTolerance, shifted)) return false;
    GridResult coarser;
    const double start = std::isfinite(shifted) ? shifted : solution.Tension;
    if (!Search(*coarserPass, start, solution.Slope, integratorTolerance, coarser)) return false;
    Count(*coarserPass);
    radialError = std::fabs(solution.Tension - coarser.Tension) / 3;
    estimateIntervals = intervals / 2;
    estimateSolution = coarser;
  }

  // The integration error: the tension moves about in proportion to the tolerance, but not
  // smoothly (the step sizes adapt), so half the move to a ten times looser tolerance counts
  // rather than the ninth that strict proportion would give.
  auto loosePass = MakePass(GridOf(estimateIntervals, clustered));
  double loose = 0;
  if (!Shifted(*loosePass, estimateSolution, 10 * integratorTolerance, loose)) return false;
  Count(*loosePass);
  const double axialError =
      std::isfinite(loose) ? std::fabs(loose - estimateSolution.Tension) / 2 : 0;
  const double searchError =
      solution.Slope > 0 ? solution.Tension * std::fabs(solution.Mismatch) / solution.Slope : 0;

  // The converged line, written at the print points.
  PassResult final;
  if (!WrittenLine(*pass, solution.Tension, integratorTolerance, final)) return false;
  Finish(*pass, final, intervals, clustered, solution.Tension);
  report_.RadialTensionError = radialError;
  report_.IntegrationTensionError = axialError + searchError;
  report_.EstimatedTensionError = radialError + axialError + searchError;
  report_.EstimatedRelativeTensionError = report_.EstimatedTensionError / solution.Tension;
  report_.ToleranceMet = report_.EstimatedRelativeTensionError <= tol;
  return Sensitivities(GridOf(intervals, clustered), solution.Tension, integratorTolerance, true);
}

bool Solver::WrittenLine(ConvergedPass& pass, double tension, double tolerance, PassResult& final) {
  if (written_.Pass == &pass && written_.Tension == tension && written_.Tolerance == tolerance) {
    final = written_.Result;
  } else if (!Pass(pass, tension, tolerance, &profile_, final)) {
    return false;
  }
  Count(pass);
  if (final.End != PassEnd::Complete) {
    return Fail(ConvergedStatus::CalculationFailed,
                "Sorry, this case does not converge: the line ends early at z = " +
                    FormatZ(final.EndZ) + " cm.");
  }
  for (int i = 0; i < profile_.ProfilePointCount; ++i) {
    const double values[] = {
        profile_.ProfileAvgSolvent[i],        profile_.ProfileSurfaceSolvent[i],
        profile_.ProfileYarnVelocity[i],      profile_.ProfileYarnTemp[i],
        profile_.ProfileTension[i],           profile_.ProfileGasTemp[i],
        profile_.ProfileGasVelocity[i],       profile_.ProfileGasSolventFraction[i],
        profile_.ProfileElongViscosity[i],    profile_.ProfileHeatTransfer[i],
        profile_.ProfileFilamentHeatCoeff[i], profile_.ProfileEvaporationFlux[i]};
    bool finite = std::all_of(std::begin(values), std::end(values),
                              [](double v) { return std::isfinite(v); });
    for (int j = 0; j <= 10; ++j) {
      finite = finite && std::isfinite(profile_.ProfileRadialSolvent[i][j]);
    }
    if (!finite) {
      return Fail(ConvergedStatus::CalculationFailed,
                  "Sorry, this case does not converge: a value has no number at z = " +
                      FormatZ(printZ_[i]) + " cm.");
    }
  }
  return true;
}

void Solver::Finish(const ConvergedPass& pass, const PassResult& final, int intervals,
                    bool clustered, double tension) {
  const std::vector<double>& end = pass.EndState();
  const double wEnd = profile_.ProfileAvgSolvent[profile_.ProfilePointCount - 1];
  const double lost =
      state_.Constants.TotalSolventFlow - state_.Constants.TotalPolymerFlow * wEnd / (1 - wEnd);
  const double gained = end[intervals + 5] - state_.Constants.GasSolventMassFlow;
  report_.SolventBalanceError = lost != 0 ? (lost - gained) / lost : 0;
  report_.Status = ConvergedStatus::Converged;
  report_.RadialIntervals = intervals;
  report_.SurfaceClustered = clustered;
  report_.SpinneretTension = tension;
  report_.EndVelocity = final.EndVelocity;
  report_.EndTension = final.EndTension;
}

bool Solver::LineForTension(double tension, double tolerance) {
  if (!(tension > 0 && std::isfinite(tension))) {
    return Fail(ConvergedStatus::InvalidOptions, "The spinneret tension must be above zero.");
  }
  const bool automatic = o_.RadialIntervals == 0;
  const bool clustered = automatic || o_.SurfaceClustered;
  const int intervals = automatic ? kLargestAutomaticIntervals : o_.RadialIntervals;
  auto pass = MakePass(GridOf(intervals, clustered));
  PassResult final;
  if (!WrittenLine(*pass, tension, tolerance, final)) return false;
  Finish(*pass, final, intervals, clustered, tension);
  report_.ToleranceMet = true;
  return Sensitivities(GridOf(intervals, clustered), tension, tolerance, false);
}

}  // namespace

ConvergedReport SolveConverged(const RunParameters& params, const ConvergedOptions& options,
                               SpinningLineProfile& profile, SimulationState& state,
                               SimulationReporter& reporter) {
  const auto start = Clock::now();
  ConvergedReport report;
  Solver solver(params, options, profile, state, reporter, report);
  const bool ok = solver.Run();
  // Trial states of the integrator may raise the processor's fault flags; every value that
  // left the solver was checked to be a number.
  ClearFaultFlags();
  state.Outcome.CalculationOk = ok;
  state.Outcome.Cancelled = report.Status == ConvergedStatus::Cancelled;
  state.Iteration.CalculationLoopCount = report.Passes;
  if (ok) {
    state.Iteration.TensionGuess = report.SpinneretTension;
    profile.PassPointCount = profile.ProfilePointCount;
    ShowLoopCount(reporter, report.Passes);
  } else if (!report.Message.empty()) {
    reporter.ShowMessage(report.Message);
  }
  report.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return report;
}

}  // namespace korvane
