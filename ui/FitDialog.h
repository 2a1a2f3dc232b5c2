// The "Fit to Measurements" dialog: the measurements file, the items to fit with their bounds,
// the method, and the fit itself on a thread of its own with its progress and a Cancel.
// The window's fields give the case (read when Fit is pressed); a fit that converges is handed
// to the main window, which shows it on the Results page.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/MeasurementsCsv.h"
#include "fit/MeasurementFit.h"
#include "inputs/FieldTexts.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QThread;

namespace korvane::ui {

class UserDialogs;

// What a fit from the dialog left: the library's result, the measurements it was fitted to
// and how the model was run.
struct FitOutcome {
  FitResult Result;
  std::vector<Measurement> Measurements;
  std::string MeasurementsFile;
  RunOptions Options;
  double LineLength = 0;  // cm, of the fitted case
};

class FitDialog : public QDialog {
  Q_OBJECT

 public:
  // caseTexts: the case as the window's fields give it now; folder: where the file dialog
  // starts.
  FitDialog(UserDialogs& dialogs, std::function<FieldTexts()> caseTexts,
            std::function<QString()> folder, QWidget* parent = nullptr);
  // Cancels a fit under way and waits for its thread.
  ~FitDialog() override;
  FitDialog(const FitDialog&) = delete;
  FitDialog& operator=(const FitDialog&) = delete;

  // Reads and checks the file against the case's line; false with the file's message (naming
  // the line) shown under the file name.
  bool LoadMeasurements(const QString& path);
  // Ticks or unticks the row of item 1..51 (false when the item has no row).
  bool SetParameterTicked(int item, bool ticked);
  // The table's row of item 1..51, or -1.
  int ParameterRow(int item) const;
  // The start values from the fields as they are now, and a row for each constant of the
  // case's laws (below the items; a constant that stays keeps its tick and bounds).
  void RefreshStartValues();
  // The table's row of the law constant, or -1.
  int ConstantRow(const std::string& name) const;
  // The converged method's radial intervals for the fit's runs (0, the default: the automatic
  // grid, as the window's own runs).
  void SetRadialIntervals(int intervals) { radialIntervals_ = intervals; }

  // Checks the choices and starts the fit on its thread; false, with the reason in the log,
  // when something is missing or wrong.
  bool StartFit();
  // Asks the fit under way to stop; it ends at its next check, within a run.
  void CancelFit();
  bool Running() const { return running_; }
  // The last fit that ended (whatever its status), or nullptr.
  const FitOutcome* LastOutcome() const { return last_.get(); }

  QLineEdit* FileEdit = nullptr;
  QPushButton* BrowseBtn = nullptr;
  QLabel* FileStatusLabel = nullptr;
  // A row per decimal item: ticked to fit; label, script name, start value, low and high bound.
  QTableWidget* ParameterTable = nullptr;
  QComboBox* MethodBox = nullptr;  // "Converged" (0) or "Classic" (1)
  QLabel* MethodNote = nullptr;
  QLineEdit* ToleranceEdit = nullptr;
  QComboBox* LossBox = nullptr;  // "Linear" (0) or "Huber" (1)
  QPlainTextEdit* ProgressLog = nullptr;
  QPushButton* FitBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QPushButton* CloseBtn = nullptr;

  static constexpr int kTickColumn = 0;  // the item's label, checkable
  static constexpr int kNameColumn = 1;
  static constexpr int kStartColumn = 2;
  static constexpr int kLowColumn = 3;
  static constexpr int kHighColumn = 4;

 signals:
  // A fit converged (every parameter determined, or not all): on the dialog's thread.
  void Fitted(std::shared_ptr<const FitOutcome> outcome);

 public slots:
  // Esc and the close box: a fit under way is cancelled and the dialog stays; else it closes.
  void reject() override;

 private:
  void Browse();
  void ShowProgress(const FitProgress& progress);
  void FitEnded(std::shared_ptr<FitOutcome> outcome);
  void SetRunning(bool running);
  void Log(const QString& line);
  // The ticked parameters with their bounds; empty, with error set, when a bound is not a
  // number, they do not read low below high, or the start value lies outside them.
  std::optional<std::vector<FitParameter>> ChosenParameters(const FieldTexts& texts,
                                                            QString& error) const;

  UserDialogs& dialogs_;
  std::function<FieldTexts()> caseTexts_;
  std::function<QString()> folder_;
  std::vector<Measurement> measurements_;
  std::string measurementsFile_;
  std::vector<int> rowItems_;              // the item number of each row; 0 for a law constant
  std::vector<std::string> rowConstants_;  // the law constant's name of each row (items: empty)
  std::vector<std::string> parameterNames_;
  int radialIntervals_ = 0;
  bool running_ = false;
  std::shared_ptr<std::atomic<bool>> cancelled_;
  QThread* thread_ = nullptr;
  std::shared_ptr<const FitOutcome> last_;
};

}  // namespace korvane::ui
