#include "python/CaseRun.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "inputs/SensitivityItems.h"

namespace korvane {

namespace {

// Collects the messages and answers the iteration's question after every pass.
class ScriptEnvironment : public RunEvents {
 public:
  ScriptEnvironment(std::vector<std::string>& messages, const std::atomic<bool>* cancel,
                    const std::function<bool()>& interrupted)
      : messages_(messages), cancel_(cancel), interrupted_(interrupted) {}
  void ShowMessage(std::string_view text) override { messages_.emplace_back(text); }
  bool PassFinished(int, double) override {
    return !(cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) &&
           !(interrupted_ && interrupted_());
  }

 private:
  std::vector<std::string>& messages_;
  const std::atomic<bool>* cancel_;
  const std::function<bool()>& interrupted_;
};

// A new, empty file of this process's own in the temporary folder; removed when it goes.
class TemporaryFile {
 public:
  TemporaryFile() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) folder = "/tmp";
    std::string pattern = (folder / "korvane-result-XXXXXX").string();
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0)
      throw std::runtime_error("no temporary file for the result file could be made in " +
                               folder.string());
    close(descriptor);
    path_ = pattern;
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::optional<SolverMethod> SolverMethodByName(std::string_view name) {
  if (name == "classic") return SolverMethod::Classic;
  if (name == "converged") return SolverMethod::Converged;
  return std::nullopt;
}

void CheckMethodAvailable(SolverMethod method) {
  (void)method;  // both solvers are part of every build
}

RunReport RunWithMethod(RunContext& context, const FieldTexts& texts, RunEvents& events,
                        const RunOptions& options) {
  CheckMethodAvailable(options.Method);
  return RunDriver(context, texts, events, options);
}

CaseRunOutcome RunCase(const CaseRunRequest& request) {
  CaseRunOutcome outcome;
  std::optional<TemporaryFile> temporary;
  FieldTexts texts = request.Texts;
  if (request.ResultFile.empty()) {
    temporary.emplace();
    texts.ResultFileName = temporary->Path();
  } else {
    texts.ResultFileName = request.ResultFile;
  }

  RunOptions options = request.Options;
  const std::atomic<bool>* cancel = request.Cancel;
  const std::function<bool()>& interrupted = request.Interrupted;
  if (cancel || interrupted)
    options.Converged.Cancelled = [cancel, &interrupted] {
      return (cancel && cancel->load(std::memory_order_relaxed)) || (interrupted && interrupted());
    };

  RunContext context;
  ScriptEnvironment environment(outcome.Messages, request.Cancel, request.Interrupted);
  outcome.Report = RunWithMethod(context, texts, environment, options);
  outcome.Passes = context.State.Iteration.CalculationLoopCount;
  // A refused or cancelled run writes nothing, and a file that failed may be an earlier run's.
  const RunOutcome how = outcome.Report.Outcome;
  if (how != RunOutcome::InputRefused && how != RunOutcome::ResultFileFailed &&
      !outcome.Report.Cancelled)
    outcome.ResultFileBytes = FileBytes(texts.ResultFileName);

  const int points = outcome.Report.PrintedPointCount;
  if (points <= 0) return outcome;
  const ProfileSource source{context.Params, *context.Profile, context.State, points};
  outcome.SpinneretTension = context.Profile->ProfileTension[0];
  for (const ProfileColumn& column : ProfileColumns()) {
    outcome.EndValues.push_back(column.Value(source, points - 1));
    if (!request.KeepProfile) continue;
    std::vector<double>& values = outcome.Columns.emplace_back(static_cast<size_t>(points));
    for (int i = 0; i < points; ++i) values[static_cast<size_t>(i)] = column.Value(source, i);
  }
  if (outcome.Report.Converged) {
    for (const ParameterSensitivity& s : outcome.Report.Converged->Sensitivities) {
      CaseRunOutcome::Sensitivity& out = outcome.Sensitivities.emplace_back();
      out.Name = s.Name;
      out.SpinneretTension = s.SpinneretTension;
      const ParameterItem* item = ItemByName(s.Name);
      const std::string itemUnit = item ? ItemUnit(*item) : std::string();
      const int count = std::min(points, s.Profile.ProfilePointCount);
      const ProfileSource derivatives{context.Params, s.Profile, context.State, count};
      for (const ProfileColumn& column : ProfileColumns()) {
        if (!HasDerivative(column)) continue;
        out.ColumnNames.emplace_back(column.Name);
        out.Units.push_back(DerivativeUnit(column, s.Name, itemUnit));
        std::vector<double>& values = out.Columns.emplace_back(static_cast<size_t>(points), NAN);
        for (int i = 0; i < count; ++i)
          values[static_cast<size_t>(i)] = column.Value(derivatives, i);
      }
    }
  }
  return outcome;
}

}  // namespace korvane
