// The main window: the inputs of a run on two pages, the section-length summary, the working
// folder with its files, the buttons that run, load and save a data file and change the
// initial tension, and a third page with the results of the last run.
#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "files/DataFile.h"
#include "inputs/FieldTexts.h"
#include "run/RunDriver.h"
#include "ui/InputPages.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace korvane::ui {

class ColumnSchematic;
class ConvergedComparison;
class FitDialog;
class FolderBrowser;
class ResultsPage;
class UserDialogs;

inline constexpr const char* kMainCaption = "Korvane Ver. " KORVANE_VERSION;
inline constexpr const char* kSelectOneDataFile = "Select one data file! Please try again.";
inline constexpr const char* kBuiltInMaterialName = "Built-in material";
inline constexpr const char* kBuiltInMaterialSource =
    "The built-in defaults of Korvane's input items (items 1-25 and 51); no other source.";
inline constexpr const char* kToleranceOutOfRange =
    "\"Tolerance\" value should be a number between 1E-08 and 1E-02!";

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // context: the program's run record, profile and state. tensionFilePath: the initial
  // tension file, read here at creation.
  TMainForm(RunContext& context, UserDialogs& dialogs, std::string tensionFilePath,
            QWidget* parent = nullptr);

  // The entry field of item 1..51.
  QLineEdit* ItemField(int number) const;
  // The page (0 or 1) that holds the entry field of item 1..51.
  int ItemPage(int number) const;

  // The field texts as a run reads them, with the initial tension text of the run record.
  FieldTexts FieldTextsOfWindow() const;
  // Recomputes the section lengths from the step fields, shows them and stores the total into
  // the run record. False, with nothing changed, when a step field does not convert.
  bool UpdateSectionLengths();
  void ShowSectionLengths(const SectionLengths& lengths);

  // Makes a folder the working folder: the process's current directory, the folder tree and
  // the file list follow it. False when the folder cannot be entered.
  bool OpenFolder(const QString& path);
  QString CurrentFolder() const;
  // Re-reads the file list from the working folder with the chosen filter.
  void RefreshFileList();

  void FormCreate();
  void FormShow();
  // Fills the entry fields and the radio groups from a data file, then the summary. The fixed
  // fields keep their texts unless "Edit fixed items" is ticked.
  void ShowDataFileValues(const DataFileValues& values);

  // How long a run goes on before its progress window opens (half a second by default).
  void SetProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }
  // A run is going on: the window takes no input, and a close waits for the run's end.
  bool Running() const { return running_; }

  QTabWidget* TabbedNotebook1 = nullptr;
  QLineEdit* Edit44 = nullptr;
  std::array<QGroupBox*, kJacketCount> RadioGroups = {};
  std::array<QRadioButton*, kJacketCount> JacketedButtons = {};
  std::array<QRadioButton*, kJacketCount> InsulatedButtons = {};
  std::array<QLabel*, kSectionCount + 1> SummaryLabels = {};  // Label60 .. Label65
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;
  QPushButton* BitBtn3 = nullptr;
  QPushButton* InputDataBtn = nullptr;
  // The material of the dope, solvent and gas items: shown, loaded from a file or reset.
  QPushButton* MaterialBtn = nullptr;
  // Opens the "Fit to Measurements" dialog (made at the first press, kept after).
  QPushButton* FitBtn = nullptr;
  FitDialog* FitWindow = nullptr;
  // Unticked (the default), the fixed items' fields are disabled and a data file leaves them.
  QCheckBox* EditFixedBox = nullptr;
  QPushButton* SaveDataBtn = nullptr;
  ResultsPage* Results = nullptr;
  // The working folder and its parts.
  FolderBrowser* Folders = nullptr;
  QComboBox* DriveComboBox1 = nullptr;
  QTreeWidget* DirectoryListBox1 = nullptr;
  QListWidget* FileListBox1 = nullptr;
  QComboBox* FilterComboBox1 = nullptr;
  QFrame* Panel1 = nullptr;
  ColumnSchematic* Image1 = nullptr;
  // The "Solver" group: the method of a run and the tolerance of the converged method.
  QWidget* SolverGroup = nullptr;
  QComboBox* SolverMethodBox = nullptr;  // "Classic" (0) or "Converged" (1)
  QLineEdit* ToleranceEdit = nullptr;
  // The converged method run in the background after every classic run.
  ConvergedComparison* Comparison = nullptr;

 public slots:
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  void InputDataBtnClick();
  void SaveDataBtnClick();
  void MaterialBtnClick();
  void FitBtnClick();
  // The estimates of the fit shown on the Results page into their fields, and the "Solver"
  // group set as the fit ran the model, so that OK shows the fitted profile. Nothing changes,
  // with a message, when a fitted item is fixed and "Edit fixed items" is not ticked.
  void UseFittedValues();
  void EditFixedToggled(bool editable);
  void ExportCsvClick();
  void Edit38Exit();

 signals:
  // The window has been closed: the program ends.
  void FormClosed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildPage1();
  QWidget* BuildPage2();
  QWidget* BuildSolverGroup(QWidget* parent);
  // The method and tolerance chosen in the "Solver" group; nullopt when the tolerance is not a
  // number in its range.
  std::optional<RunOptions> ChosenRunOptions() const;
  void SetTabSequence();
  void ShowItemField(int number);
  void ShowFieldTexts(const FieldTexts& texts);
  QString FirstBadStepField() const;
  bool IsStepField(const QObject* object) const;

  RunContext& context_;
  UserDialogs& dialogs_;
  std::string tensionFilePath_;
  InputControls inputs_;  // the fields, jackets and length panels of the input pages
  std::array<int, kItemCount> itemPages_ = {};
  std::string DataFileName;            // the last data file chosen, as the file dialog gave it
  std::string savedDataFileName_;      // the last data file saved
  std::string materialFileName_;       // the last material file loaded
  double comparisonTolerance_ = 1e-3;  // of the comparison of the shown results
  bool running_ = false;
  bool closeRequested_ = false;  // the window was closed during a run: cancel, then close
  bool stopRequested_ = false;   // closed, or Esc pressed, during a run: cancel it
  RunParameters resultParams_;   // the inputs of the run whose results the page shows
  std::vector<std::pair<std::string, std::string>> resultLaws_;          // and its property laws
  std::vector<std::pair<std::string, std::string>> resultLawConstants_;  // with their constants
  int progressDelayMs_ = 500;
  bool shownOnce_ = false;
  std::string materialName_ = kBuiltInMaterialName;
  std::string materialSource_ = kBuiltInMaterialSource;
  // The property laws in effect (FieldTexts::Laws): a material's or a case file's.
  std::vector<std::pair<std::string, std::string>> laws_;
  // Their constants (FieldTexts::LawConstants), which have no field.
  std::vector<std::pair<std::string, std::string>> lawConstants_;
};

}  // namespace korvane::ui
