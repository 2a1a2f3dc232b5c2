// The writer's promise under every system call that can fail: the earlier file keeps its bytes
// and no temporary file is left beside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "files/FileBytes.h"
#include "files/InitialTensionFile.h"
#include "files/PendingFile.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

// The calls the writer makes, counted; the failingTime-th call named in failing fails.
enum Call { kWrite, kSync, kClose, kRename, kOpenFolder, kSyncFolder, kNone };
std::array<int, kNone> counts;
Call failing = kNone;
int failingTime = 1;

bool Fails(Call call, int error) {
  ++counts[call];
  if (call != failing || counts[call] != failingTime) return false;
  errno = error;
  return true;
}

const FileCalls kCountingCalls{
    [](int fd, const void* bytes, size_t count) -> ssize_t {
      return Fails(kWrite, ENOSPC) ? -1 : ::write(fd, bytes, count);
    },
    [](int fd) { return Fails(kSync, EIO) ? -1 : ::fsync(fd); },
    [](int fd) {
      // The descriptor is gone whatever close says.
      ::close(fd);
      return Fails(kClose, EIO) ? -1 : 0;
    },
    [](const char* from, const char* to) {
      return Fails(kRename, EXDEV) ? -1 : ::rename(from, to);
    },
    [](const char* path) {
      return Fails(kOpenFolder, EACCES) ? -1 : ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    },
    [](int fd) { return Fails(kSyncFolder, EIO) ? -1 : ::fsync(fd); },
};

void Reset(Call fail, int time = 1) {
  counts.fill(0);
  failing = fail;
  failingTime = time;
}

int EntryCount(const TemporaryFolder& folder) {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder.path()),
                                        std::filesystem::directory_iterator()));
}

TEST(PendingFile, AFailingCallLeavesTheEarlierFileAndNoTemporaryFile) {
  TemporaryFolder folder;
  const std::string path = folder / "r.txt";
  const struct {
    Call Fail;
    const char* Message;
  } rows[] = {
      {kWrite, "failed: No space left on device"}, {kSync, "failed: Input/output error"},
      {kClose, "failed: Input/output error"},      {kRename, "failed: Invalid cross-device link"},
      {kOpenFolder, "failed: Permission denied"},
  };
  for (const auto& row : rows) {
    // Written whole, as the small files are.
    WriteBytes(path, "earlier");
    Reset(row.Fail);
    const FileResult result = WriteFileBytes(path, "new", "cannot open",
                                             "failed: ", Durability::FlushedToDisk, kCountingCalls);
    EXPECT_EQ(result.Status, FileStatus::WriteFailed) << row.Message;
    EXPECT_EQ(result.Message, row.Message);
    EXPECT_EQ(counts[row.Fail], 1) << row.Message;
    EXPECT_EQ(ReadBytes(path), "earlier") << row.Message;
    EXPECT_EQ(EntryCount(folder), 1) << row.Message;
  }

  // Written piece by piece, as the result file is, and committed after a failed write all the
  // same: the cut file is not put in place.
  Reset(kWrite, 2);
  PendingFile file(kCountingCalls);
  ASSERT_TRUE(file.Open(path, "cannot open", "failed: ").ok());
  ASSERT_TRUE(file.Write("first part, ").ok());
  EXPECT_EQ(file.Write("second part").Message, "failed: No space left on device");
  const FileResult committed = file.Commit(Durability::FlushedToDisk);
  EXPECT_EQ(committed.Status, FileStatus::WriteFailed);
  EXPECT_EQ(committed.Message, "\"" + path + "\" keeps its earlier contents.");
  EXPECT_EQ(counts[kRename], 0);
  EXPECT_EQ(ReadBytes(path), "earlier");
  EXPECT_EQ(EntryCount(folder), 1);

  // The folder that holds the new name is flushed after the rename: the new file is in place,
  // but it may not survive a power failure, and that is said.
  WriteBytes(path, "earlier");
  Reset(kSyncFolder);
  const FileResult result = WriteFileBytes(path, "new", "cannot open",
                                           "failed: ", Durability::FlushedToDisk, kCountingCalls);
  EXPECT_EQ(result.Message, "failed: Input/output error");
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(EntryCount(folder), 1);
}

TEST(PendingFile, FlushedToDiskFlushesTheFileAndThenItsFolder) {
  TemporaryFolder folder;
  Reset(kNone);
  ASSERT_TRUE(WriteFileBytes(folder / "r.txt", "new", "cannot open",
                             "failed: ", Durability::FlushedToDisk, kCountingCalls)
                  .ok());
  EXPECT_EQ(counts, (std::array<int, kNone>{1, 1, 1, 1, 1, 1}));
  // Replacing the stored tension of every user of the machine is flushed so.
  Reset(kNone);
  ASSERT_TRUE(StoreInitialTensionFile(folder / "TensKRVN.txt", "5.5", kCountingCalls));
  EXPECT_EQ(counts, (std::array<int, kNone>{1, 1, 1, 1, 1, 1}));
  // A plain rename flushes nothing.
  Reset(kNone);
  ASSERT_TRUE(WriteFileBytes(folder / "r.txt", "new", "cannot open",
                             "failed: ", Durability::Renamed, kCountingCalls)
                  .ok());
  EXPECT_EQ(counts, (std::array<int, kNone>{1, 0, 1, 1, 0, 0}));
}

TEST(PendingFile, ANameThatCannotBeRegisteredForRemovalIsRefusedWithTheReason) {
  // A signal would leave a temporary file behind that nothing knows of.
  std::string path = "x";
  while (path.size() < 5000) path += "/folder";
  PendingFile file;
  const FileResult opened = file.Open(path + "/r.txt", "Result file can not open!", "failed: ");
  EXPECT_EQ(opened.Status, FileStatus::CannotOpen);
  EXPECT_EQ(opened.Message.rfind("Result file can not open!\nIts path is too long: ", 0), 0u)
      << opened.Message;

  // Every slot of the registry taken, each by an open file.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit raised = saved;
  raised.rlim_cur = std::max<rlim_t>(saved.rlim_cur, std::min<rlim_t>(saved.rlim_max, 4096));
  if (raised.rlim_cur < 2048 || ::setrlimit(RLIMIT_NOFILE, &raised) != 0)
    GTEST_SKIP() << "fewer than 2048 open files are allowed here";
  TemporaryFolder folder;
  std::vector<std::unique_ptr<PendingFile>> files;
  FileResult last;
  while (files.size() < 2000) {
    files.push_back(std::make_unique<PendingFile>());
    last = files.back()->Open(folder / "r.txt", "cannot open", "failed: ");
    if (!last.ok()) break;
  }
  EXPECT_EQ(last.Message, "cannot open\nMore than 1024 files are being written at once.");
  files.clear();
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(EntryCount(folder), 0);
}

}  // namespace
}  // namespace korvane
