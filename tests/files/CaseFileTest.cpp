// Case files: what they refuse, in which words, and in which order their parts apply.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "files/CaseFile.h"

namespace korvane {
namespace {

TEST(CaseFile, RefusesWhatIsNotACaseNamingTheFileLineAndKey) {
  const struct {
    std::string Text;
    std::string Expected;  // the whole message
  } rows[] = {
      {"[items]\ntake_up_sped = 900\n",
       "c.toml, line 2: [items] \"take_up_sped\" is no input item (did you mean take_up_speed?)"},
      {"[items]\ntake_up_speed = \"fast\"\n",
       "c.toml, line 2: [items] take_up_speed takes a number, not \"fast\""},
      {"[items]\nfilament_count = 48.5\n",
       "c.toml, line 2: [items] filament_count takes a whole number"},
      {"[items]\ntake_up_speed = [1]\n",
       "c.toml, line 2: [items] take_up_speed takes a number, not a list"},
      {"[items]\ninitial_solvent_fraction = 1\n",
       "c.toml, line 2: [items] initial_solvent_fraction: \"Initial solvent concentration\" must "
       "be greater than 0 and less than 1."},
      {"[jackets]\njacket_4 = \"jacketed\"\n",
       "c.toml, line 2: [jackets] \"jacket_4\" is no jacket; they are jacket_1, jacket_2 and "
       "jacket_3"},
      {"[jackets]\njacket_1 = \"open\"\n",
       "c.toml, line 2: [jackets] jacket_1 is \"jacketed\" or \"insulated\", not \"open\""},
      {"[solver]\nmethod = \"fast\"\n",
       "c.toml, line 2: [solver] method is \"classic\" or \"converged\", not \"fast\""},
      {"[solver]\ntolerance = 0.5\n",
       "c.toml, line 2: [solver] tolerance: the relative accuracy must lie between 1e-8 and 1e-2"},
      {"[solver]\nradial_intervals = 1\n",
       "c.toml, line 2: [solver] radial_intervals: the number of radial intervals is a whole "
       "number from 2 to 512"},
      {"[solver]\ntake_up_tension = -1\n",
       "c.toml, line 2: [solver] take_up_tension: the tension at take-up must be a number of dyn "
       "above 0"},
      {"[solver]\ngrid = 3\n",
       "c.toml, line 2: [solver] grid is no solver option; they are method, tolerance, "
       "radial_intervals and take_up_tension"},
      {"initial_tension = \"three\"\n",
       "c.toml, line 1: initial_tension takes a number, not \"three\""},
      {"name = 3\n", "c.toml, line 1: name takes a text in quotes, not a number"},
      {"items = 3\n", "c.toml, line 1: items is a table: [items]"},
      {"take_up_speed = 900\n",
       "c.toml, line 1: \"take_up_speed\" is no key of a case; they are name, initial_tension, "
       "material, [items], [jackets], [solver] and [laws]"},
      {"name = \"c\"\n[constants]\nd0 = 1\n",
       "c.toml, line 2: the constants of the laws go in their table [laws.constants], not in "
       "[constants]"},
      {"[laws]\nvapor_pressure = \"d0\"\n[laws.constants]\nd0 = 0.5\nd0x = inf\n",
       "c.toml, line 5: [laws.constants] d0x takes a finite number, not inf"},
      {"material = \"no-such.toml\"\n",
       "c.toml, line 1: material: The material file no-such.toml could not be opened: No such "
       "file or directory"},
      {"[material]\nname = \"m\"\nsource = \"s\"\ntake_up_speed = 900\n",
       "c.toml, line 4: take_up_speed (item 30) is not a material property: it belongs to the "
       "case, not the material"},
      {"[items]\ntake_up_speed = 1.0.0\n",
       "c.toml, line 2, column 20: Error while parsing floating-point: expected decimal digit or "
       "exponent, saw '.'"},
  };
  for (const auto& row : rows) {
    const CaseLoad load = ReadCase(row.Text, "c.toml");
    EXPECT_FALSE(load.Ok) << row.Text;
    EXPECT_EQ(load.Message, row.Expected) << row.Text;
  }
}

// The material's file is found beside the case file; the items and the laws win over the
// material wherever it stands; numbers keep the texts they were typed with; the laws in effect
// are saved with the case and load back.
TEST(CaseFile, ItemsAsTypedWinOverTheMaterialFoundBesideTheCase) {
  testing::TemporaryFolder folder;
  testing::WriteBytes(
      folder.File("m.toml"),
      "name = \"m\"\nsource = \"s\"\nviscosity_param_1 = 6000\nheat_of_vaporization "
      "= 9000\n[laws]\nvapor_pressure = \"0.5\"\ngas_conductivity = \"k0 + 0 * tf\"\n"
      "[laws.constants]\nk0 = 1e-4\nk1 = 3\n");
  // The case's own law may use the material's constants, and its constants win over them.
  testing::WriteBytes(folder.File("c.toml"),
                      "material = \"m.toml\"\n[laws]\nvapor_pressure = \"0.25 * k1 / k1\"\n"
                      "[laws.constants]\nk0 = 2E-4\n"
                      "[items]\nheat_of_vaporization = 1.05E+04\n"
                      "filament_count = 0x30\n[jackets]\njacket_2 = \"jacketed\"\n");
  CaseLoad load = LoadCaseFile(folder.File("c.toml"));
  ASSERT_TRUE(load.Ok) << load.Message;
  const FieldTexts& texts = load.Value.Texts;
  EXPECT_EQ(texts.Items[3], "6000");
  EXPECT_EQ(texts.Items[12], "1.05E+04");
  EXPECT_EQ(texts.Items[28], "0x30");
  EXPECT_EQ(texts.Jacketed, (std::array<bool, 3>{false, true, false}));
  EXPECT_EQ(load.Value.MaterialName, "m");
  EXPECT_FALSE(load.Value.HasInitialTension);
  const std::vector<std::pair<std::string, std::string>> laws = {
      {"gas_conductivity", "k0 + 0 * tf"}, {"vapor_pressure", "0.25 * k1 / k1"}};
  const std::vector<std::pair<std::string, std::string>> constants = {{"k0", "2e-04"}, {"k1", "3"}};
  EXPECT_EQ(texts.Laws, laws);
  EXPECT_EQ(texts.LawConstants, constants);
  ASSERT_TRUE(CaseFileWriter(folder.File("saved.toml"), load.Value).ok());
  const CaseLoad saved = LoadCaseFile(folder.File("saved.toml"));
  ASSERT_TRUE(saved.Ok) << saved.Message;
  EXPECT_EQ(saved.Value.Texts.Laws, laws);
  EXPECT_EQ(saved.Value.Texts.LawConstants, constants);

  // An inline material after the items does not override them either.
  load = ReadCase(
      "[items]\nheat_of_vaporization = 1.05E+04\n[material]\nname = \"m\"\n"
      "source = \"s\"\nheat_of_vaporization = 9000\n",
      "c.toml");
  ASSERT_TRUE(load.Ok) << load.Message;
  EXPECT_EQ(load.Value.Texts.Items[12], "1.05E+04");
}

}  // namespace
}  // namespace korvane
