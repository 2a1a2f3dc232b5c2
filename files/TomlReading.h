// What the readers of TOML files (materials, cases) share: refusals that name the file and the
// line, and the reading of a material's table. Only the files library includes this.
#pragma once

#include <toml++/toml.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/MaterialFile.h"

namespace korvane::toml_reading {

// Thrown by a reader, caught where the file is read: the whole message.
struct Refusal {
  std::string Message;
};

// "path, line N: " + what.
[[noreturn]] void Refuse(const std::string& path, const toml::source_region& where,
                         const std::string& what);

// "[name]".
std::string Bracketed(std::string_view name);

// How a message names the kind of a value: "a text", "a list", ...
const char* TypeName(const toml::node& node);

// The text of a string value; refused, naming the key, for any other kind.
std::string Text(const std::string& path, std::string_view key, const toml::node& node);

// The message of a TOML syntax error: "path, line N, column M: ...".
std::string ParseErrorMessage(const toml::parse_error& error, const std::string& path);

// The whole of a small text file: Ok, or Unreadable (with the system's error number) or too
// large, with a message that calls the file `what` ("material file").
struct SmallFileRead {
  bool Ok = false;
  bool Unreadable = false;
  int Error = 0;
  std::string Message;
  std::string Text;
};
SmallFileRead ReadSmallTextFile(const std::string& path, const std::string& what);

// The laws of a [laws] table: each a known law with a formula in quotes that compiles with the
// constants of its [laws.constants] table (`constants`, each a name the laws may use with a
// number; see LawConstantNameProblem) and those of `outer` (a case's material's).
std::vector<std::pair<std::string, std::string>> ReadLawsTable(
    const toml::node& node, const std::string& path,
    std::vector<std::pair<std::string, std::string>>& constants,
    const std::vector<std::pair<std::string, std::string>>& outer = {});

// The material of a table laid out as a material file.
Material ReadMaterialTable(const toml::table& table, const std::string& path);

}  // namespace korvane::toml_reading
