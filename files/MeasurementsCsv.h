// Measurements along the line, to fit a case to: a CSV file with the header
//   quantity,z,value,sigma
// one measured value per row. quantity is a profile column as the CSV export's header names it,
// without the unit ("average solvent fraction"; the script name "average_solvent_fraction" is
// taken too); z is in cm from the spinneret; value is in the export's unit; sigma is the
// measurement's standard deviation in the same unit, or empty: then every point of that quantity
// weighs the same and their sigma is estimated from the residuals. The spinneret tension is
// "tension" at z = 0.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "files/ProfileColumns.h"

namespace korvane {

struct Measurement {
  const ProfileColumn* Column = nullptr;
  double Z = 0;      // cm
  double Value = 0;  // in Column->Unit
  double Sigma = 0;  // in Column->Unit; 0: not given (estimated from the residuals)
  int Line = 0;      // the row's line in the file
};

struct MeasurementsLoad {
  bool Ok = false;
  std::string Message;  // why the file was refused, naming the line
  std::vector<Measurement> Values;
};

// The quantities a measurement may name, in the export's order: every profile column but z.
std::vector<const ProfileColumn*> MeasurableColumns();

// Checks the text; `path` names it in messages and lineLength (cm) is the line's length, which
// every z must lie within. Refused, naming the line: a header other than the one above, a row
// without four fields, an unknown quantity, a text that is not a finite number, a z outside
// the line, a sigma that is not above 0, a quantity with sigma given for some rows and not for
// others, and a file without rows.
MeasurementsLoad ReadMeasurements(std::string_view text, const std::string& path,
                                  double lineLength);

// Reads and checks a measurements file (at most 1 MiB).
MeasurementsLoad LoadMeasurementsFile(const std::string& path, double lineLength);

}  // namespace korvane
