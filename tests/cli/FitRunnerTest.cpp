// korvane-fit as a user calls it: the batch runner's case options and refusals, its exit
// statuses, the JSON report and the fitted case file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "DefaultLineMeasurements.h"
#include "RecordingEnvironment.h"
#include "files/CaseFile.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

struct FitRun {
  int Status = -1;
  std::string Out, Err;
};

FitRun RunFit(const TemporaryFolder& folder, const std::string& arguments) {
  const std::string command = "cd '" + folder.path().string() + "' && '" + KORVANE_FIT + "' " +
                              arguments + " >stdout.txt 2>stderr.txt";
  const int raw = std::system(command.c_str());
  FitRun run;
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.Out = ReadBytes(folder.File("stdout.txt"));
  run.Err = ReadBytes(folder.File("stderr.txt"));
  return run;
}

constexpr const char* kMeasurements = korvane::testing::kDefaultLineMeasurements;

// Quick model options for the tests.
constexpr const char* kQuick = "--initial-tension 3.0 --tolerance 1e-3 --radial-intervals 16 ";

TEST(FitRunner, RefusesInputBeforeAnyRun) {
  TemporaryFolder folder;
  WriteBytes(folder.File("m.csv"), kMeasurements);
  WriteBytes(folder.File("bad.csv"),
             "quantity,z,value,sigma\ntension,0,3.99,0.05\ntension,0,x,1\n");
  const struct {
    const char* Arguments;
    const char* Message;
  } rows[] = {
      {"--parameter 7", "--measurements: the measurements file is needed"},
      {"--measurements m.csv", "--parameter: name at least one item"},
      {"--measurements bad.csv --parameter 7", "bad.csv, line 3: value \"x\" is not a number"},
      {"--measurements none.csv --parameter 7", "The measurements file none.csv could not be"},
      {"--measurements m.csv --parameter filament_count", "--parameter: filament_count (item 29)"},
      {"--measurements m.csv --parameter 7=1:0", "--parameter: diffusion_param_1: the bounds"},
      {"--measurements m.csv --parameter 7 --loss cauchy", "--loss"},
      // The case options and their messages are the batch runner's.
      {"--measurements m.csv --parameter 7 --method classic --tolerance 1e-3",
       "--tolerance: applies to the converged method only"},
      {"--measurements m.csv --parameter 7 --set 26=0",
       "--set: dope_output: \"Dope output (g/s)\" must be greater than 0."},
      {"--measurements m.csv --parameter 7 --material none.toml",
       "The material file none.toml could not be opened"},
      {"--measurements m.csv --parameter 7 --report m.csv", "Nothing was written."},
      {"--measurements m.csv --parameter 7 --report f.json -o f.json", "Nothing was written."},
  };
  for (const auto& row : rows) {
    const FitRun run = RunFit(folder, std::string("--initial-tension 3.0 ") + row.Arguments);
    EXPECT_EQ(run.Status, 2) << row.Arguments << "\n" << run.Err;
    EXPECT_NE(run.Err.find(row.Message), std::string::npos) << row.Arguments << "\n" << run.Err;
    EXPECT_EQ(ReadBytes(folder.File("m.csv")), kMeasurements);
    EXPECT_FALSE(std::filesystem::exists(folder.File("f.json")));
  }
  const FitRun list = RunFit(folder, "--list-quantities");
  EXPECT_EQ(list.Status, 0);
  EXPECT_EQ(list.Out.rfind("average solvent fraction\nsurface solvent fraction\n", 0), 0u)
      << list.Out;
  EXPECT_NE(list.Out.find("\nstress\n"), std::string::npos) << list.Out;
  EXPECT_EQ(list.Out.find("Z\n"), std::string::npos) << list.Out;
}

TEST(FitRunner, FitsWritesTheReportAndTheFittedCase) {
  TemporaryFolder folder;
  WriteBytes(folder.File("m.csv"), kMeasurements);
  const FitRun run = RunFit(folder, std::string(kQuick) +
                                        "--measurements m.csv --parameter diffusion_param_1 "
                                        "--parameter 4=3000:9000 --report fit.json -o fitted.toml");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("iteration 0: cost "), std::string::npos) << run.Err;
  EXPECT_NE(run.Out.find("chi-square"), std::string::npos) << run.Out;
  const std::string report = ReadBytes(folder.File("fit.json"));
  for (const char* key :
       {"{\"parameters\": {", "\"diffusion_param_1\": {\"value\": ", "\"viscosity_param_1\"",
        "\"standard_error\": ", "\"low95\": ", "\"high95\": ", "\"initial\": 5512.3",
        "\"correlation\": [[1, ", "\"chi_square\": ", "\"degrees_of_freedom\": 5",
        "\"converged\": true", "\"evaluations\": ", "\"seconds\": ",
        "{\"quantity\": \"filament temperature\", \"z\": 700, \"measured\": 133.9, "
        "\"sigma\": 0.5, \"model\": "})
    EXPECT_NE(report.find(key), std::string::npos) << key << "\n" << report;
  EXPECT_EQ(report.find("nan"), std::string::npos);
  const CaseLoad fitted = LoadCaseFile(folder.File("fitted.toml"));
  ASSERT_TRUE(fitted.Ok) << fitted.Message;
  EXPECT_NE(fitted.Value.Texts.Items[6], "0.00103");  // the estimate, not the case's value
  EXPECT_EQ(fitted.Value.Solver.Converged, true);

  // A fit that runs out of iterations fails and says so.
  const FitRun cut = RunFit(folder, std::string(kQuick) +
                                        "--measurements m.csv --parameter 7 --parameter 4 "
                                        "--set 7=0.002 --max-iterations 1 --report cut.json");
  EXPECT_EQ(cut.Status, 1) << cut.Err;
  EXPECT_NE(cut.Err.find("The fit failed: the fit did not converge within 1 iterations"),
            std::string::npos)
      << cut.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("cut.json")));

  // The classic method fits with differences, after a warning.
  const FitRun classic = RunFit(folder,
                                "--initial-tension 3.0 --method classic --measurements "
                                "m.csv --parameter diffusion_param_1");
  EXPECT_EQ(classic.Status, 0) << classic.Err;
  EXPECT_EQ(classic.Err.rfind("Warning: the classic method's answer moves in steps", 0), 0u)
      << classic.Err;

  // The spinneret tension alone cannot determine the diffusion parameter too: exit 1, named, no
  // fitted case.
  WriteBytes(folder.File("t.csv"), "quantity,z,value,sigma\ntension,0,4.1,0.05\n");
  const FitRun undetermined =
      RunFit(folder, std::string(kQuick) +
                         "--measurements t.csv --parameter 7 --parameter 4 -o undetermined.toml");
  EXPECT_EQ(undetermined.Status, 1) << undetermined.Err;
  EXPECT_NE(undetermined.Err.find("cannot determine diffusion_param_1: "), std::string::npos)
      << undetermined.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("undetermined.toml")));
}

}  // namespace
}  // namespace korvane
