#include "inputs/ParameterItems.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "inputs/TextConversion.h"

namespace korvane {

namespace {

// clang-format off
const std::array<ParameterItem, kItemCount> kItems = {{
    {1, "Edit1", "Density (g/cm3)", "1.0", false, ItemType::Decimal, ItemGroup::SpinningDope,
     "1. Density (g/cm3)                 =  ", {NumberStyle::Fixed, 5, 3},
     [](auto& p) { return &p.DopeDensity; },
     nullptr},
    {2, "Edit2", "Specific heat (cal/g℃)", "0.5", false, ItemType::Decimal, ItemGroup::SpinningDope,
     "2. Specific heat (cal/g\x81\x8E" ")         =  ", {NumberStyle::Fixed, 5, 3},
     [](auto& p) { return &p.DopeSpecificHeat; },
     nullptr},
    {3, "Edit3", "Initial solvent concentration", "0.73", false, ItemType::Decimal, ItemGroup::SpinningDope,
     "3. Initial solvent concentration   =  ", {NumberStyle::Fixed, 5, 3},
     [](auto& p) { return &p.InitialSolventFraction; },
     nullptr},
    {4, "Edit4", "η0 = ", "5512.3", true, ItemType::Decimal, ItemGroup::SpinningDope,
     "4. Viscosity eq. param. - 1        =  ", {NumberStyle::Exponent, 5, 2},
     [](auto& p) { return &p.ViscosityParam1; },
     nullptr},
    {5, "Edit5", "x (1 - ωs)", "9.0", true, ItemType::Decimal, ItemGroup::SpinningDope,
     "5. Viscosity eq. param. - 2        =  ", {NumberStyle::Fixed, 6, 2},
     [](auto& p) { return &p.ViscosityParam2; },
     nullptr},
    {6, "Edit6", "x exp{", "3450.0", true, ItemType::Decimal, ItemGroup::SpinningDope,
     "6. Viscosity eq. param. - 3        =  ", {NumberStyle::Fixed, 8, 2},
     [](auto& p) { return &p.ViscosityParam3; },
     nullptr},
    {7, "Edit7", "Dps =", "0.00103", true, ItemType::Decimal, ItemGroup::SpinningDope,
     "7. Diffusion coeff. eq. param. -1  =  ", {NumberStyle::Fixed, 8, 6},
     [](auto& p) { return &p.DiffusionParam1; },
     nullptr},
    {8, "Edit8", "x exp{", "-2190.0", true, ItemType::Decimal, ItemGroup::SpinningDope,
     "8. Diffusion coeff. eq. param. -2  =  ", {NumberStyle::Fixed, 8, 2},
     [](auto& p) { return &p.DiffusionParam2; },
     nullptr},
    {9, "Edit46", "Critical Weight Frac. ωg =", "1.0", false, ItemType::Decimal, ItemGroup::SpinningDope,
     "9. Critical weight frac. of solv.  =  ", {NumberStyle::Fixed, 5, 3},
     [](auto& p) { return &p.CriticalWeightFraction; },
     nullptr},
    {10, "Edit47", "n =", "0.0", false, ItemType::Decimal, ItemGroup::SpinningDope,
     "10. Temp. dependency Param. 1      =  ", {NumberStyle::Fixed, 7, 5},
     [](auto& p) { return &p.TempDependencyParam1; },
     nullptr},
    {11, "Edit48", "*t + ", "0.0", false, ItemType::Decimal, ItemGroup::SpinningDope,
     "11. Temp. dependency Param. 2      =  ", {NumberStyle::Fixed, 5, 3},
     [](auto& p) { return &p.TempDependencyParam2; },
     nullptr},
    {12, "Edit9", "Molecular weight (g/mol)", "87.1", false, ItemType::Decimal, ItemGroup::Solvent,
     "12. Molecular weight (g/mol)               =  ", {NumberStyle::Fixed, 6, 2},
     [](auto& p) { return &p.SolventMolecularWeight; },
     nullptr},
    {13, "Edit10", "Heat of vaporization(cal/mol)", "10360.0", false, ItemType::Decimal, ItemGroup::Solvent,
     "13. Heat of vaporization(cal/mol)          =  ", {NumberStyle::Fixed, 9, 2},
     [](auto& p) { return &p.HeatOfVaporization; },
     nullptr},
    {14, "Edit11", "Specific heat of vapor(cal/g℃)", "0.458", false, ItemType::Decimal, ItemGroup::Solvent,
     "14. Specific heat of vapor(cal/g\x81\x8E" ")        =  ", {NumberStyle::Fixed, 5, 3},
     [](auto& p) { return &p.VaporSpecificHeat; },
     nullptr},
    {15, "Edit12", "logPs = [ ", "5.116", true, ItemType::Decimal, ItemGroup::Solvent,
     "15. Solvent vapor press. eq. param. - 1    =  ", {NumberStyle::Fixed, 6, 3},
     [](auto& p) { return &p.VaporPressureParam1; },
     nullptr},
    {16, "Edit13", "-", "2024.7", true, ItemType::Decimal, ItemGroup::Solvent,
     "16. Solvent vapor press. eq. param. - 2    =  ", {NumberStyle::Fixed, 8, 2},
     [](auto& p) { return &p.VaporPressureParam2; },
     nullptr},
    {17, "Edit14", "/ ( t + ", "230.0", true, ItemType::Decimal, ItemGroup::Solvent,
     "17. Solvent vapor press. eq. param. - 3    =  ", {NumberStyle::Fixed, 6, 1},
     [](auto& p) { return &p.VaporPressureParam3; },
     nullptr},
    {18, "Edit15", "Specific heat (cal/g℃)", "0.245", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "18. Specific heat of spinning gas(cal/g\x81\x8E" ")    =  ", {NumberStyle::Fixed, 5, 3},
     [](auto& p) { return &p.GasSpecificHeat; },
     nullptr},
    {19, "Edit16", "Initial temperature (℃)", "250.0", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "19. Initial temperature of spinning gas(\x81\x8E" ")   =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.GasInitialTemp; },
     nullptr},
    {20, "Edit17", "Flow rate (Nm3/hr)", "43.0", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "20. Flow rate of spinning gas(Nm3/hr)         =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.GasFlowRate; },
     nullptr},
    {21, "Edit18", "Initial solvent content", "0.0", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "21. Initial solvent content in spinning gas   =  ", {NumberStyle::Fixed, 6, 4},
     [](auto& p) { return &p.GasInitialSolventContent; },
     nullptr},
    {22, "Edit19", "λ*　= ", "0.000000131", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "22. Thermal conductivity eq. param. - 1       =  ", {NumberStyle::Fixed, 12, 10},
     [](auto& p) { return &p.GasConductivityParam1; },
     nullptr},
    {23, "Edit20", "x t + ", "0.0000528", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "23. Thermal conductivity eq. param. - 2       =  ", {NumberStyle::Fixed, 10, 8},
     [](auto& p) { return &p.GasConductivityParam2; },
     nullptr},
    {24, "Edit21", "γ*　= ", "0.00105", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "24. Kinematic viscosity eq. param. - 1        =  ", {NumberStyle::Fixed, 8, 6},
     [](auto& p) { return &p.GasKinViscosityParam1; },
     nullptr},
    {25, "Edit22", "x t + ", "0.095", false, ItemType::Decimal, ItemGroup::SpinningGas,
     "25. Kinematic viscosity eq. param. - 2        =  ", {NumberStyle::Fixed, 6, 4},
     [](auto& p) { return &p.GasKinViscosityParam2; },
     nullptr},
    {26, "Edit23", "Dope output (g/s)", "0.0343", true, ItemType::Decimal, ItemGroup::SpinningCondition,
     "26. Dope output (g/s)                 =  ", {NumberStyle::Fixed, 7, 5},
     [](auto& p) { return &p.DopeOutput; },
     nullptr},
    {27, "Edit24", "Initial temperature (℃)", "80.0", false, ItemType::Decimal, ItemGroup::SpinningCondition,
     "27. Initial temperature (\x81\x8E" ")          =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.DopeInitialTemp; },
     nullptr},
    {28, "Edit25", "Nozzle cross section area (cm2)", "0.000314", false, ItemType::Decimal, ItemGroup::SpinningCondition,
     "28. Nozzle cross section area (cm2)   =  ", {NumberStyle::Fixed, 9, 7},
     [](auto& p) { return &p.NozzleArea; },
     nullptr},
    {29, "Edit26", "Total number of filaments", "48", false, ItemType::Int32, ItemGroup::SpinningCondition,
     "29. Total number of filaments         =  ", {NumberStyle::Integer, 0, 0},
     nullptr,
     [](auto& p) { return &p.FilamentCount; }},
    {30, "Edit27", "Take-up speed (cm/s)", "833.0", false, ItemType::Decimal, ItemGroup::SpinningCondition,
     "30. Take-up speed (cm/s)              =  ", {NumberStyle::Fixed, 7, 2},
     [](auto& p) { return &p.TakeUpSpeed; },
     nullptr},
    {31, "Edit28", "Room temperature (℃)", "30.0", false, ItemType::Decimal, ItemGroup::SpinningCondition,
     "31. Room temperature (\x81\x8E" ")             =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.RoomTemp; },
     nullptr},
    {32, "Edit29", "Jacket-1  temperature (℃)", "30.0", false, ItemType::Decimal, ItemGroup::SpinningCondition,
     "32. Jacket-1  temperature (\x81\x8E" ")        =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.JacketTemp[0]; },
     nullptr},
    {33, "Edit30", "Jacket-2  temperature (℃)", "30.0", false, ItemType::Decimal, ItemGroup::SpinningCondition,
     "33. Jacket-2  temperature (\x81\x8E" ")        =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.JacketTemp[1]; },
     nullptr},
    {34, "Edit31", "Jacket-3  temperature (℃)", "30.0", false, ItemType::Decimal, ItemGroup::SpinningCondition,
     "34. Jacket-3  temperature (\x81\x8E" ")        =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.JacketTemp[2]; },
     nullptr},
    {35, "Edit32", "Column inner diameter (cm)", "40.0", false, ItemType::Decimal, ItemGroup::ColumnStructure,
     "35. Column inner diameter (cm)                              =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.ColumnDiameter; },
     nullptr},
    {36, "Edit33", "Jacket-1 upper limit pos.  (cm)", "400.0", false, ItemType::Decimal, ItemGroup::ColumnStructure,
     "36. Jacket-1 upper limit pos.  (cm)                         =  ", {NumberStyle::Fixed, 6, 1},
     [](auto& p) { return &p.JacketUpperPos[0]; },
     nullptr},
    {37, "Edit34", "Jacket-2 upper limit pos.  (cm)", "1000.0", false, ItemType::Decimal, ItemGroup::ColumnStructure,
     "37. Jacket-2 upper limit pos.  (cm)                         =  ", {NumberStyle::Fixed, 6, 1},
     [](auto& p) { return &p.JacketUpperPos[1]; },
     nullptr},
    {38, "Edit35", "Jacket-3 upper limit pos.  (cm)", "1000.0", false, ItemType::Decimal, ItemGroup::ColumnStructure,
     "38. Jacket-3 upper limit pos.  (cm)                         =  ", {NumberStyle::Fixed, 6, 1},
     [](auto& p) { return &p.JacketUpperPos[2]; },
     nullptr},
    {39, "Edit36", "Jacket-3 lower limit pos.  (cm)", "1000.0", false, ItemType::Decimal, ItemGroup::ColumnStructure,
     "39. Jacket-3 lower limit pos.  (cm)                         =  ", {NumberStyle::Fixed, 6, 1},
     [](auto& p) { return &p.Jacket3LowerPos; },
     nullptr},
    {40, "Edit37", "Overall heat trans. coeff. of insulation (kcal/m2hr℃)", "1.0", false, ItemType::Decimal, ItemGroup::ColumnStructure,
     "40. Overall heat trans. coeff. of insulation (kcal/m2hr\x81\x8E" ")  =  ", {NumberStyle::Fixed, 5, 2},
     [](auto& p) { return &p.InsulationHeatTransferCoeff; },
     nullptr},
    {41, "Edit38", "Increment-1 (cm)", "2.0", false, ItemType::Decimal, ItemGroup::CalculationAccuracy,
     "41. Increment-1 (cm)         =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.Increment[0]; },
     nullptr},
    {42, "Edit39", "Increment-2 (cm)", "5.0", false, ItemType::Decimal, ItemGroup::CalculationAccuracy,
     "42. Increment-2 (cm)         =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.Increment[1]; },
     nullptr},
    {43, "Edit40", "Increment-3 (cm)", "10.0", false, ItemType::Decimal, ItemGroup::CalculationAccuracy,
     "43. Increment-3 (cm)         =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.Increment[2]; },
     nullptr},
    {44, "Edit49", "Increment-4 (cm)", "5.0", false, ItemType::Decimal, ItemGroup::CalculationAccuracy,
     "44. Increment-4 (cm)         =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.Increment[3]; },
     nullptr},
    {45, "Edit50", "Increment-5 (cm)", "5.0", false, ItemType::Decimal, ItemGroup::CalculationAccuracy,
     "45. Increment-5 (cm)         =  ", {NumberStyle::Fixed, 5, 1},
     [](auto& p) { return &p.Increment[4]; },
     nullptr},
    {46, "Edit41", "Number of increments-1", "30", false, ItemType::Int32, ItemGroup::CalculationAccuracy,
     "46. Number of increments-1   =  ", {NumberStyle::Integer, 0, 0},
     nullptr,
     [](auto& p) { return &p.IncrementCount[0]; }},
    {47, "Edit42", "Number of increments-2", "40", false, ItemType::Int32, ItemGroup::CalculationAccuracy,
     "47. Number of increments-2   =  ", {NumberStyle::Integer, 0, 0},
     nullptr,
     [](auto& p) { return &p.IncrementCount[1]; }},
    {48, "Edit43", "Number of increments-3", "44", false, ItemType::Int32, ItemGroup::CalculationAccuracy,
     "48. Number of increments-3   =  ", {NumberStyle::Integer, 0, 0},
     nullptr,
     [](auto& p) { return &p.IncrementCount[2]; }},
    {49, "Edit51", "Number of increments-4", "0", false, ItemType::Int32, ItemGroup::CalculationAccuracy,
     "49. Number of increments-4   =  ", {NumberStyle::Integer, 0, 0},
     nullptr,
     [](auto& p) { return &p.IncrementCount[3]; }},
    {50, "Edit52", "Number of increments-5", "0", false, ItemType::Int32, ItemGroup::CalculationAccuracy,
     "50. Number of increments-5   =  ", {NumberStyle::Integer, 0, 0},
     nullptr,
     [](auto& p) { return &p.IncrementCount[4]; }},
    {51, "Edit45", "h/kx", "7.5", false, ItemType::Decimal, ItemGroup::SolventGas,
     "51. h/kx                     =  ", {NumberStyle::Fixed, 5, 2},
     [](auto& p) { return &p.SolventGasHKRatio; },
     nullptr},
}};
// clang-format on

// The script names of items 1..51, in the order of the table above.
constexpr const char* kItemNames[kItemCount] = {
    "dope_density",                     // 1
    "dope_specific_heat",               // 2
    "initial_solvent_fraction",         // 3
    "viscosity_param_1",                // 4
    "viscosity_param_2",                // 5
    "viscosity_param_3",                // 6
    "diffusion_param_1",                // 7
    "diffusion_param_2",                // 8
    "critical_weight_fraction",         // 9
    "temperature_dependency_param_1",   // 10
    "temperature_dependency_param_2",   // 11
    "solvent_molecular_weight",         // 12
    "heat_of_vaporization",             // 13
    "vapor_specific_heat",              // 14
    "vapor_pressure_param_1",           // 15
    "vapor_pressure_param_2",           // 16
    "vapor_pressure_param_3",           // 17
    "gas_specific_heat",                // 18
    "gas_inlet_temperature",            // 19
    "gas_flow_rate",                    // 20
    "gas_inlet_solvent_content",        // 21
    "gas_conductivity_param_1",         // 22
    "gas_conductivity_param_2",         // 23
    "gas_kinematic_viscosity_param_1",  // 24
    "gas_kinematic_viscosity_param_2",  // 25
    "dope_output",                      // 26
    "dope_temperature",                 // 27
    "nozzle_area",                      // 28
    "filament_count",                   // 29
    "take_up_speed",                    // 30
    "room_temperature",                 // 31
    "jacket_1_temperature",             // 32
    "jacket_2_temperature",             // 33
    "jacket_3_temperature",             // 34
    "column_diameter",                  // 35
    "jacket_1_upper_position",          // 36
    "jacket_2_upper_position",          // 37
    "jacket_3_upper_position",          // 38
    "jacket_3_lower_position",          // 39
    "insulation_heat_transfer_coeff",   // 40
    "increment_1",                      // 41
    "increment_2",                      // 42
    "increment_3",                      // 43
    "increment_4",                      // 44
    "increment_5",                      // 45
    "increment_count_1",                // 46
    "increment_count_2",                // 47
    "increment_count_3",                // 48
    "increment_count_4",                // 49
    "increment_count_5",                // 50
    "solvent_gas_hk_ratio",             // 51
};

}  // namespace

const std::array<ParameterItem, kItemCount>& ParameterItems() {
  return kItems;
}

const ParameterItem& ItemByNumber(int number) {
  if (number < 1 || number > kItemCount) throw std::out_of_range("item number out of range");
  return kItems[static_cast<size_t>(number - 1)];
}

const char* ItemName(const ParameterItem& item) {
  return kItemNames[item.Number - 1];
}

const ParameterItem* ItemByName(std::string_view name) {
  for (const ParameterItem& item : kItems)
    if (name == ItemName(item)) return &item;
  return nullptr;
}

const ParameterItem* ItemByNumberOrName(std::string_view text) {
  if (const ParameterItem* item = ItemByName(text)) return item;
  int number = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (problem != std::errc() || end != text.data() + text.size()) return nullptr;
  if (number < 1 || number > kItemCount) return nullptr;
  return &kItems[static_cast<size_t>(number - 1)];
}

std::string ItemDisplayName(const ParameterItem& item) {
  std::string name = item.EchoLabel;
  name.erase(name.find_last_not_of("= ") + 1);
  for (size_t at = name.find("\x81\x8E"); at != std::string::npos; at = name.find("\x81\x8E", at))
    name.replace(at, 2, "\u2103");
  return name;
}

double ItemValue(const ParameterItem& item, const RunParameters& params) {
  if (item.Type == ItemType::Int32) return static_cast<double>(*item.IntegerField(params));
  return *item.DecimalField(params);
}

std::optional<double> ConvertItemText(const ParameterItem& item, std::string_view text) {
  if (item.Type == ItemType::Int32) {
    int32_t whole = 0;
    if (!ConvertInt32(text, whole)) return std::nullopt;
    return static_cast<double>(whole);
  }
  double decimal = 0;
  if (!ConvertDecimal(text, decimal)) return std::nullopt;
  return decimal;
}

bool SetItemValue(const ParameterItem& item, double value, RunParameters& params) {
  if (item.Type == ItemType::Int32) {
    if (!(value >= -2147483648.0 && value <= 2147483647.0) || value != std::floor(value))
      return false;
    *item.IntegerField(params) = static_cast<int32_t>(value);
    return true;
  }
  *item.DecimalField(params) = value;
  return true;
}

}  // namespace korvane
