// Material files: what they refuse, in which words, and the built-in material.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TestFiles.h"
#include "files/MaterialFile.h"
#include "inputs/FieldTexts.h"
#include "inputs/MaterialItems.h"

namespace korvane {
namespace {

constexpr const char* kHead = "name = \"m\"\nsource = \"s\"\n";

TEST(MaterialFile, RefusesWhatIsNotAMaterialNamingTheFileLineAndKey) {
  const struct {
    std::string Text;
    std::string Expected;  // the whole message
  } rows[] = {
      {std::string(kHead) + "take_up_speed = 900\n",
       "m.toml, line 3: take_up_speed (item 30) is not a material property: it belongs to the "
       "case, not the material"},
      {std::string(kHead) + "[dope]\nviscosity_parm_1 = 1\n",
       "m.toml, line 4: [dope] \"viscosity_parm_1\" is not a material property nor any other "
       "input item (did you mean viscosity_param_1?)"},
      {std::string(kHead) + "colour = 1\n",
       "m.toml, line 3: \"colour\" is not a material property nor any other input item"},
      {std::string(kHead) + "[gas]\nsolvent_molecular_weight = 80\n",
       "m.toml, line 4: solvent_molecular_weight belongs in [solvent], not in [gas]"},
      {std::string(kHead) + "heat_of_vaporization = \"10360\"\n",
       "m.toml, line 3: heat_of_vaporization takes a number, not a text"},
      {std::string(kHead) + "heat_of_vaporization = [1.0]\n",
       "m.toml, line 3: heat_of_vaporization takes a number, not a list"},
      {std::string(kHead) + "viscosity_param_1 = nan\n",
       "m.toml, line 3: viscosity_param_1 takes a finite number, not nan"},
      {std::string(kHead) + "\n[solvent]\nheat_of_vaporization = -1\n",
       "m.toml, line 5: heat_of_vaporization: \"Heat of vaporization(cal/mol)\" must be greater "
       "than 0."},
      {std::string(kHead) + "initial_solvent_fraction = 1\n",
       "m.toml, line 3: initial_solvent_fraction: \"Initial solvent concentration\" must be "
       "greater than 0 and less than 1."},
      {std::string(kHead) + "diffusion_param_1 = 1\n[dope]\ndiffusion_param_1 = 2\n",
       "m.toml, line 5: diffusion_param_1 is given twice (also on line 3)"},
      {std::string(kHead) + "[process]\ntake_up_speed = 1\n",
       "m.toml, line 3: [process] is not a table of a material; the tables are [dope], "
       "[solvent], [gas] and [laws]"},
      {std::string(kHead) + "dope = 1\n", "m.toml, line 3: dope is a table: [dope]"},
      {std::string(kHead) + "[laws]\ndiffusion = \"1\"\n",
       "m.toml, line 4: [laws] \"diffusion\" is not a law; the laws are diffusion_coefficient, "
       "zero_shear_viscosity, vapor_pressure, surface_vapor_fraction, gas_conductivity, "
       "gas_kinematic_viscosity"},
      {std::string(kHead) + "[laws]\nvapor_pressure = 0.5\n",
       "m.toml, line 4: [laws] vapor_pressure takes a formula in quotes, not a number"},
      {std::string(kHead) + "[laws]\nvapor_pressure = \"10^(vapor_presure_param_1 - 1)\"\n",
       "m.toml, line 4: [laws] vapor_pressure: \"vapor_presure_param_1\" is no variable of this "
       "law; it takes t and the items by name (did you mean vapor_pressure_param_1?)"},
      {std::string(kHead) + "[laws]\ngas_conductivity = \"2 * w\"\n",
       "m.toml, line 4: [laws] gas_conductivity: \"w\" is no variable of this law; it takes tf "
       "and the items by name"},
      {std::string(kHead) + "[laws]\ndiffusion_coefficient = \"exp(t\"\n",
       "m.toml, line 4: [laws] diffusion_coefficient: Missing parenthesis"},
      {std::string(kHead) + "[laws]\nsurface_vapor_fraction = \"ws, ps\"\n",
       "m.toml, line 4: [laws] surface_vapor_fraction: a law is one expression; this formula "
       "holds 2, separated by commas"},
      {std::string(kHead) + "[laws]\ngas_kinematic_viscosity = \"tf = 1\"\n",
       "m.toml, line 4: [laws] gas_kinematic_viscosity: a law computes a value and assigns none; "
       "\"=\" is no operator of a formula (\"==\" compares)"},
      {std::string(kHead) + "[laws]\nzero_shear_viscosity = \"\"\n",
       "m.toml, line 4: [laws] zero_shear_viscosity: Expression is empty"},
      {std::string(kHead) + "[laws.constants]\nviscosity_param_1 = 2\n",
       "m.toml, line 4: [laws.constants] \"viscosity_param_1\" is an item's name; a law uses the "
       "item by that name, so a constant needs another"},
      {std::string(kHead) + "[laws.constants]\nws = 2\n",
       "m.toml, line 4: [laws.constants] \"ws\" is a variable of the law surface_vapor_fraction; "
       "a constant needs another name"},
      {std::string(kHead) + "[laws.constants]\nexp = 2\n",
       "m.toml, line 4: [laws.constants] \"exp\" is a function or constant of the formulas; a "
       "constant needs another name"},
      {std::string(kHead) + "[laws.constants]\nd0 = \"1e-6\"\n",
       "m.toml, line 4: [laws.constants] d0 takes a number, not a text"},
      {std::string(kHead) + "[laws]\nvapor_pressure = \"p1\"\n[laws.constants]\np0 = 0.5\n",
       "m.toml, line 4: [laws] vapor_pressure: \"p1\" is no variable of this law; it takes t, "
       "the items and the law constants by name"},
      {std::string(kHead) + "[constants]\nd0 = 1e-6\n",
       "m.toml, line 3: the constants of the laws go in their table [laws.constants], not in "
       "[constants]"},
      {"name = \"m\"\nsource = 3\n", "m.toml, line 2: source takes a text in quotes, not a number"},
      {"source = \"s\"\n", "m.toml: the material has no name (name = \"...\")"},
      {"name = \"m\"\nsource = \"\"\n",
       "m.toml: the material does not say where its values come from (source = \"...\")"},
      {std::string(kHead) + "dope_density = 1.0.0\n",
       "m.toml, line 3, column 19: Error while parsing floating-point: expected decimal digit or "
       "exponent, saw '.'"},
  };
  for (const auto& row : rows) {
    const MaterialLoad load = ReadMaterial(row.Text, "m.toml");
    EXPECT_FALSE(load.Ok) << row.Text;
    EXPECT_EQ(load.Message, row.Expected) << row.Text;
  }
}

TEST(MaterialFile, TakesItemsAtTheTopOrInTheirTableAndSetsFixedOnes) {
  const MaterialLoad load =
      ReadMaterial(std::string(kHead) +
                       "viscosity_param_1 = 6000\n[solvent]\nsolvent_gas_hk_ratio = 8\n"
                       "[gas]\ngas_conductivity_param_1 = 1.5e-7\n[laws]\n"
                       "vapor_pressure = \"p0 * exp(1)\"\n[laws.constants]\np0 = 2e-1\n"
                       "unused = 3\n",
                   "m.toml");
  ASSERT_TRUE(load.Ok) << load.Message;
  FieldTexts texts = DefaultFieldTexts();
  ApplyMaterial(load.Value, texts);
  EXPECT_EQ(texts.Items[3], "6000");
  EXPECT_EQ(texts.Items[21], "1.5e-07");
  EXPECT_EQ(texts.Items[50], "8");
  EXPECT_EQ(texts.Items[29], "833.0");  // not a material item: as it was
  ASSERT_EQ(load.Value.Laws.size(), 1u);
  EXPECT_EQ(load.Value.Laws[0].second, "p0 * exp(1)");
  // A constant no law uses is kept quietly.
  const std::vector<std::pair<std::string, std::string>> constants = {{"p0", "0.2"},
                                                                      {"unused", "3"}};
  EXPECT_EQ(texts.LawConstants, constants);
}

TEST(MaterialFile, MissingFileIsUnreadableNotRefused) {
  const MaterialLoad load = LoadMaterialFile("no/such/material.toml");
  EXPECT_FALSE(load.Ok);
  EXPECT_TRUE(load.Unreadable);
  EXPECT_EQ(load.Message,
            "The material file no/such/material.toml could not be opened: No such "
            "file or directory");
}

// The shipped built-in material holds every dope, solvent and gas item at the very double of
// its default text, so applying it changes no run.
TEST(MaterialFile, BuiltInMaterialEqualsTheItemDefaults) {
  const MaterialLoad load = LoadMaterialFile(KORVANE_MATERIALS_DIR "/default.toml");
  ASSERT_TRUE(load.Ok) << load.Message;
  size_t materialItems = 0;
  for (const ParameterItem& item : ParameterItems()) materialItems += IsMaterialItem(item);
  EXPECT_EQ(load.Value.Values.size(), materialItems);
  for (const MaterialValue& value : load.Value.Values)
    EXPECT_EQ(value.Value, *ConvertItemText(*value.Item, value.Item->DefaultText))
        << ItemName(*value.Item);
  FieldTexts texts = DefaultFieldTexts();
  ApplyMaterial(load.Value, texts);
  EXPECT_EQ(texts.Items, DefaultFieldTexts().Items);
}

// The template's commented laws, uncommented, are a material a run takes: every law compiles.
TEST(MaterialFile, TemplateLawsCompile) {
  std::ifstream file(KORVANE_MATERIALS_DIR "/template.toml");
  std::string text, line;
  size_t laws = 0;
  while (std::getline(file, line)) {
    if (line.rfind("# [laws]", 0) == 0 ||
        (line.rfind("# ", 0) == 0 && line.find(" = \"") != std::string::npos)) {
      line.erase(0, 2);
      laws += line.find(" = \"") != std::string::npos;
    }
    text += line + "\n";
  }
  text.replace(text.find("name = \"\""), 9, "name = \"t\"");
  text.replace(text.find("source = \"\""), 11, "source = \"s\"");
  const MaterialLoad load = ReadMaterial(text, "template.toml");
  ASSERT_TRUE(load.Ok) << load.Message;
  EXPECT_EQ(load.Value.Laws.size(), 6u);
  EXPECT_EQ(laws, 6u);
}

}  // namespace
}  // namespace korvane
