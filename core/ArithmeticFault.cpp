#include "core/ArithmeticFault.h"

#include <cfenv>

#if defined(__SSE2__) && (defined(__x86_64__) || defined(_M_X64))
#include <immintrin.h>
#define KORVANE_SSE_FLAGS 1
#endif

namespace korvane {

namespace {

#ifdef KORVANE_SSE_FLAGS
// All double arithmetic of the core runs in the SSE unit, whose status register holds the
// sticky flags; reading it directly is much cheaper than the x87-and-SSE library call.
constexpr unsigned kInvalidBit = 0x01;
constexpr unsigned kDivideByZeroBit = 0x04;
constexpr unsigned kOverflowBit = 0x08;
#else
constexpr unsigned kInvalidBit = FE_INVALID;
constexpr unsigned kDivideByZeroBit = FE_DIVBYZERO;
constexpr unsigned kOverflowBit = FE_OVERFLOW;
#endif
constexpr unsigned kFaultBits = kInvalidBit | kDivideByZeroBit | kOverflowBit;

}  // namespace

FaultFlags RaisedFaultFlags() {
#ifdef KORVANE_SSE_FLAGS
  return _mm_getcsr() & kFaultBits;
#else
  return static_cast<FaultFlags>(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW));
#endif
}

void ClearFaultFlags() {
  std::feclearexcept(FE_ALL_EXCEPT);
}

FaultKind FaultKindOf(FaultFlags flags) {
  if (flags & kDivideByZeroBit) return FaultKind::DivisionByZero;
  if (flags & kOverflowBit) return FaultKind::Overflow;
  if (flags & kInvalidBit) return FaultKind::InvalidOperation;
  return FaultKind::None;
}

void RecordFault(SimulationState& state, FaultKind kind, double z) {
  state.CalculationOk = false;
  if (state.Fault.Kind == FaultKind::None) {
    state.Fault.Kind = kind;
    state.Fault.Z = z;
  }
}

void FailGuardedStep(SimulationState& state, SimulationReporter& reporter, std::string_view message,
                     FaultFlags flagsAtEntry) {
  const FaultKind earlier = FaultKindOf(flagsAtEntry);
  if (earlier != FaultKind::None) {
    RecordFault(state, earlier, 0);
    return;
  }
  state.CalculationOk = false;
  reporter.ShowMessage(message);
}

}  // namespace korvane
