// The converged method run beside a classic run, on a thread of its own: it solves the same
// inputs to a stated accuracy, and again on 10 equal radial intervals, so that the window can
// show how far the classic grid is off and why.
// The window stays responsive; a new comparison or Cancel drops the one under way.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/converged/ConvergedSolver.h"
#include "core/model/RunParameters.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"

class QThread;

namespace korvane::ui {

// What one background comparison left: the converged run's report, profile and state, and the
// report of the same case on the classic method's radial grid, 10 equal intervals, which
// tells the part of the gap that the radial grid makes from the part the axial steps make.
struct ComparisonResult {
  double Tolerance = 0;  // asked of both runs
  ConvergedReport Report;
  std::optional<ConvergedReport> TenIntervals;  // none when cancelled before it ran
  std::unique_ptr<SpinningLineProfile> Profile = std::make_unique<SpinningLineProfile>();
  SimulationState State;
  int PointCount = 0;              // profile points of the converged line (0: none)
  std::vector<std::string> Notes;  // the messages the solver gave, kept instead of shown
};

class ConvergedComparison : public QObject {
  Q_OBJECT

 public:
  explicit ConvergedComparison(QObject* parent = nullptr);
  // Cancels what is under way and waits for its thread to end.
  ~ConvergedComparison() override;
  ConvergedComparison(const ConvergedComparison&) = delete;
  ConvergedComparison& operator=(const ConvergedComparison&) = delete;

  // Starts the converged method on a copy of the inputs and the property laws (with their
  // constants) of the run (compiled for the comparison's own thread), cancelling any earlier
  // comparison.
  void Start(const RunParameters& params, double tolerance,
             const std::vector<std::pair<std::string, std::string>>& laws = {},
             const std::vector<std::pair<std::string, std::string>>& lawConstants = {});
  // The comparison under way stops at its next check and its result is never delivered.
  void Cancel();
  // A comparison has been started and neither delivered nor cancelled.
  bool Pending() const { return pending_; }

 signals:
  // On the thread of this object, for the latest comparison only.
  void Finished(std::shared_ptr<const ComparisonResult> result);

 private:
  void Deliver(unsigned generation, std::shared_ptr<const ComparisonResult> result);
  void ReapFinishedThreads();

  unsigned generation_ = 0;
  bool pending_ = false;
  std::shared_ptr<std::atomic<bool>> cancelled_;
  std::vector<QThread*> threads_;
};

}  // namespace korvane::ui
