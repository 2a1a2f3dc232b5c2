#include "files/FileBytes.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace korvane {

std::FILE* OpenFile(const std::string& path, const char* mode) {
  if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
  return std::fopen(path.c_str(), mode);
}

FileResult WriteFileBytes(const std::string& path, std::string_view bytes,
                          const std::string& cannotOpenMessage,
                          const std::string& writeFailedPrefix) {
  std::FILE* file = OpenFile(path, "wb");
  if (!file) return FileResult{FileStatus::CannotOpen, cannotOpenMessage};
  errno = 0;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fflush(file) == 0 && written;
  const int writeError = errno;
  errno = 0;
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return {};
  const int error = !written && writeError != 0 ? writeError : (errno != 0 ? errno : EIO);
  return FileResult{FileStatus::WriteFailed,
                    writeFailedPrefix + std::generic_category().message(error)};
}

}  // namespace korvane
