#include "files/InitialTensionFile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "files/FileBytes.h"
#include "files/TextLines.h"

namespace korvane {

namespace fs = std::filesystem;

std::string InitialTensionFilePath() {
#ifdef _WIN32
  return "C:\\WINDOWS\\TensKRVN.txt";
#else
  return "/var/lib/korvane/TensKRVN.txt";
#endif
}

InitialTensionRead ReadInitialTensionFile(const std::string& path) {
  InitialTensionRead result;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) {
    result.Text = kDefaultInitialTensionText;
    return result;
  }
  std::vector<std::string> lines;
  if (error || fs::is_directory(status) || !ReadFirstLines(path, 1, lines)) {
    result.Ok = false;
    return result;
  }
  result.Text = lines[0];
  return result;
}

namespace {

// Writes text and CR LF into a new file; false (and no file left behind) on any failure.
bool WriteNewFile(const std::string& path, const std::string& text) {
  if (WriteFileBytes(path, text + "\r\n", kInitialTensionCannotStore, kInitialTensionCannotStore)
          .ok())
    return true;
  std::error_code ignored;
  fs::remove(path, ignored);
  return false;
}

}  // namespace

bool StoreInitialTensionFile(const std::string& path, const std::string& text) {
  std::error_code error;
  const fs::path target(path);
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  if (target.has_parent_path()) {
    fs::create_directories(target.parent_path(), error);
    if (error) return false;
  }
  const fs::file_status status = fs::status(target, error);
  if (status.type() != fs::file_type::not_found) {
    if (error || !fs::is_regular_file(status)) return false;
    // A file that may not be written stays as it is, even where its folder would let a
    // replacement in.
    std::FILE* existing = OpenFile(path, "ab");
    if (!existing) return false;
    std::fclose(existing);
  }
  // The new text goes to a file beside the old one, which replaces it only once it is
  // complete: a failing write (a full disk) keeps the stored tension.
  const std::string temporary = path + ".new";
  if (!WriteNewFile(temporary, text)) return false;
  fs::rename(temporary, target, error);
  if (error) {
    fs::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace korvane
