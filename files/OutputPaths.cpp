#include "files/OutputPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_map>

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

// Two names of one file get one key: an existing file its device and inode (what
// std::filesystem::equivalent compares), a new one its normalised absolute path.
std::string Key(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) == 0) {
    return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  }
  return "path " + Normalised(path).string();
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
  // A sweep has thousands of outputs: each file gets a key once (device and inode of an existing
  // file, else its normalised absolute path), and only files with equal keys are compared.
  std::unordered_map<std::string, const NamedFile*> seen;
  auto clashWith = [&](const NamedFile& file) -> const NamedFile* {
    const auto [at, added] = seen.emplace(Key(file.Path), &file);
    if (!added && SameFile(file.Path, at->second->Path)) return at->second;
    return nullptr;
  };
  for (const NamedFile& input : inputs) clashWith(input);
  for (const NamedFile& output : outputs) {
    const NamedFile* earlier = clashWith(output);
    if (!earlier) continue;
    const bool isInput = earlier >= inputs.data() && earlier < inputs.data() + inputs.size();
    if (isInput) {
      return Capitalised(Describe(output) + " is " + Describe(*earlier) +
                         ", which it would overwrite.");
    }
    return Capitalised(Describe(output) + " and " + Describe(*earlier) + " are the same file.");
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
  return OutputFolderProblem(path);
}

std::optional<std::string> OutputFolderProblem(const std::string& path) {
  std::error_code error;
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, error))
    return "the folder \"" + folder.string() + "\" does not exist";
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    return "the folder \"" + folder.string() + "\" is not writable";
  return std::nullopt;
}

}  // namespace korvane
