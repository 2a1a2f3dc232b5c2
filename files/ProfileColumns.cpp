#include "files/ProfileColumns.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "core/model/FilamentCrossSection.h"
#include "core/model/HeatTransferUnits.h"

namespace korvane {

namespace {

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

// The number texts of the result tables.
constexpr NumberFormat kFixed6_1{NumberStyle::Fixed, 6, 1};
constexpr NumberFormat kFixed5_1{NumberStyle::Fixed, 5, 1};
constexpr NumberFormat kFixed5_2{NumberStyle::Fixed, 5, 2};
constexpr NumberFormat kFixed5_3{NumberStyle::Fixed, 5, 3};
constexpr NumberFormat kExponent3_2{NumberStyle::Exponent, 3, 2};

constexpr ResultCell Cell(int blanksBefore, NumberFormat format, CellAlign align, int width,
                          const char* what) {
  return ResultCell{blanksBefore, format, align, width, what};
}
constexpr ResultCell Cell(int blanksBefore, NumberFormat format, const char* what) {
  return ResultCell{blanksBefore, format, CellAlign::AsWritten, 0, what};
}
constexpr ResultCell kNotPrinted{};

constexpr ResultCell kDistanceCell = Cell(0, kFixed6_1, CellAlign::Right, 6, "the distance");

// A column the result tables do not print, held in the profile's own unit.
constexpr double kAsHeld = 1.0;

// clang-format off
const std::array<ProfileColumn, kProfileColumnCount> kColumns = {{
    {"z", "Z", "cm",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileZ[i]; }, kAsHeld, false,
     kDistanceCell, kDistanceCell},
    {"average_solvent_fraction", "average solvent fraction", "-",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileAvgSolvent[i]; }, kAsHeld, false,
     Cell(4, kFixed5_3, "the average solvent fraction"), kNotPrinted},
    {"surface_solvent_fraction", "surface solvent fraction", "-",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileSurfaceSolvent[i]; }, kAsHeld, false,
     Cell(5, kFixed5_3, "the surface solvent fraction"), kNotPrinted},
    {"filament_velocity", "filament velocity", "cm/s",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileYarnVelocity[i]; }, kAsHeld, false,
     Cell(5, kFixed6_1, CellAlign::Right, 6, "the yarn velocity"), kNotPrinted},
    {"filament_temperature", "filament temperature", "degC",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileYarnTemp[i]; }, kAsHeld, false,
     Cell(4, kFixed5_1, CellAlign::Right, 5, "the yarn temperature"), kNotPrinted},
    {"filament_area", "filament area", "cm2", Area, kAsHeld, true,
     Cell(3, kExponent3_2, "the yarn area"), kNotPrinted},
    {"tension", "tension", "dyn",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileTension[i]; }, kAsHeld, false,
     Cell(3, kExponent3_2, "the tension"), kNotPrinted},
    // As the result file computed and stored it for the rows it printed.
    {"stress", "stress", "g/den",
     [](const ProfileSource& s, int i) { return s.Profile.ProfileStress[i]; }, kAsHeld, true,
     Cell(3, kExponent3_2, "the stress"), kNotPrinted},
    {"gas_velocity", "gas velocity", "cm/s",
     [](const ProfileSource& s, int i) { return GasValue(s, i, s.Profile.ProfileGasVelocity[i]); },
     kAsHeld, false,
     kNotPrinted, Cell(4, kFixed5_2, CellAlign::OneBlank, 5, "the gas velocity")},
    {"gas_temperature", "gas temperature", "degC",
     [](const ProfileSource& s, int i) { return GasValue(s, i, s.Profile.ProfileGasTemp[i]); },
     kAsHeld, false,
     kNotPrinted, Cell(6, kFixed5_1, CellAlign::OneBlank, 5, "the gas temperature")},
    {"gas_solvent_mole_fraction", "gas solvent mole fraction", "-",
     [](const ProfileSource& s, int i) {
       return GasValue(s, i, s.Profile.ProfileGasSolventFraction[i]);
     }, kAsHeld, false,
     kNotPrinted, kNotPrinted},
    {"elongational_viscosity", "elongational viscosity", "poise",
     [](const ProfileSource& s, int i) {
       return GasValue(s, i, s.Profile.ProfileElongViscosity[i]);
     }, kAsHeld, false,
     kNotPrinted, Cell(5, kExponent3_2, "the elongational viscosity")},
    {"wall_heat_transfer_coefficient", "gas-to-wall heat-transfer coefficient", "kcal/(m2 h degC)",
     [](const ProfileSource& s, int i) {
       return GasValue(s, i, ToKcalPerM2Hour(s.Profile.ProfileHeatTransfer[i]));
     }, kKcalPerM2HourPerCalPerCm2Second, false,
     kNotPrinted, Cell(6, kFixed5_2, CellAlign::OneBlank, 5, "the heat-transfer coefficient")},
    {"filament_heat_transfer_coefficient", "filament-to-gas heat-transfer coefficient",
     "kcal/(m2 h degC)",
     [](const ProfileSource& s, int i) {
       return StepValue(s, i, ToKcalPerM2Hour(s.Profile.ProfileFilamentHeatCoeff[i]));
     }, kKcalPerM2HourPerCalPerCm2Second, false,
     kNotPrinted, kNotPrinted},
    {"evaporation_flux", "evaporation flux", "mol/(cm2 s)",
     [](const ProfileSource& s, int i) {
       return StepValue(s, i, s.Profile.ProfileEvaporationFlux[i]);
     }, kAsHeld, false,
     kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_0", "radial solvent fraction node 0 (axis)", "-", RadialSolvent<0>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_1", "radial solvent fraction node 1", "-", RadialSolvent<1>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_2", "radial solvent fraction node 2", "-", RadialSolvent<2>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_3", "radial solvent fraction node 3", "-", RadialSolvent<3>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_4", "radial solvent fraction node 4", "-", RadialSolvent<4>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_5", "radial solvent fraction node 5", "-", RadialSolvent<5>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_6", "radial solvent fraction node 6", "-", RadialSolvent<6>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_7", "radial solvent fraction node 7", "-", RadialSolvent<7>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_8", "radial solvent fraction node 8", "-", RadialSolvent<8>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_9", "radial solvent fraction node 9", "-", RadialSolvent<9>,
     kAsHeld, false, kNotPrinted, kNotPrinted},
    {"radial_solvent_fraction_10", "radial solvent fraction node 10 (surface)", "-",
     RadialSolvent<10>, kAsHeld, false, kNotPrinted, kNotPrinted},
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

const ProfileColumn& ProfileColumnByName(std::string_view name) {
  for (const ProfileColumn& column : kColumns)
    if (name == column.Name) return column;
  throw std::out_of_range("no profile column named " + std::string(name));
}

bool HasDerivative(const ProfileColumn& column) {
  return !column.Derived && std::string_view(column.Name) != "z";
}

std::string DerivativeUnit(const ProfileColumn& column, std::string_view item,
                           std::string_view itemUnit) {
  const std::string_view unit = column.Unit;
  std::string text(unit == "-" ? "1" : unit);
  text += " per ";
  if (itemUnit.empty()) {
    text += "unit of ";
    text += item;
  } else {
    text += itemUnit;
  }
  return text;
}

std::string DerivativeHeader(const ProfileColumn& column, std::string_view item,
                             std::string_view itemUnit) {
  std::string header = "d(";
  header += column.Label;
  header += ")/d(";
  header += item;
  header += ") (";
  header += DerivativeUnit(column, item, itemUnit);
  header += ')';
  return header;
}

}  // namespace korvane
