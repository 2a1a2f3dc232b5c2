#include "files/FileBytes.h"

#include "files/PendingFile.h"

namespace korvane {

FileResult WriteFileBytes(const std::string& path, std::string_view bytes,
                          const std::string& cannotOpenMessage,
                          const std::string& writeFailedPrefix) {
  PendingFile file;
  if (FileResult opened = file.Open(path, cannotOpenMessage, writeFailedPrefix); !opened.ok())
    return opened;
  if (FileResult written = file.Write(bytes); !written.ok()) return written;
  return file.Commit();
}

}  // namespace korvane
