#include "files/ProfileCsv.h"

#include <charconv>
#include <cmath>

#include "files/FileBytes.h"

namespace korvane {

namespace {

// Printed heat-transfer coefficients are in kcal/(m2 h degC); the profile holds cal/(cm2 s degC).
constexpr double kToKcalPerM2Hour = 36000.0;

void AppendNumber(std::string& row, double value) {
  row += ',';
  if (!std::isfinite(value)) return;  // an empty cell rather than a text no reader expects
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  row.append(buffer, result.ptr);
}

void AppendEmpty(std::string& row) {
  row += ',';
}

}  // namespace

bool PointHasGasValues(const SpinningLineProfile& profile, int pointCount, int i) {
  return !(i > 0 && i == pointCount - 1 && pointCount < profile.ProfilePointCount);
}

bool PointHasStepValues(int pointCount, int i) {
  return i + 1 < pointCount;
}

std::string ProfileCsvText(const RunParameters& params, const SpinningLineProfile& profile,
                           const SimulationState& state, int pointCount) {
  std::string csv =
      "Z (cm),average solvent fraction (-),surface solvent fraction (-),filament velocity (cm/s),"
      "filament temperature (degC),filament area (cm2),tension (dyn),stress (g/den),"
      "gas velocity (cm/s),gas temperature (degC),gas solvent mole fraction (-),"
      "elongational viscosity (poise),gas-to-wall heat-transfer coefficient (kcal/(m2 h degC)),"
      "filament-to-gas heat-transfer coefficient (kcal/(m2 h degC)),evaporation flux (mol/(cm2 s))";
  for (int node = 0; node <= 10; ++node)
    csv += ",radial solvent fraction node " + std::to_string(node) +
           (node == 0    ? " (axis) (-)"
            : node == 10 ? " (surface) (-)"
                         : " (-)");
  csv += "\n";

  if (pointCount < 0) pointCount = 0;
  if (pointCount > profile.Capacity()) pointCount = profile.Capacity();
  for (int i = 0; i < pointCount; ++i) {
    std::string row;
    const double area = YarnArea(state.PolymerFlowRate, profile.ProfileAvgSolvent[i],
                                 profile.ProfileYarnVelocity[i], params.DopeDensity);
    const double stress = YarnStress(profile.ProfileTension[i], params.DopeDensity, area);
    AppendNumber(row, profile.ProfileZ[i]);
    row.erase(0, 1);  // no separator before the first cell
    AppendNumber(row, profile.ProfileAvgSolvent[i]);
    AppendNumber(row, profile.ProfileSurfaceSolvent[i]);
    AppendNumber(row, profile.ProfileYarnVelocity[i]);
    AppendNumber(row, profile.ProfileYarnTemp[i]);
    AppendNumber(row, area);
    AppendNumber(row, profile.ProfileTension[i]);
    AppendNumber(row, stress);
    if (PointHasGasValues(profile, pointCount, i)) {
      AppendNumber(row, profile.ProfileGasVelocity[i]);
      AppendNumber(row, profile.ProfileGasTemp[i]);
      AppendNumber(row, profile.ProfileGasSolventFraction[i]);
      AppendNumber(row, profile.ProfileElongViscosity[i]);
      AppendNumber(row, profile.ProfileHeatTransfer[i] * kToKcalPerM2Hour);
    } else {
      for (int cell = 0; cell < 5; ++cell) AppendEmpty(row);
    }
    if (PointHasStepValues(pointCount, i)) {
      AppendNumber(row, profile.ProfileFilamentHeatCoeff[i] * kToKcalPerM2Hour);
      AppendNumber(row, profile.ProfileEvaporationFlux[i]);
    } else {
      AppendEmpty(row);
      AppendEmpty(row);
    }
    for (int node = 0; node <= 10; ++node) AppendNumber(row, profile.ProfileRadialSolvent[i][node]);
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
