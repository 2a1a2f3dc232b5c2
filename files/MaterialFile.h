// Material files: the properties of a dope, its solvent and the spinning gas, as a TOML file.
//
//   name = "..."                 what the material is
//   source = "..."               where its values come from
//   viscosity_param_1 = 5512.3   any dope, solvent or gas item, by its script name, at the top
//   [dope]                       level or in the table of its group: [dope], [solvent], [gas]
//   [solvent]                    (h/kx, solvent_gas_hk_ratio, in [solvent] or [gas])
//   [gas]
//   [laws]                       property laws as formulas: law = "formula" (see
//                                inputs/PropertyLawFormulas.h)
//   [laws.constants]             named constants the laws use: name = number, e.g. d0 = 1.2e-6
//                                (not a top-level [constants] table)
//
// Values are TOML numbers (an integer is taken as a decimal) and pass the same range checks as
// typed values; a law's formula must compile. Every refusal names the file and the line.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "inputs/FieldTexts.h"
#include "inputs/ParameterItems.h"

namespace korvane {

struct MaterialValue {
  const ParameterItem* Item = nullptr;
  double Value = 0;
};

struct Material {
  std::string Name;
  std::string Source;
  std::vector<MaterialValue> Values;                      // in the order of the item numbers
  std::vector<std::pair<std::string, std::string>> Laws;  // law name and formula, as written
  // [laws.constants]: name and the shortest text of its number, in the order of the file.
  std::vector<std::pair<std::string, std::string>> LawConstants;
};

struct MaterialLoad {
  bool Ok = false;
  bool Unreadable = false;  // the file could not be opened or read (Message says why)
  int Error = 0;            // then the system's error number
  std::string Message;
  Material Value;
};

// Reads and checks a material file.
MaterialLoad LoadMaterialFile(const std::string& path);

// Checks the text of a material file; `path` names it in messages.
MaterialLoad ReadMaterial(std::string_view text, const std::string& path);

// Sets the field texts of the material's items, fixed ones included, to the shortest texts of
// their values; a text that already reads as the value, and every other item's, stays. The
// material's laws (and law constants) replace those of the same name; the others stay.
void ApplyMaterial(const Material& material, FieldTexts& texts);

}  // namespace korvane
