#include "core/converged/ConvergedSolver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
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
constexpr double kIntegratorShare = 0.01;
// The integration error is measured by a solution at this many times tighter a tolerance.
constexpr double kTighterIntegration = 10;
// The finest grid's line may be written by the pass at the tighter tolerance while the written
// line's end misses the target by at most this share of the requested accuracy.
constexpr double kTighterLineEndShare = 0.8;
// The first automatic grid leads the search to the later ones and shows with them how the grids
// converge; its tension moves by far more from grid to grid than its integration error. It is
// searched at this many times the integrator's tolerance (no looser than the loosest) and its
// search stops as much sooner.
constexpr double kFirstGridLooseness = 30;
constexpr double kLoosestFirstGridIntegration = 1e-4;
// The share of the requested accuracy left to the radial grid.
constexpr double kRadialShare = 0.6;
// The automatic radial grids: surface-clustered, from this many intervals, doubled; from
// fewer at coarse tolerances, where the extrapolation beyond 64 intervals meets them.
constexpr int kFirstAutomaticIntervals = 16;
constexpr int kFirstCoarseAutomaticIntervals = 8;
constexpr double kCoarseTolerance = 1e-3;
// A given radial grid is checked against grids with twice and four times its intervals up to
// this many, against grids with half and a quarter of them beyond.
constexpr int kLargestFinerCompanion = 64;
// The accuracy of the tension search as a share of the requested accuracy.
constexpr double kSearchShare = 0.2;
// A Newton step is taken for the answer without a pass of its own only where the search's
// accuracy is at least this mismatch: 40 times the noise of a pass's end at tight tolerances.
constexpr double kQuietMismatch = 2e-6;
// The relative error of a slope d mismatch / d ln F carried over from the grid before, from
// the third grid on: the slopes of successive grids beyond the second differ by a few per
// cent at most (by a tenth and more between the first two).
constexpr double kSlopeUncertainty = 0.1;
// Each estimated error part is this many times the move it is measured from: the moves are
// themselves estimates, and a bound must hold where they fall short. The radial part of an
// answer on the finest of three grids that show an order takes the smaller factor; one that
// rests on an extrapolation beyond them, or on grids that show none, the larger one.
constexpr double kSafetyFactor = 2;
constexpr double kRadialSafetyFactor = 1.25;
// The radial differences are second order: an observed order above this is taken as this.
constexpr double kFormalRadialOrder = 2;
// Grids of an observed order between these converge at the formal order.
constexpr double kLowestFormalOrder = 1.5;
constexpr double kHighestFormalOrder = 3;
// Below this observed order the grids are not yet converging steadily.
constexpr double kLowestRadialOrder = 0.5;
// Before two passes show it, d ln vL / d ln F is taken as this multiple of ln(vL / v0): 1 for a
// thread drawn by a constant tension, whose velocity grows like exp(F z); the drying filament
// of a real line, whose viscosity rises steeply, is several times more sensitive.
constexpr double kSlopeOverLogDraw = 5;
// A part is halved at most this many times in a row for a step in tension after it.
constexpr int kLargestPartHalvings = 8;
// The most parts a line is integrated in, those tried and shortened included.
constexpr int kPartLimit = 200;

std::string FormatZ(double z) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4g", z);
  return text;
}

std::string FormatTension(double f) {
  char text[64];
  std::snprintf(text, sizeof text, "%.8g", f);
  return text;
}

std::string FormatShare(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2g", x);
  return text;
}

// How a pass ended, in words for a message.
std::string EndInWords(PassEnd end, double z) {
  switch (end) {
    case PassEnd::TensionNotPositive:
      return "the tension falls to zero at z = " + FormatZ(z) + " cm";
    case PassEnd::AboveVelocityLimit:
      return "the velocity exceeds its upper limit at z = " + FormatZ(z) + " cm";
    case PassEnd::BelowVelocityLimit:
      return "the velocity falls below its lower limit at z = " + FormatZ(z) + " cm";
    case PassEnd::Complete:
      return "the line reaches its end off the target";
    default:
      return "the pass fails at z = " + FormatZ(z) + " cm";
  }
}

// The mismatch of a pass with the target, d mismatch / d ln F > 0.
struct Target {
  std::optional<double> Tension;
  double Speed = 0;
  double Mismatch(const PassResult& r) const {
    if (Tension) return (r.EndTension - *Tension) / std::fabs(*Tension);
    return std::log(r.EndVelocity / Speed);
  }
  double RelativeMiss(const PassResult& r) const {
    if (Tension) return (r.EndTension - *Tension) / std::fabs(*Tension);
    return (r.EndVelocity - Speed) / Speed;
  }
};

// The radial error of the answer from three solutions on grids of one kind.
struct RadialEstimate {
  double Error = 0;  // dyn, the safety factor included
  double Order = 0;  // the observed order (0: none)
  double Limit = 0;  // the extrapolation to infinitely many intervals (with an order)
  // Of a limit from grids that double: F(N) + (F(N) - F(N/2)) / Divisor, Divisor = 2^p - 1.
  double Divisor = 0;
};

// The extrapolation beyond a value `fine` on a grid and `coarse` on one with half its intervals,
// for every value of a line alike.
double Extrapolated(double fine, double coarse, double divisor) {
  return fine + (fine - coarse) / divisor;
}

// F(h) = F* + C h^p through three solutions (h = 1 / intervals), the error of the answer `fa`
// (one of them, or a coarser one). The order comes from the three (capped at the formal order);
// where they show no steady convergence, the error is taken as the largest difference, plus the
// answer's distance from the finest.
RadialEstimate EstimateRadialError(const int (&intervals)[3], const double (&tension)[3], double fa,
                                   bool answerIsFinest) {
  // Finest first.
  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&](int a, int b) { return intervals[a] > intervals[b]; });
  const double h1 = 1.0 / intervals[order[0]];
  const double h2 = 1.0 / intervals[order[1]];
  const double h3 = 1.0 / intervals[order[2]];
  const double f1 = tension[order[0]];
  const double f2 = tension[order[1]];
  const double f3 = tension[order[2]];
  const double d12 = f1 - f2;
  const double d23 = f2 - f3;
  RadialEstimate e;
  const double ratio = d12 != 0 ? d23 / d12 : 0;
  // (h3^p - h2^p) / (h2^p - h1^p) grows with p: the observed order by bisection.
  auto ratioAt = [&](double p) {
    return (std::pow(h3, p) - std::pow(h2, p)) / (std::pow(h2, p) - std::pow(h1, p));
  };
  if (ratio > 0 && ratio >= ratioAt(kLowestRadialOrder)) {
    double lo = kLowestRadialOrder;
    double hi = 8;
    if (ratio >= ratioAt(hi)) {
      lo = hi;
    } else {
      for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (ratioAt(mid) < ratio ? lo : hi) = mid;
      }
    }
    e.Order = lo;
    const double p = std::min(lo, kFormalRadialOrder);
    const double limit = f1 + d12 * std::pow(h1, p) / (std::pow(h2, p) - std::pow(h1, p));
    e.Limit = limit;
    // An answer coarser than the finest grid rests on the extrapolation beyond it.
    e.Error = (answerIsFinest ? kRadialSafetyFactor : kSafetyFactor) * std::fabs(fa - limit);
  } else {
    e.Error = kSafetyFactor * (std::fabs(fa - f1) + std::max(std::fabs(d12), std::fabs(d23)));
  }
  return e;
}

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
  // The answer on one radial grid at one integrator tolerance.
  struct GridSolution {
    int Intervals = 0;
    double Tension = 0;   // at the spinneret, dyn
    double Slope = 0;     // d mismatch / d ln F near it (0: unknown)
    double Mismatch = 0;  // of its last pass
    // Mismatch is a pass's at Tension (not what a Newton step is taken to leave over).
    bool MismatchMeasured = true;
    // A line in parts: where each part after the first starts and its tension there, and
    // the largest step of the tension from one part to the next (relative to the tension).
    std::vector<double> PartZ;
    std::vector<double> PartTension;
    double LargestJump = 0;
    double Bracket = 0;  // half the width of the spinneret tension's bracket, dyn
    // The error of the tension from what the search left over, dyn.
    double SearchError() const {
      if (!PartZ.empty()) {
        return Bracket;
      }
      return Slope > 0 ? Tension * std::fabs(Mismatch) / Slope : 0;
    }
  };
  enum class SearchEnd { Found, Collapsed, Failed };
  // The trials closest to the target on either side, for the split and for a message.
  struct Side {
    double Tension = 0;
    PassEnd End = PassEnd::Failed;
    double Z = 0;
  };

  // Run's steps.
  bool CheckOptions();
  bool LayOut();
  bool RefineGrid();
  // The answer's radial error from the three finest grids solved so far.
  RadialEstimate FinestGridsEstimate() const;
  // The extrapolation beyond the three finest grids, with its error from the move since the
  // extrapolation beyond the three before (no order: none).
  RadialEstimate Extrapolation() const;
  bool EstimateErrors();
  bool Conclude();

  RadialGrid GridOf(int intervals) const {
    return clustered_ ? SurfaceClusteredRadialGrid(intervals) : EqualRadialGrid(intervals);
  }
  std::unique_ptr<ConvergedPass> MakePass(int intervals) const {
    const RadialGrid grid = GridOf(intervals);
    PassBounds bounds;
    bounds.VelocityUpperLimit = state_.Constants.VelocityUpperLimit;
    bounds.VelocityLowerLimit = state_.Constants.VelocityLowerLimit;
    bounds.Deadline = deadline_;
    bounds.Cancelled = o_.Cancelled;
    ConvergedModel model(p_, state_.Constants, grid, o_.Physics, printZ_.back());
    return std::make_unique<ConvergedPass>(model, printZ_, breaks_, bounds);
  }
  void Count(const ConvergedPass& pass) {
    const auto counts = pass.Counts();
    report_.Steps += counts.Steps;
    report_.RhsEvaluations += counts.RhsEvaluations;
  }
  // One pass (from the spinneret to zEnd); false (after setting the outcome) when the run
  // cannot go on.
  bool Pass(ConvergedPass& pass, double tension, double tolerance, SpinningLineProfile* profile,
            PassResult& result, double zEnd = INFINITY);
  // The line from `start` at zStart to zEnd, with `tension` at zStart.
  bool PartPass(ConvergedPass& pass, const std::vector<double>& start, double zStart, double zEnd,
                double tension, double tolerance, SpinningLineProfile* profile, PassResult& result);
  bool Checked(PassResult& result);
  // The answer on the grid of `pass`, from `guess`: by one tension at the spinneret, or, where
  // that cannot reach the end, by a line split in two.
  bool Solve(ConvergedPass& pass, const GridSolution& guess, double tolerance, GridSolution& found);
  // `looseness`: the search stops at that many times its usual mismatch.
  SearchEnd Search(ConvergedPass& pass, const GridSolution& guess, double tolerance,
                   GridSolution& found, double looseness = 1);
  // The first automatic grid, by a search at a looser integrator tolerance where that finds
  // the root (false: it did not, and the grid is to be solved as the others are).
  bool LooseFirstGrid(ConvergedPass& pass, const GridSolution& guess, GridSolution& found,
                      bool& solved);
  // The line in parts: from each part's start, the tension that the rest of the line can
  // meet the target from, as closely as the passes resolve it; the part ends well before the
  // passes on either side of it part.
  bool MarchParts(ConvergedPass& pass, const GridSolution& guess, double tolerance,
                  GridSolution& found);
  // The guess on the grid of `pass` by one Newton step from a known solution.
  bool Shifted(ConvergedPass& pass, const GridSolution& from, double tolerance,
               GridSolution& guess);
  // The line of the solution on the grid of `pass`, written at the print points; false when it
  // cannot be written.
  bool WrittenLine(ConvergedPass& pass, const GridSolution& solution, double tolerance,
                   PassResult& final);
  bool CheckWritten(const PassResult& final);
  void Finish(const ConvergedPass& pass, const PassResult& final, int intervals, double tension);
  bool LineForTension(double tension, double tolerance);
  // The derivatives the options ask for, of the line found (`target`: by the tension search).
  bool Sensitivities(RadialGrid grid, double tension, double tolerance, bool target) {
    if (o_.Sensitivities.empty()) return true;
    if (target && !answer_.PartZ.empty()) {
      // One pass from the spinneret cannot follow a line that only parts integrated from their
      // own tensions reach the end of.
      return Fail(ConvergedStatus::CalculationFailed,
                  "Sorry, this case does not converge: the derivatives of a line solved in parts "
                  "(from z = " +
                      FormatZ(answer_.PartZ[0]) + " cm on) are not available.");
    }
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
  // Why no tension meets the target, with the closest tensions tried (at a part's start z).
  std::string NoBracketText(double z = 0) const;
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
  bool clustered_ = false;
  double integratorTolerance_ = 0;
  double initialTension_ = 1;
  // Where the line was first split in parts (0: it is not).
  double split_ = 0;
  bool everyTensionFellToZero_ = false;
  // The search's passes write their lines into the profile (see written_).
  bool writeLines_ = true;
  // The first automatic grid was solved at the looser tolerance.
  bool looseFirst0_ = false;
  Side low_;
  Side high_;
  // The solutions on the radial grids, coarsest first; the answer is answer_.
  std::vector<GridSolution> grids_;
  GridSolution answer_;
  std::unique_ptr<ConvergedPass> answerPass_;
  // An answer extrapolated beyond the grids: the extrapolation, and the finest grid's own
  // solution, whose line is extrapolated with the grid's before.
  RadialEstimate extrapolation_;
  GridSolution gridAnswer_;
  // The solvent the gas gained on the second finest grid's line.
  double coarseGained_ = 0;
  // A grid's line at its own tension: the last grid's and the one's before.
  struct GridLine {
    int Intervals = 0;
    SpinningLineProfile Profile;
    PassResult Result;
    double GasSolventFlow = 0;  // at the end of the line
  };
  std::optional<GridLine> lastLine_;
  std::optional<GridLine> previousLine_;
  // The profile becomes the extrapolation beyond it (on half the intervals) and itself.
  void ExtrapolateLine(const SpinningLineProfile& coarse, double divisor);
};

bool Solver::Checked(PassResult& result) {
  ++report_.Passes;
  if (result.End == PassEnd::Stopped) {
    if (std::chrono::steady_clock::now() > deadline_) {
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
  const bool atEnd = result.End == PassEnd::Complete && result.EndZ >= printZ_.back();
  const double difference = atEnd && !target_.Tension
                                ? std::fabs(result.EndVelocity - target_.Speed) / target_.Speed
                                : 1.0;
  if (!reporter_.PassFinished(report_.Passes, difference)) {
    return Fail(ConvergedStatus::Cancelled, "");
  }
  return true;
}

bool Solver::Pass(ConvergedPass& pass, double tension, double tolerance,
                  SpinningLineProfile* profile, PassResult& result, double zEnd) {
  result = pass.Run(tension, tolerance, profile, zEnd);
  return Checked(result);
}

bool Solver::PartPass(ConvergedPass& pass, const std::vector<double>& start, double zStart,
                      double zEnd, double tension, double tolerance, SpinningLineProfile* profile,
                      PassResult& result) {
  result = pass.RunPart(start, zStart, zEnd, tension, tolerance, profile);
  return Checked(result);
}

std::string Solver::NoBracketText(double z) const {
  std::string text =
      z > 0 ? "Sorry, this case does not converge: the line was integrated in parts, and no "
              "tension at z = " +
                  FormatZ(z) + " cm lets the rest of the line meet the target"
            : std::string(
                  "Sorry, this case does not converge: no spinneret tension meets the "
                  "target");
  if (low_.Tension > 0 && high_.Tension > 0) {
    text += " (at " + FormatTension(low_.Tension) + " dyn " + EndInWords(low_.End, low_.Z) +
            "; at " + FormatTension(high_.Tension) + " dyn " + EndInWords(high_.End, high_.Z) + ")";
  } else if (high_.Tension > 0) {
    text += " (every pass ended too fast; the lowest tension tried, " +
            FormatTension(high_.Tension) + " dyn: " + EndInWords(high_.End, high_.Z) + ")";
  } else if (low_.Tension > 0) {
    text += " (every pass ended too slow or without tension; the highest tension tried, " +
            FormatTension(low_.Tension) + " dyn: " + EndInWords(low_.End, low_.Z) + ")";
  }
  return text + ".";
}

Solver::SearchEnd Solver::Search(ConvergedPass& pass, const GridSolution& guess, double tolerance,
                                 GridSolution& found, double looseness) {
  TensionSearchSettings settings;
  settings.MismatchTolerance = looseness * kSearchShare * o_.Tolerance;
  settings.LogTensionTolerance = 0.1 * settings.MismatchTolerance;
  settings.FirstSlope = guess.Slope;
  // A looser search may end on a Newton step from two of its passes; any on one from three
  // that show how much the slope still changes, where the passes' mismatches are far above
  // their noise (the end of a pass moves by some 1e-8 with the integrator's steps).
  if (looseness > 1) settings.NewtonAcceptance = kSlopeUncertainty;
  settings.CurvatureAcceptance = settings.MismatchTolerance >= kQuietMismatch;
  // From a known solution nearby, look close by first.
  if (guess.Slope > 0) settings.BlindLogStep = 0.05;
  bool stopped = false;
  const double extrusion = p_.DopeOutput / (p_.DopeDensity * p_.NozzleArea);
  const TensionSearchResult r = SearchLogTension(guess.Tension, settings, [&](double tension) {
    TensionTrial trial;
    PassResult pr;
    // Every pass writes the print points (where the grid's line may be written), so that the
    // last one, when it is the answer, need not be run again.
    if (!Pass(pass, tension, tolerance, writeLines_ ? &profile_ : nullptr, pr)) {
      stopped = true;
      return trial;
    }
    if (writeLines_) written_ = Written{&pass, tension, tolerance, pr};
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
    const bool tooHigh = trial.Outcome == TensionTrial::TooHigh ||
                         (trial.Outcome == TensionTrial::Value && trial.Mismatch > 0);
    const Side side{tension, pr.End, pr.EndZ};
    (tooHigh ? high_ : low_) = side;
    return trial;
  });
  if (stopped) return SearchEnd::Failed;
  found = guess;
  found.Intervals = pass.Intervals();
  switch (r.Outcome) {
    case TensionSearchResult::Converged:
      found.Tension = r.Tension;
      found.Slope = r.Slope;
      found.Mismatch = r.Mismatch;
      found.MismatchMeasured = !r.NewtonStep;
      found.PartZ.clear();
      found.PartTension.clear();
      // A bracket that closed on a mismatch beyond the tolerance: the end of the line changes
      // faster with the tension than the passes can follow. Within the tolerance it is the
      // root as far as the integration resolves it; the search error counts what is left.
      if (std::fabs(r.Mismatch) <= looseness * o_.Tolerance) return SearchEnd::Found;
      return SearchEnd::Collapsed;
    case TensionSearchResult::NoBracket:
      if (r.SeenTooHigh && r.SeenTooLow) return SearchEnd::Collapsed;
      everyTensionFellToZero_ = !r.SeenTooHigh && low_.End == PassEnd::TensionNotPositive;
      Fail(ConvergedStatus::CalculationFailed, NoBracketText());
      return SearchEnd::Failed;
    default:
      Fail(ConvergedStatus::CalculationFailed, r.SeenTooHigh && r.SeenTooLow
                                                   ? NoBracketText()
                                                   : std::string(kIterationDoesNotConverge));
      return SearchEnd::Failed;
  }
}

bool Solver::LooseFirstGrid(ConvergedPass& pass, const GridSolution& guess, GridSolution& found,
                            bool& solved) {
  solved = false;
  const double tolerance =
      std::min(kFirstGridLooseness * integratorTolerance_, kLoosestFirstGridIntegration);
  if (!(tolerance > integratorTolerance_)) return true;
  switch (Search(pass, guess, tolerance, found, tolerance / integratorTolerance_)) {
    case SearchEnd::Found:
      solved = true;
      return true;
    case SearchEnd::Failed:
      if (report_.Status == ConvergedStatus::Cancelled ||
          report_.Status == ConvergedStatus::TimedOut) {
        return false;
      }
      break;
    case SearchEnd::Collapsed:
      break;
  }
  // A line the looser passes cannot solve in one (close to zero tension, or ending early)
  // is searched again as every other grid is, from the start.
  report_.Status = ConvergedStatus::CalculationFailed;
  report_.Message.clear();
  low_ = Side{};
  high_ = Side{};
  everyTensionFellToZero_ = false;
  return true;
}

bool Solver::MarchParts(ConvergedPass& pass, const GridSolution& guess, double tolerance,
                        GridSolution& found) {
  const double length = printZ_.back();
  found = guess;
  found.Intervals = pass.Intervals();
  found.PartZ.clear();
  found.PartTension.clear();
  found.LargestJump = 0;
  found.Bracket = 0;
  // The part being searched starts at z from `start`; the one before started at previousZ
  // from previousStart with previousTension, and ended here with endTension.
  double z = 0;
  std::vector<double> start;
  double previousZ = 0;
  std::vector<double> previousStart;
  double previousTension = 0;
  double endTension = 0;
  double from = guess.Tension;
  // The share of the way to where the passes part that a part goes: near the start the
  // passes agree to the integration error, and they part exponentially.
  double share = 0.25;
  int halvings = 0;  // of the part before, in a row
  // Integrates from (zFrom, state, tension) to zTo, the first part from the spinneret.
  auto integrate = [&](double zFrom, const std::vector<double>& state, double tension, double zTo,
                       PassResult& pr) {
    return zFrom == 0 ? Pass(pass, tension, tolerance, nullptr, pr, zTo)
                      : PartPass(pass, state, zFrom, zTo, tension, tolerance, nullptr, pr);
  };
  for (int attempt = 0; attempt < kPartLimit; ++attempt) {
    const bool first = z == 0;
    TensionSearchSettings settings;
    settings.MismatchTolerance = kSearchShare * o_.Tolerance;
    settings.LogTensionTolerance = 0.1 * kSearchShare * o_.Tolerance;
    if (!first) settings.BlindLogStep = 1e-3;
    settings.FirstSlope = first ? guess.Slope : 0;
    bool stopped = false;
    Side low;
    Side high;
    const TensionSearchResult r = SearchLogTension(from, settings, [&](double tension) {
      TensionTrial trial;
      PassResult pr;
      if (!integrate(z, start, tension, length, pr)) {
        stopped = true;
        return trial;
      }
      if (pr.End == PassEnd::Complete) {
        trial.Outcome = TensionTrial::Value;
        trial.Mismatch = target_.Mismatch(pr);
      } else {
        trial.Outcome =
            pr.End == PassEnd::AboveVelocityLimit ? TensionTrial::TooHigh : TensionTrial::TooLow;
      }
      const bool tooHigh = trial.Outcome == TensionTrial::TooHigh ||
                           (trial.Outcome == TensionTrial::Value && trial.Mismatch > 0);
      (tooHigh ? high : low) = Side{tension, pr.End, pr.EndZ};
      return trial;
    });
    if (stopped) return false;
    const bool converged = r.Outcome == TensionSearchResult::Converged &&
                           std::fabs(r.Mismatch) <= settings.MismatchTolerance;
    const bool bracketed = low.Tension > 0 && high.Tension > 0;
    const bool reached = converged || bracketed;
    if (!reached && (first || !(z - previousZ > 1e-6 * length))) {
      low_ = low;
      high_ = high;
      return Fail(ConvergedStatus::CalculationFailed, NoBracketText(z));
    }
    // The tension between the closest passes on either side, as far as they agree.
    const double tension = !reached    ? 0
                           : converged ? r.Tension
                                       : std::sqrt(low.Tension * high.Tension);
    if (!first) {
      const double jump = std::fabs(endTension - tension);
      const double allowed = kSearchShare * o_.Tolerance * std::max(tension, found.Tension);
      // No tension here lets the rest of the line meet the target, or a different one from
      // the part before's: that part went too far for its tension.
      // A step that halving the part before does not remove comes from the integration
      // error; it stays, and counts against the tolerance.
      if (!reached || (jump > allowed && halvings < kLargestPartHalvings)) {
        // It ends halfway instead.
        ++halvings;
        share /= 2;
        z = previousZ + (z - previousZ) / 2;
        PassResult pr;
        if (!integrate(previousZ, previousStart, previousTension, z, pr)) return false;
        if (pr.End != PassEnd::Complete)
          return Fail(ConvergedStatus::CalculationFailed, NoBracketText(previousZ));
        start = pass.EndState();
        endTension = pr.EndTension;
        from = endTension;
        continue;
      }
      halvings = 0;
      if (jump < 0.1 * allowed) share = std::min(0.5, share * 1.5);
      found.LargestJump = std::max(found.LargestJump, jump / std::max(tension, endTension));
      found.PartZ.push_back(z);
      found.PartTension.push_back(tension);
    }
    if (converged) {
      found.Mismatch = r.Mismatch;
      found.MismatchMeasured = !r.NewtonStep;
      if (first) {
        found.Tension = r.Tension;
        found.Slope = r.Slope;
      }
      return true;
    }
    if (first) {
      found.Tension = tension;
      found.Bracket = (high.Tension - low.Tension) / 2;
    }
    const double parting = std::min(low.Z, high.Z);
    double zNext = z + share * (parting - z);
    PassResult pr;
    for (;;) {
      if (!(zNext - z > 1e-6 * length)) {
        low_ = low;
        high_ = high;
        return Fail(ConvergedStatus::CalculationFailed, NoBracketText(z));
      }
      if (!integrate(z, start, tension, zNext, pr)) return false;
      if (pr.End == PassEnd::Complete) break;
      zNext = z + (zNext - z) / 2;
    }
    if (split_ == 0) split_ = zNext;
    previousZ = z;
    previousStart = start;
    previousTension = tension;
    start = pass.EndState();
    endTension = pr.EndTension;
    from = endTension;
    z = zNext;
  }
  return Fail(ConvergedStatus::CalculationFailed, NoBracketText(z));
}

bool Solver::Solve(ConvergedPass& pass, const GridSolution& guess, double tolerance,
                   GridSolution& found) {
  if (split_ == 0) {
    switch (Search(pass, guess, tolerance, found)) {
      case SearchEnd::Found:
        return true;
      case SearchEnd::Failed:
        return false;
      case SearchEnd::Collapsed:
        break;
    }
  }
  // The end of the line follows the spinneret tension within a window narrower than the
  // passes resolve: integrate the line in parts.
  GridSolution from = guess;
  if (split_ == 0 && high_.Tension > 0 && low_.Tension > 0) {
    from.Tension = std::sqrt(high_.Tension * low_.Tension);
  }
  return MarchParts(pass, from, tolerance, found);
}

bool Solver::Shifted(ConvergedPass& pass, const GridSolution& from, double tolerance,
                     GridSolution& guess) {
  guess = from;
  if (split_ != 0 || !(from.Slope > 0)) return true;
  PassResult pr;
  if (!Pass(pass, from.Tension, tolerance, nullptr, pr)) return false;
  if (pr.End == PassEnd::Complete) {
    guess.Tension = from.Tension * std::exp(-(target_.Mismatch(pr) - from.Mismatch) / from.Slope);
  }
  return true;
}

bool Solver::CheckOptions() {
  const double tol = o_.Tolerance;
  if (!(tol >= kSmallestConvergedTolerance && tol <= kLargestConvergedTolerance)) {
    return Fail(ConvergedStatus::InvalidOptions, "The tolerance must lie between 1e-8 and 0.01.");
  }
  if (o_.RadialIntervals != 0 && (o_.RadialIntervals < kSmallestRadialIntervals ||
                                  o_.RadialIntervals > kLargestRadialIntervals)) {
    return Fail(ConvergedStatus::InvalidOptions,
                "The number of radial intervals must lie between " +
                    std::to_string(kSmallestRadialIntervals) + " and " +
                    std::to_string(kLargestRadialIntervals) + ".");
  }
  if (o_.TakeUpTension && !(*o_.TakeUpTension > 0 && std::isfinite(*o_.TakeUpTension))) {
    return Fail(ConvergedStatus::InvalidOptions, "The take-up tension must be above zero.");
  }
  if (!(o_.TimeLimitSeconds > 0)) {
    return Fail(ConvergedStatus::InvalidOptions, "The time limit must be above zero.");
  }
  return true;
}

bool Solver::LayOut() {
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
  // A pass ends where the velocity leaves its limits: a take-up speed outside them is never met.
  const double slowest = state_.Constants.VelocityLowerLimit;
  const double fastest = state_.Constants.VelocityUpperLimit;
  if (!target_.Tension && !o_.SpinneretTension &&
      !(target_.Speed > slowest && target_.Speed < fastest)) {
    return Fail(ConvergedStatus::CalculationFailed,
                "Sorry, this case does not converge: no spinneret tension meets the target, as the "
                "take-up speed lies outside the velocity limits of a pass (" +
                    FormatZ(slowest) + " to " + FormatZ(fastest) + " cm/s).");
  }
  integratorTolerance_ = kIntegratorShare * o_.Tolerance;
  initialTension_ =
      p_.InitialTension > 0 && std::isfinite(p_.InitialTension) ? p_.InitialTension : 1.0;
  clustered_ = o_.RadialIntervals == 0 || o_.SurfaceClustered;
  return true;
}

// The radial grids: the given one with two more of its kind (finer, or coarser for a fine
// one), or clustered grids doubled until three of them show the radial share of the
// accuracy met.
bool Solver::RefineGrid() {
  const bool automatic = o_.RadialIntervals == 0;
  std::vector<int> plan;
  if (!automatic) {
    const int n = o_.RadialIntervals;
    // Finer companions where they cost little, coarser ones beyond.
    plan = 4 * n <= kLargestFinerCompanion ? std::vector<int>{n, 2 * n, 4 * n}
                                           : std::vector<int>{n, n / 2, n / 4};
  }
  GridSolution guess;
  guess.Tension = initialTension_;
  for (size_t k = 0;; ++k) {
    const int first = o_.Tolerance >= kCoarseTolerance ? kFirstCoarseAutomaticIntervals
                                                       : kFirstAutomaticIntervals;
    const int intervals = automatic ? first << k : plan[k];
    auto pass = MakePass(intervals);
    if (k > 0 && grids_.size() >= 2 && automatic) {
      // Further grids: each doubling moves the tension about a quarter as far as the last.
      const double last = grids_.back().Tension - grids_[grids_.size() - 2].Tension;
      guess = grids_.back();
      guess.Tension = grids_.back().Tension + last / 4;
    } else if (k > 0) {
      // The second grid (or a fixed grid's companion) is searched from the grid before's
      // solution, with its slope.
      guess = grids_.back();
    }
    const int passesBefore = report_.Passes;
    // Every grid is solved to the search's accuracy: the extrapolation beyond them is only as
    // good as they are. From a close prediction, one Newton step does that.
    GridSolution solution;
    bool stepped = false;
    if (automatic && k >= 2 && split_ == 0 && guess.Slope > 0) {
      PassResult pr;
      if (!Pass(*pass, guess.Tension, integratorTolerance_, nullptr, pr)) return false;
      if (pr.End == PassEnd::Complete) {
        const double mismatch = target_.Mismatch(pr);
        guess.Tension *= std::exp(-mismatch / guess.Slope);
        // What is left after the step is the slope's error times the mismatch before it.
        if (kSlopeUncertainty * std::fabs(mismatch) <= kSearchShare * o_.Tolerance) {
          solution = guess;
          solution.Mismatch = kSlopeUncertainty * mismatch;
          solution.MismatchMeasured = false;
          stepped = true;
        }
      }
    }
    // The search's passes write their lines where the grid's line may be written: an
    // automatic answer is the third grid or a later one, extrapolated with the one before from
    // the fourth grid on; a fixed grid's answer is its own, not its companions'.
    writeLines_ = automatic ? k >= 2 : k == 0;
    bool solved = stepped;
    const bool loose = automatic && k == 0;
    if (loose && !LooseFirstGrid(*pass, guess, solution, solved)) return false;
    if (!solved && !Solve(*pass, guess, integratorTolerance_, solution)) return false;
    if (k == 0) looseFirst0_ = loose && solved;
    solution.Intervals = intervals;
    // The line of the grid at its tension, when the search's last pass wrote it: the line of the
    // grid before the finest is extrapolated.
    previousLine_ = std::move(lastLine_);
    lastLine_.reset();
    if (automatic && written_.Pass == pass.get() && written_.Tension == solution.Tension &&
        written_.Tolerance == integratorTolerance_) {
      lastLine_ = GridLine{intervals, profile_, written_.Result, pass->EndState()[intervals + 5]};
    }
    if (k == 0 || automatic) {
      report_.SearchPasses = report_.Passes - passesBefore;
      answer_ = solution;
      if (answerPass_) Count(*answerPass_);
      answerPass_ = std::move(pass);
    } else {
      Count(*pass);
    }
    grids_.push_back(solution);
    guess = solution;
    if (grids_.size() < 3) continue;
    const RadialEstimate e = FinestGridsEstimate();
    if (!automatic) {
      // Finer companions that show no steady convergence yet are joined by a finer one.
      const bool finer = plan[1] > plan[0];
      const int next = 2 * grids_.back().Intervals;
      if (finer && e.Order == 0 && next <= kLargestFinerCompanion) {
        plan.push_back(next);
        continue;
      }
      break;
    }
    const double share = kRadialShare * o_.Tolerance * solution.Tension;
    const RadialEstimate x = Extrapolation();
    const bool last = 2 * intervals > kLargestAutomaticIntervals;
    if (x.Order > 0 && solution.Slope > 0 && (x.Error <= share || (last && x.Error < e.Error))) {
      // The answer is the extrapolation beyond the three finest grids.
      gridAnswer_ = answer_;
      answer_.Tension = x.Limit;
      extrapolation_ = x;
      break;
    }
    // A first grid solved at the looser tolerance is not among the three grids of an answer's
    // radial error: the refinement goes on to a fourth.
    if ((e.Error <= share && !(looseFirst0_ && grids_.size() == 3)) || last) break;
  }
  return true;
}

RadialEstimate Solver::Extrapolation() const {
  RadialEstimate x;
  const size_t n = grids_.size();
  if (n < 4) return x;
  for (const GridSolution& g : grids_) {
    if (!g.PartZ.empty()) return x;
  }
  const auto through = [&](size_t last) {
    const int intervals[3] = {grids_[last].Intervals, grids_[last - 1].Intervals,
                              grids_[last - 2].Intervals};
    const double tension[3] = {grids_[last].Tension, grids_[last - 1].Tension,
                               grids_[last - 2].Tension};
    RadialEstimate e = EstimateRadialError(intervals, tension, tension[0], true);
    // Grids that show the formal order are extrapolated with it: the observed order carries
    // the next term's share and the integration's.
    if (e.Order >= kLowestFormalOrder && e.Order <= kHighestFormalOrder) {
      e.Order = kFormalRadialOrder;
    }
    e.Divisor = std::pow(2.0, std::min(e.Order, kFormalRadialOrder)) - 1;
    e.Limit = Extrapolated(tension[0], tension[1], e.Divisor);
    return e;
  };
  const RadialEstimate finest = through(n - 1);
  const RadialEstimate before = through(n - 2);
  if (finest.Order == 0 || before.Order == 0) return x;
  x = finest;
  // The extrapolations converge at least as fast as the grids: the move from the one before
  // bounds the error of the last, and more so where they converge faster.
  // The move is (4 F(N) - 5 F(N/2) + F(N/4)) / 3 at the formal order: what the searches
  // left over on those grids may hide part of it.
  const double hidden = (4 * grids_[n - 1].SearchError() + 5 * grids_[n - 2].SearchError() +
                         grids_[n - 3].SearchError()) /
                        3;
  x.Error = kRadialSafetyFactor * (std::fabs(finest.Limit - before.Limit) + hidden);
  return x;
}

RadialEstimate Solver::FinestGridsEstimate() const {
  std::vector<GridSolution> finest = grids_;
  std::sort(finest.begin(), finest.end(),
            [](const GridSolution& a, const GridSolution& b) { return a.Intervals > b.Intervals; });
  const int n[3] = {finest[0].Intervals, finest[1].Intervals, finest[2].Intervals};
  const double f[3] = {finest[0].Tension, finest[1].Tension, finest[2].Tension};
  return EstimateRadialError(n, f, answer_.Tension, answer_.Intervals == n[0]);
}

bool Solver::EstimateErrors() {
  // From the three finest grids, the answer's among them or coarser, or beyond them.
  const bool extrapolated = extrapolation_.Order > 0;
  const RadialEstimate radial = extrapolated ? extrapolation_ : FinestGridsEstimate();
  report_.RadialTensionError = radial.Error;
  report_.RadialOrder = radial.Order;

  // The integration error: the finest grid's solution again at a tighter tolerance, by a
  // Newton step with its slope from one pass (a line in parts is solved again).
  const GridSolution& own = extrapolated ? gridAnswer_ : answer_;
  GridSolution tighter;
  ConvergedPass& pass = *answerPass_;
  const double tight = integratorTolerance_ / kTighterIntegration;
  if (extrapolated) {
    // The written line is the extrapolation of the two finest grids' lines, each at its own
    // tension, value by value: its spinneret tension is the answer, and it meets the target
    // as both do. The finest grid's line at the tighter tolerance gives the move of its
    // solution; the two lines show what the searches left over on the two grids.
    const GridSolution& coarse = grids_[grids_.size() - 2];
    if (!previousLine_ || previousLine_->Intervals != coarse.Intervals) {
      auto coarsePass = MakePass(coarse.Intervals);
      GridLine c{coarse.Intervals, profile_, {}, 0};
      if (!Pass(*coarsePass, coarse.Tension, integratorTolerance_, &c.Profile, c.Result)) {
        return false;
      }
      Count(*coarsePass);
      c.GasSolventFlow = coarsePass->EndState()[coarse.Intervals + 5];
      previousLine_ = std::move(c);
    }
    const SpinningLineProfile& coarseProfile = previousLine_->Profile;
    const PassResult& coarseLine = previousLine_->Result;
    const double c = 1 / radial.Divisor;
    const double coarseSearched =
        c * std::max(coarse.SearchError(),
                     coarse.Tension * std::fabs(target_.Mismatch(coarseLine)) / coarse.Slope);
    const auto ends = [&](const PassResult& r) {
      if (r.End == PassEnd::Complete) return true;
      return Fail(ConvergedStatus::CalculationFailed,
                  "Sorry, this case does not converge: the line ends early at z = " +
                      FormatZ(r.EndZ) + " cm.");
    };
    // The finest grid's line at the search's tolerance: the search's last pass may have
    // written it already.
    const bool searchedLine = written_.Pass == &pass && written_.Tension == own.Tension &&
                              written_.Tolerance == integratorTolerance_;
    PassResult tightLine;
    PassResult line;
    bool measured = true;  // the mismatch of the line at the search's tolerance
    if (searchedLine) {
      line = written_.Result;
      if (!Pass(pass, own.Tension, tight, nullptr, tightLine)) return false;
    } else {
      // A Newton step solved the grid. The line at the tighter tolerance is written, and the
      // solution's mismatch at the search's tolerance is only known to be within what the
      // step left over: |F(tight) - F| <= F (|mismatch(tight)| + |left over|) / slope. Where
      // that keeps the tolerance and the written line's end within a share of it, no pass at
      // the search's tolerance is needed; otherwise it is run, and measures the mismatch.
      if (!Pass(pass, own.Tension, tight, &profile_, tightLine)) return false;
      if (!ends(tightLine) || !ends(coarseLine)) return false;
      const double move = own.Tension *
                          (std::fabs(target_.Mismatch(tightLine)) + std::fabs(own.Mismatch)) /
                          own.Slope;
      const double integration =
          kSafetyFactor * move * (1 + 2 * c) + (1 + c) * own.SearchError() + coarseSearched;
      const double endMiss = Extrapolated(target_.RelativeMiss(tightLine),
                                          target_.RelativeMiss(coarseLine), radial.Divisor);
      const bool enough = radial.Error + integration <= o_.Tolerance * answer_.Tension &&
                          std::fabs(endMiss) <= kTighterLineEndShare * o_.Tolerance;
      if (enough) {
        report_.IntegrationTensionError = integration;
        line = tightLine;
        measured = false;
      } else if (!Pass(pass, own.Tension, integratorTolerance_, &profile_, line)) {
        return false;
      }
    }
    if (!ends(coarseLine) || !ends(tightLine) || !ends(line)) return false;
    if (measured) {
      const double mismatch = target_.Mismatch(line);
      tighter = own;
      tighter.Tension =
          own.Tension * std::exp(-(target_.Mismatch(tightLine) - mismatch) / own.Slope);
      const double searched =
          (1 + c) * std::max(own.SearchError(), own.Tension * std::fabs(mismatch) / own.Slope) +
          coarseSearched;
      // F = F(N) + c (F(N) - F(N/2)) with c = 1 / (2^p - 1): the errors of the two finest
      // grids' solutions carry over with the weights 1 + c and c. The grid before is taken to
      // have the integration error of the finest.
      report_.IntegrationTensionError =
          kSafetyFactor * std::fabs(tighter.Tension - own.Tension) * (1 + 2 * c) + searched;
    }
    coarseGained_ = previousLine_->GasSolventFlow;
    ExtrapolateLine(coarseProfile, radial.Divisor);
    line.EndVelocity = Extrapolated(line.EndVelocity, coarseLine.EndVelocity, radial.Divisor);
    line.EndTension = Extrapolated(line.EndTension, coarseLine.EndTension, radial.Divisor);
    written_ = Written{&pass, answer_.Tension, integratorTolerance_, line};
  } else if (own.PartZ.empty()) {
    if (!Shifted(pass, own, tight, tighter)) return false;
  } else if (!Solve(pass, own, tight, tighter)) {
    return false;
  }
  if (!extrapolated) {
    // The move to the tighter tolerance is measured from the solution's own mismatch; where
    // that is only what a Newton step is taken to leave over, the true one may lie anywhere
    // within it, and the move by up to twice as much more.
    double move = std::fabs(tighter.Tension - own.Tension);
    if (!own.MismatchMeasured) move += 2 * own.SearchError();
    report_.IntegrationTensionError = kSafetyFactor * move + own.SearchError();
  }
  if (radial.Order == 0) {
    report_.ToleranceNote = "the radial grids do not yet converge steadily";
  }
  return true;
}

bool Solver::Conclude() {
  PassResult final;
  if (!WrittenLine(*answerPass_, answer_, integratorTolerance_, final)) return false;
  Count(*answerPass_);
  Finish(*answerPass_, final, answer_.Intervals, answer_.Tension);
  const double tol = o_.Tolerance;
  report_.EstimatedTensionError = report_.RadialTensionError + report_.IntegrationTensionError;
  report_.EstimatedRelativeTensionError = report_.EstimatedTensionError / answer_.Tension;
  report_.EndMismatch = target_.RelativeMiss(final);
  report_.SplitZ = split_;
  report_.LargestPartStep = answer_.LargestJump;
  const bool errorMet = report_.EstimatedRelativeTensionError <= tol;
  const bool endMet = std::fabs(report_.EndMismatch) <= tol;
  const bool stepsMet = report_.LargestPartStep <= tol;
  report_.ToleranceMet = errorMet && endMet && stepsMet;
  if (report_.ToleranceMet) {
    report_.ToleranceNote.clear();
  } else {
    std::string note;
    if (!errorMet) {
      note = "the estimated relative error " + FormatShare(report_.EstimatedRelativeTensionError) +
             " exceeds the tolerance (radial grid " + FormatShare(report_.RadialTensionError) +
             " dyn, integration and search " + FormatShare(report_.IntegrationTensionError) +
             " dyn)";
      if (!report_.ToleranceNote.empty()) note += "; " + report_.ToleranceNote;
    }
    if (!endMet) {
      if (!note.empty()) note += "; ";
      note += std::string("the line ends ") + FormatShare(100 * std::fabs(report_.EndMismatch)) +
              " % " + (report_.EndMismatch > 0 ? "above" : "below") +
              (target_.Tension ? " the take-up tension" : " the take-up speed");
    }
    if (!stepsMet) {
      if (!note.empty()) note += "; ";
      note += "the line's tension steps by up to " + FormatShare(report_.LargestPartStep) +
              " of itself where the line is split in parts";
    }
    report_.ToleranceNote = note;
  }
  return true;
}

bool Solver::Run() {
  deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(o_.TimeLimitSeconds));
  if (!CheckOptions() || !LayOut()) return false;
  if (o_.SpinneretTension) return LineForTension(*o_.SpinneretTension, integratorTolerance_);
  if (RefineGrid()) {
    return EstimateErrors() && Conclude() &&
           Sensitivities(GridOf(answer_.Intervals), answer_.Tension, integratorTolerance_, true);
  }
  // Every tension tried lets the line's tension fall to zero: as with the classic method, the
  // line of the highest one is written up to that point.
  if (everyTensionFellToZero_ && grids_.empty()) {
    const std::string message = report_.Message;
    if (!LineForTension(low_.Tension, integratorTolerance_)) return false;
    report_.Message = message;
    report_.ToleranceMet = false;
    report_.ToleranceNote = "the tension falls to zero";
    return true;
  }
  return false;
}

bool Solver::WrittenLine(ConvergedPass& pass, const GridSolution& solution, double tolerance,
                         PassResult& final) {
  if (!solution.PartZ.empty()) {
    const size_t parts = solution.PartZ.size();
    if (!Pass(pass, solution.Tension, tolerance, &profile_, final, solution.PartZ[0])) {
      return false;
    }
    for (size_t k = 0; k < parts && final.End == PassEnd::Complete; ++k) {
      const std::vector<double> start = pass.EndState();
      const double zEnd = k + 1 < parts ? solution.PartZ[k + 1] : printZ_.back();
      if (!PartPass(pass, start, solution.PartZ[k], zEnd, solution.PartTension[k], tolerance,
                    &profile_, final)) {
        return false;
      }
    }
  } else if (written_.Pass == &pass && written_.Tension == solution.Tension &&
             written_.Tolerance == tolerance) {
    final = written_.Result;
  } else if (!Pass(pass, solution.Tension, tolerance, &profile_, final)) {
    return false;
  }
  return CheckWritten(final);
}

bool Solver::CheckWritten(const PassResult& final) {
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

void Solver::ExtrapolateLine(const SpinningLineProfile& coarse, double divisor) {
  SpinningLineProfile& fine = profile_;
  std::vector<double> SpinningLineProfile::*const columns[] = {
      &SpinningLineProfile::ProfileAvgSolvent,
      &SpinningLineProfile::ProfileSurfaceSolvent,
      &SpinningLineProfile::ProfileYarnVelocity,
      &SpinningLineProfile::ProfileYarnTemp,
      &SpinningLineProfile::ProfileTension,
      &SpinningLineProfile::ProfileGasTemp,
      &SpinningLineProfile::ProfileGasVelocity,
      &SpinningLineProfile::ProfileGasSolventFraction,
      &SpinningLineProfile::ProfileElongViscosity,
      &SpinningLineProfile::ProfileHeatTransfer,
      &SpinningLineProfile::ProfileFilamentHeatCoeff,
      &SpinningLineProfile::ProfileEvaporationFlux};
  for (int i = 0; i < fine.ProfilePointCount; ++i) {
    const auto k = static_cast<size_t>(i);
    for (const auto column : columns) {
      double& value = (fine.*column)[k];
      value = Extrapolated(value, (coarse.*column)[k], divisor);
    }
    // The radial profile is written at the same fractions of the radius on every grid.
    for (size_t j = 0; j < kRadialCapacity; ++j) {
      double& value = fine.ProfileRadialSolvent[k][j];
      value = Extrapolated(value, coarse.ProfileRadialSolvent[k][j], divisor);
    }
  }
}

void Solver::Finish(const ConvergedPass& pass, const PassResult& final, int intervals,
                    double tension) {
  const std::vector<double>& end = pass.EndState();
  const double wEnd = profile_.ProfileAvgSolvent[profile_.ProfilePointCount - 1];
  const double lost =
      state_.Constants.TotalSolventFlow - state_.Constants.TotalPolymerFlow * wEnd / (1 - wEnd);
  const double gas = extrapolation_.Order > 0
                         ? Extrapolated(end[intervals + 5], coarseGained_, extrapolation_.Divisor)
                         : end[intervals + 5];
  const double gained = gas - state_.Constants.GasSolventMassFlow;
  report_.SolventBalanceError = lost != 0 ? (lost - gained) / lost : 0;
  report_.Status = ConvergedStatus::Converged;
  report_.RadialIntervals = intervals;
  report_.SurfaceClustered = clustered_;
  report_.SpinneretTension = tension;
  report_.EndVelocity = final.EndVelocity;
  report_.EndTension = final.EndTension;
}

bool Solver::LineForTension(double tension, double tolerance) {
  if (!(tension > 0 && std::isfinite(tension))) {
    return Fail(ConvergedStatus::InvalidOptions, "The spinneret tension must be above zero.");
  }
  const int intervals = o_.RadialIntervals == 0 ? kLargestAutomaticIntervals : o_.RadialIntervals;
  auto pass = MakePass(intervals);
  PassResult final;
  if (!Pass(*pass, tension, tolerance, &profile_, final)) return false;
  if (final.End == PassEnd::TensionNotPositive) {
    // As with the classic method: the line is written up to where its tension fell to zero.
    for (int i = 0; i < profile_.ProfilePointCount; ++i) {
      if (printZ_[i] > final.EndZ) profile_.ProfileTension[i] = 0;
    }
    state_.Outcome.TensionBelowZero = true;
  } else if (!CheckWritten(final)) {
    return false;
  }
  Count(*pass);
  Finish(*pass, final, intervals, tension);
  report_.ToleranceMet = true;
  // A line that ends where its tension falls to zero has no derivatives to give.
  if (state_.Outcome.TensionBelowZero) return true;
  return Sensitivities(GridOf(intervals), tension, tolerance, false);
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
