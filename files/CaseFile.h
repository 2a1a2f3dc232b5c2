// Case files: everything a run needs, as a TOML file.
//
//   name = "winter trial"
//   initial_tension = 3.0           the assumed initial spinning tension (dyn)
//   material = "pan-dmf.toml"       a material file, relative to the case file; or [material],
//                                   laid out as a material file
//   [items]                         the items by script name, numbers as typed (a text in
//   take_up_speed = 833.00          quotes for one TOML cannot write, such as ".5")
//   [jackets]                       "jacketed" or "insulated"
//   jacket_1 = "insulated"
//   [solver]                        all optional: method "classic" or "converged", tolerance,
//   method = "converged"            radial_intervals, take_up_tension
//   [laws]                          property laws as formulas, as in a material file
//   [laws.constants]                the laws' named constants, as in a material file
//
// Reading starts from the default case, applies the material, then the items and the laws: an
// item or a law the file gives wins over the material's. Every refusal names the file, the line and
// the key.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "files/FileResult.h"
#include "files/MaterialFile.h"
#include "inputs/FieldTexts.h"

namespace korvane {

// The solver options a case may give; absent ones keep the run's defaults.
struct CaseSolver {
  std::optional<bool> Converged;  // the method: true for "converged", false for "classic"
  std::optional<double> Tolerance;
  std::optional<int> RadialIntervals;
  std::optional<double> TakeUpTension;
};

struct CaseFile {
  std::string Name;
  FieldTexts Texts;  // the items, the jackets and the initial tension (the result file name
                     // is the default one)
  bool HasInitialTension = false;  // the file gave initial_tension
  std::string MaterialName;        // the material the file named, if any
  std::string MaterialFile;        // the material file it read, as opened (empty: none)
  CaseSolver Solver;
};

struct CaseLoad {
  bool Ok = false;
  bool Unreadable = false;  // the file could not be opened or read (Message says why)
  std::string Message;
  CaseFile Value;
};

// True when the text parses as TOML and holds one of a case's keys: what tells a case file from
// a data file (whose labels are no TOML keys) or a result file.
bool LooksLikeCaseFile(std::string_view text);

// What an input file holds, told by its content (and a ".toml" name, so that a case file with a
// syntax error is reported as one).
enum class InputFileKind { DataFile, CaseFile, ResultFile };
InputFileKind InputFileKindOf(const std::string& path);

// Checks the text of a case file; `path` names it in messages, and a material path is taken
// relative to its folder.
CaseLoad ReadCase(std::string_view text, const std::string& path);

// Reads and checks a case file.
CaseLoad LoadCaseFile(const std::string& path);

// Writes the case: its name, initial tension, every item as typed, the jackets and the solver
// options it has. A text that does not convert to its item's kind is refused (BadValue, naming
// the item) before anything is written; the file is replaced atomically.
FileResult CaseFileWriter(const std::string& path, const CaseFile& value);

}  // namespace korvane
