// Floating-point faults of the simulation: invalid operations, divisions by zero and
// overflows (an underflow silently gives 0).
//
// The guarded steps of the core test their own operations explicitly and report a failure
// through a message; every other faulting operation is left to raise the processor's
// sticky exception flags, which the march reads once per axial step. A guarded step that
// fails while the flags already show an earlier, unguarded fault of the same step does not
// show its message: the earlier fault is what ended the calculation.
#pragma once

#include <string_view>

#include "core/SimulationReporter.h"
#include "core/SimulationState.h"

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

// The raised fault flags, as an opaque bit set (0: none raised).
using FaultFlags = unsigned;

FaultFlags RaisedFaultFlags();
void ClearFaultFlags();

// The kind of fault the flags show. When several are raised, a division by zero or an
// overflow is named before an invalid operation, which is usually its consequence
// (an infinity subtracted from itself or multiplied by zero).
FaultKind FaultKindOf(FaultFlags flags);

// Records an unguarded fault that ended the run: clears CalculationOk and keeps the first
// fault of the run.
void RecordFault(SimulationState& state, FaultKind kind, double z);

// A guarded step failed. `flagsAtEntry` are the flags raised before the guarded operations
// began: when they show a fault, that fault is recorded (its position is filled in by the
// march) and no message is shown; otherwise the step's message is shown. Either way
// CalculationOk is cleared.
void FailGuardedStep(SimulationState& state, SimulationReporter& reporter, std::string_view message,
                     FaultFlags flagsAtEntry);

}  // namespace korvane
