// One run: read the inputs, check them, write the input echo, simulate, append the results
// and report. The window and the batch runner both run it, each with its own surroundings.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "core/converged/ConvergedSolver.h"
#include "core/model/RunParameters.h"
#include "core/results/SimulationReporter.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"
#include "inputs/FieldTexts.h"
#include "inputs/ReadRunParameters.h"
#include "inputs/SectionLengths.h"

namespace korvane {

// Everything one run reads and leaves behind: the run record, the profile and the run-wide
// values with their flags. The program owns one; a test or a sweep may hold several.
struct RunContext {
  RunParameters Params;
  std::unique_ptr<SpinningLineProfile> Profile = std::make_unique<SpinningLineProfile>();
  SimulationState State;
};

// How a run ended. The numbers are the batch runner's exit statuses.
enum class RunOutcome {
  Success = 0,
  CalculationFailed = 1,  // does not converge, pass limit, floating-point fault, cancelled
  InputRefused = 2,       // a value that does not convert, the step counts, the total length
  TensionBelowZero = 3,   // results written up to the point where the tension fell to zero
  ResultFileFailed = 4    // the result file could not be written
};

// How the run solves the model: the classic fixed-step march, or the converged method, which
// solves the same model to a stated accuracy and estimates its error.
enum class SolverMethod { Classic, Converged };

struct RunOptions {
  SolverMethod Method = SolverMethod::Classic;
  ConvergedOptions Converged;  // read by the converged method only
};

// The words for a method, as the batch runner and the result file name it.
const char* SolverMethodName(SolverMethod method);

struct RunReport {
  RunOutcome Outcome = RunOutcome::Success;
  ReadOutcome Read;                        // which input failed to convert, if one did
  bool Cancelled = false;                  // the surroundings cancelled the tension iteration
  int PrintedPointCount = 0;               // profile points written to the result tables (0: none)
  std::optional<SectionLengths> Sections;  // the summary this run computed, when it got that far
  SolverMethod Method = SolverMethod::Classic;
  std::optional<ConvergedReport> Converged;  // a converged run's figures, once it ran
};

// What a run tells its surroundings, in this order: RunStarted; once the inputs are read,
// SectionLengthsUpdated; once they are accepted and the echo is written, CalculationStarting;
// PassFinished after every pass of the tension iteration (returning false cancels the run);
// ShowMessage for every message, which returns when the user has seen it; and RunFinished last,
// with the report. What an event means on screen is for the surroundings to decide.
class RunEvents : public SimulationReporter {
 public:
  virtual void RunStarted() {}
  // The run recomputed the section lengths from its own step fields.
  virtual void SectionLengthsUpdated(const SectionLengths& /*lengths*/) {}
  // The inputs have been accepted and the input echo written: the calculation starts now and
  // the results of any earlier run are about to be overwritten.
  virtual void CalculationStarting() {}
  virtual void RunFinished(const RunReport& /*report*/) {}
};

inline constexpr const char* kTotalLengthTooLong =
    "\"Total spinning length\" value should be smaller than \"Jacket-3 lower limit pos.\" value!";
inline constexpr const char* kStepCountsOutOfRange =
    "\"Number of increments\" values should not be negative, and their sum should be between 1 "
    "and 2000!";
inline constexpr const char* kConvergedStepCountsOutOfRange =
    "\"Number of increments\" values should not be negative, and their sum should be between 1 "
    "and 1000000!";
inline constexpr const char* kTensionBelowZeroMessage = "Spinning tension becomes less than ZERO !";
inline constexpr const char* kCalculationCancelled = "Calculation cancelled.";

// The text that reports a floating-point fault outside the guarded steps.
std::string FaultMessage(const FloatingPointFault& fault);

// Runs one complete case from the field texts.
RunReport RunDriver(RunContext& context, const FieldTexts& texts, RunEvents& events,
                    const RunOptions& options = {});

}  // namespace korvane
