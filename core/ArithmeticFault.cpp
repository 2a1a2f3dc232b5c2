#include "core/ArithmeticFault.h"

#include <cfenv>

namespace korvane {

void ClearFaultFlags() {
  std::feclearexcept(FE_ALL_EXCEPT);
}

FaultKind FaultKindOf(FaultFlags flags) {
  if (flags & kDivisionByZeroFlag) return FaultKind::DivisionByZero;
  if (flags & kOverflowFlag) return FaultKind::Overflow;
  if (flags & kInvalidFlag) return FaultKind::InvalidOperation;
  return FaultKind::None;
}

void RecordFault(RunOutcomeFlags& outcome, FaultKind kind, double z) {
  outcome.CalculationOk = false;
  if (outcome.Fault.Kind == FaultKind::None) {
    outcome.Fault.Kind = kind;
    outcome.Fault.Z = z;
  }
}

void FailGuardedStep(SimulationState& state, SimulationReporter& reporter, std::string_view message,
                     FaultFlags flagsAtEntry) {
  const FaultKind earlier = FaultKindOf(flagsAtEntry);
  if (earlier != FaultKind::None) {
    RecordFault(state.Outcome, earlier, 0);
    return;
  }
  state.Outcome.CalculationOk = false;
  reporter.ShowMessage(message);
}

}  // namespace korvane
