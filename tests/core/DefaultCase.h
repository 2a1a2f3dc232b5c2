// The worked default case of the input fields and a place to run it.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/RunParameters.h"
#include "core/results/SimulationContext.h"
#include "core/results/SimulationReporter.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"
#include "inputs/FieldTexts.h"
#include "inputs/ReadRunParameters.h"

namespace korvane::testing {

// The main window's default texts, read as a run reads them.
inline RunParameters DefaultCase() {
  RunParameters p;
  const ReadOutcome read = ReadRunParameters(DefaultFieldTexts(), p);
  if (!read.Ok) std::abort();  // the window's own defaults always convert
  // The line length the run driver takes from the section lengths: 30 x 2 + 40 x 5 + 44 x 10.
  p.TotalSpinningLength = 700.0;
  return p;
}

// Records what the core shows; optionally cancels after a number of passes.
class RecordingReporter : public SimulationReporter {
 public:
  void ShowMessage(std::string_view text) override { Messages.emplace_back(text); }
  bool PassFinished(int passes, double relativeDifference) override {
    Passes.push_back(passes);
    RelativeDifferences.push_back(relativeDifference);
    return CancelAfter <= 0 || passes < CancelAfter;
  }
  std::vector<std::string> Messages;
  std::vector<int> Passes;
  std::vector<double> RelativeDifferences;
  int CancelAfter = 0;
};

// One run's data, as the driver holds them.
struct Run {
  Run() = default;
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  RunParameters Params = DefaultCase();
  std::unique_ptr<SpinningLineProfile> Profile = std::make_unique<SpinningLineProfile>();
  SimulationState State;
  RecordingReporter Reporter;
  SimulationContext Context{Params, *Profile, State, Reporter};
};

}  // namespace korvane::testing
