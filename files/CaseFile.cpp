#include "files/CaseFile.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>
#include <vector>

#include "core/converged/ConvergedSolver.h"
#include "files/FileBytes.h"
#include "files/NumberText.h"
#include "files/TomlReading.h"
#include "inputs/MaterialItems.h"
#include "inputs/ParameterItems.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/RangeChecks.h"
#include "inputs/TextConversion.h"

namespace korvane {

namespace {

using namespace toml_reading;

constexpr const char* kCaseKeys[] = {"name",     "items",           "jackets", "solver",
                                     "material", "initial_tension", "laws"};
constexpr const char* kJacketed = "jacketed";
constexpr const char* kInsulated = "insulated";

std::string JacketKey(int j) {
  return "jacket_" + std::to_string(j + 1);
}

// The lines of the text, for the numbers as they were typed.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  while (begin <= text.size()) {
    const size_t end = text.find('\n', begin);
    lines.push_back(text.substr(begin, end == std::string_view::npos ? end : end - begin));
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  return lines;
}

class CaseReader {
 public:
  CaseReader(std::string_view text, const std::string& path)
      : lines_(SplitLines(text)), path_(path) {}

  // A number's text as typed: the characters at its place in the file, when they read back as
  // the same value; otherwise (underscores, hexadecimal, ...) the shortest text of the value.
  std::string NumberText(const toml::node& node, double value,
                         const std::function<std::optional<double>(std::string_view)>& convert) {
    const toml::source_position at = node.source().begin;
    if (at.line >= 1 && at.line <= lines_.size()) {
      const std::string_view line = lines_[at.line - 1];
      const size_t begin = at.column - 1;
      if (begin < line.size()) {
        const size_t end = line.find_first_of(" \t\r#,}]", begin);
        const std::string raw(
            line.substr(begin, end == std::string_view::npos ? end : end - begin));
        if (convert(raw) == value) return raw;
      }
    }
    return ShortestText(value);
  }

  // An item's text: a number as typed, or a text in quotes that converts to the item's kind;
  // in either case within the item's range.
  std::string ItemText(const ParameterItem& item, const std::string& key, const toml::node& node) {
    const auto convert = [&item](std::string_view text) { return ConvertItemText(item, text); };
    std::string text;
    if (const auto* integer = node.as_integer()) {
      text = NumberText(node, static_cast<double>(integer->get()), convert);
    } else if (const auto* decimal = node.as_floating_point()) {
      if (item.Type == ItemType::Int32)
        Refuse(path_, node.source(), "[items] " + key + " takes a whole number");
      text = NumberText(node, decimal->get(), convert);
    } else if (node.is_string()) {
      text = node.as_string()->get();
    } else {
      Refuse(path_, node.source(), "[items] " + key + " takes a number, not " + TypeName(node));
    }
    const std::optional<double> value = convert(text);
    if (!value)
      Refuse(path_, node.source(),
             "[items] " + key + " takes " +
                 (item.Type == ItemType::Int32 ? "a whole number" : "a number") + ", not \"" +
                 text + "\"");
    if (const std::optional<std::string> problem = ItemRangeProblem(item, *value))
      Refuse(path_, node.source(), "[items] " + key + ": " + *problem);
    return text;
  }

  double Number(const std::string& key, const toml::node& node) {
    if (const auto* integer = node.as_integer()) return static_cast<double>(integer->get());
    if (const auto* decimal = node.as_floating_point()) return decimal->get();
    Refuse(path_, node.source(), key + " takes a number, not " + TypeName(node));
  }

  void Items(const toml::table& table, FieldTexts& texts) {
    for (const auto& [key, node] : table) {
      const std::string name(key.str());
      const ParameterItem* item = ItemByName(name);
      if (!item) {
        const std::string closest = ClosestItemName(name);
        Refuse(path_, key.source(),
               "[items] \"" + name + "\" is no input item" +
                   (closest.empty() ? std::string() : " (did you mean " + closest + "?)"));
      }
      texts.Items[static_cast<size_t>(item->Number - 1)] = ItemText(*item, name, node);
    }
  }

  void Jackets(const toml::table& table, FieldTexts& texts) {
    for (const auto& [key, node] : table) {
      const std::string name(key.str());
      int jacket = -1;
      for (int j = 0; j < kJacketCount; ++j)
        if (name == JacketKey(j)) jacket = j;
      if (jacket < 0)
        Refuse(path_, key.source(),
               "[jackets] \"" + name + "\" is no jacket; they are jacket_1, jacket_2 and jacket_3");
      const std::string mode = Text(path_, "[jackets] " + name, node);
      if (mode != kJacketed && mode != kInsulated)
        Refuse(path_, node.source(),
               "[jackets] " + name + " is \"jacketed\" or \"insulated\", not \"" + mode + "\"");
      texts.Jacketed[static_cast<size_t>(jacket)] = mode == kJacketed;
    }
  }

  void Solver(const toml::table& table, CaseSolver& solver) {
    for (const auto& [key, node] : table) {
      const std::string name(key.str());
      const std::string qualified = "[solver] " + name;
      if (name == "method") {
        const std::string method = Text(path_, qualified, node);
        if (method != "classic" && method != "converged")
          Refuse(path_, node.source(),
                 qualified + " is \"classic\" or \"converged\", not \"" + method + "\"");
        solver.Converged = method == "converged";
      } else if (name == "tolerance") {
        const double tolerance = Number(qualified, node);
        if (!(tolerance >= kSmallestConvergedTolerance && tolerance <= kLargestConvergedTolerance))
          Refuse(path_, node.source(),
                 qualified + ": the relative accuracy must lie between 1e-8 and 1e-2");
        solver.Tolerance = tolerance;
      } else if (name == "radial_intervals") {
        const auto* count = node.as_integer();
        if (!count || count->get() < kSmallestRadialIntervals ||
            count->get() > kLargestRadialIntervals)
          Refuse(path_, node.source(),
                 qualified + ": the number of radial intervals is a whole number from " +
                     std::to_string(kSmallestRadialIntervals) + " to " +
                     std::to_string(kLargestRadialIntervals));
        solver.RadialIntervals = static_cast<int>(count->get());
      } else if (name == "take_up_tension") {
        const double tension = Number(qualified, node);
        if (!(tension > 0 && std::isfinite(tension)))
          Refuse(path_, node.source(),
                 qualified + ": the tension at take-up must be a number of dyn above 0");
        solver.TakeUpTension = tension;
      } else {
        Refuse(path_, key.source(),
               qualified +
                   " is no solver option; they are method, tolerance, radial_intervals and "
                   "take_up_tension");
      }
    }
  }

  CaseFile Read(const toml::table& document) {
    CaseFile value;
    value.Texts = DefaultFieldTexts();
    const toml::table* items = nullptr;
    const toml::node* laws = nullptr;
    for (const auto& [key, node] : document) {
      const std::string name(key.str());
      const bool table = name == "items" || name == "jackets" || name == "solver";
      if (table && !node.is_table())
        Refuse(path_, node.source(), name + " is a table: " + Bracketed(name));
      if (name == "name") {
        value.Name = Text(path_, name, node);
      } else if (name == "initial_tension") {
        const auto convert = [](std::string_view text) -> std::optional<double> {
          double number = 0;
          if (!ConvertDecimal(text, number)) return std::nullopt;
          return number;
        };
        std::string text;
        if (node.is_string())
          text = node.as_string()->get();
        else
          text = NumberText(node, Number(name, node), convert);
        if (!convert(text))
          Refuse(path_, node.source(), "initial_tension takes a number, not \"" + text + "\"");
        value.Texts.InitialTensionText = text;
        value.HasInitialTension = true;
      } else if (name == "material") {
        Material material;
        if (const auto* inline_ = node.as_table()) {
          material = ReadMaterialTable(*inline_, path_);
        } else {
          std::filesystem::path file = Text(path_, name, node);
          if (file.is_relative()) file = std::filesystem::path(path_).parent_path() / file;
          value.MaterialFile = file.string();
          const MaterialLoad load = LoadMaterialFile(file.string());
          if (!load.Ok) Refuse(path_, node.source(), "material: " + load.Message);
          material = load.Value;
        }
        value.MaterialName = material.Name;
        ApplyMaterial(material, value.Texts);
      } else if (name == "laws") {
        laws = &node;
      } else if (name == "constants") {
        Refuse(path_, key.source(),
               "the constants of the laws go in their table [laws.constants], not in "
               "[constants]");
      } else if (name == "items") {
        items = node.as_table();
      } else if (name == "jackets") {
        Jackets(*node.as_table(), value.Texts);
      } else if (name == "solver") {
        Solver(*node.as_table(), value.Solver);
      } else {
        Refuse(path_, key.source(),
               "\"" + name +
                   "\" is no key of a case; they are name, initial_tension, material, [items], "
                   "[jackets], [solver] and [laws]");
      }
    }
    // The items last: what the file gives wins over its material, wherever the material stands.
    if (items) Items(*items, value.Texts);
    // The laws after the material, whose constants they may use.
    if (laws) {
      std::vector<std::pair<std::string, std::string>> constants;
      const auto own = ReadLawsTable(*laws, path_, constants, value.Texts.LawConstants);
      MergePropertyLaws(value.Texts.Laws, own);
      MergePropertyLaws(value.Texts.LawConstants, constants);
    }
    return value;
  }

 private:
  std::vector<std::string_view> lines_;
  const std::string& path_;
};

// How a text goes into the file: bare when TOML reads it as the same number, so that the file
// shows numbers as numbers; otherwise in quotes, which keeps it exactly as typed.
std::string TomlValue(const std::string& text, double value) {
  try {
    const toml::table probe = toml::parse("x = " + text);
    const toml::node* node = probe.get("x");
    if (node && (node->value<double>() == value)) return text;
  } catch (const toml::parse_error&) {
  }
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

std::string QuotedText(std::string_view text) {
  toml::table table;
  table.insert("x", std::string(text));
  std::ostringstream out;
  out << table;
  const std::string line = out.str();  // x = '...' or x = "..."
  return line.substr(line.find('=') + 2);
}

}  // namespace

bool LooksLikeCaseFile(std::string_view text) {
  try {
    const toml::table document = toml::parse(text);
    for (const char* key : kCaseKeys)
      if (document.contains(key)) return true;
  } catch (const toml::parse_error&) {
  }
  return false;
}

InputFileKind InputFileKindOf(const std::string& path) {
  // A folder, a pipe or a device is not opened here: the data file's reader refuses it.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return InputFileKind::DataFile;
  const SmallFileRead read = ReadSmallTextFile(path, "file");
  if (read.Ok && LooksLikeCaseFile(read.Text)) return InputFileKind::CaseFile;
  if (read.Ok && (read.Text.rfind("==========\r\nINPUT DATA\r\n", 0) == 0 ||
                  read.Text.rfind("==========\nINPUT DATA\n", 0) == 0))
    return InputFileKind::ResultFile;
  if (std::filesystem::path(path).extension() == ".toml") return InputFileKind::CaseFile;
  return InputFileKind::DataFile;
}

CaseLoad ReadCase(std::string_view text, const std::string& path) {
  CaseLoad load;
  try {
    const toml::table document = toml::parse(text, path);
    load.Value = CaseReader(text, path).Read(document);
    load.Ok = true;
  } catch (const toml::parse_error& error) {
    load.Message = ParseErrorMessage(error, path);
  } catch (const Refusal& refusal) {
    load.Message = refusal.Message;
  }
  return load;
}

CaseLoad LoadCaseFile(const std::string& path) {
  const SmallFileRead read = ReadSmallTextFile(path, "case file");
  if (!read.Ok) {
    CaseLoad load;
    load.Unreadable = read.Unreadable;
    load.Message = read.Message;
    return load;
  }
  return ReadCase(read.Text, path);
}

FileResult CaseFileWriter(const std::string& path, const CaseFile& value) {
  std::string bytes = "name = " + QuotedText(value.Name) + "\n";
  double tension = 0;
  if (!ConvertDecimal(value.Texts.InitialTensionText, tension))
    return FileResult{FileStatus::BadValue, "The initial tension \"" +
                                                value.Texts.InitialTensionText +
                                                "\" is no number. Nothing was saved."};
  bytes += "initial_tension = " + TomlValue(value.Texts.InitialTensionText, tension) + "\n";
  const CaseSolver& solver = value.Solver;
  if (solver.Converged || solver.Tolerance || solver.RadialIntervals || solver.TakeUpTension) {
    bytes += "\n[solver]\n";
    if (solver.Converged)
      bytes += std::string("method = \"") + (*solver.Converged ? "converged" : "classic") + "\"\n";
    if (solver.Tolerance) bytes += "tolerance = " + ShortestText(*solver.Tolerance) + "\n";
    if (solver.RadialIntervals)
      bytes += "radial_intervals = " + std::to_string(*solver.RadialIntervals) + "\n";
    if (solver.TakeUpTension)
      bytes += "take_up_tension = " + ShortestText(*solver.TakeUpTension) + "\n";
  }
  bytes += "\n[items]\n";
  for (const ParameterItem& item : ParameterItems()) {
    const std::string& text = value.Texts.Items[static_cast<size_t>(item.Number - 1)];
    const std::optional<double> number = ConvertItemText(item, text);
    if (!number) {
      std::string message(1, '"');
      message.append(ItemDisplayName(item)).append("\" holds \"").append(text);
      message += "\", which is no number of its kind. Nothing was saved.";
      return FileResult{FileStatus::BadValue, message};
    }
    bytes += std::string(ItemName(item)) + " = " + TomlValue(text, *number) + "\n";
  }
  bytes += "\n[jackets]\n";
  for (int j = 0; j < kJacketCount; ++j)
    bytes.append(JacketKey(j))
        .append(" = \"")
        .append(value.Texts.Jacketed[static_cast<size_t>(j)] ? kJacketed : kInsulated)
        .append("\"\n");
  if (!value.Texts.Laws.empty()) {
    bytes += "\n[laws]\n";
    for (const auto& [law, formula] : value.Texts.Laws)
      bytes += law + " = " + QuotedText(formula) + "\n";
  }
  if (!value.Texts.LawConstants.empty()) {
    bytes += "\n[laws.constants]\n";
    for (const auto& [name, text] : value.Texts.LawConstants) {
      const std::optional<double> number = FiniteNumber(text);
      if (!number)
        return FileResult{FileStatus::BadValue, "The law constant " + name + " holds \"" + text +
                                                    "\", which is no number. Nothing was saved."};
      // A constant is a TOML number; a text TOML reads otherwise goes in as its number.
      const std::string written = TomlValue(text, *number);
      bytes += name + " = " + (written[0] == '"' ? ShortestText(*number) : written) + "\n";
    }
  }
  return WriteFileBytes(path, bytes, "The case file " + path + " can not be saved.",
                        "The case file " + path + " could not be written: ");
}

}  // namespace korvane
