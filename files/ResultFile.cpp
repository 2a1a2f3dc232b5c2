#include "files/ResultFile.h"

#include <cmath>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <utility>

#include "core/FilamentCrossSection.h"
#include "core/FilamentStress.h"
#include "core/HeatTransferUnits.h"
#include "core/TensionBelowZero.h"
#include "files/NumberText.h"
#include "inputs/ParameterItems.h"

namespace korvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr const char* kWriteFailedPrefix = "Result file could not be written: ";

// Titles of the input echo's groups, in the order of ItemGroup. "CONDITIN" is spelled as in
// every result file written so far; files are compared line by line, so it stays.
constexpr const char* kGroupTitles[] = {"  SPINNING DOPE",
                                        "  SOLVENT",
                                        "  SPINNING GAS",
                                        "  SPINNING CONDITIN",
                                        "  SPINNING COLUMN STRUCTURE",
                                        "  CALCULATION ACCURACY",
                                        "  SOLVENT-GAS"};
constexpr int kGroupCount = static_cast<int>(std::size(kGroupTitles));
static_assert(kGroupCount == static_cast<int>(ItemGroup::SolventGas) + 1);

constexpr const char* kFirstTableHeader1 =
    "  DIST    AV SOL   SURF SOL   YARN V   YARN T    YARN A    TENSION    STRESS";
constexpr const char* kFirstTableHeader2 =
    "  Z(cm)    (-)       (-)      V(cm/s)   T(\x81\x8E"
    ")    A(cm2)    F(dyn)     (G/den)";
constexpr const char* kSecondTableHeader1 = "  DIST    GAS V      GAS T     ELONG VIS     H TRANS";
constexpr const char* kSecondTableHeader2 =
    "  Z(cm)  UPM(cm/s)   TM(\x81\x8E"
    ")     B(poise)   (kcal/m2h\x81\x8E"
    ")";
constexpr const char* kTensionBelowZeroLine =
    "            ***** SPINNING TENSION BECOMES LESS THAN ZERO *****";

FileResult Failure(FileStatus status, std::string message) {
  return FileResult{status, std::move(message)};
}

FileResult BadValue(const std::string& what) {
  return Failure(FileStatus::BadValue, kWriteFailedPrefix + what + " is not a finite number.");
}

// Writes one line and its CR LF.
FileResult Line(PendingFile& file, std::string_view text) {
  std::string line(text);
  line += kLineEnd;
  return file.Write(line);
}

// Right-aligns a short text by putting blanks in front; a text of `width` or more
// characters is used unchanged.
std::string AlignRight(std::string text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// Aligned-6, Aligned-5 and One-blank cells of the result tables.
std::string Aligned6(double value) {
  return AlignRight(Fixed(value, 6, 1), 6);
}
std::string Aligned5(double value) {
  return AlignRight(Fixed(value, 5, 1), 5);
}
std::string OneBlank(std::string text) {
  if (text.size() == 4) text.insert(0, 1, ' ');
  return text;
}

std::string Blanks(size_t count) {
  return std::string(count, ' ');
}

std::string PointName(int index, const char* what) {
  return std::string(what) + " at profile point " + std::to_string(index);
}

}  // namespace

FileResult OpenResultFile(PendingFile& file, const RunParameters& params) {
  return file.Open(params.ResultFileName, kResultFileCannotOpen, kWriteFailedPrefix);
}

FileResult InputDataWriter(const RunParameters& params) {
  PendingFile file;
  if (FileResult opened = OpenResultFile(file, params); !opened.ok()) return opened;
  const FileResult written = InputDataWriter(file, params);
  const FileResult committed = file.Commit();
  return written.ok() ? committed : written;
}

FileResult InputDataWriter(PendingFile& file, const RunParameters& params) {
  for (const char* line : {"==========", "INPUT DATA", "==========", ""})
    if (FileResult r = Line(file, line); !r.ok()) return r;

  for (int group = 0; group < kGroupCount; ++group) {
    const std::string title = kGroupTitles[group];
    const std::string dashes = "  " + std::string(title.size() - 2, '-');
    for (const std::string& line : {title, dashes})
      if (FileResult r = Line(file, line); !r.ok()) return r;
    for (const ParameterItem& item : ParameterItems()) {
      if (static_cast<int>(item.Group) != group) continue;
      const double value = ItemValue(item, params);
      if (!std::isfinite(value)) return BadValue("item " + std::to_string(item.Number));
      if (FileResult r = Line(file, item.EchoLabel + FormatNumber(value, item.EchoFormat)); !r.ok())
        return r;
    }
    if (FileResult r = Line(file, ""); !r.ok()) return r;
  }
  return {};
}

FileResult ResultsAppender(PendingFile& file, const RunParameters& params,
                           SpinningLineProfile& profile, SimulationState& state) {
  state.Outcome.TensionBelowZero = false;
  const int n = profile.PassPointCount;
  if (n < 0 || n > profile.Capacity())
    return Failure(FileStatus::BadValue, kWriteFailedPrefix + std::string("the profile has ") +
                                             std::to_string(n) + " points, outside 0 to " +
                                             std::to_string(profile.Capacity()) + ".");

  const double density = params.DopeDensity;
  if (!std::isfinite(density)) return BadValue("the dope density");
  if (!std::isfinite(state.Constants.PolymerFlowRate)) return BadValue("the polymer flow rate");

  for (const char* line : {"", "===================", "CALCULATION RESULTS",
                           "===================", "", kFirstTableHeader1, kFirstTableHeader2})
    if (FileResult r = Line(file, line); !r.ok()) return r;

  // The first table ends at the point where the tension fell to zero, if it did.
  const int lastPrinted = TensionBelowZeroPointCount(profile);
  for (int i = 0; i < n; ++i) {
    const double z = profile.ProfileZ[i];
    const double avgSolvent = profile.ProfileAvgSolvent[i];
    const double surfaceSolvent = profile.ProfileSurfaceSolvent[i];
    const double velocity = profile.ProfileYarnVelocity[i];
    const double temperature = profile.ProfileYarnTemp[i];
    const double tension = profile.ProfileTension[i];
    for (const auto& [value, name] :
         {std::pair{z, "the distance"}, std::pair{avgSolvent, "the average solvent fraction"},
          std::pair{surfaceSolvent, "the surface solvent fraction"},
          std::pair{velocity, "the yarn velocity"}, std::pair{temperature, "the yarn temperature"},
          std::pair{tension, "the tension"}})
      if (!std::isfinite(value)) return BadValue(PointName(i, name));

    // The filament cross-section and the stress; a zero divisor is refused rather than
    // divided by, so that no infinity is ever formed.
    const double yarnArea =
        PrintedFilamentCrossSection(state.Constants.PolymerFlowRate, avgSolvent, velocity, density);
    if (!std::isfinite(yarnArea)) return BadValue(PointName(i, "the yarn area"));
    const double stress = FilamentStress(tension, density, yarnArea);
    if (!std::isfinite(stress)) return BadValue(PointName(i, "the stress"));
    profile.ProfileStress[i] = stress;

    const std::string row = Aligned6(z) + Blanks(4) + Fixed(avgSolvent, 5, 3) + Blanks(5) +
                            Fixed(surfaceSolvent, 5, 3) + Blanks(5) + Aligned6(velocity) +
                            Blanks(4) + Aligned5(temperature) + Blanks(3) +
                            Exponent(yarnArea, 3, 2) + Blanks(3) + Exponent(tension, 3, 2) +
                            Blanks(3) + Exponent(stress, 3, 2);
    if (FileResult r = Line(file, row); !r.ok()) return r;

    if (i + 1 == lastPrinted) {
      state.Outcome.TensionBelowZero = true;
      for (const char* line : {"", kTensionBelowZeroLine})
        if (FileResult r = Line(file, line); !r.ok()) return r;
      return {};
    }
  }

  for (const char* line : {"", kSecondTableHeader1, kSecondTableHeader2})
    if (FileResult r = Line(file, line); !r.ok()) return r;

  // A pass that ended before the end of the grid computed no gas values at its last point.
  const int gasRows = n > 1 && n < profile.ProfilePointCount ? n - 1 : n;
  for (int i = 0; i < gasRows; ++i) {
    const double z = profile.ProfileZ[i];
    const double gasVelocity = profile.ProfileGasVelocity[i];
    const double gasTemperature = profile.ProfileGasTemp[i];
    const double viscosity = profile.ProfileElongViscosity[i];
    // Printed in kcal/(m2 h degC); the profile keeps cal/(cm2 s degC) for whoever reads it next.
    const double heatTransfer = ToKcalPerM2Hour(profile.ProfileHeatTransfer[i]);
    for (const auto& [value, name] :
         {std::pair{z, "the distance"}, std::pair{gasVelocity, "the gas velocity"},
          std::pair{gasTemperature, "the gas temperature"},
          std::pair{viscosity, "the elongational viscosity"},
          std::pair{heatTransfer, "the heat-transfer coefficient"}})
      if (!std::isfinite(value)) return BadValue(PointName(i, name));

    const std::string row = Aligned6(z) + Blanks(4) + OneBlank(Fixed(gasVelocity, 5, 2)) +
                            Blanks(6) + OneBlank(Fixed(gasTemperature, 5, 1)) + Blanks(5) +
                            Exponent(viscosity, 3, 2) + Blanks(6) +
                            OneBlank(Fixed(heatTransfer, 5, 2));
    if (FileResult r = Line(file, row); !r.ok()) return r;
  }
  return {};
}

FileResult ConvergedTrailerWriter(PendingFile& file, double tolerance,
                                  const ConvergedReport& report) {
  for (const auto& [value, name] :
       {std::pair{tolerance, "the tolerance"},
        std::pair{report.EstimatedTensionError, "the estimated error of the spinneret tension"},
        std::pair{report.EstimatedRelativeTensionError,
                  "the estimated relative error of the spinneret tension"}})
    if (!std::isfinite(value)) return BadValue(name);
  const std::string summary =
      "Written by the converged method: tolerance " + Exponent(tolerance, 2, 2) + ", " +
      std::to_string(report.RadialIntervals + 1) + " radial nodes (" +
      (report.SurfaceClustered ? "surface-clustered" : "equally spaced") + "), " +
      std::to_string(report.Passes) + " passes, estimated error of the spinneret tension " +
      Exponent(report.EstimatedTensionError, 2, 2) + " dyn (" +
      Exponent(report.EstimatedRelativeTensionError, 2, 2) + " relative).";
  for (const std::string& line : {std::string(), summary})
    if (FileResult r = Line(file, line); !r.ok()) return r;
  if (!report.ToleranceMet) {
    return Line(file, "The estimated error of the spinneret tension is larger than the tolerance.");
  }
  return {};
}

}  // namespace korvane
