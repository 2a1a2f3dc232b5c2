// Floating-point faults of the simulation: invalid operations, divisions by zero and
// overflows (an underflow silently gives 0).
//
// The guarded steps of the core test their own operations explicitly and report a failure
// through a message; every other faulting operation is left to raise the processor's
// sticky exception flags, which the march reads once per axial step. A guarded step that
// fails while the flags already show an earlier, unguarded fault of the same step does not
// show its message: the earlier fault is what ended the calculation.
#pragma once

#include <atomic>
#include <cfenv>
#include <string_view>

#if defined(__SSE2__) && defined(__x86_64__)
#include <xmmintrin.h>
#define KORVANE_SSE_FLAGS 1
#endif

#include "core/model/StepStatus.h"
#include "core/results/RunOutcomeFlags.h"
#include "core/results/SimulationReporter.h"

namespace korvane {

// The texts with which the guarded steps report that a case does not converge.
inline constexpr std::string_view kAreaHasNoRootInDerivatives =
    "Sorry, this case does not converge!";
inline constexpr std::string_view kAreaHasNoRootInDiffusion =
    "Sorry, this case does not converge!!";
inline constexpr std::string_view kDiffusionPowerFailed = "Sorry, this case does not converge!!!";
inline constexpr std::string_view kHeatTransferPowerFailed =
    "Sorry, this case does not converge!!!!";
inline constexpr std::string_view kGasViscosityNotPositive = "Sorry, this case does not converge.";
// Followed by the position in cm and " cm.": the accepted surface iteration of a diffusion step
// left a solvent weight fraction outside 0 to 1.
inline constexpr std::string_view kSolventFractionLeavesRange =
    "Sorry, this case does not converge: the solvent fraction leaves 0 to 1 at z = ";

// The raised fault flags, as a bit set (0: none raised).
using FaultFlags = unsigned;

#ifdef KORVANE_SSE_FLAGS
// All double arithmetic of the core runs in the SSE unit, whose status register holds the
// sticky flags; reading it directly is much cheaper than the library call, which also reads
// the x87 unit. The bits: invalid 0x01, division by zero 0x04, overflow 0x08.
inline constexpr FaultFlags kInvalidFlag = 0x01;
inline constexpr FaultFlags kDivisionByZeroFlag = 0x04;
inline constexpr FaultFlags kOverflowFlag = 0x08;

inline FaultFlags RaisedFaultFlags() {
  // Keeps the compiler from moving the stores of the values computed so far past the read.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  return _mm_getcsr() & (kInvalidFlag | kDivisionByZeroFlag | kOverflowFlag);
}
#else
inline constexpr FaultFlags kInvalidFlag = FE_INVALID;
inline constexpr FaultFlags kDivisionByZeroFlag = FE_DIVBYZERO;
inline constexpr FaultFlags kOverflowFlag = FE_OVERFLOW;

inline FaultFlags RaisedFaultFlags() {
  return static_cast<FaultFlags>(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW));
}
#endif

void ClearFaultFlags();

// The kind of fault the flags show. When several are raised, a division by zero or an
// overflow is named before an invalid operation, which is usually its consequence
// (an infinity subtracted from itself or multiplied by zero).
FaultKind FaultKindOf(FaultFlags flags);

// Records an unguarded fault that ended the run: clears CalculationOk and keeps the first
// fault of the run.
void RecordFault(RunOutcomeFlags& outcome, FaultKind kind, double z);

// Where a guarded operation reports a failure: the run's outcome, the reporter, and the
// position of the step the operation belongs to.
struct GuardSite {
  RunOutcomeFlags& Outcome;
  SimulationReporter& Reporter;
  double Z = 0;  // cm from the spinneret where the step started
};

// A guarded operation failed. `flagsAtEntry` are the flags raised before the guarded operations
// began: when they show a fault, that fault is recorded at the site's position and no message
// is shown (Fault); otherwise the operation's message is shown (Refused). Either way
// CalculationOk is cleared.
StepStatus FailGuardedStep(const GuardSite& site, std::string_view message,
                           FaultFlags flagsAtEntry);

}  // namespace korvane
