// The command-line options that define a case, shared by the front ends that run one: the input
// file, the initial tension, the method and its options, the material and the item settings.
// Each registers them with AddCaseOptions and builds the case with ReadCaseOptions and then
// ApplyCaseOptions, so that every such program takes the same options with the same messages.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/CaseInput.h"
#include "cli/ItemSetting.h"
#include "files/OutputPaths.h"
#include "inputs/FieldTexts.h"
#include "run/RunDriver.h"

namespace korvane {

// The options as given on the command line.
struct CaseOptions {
  std::string DataFile;        // empty: the default case
  std::string InitialTension;  // the text of --initial-tension
  std::string Method;          // "classic" or "converged"
  RunOptions Run;              // the converged method's options as given
  double TakeUpTension = 0;
  std::string MaterialFile;
  std::vector<std::string> SettingTexts;
};

// Register the options; `options` must outlive the parse. They come in three groups so that a
// program can place its own between them in its help: the input (DATA_FILE, --initial-tension),
// the method (--method, defaultMethod unless given, --tolerance, --radial-intervals,
// --take-up-tension) and the settings (--material, --set).
void AddCaseInputOptions(CLI::App& app, CaseOptions& options);
void AddCaseMethodOptions(CLI::App& app, CaseOptions& options, SolverMethod defaultMethod);
void AddCaseSettingOptions(CLI::App& app, CaseOptions& options);

// The case being built from the options.
struct CaseSetup {
  FieldTexts Texts;
  CaseInput Input;
  RunOptions Run;
  std::vector<ItemSetting> Settings;
};

// Reads the input file into the default case (texts.ResultFileName kept) and settles the method
// and its options: those on the command line win over a case file's. Refuses, with the message
// to show in `error`, an input file that cannot be read, a method option that does not apply or
// is out of range (also for any of `convergedOnly`, options of the program's own that apply to
// the converged method only). The input file's notes go to `notes`.
std::optional<CaseSetup> ReadCaseOptions(const CLI::App& app, const CaseOptions& options,
                                         const FieldTexts& texts,
                                         const std::vector<std::string>& convergedOnly,
                                         std::vector<std::string>& notes, std::string& error);

// Reads the --set texts into setup.Settings; the refusal ("--set: ...") when one is malformed or
// an item is set twice.
std::optional<std::string> ReadCaseSettings(const CaseOptions& options, CaseSetup& setup);

// Completes the case in this order: the initial tension (--initial-tension, the case file's, or
// the initial tension file, whose problems are shown through `events`), the material file, then
// the settings. False with `error` when the material file is refused.
bool ApplyCaseOptions(const CLI::App& app, const CaseOptions& options, CaseSetup& setup,
                      RunEvents& events, std::string& error);

// The files the case reads, as the output checks name them.
std::vector<NamedFile> CaseInputFiles(const CLI::App& app, const CaseOptions& options,
                                      const CaseSetup& setup);

}  // namespace korvane
