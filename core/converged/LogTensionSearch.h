// A bracketed root finder on the logarithm of the spinneret tension: a safeguarded secant
// (regula falsi with the Illinois correction, bisection while a bracket side has no value).
#pragma once

#include <functional>

namespace korvane {

// What one pass says about a trial tension: a signed mismatch with the target, or only on
// which side of it the pass lies (a pass that ended early).
struct TensionTrial {
  enum Kind { Value, TooHigh, TooLow, Abort } Outcome = Abort;
  double Mismatch = 0;   // for Value: > 0 when the tension is too high
  double SlopeHint = 0;  // d mismatch / d ln F as the pass suggests it (0: none)
};

struct TensionSearchSettings {
  double MismatchTolerance = 1e-6;    // |mismatch| that ends the search
  double LogTensionTolerance = 1e-7;  // bracket width in ln F that ends the search
  int PassLimit = 60;
  double FirstSlope = 0;  // d mismatch / d ln F expected at the start (0: unknown)
  double BlindLogStep = 0.69314718055994531;  // step in ln F when nothing better is known
  // When above 0: a Newton step with the chord of two passes is the answer without a pass of
  // its own where this share of the mismatch it starts from (what it leaves over, the chord's
  // slope being off by that share) is within MismatchTolerance. Its Mismatch is that share.
  double NewtonAcceptance = 0;
  // A Newton step with the chord of the last two of three passes in a row with a value is the
  // answer without a pass of its own where the last mismatch, times the change of the chords'
  // slopes as a share of the last (how far the slope changes over their span, which is wider
  // than the step's), is within MismatchTolerance. Its Mismatch is that product.
  bool CurvatureAcceptance = false;
  double LowestTension = 1e-6;  // dyn; the search gives up below and above these
  double HighestTension = 1e6;
};

struct TensionSearchResult {
  enum Kind { Converged, NoBracket, PassLimit, Aborted } Outcome = Aborted;
  double Tension = 0;   // the best trial
  double Mismatch = 0;  // its mismatch
  double Slope = 0;     // d mismatch / d ln F near the root (0: unknown)
  // The search ended on a Newton step without a pass at its tension: Mismatch is what the step
  // is taken to leave over, not a pass's.
  bool NewtonStep = false;
  int Passes = 0;
  bool SeenTooHigh = false;  // for a message when no bracket was found
  bool SeenTooLow = false;
  // The closest trials on either side of the target (0: none), the bracket when there is one.
  double LowTension = 0;
  double HighTension = 0;
};

TensionSearchResult SearchLogTension(double initialTension, const TensionSearchSettings& settings,
                                     const std::function<TensionTrial(double tension)>& trial);

}  // namespace korvane
