// The profile of a run as a CSV table, one row per point, for spreadsheets and plots.
#pragma once

#include <array>
#include <string>

#include "core/RunParameters.h"
#include "core/SimulationState.h"
#include "core/SpinningLineProfile.h"
#include "files/ResultFile.h"

namespace korvane {

inline constexpr const char* kCsvCannotOpen = "CSV file can not be opened for writing!";

// Points 0 .. pointCount - 1 with a header row of names and units. Numbers are the shortest
// texts that read back to the same doubles, with a full stop. The filament-to-gas coefficient
// and the evaporation flux belong to the step that starts at a point, so the last point has
// none: those cells are empty, as is any derived cell whose divisor is zero. The stress is the one
// the result file stored in the profile for the rows it printed.
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

// One column of the profile table, as the CSV header shows it ("Label (Unit)") and as scripts
// name it.
struct ProfileColumn {
  const char* Name;                                     // e.g. "gas_temperature"
  const char* Label;                                    // e.g. "gas temperature"
  const char* Unit;                                     // e.g. "degC"; "-" for a fraction
  double (*Value)(const ProfileSource& source, int i);  // point i; NaN where it has no value
};

inline constexpr int kProfileColumnCount = 26;

// The columns in CSV order: Z, the filament, the gas, the transfer coefficients and the
// evaporation flux, then the solvent fraction at the radial nodes 0 (axis) to 10 (surface).
const std::array<ProfileColumn, kProfileColumnCount>& ProfileColumns();

std::string ProfileCsvText(const RunParameters& params, const SpinningLineProfile& profile,
                           const SimulationState& state, int pointCount);

FileResult WriteProfileCsv(const std::string& path, const RunParameters& params,
                           const SpinningLineProfile& profile, const SimulationState& state,
                           int pointCount);

}  // namespace korvane
