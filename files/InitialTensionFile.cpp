#include "files/InitialTensionFile.h"

#include <sys/stat.h>

#include <cerrno>
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
  std::vector<std::string> lines;
  switch (ReadFirstLines(path, 1, kInitialTensionFileMaxBytes, lines)) {
    case ReadStatus::Ok:
      result.Text = lines[0];
      return result;
    case ReadStatus::Missing:
      result.Text = kDefaultInitialTensionText;
      return result;
    case ReadStatus::CannotOpen:
    case ReadStatus::NotRegular:
      break;
  }
  result.Ok = false;
  result.Message = std::string(kInitialTensionCannotOpen) + "\n" + path;
  return result;
}

namespace {

// Creates the missing folders of path, each without write access for others (the folder is
// shared by every user of the machine). False when one cannot be created.
bool CreateFolders(const fs::path& folder) {
  if (folder.empty()) return true;
  std::error_code error;
  if (fs::is_directory(folder, error)) return true;
  if (folder.has_parent_path() && folder.parent_path() != folder &&
      !CreateFolders(folder.parent_path()))
    return false;
  return ::mkdir(folder.c_str(), 0755) == 0 || (errno == EEXIST && fs::is_directory(folder, error));
}

}  // namespace

std::string InitialTensionCannotStoreMessage(const std::string& path) {
  return std::string(kInitialTensionCannotStore) + "\n" + path;
}

bool StoreInitialTensionFile(const std::string& path, const std::string& text,
                             const FileCalls& calls) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  const fs::path target(path);
  if (!CreateFolders(target.parent_path())) return false;
  // Only a regular file of that name is replaced; a folder, device or pipe stays.
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  if (status.type() != fs::file_type::not_found && (error || !fs::is_regular_file(status)))
    return false;
  // The new text goes to a file created beside the old one, which replaces it only once it is
  // complete and on the disk: a failing write (a full disk) or a power failure keeps the stored
  // tension that every user of the machine starts from.
  return WriteFileBytes(path, text + "\r\n", kInitialTensionCannotStore, kInitialTensionCannotStore,
                        Durability::FlushedToDisk, calls)
      .ok();
}

}  // namespace korvane
