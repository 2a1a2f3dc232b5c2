// korvane-fit: fits input items of a case to measurements along the line. Progress and
// messages go to standard error, the estimates to standard output; the exit status tells how the
// fit ended.
#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "cli/CaseOptions.h"
#include "cli/FitReport.h"
#include "files/CaseFile.h"
#include "files/FileBytes.h"
#include "files/MeasurementsCsv.h"
#include "files/OutputPaths.h"
#include "files/PendingFile.h"
#include "fit/MeasurementFit.h"

namespace {

using namespace korvane;

// Ctrl-C (or a termination request) asks the fit to stop after the run in progress; a second
// one removes the file a run is still writing and ends the program as the signal would have.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnStopSignal(int signal) {
  if (!stopRequested.exchange(true)) return;
  RemovePendingFiles();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void StopOnSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal the caller chose to ignore (nohup) stays ignored.
    struct sigaction earlier {};
    if (sigaction(signal, nullptr, &earlier) == 0 && earlier.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

class FitEnvironment : public RunEvents {
 public:
  void ShowMessage(std::string_view text) override { std::cerr << text << '\n'; }
};

struct FitOptions {
  CaseOptions Case;
  std::string MeasurementsFile;
  std::vector<std::string> Parameters;
  std::string Loss = "linear";
  std::string ReportFile;
  std::string CaseOutput;
  int MaxIterations = 50;
  bool ListQuantities = false;
};

void AddFitOptions(CLI::App& app, FitOptions& o) {
  AddCaseInputOptions(app, o.Case);
  app.add_option("--measurements", o.MeasurementsFile,
                 "CSV with the header quantity,z,value,sigma: a profile quantity as the CSV "
                 "export's header names it without the unit, z in cm, the value in the export's "
                 "unit and its standard deviation (empty: estimated from the residuals)");
  app.add_option("--parameter", o.Parameters,
                 "an item to fit, NAME or NAME=LOW:HIGH, NAME as scripts name it "
                 "(diffusion_param_1) or its number, fixed items included; default bounds are "
                 "those of the item's range; repeatable")
      ->allow_extra_args(false);
  AddCaseMethodOptions(app, o.Case, SolverMethod::Converged);
  app.add_option("--loss", o.Loss,
                 "linear (least squares) or huber (measurements beyond 1.345 sigma weigh less)")
      ->check(CLI::IsMember({"linear", "huber"}))
      ->capture_default_str();
  app.add_option("--max-iterations", o.MaxIterations, "iterations before the fit gives up")
      ->check(CLI::Range(1, 1000))
      ->capture_default_str();
  AddCaseSettingOptions(app, o.Case);
  app.add_option("--report", o.ReportFile,
                 "write the estimates, their correlation and the "
                 "residuals as JSON");
  app.add_option("-o,--output", o.CaseOutput, "write the fitted case as a case file (TOML)");
  app.add_flag("--list-quantities", o.ListQuantities,
               "print the quantities a measurement may name, one a line, and end (their units are "
               "those of the profile CSV's header)");
  app.footer(
      "Exit status: 0 fitted; 1 the fit did not converge, a run failed, the measurements cannot\n"
      "determine a parameter (named), or the fit was stopped (Ctrl-C); 2 the input was refused;\n"
      "4 the report, the case file or standard output could not be written. An output that is\n"
      "an input or another output is refused (2).");
}

int Refused(const std::string& message) {
  std::cerr << message << '\n';
  return static_cast<int>(RunOutcome::InputRefused);
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The estimates as a table for the reader.
std::string EstimateTable(const FitResult& result) {
  std::string text =
      "parameter                          estimate   standard error        95 % interval\n";
  for (const FitEstimate& e : result.Parameters) {
    char line[256];
    if (e.Determined) {
      std::snprintf(line, sizeof line, "%-30s %14.6E %16.4E  [%.6E, %.6E]\n", e.Name.c_str(),
                    e.Value, e.StandardError, e.Low95, e.High95);
    } else {
      std::snprintf(line, sizeof line, "%-30s %14.6E  not determined by the measurements\n",
                    e.Name.c_str(), e.Value);
    }
    text += line;
  }
  if (result.Correlation.size() > 1) {
    text += "correlation of the determined parameters:\n";
    for (const std::vector<double>& row : result.Correlation) {
      text += " ";
      for (double c : row) text += Format(" %7.4f", c);
      text += "\n";
    }
  }
  text += "chi-square " + Format("%.6g", result.ChiSquare) + " with " +
          std::to_string(result.DegreesOfFreedom) + " degrees of freedom; " +
          std::to_string(result.Iterations) + " iterations, " + std::to_string(result.Evaluations) +
          " model runs, " + Format("%.2f", result.Seconds) + " s\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Fits input items of a dry-spinning case to measurements along the line.\n"
      "Without CASE the default case is fitted."};
  app.set_version_flag("--version", "korvane-fit " KORVANE_VERSION);
  FitOptions o;
  AddFitOptions(app, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : static_cast<int>(RunOutcome::InputRefused);
  }
  if (o.ListQuantities) {
    std::string list;
    for (const ProfileColumn* column : MeasurableColumns())
      list += std::string(column->Label) + "\n";
    std::cout << list << std::flush;
    return std::cout.fail() ? static_cast<int>(RunOutcome::ResultFileFailed) : 0;
  }
  if (o.MeasurementsFile.empty()) return Refused("--measurements: the measurements file is needed");
  if (o.Parameters.empty())
    return Refused("--parameter: name at least one item to fit (NAME or NAME=LOW:HIGH)");

  // The case, as the batch runner builds it.
  FieldTexts texts = DefaultFieldTexts();
  std::string error;
  std::vector<std::string> notes;
  std::optional<CaseSetup> setup = ReadCaseOptions(app, o.Case, texts, {}, notes, error);
  for (const std::string& note : notes) std::cerr << note << '\n';
  if (!setup) return Refused(error);
  if (const std::optional<std::string> problem = ReadCaseSettings(o.Case, *setup))
    return Refused(*problem);
  FitEnvironment environment;
  if (!ApplyCaseOptions(app, o.Case, *setup, environment, error)) return Refused(error);

  // The measurements and the parameters, checked before any run.
  const std::optional<double> length = LineLength(setup->Texts);
  if (!length) return Refused("The step fields of the case do not give the length of the line.");
  const MeasurementsLoad measurements = LoadMeasurementsFile(o.MeasurementsFile, *length);
  if (!measurements.Ok) return Refused(measurements.Message);
  std::optional<std::vector<FitParameter>> parameters =
      ParseFitParameters(o.Parameters, setup->Texts, error);
  if (!parameters) return Refused("--parameter: " + error);

  std::vector<NamedFile> inputs = CaseInputFiles(app, o.Case, *setup);
  inputs.push_back({"--measurements", o.MeasurementsFile});
  std::vector<NamedFile> outputs;
  if (!o.ReportFile.empty()) outputs.push_back({"--report", o.ReportFile});
  if (!o.CaseOutput.empty()) outputs.push_back({"-o", o.CaseOutput});
  if (const std::optional<std::string> clash = FindOutputClash(inputs, outputs))
    return Refused(*clash + " Nothing was written.");
  for (const NamedFile& output : outputs) {
    if (const std::optional<std::string> problem = OutputProblem(output.Path)) {
      std::cerr << output.Role << " " << output.Path << " could not be written: " << *problem
                << ". Nothing was run.\n";
      return static_cast<int>(RunOutcome::ResultFileFailed);
    }
  }

  FitRequest request;
  request.Texts = setup->Texts;
  request.Options = setup->Run;
  request.Measurements = measurements.Values;
  request.Parameters = std::move(*parameters);
  request.Loss = o.Loss == "huber" ? FitLoss::Huber : FitLoss::Linear;
  request.MaxIterations = o.MaxIterations;
  request.Cancelled = [] { return stopRequested.load(); };
  request.Progress = [&request](const FitProgress& progress) {
    std::string line = "iteration " + std::to_string(progress.Iteration) + ": cost " +
                       Format("%.6E", progress.Cost);
    for (size_t k = 0; k < progress.Values.size(); ++k)
      line += ", " + FitParameterName(request.Parameters[k]) + " = " +
              Format("%.8E", progress.Values[k]);
    std::cerr << line << '\n';
  };
  if (request.Options.Method == SolverMethod::Classic)
    std::cerr << "Warning: the classic method's answer moves in steps with its inputs.\n";
  StopOnSignals();
  const FitResult result = FitToMeasurements(request);
  for (const std::string& warning : result.Warnings)
    if (request.Options.Method != SolverMethod::Classic || warning.rfind("The classic", 0) != 0)
      std::cerr << "Warning: " << warning << '\n';

  if (result.Status == FitStatus::Refused) return Refused("The fit is refused: " + result.Message);
  if (!result.Converged()) {
    std::cerr << (result.Status == FitStatus::Cancelled ? "The fit was stopped."
                                                        : "The fit failed: " + result.Message)
              << '\n';
    return static_cast<int>(RunOutcome::CalculationFailed);
  }
  int status = result.Status == FitStatus::Fitted ? 0 : 1;
  std::cout << EstimateTable(result) << std::flush;
  if (std::cout.fail()) {
    std::cerr << "Standard output could not be written.\n";
    status = std::max(status, static_cast<int>(RunOutcome::ResultFileFailed));
  }
  if (!o.ReportFile.empty()) {
    const FileResult written =
        WriteFileBytes(o.ReportFile, FitReportJson(result),
                       "The report " + o.ReportFile + " could not be written.",
                       "The report " + o.ReportFile + " could not be written: ");
    if (!written.ok()) {
      std::cerr << written.Message << '\n';
      if (status == 0) status = static_cast<int>(RunOutcome::ResultFileFailed);
    }
  }
  if (result.Status == FitStatus::Undetermined) {
    std::cerr << "The fit is not complete: " << result.Message << '\n';
    if (!o.CaseOutput.empty())
      std::cerr << "The fitted case " << o.CaseOutput << " is not written.\n";
    return status;
  }
  if (!o.CaseOutput.empty()) {
    CaseFile fitted;
    fitted.Name = "fitted to " + o.MeasurementsFile;
    fitted.Texts = result.FittedTexts;
    fitted.HasInitialTension = true;
    fitted.Solver.Converged = request.Options.Method == SolverMethod::Converged;
    if (request.Options.Method == SolverMethod::Converged) {
      fitted.Solver.Tolerance = request.Options.Converged.Tolerance;
      if (request.Options.Converged.RadialIntervals > 0)
        fitted.Solver.RadialIntervals = request.Options.Converged.RadialIntervals;
      fitted.Solver.TakeUpTension = request.Options.Converged.TakeUpTension;
    }
    const FileResult written = CaseFileWriter(o.CaseOutput, fitted);
    if (!written.ok()) {
      std::cerr << written.Message << '\n';
      if (status == 0) status = static_cast<int>(RunOutcome::ResultFileFailed);
    }
  }
  return status;
}
