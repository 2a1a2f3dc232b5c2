#include "files/PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace korvane {

namespace fs = std::filesystem;

namespace {

// The registry of temporary files being written, read by RemovePendingFiles from a signal
// handler: a slot is claimed, its path copied, and only then marked armed. A run of the batch
// runner writes at most one result file and one CSV file per parallel case (at most 256) plus
// its summary; a script may run more cases at once in threads.
constexpr int kSlotCount = 1024;
enum SlotState : int { kFree = 0, kClaimed = 1, kArmed = 2 };
struct Slot {
  std::atomic<int> State{kFree};
  char Path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);
Slot registry[kSlotCount];

// The slot that holds path, or -1 with why it could not be registered.
int Register(const std::string& path, std::string& why) {
  if (path.size() >= PATH_MAX) {
    why = "Its path is too long: " + std::to_string(path.size()) + " characters.";
    return -1;
  }
  for (int i = 0; i < kSlotCount; ++i) {
    int expected = kFree;
    if (!registry[i].State.compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(registry[i].Path, path.c_str(), path.size() + 1);
    registry[i].State.store(kArmed, std::memory_order_release);
    return i;
  }
  why = "More than " + std::to_string(kSlotCount) + " files are being written at once.";
  return -1;
}

void Unregister(int slot) {
  if (slot >= 0) registry[slot].State.store(kFree, std::memory_order_release);
}

// Six letters or digits, different in every thread and process.
std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}() ^
                                      (static_cast<uint64_t>(::getpid()) << 32)};
  std::string suffix(6, 'x');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

// The longest part of the destination's name kept in the temporary name, so that a name near
// the system's limit still leaves room for the dot and the suffix.
constexpr size_t kKeptNameLength = 200;

ssize_t SystemWrite(int fd, const void* bytes, size_t count) {
  return ::write(fd, bytes, count);
}
int SystemSync(int fd) {
  return ::fsync(fd);
}
int SystemClose(int fd) {
  return ::close(fd);
}
int SystemRename(const char* from, const char* to) {
  return std::rename(from, to);
}
int SystemOpenFolder(const char* path) {
  return ::open(path, O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

const FileCalls& SystemFileCalls() {
  static const FileCalls calls{SystemWrite,  SystemSync,       SystemClose,
                               SystemRename, SystemOpenFolder, SystemSync};
  return calls;
}

FileResult PendingFile::Open(const std::string& destination, const std::string& cannotOpenMessage,
                             const std::string& writeFailedPrefix) {
  Discard();
  writeFailedPrefix_ = writeFailedPrefix;
  failed_ = {};
  const FileResult cannotOpen{FileStatus::CannotOpen, cannotOpenMessage};
  // A NUL byte would make the system use the shorter name before it.
  if (destination.empty() || destination.find('\0') != std::string::npos) return cannotOpen;

  struct stat existing {};
  const bool exists = ::stat(destination.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device or a pipe cannot be replaced by renaming; it takes the bytes as they come. A
    // pipe that nobody reads is refused rather than waited for.
    if (S_ISDIR(existing.st_mode)) return cannotOpen;
    fd_ = ::open(destination.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return cannotOpen;
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      ::close(fd_);
      fd_ = -1;
      return cannotOpen;
    }
    destination_ = destination;
    return {};
  }
  // A file that may not be written stays as it is, even where its folder would let a
  // replacement in.
  if (exists && ::access(destination.c_str(), W_OK) != 0) return cannotOpen;

  const fs::path target(destination);
  const std::string name = target.filename().string();
  if (name.empty() || name == "." || name == ".." || name.size() > NAME_MAX) return cannotOpen;
  const fs::path folder = target.parent_path();
  // Each name is registered before the file is created, so that a signal arriving in between
  // still finds it (removing a name that was never created does no harm). A name that cannot be
  // registered would be left behind by a signal: it is not created.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temporaryName(1, '.');
    temporaryName.append(name, 0, kKeptNameLength).append(1, '.').append(RandomSuffix());
    const std::string temporary = (folder / temporaryName).string();
    std::error_code error;
    const fs::path absolute = fs::absolute(temporary, error);
    // The name as given serves as long as the working folder stays, when the absolute one is
    // too long.
    std::string why;
    const bool absoluteFits = !error && absolute.string().size() < PATH_MAX;
    slot_ = Register(absoluteFits ? absolute.string() : temporary, why);
    if (slot_ < 0) return FileResult{FileStatus::CannotOpen, cannotOpenMessage + "\n" + why};
    fd_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                 0666);
    if (fd_ < 0) {
      Unregister(slot_);
      slot_ = -1;
      if (errno == EEXIST) continue;
      return cannotOpen;
    }
    temporary_ = temporary;
    break;
  }
  if (fd_ < 0) return cannotOpen;
  destination_ = destination;
  replaces_ = exists;
  // The replacement keeps the permissions of the file it replaces.
  if (exists) ::fchmod(fd_, existing.st_mode & 0777);
  return {};
}

FileResult PendingFile::Write(std::string_view bytes) {
  if (!failed_.ok()) return failed_;
  if (fd_ < 0) return SystemFailure(EBADF);
  while (!bytes.empty()) {
    const ssize_t written = calls_->Write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = SystemFailure(written < 0 ? errno : EIO);
      return failed_;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return {};
}

FileResult PendingFile::Commit(Durability durability) {
  if (fd_ < 0) return SystemFailure(EBADF);
  if (!failed_.ok()) {
    // Part of the file is missing: the earlier file is worth more than this one. A device or
    // a pipe written in place has taken what was written before the failure.
    const std::string name = "\"" + destination_ + "\"";
    const FileResult kept{FileStatus::WriteFailed,
                          name + (temporary_.empty() ? " did not take the whole file."
                                  : replaces_        ? " keeps its earlier contents."
                                                     : " was not made.")};
    Discard();
    return kept;
  }
  int error = 0;
  // A device written directly has nothing to flush or rename.
  const bool flush = !temporary_.empty() && durability == Durability::FlushedToDisk;
  if (flush && calls_->Sync(fd_) != 0) error = errno;
  if (calls_->Close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  // The new name lives in the folder's entries, which reach the disk with the folder: without
  // flushing it a power failure may bring back the earlier file, or none. The folder is opened
  // before the rename, so that a failure to open it still leaves the earlier file.
  int folder = -1;
  if (error == 0 && flush) {
    const fs::path parent = fs::path(destination_).parent_path();
    folder = calls_->OpenFolder(parent.empty() ? "." : parent.c_str());
    if (folder < 0) error = errno;
  }
  if (error == 0 && !temporary_.empty() &&
      calls_->Rename(temporary_.c_str(), destination_.c_str()) != 0)
    error = errno;
  if (error != 0) {
    if (folder >= 0) ::close(folder);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    Forget();
    return SystemFailure(error);
  }
  Forget();
  if (folder < 0) return {};
  // The file is in place by now; a file system that cannot flush a folder (EINVAL) keeps its
  // entries by other means.
  if (calls_->SyncFolder(folder) != 0 && errno != EINVAL) error = errno;
  ::close(folder);
  return error != 0 ? SystemFailure(error) : FileResult{};
}

void PendingFile::Discard() {
  if (fd_ >= 0) calls_->Close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  Forget();
}

void PendingFile::Forget() {
  Unregister(slot_);
  slot_ = -1;
  replaces_ = false;
  temporary_.clear();
}

FileResult PendingFile::SystemFailure(int error) const {
  return FileResult{FileStatus::WriteFailed,
                    writeFailedPrefix_ + std::generic_category().message(error != 0 ? error : EIO)};
}

void RemovePendingFiles() {
  for (Slot& slot : registry)
    if (slot.State.load(std::memory_order_acquire) == kArmed) ::unlink(slot.Path);
}

}  // namespace korvane
