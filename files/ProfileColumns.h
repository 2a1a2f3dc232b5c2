// The output quantities of a run's profile, described once: the name scripts use, the label and
// unit the CSV header shows, how the value of a point is read, its scale, and how the result
// file's tables print it. The CSV, the result tables, the sweep summary and the charts all work
// from this table.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/model/RunParameters.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"
#include "inputs/NumberFormat.h"

namespace korvane {

// Which values of point i are of the last pass when the results run to pointCount points.
// A pass that ended early at its last point (the tension fell to zero there) computed the
// filament there but not the gas, the viscosity or the wall coefficient; the step values
// (filament-to-gas coefficient, evaporation flux) belong to the step leaving a point, which
// the last point does not have.
bool PointHasGasValues(const SpinningLineProfile& profile, int pointCount, int i);
bool PointHasStepValues(int pointCount, int i);

// What the columns of a run's profile are computed from: the results run to pointCount points.
struct ProfileSource {
  const RunParameters& Params;
  const SpinningLineProfile& Profile;
  const SimulationState& State;
  int PointCount;
};

// How a value's text is placed in its cell of a result table.
enum class CellAlign {
  AsWritten,  // the number text itself
  Right,      // blanks in front up to Width characters
  OneBlank,   // one blank in front of a text of exactly Width - 1 characters
};

// A column's cell in one of the two result tables (the filament table, then the gas table).
struct ResultCell {
  int BlanksBefore = -1;  // blanks between the previous cell and this one; -1: not in the table
  NumberFormat Format;
  CellAlign Align = CellAlign::AsWritten;
  int Width = 0;
  const char* What = nullptr;  // the value's name in the message when it is not a finite number
  bool InTable() const { return BlanksBefore >= 0; }
};

// One column of the profile table, as the CSV header shows it ("Label (Unit)") and as scripts
// name it.
struct ProfileColumn {
  const char* Name;                                     // e.g. "gas_temperature"
  const char* Label;                                    // e.g. "gas temperature"
  const char* Unit;                                     // e.g. "degC"; "-" for a fraction
  double (*Value)(const ProfileSource& source, int i);  // point i, in Unit; NaN where it has none
  // The factor from the unit the profile holds the value in to Unit, which Value has applied
  // (1 for most; the heat-transfer coefficients are held in cal/(cm2 s degC)).
  double Scale;
  // Computed from other values of the point rather than read from the profile: the
  // cross-section, and the stress the result file computes and stores in the profile.
  bool Derived;
  ResultCell FilamentTable;  // the first result table: the filament
  ResultCell GasTable;       // the second result table: the gas
};

inline constexpr int kProfileColumnCount = 26;

// The columns in CSV order: Z, the filament, the gas, the transfer coefficients and the
// evaporation flux, then the solvent fraction at the radial nodes 0 (axis) to 10 (surface). The
// columns of each result table are in the order that table prints them.
const std::array<ProfileColumn, kProfileColumnCount>& ProfileColumns();

// The column of that name (e.g. "average_solvent_fraction"); std::out_of_range when there is none.
const ProfileColumn& ProfileColumnByName(std::string_view name);

// Whether a converged run's sensitivities give the column's derivative: every column but Z and
// the values computed from the others (Derived). Its value at a point is the column's Value read
// from the profile of derivatives, in Unit per unit of the input.
bool HasDerivative(const ProfileColumn& column);

// The unit of the column's derivative with respect to an input item named `item` whose unit is
// `itemUnit` (empty: none known), e.g. "dyn per cm/s"; a fraction's unit is 1 there.
std::string DerivativeUnit(const ProfileColumn& column, std::string_view item,
                           std::string_view itemUnit);

// The CSV header of the column's derivative with respect to an input item named `item` whose
// unit is `itemUnit`, e.g. "d(tension)/d(take_up_speed) (dyn per cm/s)".
std::string DerivativeHeader(const ProfileColumn& column, std::string_view item,
                             std::string_view itemUnit);

}  // namespace korvane
