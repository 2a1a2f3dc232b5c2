#include "run/RunDriver.h"

#include <cstdint>
#include <memory>

#include "core/classic/TensionIteration.h"
#include "core/model/InitialState.h"
#include "core/results/TensionBelowZero.h"
#include "files/NumberText.h"
#include "files/PendingFile.h"
#include "files/ResultFile.h"
#include "inputs/ParameterItems.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/RangeChecks.h"

namespace korvane {

namespace {

// The step texts of this very run, as the section-length summary reads them.
std::optional<SectionLengths> SectionLengthsOf(const FieldTexts& texts) {
  std::array<std::string, kSectionCount> increments, counts;
  for (size_t i = 0; i < kSectionCount; ++i) {
    increments[i] = texts.Items[static_cast<size_t>(kFirstIncrementItem - 1) + i];
    counts[i] = texts.Items[static_cast<size_t>(kFirstIncrementCountItem - 1) + i];
  }
  return ComputeSectionLengths(increments, counts);
}

// The classic method's profile holds 2001 points; the converged method's grows as needed.
bool StepCountsFit(const RunParameters& params, SolverMethod method) {
  const int64_t largest =
      method == SolverMethod::Classic ? kProfileCapacity - 1 : kLargestConvergedPointCount - 1;
  int64_t sum = 0;
  for (int32_t count : params.IncrementCount) {
    if (count < 0) return false;
    sum += count;
  }
  return sum >= 1 && sum <= largest;
}

const char* FaultKindText(FaultKind kind) {
  switch (kind) {
    case FaultKind::InvalidOperation:
      return "an invalid floating-point operation";
    case FaultKind::DivisionByZero:
      return "a division by zero";
    case FaultKind::Overflow:
      return "a floating-point overflow";
    case FaultKind::None:
      break;
  }
  return "a floating-point fault";
}

// Ends a run: the message first, then the report.
RunReport& Finish(RunReport& report, RunEvents& events, RunOutcome outcome,
                  std::string_view message) {
  report.Outcome = outcome;
  if (!message.empty()) events.ShowMessage(message);
  events.RunFinished(report);
  return report;
}

// Ends a run that has opened its result file: the file replaces the earlier one of its name
// first, whatever the outcome. A run whose file cannot be put in place does not report results.
RunReport& Finish(RunReport& report, RunEvents& events, PendingFile& resultFile, RunOutcome outcome,
                  std::string_view message) {
  const FileResult committed = resultFile.Commit();
  if (committed.ok()) return Finish(report, events, outcome, message);
  if (outcome == RunOutcome::TensionBelowZero)
    return Finish(report, events, RunOutcome::ResultFileFailed, committed.Message);
  if (!message.empty()) events.ShowMessage(message);
  return Finish(report, events, outcome, committed.Message);
}

}  // namespace

std::string FaultMessage(const FloatingPointFault& fault) {
  return std::string("The calculation failed: ") + FaultKindText(fault.Kind) +
         " at Z = " + Fixed(fault.Z, 8, 1) + " cm from the spinneret.";
}

const char* SolverMethodName(SolverMethod method) {
  return method == SolverMethod::Converged ? "converged" : "classic";
}

RunReport RunDriver(RunContext& context, const FieldTexts& texts, RunEvents& events,
                    const RunOptions& options) {
  RunParameters& params = context.Params;
  SpinningLineProfile& profile = *context.Profile;
  SimulationState& state = context.State;
  RunReport report;
  report.Method = options.Method;
  // The run's laws are its own (compiled below) and go with it: the record keeps none after.
  struct LawsOfThisRun {
    RunParameters& Params;
    std::unique_ptr<PropertyLawFormulas> Laws;
    ~LawsOfThisRun() { Params.Laws = nullptr; }
  } laws{params, nullptr};
  params.Laws = nullptr;

  events.RunStarted();

  // Nothing of the previous run may show in this one's results.
  std::destroy_at(&profile);
  std::construct_at(&profile);
  state = SimulationState{};

  // A value that does not convert ends the run: going on with the previous run's values would
  // report results for numbers the user never entered. So does a value no physical case has.
  report.Read = ReadRunParameters(texts, params);
  if (report.Read.Ok) report.Read = CheckInputRanges(params);
  if (!report.Read.Ok) return Finish(report, events, RunOutcome::InputRefused, report.Read.Message);

  // Laws given as formulas are compiled once for the run and must have a value at the
  // spinneret. Their constants are the run's too (a derivative may move one).
  if (!texts.Laws.empty() || !texts.LawConstants.empty()) {
    std::string problem;
    laws.Laws = PropertyLawFormulas::Compile(texts.Laws, texts.LawConstants, problem);
    if (!laws.Laws)
      return Finish(report, events, RunOutcome::InputRefused, "Property law " + problem);
    if (const std::optional<std::string> atSpinneret = laws.Laws->ProblemAtSpinneret(params))
      return Finish(report, events, RunOutcome::InputRefused, *atSpinneret);
    params.Laws = laws.Laws.get();
  }

  // The profile must hold the points and the march needs at least one step.
  if (!StepCountsFit(params, options.Method))
    return Finish(report, events, RunOutcome::InputRefused,
                  options.Method == SolverMethod::Classic ? kStepCountsOutOfRange
                                                          : kConvergedStepCountsOutOfRange);

  // The length check uses the total of this run's own step fields.
  report.Sections = SectionLengthsOf(texts);
  if (report.Sections) {
    params.TotalSpinningLength = report.Sections->Total;
    events.SectionLengthsUpdated(*report.Sections);
  }
  if (!report.Sections || !(params.TotalSpinningLength < params.Jacket3LowerPos))
    return Finish(report, events, RunOutcome::InputRefused, kTotalLengthTooLong);

  // A run whose results cannot be saved must not go on to report success. The file is written
  // under a temporary name beside its own until the run ends.
  PendingFile resultFile;
  const FileResult opened = OpenResultFile(resultFile, params);
  if (!opened.ok()) return Finish(report, events, RunOutcome::ResultFileFailed, opened.Message);
  const FileResult echo = InputDataWriter(resultFile, params);
  if (!echo.ok())
    return Finish(report, events, resultFile, RunOutcome::ResultFileFailed, echo.Message);

  events.CalculationStarting();
  if (options.Method == SolverMethod::Classic) {
    InitialState(params, profile, state);
    if (state.Outcome.Fault.Kind == FaultKind::None)
      TensionIteration(params, profile, state, events);
  } else {
    report.Converged = SolveConverged(params, options.Converged, profile, state, events);
  }

  if (state.Outcome.Fault.Kind != FaultKind::None)
    return Finish(report, events, resultFile, RunOutcome::CalculationFailed,
                  FaultMessage(state.Outcome.Fault));
  if (state.Outcome.Cancelled) {
    // Cancelling is the user's choice, not a result: the earlier file of the name stays.
    report.Cancelled = true;
    resultFile.Discard();
    return Finish(report, events, RunOutcome::CalculationFailed, kCalculationCancelled);
  }
  // The stage that failed has shown its own message. The converged method tries states it
  // does not keep; where a law had no value in one of them, the user is told which.
  if (!state.Outcome.CalculationOk) {
    std::string note;
    if (report.Converged && laws.Laws && !laws.Laws->FailureText().empty()) {
      note = "One of the states the converged method tried had no value of a property law: ";
      note.append(laws.Laws->FailureText()).push_back('.');
    }
    return Finish(report, events, resultFile, RunOutcome::CalculationFailed, note);
  }

  const FileResult results = ResultsAppender(resultFile, params, profile, state);
  if (!results.ok()) {
    const RunOutcome outcome = results.Status == FileStatus::BadValue
                                   ? RunOutcome::CalculationFailed
                                   : RunOutcome::ResultFileFailed;
    return Finish(report, events, resultFile, outcome, results.Message);
  }
  if (report.Converged) {
    const FileResult trailer =
        ConvergedTrailerWriter(resultFile, options.Converged.Tolerance, *report.Converged);
    if (!trailer.ok()) {
      const RunOutcome outcome = trailer.Status == FileStatus::BadValue
                                     ? RunOutcome::CalculationFailed
                                     : RunOutcome::ResultFileFailed;
      return Finish(report, events, resultFile, outcome, trailer.Message);
    }
  }

  if (const FileResult trailer =
          PropertyLawsTrailerWriter(resultFile, texts.Laws, texts.LawConstants);
      !trailer.ok())
    return Finish(report, events, resultFile, RunOutcome::ResultFileFailed, trailer.Message);

  if (state.Outcome.TensionBelowZero) {
    // The tables end at the first point whose tension is not above zero.
    report.PrintedPointCount = TensionBelowZeroPointCount(profile);
    return Finish(report, events, resultFile, RunOutcome::TensionBelowZero,
                  kTensionBelowZeroMessage);
  }

  if (const FileResult committed = resultFile.Commit(); !committed.ok())
    return Finish(report, events, RunOutcome::ResultFileFailed, committed.Message);
  report.PrintedPointCount = profile.PassPointCount;
  return Finish(report, events, RunOutcome::Success, "");
}

}  // namespace korvane
