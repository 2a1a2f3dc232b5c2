// Writing a whole small file in one go, with every failure caught and put into words.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "files/ResultFile.h"

namespace korvane {

// std::fopen for a path held in a std::string. A path with a NUL byte inside is refused
// (nullptr): handing it to the system would silently open the shorter name before the NUL.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Creates (or empties) the file at path and writes bytes. On failure: CannotOpen with
// cannotOpenMessage, or WriteFailed with writeFailedPrefix followed by the system's text.
FileResult WriteFileBytes(const std::string& path, std::string_view bytes,
                          const std::string& cannotOpenMessage,
                          const std::string& writeFailedPrefix);

}  // namespace korvane
