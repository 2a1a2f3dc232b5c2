#include "cli/OutputPaths.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace korvane {

namespace fs = std::filesystem;

namespace {

fs::path Normalised(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return (error ? fs::path(path) : absolute).lexically_normal();
}

std::string Describe(const NamedFile& file) {
  return file.Role + " \"" + file.Path + "\"";
}

std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error)) {
    const bool same = fs::equivalent(a, b, error);
    if (!error) return same;
  }
  return Normalised(a) == Normalised(b);
}

std::optional<std::string> FindOutputClash(const std::vector<NamedFile>& inputs,
                                           const std::vector<NamedFile>& outputs) {
  for (size_t k = 0; k < outputs.size(); ++k) {
    for (const NamedFile& input : inputs) {
      if (SameFile(outputs[k].Path, input.Path))
        return Capitalised(Describe(outputs[k]) + " is " + Describe(input) +
                           ", which it would overwrite.");
    }
    for (size_t j = 0; j < k; ++j) {
      if (SameFile(outputs[k].Path, outputs[j].Path))
        return Capitalised(Describe(outputs[k]) + " and " + Describe(outputs[j]) +
                           " are the same file.");
    }
  }
  return std::nullopt;
}

std::optional<std::string> OutputProblem(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status)) return "\"" + path + "\" is a folder";
  if (fs::exists(status)) {
    if (access(path.c_str(), W_OK) != 0) return "\"" + path + "\" is not writable";
    return std::nullopt;
  }
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, error))
    return "the folder \"" + folder.string() + "\" does not exist";
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    return "the folder \"" + folder.string() + "\" is not writable";
  return std::nullopt;
}

}  // namespace korvane
