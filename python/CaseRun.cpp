#include "python/CaseRun.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace korvane {

namespace {

// Collects the messages and answers the iteration's question after every pass.
class ScriptEnvironment : public RunEvents {
 public:
  ScriptEnvironment(std::vector<std::string>& messages, const std::atomic<bool>* cancel)
      : messages_(messages), cancel_(cancel) {}
  void ShowMessage(std::string_view text) override { messages_.emplace_back(text); }
  bool PassFinished(int, double) override {
    return cancel_ == nullptr || !cancel_->load(std::memory_order_relaxed);
  }

 private:
  std::vector<std::string>& messages_;
  const std::atomic<bool>* cancel_;
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
  if (const std::atomic<bool>* cancel = request.Cancel)
    options.Converged.Cancelled = [cancel] { return cancel->load(std::memory_order_relaxed); };

  RunContext context;
  ScriptEnvironment environment(outcome.Messages, request.Cancel);
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
  return outcome;
}

}  // namespace korvane
