// The profile as CSV: every number reads back to the double it came from.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
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
      profile->ProfileGasVelocity[i] = 18.2094 + i;
      profile->ProfileGasSolventFraction[i] = 0.0123 + 1e-3 * i;
      profile->ProfileGasTemp[i] = 250.0 - i;
      profile->ProfileElongViscosity[i] = 2.1e3 * (i + 1);
      profile->ProfileHeatTransfer[i] = 0.000321;
      profile->ProfileFilamentHeatCoeff[i] = 0.001;
      profile->ProfileEvaporationFlux[i] = 1e-7;
      for (int node = 0; node <= 10; ++node)
        profile->ProfileRadialSolvent[i][node] = 0.6 - node * 1e-3 - i * 1e-5;
    }
  }
  RunParameters params;
  SimulationState state;
  std::unique_ptr<SpinningLineProfile> profile = std::make_unique<SpinningLineProfile>();
};

// Every column, found by its header, holds the value of that quantity at a point (each
// quantity has its own value there), read back exactly: two columns that swap fail.
TEST_F(ProfileCsvTest, EveryHeaderNamesTheValueBelowIt) {
  const auto rows = Rows(ProfileCsvText(params, *profile, state, 3));
  ASSERT_EQ(rows.size(), 4u);
  for (size_t r = 1; r < rows.size(); ++r) ASSERT_EQ(rows[r].size(), rows[0].size()) << r;
  EXPECT_EQ(rows[2][0], "0.1");

  const int i = 1;
  const SpinningLineProfile& p = *profile;
  std::map<std::string, double> expected = {
      {"Z (cm)", p.ProfileZ[i]},
      {"average solvent fraction (-)", p.ProfileAvgSolvent[i]},
      {"surface solvent fraction (-)", p.ProfileSurfaceSolvent[i]},
      {"filament velocity (cm/s)", p.ProfileYarnVelocity[i]},
      {"filament temperature (degC)", p.ProfileYarnTemp[i]},
      {"filament area (cm2)", 0.009261 / ((1 - p.ProfileAvgSolvent[i]) * p.ProfileYarnVelocity[i])},
      {"tension (dyn)", p.ProfileTension[i]},
      {"stress (g/den)", p.ProfileStress[i]},
      {"gas velocity (cm/s)", p.ProfileGasVelocity[i]},
      {"gas temperature (degC)", p.ProfileGasTemp[i]},
      {"gas solvent mole fraction (-)", p.ProfileGasSolventFraction[i]},
      {"elongational viscosity (poise)", p.ProfileElongViscosity[i]},
      // kcal/(m2 h degC), as the result file prints them
      {"gas-to-wall heat-transfer coefficient (kcal/(m2 h degC))",
       p.ProfileHeatTransfer[i] * 36000.0},
      {"filament-to-gas heat-transfer coefficient (kcal/(m2 h degC))",
       p.ProfileFilamentHeatCoeff[i] * 36000.0},
      {"evaporation flux (mol/(cm2 s))", p.ProfileEvaporationFlux[i]},
      {"radial solvent fraction node 0 (axis) (-)", p.ProfileRadialSolvent[i][0]},
      {"radial solvent fraction node 10 (surface) (-)", p.ProfileRadialSolvent[i][10]},
  };
  for (int node = 1; node < 10; ++node)
    expected["radial solvent fraction node " + std::to_string(node) + " (-)"] =
        p.ProfileRadialSolvent[i][node];
  std::set<double> distinct;
  for (const auto& [header, value] : expected) distinct.insert(value);
  ASSERT_EQ(distinct.size(), expected.size()) << "every quantity needs its own value";

  ASSERT_EQ(rows[0].size(), expected.size());
  for (size_t c = 0; c < rows[0].size(); ++c) {
    const auto found = expected.find(rows[0][c]);
    ASSERT_NE(found, expected.end()) << "unknown header " << rows[0][c];
    EXPECT_EQ(Parse(rows[i + 1][c]), found->second) << rows[0][c];
  }
  EXPECT_THROW(ProfileColumnByName("no_such_column"), std::out_of_range);
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
