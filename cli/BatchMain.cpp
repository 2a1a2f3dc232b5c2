// korvane-batch: runs a case without the window. Every text the window would show in a
// message box goes to standard error, one per line; the exit status tells how the run ended.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "cli/CaseOptions.h"
#include "cli/Sweep.h"
#include "files/DataFile.h"
#include "files/FileBytes.h"
#include "files/InitialTensionFile.h"
#include "files/MaterialFile.h"
#include "files/NumberText.h"
#include "files/OutputPaths.h"
#include "files/PendingFile.h"
#include "files/ProfileCsv.h"
#include "inputs/FieldTexts.h"
#include "inputs/SensitivityItems.h"
#include "run/RunDriver.h"

namespace {

using namespace korvane;

class BatchEnvironment : public RunEvents {
 public:
  void ShowMessage(std::string_view text) override {
    std::cerr << text << '\n';
    std::cerr.flush();
  }
};

// Ctrl-C, a quit request, a termination request or a closed terminal removes the files still
// being written (their earlier versions stay), then ends the program as the signal would have (a
// quit request still leaves its core dump where the system keeps them).
void OnTerminationSignal(int signal) {
  RemovePendingFiles();
  std::raise(signal);  // the handler was reset: the default action ends the program
}

void RemovePendingFilesOnTermination() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    // A signal the caller chose to ignore (nohup) stays ignored.
    struct sigaction earlier {};
    if (sigaction(signal, nullptr, &earlier) == 0 && earlier.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

// The one-line summary of a successful run. A converged run's names its method and the estimated
// error of the spinneret tension; a classic run's keeps the words scripts have always read.
std::string Summary(const RunContext& context, const RunReport& report) {
  const SpinningLineProfile& profile = *context.Profile;
  const int last = profile.PassPointCount - 1;
  std::string tension = "spinneret tension " + Exponent(profile.ProfileTension[0], 5, 2) + " dyn";
  std::string method;
  if (report.Converged) {
    method = std::string("method ") + SolverMethodName(report.Method) + ", ";
    tension += " (estimated error " + Exponent(report.Converged->EstimatedTensionError, 2, 2) +
               " dyn" + (report.Converged->ToleranceMet ? "" : ", tolerance not met") + ")";
  }
  return method + "passes " + std::to_string(context.State.Iteration.CalculationLoopCount) + ", " +
         tension + ", end solvent fraction " + Fixed(profile.ProfileAvgSolvent[last], 5, 3) +
         ", end temperature " + Fixed(profile.ProfileYarnTemp[last], 5, 1) + " degC";
}

void DrawProgress(int done, int total) {
  constexpr int kWidth = 40;
  const int filled = total > 0 ? done * kWidth / total : kWidth;
  std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
            << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << done << "/"
            << total << (done == total ? "\n" : "") << std::flush;
}

// Prints the line to standard output; false when it could not be written there (a full disk,
// a closed pipe), which the caller reports in the exit status.
bool PrintOut(const std::string& text) {
  std::cout << text << std::flush;
  return !std::cout.fail();
}

// The derivatives of the spinneret tension, one line per item.
std::string SensitivityTable(const std::vector<ParameterSensitivity>& sensitivities) {
  std::string table = "Derivatives of the spinneret tension:\n";
  for (const ParameterSensitivity& s : sensitivities) {
    const ParameterItem* item = ItemByName(s.Name);
    const std::string unit = item ? ItemUnit(*item) : std::string();
    char line[160];
    std::snprintf(line, sizeof line, "  d(spinneret tension)/d(%s) = %.6E dyn per %s\n",
                  s.Name.c_str(), s.SpinneretTension,
                  unit.empty() ? ("unit of " + s.Name).c_str() : unit.c_str());
    table += line;
  }
  return table;
}

constexpr const char* kStandardOutputFailed = "Standard output could not be written.";

// The status of a run once an output beside its result file (a CSV, the summary,
// standard output) could not be: 4 where the run succeeded, otherwise the run's own status, so
// that a failed calculation or a tension at zero is never hidden.
int StatusAfterFailedOutput(RunOutcome outcome) {
  return static_cast<int>(outcome == RunOutcome::Success ? RunOutcome::ResultFileFailed : outcome);
}

int RunSweepCommand(const FieldTexts& texts, const std::vector<SweepPlan>& plans,
                    const std::string& resultFile, const std::string& csvFile,
                    const std::string& summaryFile, int jobs, const RunOptions& options) {
  const bool terminal = isatty(STDERR_FILENO) != 0;
  const std::vector<SweepCaseResult> results =
      RunSweep(texts, plans, resultFile, jobs, options,
               terminal ? DrawProgress : std::function<void(int, int)>{}, csvFile);
  for (const SweepCaseResult& result : results) {
    for (const std::string& message : result.Messages)
      std::cerr << "[" << SweepCaseLabel(plans, result.Values) << "] " << message << '\n';
  }
  // The sweep succeeded when every case did; otherwise it ends as its first case that did not.
  int succeeded = 0;
  RunOutcome outcome = RunOutcome::Success;
  for (const SweepCaseResult& result : results) {
    succeeded += result.Outcome == RunOutcome::Success;
    if (outcome == RunOutcome::Success) outcome = result.Outcome;
  }
  const FileResult summary =
      WriteFileBytes(summaryFile, SweepSummaryCsv(plans, results, options.Method),
                     "The sweep summary " + summaryFile + " could not be written.",
                     "The sweep summary " + summaryFile + " could not be written: ");
  if (!summary.ok()) {
    std::cerr << summary.Message << '\n';
    return StatusAfterFailedOutput(outcome);
  }
  std::string items;
  for (const SweepPlan& plan : plans)
    items += (items.empty() ? "" : ", ") + std::to_string(plan.Item);
  if (!PrintOut(std::string("Sweep of item") + (plans.size() > 1 ? "s " : " ") + items + ": " +
                std::to_string(succeeded) + " of " + std::to_string(results.size()) +
                " cases finished successfully; summary in " + summaryFile + "\n")) {
    std::cerr << kStandardOutputFailed << '\n';
    return StatusAfterFailedOutput(outcome);
  }
  return static_cast<int>(outcome);
}

// What the command line asks for: the case, the outputs and a sweep.
struct BatchOptions {
  CaseOptions Case;
  std::string ResultFile = "result.txt";
  std::string CsvFile;
  std::string Sensitivity;
  std::vector<std::string> Sweeps;
  std::string SummaryFile = "sweep.csv";
  int Jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

void AddBatchOptions(CLI::App& app, BatchOptions& o) {
  AddCaseInputOptions(app, o.Case);
  app.add_option("-o,--output", o.ResultFile, "result file to write")->capture_default_str();
  app.add_option("--csv", o.CsvFile,
                 "also write the profile of the run as CSV (when the run produced results); with "
                 "--sweep, one CSV per case, named as the result files are");
  AddCaseMethodOptions(app, o.Case, SolverMethod::Classic);
  app.add_option("--sensitivity", o.Sensitivity,
                 "converged: also the derivatives of the spinneret tension (printed) and of the "
                 "profile (CSV columns) with respect to these decimal items, ITEM[,ITEM...] by "
                 "number or name (take_up_speed)");
  AddCaseSettingOptions(app, o.Case);
  app.add_option(
         "--sweep", o.Sweeps,
         "run the case once per value of item ITEM: ITEM=V1,V2,... or ITEM=START:STOP:COUNT; "
         "one result file per value (the value before the -o name's extension). Several --sweep "
         "options run every combination of their values, the first varying slowest "
         "(out_800_70.txt)")
      ->allow_extra_args(false);  // one text per --sweep: a data file after it stays the data file
  app.add_option("--summary", o.SummaryFile, "sweep summary CSV")->capture_default_str();
  app.add_option("-j,--jobs", o.Jobs, "sweep cases run in parallel")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  app.footer(
      "Exit status: 0 success; 1 the calculation failed; 2 the input was refused;\n"
      "3 the spinning tension fell to zero or below; 4 the result file, the CSV, the summary or\n"
      "standard output could not be written. A sweep ends with the status of its first case\n"
      "that did not succeed. A CSV, the summary or standard output that cannot be written gives\n"
      "4 only to a run (or sweep) that otherwise succeeded: 1 and 3 are never hidden by it.\n"
      "An output that is an input or another output is refused (2).\n"
      "A converged run that has not finished after a minute ends as a failed calculation (1).");
}

// The files the command will write: one result file (and CSV) per sweep case and the summary,
// or the run's result file and CSV.
std::vector<NamedFile> PlannedOutputs(const BatchOptions& o, const std::vector<SweepPlan>& plans) {
  std::vector<NamedFile> outputs;
  if (!plans.empty()) {
    for (int k = 0, cases = SweepCaseCount(plans); k < cases; ++k) {
      const std::vector<std::string> values = SweepCaseValues(plans, k);
      outputs.push_back({"the result file of " + SweepCaseLabel(plans, values),
                         SweepResultFileName(o.ResultFile, values)});
      if (!o.CsvFile.empty())
        outputs.push_back({"the CSV file of " + SweepCaseLabel(plans, values),
                           SweepResultFileName(o.CsvFile, values)});
    }
    outputs.push_back({"--summary", o.SummaryFile});
  } else {
    if (!o.ResultFile.empty()) outputs.push_back({"-o", o.ResultFile});
    if (!o.CsvFile.empty()) outputs.push_back({"--csv", o.CsvFile});
  }
  return outputs;
}

// The sweep's files that cannot be written, found before the first case runs: the summary,
// which is written last, and a folder that no case could write its files into. The exit status
// (4) when one cannot, after saying so; empty when all look writable.
std::optional<int> SweepOutputProblem(const BatchOptions& o, const std::vector<SweepPlan>& plans) {
  if (const std::optional<std::string> problem = OutputProblem(o.SummaryFile)) {
    std::cerr << "The sweep summary " << o.SummaryFile << " could not be written: " << *problem
              << ". Nothing was run.\n";
    return static_cast<int>(RunOutcome::ResultFileFailed);
  }
  const std::vector<std::string> firstCase = SweepCaseValues(plans, 0);
  for (const auto& [what, base] :
       {std::pair{"result files", o.ResultFile}, {"CSV files", o.CsvFile}}) {
    if (base.empty()) continue;
    if (const std::optional<std::string> problem =
            OutputFolderProblem(SweepResultFileName(base, firstCase))) {
      std::cerr << "The " << what << " of the sweep could not be written: " << *problem
                << ". Nothing was run.\n";
      return static_cast<int>(RunOutcome::ResultFileFailed);
    }
  }
  return std::nullopt;
}

// Runs the one case and writes its outputs; the exit status.
int RunOneCase(const BatchOptions& o, const CaseSetup& setup, BatchEnvironment& environment) {
  RunContext context;
  const RunReport report = RunDriver(context, setup.Texts, environment, setup.Run);
  if (!o.CsvFile.empty() && report.Outcome != RunOutcome::InputRefused) {
    const FileResult csv = UpdateProfileCsv(
        o.CsvFile, context.Params, *context.Profile, context.State, report.PrintedPointCount,
        report.Converged ? report.Converged->Sensitivities : std::vector<ParameterSensitivity>{});
    if (!csv.ok()) {
      environment.ShowMessage(csv.Message);
      return StatusAfterFailedOutput(report.Outcome);
    }
  }
  // A converged answer that may miss its tolerance says so where a script reads failures.
  if (report.Outcome == RunOutcome::Success && report.Converged && !report.Converged->ToleranceMet)
    std::cerr << "The tolerance is not met: " << report.Converged->ToleranceNote << ".\n";
  if (report.Outcome == RunOutcome::Success &&
      !PrintOut("Calculation is successfully finished !\n" + Summary(context, report) + "\n" +
                (report.Converged && !report.Converged->Sensitivities.empty()
                     ? SensitivityTable(report.Converged->Sensitivities)
                     : std::string()))) {
    environment.ShowMessage(kStandardOutputFailed);
    return StatusAfterFailedOutput(report.Outcome);
  }
  return static_cast<int>(report.Outcome);
}

int Refused(const std::string& message) {
  std::cerr << message << '\n';
  return static_cast<int>(RunOutcome::InputRefused);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Runs one dry-spinning case and writes its result file.\n"
      "Without DATA_FILE the default case is run."};
  app.set_version_flag("--version", "korvane-batch " KORVANE_VERSION);
  BatchOptions o;
  AddBatchOptions(app, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : static_cast<int>(RunOutcome::InputRefused);
  }

  // The case is built in this order, each step over the one before: the input file, then
  // --material, then --set; the method options on the command line win over a case file's.
  FieldTexts texts = DefaultFieldTexts();
  texts.ResultFileName = o.ResultFile;
  std::string error;
  std::vector<std::string> notes;
  std::optional<CaseSetup> setup =
      ReadCaseOptions(app, o.Case, texts, {"--sensitivity"}, notes, error);
  for (const std::string& note : notes) std::cerr << note << '\n';
  if (!setup) return Refused(error);
  if (app.count("--sensitivity") > 0) {
    auto parameters = SensitivityParametersFor(o.Sensitivity, error);
    if (!parameters || !o.Sweeps.empty())
      return Refused("--sensitivity: " + (parameters ? std::string("not with --sweep") : error));
    setup->Run.Converged.Sensitivities = std::move(*parameters);
  }
  if (const std::optional<std::string> problem = ReadCaseSettings(o.Case, *setup))
    return Refused(*problem);

  RemovePendingFilesOnTermination();
  BatchEnvironment environment;
  if (!ApplyCaseOptions(app, o.Case, *setup, environment, error)) return Refused(error);

  // What the run reads and what it will write, checked before anything is written.
  std::vector<SweepPlan> plans;
  for (const std::string& sweep : o.Sweeps) {
    std::optional<SweepPlan> plan = ParseSweep(sweep, error);
    if (!plan) return Refused("--sweep: " + error);
    plans.push_back(std::move(*plan));
  }
  for (const SweepPlan& plan : plans) {
    for (const ItemSetting& setting : setup->Settings) {
      if (setting.Item == plan.Item)
        return Refused("--set: item " + std::to_string(plan.Item) + " is also swept");
    }
  }
  if (const std::optional<std::string> problem = SweepGridProblem(plans))
    return Refused("--sweep: " + *problem);
  if (const std::optional<std::string> clash =
          FindOutputClash(CaseInputFiles(app, o.Case, *setup), PlannedOutputs(o, plans)))
    return Refused(*clash + " Nothing was written.");

  if (plans.empty()) return RunOneCase(o, *setup, environment);
  if (const std::optional<int> status = SweepOutputProblem(o, plans)) return *status;
  return RunSweepCommand(setup->Texts, plans, o.ResultFile, o.CsvFile, o.SummaryFile, o.Jobs,
                         setup->Run);
}
