// The profile as CSV: every number reads back to the double it came from.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "files/ProfileCsv.h"

namespace korvane {
namespace {

std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(csv);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (size_t at; (at = line.find(',', start)) != std::string::npos; start = at + 1)
      cells.push_back(line.substr(start, at - start));
    cells.push_back(line.substr(start));
    rows.push_back(cells);
  }
  return rows;
}

double Parse(const std::string& cell) {
  double value = 0;
  std::from_chars(cell.data(), cell.data() + cell.size(), value);
  return value;
}

class ProfileCsvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    params.DopeDensity = 1.0;
    state.Constants.PolymerFlowRate = 0.009261;
    profile->ProfilePointCount = 3;
    for (int i = 0; i < 3; ++i) {
      profile->ProfileZ[i] = 0.1 * i;  // 0.1 and 0.2 have no short exact binary form
      profile->ProfileAvgSolvent[i] = 0.73 - 0.01 * i;
      profile->ProfileSurfaceSolvent[i] = 0.73 - 0.02 * i;
      profile->ProfileYarnVelocity[i] = 109.2357 + i / 3.0;
      profile->ProfileYarnTemp[i] = 80.0 + i;
      profile->ProfileTension[i] = 3.26 - i;
      profile->ProfileStress[i] = 5.4e-3 - 5.5e-3 * i;
      profile->ProfileGasVelocity[i] = 18.2094;
      profile->ProfileGasTemp[i] = 250.0 - i;
      profile->ProfileElongViscosity[i] = 2.1e3 * (i + 1);
      profile->ProfileHeatTransfer[i] = 0.000321;
      profile->ProfileFilamentHeatCoeff[i] = 0.001;
      profile->ProfileEvaporationFlux[i] = 1e-7;
      for (int node = 0; node <= 10; ++node)
        profile->ProfileRadialSolvent[i][node] = 0.73 - node * 1e-3;
    }
  }
  RunParameters params;
  SimulationState state;
  std::unique_ptr<SpinningLineProfile> profile = std::make_unique<SpinningLineProfile>();
};

TEST_F(ProfileCsvTest, HeaderAndEveryValueReadBackExactly) {
  const auto rows = Rows(ProfileCsvText(params, *profile, state, 3));
  ASSERT_EQ(rows.size(), 4u);
  ASSERT_EQ(rows[0].size(), 26u);
  EXPECT_EQ(rows[0][0], "Z (cm)");
  EXPECT_EQ(rows[0][25], "radial solvent fraction node 10 (surface) (-)");
  for (size_t r = 1; r < rows.size(); ++r) ASSERT_EQ(rows[r].size(), 26u) << r;
  EXPECT_EQ(rows[2][0], "0.1");
  EXPECT_EQ(Parse(rows[3][0]), profile->ProfileZ[2]);
  EXPECT_EQ(Parse(rows[2][3]), profile->ProfileYarnVelocity[1]);
  EXPECT_EQ(Parse(rows[1][12]), 0.000321 * 36000.0);  // kcal/(m2 h degC), as the result file prints
  EXPECT_EQ(Parse(rows[1][5]), 0.009261 / ((1 - 0.73) * 109.2357 * 1.0));
  EXPECT_EQ(Parse(rows[2][7]), profile->ProfileStress[1]);
  EXPECT_EQ(Parse(rows[2][24]), profile->ProfileRadialSolvent[1][9]);
}

TEST_F(ProfileCsvTest, ValuesAPointDoesNotHaveAreLeftEmpty) {
  // Full pass: the last point has no step leaving it.
  auto rows = Rows(ProfileCsvText(params, *profile, state, 3));
  EXPECT_EQ(rows[3][13], "");
  EXPECT_EQ(rows[3][14], "");
  EXPECT_NE(rows[3][9], "");
  // Results that stop at point 1 (the tension fell to zero there): no gas values at point 1.
  rows = Rows(ProfileCsvText(params, *profile, state, 2));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][8], "");
  EXPECT_EQ(rows[2][12], "");
  EXPECT_NE(rows[2][6], "") << "the tension itself was computed";
  // A zero velocity gives no area and no stress rather than an infinity.
  profile->ProfileYarnVelocity[0] = 0;
  profile->ProfileStress[0] = NAN;  // as the result file stores it
  rows = Rows(ProfileCsvText(params, *profile, state, 3));
  EXPECT_EQ(rows[1][5], "");
  EXPECT_EQ(rows[1][7], "");
}

}  // namespace
}  // namespace korvane
