#include "files/TextLines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace korvane {

namespace {

constexpr char kEndOfText = 0x1A;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Drops the CR of a CR LF (or of a CR that the end of the text cut off from its LF), when
// that CR was the last byte of the line and was kept.
void DropLineEndCr(std::string& line, bool lastByteWasCr) {
  if (lastByteWasCr && !line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

ReadStatus ReadFirstLines(const std::string& path, size_t count, size_t maxBytes,
                          std::vector<std::string>& lines) {
  lines.assign(count, std::string());
  // A NUL byte would make the system open the shorter name before it.
  if (path.empty() || path.find('\0') != std::string::npos) return ReadStatus::CannotOpen;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  // A file below something that is not a folder is not there either.
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::CannotOpen;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    ::close(fd);
    return ReadStatus::CannotOpen;
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    return ReadStatus::NotRegular;
  }
  std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "rb"));
  if (!file) {
    ::close(fd);
    return ReadStatus::CannotOpen;
  }
  return ReadFirstLines(file.get(), count, lines, maxBytes) ? ReadStatus::Ok
                                                            : ReadStatus::CannotOpen;
}

bool ReadFirstLines(std::FILE* stream, size_t count, std::vector<std::string>& lines,
                    size_t maxBytes) {
  lines.assign(count, std::string());
  if (count == 0) return true;

  size_t index = 0;
  bool lastByteWasCr = false;
  char buffer[16 * 1024];
  size_t left = maxBytes;
  while (left > 0) {
    const size_t got = std::fread(buffer, 1, std::min(sizeof buffer, left), stream);
    if (got == 0) {
      if (std::ferror(stream)) return false;
      break;  // end of file
    }
    left -= got;
    for (size_t i = 0; i < got; ++i) {
      const char byte = buffer[i];
      if (byte == kEndOfText) {
        DropLineEndCr(lines[index], lastByteWasCr);
        return true;
      }
      if (byte == '\n') {
        DropLineEndCr(lines[index], lastByteWasCr);
        lastByteWasCr = false;
        if (++index == count) return true;
        continue;
      }
      const bool kept = lines[index].size() < kMaxKeptLineLength;
      if (kept) lines[index].push_back(byte);
      lastByteWasCr = kept && byte == '\r';
    }
  }
  DropLineEndCr(lines[index], lastByteWasCr);
  return true;
}

}  // namespace korvane
