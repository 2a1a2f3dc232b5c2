// Parameter sweeps: one case per value of one input item.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/FieldTexts.h"
#include "run/RunDriver.h"

namespace korvane {

struct SweepPlan {
  int Item = 0;                         // 1..51, not a fixed item
  std::vector<std::string> ValueTexts;  // the field texts to run, in order
};

// "ITEM=V1,V2,..." or "ITEM=START:STOP:COUNT" (COUNT values from START to STOP, evenly spaced).
// Empty, with error set, when the text is malformed, the item is unknown or fixed, or a value is
// not a number of the item's kind.
std::optional<SweepPlan> ParseSweep(std::string_view text, std::string& error);

// The result file of one value: the value inserted before the extension ("out.txt", "800" ->
// "out_800.txt").
std::string SweepResultFileName(const std::string& base, const std::string& valueText);

struct SweepCaseResult {
  std::string Value;
  std::string ResultFile;
  RunOutcome Outcome = RunOutcome::Success;
  bool HasResults = false;  // the tables were written (success, or up to a tension at zero)
  int Passes = 0;
  double SpinneretTension = 0;
  double EndSolventFraction = 0;
  double EndTemperature = 0;
  double EndStress = 0;
  std::vector<std::string> Messages;  // what the window would have shown, in order
};

// Runs every value of the sweep on `jobs` threads, each case with its own run context, so the
// results are those of running the cases one by one. progress(done, total) is called from the
// calling thread's workers as cases finish (serialised).
std::vector<SweepCaseResult> RunSweep(const FieldTexts& base, const SweepPlan& plan,
                                      const std::string& resultBase, int jobs,
                                      const std::function<void(int, int)>& progress = {});

// The summary table: a header row, then one row per value in sweep order.
std::string SweepSummaryCsv(const std::vector<SweepCaseResult>& results);

// The words for an outcome in the summary.
const char* OutcomeName(RunOutcome outcome);

}  // namespace korvane
