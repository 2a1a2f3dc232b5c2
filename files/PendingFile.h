// A file being written under a temporary name beside its destination, which it replaces in one
// rename when committed. Until then the destination keeps its earlier bytes (or stays absent),
// whatever happens to the process; two writers of one name leave one complete file.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "files/FileResult.h"

namespace korvane {

// Whether a commit waits for the bytes to reach the disk before the rename. A rename alone
// already keeps readers and a killed process from ever seeing half a file; the flush also
// survives a power failure, at the price of a disk round trip (tens of milliseconds).
enum class Durability { Renamed, FlushedToDisk };

// The system calls a pending file makes once its temporary file exists. The real ones by
// default; a test puts in its own to make any one of them fail.
struct FileCalls {
  ssize_t (*Write)(int fd, const void* bytes, size_t count);
  int (*Sync)(int fd);  // the file's bytes to the disk
  int (*Close)(int fd);
  int (*Rename)(const char* from, const char* to);
  int (*OpenFolder)(const char* path);  // read-only, to flush the folder's entries
  int (*SyncFolder)(int fd);            // the folder's entries to the disk
};

// The calls of the system itself.
const FileCalls& SystemFileCalls();

class PendingFile {
 public:
  explicit PendingFile(const FileCalls& calls = SystemFileCalls()) : calls_(&calls) {}
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() { Discard(); }

  // Creates the temporary file ".NAME.XXXXXX" exclusively (never through a planted link) in
  // the destination's folder. A destination that exists but may not be written is refused,
  // and one that is not a regular file (a device such as /dev/null) is written directly.
  // On failure: CannotOpen with cannotOpenMessage (and, on a line of its own, why, when the
  // file itself is not at fault). Later write failures are reported as WriteFailed with
  // writeFailedPrefix followed by the system's text.
  FileResult Open(const std::string& destination, const std::string& cannotOpenMessage,
                  const std::string& writeFailedPrefix);

  // Writes bytes at once (no buffering), so that a failing write is seen where it fails. After
  // a failure nothing more is written and the file can no longer be committed.
  FileResult Write(std::string_view bytes);

  // Renames the file over the destination, flushing it first when asked (and, after the
  // rename, the folder that holds the new name). Only a file all of whose writes succeeded is
  // ever put in place: after a failed write, or when flushing, closing or renaming fails, the
  // temporary file is removed and the destination keeps its bytes. A failure to flush the
  // folder is reported too, though the new file is in place by then.
  FileResult Commit(Durability durability = Durability::Renamed);

  // Closes and removes the temporary file; the destination is left as it was.
  void Discard();

  bool IsOpen() const { return fd_ >= 0; }

  // The temporary file's name (empty when the destination is written directly).
  const std::string& TemporaryPath() const { return temporary_; }

 private:
  FileResult SystemFailure(int error) const;
  void Forget();

  const FileCalls* calls_;
  int fd_ = -1;
  int slot_ = -1;          // in the registry of pending files, -1 when not registered
  bool replaces_ = false;  // the destination existed when the file was opened
  FileResult failed_;      // the first failed write, which no commit may put in place
  std::string destination_;
  std::string temporary_;
  std::string writeFailedPrefix_;
};

// Removes every temporary file that is being written at this moment, in any thread. Safe to
// call from a signal handler (it only calls unlink).
void RemovePendingFiles();

}  // namespace korvane
