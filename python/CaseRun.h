// One case run for a script: the driver with quiet surroundings, the result file kept as bytes
// and the profile as columns, so that nothing of the run is printed or left behind.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "files/ProfileCsv.h"
#include "inputs/FieldTexts.h"
#include "run/RunDriver.h"

namespace korvane {

// "classic" or "converged"; empty for any other text.
std::optional<SolverMethod> SolverMethodByName(std::string_view name);

// The solver asked for is not part of this build.
class SolverUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws SolverUnavailable when the solver is not part of this build.
void CheckMethodAvailable(SolverMethod method);

// Runs the driver with the chosen solver and its options: the one place where a solver is
// chosen for a run.
RunReport RunWithMethod(RunContext& context, const FieldTexts& texts, RunEvents& events,
                        const RunOptions& options);

struct CaseRunRequest {
  FieldTexts Texts;
  // The method and, for the converged one, its options (Cancelled is set from Cancel below).
  RunOptions Options;
  // Where the driver writes the result file; empty: a private temporary file, removed after the
  // run, whose bytes are kept in the outcome.
  std::string ResultFile;
  bool KeepProfile = true;
  // Set from any thread to cancel the run after the current pass (the converged method also
  // looks at it within a pass).
  const std::atomic<bool>* Cancel = nullptr;
  // Polled after every pass and, by the converged method, within a pass; returning true cancels
  // the run as Cancel does (the caller's signals, for instance). May be empty.
  std::function<bool()> Interrupted;
};

struct CaseRunOutcome {
  RunReport Report;
  std::vector<std::string> Messages;  // what the window would have shown, in order
  int Passes = 0;
  double SpinneretTension = 0;  // dyn, when points were printed
  std::string ResultFileBytes;  // the file as the driver left it (empty: it wrote none)
  // The profile columns of ProfileColumns(), Report.PrintedPointCount values each (when kept).
  std::vector<std::vector<double>> Columns;
  std::vector<double> EndValues;  // the last printed point of every column (when printed)
  // A converged run's derivatives with respect to the inputs its options list, when printed.
  struct Sensitivity {
    std::string Name;
    double SpinneretTension = 0;
    // The columns that have one (HasDerivative), in ProfileColumns() order, with their units.
    std::vector<std::string> ColumnNames;
    std::vector<std::string> Units;
    std::vector<std::vector<double>> Columns;
  };
  std::vector<Sensitivity> Sensitivities;
};

// Runs one case. Throws SolverUnavailable, or std::runtime_error when no temporary file can be
// made for the result file.
CaseRunOutcome RunCase(const CaseRunRequest& request);

}  // namespace korvane
