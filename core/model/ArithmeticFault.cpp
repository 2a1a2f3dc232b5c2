#include "core/model/ArithmeticFault.h"

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

StepStatus FailGuardedStep(const GuardSite& site, std::string_view message,
                           FaultFlags flagsAtEntry) {
  const FaultKind earlier = FaultKindOf(flagsAtEntry);
  if (earlier != FaultKind::None) {
    RecordFault(site.Outcome, earlier, site.Z);
    return StepStatus::Fault;
  }
  site.Outcome.CalculationOk = false;
  site.Reporter.ShowMessage(message);
  return StepStatus::Refused;
}

}  // namespace korvane
