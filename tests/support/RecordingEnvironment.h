// Test surroundings for a run: records every event and message.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "run/RunDriver.h"

namespace korvane::testing {

class RecordingEnvironment : public RunEvents {
 public:
  void ShowMessage(std::string_view text) override { Messages.emplace_back(text); }
  bool PassFinished(int passes, double) override {
    Passes = passes;
    return CancelAfterPasses <= 0 || passes < CancelAfterPasses;
  }
  void RunStarted() override { Events.push_back("started"); }
  void SectionLengthsUpdated(const SectionLengths& lengths) override { Summary = lengths; }
  void CalculationStarting() override { Events.push_back("calculating"); }
  void RunFinished(const RunReport& report) override {
    Events.push_back("finished");
    Finished = report.Outcome;
  }

  std::vector<std::string> Messages;
  std::vector<std::string> Events;  // started, calculating, finished
  std::optional<RunOutcome> Finished;
  int Passes = 0;
  int CancelAfterPasses = 0;  // 0: never cancel
  std::optional<SectionLengths> Summary;
};

}  // namespace korvane::testing
