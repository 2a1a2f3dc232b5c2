// Writing a whole small file in one go, with every failure caught and put into words.
#pragma once

#include <string>
#include <string_view>

#include "files/FileResult.h"
#include "files/PendingFile.h"

namespace korvane {

// Replaces the file at path with bytes (see PendingFile): a failure leaves the earlier file as
// it was. On failure: CannotOpen with cannotOpenMessage, or WriteFailed with writeFailedPrefix
// followed by the system's text.
FileResult WriteFileBytes(const std::string& path, std::string_view bytes,
                          const std::string& cannotOpenMessage,
                          const std::string& writeFailedPrefix,
                          Durability durability = Durability::Renamed,
                          const FileCalls& calls = SystemFileCalls());

}  // namespace korvane
