#include "ui/ConvergedComparison.h"

#include <QThread>
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <utility>

#include "core/model/FilamentCrossSection.h"
#include "core/model/FilamentStress.h"
#include "inputs/PropertyLawFormulas.h"

namespace korvane::ui {

namespace {

// The radial intervals of the classic method's cross-section.
constexpr int kClassicRadialIntervals = 10;

// The solver's messages in the background: nobody waits at a message box for them.
class QuietReporter : public SimulationReporter {
 public:
  QuietReporter(std::vector<std::string>& notes, const std::atomic<bool>& cancelled)
      : notes_(notes), cancelled_(cancelled) {}
  void ShowMessage(std::string_view text) override { notes_.emplace_back(text); }
  bool PassFinished(int /*passes*/, double /*relativeDifference*/) override {
    return !cancelled_.load();
  }

 private:
  std::vector<std::string>& notes_;
  const std::atomic<bool>& cancelled_;
};

// The stress at every point, as the result tables compute it: a run fills it while writing its
// tables, and this line is never written. A point without a stress gets NaN.
void FillStress(const RunParameters& params, const SimulationState& state,
                SpinningLineProfile& profile, int pointCount) {
  for (int i = 0; i < pointCount; ++i) {
    const double area =
        PrintedFilamentCrossSection(state.Constants.PolymerFlowRate, profile.ProfileAvgSolvent[i],
                                    profile.ProfileYarnVelocity[i], params.DopeDensity);
    profile.ProfileStress[i] =
        std::isfinite(area) ? FilamentStress(profile.ProfileTension[i], params.DopeDensity, area)
                            : std::numeric_limits<double>::quiet_NaN();
  }
}

}  // namespace

ConvergedComparison::ConvergedComparison(QObject* parent) : QObject(parent) {}

ConvergedComparison::~ConvergedComparison() {
  Cancel();
  for (QThread* thread : threads_) {
    thread->wait();
    delete thread;
  }
}

void ConvergedComparison::Cancel() {
  if (cancelled_) cancelled_->store(true);
  cancelled_.reset();
  pending_ = false;
  ++generation_;
}

void ConvergedComparison::Start(
    const RunParameters& runParams, double tolerance,
    const std::vector<std::pair<std::string, std::string>>& laws,
    const std::vector<std::pair<std::string, std::string>>& lawConstants) {
  Cancel();
  ReapFinishedThreads();
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  cancelled_ = cancelled;
  pending_ = true;
  const unsigned generation = generation_;
  QThread* thread = QThread::create([this, runParams, tolerance, cancelled, generation, laws,
                                     lawConstants] {
    auto result = std::make_shared<ComparisonResult>();
    result->Tolerance = tolerance;
    RunParameters params = runParams;
    std::string problem;
    const std::unique_ptr<PropertyLawFormulas> compiled =
        laws.empty() && lawConstants.empty()
            ? nullptr
            : PropertyLawFormulas::Compile(laws, lawConstants, problem);
    params.Laws = compiled.get();
    ConvergedOptions options;
    options.Tolerance = tolerance;
    options.Cancelled = [cancelled] { return cancelled->load(); };
    QuietReporter reporter(result->Notes, *cancelled);
    try {
      result->Report = SolveConverged(params, options, *result->Profile, result->State, reporter);
    } catch (const std::exception& error) {
      result->Report.Status = ConvergedStatus::CalculationFailed;
      result->Report.Message = error.what();
    }
    if (result->Report.Status == ConvergedStatus::Converged &&
        result->State.Outcome.CalculationOk) {
      result->PointCount = std::min(result->Profile->PassPointCount, result->Profile->Capacity());
      FillStress(params, result->State, *result->Profile, result->PointCount);
      // The classic method's radial model, solved to the same tolerance along the line.
      if (!cancelled->load()) {
        ConvergedOptions ten = options;
        ten.RadialIntervals = kClassicRadialIntervals;
        ten.SurfaceClustered = false;
        auto profile = std::make_unique<SpinningLineProfile>();
        SimulationState state;
        std::vector<std::string> notes;
        QuietReporter quiet(notes, *cancelled);
        try {
          result->TenIntervals = SolveConverged(params, ten, *profile, state, quiet);
        } catch (const std::exception& error) {
          result->TenIntervals.emplace();
          result->TenIntervals->Status = ConvergedStatus::CalculationFailed;
          result->TenIntervals->Message = error.what();
        }
      }
    }
    if (cancelled->load()) return;
    // Back to the window's thread; dropped there if a newer comparison has started since.
    QMetaObject::invokeMethod(
        this, [this, generation, result] { Deliver(generation, result); }, Qt::QueuedConnection);
  });
  threads_.push_back(thread);
  thread->start(QThread::LowPriority);
}

void ConvergedComparison::Deliver(unsigned generation,
                                  std::shared_ptr<const ComparisonResult> result) {
  if (generation != generation_ || !pending_) return;
  pending_ = false;
  cancelled_.reset();
  emit Finished(std::move(result));
}

void ConvergedComparison::ReapFinishedThreads() {
  auto done = std::stable_partition(threads_.begin(), threads_.end(),
                                    [](QThread* thread) { return !thread->isFinished(); });
  for (auto it = done; it != threads_.end(); ++it) {
    (*it)->wait();
    delete *it;
  }
  threads_.erase(done, threads_.end());
}

}  // namespace korvane::ui
