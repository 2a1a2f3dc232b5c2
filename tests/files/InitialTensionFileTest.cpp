#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestFiles.h"
#include "files/InitialTensionFile.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

TEST(InitialTensionFile, NoFileGivesTheDefaultTension) {
  TemporaryFolder folder;
  for (const std::string& path : {folder / "TensKRVN.txt", folder / "missing/TensKRVN.txt"}) {
    const InitialTensionRead read = ReadInitialTensionFile(path);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Text, "3.0");
    EXPECT_FALSE(std::filesystem::exists(path));  // reading creates nothing
  }
}

TEST(InitialTensionFile, OnlyTheFirstLineIsRead) {
  TemporaryFolder folder;
  const std::string path = folder / "TensKRVN.txt";
  struct Case {
    std::string Bytes;
    std::string Text;
  };
  const std::vector<Case> cases = {
      {"7\r\n12\r\nmore", "7"},
      {"7\n12\n", "7"},
      {"5.5", "5.5"},
      {"", ""},
      {"\r\n", ""},
      {" 4.0 x\r\n", " 4.0 x"},
      {"6\x1A"
       "9\r\n",
       "6"},
      {"\x1A"
       "8\r\n",
       ""},
      {"1\r2\r\n", "1\r2"},
  };
  for (const Case& c : cases) {
    WriteBytes(path, c.Bytes);
    const InitialTensionRead read = ReadInitialTensionFile(path);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Text, c.Text);
  }
}

TEST(InitialTensionFile, AFileThatIsThereButCannotBeRead) {
  TemporaryFolder folder;
  const InitialTensionRead read = ReadInitialTensionFile(folder.path().string());
  EXPECT_FALSE(read.Ok);
  EXPECT_EQ(read.Text, "");
  // The message names the file, below the words the user knows.
  EXPECT_EQ(read.Message, "Initial tension file can not be opened!\n" + folder.path().string());

  if (!testing::PermissionsEnforced(folder / "probe"))
    GTEST_SKIP() << "file permissions do not hold for this user (the superuser)";
  const std::string path = folder / "TensKRVN.txt";
  WriteBytes(path, "7\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::none);
  EXPECT_FALSE(ReadInitialTensionFile(path).Ok);
}

TEST(InitialTensionFile, StoringReplacesTheFileAndCreatesItsFolder) {
  TemporaryFolder folder;
  const std::string path = folder / "var/lib/korvane/TensKRVN.txt";
  // The folder is shared by every user: whatever the umask, others may not write into it.
  const mode_t savedMask = ::umask(0);
  const bool stored = StoreInitialTensionFile(path, "5.5");
  ::umask(savedMask);
  ASSERT_TRUE(stored);
  for (const std::string& created : {folder / "var", folder / "var/lib/korvane"})
    EXPECT_EQ(std::filesystem::status(created).permissions() & std::filesystem::perms::others_write,
              std::filesystem::perms::none)
        << created;
  EXPECT_EQ(ReadBytes(path), "5.5\r\n");
  EXPECT_EQ(ReadInitialTensionFile(path).Text, "5.5");

  // The text is stored as typed, even empty or not a number.
  for (const std::string& text : {std::string(""), std::string(" abc "), std::string("3.0")}) {
    ASSERT_TRUE(StoreInitialTensionFile(path, text));
    EXPECT_EQ(ReadBytes(path), text + "\r\n");
    EXPECT_EQ(ReadInitialTensionFile(path).Text, text);
  }
  // Nothing but the file is left in its folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "var/lib/korvane"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(InitialTensionFile, StoringFailsWithoutHarm) {
  TemporaryFolder folder;
  // The name is a folder: it stays a folder.
  const std::string asFolder = folder / "TensKRVN.txt";
  std::filesystem::create_directory(asFolder);
  EXPECT_FALSE(StoreInitialTensionFile(asFolder, "5.5"));
  EXPECT_TRUE(std::filesystem::is_directory(asFolder));
  // The folder cannot be created because a file has its name.
  WriteBytes(folder / "lib", "a file");
  EXPECT_FALSE(StoreInitialTensionFile(folder / "lib/TensKRVN.txt", "5.5"));
  EXPECT_EQ(ReadBytes(folder / "lib"), "a file");

  // A write-protected file is not replaced.
  if (!testing::PermissionsEnforced(folder / "probe"))
    GTEST_SKIP() << "file permissions do not hold for this user (the superuser)";
  const std::string path = folder / "TensKRVN-2.txt";
  WriteBytes(path, "7\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_FALSE(StoreInitialTensionFile(path, "5.5"));
  EXPECT_EQ(ReadBytes(path), "7\r\n");
}

}  // namespace
}  // namespace korvane
