// One pass of the converged method: the line integrated from the spinneret for one tension
// there, stretch by stretch between the jacket boundaries and the changes of the print grid.
#pragma once

#include <chrono>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/converged/ConvergedModel.h"
#include "core/converged/StiffIntegrator.h"
#include "core/results/SpinningLineProfile.h"

namespace korvane {

enum class PassEnd {
  Complete,            // reached the end of the line
  TensionNotPositive,  // the tension fell to zero
  AboveVelocityLimit,  // faster than the upper velocity limit
  BelowVelocityLimit,  // slower than the lower velocity limit
  Failed,              // the integrator failed (FailureText, at EndZ)
  Stopped,             // cancelled or out of time
};

struct PassResult {
  PassEnd End = PassEnd::Failed;
  double EndZ = 0;
  double EndVelocity = 0;
  double EndTension = 0;
  std::string FailureText;
};

// Limits of a pass and what stops it from outside.
struct PassBounds {
  double VelocityUpperLimit = 0;
  double VelocityLowerLimit = 0;
  long MaxStepsPerStretch = 20000;
  std::chrono::steady_clock::time_point Deadline = std::chrono::steady_clock::time_point::max();
  std::function<bool()> Cancelled;  // polled; may be empty
};

class ConvergedPass {
 public:
  // `printZ` are the positions of the print grid (ascending, the first 0); the stretches end
  // at `breaks` (ascending, inside the line) and at the end of the line.
  ConvergedPass(const ConvergedModel& model, std::vector<double> printZ, std::vector<double> breaks,
                PassBounds bounds);

  // Integrates the line for the tension at the spinneret with the integrator's relative
  // tolerance. With `profile`, fills its print points (point 0 included). A pass given zEnd
  // stops there, Complete when it gets that far.
  PassResult Run(double tension, double relativeTolerance, SpinningLineProfile* profile,
                 double zEnd = std::numeric_limits<double>::infinity());
  // Integrates a part of the line, from `start` at zStart (the tension in it replaced by
  // `tension`) to zEnd; a pass that reaches zEnd is Complete there. The print points in
  // [zStart, zEnd] are filled, as in Run.
  PassResult RunPart(const std::vector<double>& start, double zStart, double zEnd, double tension,
                     double relativeTolerance, SpinningLineProfile* profile);

  StiffIntegrator::Statistics Counts() const { return integrator_.Counts(); }
  int Intervals() const { return model_.Grid().Intervals; }
  // The state at the end of the last pass.
  const std::vector<double>& EndState() const { return y_; }
  // A pass was stopped because it ran out of time (rather than cancelled).
  bool TimedOut() const { return timedOut_; }

 private:
  // From the state in y_ at zStart to zEnd.
  PassResult Integrate(double zStart, double zEnd, double relativeTolerance,
                       SpinningLineProfile* profile);
  int Rhs(const double* y, double* dy);
  bool StopRequested();
  void StorePoint(int i, SpinningLineProfile& profile, const double* y);

  ConvergedModel model_;
  std::vector<double> printZ_;
  std::vector<double> breaks_;
  PassBounds bounds_;
  std::vector<double> y_;
  std::vector<double> absTol_;
  std::vector<double> scale_;
  long evaluations_ = 0;
  bool stopped_ = false;
  bool timedOut_ = false;
  StiffIntegrator integrator_;
};

// The stretch ends of a line: the ends of the print grid's sections with steps, and the
// jacket boundaries inside the line.
std::vector<double> StretchBreaks(const RunParameters& params, const std::vector<double>& printZ);

}  // namespace korvane
