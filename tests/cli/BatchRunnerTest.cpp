// The batch runner as a user calls it: its exit statuses, its messages and its result file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "RecordingEnvironment.h"
#include "files/DataFile.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

struct BatchRun {
  int Status = -1;
  std::string Out, Err;
};

// Runs korvane-batch in the folder with the arguments (already quoted for the shell).
BatchRun RunBatch(const TemporaryFolder& folder, const std::string& arguments) {
  const std::string command = "cd '" + folder.path().string() + "' && '" + KORVANE_BATCH + "' " +
                              arguments + " >stdout.txt 2>stderr.txt";
  const int raw = std::system(command.c_str());
  BatchRun run;
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.Out = ReadBytes(folder.File("stdout.txt"));
  run.Err = ReadBytes(folder.File("stderr.txt"));
  return run;
}

// A data file made the way a user makes one: the item lines of a result file and three jacket
// lines, with one item line changed.
std::string DataFileFrom(const std::string& resultFile, int item, const std::string& value) {
  std::string data;
  size_t at = resultFile.find("1. Density");
  for (int k = 1; k <= 51; ++k) {
    at = resultFile.find(std::to_string(k) + ". ", at);
    const size_t end = resultFile.find("\r\n", at);
    std::string line = resultFile.substr(at, end - at);
    if (k == item) line = line.substr(0, line.find('=') + 1) + "  " + value;
    data += line + "\r\n";
    at = end;
  }
  return data + "Jacket-1 = 2\r\nJacket-2 = 2\r\nJacket-3 = 2\r\n";
}

TEST(BatchRunner, DefaultCaseSucceedsAndMatchesTheRegressionFile) {
  TemporaryFolder folder;
  const BatchRun run = RunBatch(folder, "--initial-tension 3.0");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind("Calculation is successfully finished !\n", 0), 0u) << run.Out;
  EXPECT_NE(run.Out.find("passes "), std::string::npos);
  EXPECT_EQ(run.Err.rfind("NUMBER OF CALCULATION LOOP = ", 0), 0u) << run.Err;
  EXPECT_EQ(ReadBytes(folder.File("result.txt")),
            ReadBytes(std::string(KORVANE_GOLDEN_DIR) + "/default_result.txt"));
}

TEST(BatchRunner, ExitStatusesTellHowTheRunEnded) {
  TemporaryFolder folder;
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 -o default.txt").Status, 0);
  const std::string defaultFile = ReadBytes(folder.File("default.txt"));

  // A value that does not convert: refused, nothing written.
  BatchRun run = RunBatch(folder, "--initial-tension abc -o refused.txt");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "Input value is not correct!\n");

  // A data file that is not one, and one that is missing.
  WriteBytes(folder.File("short.txt"), "a = 1\r\n");
  run = RunBatch(folder, "short.txt");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "\"short.txt\" is not a correct data file!\n");
  run = RunBatch(folder, "missing.txt");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "Data file can not open!\n");

  // A data file whose column diameter is zero: refused by its label, nothing written.
  WriteBytes(folder.File("zero.txt"), DataFileFrom(defaultFile, 35, "0.0"));
  run = RunBatch(folder, "zero.txt --initial-tension 3.0 -o zero-result.txt");
  EXPECT_EQ(run.Status, 2) << run.Err;
  EXPECT_EQ(run.Err, "\"Column inner diameter (cm)\" must be greater than 0.\n");
  EXPECT_FALSE(std::filesystem::exists(folder.File("zero-result.txt")));
  run = RunBatch(folder, "--initial-tension 0 -o zero-tension.txt");
  EXPECT_EQ(run.Status, 2) << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("zero-tension.txt")));

  // A data file whose gas flow is so large that the molar flow overflows.
  WriteBytes(folder.File("still.txt"), DataFileFrom(defaultFile, 20, "1e308"));
  run = RunBatch(folder, "still.txt --initial-tension 3.0 -o still-result.txt");
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_EQ(run.Err.rfind("The calculation failed: a floating-point overflow", 0), 0u) << run.Err;

  // A result file in a folder that does not exist.
  run = RunBatch(folder, "--initial-tension 3.0 -o no/such/folder.txt");
  EXPECT_EQ(run.Status, 4);
  EXPECT_EQ(run.Err, "Result file can not open!\n");

  // A data file with the default values gives the default result.
  WriteBytes(folder.File("same.txt"), DataFileFrom(defaultFile, 0, ""));
  run = RunBatch(folder, "same.txt --initial-tension 3.0 -o same-result.txt");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ReadBytes(folder.File("same-result.txt")), defaultFile);
}

TEST(BatchRunner, WritesTheProfileAsCsvOnRequest) {
  TemporaryFolder folder;
  BatchRun run = RunBatch(folder, "--initial-tension 3.0 --csv profile.csv");
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string csv = ReadBytes(folder.File("profile.csv"));
  EXPECT_EQ(csv.rfind("Z (cm),average solvent fraction (-),", 0), 0u);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 115);
  EXPECT_NE(csv.find("\n700,"), std::string::npos) << "the last point lies at 700 cm";

  run = RunBatch(folder, "--initial-tension 3.0 --csv no/such/profile.csv");
  EXPECT_EQ(run.Status, 4);
  EXPECT_NE(run.Err.find("CSV file can not be opened for writing!"), std::string::npos) << run.Err;
}

TEST(BatchRunner, SweepWritesOneFilePerValueAndASummary) {
  TemporaryFolder folder;
  const BatchRun run = RunBatch(folder, "--initial-tension 3.0 --sweep 30=800,833.0 -j 2 -o r.txt");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_FALSE(ReadBytes(folder.File("r_800.txt")).empty());
  EXPECT_FALSE(ReadBytes(folder.File("r_833.0.txt")).empty());
  const std::string summary = ReadBytes(folder.File("sweep.csv"));
  EXPECT_NE(summary.find("\"800\",success,"), std::string::npos) << summary;
  EXPECT_NE(run.Err.find("[30=800] NUMBER OF CALCULATION LOOP = "), std::string::npos) << run.Err;
}

}  // namespace
}  // namespace korvane
