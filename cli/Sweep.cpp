#include "cli/Sweep.h"

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

#include "core/model/FilamentStress.h"
#include "core/results/TensionBelowZero.h"
#include "files/NumberText.h"
#include "files/ProfileColumns.h"
#include "files/ProfileCsv.h"
#include "inputs/ParameterItems.h"
#include "inputs/TextConversion.h"

namespace korvane {

namespace {

constexpr int kMaxSweepValues = 10000;
// The product of several sweeps is held to as many cases as one sweep may have.
constexpr int kMaxSweepCases = kMaxSweepValues;

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(separator, start);
    parts.emplace_back(
        text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return parts;
}

// A CSV cell in double quotes, a quote in it doubled.
std::string Quoted(const std::string& text) {
  std::string cell = "\"";
  for (char c : text) cell += c == '"' ? std::string("\"\"") : std::string(1, c);
  return cell + "\"";
}

// The points a case computed: those its result file printed or, when the file could not be
// written after a calculation that finished, those it would have printed.
int ComputedPointCount(const RunContext& context, const RunReport& report) {
  if (report.PrintedPointCount > 0 || report.Outcome != RunOutcome::ResultFileFailed)
    return report.PrintedPointCount;
  const SimulationState& state = context.State;
  if (!state.Outcome.CalculationOk || state.Outcome.Cancelled ||
      state.Outcome.Fault.Kind != FaultKind::None)
    return 0;
  const SpinningLineProfile& profile = *context.Profile;
  if (profile.PassPointCount <= 0 || profile.PassPointCount > profile.Capacity()) return 0;
  const int belowZero = TensionBelowZeroPointCount(profile);
  return belowZero > 0 ? belowZero : profile.PassPointCount;
}

// The summary of a finished case, read from its context.
void Collect(const RunContext& context, const RunReport& report, SweepCaseResult& result) {
  result.Outcome = report.Outcome;
  const int points = ComputedPointCount(context, report);
  result.Passes = context.State.Iteration.CalculationLoopCount;
  if (report.Converged && report.Converged->Status == ConvergedStatus::Converged)
    result.EstimatedTensionError = report.Converged->EstimatedTensionError;
  if (points <= 0) return;
  const ProfileSource source{context.Params, *context.Profile, context.State, points};
  const int last = points - 1;
  auto value = [&](std::string_view column, int i) {
    return ProfileColumnByName(column).Value(source, i);
  };
  // The stress as the result file prints it, also for a file that was never written.
  const double endStress = FilamentStress(value("tension", last), context.Params.DopeDensity,
                                          value("filament_area", last));
  for (double v : {value("tension", 0), value("average_solvent_fraction", last),
                   value("filament_temperature", last), endStress})
    if (!std::isfinite(v)) return;
  result.HasResults = true;
  result.SpinneretTension = value("tension", 0);
  result.EndSolventFraction = value("average_solvent_fraction", last);
  result.EndTemperature = value("filament_temperature", last);
  result.EndStress = endStress;
}

class CollectingEnvironment : public RunEvents {
 public:
  explicit CollectingEnvironment(std::vector<std::string>& messages) : messages_(messages) {}
  void ShowMessage(std::string_view text) override { messages_.emplace_back(text); }

 private:
  std::vector<std::string>& messages_;
};

}  // namespace

const char* OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Success:
      return "success";
    case RunOutcome::CalculationFailed:
      return "calculation failed";
    case RunOutcome::InputRefused:
      return "input refused";
    case RunOutcome::TensionBelowZero:
      return "tension below zero";
    case RunOutcome::ResultFileFailed:
      return "result file failed";
  }
  return "unknown";
}

std::optional<SweepPlan> ParseSweep(std::string_view text, std::string& error) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    error = "a sweep is ITEM=V1,V2,... or ITEM=START:STOP:COUNT";
    return std::nullopt;
  }
  int32_t number = 0;
  if (!ConvertInt32(text.substr(0, equals), number) || number < 1 || number > kItemCount) {
    error = "the item of a sweep is a number from 1 to 51";
    return std::nullopt;
  }
  const ParameterItem& item = ItemByNumber(number);
  SweepPlan plan;
  plan.Item = number;
  const std::string_view values = text.substr(equals + 1);
  if (values.find(':') != std::string_view::npos) {
    const std::vector<std::string> parts = Split(values, ':');
    double start = 0, stop = 0;
    int32_t count = 0;
    if (parts.size() != 3 || !ConvertDecimal(parts[0], start) || !ConvertDecimal(parts[1], stop) ||
        !ConvertInt32(parts[2], count) || count < 1 || count > kMaxSweepValues) {
      error = "a sweep range is START:STOP:COUNT with COUNT from 1 to " +
              std::to_string(kMaxSweepValues);
      return std::nullopt;
    }
    for (int k = 0; k < count; ++k) {
      const double value = count == 1 ? start : start + (stop - start) * k / (count - 1);
      if (!std::isfinite(value)) {
        error = "the sweep range gives a value beyond the range of numbers";
        return std::nullopt;
      }
      if (item.Type == ItemType::Int32) {
        if (value != std::floor(value) || std::fabs(value) > 2147483647.0) {
          error = "item " + std::to_string(number) + " takes whole numbers; the range gives " +
                  ShortestText(value);
          return std::nullopt;
        }
        plan.ValueTexts.push_back(std::to_string(static_cast<int64_t>(value)));
      } else {
        plan.ValueTexts.push_back(ShortestText(value));
      }
    }
  } else {
    plan.ValueTexts = Split(values, ',');
    if (plan.ValueTexts.size() > kMaxSweepValues) {
      error = "a sweep takes at most " + std::to_string(kMaxSweepValues) + " values";
      return std::nullopt;
    }
  }
  for (const std::string& value : plan.ValueTexts) {
    if (!ConvertItemText(item, value)) {
      error = "\"" + value + "\" is not a value of item " + std::to_string(number);
      return std::nullopt;
    }
  }
  return plan;
}

std::optional<std::string> SweepGridProblem(const std::vector<SweepPlan>& plans) {
  for (size_t a = 0; a < plans.size(); ++a)
    for (size_t b = 0; b < a; ++b)
      if (plans[a].Item == plans[b].Item)
        return "item " + std::to_string(plans[a].Item) + " is swept twice";
  long long cases = 1;
  for (const SweepPlan& plan : plans) {
    cases *= static_cast<long long>(plan.ValueTexts.size());
    if (cases > kMaxSweepCases) {
      return "the sweeps give more than " + std::to_string(kMaxSweepCases) +
             " cases together (the product of their numbers of values)";
    }
  }
  return std::nullopt;
}

int SweepCaseCount(const std::vector<SweepPlan>& plans) {
  if (plans.empty()) return 0;
  int cases = 1;
  for (const SweepPlan& plan : plans) cases *= static_cast<int>(plan.ValueTexts.size());
  return cases;
}

std::vector<std::string> SweepCaseValues(const std::vector<SweepPlan>& plans, int k) {
  // Case k in mixed radix, the last sweep's digit lowest.
  std::vector<std::string> values(plans.size());
  for (size_t a = plans.size(); a-- > 0;) {
    const int count = static_cast<int>(plans[a].ValueTexts.size());
    values[a] = plans[a].ValueTexts[static_cast<size_t>(k % count)];
    k /= count;
  }
  return values;
}

std::string SweepCaseLabel(const std::vector<SweepPlan>& plans,
                           const std::vector<std::string>& values) {
  std::string label;
  for (size_t a = 0; a < plans.size() && a < values.size(); ++a) {
    if (a > 0) label += ", ";
    label += std::to_string(plans[a].Item) + "=" + values[a];
  }
  return label;
}

std::string SweepResultFileName(const std::string& base, const std::string& valueText) {
  const size_t slash = base.find_last_of('/');
  const size_t dot = base.find_last_of('.');
  // The extension starts at the last dot of the file's own name, unless that dot begins it.
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  if (!hasExtension) return base + "_" + valueText;
  return base.substr(0, dot) + "_" + valueText + base.substr(dot);
}

std::string SweepResultFileName(const std::string& base, const std::vector<std::string>& values) {
  std::string joined;
  for (size_t a = 0; a < values.size(); ++a) joined += (a > 0 ? "_" : "") + values[a];
  return SweepResultFileName(base, joined);
}

std::vector<SweepCaseResult> RunSweep(const FieldTexts& base, const std::vector<SweepPlan>& plans,
                                      const std::string& resultBase, int jobs,
                                      const RunOptions& options,
                                      const std::function<void(int, int)>& progress,
                                      const std::string& csvBase) {
  const int total = SweepCaseCount(plans);
  std::vector<SweepCaseResult> results(static_cast<size_t>(total));
  std::atomic<int> next{0};
  std::mutex progressMutex;
  int done = 0;

  auto worker = [&] {
    for (int k = next++; k < total; k = next++) {
      // A fresh context per case: nothing an earlier case left in the profile can show up in
      // this one, whichever worker runs it.
      RunContext context;
      SweepCaseResult& result = results[static_cast<size_t>(k)];
      result.Values = SweepCaseValues(plans, k);
      result.ResultFile = SweepResultFileName(resultBase, result.Values);
      FieldTexts texts = base;
      for (size_t a = 0; a < plans.size(); ++a)
        texts.Items[static_cast<size_t>(plans[a].Item - 1)] = result.Values[a];
      texts.ResultFileName = result.ResultFile;
      CollectingEnvironment environment(result.Messages);
      const RunReport report = RunDriver(context, texts, environment, options);
      Collect(context, report, result);
      if (!csvBase.empty() && report.Outcome != RunOutcome::InputRefused) {
        result.CsvFile = SweepResultFileName(csvBase, result.Values);
        const FileResult csv = UpdateProfileCsv(result.CsvFile, context.Params, *context.Profile,
                                                context.State, report.PrintedPointCount);
        if (!csv.ok()) {
          environment.ShowMessage(csv.Message);
          if (result.Outcome == RunOutcome::Success) result.Outcome = RunOutcome::ResultFileFailed;
        }
      }
      std::lock_guard<std::mutex> lock(progressMutex);
      ++done;
      if (progress) progress(done, total);
    }
  };
  const int threads = std::max(1, std::min(jobs, total));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& thread : pool) thread.join();
  return results;
}

std::string SweepSummaryCsv(const std::vector<SweepPlan>& plans,
                            const std::vector<SweepCaseResult>& results, SolverMethod method) {
  const bool converged = method == SolverMethod::Converged;
  std::string csv;
  for (const SweepPlan& plan : plans) csv += Quoted(ItemDisplayName(ItemByNumber(plan.Item))) + ",";
  csv +=
      "outcome,passes,spinneret tension (dyn),end solvent fraction (-),end temperature "
      "(degC),end stress (g/den)";
  csv += converged ? ",estimated error of the spinneret tension (dyn)\n" : "\n";
  for (const SweepCaseResult& r : results) {
    for (const std::string& value : r.Values) csv += Quoted(value) + ",";
    csv += std::string(OutcomeName(r.Outcome)) + "," + std::to_string(r.Passes);
    for (double value : {r.SpinneretTension, r.EndSolventFraction, r.EndTemperature, r.EndStress}) {
      csv += ',';
      if (r.HasResults) csv += ShortestText(value);
    }
    if (converged) {
      csv += ',';
      if (r.EstimatedTensionError) csv += ShortestText(*r.EstimatedTensionError);
    }
    csv += "\n";
  }
  return csv;
}

}  // namespace korvane
