// The run-wide values of the simulation: what the initial state derives, what the tension
// iteration and the march carry from step to step, and the flags the run driver reads.
#pragma once

#include <cstdint>

#include "core/SpinningLineProfile.h"

namespace korvane {

// A floating-point fault (invalid operation, division by zero, overflow) outside the guarded
// steps of the core. It ends the run; the driver reports its kind and where it happened.
enum class FaultKind { None, InvalidOperation, DivisionByZero, Overflow };

struct FloatingPointFault {
  FaultKind Kind = FaultKind::None;
  double Z = 0;  // cm from the spinneret where the faulting step started
};

struct SimulationState {
  // Set by InitialState once per run.
  double PolymerFlowRate = 0;      // g/s, one filament
  double TotalPolymerFlow = 0;     // g/s, all filaments
  double TotalSolventFlow = 0;     // g/s
  double GasMolarFlow = 0;         // mol/s of dry gas
  double GasMassFlow = 0;          // g/s of dry gas
  double GasSolventMassFlow = 0;   // g/s of vapour entering with the gas
  double GasSolventMolarFlow = 0;  // mol/s
  double VelocityUpperLimit = 0;   // cm/s
  double VelocityLowerLimit = 0;   // cm/s
  int32_t RadialIntervals = 10;
  int32_t RadialNodeCount = 11;

  // Tension iteration.
  int32_t CalculationLoopCount = 0;
  double TensionGuess = 0;     // dyn
  double TensionStep = 0;      // dyn
  double FineTensionStep = 0;  // dyn

  // Carried through one pass of the march.
  int32_t CurrentPointIndex = 0;
  double CurrentRadialProfile[kRadialCapacity] = {};
  double GasVaporMassFlow = 0;  // g/s

  // Flags.
  bool CalculationOk = false;
  bool TensionBelowZero = false;
  bool Cancelled = false;  // the surroundings asked the iteration to stop
  FloatingPointFault Fault;
};

}  // namespace korvane
