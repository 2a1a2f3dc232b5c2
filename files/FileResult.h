// How writing a file ended, and the text that tells the user when it failed.
#pragma once

#include <string>

namespace korvane {

enum class FileStatus {
  Ok,
  CannotOpen,   // could not be created, emptied or opened for appending
  WriteFailed,  // a line could not be written after the file was opened
  BadValue      // a value to print was not a finite number; nothing more was written
};

struct FileResult {
  FileStatus Status = FileStatus::Ok;
  std::string Message;  // the text to show the user when Status is not Ok
  bool ok() const { return Status == FileStatus::Ok; }
};

}  // namespace korvane
