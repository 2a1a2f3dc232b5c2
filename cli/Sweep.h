// Parameter sweeps: one case per value of an input item, or per combination of the values of
// several.
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
  int Item = 0;                         // 1..51, fixed items included
  std::vector<std::string> ValueTexts;  // the field texts to run, in order
};

// "ITEM=V1,V2,..." or "ITEM=START:STOP:COUNT" (COUNT values from START to STOP, evenly spaced).
// Empty, with error set, when the text is malformed, the item is unknown, or a value is not a
// number of the item's kind. A fixed item is swept like any other.
std::optional<SweepPlan> ParseSweep(std::string_view text, std::string& error);

// The cases of several sweeps are their product, the first sweep's values varying slowest.
// Empty when they can run; otherwise why not (an item swept twice, too many cases).
std::optional<std::string> SweepGridProblem(const std::vector<SweepPlan>& plans);

// The number of cases of the product, and the values of case k (one per sweep, in their order).
int SweepCaseCount(const std::vector<SweepPlan>& plans);
std::vector<std::string> SweepCaseValues(const std::vector<SweepPlan>& plans, int k);

// "30=800" for one sweep, "30=800, 27=70" for two: how messages and refusals name a case.
std::string SweepCaseLabel(const std::vector<SweepPlan>& plans,
                           const std::vector<std::string>& values);

// The result file of one value: the value inserted before the extension ("out.txt", "800" ->
// "out_800.txt").
std::string SweepResultFileName(const std::string& base, const std::string& valueText);

// The result file of one case: its values joined by "_" ("out.txt", {"800", "70"} ->
// "out_800_70.txt").
std::string SweepResultFileName(const std::string& base, const std::vector<std::string>& values);

struct SweepCaseResult {
  std::vector<std::string> Values;  // one per sweep
  std::string ResultFile;
  std::string CsvFile;  // empty when the sweep writes no CSV
  RunOutcome Outcome = RunOutcome::Success;
  // The calculation produced the end values below (success, or up to a tension at zero), even
  // when its result file could not be written.
  bool HasResults = false;
  int Passes = 0;
  double SpinneretTension = 0;
  double EndSolventFraction = 0;
  double EndTemperature = 0;
  double EndStress = 0;
  std::optional<double> EstimatedTensionError;  // dyn, from a converged run that finished
  std::vector<std::string> Messages;            // what the window would have shown, in order
};

// Runs every case of the sweeps' product on `jobs` threads, each case with its own run context
// and the same options, so the results are those of running the cases one by one.
// progress(done, total) is called from the workers as cases finish (serialised). With csvBase,
// each case also writes its profile as CSV, named as its result file is (see UpdateProfileCsv);
// a CSV that cannot be written turns a successful case into ResultFileFailed.
std::vector<SweepCaseResult> RunSweep(const FieldTexts& base, const std::vector<SweepPlan>& plans,
                                      const std::string& resultBase, int jobs,
                                      const RunOptions& options = {},
                                      const std::function<void(int, int)>& progress = {},
                                      const std::string& csvBase = {});

// The summary table: a header row, then one row per case in sweep order. One column per swept
// item (headed by its number and label), then the outcome, the passes and the end values; a
// converged sweep adds the estimated error of the spinneret tension.
std::string SweepSummaryCsv(const std::vector<SweepPlan>& plans,
                            const std::vector<SweepCaseResult>& results,
                            SolverMethod method = SolverMethod::Classic);

// The words for an outcome in the summary.
const char* OutcomeName(RunOutcome outcome);

}  // namespace korvane
