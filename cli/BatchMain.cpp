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

#include "cli/CaseInput.h"
#include "cli/ItemSetting.h"
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

// Why the method's options cannot run, naming the option; empty when they can.
std::optional<std::string> MethodOptionsProblem(const CLI::App& app, const RunOptions& options) {
  const bool converged = options.Method == SolverMethod::Converged;
  for (const char* name :
       {"--tolerance", "--radial-intervals", "--take-up-tension", "--sensitivity"}) {
    if (!converged && app.count(name) > 0)
      return std::string(name) + ": applies to the converged method only (--method converged)";
  }
  const ConvergedOptions& c = options.Converged;
  if (!(c.Tolerance >= kSmallestConvergedTolerance && c.Tolerance <= kLargestConvergedTolerance))
    return "--tolerance: the relative accuracy must lie between 1e-8 and 1e-2";
  if (app.count("--radial-intervals") > 0 &&
      (c.RadialIntervals < kSmallestRadialIntervals || c.RadialIntervals > kLargestRadialIntervals))
    return "--radial-intervals: the number of radial intervals must lie between " +
           std::to_string(kSmallestRadialIntervals) + " and " +
           std::to_string(kLargestRadialIntervals);
  if (c.TakeUpTension && !(*c.TakeUpTension > 0 && std::isfinite(*c.TakeUpTension)))
    return "--take-up-tension: the tension at take-up must be a number of dyn above 0";
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Runs one dry-spinning case and writes its result file.\n"
      "Without DATA_FILE the default case is run."};
  app.set_version_flag("--version", "korvane-batch " KORVANE_VERSION);
  std::string dataFile, resultFile = "result.txt", initialTension;
  app.add_option("DATA_FILE", dataFile,
                 "input data file (54 lines of label = value), case file (TOML) or result file "
                 "(its INPUT DATA), told apart by their content");
  app.add_option("-o,--output", resultFile, "result file to write")->capture_default_str();
  app.add_option("--initial-tension", initialTension,
                 "assumed initial spinning tension in dyn (default: the text of the initial "
                 "tension file, or 3.0)");
  std::string csvFile;
  app.add_option("--csv", csvFile,
                 "also write the profile of the run as CSV (when the run produced results); with "
                 "--sweep, one CSV per case, named as the result files are");
  std::string method = "classic";
  RunOptions runOptions;
  double takeUpTension = 0;
  app.add_option("--method", method,
                 "classic (the fixed-step method of every earlier result) or converged (the "
                 "model solved to --tolerance, with an estimate of its error)")
      ->check(CLI::IsMember({"classic", "converged"}))
      ->capture_default_str();
  app.add_option("--tolerance", runOptions.Converged.Tolerance,
                 "converged: the relative accuracy of the reported values, 1e-8 to 1e-2")
      ->capture_default_str();
  app.add_option("--radial-intervals", runOptions.Converged.RadialIntervals,
                 "converged: equal radial intervals, 2 to 512 (default: a surface-clustered grid "
                 "chosen to meet the tolerance; 10 is the classic radial model)");
  app.add_option("--take-up-tension", takeUpTension,
                 "converged: the tension at take-up in dyn, met instead of the take-up speed");
  std::string sensitivity;
  app.add_option("--sensitivity", sensitivity,
                 "converged: also the derivatives of the spinneret tension (printed) and of the "
                 "profile (CSV columns) with respect to these decimal items, ITEM[,ITEM...] by "
                 "number or name (take_up_speed)");
  std::string materialFile;
  app.add_option("--material", materialFile,
                 "apply a material file (TOML: dope, solvent and gas items by name, fixed ones "
                 "included) on top of the data file or the default case");
  std::vector<std::string> settingTexts;
  app.add_option("--set", settingTexts,
                 "set an item after the data file and the material: ITEM=VALUE, ITEM a number "
                 "or a name (take_up_speed), fixed items included; repeatable")
      ->allow_extra_args(false);
  std::vector<std::string> sweeps;
  std::string summaryFile = "sweep.csv";
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  app.add_option(
         "--sweep", sweeps,
         "run the case once per value of item ITEM: ITEM=V1,V2,... or ITEM=START:STOP:COUNT; "
         "one result file per value (the value before the -o name's extension). Several --sweep "
         "options run every combination of their values, the first varying slowest "
         "(out_800_70.txt)")
      ->allow_extra_args(false);  // one text per --sweep: a data file after it stays the data file
  app.add_option("--summary", summaryFile, "sweep summary CSV")->capture_default_str();
  app.add_option("-j,--jobs", jobs, "sweep cases run in parallel")
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : static_cast<int>(RunOutcome::InputRefused);
  }

  // The case is built in this order, each step over the one before: the input file, then
  // --material, then --set; the method options on the command line win over a case file's.
  FieldTexts texts = DefaultFieldTexts();
  texts.ResultFileName = resultFile;
  CaseInput input;
  if (!dataFile.empty()) {
    std::string error;
    std::optional<CaseInput> loaded = LoadCaseInput(dataFile, texts, error);
    if (!loaded) {
      std::cerr << error << '\n';
      return static_cast<int>(RunOutcome::InputRefused);
    }
    input = std::move(*loaded);
    for (const std::string& note : input.Notes) std::cerr << note << '\n';
  }
  runOptions.Method = method == "converged" ? SolverMethod::Converged : SolverMethod::Classic;
  if (app.count("--take-up-tension") > 0) runOptions.Converged.TakeUpTension = takeUpTension;
  ApplyCaseSolver(input.Solver,
                  {app.count("--method") > 0, app.count("--tolerance") > 0,
                   app.count("--radial-intervals") > 0, app.count("--take-up-tension") > 0},
                  runOptions);
  if (const std::optional<std::string> problem = MethodOptionsProblem(app, runOptions)) {
    std::cerr << *problem << '\n';
    return static_cast<int>(RunOutcome::InputRefused);
  }
  if (app.count("--sensitivity") > 0) {
    std::string error;
    auto parameters = SensitivityParametersFor(sensitivity, error);
    if (!parameters || !sweeps.empty()) {
      std::cerr << "--sensitivity: " << (parameters ? "not with --sweep" : error) << '\n';
      return static_cast<int>(RunOutcome::InputRefused);
    }
    runOptions.Converged.Sensitivities = std::move(*parameters);
  }

  std::vector<ItemSetting> settings;
  for (const std::string& text : settingTexts) {
    std::string error;
    std::optional<ItemSetting> setting = ParseItemSetting(text, error);
    if (!setting) {
      std::cerr << "--set: " << error << '\n';
      return static_cast<int>(RunOutcome::InputRefused);
    }
    settings.push_back(std::move(*setting));
  }
  if (const std::optional<std::string> problem = ItemSettingsProblem(settings)) {
    std::cerr << "--set: " << *problem << '\n';
    return static_cast<int>(RunOutcome::InputRefused);
  }

  RemovePendingFilesOnTermination();
  BatchEnvironment environment;
  if (app.count("--initial-tension") > 0) {
    texts.InitialTensionText = initialTension;
  } else if (!input.HasInitialTension) {
    const InitialTensionRead read = ReadInitialTensionFile(InitialTensionFilePath());
    if (!read.Ok) environment.ShowMessage(read.Message);
    texts.InitialTensionText = read.Text;
  }
  if (!materialFile.empty()) {
    const MaterialLoad material = LoadMaterialFile(materialFile);
    if (!material.Ok) {
      environment.ShowMessage(material.Message);
      return static_cast<int>(RunOutcome::InputRefused);
    }
    ApplyMaterial(material.Value, texts);
  }
  ApplyItemSettings(settings, texts);

  // What the run reads and what it will write, checked before anything is written.
  std::vector<NamedFile> inputs, outputs;
  if (!dataFile.empty()) inputs.push_back({input.Role, dataFile});
  if (!input.MaterialFile.empty())
    inputs.push_back({"the case's material file", input.MaterialFile});
  if (!materialFile.empty()) inputs.push_back({"the material file", materialFile});
  if (app.count("--initial-tension") == 0 && !input.HasInitialTension)
    inputs.push_back({"the initial tension file", InitialTensionFilePath()});
  std::vector<SweepPlan> plans;
  for (const std::string& sweep : sweeps) {
    std::string error;
    std::optional<SweepPlan> plan = ParseSweep(sweep, error);
    if (!plan) {
      std::cerr << "--sweep: " << error << '\n';
      return static_cast<int>(RunOutcome::InputRefused);
    }
    plans.push_back(std::move(*plan));
  }
  for (const SweepPlan& plan : plans) {
    for (const ItemSetting& setting : settings) {
      if (setting.Item != plan.Item) continue;
      std::cerr << "--set: item " << plan.Item << " is also swept\n";
      return static_cast<int>(RunOutcome::InputRefused);
    }
  }
  if (const std::optional<std::string> problem = SweepGridProblem(plans)) {
    std::cerr << "--sweep: " << *problem << '\n';
    return static_cast<int>(RunOutcome::InputRefused);
  }
  if (!plans.empty()) {
    for (int k = 0, cases = SweepCaseCount(plans); k < cases; ++k) {
      const std::vector<std::string> values = SweepCaseValues(plans, k);
      outputs.push_back({"the result file of " + SweepCaseLabel(plans, values),
                         SweepResultFileName(resultFile, values)});
      if (!csvFile.empty())
        outputs.push_back({"the CSV file of " + SweepCaseLabel(plans, values),
                           SweepResultFileName(csvFile, values)});
    }
    outputs.push_back({"--summary", summaryFile});
  } else {
    if (!resultFile.empty()) outputs.push_back({"-o", resultFile});
    if (!csvFile.empty()) outputs.push_back({"--csv", csvFile});
  }
  if (const std::optional<std::string> clash = FindOutputClash(inputs, outputs)) {
    std::cerr << *clash << " Nothing was written.\n";
    return static_cast<int>(RunOutcome::InputRefused);
  }

  if (!plans.empty()) {
    // The summary is written last; a name it cannot take is found before the first case runs.
    if (const std::optional<std::string> problem = OutputProblem(summaryFile)) {
      std::cerr << "The sweep summary " << summaryFile << " could not be written: " << *problem
                << ". Nothing was run.\n";
      return static_cast<int>(RunOutcome::ResultFileFailed);
    }
    // So is a folder that no case could write its files into.
    const std::vector<std::string> firstCase = SweepCaseValues(plans, 0);
    for (const auto& [what, base] :
         {std::pair{"result files", resultFile}, {"CSV files", csvFile}}) {
      if (base.empty()) continue;
      if (const std::optional<std::string> problem =
              OutputFolderProblem(SweepResultFileName(base, firstCase))) {
        std::cerr << "The " << what << " of the sweep could not be written: " << *problem
                  << ". Nothing was run.\n";
        return static_cast<int>(RunOutcome::ResultFileFailed);
      }
    }
    return RunSweepCommand(texts, plans, resultFile, csvFile, summaryFile, jobs, runOptions);
  }

  RunContext context;
  const RunReport report = RunDriver(context, texts, environment, runOptions);
  if (!csvFile.empty() && report.Outcome != RunOutcome::InputRefused) {
    const FileResult csv = UpdateProfileCsv(
        csvFile, context.Params, *context.Profile, context.State, report.PrintedPointCount,
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
