// Saving the inputs as a data file: what is saved loads back to the same texts.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "files/DataFile.h"
#include "files/DataFileWriter.h"
#include "inputs/ParameterItems.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;

TEST(DataFileWriter, SavedTextsLoadBackUnchanged) {
  TemporaryFolder folder;
  FieldTexts texts = DefaultFieldTexts();
  texts.Items[0] = "1.000";          // a number typed another way
  texts.Items[29] = "fast";          // not a number: kept as typed
  texts.Items[40] = "";              // an empty field
  texts.Items[46] = "$2A";           // a hexadecimal count
  texts.Items[50] = "a=b";           // an equals sign inside the value
  texts.Items[1] = "\xe2\x84\x83x";  // bytes beyond ASCII
  texts.Jacketed = {true, false, true};
  const std::string path = folder / "case.txt";
  ASSERT_TRUE(DataFileWriter(path, texts).ok());

  const DataFileLoad load = LoadDataFile(path);
  ASSERT_TRUE(load.Ok) << load.Message;
  for (size_t k = 0; k < kItemCount; ++k) EXPECT_EQ(load.Values.Items[k], texts.Items[k]) << k + 1;
  EXPECT_EQ(load.Values.Jacketed, texts.Jacketed);
}

TEST(DataFileWriter, LinesAreTheResultFileLabelsThenTheJackets) {
  TemporaryFolder folder;
  FieldTexts texts = DefaultFieldTexts();
  texts.Items[41] = "  5.0 ";  // blanks around a value are not part of it
  const std::string path = folder / "case.txt";
  ASSERT_TRUE(DataFileWriter(path, texts).ok());
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.rfind(
                "1. Density (g/cm3)                 =  1.0\r\n2. Specific heat (cal/g\x81\x8E)", 0),
            0u);
  EXPECT_NE(bytes.find("\r\n42. Increment-2 (cm)         =  5.0\r\n"), std::string::npos);
  const std::string tail =
      "51. h/kx                     =  7.5\r\nJacket-1 = 2\r\nJacket-2 = 2\r\nJacket-3 = 2\r\n";
  EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
}

TEST(DataFileWriter, RefusesTextsADataFileCannotKeep) {
  TemporaryFolder folder;
  const std::string path = folder / "case.txt";
  for (const char* text : {"1.0 g", "1\r\n2", "1\x1a"}) {
    FieldTexts texts = DefaultFieldTexts();
    texts.Items[29] = text;
    const FileResult result = DataFileWriter(path, texts);
    EXPECT_EQ(result.Status, FileStatus::BadValue) << text;
    EXPECT_EQ(result.Message.rfind("\"30. Take-up speed (cm/s)\" holds a blank", 0), 0u)
        << result.Message;
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing may be written";
  }
}

TEST(DataFileWriter, ReportsFilesThatCannotBeWritten) {
  TemporaryFolder folder;
  EXPECT_EQ(DataFileWriter(folder / "no/such/case.txt", DefaultFieldTexts()).Message,
            kDataFileCannotSave);
  EXPECT_EQ(DataFileWriter(folder.path().string(), DefaultFieldTexts()).Message,
            kDataFileCannotSave);
  const FileResult full = DataFileWriter("/dev/full", DefaultFieldTexts());
  EXPECT_EQ(full.Status, FileStatus::WriteFailed);
  EXPECT_EQ(full.Message, "Data file could not be written: No space left on device");
}

}  // namespace
}  // namespace korvane
