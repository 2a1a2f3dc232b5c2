#include "files/TextLines.h"

#include <cstdio>
#include <memory>

#include "files/FileBytes.h"

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

bool ReadFirstLines(const std::string& path, size_t count, std::vector<std::string>& lines) {
  lines.assign(count, std::string());
  std::unique_ptr<std::FILE, FileCloser> file(OpenFile(path, "rb"));
  if (!file) return false;
  return ReadFirstLines(file.get(), count, lines);
}

bool ReadFirstLines(std::FILE* stream, size_t count, std::vector<std::string>& lines) {
  lines.assign(count, std::string());
  if (count == 0) return true;

  size_t index = 0;
  bool lastByteWasCr = false;
  char buffer[16 * 1024];
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, stream);
    if (got == 0) {
      if (std::ferror(stream)) return false;
      break;  // end of file
    }
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
