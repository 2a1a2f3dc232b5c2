// korvane-batch: runs a case without the window. Every text the window would show in a
// message box goes to standard error, one per line; the exit status tells how the run ended.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "cli/Sweep.h"
#include "files/DataFile.h"
#include "files/InitialTensionFile.h"
#include "files/NumberText.h"
#include "files/ProfileCsv.h"
#include "run/FieldTexts.h"
#include "run/RunDriver.h"

namespace {

using namespace korvane;

class BatchEnvironment : public RunEnvironment {
 public:
  void ShowMessage(std::string_view text) override {
    std::cerr << text << '\n';
    std::cerr.flush();
  }
  void SetBusyCursor(bool) override {}
  void ShowFinishDialog() override {}
  void RefreshFileList() override {}
};

std::string Summary(const RunContext& context) {
  const SpinningLineProfile& profile = *context.Profile;
  const int last = profile.ProfilePointCount - 1;
  return "passes " + std::to_string(context.State.Iteration.CalculationLoopCount) +
         ", spinneret tension " + Exponent(profile.ProfileTension[0], 5, 2) +
         " dyn, end solvent fraction " + Fixed(profile.ProfileAvgSolvent[last], 5, 3) +
         ", end temperature " + Fixed(profile.ProfileYarnTemp[last], 5, 1) + " degC";
}

void DrawProgress(int done, int total) {
  constexpr int kWidth = 40;
  const int filled = total > 0 ? done * kWidth / total : kWidth;
  std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
            << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << done << "/"
            << total << (done == total ? "\n" : "") << std::flush;
}

int RunSweepCommand(const FieldTexts& texts, const SweepPlan& plan, const std::string& resultFile,
                    const std::string& summaryFile, int jobs) {
  const bool terminal = isatty(STDERR_FILENO) != 0;
  const std::vector<SweepCaseResult> results = RunSweep(
      texts, plan, resultFile, jobs, terminal ? DrawProgress : std::function<void(int, int)>{});
  for (const SweepCaseResult& result : results) {
    for (const std::string& message : result.Messages)
      std::cerr << "[" << plan.Item << "=" << result.Value << "] " << message << '\n';
  }
  std::ofstream out(summaryFile, std::ios::binary);
  out << SweepSummaryCsv(results);
  out.close();
  if (!out) {
    std::cerr << "The sweep summary " << summaryFile << " could not be written.\n";
    return static_cast<int>(RunOutcome::ResultFileFailed);
  }
  int succeeded = 0;
  for (const SweepCaseResult& result : results) succeeded += result.Outcome == RunOutcome::Success;
  std::cout << "Sweep of item " << plan.Item << ": " << succeeded << " of " << results.size()
            << " cases finished successfully; summary in " << summaryFile << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Runs one dry-spinning case and writes its result file.\n"
      "Without DATA_FILE the default case is run."};
  app.set_version_flag("--version", "korvane-batch 1.3f");
  std::string dataFile, resultFile = "result.txt", initialTension;
  app.add_option("DATA_FILE", dataFile, "input data file (54 lines of label = value)");
  app.add_option("-o,--output", resultFile, "result file to write")->capture_default_str();
  app.add_option("--initial-tension", initialTension,
                 "assumed initial spinning tension in dyn (default: the text of the initial "
                 "tension file, or 3.0)");
  std::string csvFile;
  app.add_option("--csv", csvFile,
                 "also write the profile of the run as CSV (when the run produced results)");
  std::string sweep, summaryFile = "sweep.csv";
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  app.add_option(
      "--sweep", sweep,
      "run the case once per value of item ITEM: ITEM=V1,V2,... or ITEM=START:STOP:COUNT; "
      "one result file per value (the value before the -o name's extension)");
  app.add_option("--summary", summaryFile, "sweep summary CSV")->capture_default_str();
  app.add_option("-j,--jobs", jobs, "sweep cases run in parallel")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  app.footer(
      "Exit status: 0 success; 1 the calculation failed; 2 the input was refused;\n"
      "3 the spinning tension fell to zero or below; 4 the result file could not be written.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : static_cast<int>(RunOutcome::InputRefused);
  }

  BatchEnvironment environment;
  FieldTexts texts = DefaultFieldTexts();
  texts.ResultFileName = resultFile;
  if (app.count("--initial-tension") > 0) {
    texts.InitialTensionText = initialTension;
  } else {
    const InitialTensionRead read = ReadInitialTensionFile(InitialTensionFilePath());
    if (!read.Ok) environment.ShowMessage(kInitialTensionCannotOpen);
    texts.InitialTensionText = read.Text;
  }
  if (!dataFile.empty()) {
    const DataFileLoad load = LoadDataFile(dataFile);
    if (!load.Ok) {
      environment.ShowMessage(load.Message);
      return static_cast<int>(RunOutcome::InputRefused);
    }
    ApplyDataFileValues(load.Values, texts);
  }

  if (!sweep.empty()) {
    std::string error;
    const std::optional<SweepPlan> plan = ParseSweep(sweep, error);
    if (!plan) {
      std::cerr << "--sweep: " << error << '\n';
      return static_cast<int>(RunOutcome::InputRefused);
    }
    return RunSweepCommand(texts, *plan, resultFile, summaryFile, jobs);
  }

  RunContext context;
  const RunReport report = RunDriver(context, texts, environment);
  if (report.Outcome == RunOutcome::Success) {
    std::cout << "Calculation is successfully finished !\n" << Summary(context) << '\n';
  }
  if (!csvFile.empty() && report.PrintedPointCount > 0) {
    const FileResult csv = WriteProfileCsv(csvFile, context.Params, *context.Profile, context.State,
                                           report.PrintedPointCount);
    if (!csv.ok()) {
      environment.ShowMessage(csv.Message);
      return static_cast<int>(RunOutcome::ResultFileFailed);
    }
  }
  return static_cast<int>(report.Outcome);
}
