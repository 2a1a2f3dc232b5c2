// How a run of the simulation ended, as the run driver reads it.
#pragma once

namespace korvane {

// A floating-point fault (invalid operation, division by zero, overflow) outside the guarded
// steps of the core. It ends the run; the driver reports its kind and where it happened.
enum class FaultKind { None, InvalidOperation, DivisionByZero, Overflow };

struct FloatingPointFault {
  FaultKind Kind = FaultKind::None;
  double Z = 0;  // cm from the spinneret where the faulting step started
};

struct RunOutcomeFlags {
  bool CalculationOk = false;     // the profile holds a usable last pass
  bool TensionBelowZero = false;  // the results end where the tension fell to zero
  bool Cancelled = false;         // the surroundings asked the iteration to stop
  FloatingPointFault Fault;
};

}  // namespace korvane
