#include "cli/CaseOptions.h"

#include <cmath>

#include "files/InitialTensionFile.h"
#include "files/MaterialFile.h"

namespace korvane {

namespace {

// Why the method's options cannot run, naming the option; empty when they can.
std::optional<std::string> MethodOptionsProblem(const CLI::App& app, const RunOptions& options,
                                                const std::vector<std::string>& convergedOnly) {
  const bool converged = options.Method == SolverMethod::Converged;
  std::vector<std::string> names = {"--tolerance", "--radial-intervals", "--take-up-tension"};
  names.insert(names.end(), convergedOnly.begin(), convergedOnly.end());
  for (const std::string& name : names) {
    if (!converged && app.count(name) > 0)
      return name + ": applies to the converged method only (--method converged)";
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

void AddCaseInputOptions(CLI::App& app, CaseOptions& options) {
  app.add_option("DATA_FILE", options.DataFile,
                 "input data file (54 lines of label = value), case file (TOML) or result file "
                 "(its INPUT DATA), told apart by their content");
  app.add_option("--initial-tension", options.InitialTension,
                 "assumed initial spinning tension in dyn (default: the text of the initial "
                 "tension file, or 3.0)");
}

void AddCaseMethodOptions(CLI::App& app, CaseOptions& options, SolverMethod defaultMethod) {
  options.Method = SolverMethodName(defaultMethod);
  options.Run.Method = defaultMethod;
  app.add_option("--method", options.Method,
                 "classic (the fixed-step method of every earlier result) or converged (the "
                 "model solved to --tolerance, with an estimate of its error)")
      ->check(CLI::IsMember({"classic", "converged"}))
      ->capture_default_str();
  app.add_option("--tolerance", options.Run.Converged.Tolerance,
                 "converged: the relative accuracy of the reported values, 1e-8 to 1e-2")
      ->capture_default_str();
  app.add_option("--radial-intervals", options.Run.Converged.RadialIntervals,
                 "converged: equal radial intervals, 2 to 512 (default: a surface-clustered grid "
                 "chosen to meet the tolerance; 10 is the classic radial model)");
  app.add_option("--take-up-tension", options.TakeUpTension,
                 "converged: the tension at take-up in dyn, met instead of the take-up speed");
}

void AddCaseSettingOptions(CLI::App& app, CaseOptions& options) {
  app.add_option("--material", options.MaterialFile,
                 "apply a material file (TOML: dope, solvent and gas items by name, fixed ones "
                 "included) on top of the data file or the default case");
  app.add_option("--set", options.SettingTexts,
                 "set an item after the data file and the material: ITEM=VALUE, ITEM a number "
                 "or a name (take_up_speed), fixed items included; repeatable")
      ->allow_extra_args(false);
}

std::optional<CaseSetup> ReadCaseOptions(const CLI::App& app, const CaseOptions& options,
                                         const FieldTexts& texts,
                                         const std::vector<std::string>& convergedOnly,
                                         std::vector<std::string>& notes, std::string& error) {
  CaseSetup setup;
  setup.Texts = texts;
  if (!options.DataFile.empty()) {
    std::optional<CaseInput> loaded = LoadCaseInput(options.DataFile, setup.Texts, error);
    if (!loaded) return std::nullopt;
    setup.Input = std::move(*loaded);
    notes.insert(notes.end(), setup.Input.Notes.begin(), setup.Input.Notes.end());
  }
  setup.Run = options.Run;
  setup.Run.Method =
      options.Method == "converged" ? SolverMethod::Converged : SolverMethod::Classic;
  if (app.count("--take-up-tension") > 0) setup.Run.Converged.TakeUpTension = options.TakeUpTension;
  ApplyCaseSolver(setup.Input.Solver,
                  {app.count("--method") > 0, app.count("--tolerance") > 0,
                   app.count("--radial-intervals") > 0, app.count("--take-up-tension") > 0},
                  setup.Run);
  if (std::optional<std::string> problem = MethodOptionsProblem(app, setup.Run, convergedOnly)) {
    error = std::move(*problem);
    return std::nullopt;
  }
  return setup;
}

std::optional<std::string> ReadCaseSettings(const CaseOptions& options, CaseSetup& setup) {
  setup.Settings.clear();
  for (const std::string& text : options.SettingTexts) {
    std::string error;
    std::optional<ItemSetting> setting = ParseItemSetting(text, error);
    if (!setting) return "--set: " + error;
    setup.Settings.push_back(std::move(*setting));
  }
  if (const std::optional<std::string> problem = ItemSettingsProblem(setup.Settings))
    return "--set: " + *problem;
  return std::nullopt;
}

bool ApplyCaseOptions(const CLI::App& app, const CaseOptions& options, CaseSetup& setup,
                      RunEvents& events, std::string& error) {
  if (app.count("--initial-tension") > 0) {
    setup.Texts.InitialTensionText = options.InitialTension;
  } else if (!setup.Input.HasInitialTension) {
    const InitialTensionRead read = ReadInitialTensionFile(InitialTensionFilePath());
    if (!read.Ok) events.ShowMessage(read.Message);
    setup.Texts.InitialTensionText = read.Text;
  }
  if (!options.MaterialFile.empty()) {
    const MaterialLoad material = LoadMaterialFile(options.MaterialFile);
    if (!material.Ok) {
      error = material.Message;
      return false;
    }
    ApplyMaterial(material.Value, setup.Texts);
  }
  ApplyItemSettings(setup.Settings, setup.Texts);
  return true;
}

std::vector<NamedFile> CaseInputFiles(const CLI::App& app, const CaseOptions& options,
                                      const CaseSetup& setup) {
  std::vector<NamedFile> inputs;
  if (!options.DataFile.empty()) inputs.push_back({setup.Input.Role, options.DataFile});
  if (!setup.Input.MaterialFile.empty())
    inputs.push_back({"the case's material file", setup.Input.MaterialFile});
  if (!options.MaterialFile.empty()) inputs.push_back({"the material file", options.MaterialFile});
  if (app.count("--initial-tension") == 0 && !setup.Input.HasInitialTension)
    inputs.push_back({"the initial tension file", InitialTensionFilePath()});
  return inputs;
}

}  // namespace korvane
