#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "files/DataFile.h"
#include "files/TextLines.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

// Lines "k. item = v<k>" for the 51 items and "Jacket-j = <mode>" for the jackets.
std::vector<std::string> ValidLines(const std::string& jacketModes = "122") {
  std::vector<std::string> lines;
  for (int k = 1; k <= kItemCount; ++k)
    lines.push_back(std::to_string(k) + ". item = v" + std::to_string(k));
  for (int j = 0; j < kJacketCount; ++j)
    lines.push_back("Jacket-" + std::to_string(j + 1) + " = " +
                    jacketModes[static_cast<size_t>(j)]);
  return lines;
}

std::string Join(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

class DataFileTest : public ::testing::Test {
 protected:
  DataFileLoad Load(const std::string& bytes) {
    WriteBytes(path_, bytes);
    return LoadDataFile(path_);
  }
  std::string NotADataFile() const { return '"' + path_ + "\" is not a correct data file!"; }

  TemporaryFolder folder_;
  std::string path_ = folder_ / "case.txt";
};

TEST_F(DataFileTest, AResultFilesItemLinesWithJacketLinesLoad) {
  // The 51 item lines of the default echo, then three jacket lines.
  const std::string echo = ReadBytes(KORVANE_GOLDEN_DIR "/default_input_data.txt");
  std::string data;
  size_t begin = 0;
  for (size_t end; (end = echo.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
    const std::string line = echo.substr(begin, end - begin);
    if (line.find('=') != std::string::npos && line[0] != '=') data += line + "\r\n";
  }
  data += "Jacket-1 = 1\r\nJacket-2 = 2\r\nJacket-3 = 2\r\n";
  const DataFileLoad load = Load(data);
  ASSERT_TRUE(load.Ok) << load.Message;
  EXPECT_EQ(load.Values.Items[0], "1.000");
  EXPECT_EQ(load.Values.Items[3], "5.5123E+03");  // a fixed field's value is given too
  EXPECT_EQ(load.Values.Items[7], "-2190.00");
  EXPECT_EQ(load.Values.Items[21], "0.0000001310");
  EXPECT_EQ(load.Values.Items[28], "48");
  EXPECT_EQ(load.Values.Items[50], "7.50");
  EXPECT_EQ(load.Values.Jacketed, (std::array<bool, 3>{true, false, false}));

  // The whole result file is not a data file: its second line has no "=".
  WriteBytes(path_, echo);
  EXPECT_FALSE(LoadDataFile(path_).Ok);
}

TEST_F(DataFileTest, FiftyFourLinesAreNeededAndLaterLinesIgnored) {
  std::vector<std::string> lines = ValidLines();
  const DataFileLoad exact = Load(Join(lines, "\n"));
  ASSERT_TRUE(exact.Ok);

  lines.push_back("anything, without an equals sign");
  const DataFileLoad longer = Load(Join(lines, "\n"));
  ASSERT_TRUE(longer.Ok);
  EXPECT_EQ(longer.Values.Items, exact.Values.Items);
  EXPECT_EQ(longer.Values.Jacketed, exact.Values.Jacketed);

  lines.resize(53);
  const DataFileLoad shorter = Load(Join(lines, "\n"));
  EXPECT_FALSE(shorter.Ok);
  EXPECT_EQ(shorter.Message, NotADataFile());

  // The last line needs no line end.
  lines = ValidLines();
  EXPECT_TRUE(Load(Join(lines, "\n").substr(0, Join(lines, "\n").size() - 1)).Ok);
}

TEST_F(DataFileTest, ValueIsTheTextAfterTheFirstEqualsUpToABlank) {
  struct Case {
    const char* Line;
    const char* Value;
  };
  const std::vector<Case> cases = {
      {"x = a=b", "a=b"},
      {"x =1.5 g/cm3", "1.5"},
      {"x =\t1.5", "\t1.5"},  // only blanks are removed
      {"x =", ""},
      {"x =    ", ""},
      {"label with ℃ =  0.500 (cal/g)", "0.500"},
      {"=7", "7"},
      {"x = 1\t2 3", "1\t2"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = ValidLines();
    lines[0] = c.Line;
    const DataFileLoad load = Load(Join(lines, "\r\n"));
    ASSERT_TRUE(load.Ok) << c.Line;
    EXPECT_EQ(load.Values.Items[0], c.Value) << c.Line;
    EXPECT_EQ(load.Values.Items[1], "v2");
  }
}

TEST_F(DataFileTest, OnlyExactlyOneSelectsJacketed) {
  struct Case {
    const char* Value;
    bool Jacketed;
  };
  const std::vector<Case> cases = {
      {"1", true}, {"1 (jacketed)", true}, {"01", false}, {"1.0", false},
      {"", false}, {"2", false},           {"\t1", false}};
  for (const Case& c : cases) {
    std::vector<std::string> lines = ValidLines();
    lines[52] = std::string("Jacket-2 = ") + c.Value;
    const DataFileLoad load = Load(Join(lines, "\r\n"));
    ASSERT_TRUE(load.Ok) << c.Value;
    EXPECT_EQ(load.Values.Jacketed, (std::array<bool, 3>{true, c.Jacketed, false}))
        << "'" << c.Value << "'";
  }
}

TEST_F(DataFileTest, LineEndsAndTheEndOfTextByte) {
  const std::vector<std::string> lines = ValidLines("111");
  const DataFileLoad lf = Load(Join(lines, "\n"));
  const DataFileLoad crlf = Load(Join(lines, "\r\n"));
  ASSERT_TRUE(lf.Ok);
  ASSERT_TRUE(crlf.Ok);
  EXPECT_EQ(lf.Values.Items, crlf.Values.Items);
  EXPECT_EQ(crlf.Values.Jacketed, (std::array<bool, 3>{true, true, true}));
  // A CR LF cut off at the end of the text still ends the value.
  EXPECT_TRUE(
      Load(Join(lines, "\r\n").substr(0, Join(lines, "\r\n").size() - 1)).Values.Jacketed[2]);

  // Lines that end in a CR alone make one long line.
  EXPECT_EQ(Load(Join(lines, "\r")).Message, NotADataFile());

  // 0x1A ends the text: in the middle the rest is missing, after line 54 it is harmless.
  std::string text = Join(lines, "\r\n");
  const size_t line30 = text.find("30. item");
  EXPECT_FALSE(Load(text.substr(0, line30) + '\x1A' + text.substr(line30)).Ok);
  const DataFileLoad ended = Load(text.substr(0, text.size() - 2) + "\x1A garbage\r\n");
  ASSERT_TRUE(ended.Ok);
  EXPECT_TRUE(ended.Values.Jacketed[2]);
}

TEST_F(DataFileTest, BytesAreKeptAsTheyAre) {
  std::vector<std::string> lines = ValidLines();
  lines[1] = std::string("x = a\0b", 7);
  lines[2] = "x = \x81\x8E\xFF";
  const DataFileLoad load = Load(Join(lines, "\n"));
  ASSERT_TRUE(load.Ok);
  EXPECT_EQ(load.Values.Items[1], std::string("a\0b", 3));
  EXPECT_EQ(load.Values.Items[2], "\x81\x8E\xFF");
}

TEST_F(DataFileTest, AHugeLineIsCutAndTheNextLinesStillRead) {
  std::vector<std::string> lines = ValidLines();
  lines[0] = "x = 1 " + std::string(3 * kMaxKeptLineLength, 'y');
  WriteBytes(path_, Join(lines, "\r\n"));
  DataFileLines read;
  ASSERT_EQ(ReadDataFileLines(path_, read), ReadStatus::Ok);
  EXPECT_EQ(read[0].size(), kMaxKeptLineLength);
  EXPECT_EQ(read[1], "2. item = v2");
  const DataFileLoad load = LoadDataFile(path_);
  ASSERT_TRUE(load.Ok);
  EXPECT_EQ(load.Values.Items[0], "1");
  EXPECT_EQ(load.Values.Items[1], "v2");
}

TEST_F(DataFileTest, FilesThatCannotBeRead) {
  EXPECT_EQ(LoadDataFile(folder_ / "missing.txt").Message, "Data file can not open!");
  EXPECT_EQ(LoadDataFile(folder_.path().string()).Message,
            '"' + folder_.path().string() + "\" is not a regular file!");
  EXPECT_EQ(LoadDataFile("").Message, "Data file can not open!");
  if (testing::PermissionsEnforced(folder_ / "probe")) {
    const std::string unreadable = folder_ / "unreadable.txt";
    WriteBytes(unreadable, "x = 1\n");
    std::filesystem::permissions(unreadable, std::filesystem::perms::none);
    EXPECT_EQ(LoadDataFile(unreadable).Message, "Data file can not open!");
  }
  // An empty file opens but is not a data file.
  EXPECT_EQ(Load("").Message, NotADataFile());
}

}  // namespace
}  // namespace korvane
