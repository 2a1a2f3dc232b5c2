#include "files/MaterialFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "files/NumberText.h"
#include "files/TomlReading.h"
#include "inputs/MaterialItems.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/RangeChecks.h"

namespace korvane {

namespace toml_reading {

std::string At(const std::string& path, const toml::source_region& where) {
  return path + ", line " + std::to_string(where.begin.line) + ": ";
}

void Refuse(const std::string& path, const toml::source_region& where, const std::string& what) {
  throw Refusal{At(path, where) + what};
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "[" + std::string(name).
std::string Bracketed(std::string_view name) {
  std::string table = "[";
  table.append(name).push_back(']');
  return table;
}

const char* TypeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string:
      return "a text";
    case toml::node_type::boolean:
      return "true or false";
    case toml::node_type::array:
      return "a list";
    case toml::node_type::table:
      return "a table";
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time:
      return "a date or time";
    default:
      return "a number";
  }
}

std::string Text(const std::string& path, std::string_view key, const toml::node& node) {
  if (!node.is_string())
    Refuse(path, node.source(),
           std::string(key) + " takes a text in quotes, not " + TypeName(node));
  return node.as_string()->get();
}

std::string ParseErrorMessage(const toml::parse_error& error, const std::string& path) {
  const toml::source_region& where = error.source();
  return path + ", line " + std::to_string(where.begin.line) + ", column " +
         std::to_string(where.begin.column) + ": " + std::string(error.description());
}

}  // namespace toml_reading

namespace {

using namespace toml_reading;

// No material comes near this; a larger file is refused rather than read into memory.
constexpr size_t kLargestMaterialFile = 1 << 20;

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted.append(text).push_back('"');
  return quoted;
}

// Reads an item's value: a number, within the item's range.
class ItemReader {
 public:
  explicit ItemReader(const std::string& path) : path_(path) {}

  void Read(const toml::key& key, const toml::node& node, const char* table) {
    const std::string name(key.str());
    const std::string where = table ? Bracketed(table) + " " : std::string();
    const ParameterItem* item = ItemByName(name);
    if (!item) {
      const std::string closest = ClosestItemName(name);
      Refuse(path_, key.source(),
             where + Quoted(name) + " is not a material property nor any other input item" +
                 (closest.empty() ? std::string() : " (did you mean " + closest + "?)"));
    }
    if (!IsMaterialItem(*item))
      Refuse(path_, key.source(),
             name + " (item " + std::to_string(item->Number) +
                 ") is not a material property: it belongs to the case, not the material");
    if (table && !TableHoldsItem(table, *item))
      Refuse(path_, key.source(),
             name + " belongs in " + Bracketed(MaterialTableOf(*item)) + ", not in " +
                 Bracketed(table));
    if (const auto earlier = lines_.find(item->Number); earlier != lines_.end())
      Refuse(path_, key.source(),
             name + " is given twice (also on line " + std::to_string(earlier->second) + ")");
    double value = 0;
    if (const auto* integer = node.as_integer())
      value = static_cast<double>(integer->get());
    else if (const auto* decimal = node.as_floating_point())
      value = decimal->get();
    else
      Refuse(path_, node.source(), name + " takes a number, not " + TypeName(node));
    if (!std::isfinite(value))
      Refuse(path_, node.source(), name + " takes a finite number, not " + ShortestText(value));
    if (item->Type == ItemType::Int32 &&
        (value != std::floor(value) || std::fabs(value) > 2147483647.0))
      Refuse(path_, node.source(),
             name + " takes whole numbers; " + ShortestText(value) + " is not one");
    if (const std::optional<std::string> problem = ItemRangeProblem(*item, value))
      Refuse(path_, node.source(), name + ": " + *problem);
    lines_[item->Number] = static_cast<int>(key.source().begin.line);
    values_[item->Number] = value;
  }

  std::vector<MaterialValue> Values() const {
    std::vector<MaterialValue> values;
    for (const auto& [number, value] : values_) values.push_back({&ItemByNumber(number), value});
    return values;
  }

 private:
  const std::string& path_;
  std::map<int, int> lines_;
  std::map<int, double> values_;
};

bool IsMaterialTable(std::string_view name) {
  for (const char* table : kMaterialTables)
    if (name == table) return true;
  return false;
}

bool IsLawName(std::string_view name) {
  for (const char* law : kMaterialLawNames)
    if (name == law) return true;
  return false;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> toml_reading::ReadLawsTable(
    const toml::node& node, const std::string& path,
    std::vector<std::pair<std::string, std::string>>& constants,
    const std::vector<std::pair<std::string, std::string>>& outer) {
  if (!node.is_table()) Refuse(path, node.source(), "laws is a table: [laws]");
  constants.clear();
  if (const toml::node* table = node.as_table()->get("constants")) {
    if (!table->is_table())
      Refuse(path, table->source(),
             "[laws] constants is a table of name = number: [laws.constants]");
    for (const auto& [name, value] : *table->as_table()) {
      if (const std::optional<std::string> problem = LawConstantNameProblem(name.str()))
        Refuse(path, name.source(), "[laws.constants] " + *problem);
      double number = 0;
      if (const auto* integer = value.as_integer())
        number = static_cast<double>(integer->get());
      else if (const auto* decimal = value.as_floating_point())
        number = decimal->get();
      else
        Refuse(path, value.source(),
               "[laws.constants] " + std::string(name.str()) + " takes a number, not " +
                   TypeName(value));
      if (!std::isfinite(number))
        Refuse(path, value.source(),
               "[laws.constants] " + std::string(name.str()) + " takes a finite number, not " +
                   ShortestText(number));
      constants.emplace_back(name.str(), ShortestText(number));
    }
  }
  std::vector<std::pair<std::string, std::string>> usable = outer;
  MergePropertyLaws(usable, constants);
  std::vector<std::pair<std::string, std::string>> laws;
  for (const auto& [law, formula] : *node.as_table()) {
    if (law.str() == "constants") continue;
    if (!IsLawName(law.str()))
      Refuse(path, law.source(),
             "[laws] " + Quoted(law.str()) + " is not a law; the laws are " + MaterialLawList());
    if (!formula.is_string())
      Refuse(path, formula.source(),
             "[laws] " + std::string(law.str()) + " takes a formula in quotes, not " +
                 TypeName(formula));
    const std::string text = formula.as_string()->get();
    if (const std::optional<std::string> problem = PropertyLawProblem(law.str(), text, usable))
      Refuse(path, formula.source(), "[laws] " + *problem);
    laws.emplace_back(law.str(), text);
  }
  return laws;
}

Material toml_reading::ReadMaterialTable(const toml::table& document, const std::string& path) {
  Material material;
  ItemReader items(path);
  bool named = false, sourced = false;
  for (const auto& [key, node] : document) {
    const std::string_view name = key.str();
    if (name == "name") {
      material.Name = Text(path, name, node);
      named = true;
    } else if (name == "source") {
      material.Source = Text(path, name, node);
      sourced = true;
    } else if (name == "laws") {
      material.Laws = ReadLawsTable(node, path, material.LawConstants);
    } else if (name == "constants") {
      Refuse(path, key.source(),
             "the constants of the laws go in their table [laws.constants], not in "
             "[constants]");
    } else if (IsMaterialTable(name) && node.is_table()) {
      const std::string table(name);
      for (const auto& [itemKey, value] : *node.as_table())
        items.Read(itemKey, value, table.c_str());
    } else if (IsMaterialTable(name)) {
      Refuse(path, node.source(), std::string(name) + " is a table: " + Bracketed(name));
    } else if (node.is_table() && !ItemByName(name)) {
      Refuse(path, key.source(),
             Bracketed(name) +
                 " is not a table of a material; the tables are [dope], "
                 "[solvent], [gas] and [laws]");
    } else {
      items.Read(key, node, nullptr);
    }
  }
  if (!named || material.Name.empty())
    throw Refusal{path + ": the material has no name (name = \"...\")"};
  if (!sourced || material.Source.empty())
    throw Refusal{path +
                  ": the material does not say where its values come from "
                  "(source = \"...\")"};
  material.Values = items.Values();
  return material;
}

MaterialLoad ReadMaterial(std::string_view text, const std::string& path) {
  MaterialLoad load;
  try {
    const toml::table document = toml::parse(text, path);
    load.Value = toml_reading::ReadMaterialTable(document, path);
    load.Ok = true;
  } catch (const toml::parse_error& error) {
    load.Message = toml_reading::ParseErrorMessage(error, path);
  } catch (const toml_reading::Refusal& refusal) {
    load.Message = refusal.Message;
  }
  return load;
}

toml_reading::SmallFileRead toml_reading::ReadSmallTextFile(const std::string& path,
                                                            const std::string& what) {
  SmallFileRead read;
  read.Unreadable = true;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    read.Error = errno;
    read.Message =
        "The " + what + " " + path + " could not be opened: " + std::strerror(read.Error);
    return read;
  }
  char buffer[8192];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 &&
         read.Text.size() <= kLargestMaterialFile)
    read.Text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) {
    read.Error = error;
    read.Message = "The " + what + " " + path + " could not be read: " + std::strerror(error);
    return read;
  }
  read.Unreadable = false;
  if (read.Text.size() > kLargestMaterialFile) {
    read.Message = path + ": a " + what + " is at most 1 MiB; this is not one";
    return read;
  }
  read.Ok = true;
  return read;
}

MaterialLoad LoadMaterialFile(const std::string& path) {
  const toml_reading::SmallFileRead read = toml_reading::ReadSmallTextFile(path, "material file");
  if (!read.Ok) {
    MaterialLoad load;
    load.Unreadable = read.Unreadable;
    load.Error = read.Error;
    load.Message = read.Message;
    return load;
  }
  return ReadMaterial(read.Text, path);
}

void ApplyMaterial(const Material& material, FieldTexts& texts) {
  for (const MaterialValue& value : material.Values) {
    std::string& text = texts.Items[static_cast<size_t>(value.Item->Number - 1)];
    // A text that already reads as the value stays as the user wrote it ("1.0", not "1").
    if (ConvertItemText(*value.Item, text) == value.Value) continue;
    text = value.Item->Type == ItemType::Int32 ? std::to_string(static_cast<int32_t>(value.Value))
                                               : ShortestText(value.Value);
  }
  MergePropertyLaws(texts.Laws, material.Laws);
  MergePropertyLaws(texts.LawConstants, material.LawConstants);
}

}  // namespace korvane
