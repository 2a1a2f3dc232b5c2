// Which input items a material may set: the properties of the spinning dope, the solvent and the
// spinning gas, fixed ones included. The spinning conditions, the column and the steps belong to
// a case, not to a material.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "inputs/ParameterItems.h"

namespace korvane {

// The tables of a material file and the items each one holds. h/kx (item 51) belongs to the
// solvent and the gas together, so either table takes it.
inline constexpr std::array<const char*, 3> kMaterialTables = {"dope", "solvent", "gas"};

// The property laws a material may give as formulas, by name.
inline constexpr std::array<const char*, 6> kMaterialLawNames = {
    "diffusion_coefficient",  "zero_shear_viscosity", "vapor_pressure",
    "surface_vapor_fraction", "gas_conductivity",     "gas_kinematic_viscosity"};

// True for the items of the dope, the solvent and the spinning gas.
bool IsMaterialItem(const ParameterItem& item);

// True when the table ("dope", "solvent" or "gas") holds the item.
bool TableHoldsItem(std::string_view table, const ParameterItem& item);

// The table an item of a material belongs in: "dope", "solvent" or "gas" ("solvent" for h/kx).
const char* MaterialTableOf(const ParameterItem& item);

// The law names joined by ", ", for messages.
std::string MaterialLawList();

// The item name closest to a mistyped one (at most three letters added, dropped or changed), or
// an empty text when none is that close.
std::string ClosestItemName(std::string_view name);

}  // namespace korvane
