#include "core/converged/LogTensionSearch.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace korvane {

namespace {

// Largest step in ln F before a bracket is known: a factor of 8.
constexpr double kLargestLogStep = 2.0794415416798357;

struct End {
  bool Known = false;
  bool HasValue = false;
  double X = 0;
  double F = 0;  // the mismatch
  double G = 0;  // the mismatch as the chord counts it (halved by the Illinois correction)
};

// The slope between the ends of a bracket, from their true mismatches.
double ChordSlope(const End& lo, const End& hi) {
  return (hi.F - lo.F) / (hi.X - lo.X);
}

// d mismatch / d ln F at the root x from the trials with a value: between the two nearest it
// that lie at least `spread` apart (closer ones show the noise of the passes more than the
// slope), or the two furthest apart; `fallback` without two.
double SlopeNear(const std::vector<std::pair<double, double>>& points, double x, double spread,
                 double fallback) {
  double best = fallback;
  double bestDistance = INFINITY;
  double widest = 0;
  for (size_t a = 0; a < points.size(); ++a) {
    for (size_t b = a + 1; b < points.size(); ++b) {
      const double dx = points[b].first - points[a].first;
      if (dx == 0) continue;
      const double slope = (points[b].second - points[a].second) / dx;
      const double distance =
          std::max(std::fabs(points[a].first - x), std::fabs(points[b].first - x));
      if (std::fabs(dx) >= spread && distance < bestDistance) {
        bestDistance = distance;
        best = slope;
      } else if (!std::isfinite(bestDistance) && std::fabs(dx) > widest) {
        widest = std::fabs(dx);
        best = slope;
      }
    }
  }
  return best > 0 ? best : fallback;
}

}  // namespace

TensionSearchResult SearchLogTension(double initialTension, const TensionSearchSettings& settings,
                                     const std::function<TensionTrial(double tension)>& trial) {
  TensionSearchResult result;
  const double xMin = std::log(settings.LowestTension);
  const double xMax = std::log(settings.HighestTension);
  double x = std::clamp(std::log(initialTension), xMin, xMax);
  End lo;  // mismatch < 0: tension too low
  End hi;  // mismatch > 0: tension too high
  End previous;
  int retainedLo = 0;  // times in a row the low end was kept (Illinois correction)
  int retainedHi = 0;
  double bestAbs = INFINITY;
  double slope = settings.FirstSlope;
  double lastChord = 0;  // the slope between the two passes before the last, both with a value
  std::vector<std::pair<double, double>> valued;  // (ln F, mismatch) of the trials with a value
  double widths[2] = {0, 0};                      // the bracket's width two passes and one pass ago

  for (;;) {
    if (result.Passes >= settings.PassLimit) {
      result.Outcome = TensionSearchResult::PassLimit;
      return result;
    }
    const double tension = std::exp(x);
    const TensionTrial t = trial(tension);
    ++result.Passes;
    if (t.Outcome == TensionTrial::Abort) {
      result.Outcome = TensionSearchResult::Aborted;
      return result;
    }
    const bool hasValue = t.Outcome == TensionTrial::Value;
    const bool tooHigh = t.Outcome == TensionTrial::TooHigh || (hasValue && t.Mismatch > 0);
    if (tooHigh) {
      result.SeenTooHigh = true;
    } else {
      result.SeenTooLow = true;
    }
    // A pass whose mismatch is under half the last value's closes in on the root faster than
    // halving the bracket would.
    const bool closingIn = hasValue && !valued.empty() &&
                           std::fabs(t.Mismatch) < 0.5 * std::fabs(valued.back().second);
    if (hasValue) valued.emplace_back(x, t.Mismatch);
    if (hasValue && std::fabs(t.Mismatch) < bestAbs) {
      bestAbs = std::fabs(t.Mismatch);
      result.Tension = tension;
      result.Mismatch = t.Mismatch;
    }
    if (hasValue && std::fabs(t.Mismatch) < settings.MismatchTolerance) {
      result.Outcome = TensionSearchResult::Converged;
      result.Slope = SlopeNear(valued, x, 100 * settings.LogTensionTolerance, slope);
      return result;
    }
    if (slope <= 0 && t.SlopeHint > 0) slope = t.SlopeHint;
    if (!hasValue) lastChord = 0;
    if (hasValue && previous.HasValue && x != previous.X) {
      slope = (t.Mismatch - previous.F) / (x - previous.X);
      // The search ends on the Newton step x - F / slope when what it leaves is within the
      // tolerance and the step stays inside the search's range.
      const auto endsOnNewtonStep = [&](double left) {
        const double root = x - t.Mismatch / slope;
        if (!(std::fabs(left) <= settings.MismatchTolerance && root >= xMin && root <= xMax))
          return false;
        result.Outcome = TensionSearchResult::Converged;
        result.Tension = std::exp(root);
        result.Mismatch = left;
        result.Slope = slope;
        result.NewtonStep = true;
        return true;
      };
      if (settings.CurvatureAcceptance && slope > 0 && lastChord > 0 &&
          endsOnNewtonStep(std::fabs(t.Mismatch) * std::fabs(slope - lastChord) / slope))
        return result;
      lastChord = slope;
      if (settings.NewtonAcceptance > 0 && slope > 0 &&
          endsOnNewtonStep(settings.NewtonAcceptance * t.Mismatch))
        return result;
    }
    previous = End{true, hasValue, x, t.Mismatch, t.Mismatch};
    if (tooHigh) {
      result.HighTension = tension;
      hi = previous;
      ++retainedLo;
      retainedHi = 0;
    } else {
      result.LowTension = tension;
      lo = previous;
      ++retainedHi;
      retainedLo = 0;
    }

    if (!(lo.Known && hi.Known)) {
      // No bracket yet: a Newton step with the slope known so far, or a blind one.
      // The blind step doubles while the passes stay on one side.
      const double blind = settings.BlindLogStep * std::ldexp(1.0, std::min(result.Passes - 1, 30));
      double step = tooHigh ? -blind : blind;
      // A Newton step is taken as it is (a secant follows if it falls short); a guess at least
      // moves by a share of the blind step.
      const bool newton = hasValue && slope > 0;
      if (newton) step = -t.Mismatch / slope;
      step = std::clamp(step, -kLargestLogStep, kLargestLogStep);
      if (!newton && tooHigh && step > -0.01 * blind) step = -0.01 * blind;
      if (!newton && !tooHigh && step < 0.01 * blind) step = 0.01 * blind;
      // A step that falls short of the tolerance could not move the mismatch any more.
      if (std::fabs(step) < settings.LogTensionTolerance) {
        step = std::copysign(settings.LogTensionTolerance, step);
      }
      const double nextX = x + step;
      if ((nextX < xMin && x <= xMin) || (nextX > xMax && x >= xMax)) {
        result.Outcome = TensionSearchResult::NoBracket;
        return result;
      }
      x = std::clamp(nextX, xMin, xMax);
      continue;
    }

    const double width = hi.X - lo.X;
    if (std::fabs(width) < settings.LogTensionTolerance) {
      // Only a change of sign between two values is a root; a bracket with a side that
      // has no value closes on where the passes start to end early.
      result.Outcome = lo.HasValue && hi.HasValue ? TensionSearchResult::Converged
                                                  : TensionSearchResult::NoBracket;
      if (lo.HasValue && hi.HasValue) slope = ChordSlope(lo, hi);
      result.Slope = SlopeNear(valued, x, 100 * settings.LogTensionTolerance, slope);
      return result;
    }
    const double lower = std::min(lo.X, hi.X);
    const double upper = std::max(lo.X, hi.X);
    double margin = 1e-3 * (upper - lower);
    double nextX = 0.5 * (lo.X + hi.X);
    if (lo.HasValue && hi.HasValue) {
      // Regula falsi; an end kept twice in a row counts with half its mismatch (Illinois).
      if (retainedLo >= 2) lo.G *= 0.5;
      if (retainedHi >= 2) hi.G *= 0.5;
      nextX = lo.X - lo.G * (hi.X - lo.X) / (hi.G - lo.G);
    }
    // Near the root a Newton step with the latest slope beats the chord and the halving.
    if (hasValue && slope > 0) {
      const double newton = x - t.Mismatch / slope;
      if (newton > lower && newton < upper) {
        nextX = newton;
        // A Newton step from a close end may stay closer to it than the chord would.
        margin = std::min(margin, 0.1 * std::fabs(newton - x));
      }
    }
    // A bracket that did not halve over the last two passes, while the mismatch did not
    // either, is halved: the chord and the Newton step can creep along one end.
    if (widths[0] > 0 && upper - lower > 0.5 * widths[0] && !closingIn) {
      nextX = 0.5 * (lower + upper);
    }
    widths[0] = widths[1];
    widths[1] = upper - lower;
    // Keep clear of the ends, where the chord stalls.
    nextX = std::clamp(nextX, lower + margin, upper - margin);
    x = nextX;
  }
}

}  // namespace korvane
