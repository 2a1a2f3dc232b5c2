#include "run/RunDriver.h"

#include <cstdint>

#include "core/InitialState.h"
#include "core/TensionBelowZero.h"
#include "core/TensionIteration.h"
#include "files/NumberText.h"
#include "files/ResultFile.h"
#include "run/ParameterItems.h"

namespace korvane {

namespace {

// The step texts of this very run, as the section-length summary reads them.
std::optional<SectionLengths> SectionLengthsOf(const FieldTexts& texts) {
  std::array<std::string, kSectionCount> increments, counts;
  for (size_t i = 0; i < kSectionCount; ++i) {
    increments[i] = texts.Items[static_cast<size_t>(41 - 1) + i];
    counts[i] = texts.Items[static_cast<size_t>(46 - 1) + i];
  }
  return ComputeSectionLengths(increments, counts);
}

bool StepCountsFit(const RunParameters& params) {
  int64_t sum = 0;
  for (int32_t count : params.IncrementCount) {
    if (count < 0) return false;
    sum += count;
  }
  return sum >= 1 && sum <= kProfileCapacity - 1;
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

// Ends a run: the message first (the busy cursor stays while it is shown), then the cursor.
RunReport& Finish(RunReport& report, RunEnvironment& environment, RunOutcome outcome,
                  std::string_view message) {
  report.Outcome = outcome;
  if (!message.empty()) environment.ShowMessage(message);
  environment.SetBusyCursor(false);
  return report;
}

}  // namespace

std::string FaultMessage(const FloatingPointFault& fault) {
  return std::string("The calculation failed: ") + FaultKindText(fault.Kind) +
         " at Z = " + Fixed(fault.Z, 8, 1) + " cm from the spinneret.";
}

RunReport RunDriver(RunContext& context, const FieldTexts& texts, RunEnvironment& environment) {
  RunParameters& params = context.Params;
  SpinningLineProfile& profile = *context.Profile;
  SimulationState& state = context.State;
  RunReport report;

  environment.SetBusyCursor(true);

  // A value that does not convert ends the run: going on with the previous run's values would
  // report results for numbers the user never entered.
  report.Read = ReadRunParameters(texts, params);
  if (!report.Read.Ok)
    return Finish(report, environment, RunOutcome::InputRefused, kInputValueNotCorrect);

  // The profile holds 2001 points and the march needs at least one step.
  if (!StepCountsFit(params))
    return Finish(report, environment, RunOutcome::InputRefused, kStepCountsOutOfRange);

  // The length check uses the total of this run's own step fields.
  report.Sections = SectionLengthsOf(texts);
  if (report.Sections) {
    params.TotalSpinningLength = report.Sections->Total;
    environment.SectionLengthsUpdated(*report.Sections);
  }
  if (!report.Sections || !(params.TotalSpinningLength < params.Jacket3LowerPos))
    return Finish(report, environment, RunOutcome::InputRefused, kTotalLengthTooLong);

  // A run whose results cannot be saved must not go on to report success.
  const FileResult echo = InputDataWriter(params);
  if (!echo.ok()) return Finish(report, environment, RunOutcome::ResultFileFailed, echo.Message);

  state.Outcome.Cancelled = false;
  state.Outcome.Fault = FloatingPointFault{};
  state.Outcome.TensionBelowZero = false;
  InitialState(params, profile, state);
  if (state.Outcome.Fault.Kind == FaultKind::None)
    TensionIteration(params, profile, state, environment);

  if (state.Outcome.Fault.Kind != FaultKind::None)
    return Finish(report, environment, RunOutcome::CalculationFailed,
                  FaultMessage(state.Outcome.Fault));
  if (state.Outcome.Cancelled) {
    report.Cancelled = true;
    return Finish(report, environment, RunOutcome::CalculationFailed, kCalculationCancelled);
  }
  // The stage that failed has shown its own message.
  if (!state.Outcome.CalculationOk)
    return Finish(report, environment, RunOutcome::CalculationFailed, "");

  const FileResult results = ResultsAppender(params, profile, state);
  if (!results.ok()) {
    const RunOutcome outcome = results.Status == FileStatus::BadValue
                                   ? RunOutcome::CalculationFailed
                                   : RunOutcome::ResultFileFailed;
    return Finish(report, environment, outcome, results.Message);
  }

  if (state.Outcome.TensionBelowZero) {
    // The tables end at the first point whose tension is not above zero.
    report.PrintedPointCount = TensionBelowZeroPointCount(profile);
    return Finish(report, environment, RunOutcome::TensionBelowZero, kTensionBelowZeroMessage);
  }

  report.PrintedPointCount = profile.ProfilePointCount;
  report.Outcome = RunOutcome::Success;
  environment.SetBusyCursor(false);
  environment.ShowFinishDialog();
  environment.RefreshFileList();
  return report;
}

}  // namespace korvane
