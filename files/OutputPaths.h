// The files a run reads and writes, checked before anything is written: an output may never be
// an input or another output, and an output that cannot be written is found early. The batch
// runner and the scripting module refuse alike through these.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane {

struct NamedFile {
  std::string Role;  // how the user named it: "the data file", "-o", "--csv", ...
  std::string Path;
};

// Whether two paths name one file: std::filesystem::equivalent when both exist, otherwise
// their normalised absolute paths are equal.
bool SameFile(const std::string& a, const std::string& b);

// The refusal for the first output that is an input or an earlier output, naming both; empty
// when every output is a file of its own.
std::optional<std::string> FindOutputClash(const std::vector<NamedFile>& inputs,
                                           const std::vector<NamedFile>& outputs);

// Why the file cannot be created or replaced (a folder that does not exist or is not writable, a
// path that is a folder), or empty when it looks writable. Creates nothing.
std::optional<std::string> OutputProblem(const std::string& path);

// Why no file can be created in the folder of path (it does not exist or is not writable), or
// empty. Looks at the folder only, not at a file of that name.
std::optional<std::string> OutputFolderProblem(const std::string& path);

}  // namespace korvane
