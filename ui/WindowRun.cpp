#include "ui/WindowRun.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>
#include <cstdint>

#include "files/ResultFile.h"
#include "inputs/ParameterItems.h"
#include "inputs/RangeChecks.h"
#include "inputs/ReadRunParameters.h"
#include "ui/ConvergedComparison.h"
#include "ui/MainUnit.h"
#include "ui/ResultsPage.h"
#include "ui/UserDialogs.h"

namespace korvane::ui {

namespace {

// How often a long pass of the converged method lets the window's events through.
constexpr qint64 kEventIntervalMs = 50;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

WindowRunEnvironment::WindowRunEnvironment(TMainForm& form, UserDialogs& dialogs,
                                           int progressDelayMs, const bool& stopRequested,
                                           const FieldTexts& texts, double tolerance)
    : form_(form),
      dialogs_(dialogs),
      progressDelayMs_(progressDelayMs),
      stopRequested_(stopRequested),
      texts_(texts),
      tolerance_(tolerance) {
  sinceStart_.start();
}

WindowRunEnvironment::~WindowRunEnvironment() {
  SetBusyCursor(false);
}

void WindowRunEnvironment::ShowMessage(std::string_view text) {
  if (text != kCalculationCancelled) ResultsReplaced();
  const bool wasBusy = busy_;
  SetBusyCursor(false);
  dialogs_.Message(WithItemLabel(text));
  SetBusyCursor(wasBusy);
}

QString WindowRunEnvironment::WithItemLabel(std::string_view text) const {
  QString message = Utf8(text);
  if (text == kResultFileCannotOpen) {
    return message + QStringLiteral("\nSave File Name \"%1\"").arg(Utf8(texts_.ResultFileName));
  }
  if (text != kInputValueNotCorrect) return message;
  RunParameters scratch;
  const ReadOutcome read = ReadRunParameters(texts_, scratch);
  if (read.InitialTensionFailed) {
    message += QStringLiteral("\n%1 (Change Initial Tension)").arg(kInitialTensionLabel);
  } else if (read.FailedItem >= 1 && read.FailedItem <= kItemCount) {
    message += '\n' + Utf8(ItemByNumber(read.FailedItem).EntryLabel).trimmed();
  }
  return message;
}

void WindowRunEnvironment::ResultsReplaced() {
  if (!calculationStarted_ || replaced_) return;
  replaced_ = true;
  form_.Results->Clear();
}

void WindowRunEnvironment::RunFinished(const RunReport& report) {
  if (!report.Cancelled) ResultsReplaced();
  SetBusyCursor(false);
  if (report.Outcome == RunOutcome::Success) {
    // A converged run that stopped short of its tolerance is not reported as a success.
    if (report.Converged && !report.Converged->ToleranceMet) {
      dialogs_.Message(ToleranceNotMetText(tolerance_, report.Converged->EstimatedTensionError) +
                       QStringLiteral(".\nThe results were written; the estimated error is "
                                      "larger than asked for."));
    } else {
      dialogs_.ShowFinish();
    }
  }
  if (report.Outcome != RunOutcome::InputRefused) form_.RefreshFileList();
}

void WindowRunEnvironment::SetBusyCursor(bool busy) {
  if (!busy) EndProgress();
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(progressOpen_ ? Qt::BusyCursor : Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

bool WindowRunEnvironment::PassFinished(int passes, double relativeDifference) {
  passes_ = passes;
  relativeDifference_ = relativeDifference;
  return LetEventsThrough();
}

bool WindowRunEnvironment::KeepGoingWithinPass() {
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventIntervalMs) return !stopRequested_;
  return LetEventsThrough();
}

void WindowRunEnvironment::SectionLengthsUpdated(const SectionLengths& lengths) {
  form_.ShowSectionLengths(lengths);
}

void WindowRunEnvironment::CalculationStarting() {
  calculationStarted_ = true;
  comparisonDropped_ = form_.Comparison->Pending();
  form_.Comparison->Cancel();
}

bool WindowRunEnvironment::LetEventsThrough() {
  if (!progressOpen_ && sinceStart_.elapsed() >= progressDelayMs_) {
    dialogs_.ProgressStart();
    progressOpen_ = true;
    // The arrow with the hourglass: the Cancel button can be pressed.
    if (busy_) QApplication::changeOverrideCursor(Qt::BusyCursor);
  }
  QCoreApplication::processEvents();
  sinceEvents_.start();
  const bool keepGoing = !progressOpen_ || dialogs_.ProgressUpdate(passes_, relativeDifference_);
  return keepGoing && !stopRequested_;
}

void WindowRunEnvironment::EndProgress() {
  if (!progressOpen_) return;
  progressOpen_ = false;
  dialogs_.ProgressEnd();
  if (busy_) QApplication::changeOverrideCursor(Qt::WaitCursor);
}

RunInputBlocker::RunInputBlocker(QWidget& window, bool& stopRequested)
    : window_(window), stopRequested_(stopRequested) {
  QCoreApplication::instance()->installEventFilter(this);
}

RunInputBlocker::~RunInputBlocker() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool RunInputBlocker::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      if (!InWindow(watched)) return false;
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) stopRequested_ = true;
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return InWindow(watched);
    default:
      return false;
  }
}

bool RunInputBlocker::InWindow(QObject* watched) const {
  if (auto* widget = qobject_cast<QWidget*>(watched)) return widget->window() == &window_;
  if (auto* window = qobject_cast<QWindow*>(watched)) return window == window_.windowHandle();
  return false;
}

int StepCountItemToFix(const RunParameters& params) {
  int64_t sum = 0;
  for (int i = 0; i < kSectionCount; ++i) {
    if (params.IncrementCount[i] < 0) return kFirstIncrementCountItem + i;
    sum += params.IncrementCount[i];
  }
  return sum >= 1 && sum <= kProfileCapacity - 1 ? 0 : kFirstIncrementCountItem;
}

}  // namespace korvane::ui
