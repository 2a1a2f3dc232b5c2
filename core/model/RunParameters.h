// The run record: every input of one simulation run.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

class PropertyLaws;

// Number of numbered input items (the item numbers the user sees run from 1 to 51).
inline constexpr int kItemCount = 51;
// Sections of the axial grid, and jacket zones of the column.
inline constexpr int kSectionCount = 5;
inline constexpr int kJacketCount = 3;

// All inputs of a run. Units: cm, g, s, degC, cal, mol, dyn.
// Arrays are 0-based here; Increment[0] is the user's "Increment-1", JacketTemp[0] is
// "Jacket-1", and so on. Item numbers stay those of the input table everywhere a user sees them.
struct RunParameters {
  // Spinning dope (items 1 to 11).
  double DopeDensity = 0;             // 1  g/cm3
  double DopeSpecificHeat = 0;        // 2  cal/g degC
  double InitialSolventFraction = 0;  // 3  weight fraction
  double ViscosityParam1 = 0;         // 4  poise
  double ViscosityParam2 = 0;         // 5  -
  double ViscosityParam3 = 0;         // 6  K
  double DiffusionParam1 = 0;         // 7  cm2/s
  double DiffusionParam2 = 0;         // 8  K
  double CriticalWeightFraction = 0;  // 9  weight fraction
  double TempDependencyParam1 = 0;    // 10 1/degC
  double TempDependencyParam2 = 0;    // 11 -
  // Solvent (items 12 to 17).
  double SolventMolecularWeight = 0;  // 12 g/mol
  double HeatOfVaporization = 0;      // 13 cal/mol
  double VaporSpecificHeat = 0;       // 14 cal/g degC
  double VaporPressureParam1 = 0;     // 15
  double VaporPressureParam2 = 0;     // 16 degC
  double VaporPressureParam3 = 0;     // 17 degC
  // Spinning gas (items 18 to 25).
  double GasSpecificHeat = 0;           // 18 cal/g degC
  double GasInitialTemp = 0;            // 19 degC
  double GasFlowRate = 0;               // 20 Nm3/hr
  double GasInitialSolventContent = 0;  // 21 mol solvent per mol gas
  double GasConductivityParam1 = 0;     // 22
  double GasConductivityParam2 = 0;     // 23
  double GasKinViscosityParam1 = 0;     // 24
  double GasKinViscosityParam2 = 0;     // 25
  // Spinning conditions (items 26 to 34).
  double DopeOutput = 0;                 // 26 g/s per filament
  double DopeInitialTemp = 0;            // 27 degC
  double NozzleArea = 0;                 // 28 cm2
  int32_t FilamentCount = 0;             // 29
  double TakeUpSpeed = 0;                // 30 cm/s
  double RoomTemp = 0;                   // 31 degC
  double JacketTemp[kJacketCount] = {};  // 32-34 degC
  // Spinning column structure (items 35 to 40).
  double ColumnDiameter = 0;                 // 35 cm
  double JacketUpperPos[kJacketCount] = {};  // 36-38 cm
  double Jacket3LowerPos = 0;                // 39 cm
  double InsulationHeatTransferCoeff = 0;    // 40 kcal/m2 hr degC
  // Calculation accuracy (items 41 to 50).
  double Increment[kSectionCount] = {};        // 41-45 cm
  int32_t IncrementCount[kSectionCount] = {};  // 46-50
  // Solvent-gas (item 51).
  double SolventGasHKRatio = 0;  // 51

  // '1' jacketed, '2' (or anything else) insulated; code 0 until the first reading.
  char JacketMode[kJacketCount] = {0, 0, 0};
  std::string ResultFileName;
  std::string InitialTensionText;
  double InitialTension = 0;       // dyn
  double TotalSpinningLength = 0;  // cm
  // The run's property laws given as formulas, or null for the built-in correlations. Not
  // owned: the run driver sets it for the length of one run and clears it after.
  PropertyLaws* Laws = nullptr;
};

}  // namespace korvane
