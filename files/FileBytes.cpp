#include "files/FileBytes.h"

namespace korvane {

FileResult WriteFileBytes(const std::string& path, std::string_view bytes,
                          const std::string& cannotOpenMessage,
                          const std::string& writeFailedPrefix, Durability durability,
                          const FileCalls& calls) {
  PendingFile file(calls);
  if (FileResult opened = file.Open(path, cannotOpenMessage, writeFailedPrefix); !opened.ok())
    return opened;
  if (FileResult written = file.Write(bytes); !written.ok()) return written;
  return file.Commit(durability);
}

}  // namespace korvane
