#include "files/ResultFile.h"

#include <cmath>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <utility>

#include "core/model/FilamentStress.h"
#include "core/results/TensionBelowZero.h"
#include "files/NumberText.h"
#include "files/ProfileColumns.h"
#include "inputs/ParameterItems.h"

namespace korvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr const char* kWriteFailedPrefix = kResultFileWriteFailed;

// Titles of the input echo's groups, in the order of ItemGroup. "CONDITIN" is spelled as in
// every result file written so far; files are compared line by line, so it stays.
constexpr const char* kGroupTitles[] = {"  SPINNING DOPE",
                                        "  SOLVENT",
                                        "  SPINNING GAS",
                                        "  SPINNING CONDITIN",
                                        "  SPINNING COLUMN STRUCTURE",
                                        "  CALCULATION ACCURACY",
                                        "  SOLVENT-GAS"};
constexpr int kGroupCount = static_cast<int>(std::size(kGroupTitles));
static_assert(kGroupCount == static_cast<int>(ItemGroup::SolventGas) + 1);

constexpr const char* kFirstTableHeader1 =
    "  DIST    AV SOL   SURF SOL   YARN V   YARN T    YARN A    TENSION    STRESS";
constexpr const char* kFirstTableHeader2 =
    "  Z(cm)    (-)       (-)      V(cm/s)   T(\x81\x8E"
    ")    A(cm2)    F(dyn)     (G/den)";
constexpr const char* kSecondTableHeader1 = "  DIST    GAS V      GAS T     ELONG VIS     H TRANS";
constexpr const char* kSecondTableHeader2 =
    "  Z(cm)  UPM(cm/s)   TM(\x81\x8E"
    ")     B(poise)   (kcal/m2h\x81\x8E"
    ")";
constexpr const char* kTensionBelowZeroLine =
    "            ***** SPINNING TENSION BECOMES LESS THAN ZERO *****";

FileResult Failure(FileStatus status, std::string message) {
  return FileResult{status, std::move(message)};
}

FileResult BadValue(const std::string& what) {
  return Failure(FileStatus::BadValue, kWriteFailedPrefix + what + " is not a finite number.");
}

// Writes one line and its CR LF.
FileResult Line(PendingFile& file, std::string_view text) {
  std::string line(text);
  line += kLineEnd;
  return file.Write(line);
}

// Right-aligns a short text by putting blanks in front; a text of `width` or more
// characters is used unchanged.
std::string AlignRight(std::string text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// The text of a value in its cell, with the blanks in front of the cell.
std::string CellText(const ResultCell& cell, double value) {
  std::string text = FormatNumber(value, cell.Format);
  const size_t width = static_cast<size_t>(cell.Width);
  switch (cell.Align) {
    case CellAlign::AsWritten:
      break;
    case CellAlign::Right:
      text = AlignRight(std::move(text), width);
      break;
    case CellAlign::OneBlank:
      if (text.size() + 1 == width) text.insert(0, 1, ' ');
      break;
  }
  return std::string(static_cast<size_t>(cell.BlanksBefore), ' ') + text;
}

// The cell of a column in the first or the second result table.
const ResultCell& TableCell(const ProfileColumn& column, bool gasTable) {
  return gasTable ? column.GasTable : column.FilamentTable;
}

// Point i's row of a table: every column the table prints, in column order.
std::string RowText(const ProfileSource& source, int i, bool gasTable) {
  std::string row;
  for (const ProfileColumn& column : ProfileColumns()) {
    const ResultCell& cell = TableCell(column, gasTable);
    if (cell.InTable()) row += CellText(cell, column.Value(source, i));
  }
  return row;
}

std::string PointName(int index, const char* what) {
  return std::string(what) + " at profile point " + std::to_string(index);
}

// Refuses a table's value at point i that is not a finite number: first those read from the
// profile, or the derived ones (derived = true), in column order.
FileResult CheckRow(const ProfileSource& source, int i, bool gasTable, bool derived) {
  for (const ProfileColumn& column : ProfileColumns()) {
    const ResultCell& cell = TableCell(column, gasTable);
    if (!cell.InTable() || column.Derived != derived) continue;
    if (!std::isfinite(column.Value(source, i))) return BadValue(PointName(i, cell.What));
  }
  return {};
}

}  // namespace

FileResult OpenResultFile(PendingFile& file, const RunParameters& params) {
  return file.Open(params.ResultFileName, kResultFileCannotOpen, kWriteFailedPrefix);
}

FileResult InputDataWriter(const RunParameters& params) {
  PendingFile file;
  if (FileResult opened = OpenResultFile(file, params); !opened.ok()) return opened;
  const FileResult written = InputDataWriter(file, params);
  const FileResult committed = file.Commit();
  return written.ok() ? committed : written;
}

FileResult InputDataWriter(PendingFile& file, const RunParameters& params) {
  for (const char* line : {"==========", "INPUT DATA", "==========", ""})
    if (FileResult r = Line(file, line); !r.ok()) return r;

  for (int group = 0; group < kGroupCount; ++group) {
    const std::string title = kGroupTitles[group];
    const std::string dashes = "  " + std::string(title.size() - 2, '-');
    for (const std::string& line : {title, dashes})
      if (FileResult r = Line(file, line); !r.ok()) return r;
    for (const ParameterItem& item : ParameterItems()) {
      if (static_cast<int>(item.Group) != group) continue;
      const double value = ItemValue(item, params);
      if (!std::isfinite(value)) return BadValue("item " + std::to_string(item.Number));
      if (FileResult r = Line(file, item.EchoLabel + FormatNumber(value, item.EchoFormat)); !r.ok())
        return r;
    }
    if (FileResult r = Line(file, ""); !r.ok()) return r;
  }
  return {};
}

FileResult ResultsAppender(PendingFile& file, const RunParameters& params,
                           SpinningLineProfile& profile, SimulationState& state) {
  state.Outcome.TensionBelowZero = false;
  const int n = profile.PassPointCount;
  if (n < 0 || n > profile.Capacity())
    return Failure(FileStatus::BadValue, kWriteFailedPrefix + std::string("the profile has ") +
                                             std::to_string(n) + " points, outside 0 to " +
                                             std::to_string(profile.Capacity()) + ".");

  const double density = params.DopeDensity;
  if (!std::isfinite(density)) return BadValue("the dope density");
  if (!std::isfinite(state.Constants.PolymerFlowRate)) return BadValue("the polymer flow rate");

  for (const char* line : {"", "===================", "CALCULATION RESULTS",
                           "===================", "", kFirstTableHeader1, kFirstTableHeader2})
    if (FileResult r = Line(file, line); !r.ok()) return r;

  // The first table ends at the point where the tension fell to zero, if it did.
  const int lastPrinted = TensionBelowZeroPointCount(profile);
  const ProfileSource source{params, profile, state, n};
  const ProfileColumn& tensionColumn = ProfileColumnByName("tension");
  const ProfileColumn& areaColumn = ProfileColumnByName("filament_area");
  const ProfileColumn& stressColumn = ProfileColumnByName("stress");
  for (int i = 0; i < n; ++i) {
    if (FileResult r = CheckRow(source, i, false, false); !r.ok()) return r;
    // The filament cross-section and the stress; a zero divisor is refused rather than
    // divided by, so that no infinity is ever formed. The stress is kept in the profile for
    // the readers of the results.
    const double yarnArea = areaColumn.Value(source, i);
    if (!std::isfinite(yarnArea)) return BadValue(PointName(i, areaColumn.FilamentTable.What));
    const double stress = FilamentStress(tensionColumn.Value(source, i), density, yarnArea);
    if (!std::isfinite(stress)) return BadValue(PointName(i, stressColumn.FilamentTable.What));
    profile.ProfileStress[i] = stress;
    if (FileResult r = CheckRow(source, i, false, true); !r.ok()) return r;

    if (FileResult r = Line(file, RowText(source, i, false)); !r.ok()) return r;

    if (i + 1 == lastPrinted) {
      state.Outcome.TensionBelowZero = true;
      for (const char* line : {"", kTensionBelowZeroLine})
        if (FileResult r = Line(file, line); !r.ok()) return r;
      return {};
    }
  }

  for (const char* line : {"", kSecondTableHeader1, kSecondTableHeader2})
    if (FileResult r = Line(file, line); !r.ok()) return r;

  // A pass that ended before the end of the grid computed no gas values at its last point.
  const int gasRows = n > 1 && n < profile.ProfilePointCount ? n - 1 : n;
  for (int i = 0; i < gasRows; ++i) {
    for (bool derived : {false, true})
      if (FileResult r = CheckRow(source, i, true, derived); !r.ok()) return r;
    if (FileResult r = Line(file, RowText(source, i, true)); !r.ok()) return r;
  }
  return {};
}

FileResult ConvergedTrailerWriter(PendingFile& file, double tolerance,
                                  const ConvergedReport& report) {
  for (const auto& [value, name] :
       {std::pair{tolerance, "the tolerance"},
        std::pair{report.EstimatedTensionError, "the estimated error of the spinneret tension"},
        std::pair{report.EstimatedRelativeTensionError,
                  "the estimated relative error of the spinneret tension"}})
    if (!std::isfinite(value)) return BadValue(name);
  const std::string summary =
      "Written by the converged method: tolerance " + Exponent(tolerance, 2, 2) + ", " +
      std::to_string(report.RadialIntervals + 1) + " radial nodes (" +
      (report.SurfaceClustered ? "surface-clustered" : "equally spaced") + "), " +
      std::to_string(report.Passes) + " passes, estimated error of the spinneret tension " +
      Exponent(report.EstimatedTensionError, 2, 2) + " dyn (" +
      Exponent(report.EstimatedRelativeTensionError, 2, 2) + " relative).";
  for (const std::string& line : {std::string(), summary})
    if (FileResult r = Line(file, line); !r.ok()) return r;
  if (!report.ToleranceMet) {
    // Why, where the solver said: the error, the end of the line, or a line solved in parts.
    return Line(file, report.ToleranceNote.empty()
                          ? std::string("The tolerance is not met.")
                          : "The tolerance is not met: " + report.ToleranceNote + ".");
  }
  return {};
}

FileResult PropertyLawsTrailerWriter(
    PendingFile& file, const std::vector<std::pair<std::string, std::string>>& laws,
    const std::vector<std::pair<std::string, std::string>>& constants) {
  if (laws.empty() && constants.empty()) return {};
  for (const char* line : {"", "Property laws given as formulas:"})
    if (FileResult r = Line(file, line); !r.ok()) return r;
  for (const auto& [name, formula] : laws) {
    std::string line = "  " + name + " = " + formula;
    // A formula stays on its line.
    for (char& c : line)
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    if (FileResult r = Line(file, line); !r.ok()) return r;
  }
  if (constants.empty()) return {};
  if (FileResult r = Line(file, "Law constants:"); !r.ok()) return r;
  for (const auto& [name, number] : constants) {
    std::string line = "  " + name + " = " + number;
    for (char& c : line)
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    if (FileResult r = Line(file, line); !r.ok()) return r;
  }
  return {};
}

std::vector<std::pair<std::string, std::string>> ReadResultFileLaws(
    const std::string& path, std::vector<std::pair<std::string, std::string>>* constants) {
  // The list is the end of the file: its last bytes hold it whole.
  constexpr std::streamoff kTail = 1 << 16;
  std::vector<std::pair<std::string, std::string>> laws;
  std::ifstream file(path, std::ios::binary);
  if (!file.seekg(0, std::ios::end)) return laws;
  const std::streamoff size = file.tellg();
  const std::streamoff start = size > kTail ? size - kTail : 0;
  std::string tail(static_cast<size_t>(size - start), '\0');
  if (!file.seekg(start) || !file.read(tail.data(), static_cast<std::streamsize>(tail.size())))
    return laws;
  const std::string_view heading = "\r\nProperty laws given as formulas:\r\n";
  const size_t at = tail.rfind(heading);
  if (at == std::string::npos) return laws;
  size_t begin = at + heading.size();
  auto* list = &laws;
  while (begin < tail.size()) {
    const size_t end = tail.find("\r\n", begin);
    const std::string_view line(tail.data() + begin,
                                (end == std::string::npos ? tail.size() : end) - begin);
    const size_t equals = line.find(" = ");
    if (line == "Law constants:" && list == &laws && constants) {
      list = constants;
    } else {
      if (line.rfind("  ", 0) != 0 || equals == std::string_view::npos) break;
      list->emplace_back(std::string(line.substr(2, equals - 2)),
                         std::string(line.substr(equals + 3)));
    }
    if (end == std::string::npos) break;
    begin = end + 2;
  }
  return laws;
}

}  // namespace korvane
