// Reading the first lines of a small text file, as the data file and the initial tension
// file are read. Internal to files/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace korvane {

// Longest part of a line that is kept; the rest of a longer line is skipped, so a file that
// is not a text file cannot make the reader hold an arbitrarily long line in memory.
inline constexpr size_t kMaxKeptLineLength = 64 * 1024;

enum class ReadStatus {
  Ok,
  Missing,     // there is no file of that name
  CannotOpen,  // it could not be opened or read
  NotRegular   // it is a folder, a device, a pipe or a socket, and is not read at all
};

// Reads the first `count` lines of the file at path into lines (resized to count). A line
// ends at LF or CR LF; a lone CR stays in the line, except directly before the end of the
// text. A byte 0x1A ends the text. Lines beyond the end read as empty texts. Bytes are kept
// as they are, NUL included. Reading stops after maxBytes bytes. The file is opened without
// waiting for a writer (a pipe cannot hold the caller) and read only when it is a regular
// file (a link to one is followed).
ReadStatus ReadFirstLines(const std::string& path, size_t count, size_t maxBytes,
                          std::vector<std::string>& lines);

// The same from a stream that is already open (read from its current position). False when
// a read fails.
bool ReadFirstLines(std::FILE* stream, size_t count, std::vector<std::string>& lines,
                    size_t maxBytes = SIZE_MAX);

}  // namespace korvane
