// A run started from the main window: what it needs from the window while it goes on, and the
// blocking of the window's input until it ends.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <string_view>

#include "inputs/FieldTexts.h"
#include "run/RunDriver.h"

class QWidget;

namespace korvane::ui {

class TMainForm;
class UserDialogs;

// What one run needs from the window: its message boxes, the busy cursor, the progress
// window of a long run, the finish dialog, the file list and the summary.
class WindowRunEnvironment : public RunEvents {
 public:
  // stopRequested: set while the run goes on when the window is closed or Esc is pressed; it
  // cancels the run.
  WindowRunEnvironment(TMainForm& form, UserDialogs& dialogs, int progressDelayMs,
                       const bool& stopRequested, const FieldTexts& texts, double tolerance);
  ~WindowRunEnvironment() override;
  WindowRunEnvironment(const WindowRunEnvironment&) = delete;
  WindowRunEnvironment& operator=(const WindowRunEnvironment&) = delete;

  // The box waits for the user with the normal cursor; the busy cursor comes back after it.
  // A message ends the progress window: it opens again if the iteration goes on.
  void ShowMessage(std::string_view text) override;

  // The messages that a value does not convert and that the result file cannot be opened name
  // no item: the label of the one at fault follows on a line of its own.
  QString WithItemLabel(std::string_view text) const;

  // Once the calculation has started, anything but a cancel ends the shown results: the page
  // is emptied before the run's first message, as the result file will be replaced.
  void ResultsReplaced();
  bool Replaced() const { return replaced_; }

  // The busy cursor from the start of a run to its end; the finish dialog after a success, and
  // the file list read again once a result file has been written.
  void RunStarted() override { SetBusyCursor(true); }
  void RunFinished(const RunReport& report) override;
  void SetBusyCursor(bool busy);

  // After every pass of the tension iteration. Once the run has lasted the delay, the
  // progress window shows how far it is. The window's events go through on this thread, so
  // that the progress is drawn and its Cancel button and the main window's close box work.
  bool PassFinished(int passes, double relativeDifference) override;

  // Polled by the converged method within its passes, which on a long line last seconds: the
  // window is drawn, and a cancel is seen, a few times a second rather than at a pass's end.
  bool KeepGoingWithinPass();

  void SectionLengthsUpdated(const SectionLengths& lengths) override;

  // The results of the last run stay on their page while this one computes, as the earlier
  // result file stays until this run's replaces it; a run that is refused or cancelled leaves
  // both as they were. A comparison still under way gives the run the processor.
  void CalculationStarting() override;
  // A comparison of the shown results was under way when the calculation started.
  bool ComparisonDropped() const { return comparisonDropped_; }

 private:
  bool LetEventsThrough();
  void EndProgress();

  TMainForm& form_;
  UserDialogs& dialogs_;
  int progressDelayMs_;
  const bool& stopRequested_;
  const FieldTexts& texts_;
  double tolerance_;  // of the converged method
  QElapsedTimer sinceStart_;
  QElapsedTimer sinceEvents_;
  int passes_ = 0;  // of the tension search so far, and the last pass's miss
  double relativeDifference_ = 1;
  bool busy_ = false;
  bool progressOpen_ = false;
  bool calculationStarted_ = false;
  bool replaced_ = false;
  bool comparisonDropped_ = false;
};

// While a run lets events through, the main window takes no input: a second OK, typing into
// a field or loading a data file would change what the run is reading or start another run
// inside it. Mouse and keyboard events meant for the window are dropped; other windows (the
// progress window with its Cancel button, the message boxes) get theirs. Esc in the window
// asks the run to stop.
class RunInputBlocker : public QObject {
 public:
  RunInputBlocker(QWidget& window, bool& stopRequested);
  ~RunInputBlocker() override;
  RunInputBlocker(const RunInputBlocker&) = delete;
  RunInputBlocker& operator=(const RunInputBlocker&) = delete;

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool InWindow(QObject* watched) const;

  QWidget& window_;
  bool& stopRequested_;
};

// After a refused run whose step counts do not fit the profile: the count field to correct,
// the first negative one or else the first one (their sum is out of range). 0 when they fit.
int StepCountItemToFix(const RunParameters& params);

}  // namespace korvane::ui
