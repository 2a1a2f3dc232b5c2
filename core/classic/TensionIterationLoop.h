// The shooting iteration on the spinneret tension, for any pass that yields an end velocity.
#pragma once

#include <cmath>
#include <string_view>

#include "core/model/ArithmeticFault.h"
#include "core/results/RunMessages.h"
#include "core/results/SimulationReporter.h"
#include "core/results/SimulationState.h"

namespace korvane {

// Relative agreement of end velocity and take-up speed that ends the iteration.
inline constexpr double kTakeUpTolerance = 5e-5;
// Passes after which the iteration gives up (the next pass is still tested).
inline constexpr int kPassLimit = 5000;
// Secant corrections in one bracketing cycle; the next one starts a new cycle.
inline constexpr int kSecantsPerCycle = 10;

// Runs `pass()` with state.Iteration.TensionGuess until the end velocity it returns meets
// takeUpSpeed. A pass reports a failure by clearing state.Outcome.CalculationOk; its return value
// is then ignored. The corrections assume the end velocity rises with the tension: coarse steps
// (TensionStep) until both a too-slow and a too-fast pass are known, then secants through the
// latest low and high points, with the fine step from the first secant on, and a new cycle after 10
// secants.
template <typename Pass>
void RunTensionIteration(double takeUpSpeed, SimulationState& state, SimulationReporter& reporter,
                         Pass&& pass) {
  state.Outcome.Cancelled = false;
  if (state.Outcome.Fault.Kind != FaultKind::None) {
    // The initial state already faulted.
    state.Outcome.CalculationOk = false;
    return;
  }
  state.Outcome.CalculationOk = true;
  ClearFaultFlags();

  double xHi = 0;
  double fHi = -1;  // no high point yet
  double xLo = 0;
  double fLo = 1;  // no low point yet
  int secants = 0;
  bool sideHigh = false;
  for (;;) {
    const double endVelocity = pass();
    if (!state.Outcome.CalculationOk) return;

    const double relativeDifference = std::fabs(endVelocity - takeUpSpeed) / takeUpSpeed;
    if (const FaultKind kind = FaultKindOf(RaisedFaultFlags()); kind != FaultKind::None) {
      RecordFault(state.Outcome, kind, 0);
      return;
    }
    if (!reporter.PassFinished(state.Iteration.CalculationLoopCount, relativeDifference)) {
      state.Outcome.Cancelled = true;
      state.Outcome.CalculationOk = false;
      return;
    }
    // Whatever the surroundings computed while told of the pass is none of the march's faults.
    ClearFaultFlags();

    if (relativeDifference < kTakeUpTolerance) break;
    if (state.Iteration.CalculationLoopCount > kPassLimit) {
      reporter.ShowMessage(kIterationDoesNotConverge);
      state.Outcome.CalculationOk = false;
      break;
    }

    state.Iteration.CalculationLoopCount = state.Iteration.CalculationLoopCount + 1;
    const double d = endVelocity - takeUpSpeed;
    if (d <= 0) {
      xLo = state.Iteration.TensionGuess;
      fLo = d;
      sideHigh = false;
    } else {
      xHi = state.Iteration.TensionGuess;
      fHi = d;
      sideHigh = true;
    }

    if (fHi * fLo > 0) {
      // One side has no point yet: step towards it.
      state.Iteration.TensionGuess =
          sideHigh ? xHi - state.Iteration.TensionStep : xLo + state.Iteration.TensionStep;
      continue;
    }
    if (xHi == xLo) {
      // Both points at the same tension: the secant has no slope.
      RecordFault(state.Outcome, FaultKind::DivisionByZero, 0);
      return;
    }
    const double slope = (fHi - fLo) / (xHi - xLo);
    const double intercept = fHi - slope * xHi;
    state.Iteration.TensionGuess = -intercept / slope;
    if (const FaultKind kind = FaultKindOf(RaisedFaultFlags()); kind != FaultKind::None) {
      RecordFault(state.Outcome, kind, 0);
      return;
    }
    ++secants;
    state.Iteration.TensionStep = state.Iteration.FineTensionStep;
    if (secants > kSecantsPerCycle) {
      fHi = -1;
      fLo = 1;
      secants = 0;
    }
  }
  ShowLoopCount(reporter, state.Iteration.CalculationLoopCount);
}

}  // namespace korvane
