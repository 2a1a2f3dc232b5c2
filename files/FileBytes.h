// Writing a whole small file in one go, with every failure caught and put into words.
#pragma once

#include <string>
#include <string_view>

#include "files/ResultFile.h"

namespace korvane {

// Creates (or empties) the file at path and writes bytes. On failure: CannotOpen with
// cannotOpenMessage, or WriteFailed with writeFailedPrefix followed by the system's text.
FileResult WriteFileBytes(const std::string& path, std::string_view bytes,
                          const std::string& cannotOpenMessage,
                          const std::string& writeFailedPrefix);

}  // namespace korvane
