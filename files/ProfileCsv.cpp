#include "files/ProfileCsv.h"

#include <charconv>
#include <cmath>

#include "core/FilamentCrossSection.h"
#include "core/HeatTransferUnits.h"
#include "files/FileBytes.h"

namespace korvane {

namespace {

void AppendNumber(std::string& row, double value) {
  row += ',';
  if (!std::isfinite(value)) return;  // an empty cell rather than a text no reader expects
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  row.append(buffer, result.ptr);
}

double Area(const ProfileSource& s, int i) {
  return PrintedFilamentCrossSection(s.State.Constants.PolymerFlowRate,
                                     s.Profile.ProfileAvgSolvent[i],
                                     s.Profile.ProfileYarnVelocity[i], s.Params.DopeDensity);
}

// A gas-side value: NaN at the last point of a pass that ended early there.
double GasValue(const ProfileSource& s, int i, double value) {
  return PointHasGasValues(s.Profile, s.PointCount, i) ? value : NAN;
}

// A value of the step leaving point i: NaN at the last point.
double StepValue(const ProfileSource& s, int i, double value) {
  return PointHasStepValues(s.PointCount, i) ? value : NAN;
}

template <int Node>
double RadialSolvent(const ProfileSource& s, int i) {
  return s.Profile.ProfileRadialSolvent[i][Node];
}

// clang-format off
const std::array<ProfileColumn, kProfileColumnCount> kColumns = {{
    {"z", "Z", "cm",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileZ[i]; }},
    {"average_solvent_fraction", "average solvent fraction", "-",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileAvgSolvent[i]; }},
    {"surface_solvent_fraction", "surface solvent fraction", "-",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileSurfaceSolvent[i]; }},
    {"filament_velocity", "filament velocity", "cm/s",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileYarnVelocity[i]; }},
    {"filament_temperature", "filament temperature", "degC",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileYarnTemp[i]; }},
    {"filament_area", "filament area", "cm2", Area},
    {"tension", "tension", "dyn",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileTension[i]; }},
    // As the result file printed it.
    {"stress", "stress", "g/den",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileStress[i]; }},
    {"gas_velocity", "gas velocity", "cm/s",
     [](const ProfileSource& s, int i) { return GasValue(s, i, s.Profile.ProfileGasVelocity[i]); }},
    {"gas_temperature", "gas temperature", "degC",
     [](const ProfileSource& s, int i) { return GasValue(s, i, s.Profile.ProfileGasTemp[i]); }},
    {"gas_solvent_mole_fraction", "gas solvent mole fraction", "-",
     [](const ProfileSource& s, int i) {
       return GasValue(s, i, s.Profile.ProfileGasSolventFraction[i]);
     }},
    {"elongational_viscosity", "elongational viscosity", "poise",
     [](const ProfileSource& s, int i) {
       return GasValue(s, i, s.Profile.ProfileElongViscosity[i]);
     }},
    {"wall_heat_transfer_coefficient", "gas-to-wall heat-transfer coefficient", "kcal/(m2 h degC)",
     [](const ProfileSource& s, int i) {
       return GasValue(s, i, ToKcalPerM2Hour(s.Profile.ProfileHeatTransfer[i]));
     }},
    {"filament_heat_transfer_coefficient", "filament-to-gas heat-transfer coefficient",
     "kcal/(m2 h degC)",
     [](const ProfileSource& s, int i) {
       return StepValue(s, i, ToKcalPerM2Hour(s.Profile.ProfileFilamentHeatCoeff[i]));
     }},
    {"evaporation_flux", "evaporation flux", "mol/(cm2 s)",
     [](const ProfileSource& s, int i) {
       return StepValue(s, i, s.Profile.ProfileEvaporationFlux[i]);
     }},
    {"radial_solvent_fraction_0", "radial solvent fraction node 0 (axis)", "-", RadialSolvent<0>},
    {"radial_solvent_fraction_1", "radial solvent fraction node 1", "-", RadialSolvent<1>},
    {"radial_solvent_fraction_2", "radial solvent fraction node 2", "-", RadialSolvent<2>},
    {"radial_solvent_fraction_3", "radial solvent fraction node 3", "-", RadialSolvent<3>},
    {"radial_solvent_fraction_4", "radial solvent fraction node 4", "-", RadialSolvent<4>},
    {"radial_solvent_fraction_5", "radial solvent fraction node 5", "-", RadialSolvent<5>},
    {"radial_solvent_fraction_6", "radial solvent fraction node 6", "-", RadialSolvent<6>},
    {"radial_solvent_fraction_7", "radial solvent fraction node 7", "-", RadialSolvent<7>},
    {"radial_solvent_fraction_8", "radial solvent fraction node 8", "-", RadialSolvent<8>},
    {"radial_solvent_fraction_9", "radial solvent fraction node 9", "-", RadialSolvent<9>},
    {"radial_solvent_fraction_10", "radial solvent fraction node 10 (surface)", "-",
     RadialSolvent<10>},
}};
// clang-format on

}  // namespace

bool PointHasGasValues(const SpinningLineProfile& profile, int pointCount, int i) {
  return !(i > 0 && i == pointCount - 1 && pointCount < profile.ProfilePointCount);
}

bool PointHasStepValues(int pointCount, int i) {
  return i + 1 < pointCount;
}

const std::array<ProfileColumn, kProfileColumnCount>& ProfileColumns() {
  return kColumns;
}

std::string ProfileCsvText(const RunParameters& params, const SpinningLineProfile& profile,
                           const SimulationState& state, int pointCount) {
  std::string csv;
  for (const ProfileColumn& column : kColumns) {
    if (!csv.empty()) csv += ',';
    csv += column.Label;
    csv += " (";
    csv += column.Unit;
    csv += ')';
  }
  csv += "\n";

  if (pointCount < 0) pointCount = 0;
  if (pointCount > profile.Capacity()) pointCount = profile.Capacity();
  const ProfileSource source{params, profile, state, pointCount};
  for (int i = 0; i < pointCount; ++i) {
    std::string row;
    for (const ProfileColumn& column : kColumns) AppendNumber(row, column.Value(source, i));
    row.erase(0, 1);  // no separator before the first cell
    csv += row + "\n";
  }
  return csv;
}

FileResult WriteProfileCsv(const std::string& path, const RunParameters& params,
                           const SpinningLineProfile& profile, const SimulationState& state,
                           int pointCount) {
  return WriteFileBytes(path, ProfileCsvText(params, profile, state, pointCount), kCsvCannotOpen,
                        "CSV file could not be written: ");
}

}  // namespace korvane
