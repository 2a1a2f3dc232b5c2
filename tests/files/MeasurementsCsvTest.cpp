#include <gtest/gtest.h>

#include <string>

#include "files/MeasurementsCsv.h"

namespace korvane {
namespace {

constexpr const char* kHeader = "quantity,z,value,sigma\n";

// Every bad row is refused before any run, naming the file and the line.
TEST(MeasurementsCsv, RefusesBadRowsNamingTheLine) {
  struct Case {
    const char* Text;
    const char* Expected;
  };
  const Case cases[] = {
      {"quantity,z,value\n", "m.csv, line 1: the first line must be the header"},
      {"tension,0,4,0.1\n", "m.csv, line 1: the first line must be the header"},
      {"\nquantity,z,value,sigma\nspeed,0,4,0.1\n", "line 3: \"speed\" is no quantity"},
      {"quantity,z,value,sigma\nZ,10,1,1\n", "line 2: \"Z\" is no quantity"},
      {"quantity,z,value,sigma\ntension,0,4,0.1\ntension,800,4,0.1\n",
       "line 3: z = 800 cm lies outside the line (0 to 700 cm)"},
      {"quantity,z,value,sigma\ntension,-1,4,0.1\n", "line 2: z = -1 cm lies outside"},
      {"quantity,z,value,sigma\ntension,0,4,0\n", "line 2: sigma must be above 0"},
      {"quantity,z,value,sigma\ntension,0,4,-0.1\n", "line 2: sigma must be above 0"},
      {"quantity,z,value,sigma\ntension,0,4.0.1,0.1\n", "line 2: value \"4.0.1\" is not a number"},
      {"quantity,z,value,sigma\ntension,0,4,nan\n", "line 2: sigma \"nan\" is not a number"},
      {"quantity,z,value,sigma\ntension,zero,4,\n", "line 2: z \"zero\" is not a number"},
      {"quantity,z,value,sigma\ntension,0,,0.1\n", "line 2: value \"\" is not a number"},
      {"quantity,z,value,sigma\ntension,0,4\n", "line 2: a row has four fields"},
      {"quantity,z,value,sigma\ntension,0,4,0.1\ntension,100,5,\n",
       "line 3: sigma of \"tension\" is given for some rows and empty for others"},
      {kHeader, "m.csv: no measurements"},
  };
  for (const Case& c : cases) {
    const MeasurementsLoad load = ReadMeasurements(c.Text, "m.csv", 700);
    EXPECT_FALSE(load.Ok) << c.Text;
    EXPECT_NE(load.Message.find(c.Expected), std::string::npos) << c.Text << "\n" << load.Message;
    EXPECT_TRUE(load.Values.empty());
  }
}

TEST(MeasurementsCsv, ReadsLabelsOrScriptNamesWithAndWithoutSigma) {
  const MeasurementsLoad load = ReadMeasurements(
      "quantity,z,value,sigma\r\n"
      "tension,0,3.99,0.05\r\n"
      "\r\n"
      "\"average solvent fraction\", 700 ,0.0246,\r\n"
      "filament_temperature,350,1.2e2,0.5\r\n"
      "filament area,10,1e-4,1e-6\r\n",
      "m.csv", 700);
  ASSERT_TRUE(load.Ok) << load.Message;
  ASSERT_EQ(load.Values.size(), 4u);
  EXPECT_STREQ(load.Values[0].Column->Name, "tension");
  EXPECT_EQ(load.Values[0].Sigma, 0.05);
  EXPECT_STREQ(load.Values[1].Column->Name, "average_solvent_fraction");
  EXPECT_EQ(load.Values[1].Z, 700);
  EXPECT_EQ(load.Values[1].Sigma, 0);  // to be estimated
  EXPECT_EQ(load.Values[1].Line, 4);
  EXPECT_EQ(load.Values[2].Value, 120);
}

}  // namespace
}  // namespace korvane
