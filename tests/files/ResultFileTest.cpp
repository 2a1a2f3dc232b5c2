#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "files/ResultFile.h"
#include "inputs/ParameterItems.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

const std::string kFirstHeaders =
    "  DIST    AV SOL   SURF SOL   YARN V   YARN T    YARN A    TENSION    STRESS\r\n"
    "  Z(cm)    (-)       (-)      V(cm/s)   T(\x81\x8E)    A(cm2)    F(dyn)     (G/den)\r\n";
const std::string kSecondHeaders =
    "  DIST    GAS V      GAS T     ELONG VIS     H TRANS\r\n"
    "  Z(cm)  UPM(cm/s)   TM(\x81\x8E)     B(poise)   (kcal/m2h\x81\x8E)\r\n";
const std::string kResultsBanner =
    "\r\n===================\r\nCALCULATION RESULTS\r\n===================\r\n\r\n";
const std::string kBelowZeroClosing =
    "\r\n            ***** SPINNING TENSION BECOMES LESS THAN ZERO *****\r\n";

// The run record of the worked default case, from the window's starting texts.
RunParameters DefaultParameters(const std::string& resultFile) {
  RunParameters params;
  for (const ParameterItem& item : ParameterItems()) {
    if (item.Type == ItemType::Int32)
      *item.IntegerField(params) = std::stoi(item.DefaultText);
    else
      *item.DecimalField(params) = std::stod(item.DefaultText);
  }
  params.ResultFileName = resultFile;
  return params;
}

struct FilamentPoint {
  double Z, AvgSolvent, SurfaceSolvent, Velocity, Temperature, Tension;
};
struct GasPoint {
  double GasVelocity, GasTemperature, ElongViscosity, HeatTransfer;
};

class ResultFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    params_ = DefaultParameters(folder_ / "result.txt");
    params_.DopeDensity = 1;
    state_.Constants.PolymerFlowRate = 0.009261;
  }

  void SetPoints(const std::vector<FilamentPoint>& points, const std::vector<GasPoint>& gas = {}) {
    profile_->ProfilePointCount = static_cast<int32_t>(points.size());
    profile_->PassPointCount = profile_->ProfilePointCount;
    for (size_t i = 0; i < points.size(); ++i) {
      profile_->ProfileZ[i] = points[i].Z;
      profile_->ProfileAvgSolvent[i] = points[i].AvgSolvent;
      profile_->ProfileSurfaceSolvent[i] = points[i].SurfaceSolvent;
      profile_->ProfileYarnVelocity[i] = points[i].Velocity;
      profile_->ProfileYarnTemp[i] = points[i].Temperature;
      profile_->ProfileTension[i] = points[i].Tension;
      const GasPoint g = i < gas.size() ? gas[i] : GasPoint{10, 100, 1000, 0.0001};
      profile_->ProfileGasVelocity[i] = g.GasVelocity;
      profile_->ProfileGasTemp[i] = g.GasTemperature;
      profile_->ProfileElongViscosity[i] = g.ElongViscosity;
      profile_->ProfileHeatTransfer[i] = g.HeatTransfer;
    }
  }

  // The results section alone, in a committed file.
  std::string Append() {
    PendingFile file;
    EXPECT_TRUE(OpenResultFile(file, params_).ok());
    result_ = ResultsAppender(file, params_, *profile_, state_);
    EXPECT_TRUE(file.Commit().ok());
    return ReadBytes(params_.ResultFileName);
  }

  TemporaryFolder folder_;
  RunParameters params_;
  std::unique_ptr<SpinningLineProfile> profile_ = std::make_unique<SpinningLineProfile>();
  SimulationState state_;
  FileResult result_;
};

TEST_F(ResultFileTest, DefaultEchoMatchesTheHandWrittenFile) {
  const std::string golden = ReadBytes(KORVANE_GOLDEN_DIR "/default_input_data.txt");
  ASSERT_FALSE(golden.empty());
  RunParameters params = DefaultParameters(folder_ / "result.txt");
  // A longer file of the same name from an earlier run is emptied first.
  WriteBytes(params.ResultFileName, std::string(5000, 'x'));
  const FileResult result = InputDataWriter(params);
  EXPECT_TRUE(result.ok()) << result.Message;
  EXPECT_EQ(ReadBytes(params.ResultFileName), golden);
}

TEST_F(ResultFileTest, EchoAndResultsAreSeparatedByTwoEmptyLines) {
  PendingFile file;
  ASSERT_TRUE(OpenResultFile(file, params_).ok());
  ASSERT_TRUE(InputDataWriter(file, params_).ok());
  SetPoints({{0, 0.73, 0.73, 109.2, 80, 1500}});
  ASSERT_TRUE(ResultsAppender(file, params_, *profile_, state_).ok());
  ASSERT_TRUE(file.Commit().ok());
  const std::string text = ReadBytes(params_.ResultFileName);
  EXPECT_NE(text.find("51. h/kx                     =  7.50\r\n\r\n\r\n===================\r\n"),
            std::string::npos);
}

TEST_F(ResultFileTest, SampleRowsAndTheStopAtANegativeTension) {
  SetPoints({{0, 0.73, 0.73, 109.2, 80, 1500},
             {1000, 0.0512, 0.0011, 833, 152.37, -3.2},
             {1010, 0.05, 0.001, 833, 150, 5}});
  state_.Outcome.TensionBelowZero = false;
  const std::string text = Append();
  EXPECT_TRUE(result_.ok()) << result_.Message;
  EXPECT_EQ(text, kResultsBanner + kFirstHeaders +
                      "   0.0    0.730     0.730      109.2     80.0   3.14E-04   1.50E+03   "
                      "5.41E-03\r\n"
                      "1000.0    0.051     0.001      833.0    152.4   1.17E-05   -3.20E+00   "
                      "-3.10E-04\r\n" +
                      kBelowZeroClosing);
  EXPECT_TRUE(state_.Outcome.TensionBelowZero);
  EXPECT_NEAR(profile_->ProfileStress[0], 5.414e-3, 1e-6);
  EXPECT_NEAR(profile_->ProfileStress[1], -3.096e-4, 1e-7);
  EXPECT_EQ(profile_->ProfileStress[2], 0.0);  // beyond the stop: not written, not filled
}

TEST_F(ResultFileTest, ZeroTensionAtTheFirstPointGivesOneRow) {
  SetPoints({{0, 0.73, 0.73, 109.2, 80, 0}, {2, 0.7, 0.6, 120, 85, 10}});
  state_.Outcome.TensionBelowZero = true;  // from an earlier run
  const std::string text = Append();
  EXPECT_TRUE(result_.ok());
  EXPECT_TRUE(state_.Outcome.TensionBelowZero);
  EXPECT_EQ(text, kResultsBanner + kFirstHeaders +
                      "   0.0    0.730     0.730      109.2     80.0   3.14E-04   0.00E+00   "
                      "0.00E+00\r\n" +
                      kBelowZeroClosing);
}

TEST_F(ResultFileTest, APassThatEndedEarlyPrintsOnlyItsOwnPoints) {
  SetPoints({{0, 0.73, 0.73, 109.2, 80, 1500},
             {2, 0.73, 0.73, 109.2, 80, 1500},
             {4, 0.73, 0.73, 109.2, 80, 1500}},
            {{0.5, 250, 0, 0}, {12.34, 249.8, 123400, 0.000321}, {99, 99, 99, 99}});
  profile_->PassPointCount = 2;  // the pass ended at point 1: no gas values there
  const std::string text = Append();
  EXPECT_TRUE(result_.ok()) << result_.Message;
  const std::string row = "3.14E-04   1.50E+03   5.41E-03\r\n";
  EXPECT_EQ(text, kResultsBanner + kFirstHeaders +
                      "   0.0    0.730     0.730      109.2     80.0   " + row +
                      "   2.0    0.730     0.730      109.2     80.0   " + row + "\r\n" +
                      kSecondHeaders + "   0.0     0.50      250.0     0.00E+00       0.00\r\n");
}

TEST_F(ResultFileTest, BothTablesAndTheHeatTransferKeepsItsUnit) {
  SetPoints({{0, 0.73, 0.73, 109.2, 80, 1500}, {2, 0.73, 0.73, 109.2, 80, 1500}},
            {{0.5, -0.04, 0, 0}, {12.34, 249.8, 123400, 0.000321}});
  state_.Outcome.TensionBelowZero = true;
  const std::string text = Append();
  EXPECT_TRUE(result_.ok()) << result_.Message;
  EXPECT_FALSE(state_.Outcome.TensionBelowZero);
  const std::string row = "3.14E-04   1.50E+03   5.41E-03\r\n";
  EXPECT_EQ(text, kResultsBanner + kFirstHeaders +
                      "   0.0    0.730     0.730      109.2     80.0   " + row +
                      "   2.0    0.730     0.730      109.2     80.0   " + row + "\r\n" +
                      kSecondHeaders + "   0.0     0.50      0.0     0.00E+00       0.00\r\n" +
                      "   2.0    12.34      249.8     1.23E+05      11.56\r\n");
  // Printed in kcal/(m2 h degC), kept in cal/(cm2 s degC).
  EXPECT_EQ(profile_->ProfileHeatTransfer[1], 0.000321);
}

TEST_F(ResultFileTest, WideAndShortCellsShiftOrPadTheRow) {
  SetPoints({{10000, 0.73, 0.73, 109.2, -0.04, 1500}, {5, 0.73, 0.73, 1234.5, 80, 1500}},
            {{123.456, 1000, 1, 1}, {1, 5, 1, 0.001}});
  const std::string text = Append();
  ASSERT_TRUE(result_.ok()) << result_.Message;
  // Z 10000 takes 7 characters; -0.04 degC is 0.0 after two blanks.
  EXPECT_NE(text.find("\r\n10000.0    0.730     0.730      109.2      0.0   "), std::string::npos);
  EXPECT_NE(text.find("\r\n   5.0    0.730     0.730     1234.5     80.0   "), std::string::npos);
  EXPECT_NE(text.find("\r\n10000.0    123.46      1000.0     1.00E+00      36000.00\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\n   5.0     1.00      5.0     1.00E+00      36.00\r\n"),
            std::string::npos);
}

TEST_F(ResultFileTest, AnEmptyProfileWritesBothHeadersOnly) {
  SetPoints({});
  EXPECT_EQ(Append(), kResultsBanner + kFirstHeaders + "\r\n" + kSecondHeaders);
  EXPECT_TRUE(result_.ok());
}

TEST_F(ResultFileTest, FilesThatCannotBeOpened) {
  const std::vector<std::string> names = {folder_.path().string(), folder_ / "missing/result.txt",
                                          ""};
  for (const std::string& name : names) {
    params_.ResultFileName = name;
    const FileResult echo = InputDataWriter(params_);
    EXPECT_EQ(echo.Status, FileStatus::CannotOpen) << name;
    EXPECT_EQ(echo.Message, "Result file can not open!");
  }
}

TEST_F(ResultFileTest, AReadOnlyFileIsNotEmptied) {
  WriteBytes(params_.ResultFileName, "previous run");
  ::chmod(params_.ResultFileName.c_str(), 0444);
  if (std::FILE* probe = std::fopen(params_.ResultFileName.c_str(), "ab")) {
    std::fclose(probe);
    GTEST_SKIP() << "permissions are not enforced for this user";
  }
  EXPECT_EQ(InputDataWriter(params_).Status, FileStatus::CannotOpen);
  EXPECT_EQ(ReadBytes(params_.ResultFileName), "previous run");
}

TEST_F(ResultFileTest, AFullDiskIsReportedWithTheSystemText) {
  params_.ResultFileName = "/dev/full";
  const FileResult echo = InputDataWriter(params_);
  EXPECT_EQ(echo.Status, FileStatus::WriteFailed);
  EXPECT_EQ(echo.Message, "Result file could not be written: No space left on device");
  SetPoints({{0, 0.73, 0.73, 109.2, 80, 1500}});
  PendingFile file;
  ASSERT_TRUE(OpenResultFile(file, params_).ok());
  const FileResult results = ResultsAppender(file, params_, *profile_, state_);
  EXPECT_EQ(results.Status, FileStatus::WriteFailed);
  EXPECT_EQ(results.Message, echo.Message);
}

TEST_F(ResultFileTest, TheEarlierFileStaysUntilARunCommitsItsOwn) {
  const std::string golden = ReadBytes(KORVANE_GOLDEN_DIR "/default_input_data.txt");
  WriteBytes(params_.ResultFileName, "previous run");
  ::chmod(params_.ResultFileName.c_str(), 0640);
  // Two runs on one name write at the same time; one is cut off before it ends.
  PendingFile first, second;
  ASSERT_TRUE(OpenResultFile(first, params_).ok());
  ASSERT_TRUE(OpenResultFile(second, params_).ok());
  {
    PendingFile cutOff;
    ASSERT_TRUE(OpenResultFile(cutOff, params_).ok());
    ASSERT_TRUE(InputDataWriter(cutOff, params_).ok());
  }
  ASSERT_TRUE(InputDataWriter(first, params_).ok());
  ASSERT_TRUE(InputDataWriter(second, params_).ok());
  EXPECT_EQ(ReadBytes(params_.ResultFileName), "previous run");
  ASSERT_TRUE(first.Commit().ok());
  ASSERT_TRUE(second.Commit().ok());
  EXPECT_EQ(ReadBytes(params_.ResultFileName), golden);
  struct stat status {};
  ASSERT_EQ(::stat(params_.ResultFileName.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  // Nothing but the result file is left in its folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(ResultFileTest, AWriteThatFailsMidwayLeavesTheEarlierFile) {
  // A file size limit makes the write that crosses it fail, like a disk that fills up.
  WriteBytes(params_.ResultFileName, "previous run");
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const FileResult result = InputDataWriter(params_);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(result.Status, FileStatus::WriteFailed);
  EXPECT_EQ(result.Message, "Result file could not be written: File too large");
  EXPECT_EQ(ReadBytes(params_.ResultFileName), "previous run");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(ResultFileTest, ANonFiniteItemEndsTheEchoBeforeItsLine) {
  params_.DiffusionParam1 = std::numeric_limits<double>::quiet_NaN();
  const FileResult result = InputDataWriter(params_);
  EXPECT_EQ(result.Status, FileStatus::BadValue);
  EXPECT_NE(result.Message.find("item 7"), std::string::npos) << result.Message;
  const std::string text = ReadBytes(params_.ResultFileName);
  EXPECT_NE(text.find("6. Viscosity eq. param. - 3        =  3450.00\r\n"), std::string::npos);
  EXPECT_EQ(text.find("7. "), std::string::npos);
  EXPECT_EQ(text.find("nan"), std::string::npos);
}

TEST_F(ResultFileTest, RowsThatCannotBePrintedAreRefused) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* What;
    FilamentPoint Second;
    GasPoint SecondGas;
  };
  const GasPoint gas{10, 100, 1000, 0.0001};
  const std::vector<Case> cases = {
      {"the tension", {2, 0.7, 0.7, 120, 80, inf}, gas},
      {"the yarn velocity", {2, 0.7, 0.7, NAN, 80, 10}, gas},
      {"the yarn area", {2, 0.7, 0.7, 0, 80, 10}, gas},    // zero velocity
      {"the yarn area", {2, 1.0, 0.7, 120, 80, 10}, gas},  // no polymer left
      {"the elongational viscosity", {2, 0.7, 0.7, 120, 80, 10}, {10, 100, -inf, 0.0001}},
      {"the heat-transfer coefficient", {2, 0.7, 0.7, 120, 80, 10}, {10, 100, 1000, 1e305}},
  };
  for (const Case& c : cases) {
    SetPoints({{0, 0.73, 0.73, 109.2, 80, 1500}, c.Second}, {gas, c.SecondGas});
    const std::string text = Append();
    EXPECT_EQ(result_.Status, FileStatus::BadValue) << c.What;
    EXPECT_NE(result_.Message.find(c.What), std::string::npos) << result_.Message;
    EXPECT_NE(result_.Message.find("point 1"), std::string::npos) << result_.Message;
    EXPECT_NE(text.find("   0.0    0.730"), std::string::npos) << c.What;  // row 0 stays
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
  }
}

TEST_F(ResultFileTest, APointCountBeyondTheProfileIsRefused) {
  for (int32_t count : {-1, kProfileCapacity + 1}) {
    profile_->ProfilePointCount = profile_->PassPointCount = count;
    const std::string text = Append();
    EXPECT_EQ(result_.Status, FileStatus::BadValue) << count;
    EXPECT_EQ(text, "");
  }
}

}  // namespace
}  // namespace korvane
