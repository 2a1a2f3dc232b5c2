// Files and names nobody meant to give: each gets its message and nothing else changes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "TestFiles.h"
#include "files/DataFile.h"
#include "files/DataFileWriter.h"
#include "files/InitialTensionFile.h"
#include "files/ResultFile.h"
#include "inputs/FieldTexts.h"
#include "inputs/ReadRunParameters.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

std::string NotADataFile(const std::string& path) {
  return "\"" + path + "\"" + kNotADataFileSuffix;
}

TEST(HostileFiles, NamesWithANulByteAreRefusedNotShortened) {
  TemporaryFolder folder;
  const std::string shortened = folder / "res";
  const std::string name = shortened + std::string("\0ult.txt", 8);

  RunParameters params;
  ASSERT_TRUE(ReadRunParameters(DefaultFieldTexts(), params).Ok);
  params.ResultFileName = name;
  EXPECT_EQ(InputDataWriter(params).Message, kResultFileCannotOpen);
  EXPECT_EQ(DataFileWriter(name, DefaultFieldTexts()).Message, kDataFileCannotSave);
  EXPECT_FALSE(StoreInitialTensionFile(name, "3.0"));
  EXPECT_FALSE(std::filesystem::exists(shortened)) << "the name before the NUL must not be written";

  WriteBytes(shortened, "x = 1\n");
  EXPECT_EQ(LoadDataFile(name).Message, kDataFileCannotOpen);
}

TEST(HostileFiles, NamesTheFileSystemRefuses) {
  TemporaryFolder folder;
  RunParameters params;
  ASSERT_TRUE(ReadRunParameters(DefaultFieldTexts(), params).Ok);
  for (const std::string& name :
       {folder / std::string(300, 'x'), folder / "a/../../../../../../proc/nope/r.txt"}) {
    params.ResultFileName = name;
    EXPECT_EQ(InputDataWriter(params).Status, FileStatus::CannotOpen) << name;
    EXPECT_EQ(LoadDataFile(name).Message, kDataFileCannotOpen) << name;
  }
}

TEST(HostileFiles, GarbageAndHugeDataFilesAreRejectedWithTheirMessage) {
  TemporaryFolder folder;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);

  // Binary garbage with no "=" at all.
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) {
    c = static_cast<char>(byte(random));
    if (c == '=') c = '+';
  }
  const std::string garbagePath = folder / "garbage.bin";
  WriteBytes(garbagePath, garbage);
  EXPECT_EQ(LoadDataFile(garbagePath).Message, NotADataFile(garbagePath));

  // Several megabytes without a line end, with an "=" only far beyond what a line keeps.
  const std::string hugePath = folder / "huge.txt";
  WriteBytes(hugePath, std::string(6 << 20, 'a') + "= 1");
  EXPECT_EQ(LoadDataFile(hugePath).Message, NotADataFile(hugePath));

  // 54 lines of "=" that hold NUL bytes and control characters load, bytes and all.
  std::string odd;
  for (int k = 0; k < 54; ++k) odd += std::string("\0\x01=\x7f\0", 5) + "\n";
  const std::string oddPath = folder / "odd.txt";
  WriteBytes(oddPath, odd);
  const DataFileLoad load = LoadDataFile(oddPath);
  ASSERT_TRUE(load.Ok);
  EXPECT_EQ(load.Values.Items[0], std::string("\x7f\0", 2));
}

TEST(HostileFiles, FilesThatNeverEndOrNeverAnswerAreNotRead) {
  // Each would keep a reader waiting or reading forever: the window would never appear.
  TemporaryFolder folder;
  const std::string link = folder / "link-to-zero";
  std::filesystem::create_symlink("/dev/zero", link);
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/zero"), link, fifo}) {
    EXPECT_EQ(LoadDataFile(path).Message, '"' + path + "\" is not a regular file!");
    EXPECT_FALSE(ReadInitialTensionFile(path).Ok) << path;
  }
  // Nobody reads the pipe: writing to it is refused rather than waited for.
  RunParameters params;
  ASSERT_TRUE(ReadRunParameters(DefaultFieldTexts(), params).Ok);
  params.ResultFileName = fifo;
  EXPECT_EQ(InputDataWriter(params).Message, kResultFileCannotOpen);
  // A regular file far larger than either file ever is (sparse: it takes no room).
  const std::string huge = folder / "huge";
  WriteBytes(huge, "");
  if (::truncate(huge.c_str(), off_t{1} << 40) != 0) GTEST_SKIP() << "no sparse files here";
  EXPECT_EQ(LoadDataFile(huge).Message, NotADataFile(huge));
  EXPECT_EQ(ReadInitialTensionFile(huge).Text, std::string(kInitialTensionFileMaxBytes, '\0'));
}

TEST(HostileFiles, ThePlantedLinkOfAnotherUserIsNotFollowedWhenStoring) {
  TemporaryFolder folder;
  const std::string victim = folder / "victim.txt";
  WriteBytes(victim, "keep me");
  const std::string path = folder / "TensKRVN.txt";
  for (const char* planted : {".new", ".tmp", "~"})
    std::filesystem::create_symlink(victim, path + planted);
  ASSERT_TRUE(StoreInitialTensionFile(path, "5.5"));
  EXPECT_EQ(ReadBytes(path), "5.5\r\n");
  EXPECT_EQ(ReadBytes(victim), "keep me");
}

}  // namespace
}  // namespace korvane
