#include "ui/MainUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>
#include <initializer_list>
#include <memory>
#include <utility>

#include "files/ComparisonCsv.h"
#include "files/DataFileWriter.h"
#include "files/InitialTensionFile.h"
#include "files/MaterialFile.h"
#include "files/NumberText.h"
#include "files/ProfileCsv.h"
#include "inputs/MaterialItems.h"
#include "inputs/ParameterItems.h"
#include "inputs/RangeChecks.h"
#include "inputs/SectionLengths.h"
#include "inputs/TextConversion.h"
#include "ui/ColumnSchematic.h"
#include "ui/ConvergedComparison.h"
#include "ui/FitDialog.h"
#include "ui/FolderBrowser.h"
#include "ui/InputPages.h"
#include "ui/Look.h"
#include "ui/ResultFileClash.h"
#include "ui/ResultsPage.h"
#include "ui/UserDialogs.h"
#include "ui/WindowRun.h"

namespace korvane::ui {

namespace {

// The converged method's tolerance: the default of the "Solver" group, and its range.
constexpr const char* kDefaultToleranceText = "1E-03";
constexpr double kSmallestTolerance = kSmallestConvergedTolerance;
constexpr double kLargestTolerance = kLargestConvergedTolerance;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The page of an item's field: the material data on the first, the rest on the second.
int PageOfGroup(ItemGroup group) {
  switch (group) {
    case ItemGroup::SpinningDope:
    case ItemGroup::Solvent:
    case ItemGroup::SolventGas:
      return 0;
    default:
      return 1;
  }
}

}  // namespace

TMainForm::TMainForm(RunContext& context, UserDialogs& dialogs, std::string tensionFilePath,
                     QWidget* parent)
    : QWidget(parent),
      context_(context),
      dialogs_(dialogs),
      tensionFilePath_(std::move(tensionFilePath)) {
  setObjectName("MainForm");
  setWindowTitle(kMainCaption);
  SetPixelFont(this, 12);

  TabbedNotebook1 = new QTabWidget(this);
  TabbedNotebook1->setObjectName("TabbedNotebook1");
  TabbedNotebook1->tabBar()->setFocusPolicy(Qt::NoFocus);
  TabbedNotebook1->addTab(BuildPage1(), "Input Condition 1");
  TabbedNotebook1->addTab(BuildPage2(), "Input Condition 2");
  RadioGroups = inputs_.RadioGroups;
  JacketedButtons = inputs_.JacketedButtons;
  InsulatedButtons = inputs_.InsulatedButtons;
  SummaryLabels = inputs_.SummaryLabels;
  Results = new ResultsPage;
  TabbedNotebook1->addTab(Results, "Results");
  connect(Results, &ResultsPage::ExportCsvRequested, this, &TMainForm::ExportCsvClick);
  connect(Results, &ResultsPage::UseFittedValuesRequested, this, &TMainForm::UseFittedValues);
  Results->SetDialogs(&dialogs_, [this] { return CurrentFolder(); });
  Comparison = new ConvergedComparison(this);
  connect(Comparison, &ConvergedComparison::Finished, this,
          [this](const std::shared_ptr<const ComparisonResult>& result) {
            Results->ShowComparison(result);
          });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(TabbedNotebook1);

  for (int number = 1; number <= kItemCount; ++number) {
    itemPages_[number - 1] = PageOfGroup(ItemByNumber(number).Group);
  }
  SetTabSequence();

  // Alt+O and Alt+C press OK and Close from every page, not only from the one that shows the
  // buttons: elsewhere the keys would reach the focused field as text.
  for (QPushButton* button : {BitBtn1, BitBtn2}) {
    const QKeySequence mnemonic = button->shortcut();
    button->setShortcut(QKeySequence());
    auto* shortcut = new QShortcut(mnemonic, this);
    connect(shortcut, &QShortcut::activated, button, [this, button] {
      if (!running_) button->animateClick();
    });
  }
  // Any other Alt key in a field is a mnemonic the window does not have, never text.
  for (QLineEdit* field : inputs_.ItemFields) field->installEventFilter(this);
  Edit44->installEventFilter(this);

  resize(682, 570);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  FormCreate();
}

bool TMainForm::OpenFolder(const QString& path) {
  return Folders->OpenFolder(path);
}

QString TMainForm::CurrentFolder() const {
  return Folders->CurrentFolder();
}

void TMainForm::RefreshFileList() {
  Folders->RefreshFileList();
}

QLineEdit* TMainForm::ItemField(int number) const {
  return inputs_.ItemFields.at(number - 1);
}

int TMainForm::ItemPage(int number) const {
  return itemPages_.at(number - 1);
}

// ---------------------------------------------------------------------------------------------
// Building the pages.

QWidget* TMainForm::BuildPage1() {
  auto* page = new QWidget;
  page->setObjectName("InputCondition1");
  InputPageBuilder builder(inputs_);
  QGroupBox* dope = BuildDopeGroup(builder, page);
  QGroupBox* solvent = BuildSolventGroup(builder, page);

  // The working folder: drive, folder tree, file list with its filter.
  Folders = new FolderBrowser(dialogs_, page);
  DriveComboBox1 = Folders->DriveBox;
  DirectoryListBox1 = Folders->FolderTree;
  FileListBox1 = Folders->FileList;
  FilterComboBox1 = Folders->FilterBox;

  QGroupBox* save = new QGroupBox("Save File Name", page);
  save->setObjectName("GroupBox4");
  SetTextColor(save, kRed);
  save->setFixedWidth(141);
  Edit44 = new QLineEdit("result.txt", save);
  Edit44->setObjectName("Edit44");
  auto* saveLayout = new QVBoxLayout(save);
  saveLayout->setContentsMargins(6, 4, 6, 6);
  saveLayout->addWidget(Edit44);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK(&O)", page);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setFixedSize(115, 42);
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "Close(&C)", page);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setFixedSize(115, 42);
  InputDataBtn = new QPushButton("Input Data File", page);
  InputDataBtn->setObjectName("InputDataBtn");
  InputDataBtn->setFixedSize(140, 30);
  SaveDataBtn = new QPushButton("Save Data File", page);
  SaveDataBtn->setObjectName("SaveDataBtn");
  SaveDataBtn->setFixedSize(140, 30);
  BitBtn3 = new QPushButton("Change Initial Tension", page);
  BitBtn3->setObjectName("BitBtn3");
  BitBtn3->setFixedSize(140, 30);
  connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TMainForm::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TMainForm::BitBtn3Click);
  connect(InputDataBtn, &QPushButton::clicked, this, &TMainForm::InputDataBtnClick);
  connect(SaveDataBtn, &QPushButton::clicked, this, &TMainForm::SaveDataBtnClick);
  MaterialBtn = new QPushButton(QStringLiteral("Material\u2026"), page);
  MaterialBtn->setObjectName("MaterialBtn");
  MaterialBtn->setFixedSize(140, 30);
  FitBtn = new QPushButton(QStringLiteral("Fit to Measurements\u2026"), page);
  FitBtn->setObjectName("FitBtn");
  FitBtn->setFixedSize(140, 30);
  FitBtn->setToolTip(
      "Fit items of this case to measured values along the line (a CSV file), with their "
      "confidence intervals");
  connect(FitBtn, &QPushButton::clicked, this, &TMainForm::FitBtnClick);
  EditFixedBox = new QCheckBox("Edit fixed items", page);
  EditFixedBox->setObjectName("EditFixedBox");
  connect(MaterialBtn, &QPushButton::clicked, this, &TMainForm::MaterialBtnClick);
  connect(EditFixedBox, &QCheckBox::toggled, this, &TMainForm::EditFixedToggled);

  Panel1 = new QFrame(page);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(2);
  Panel1->setFixedWidth(177);
  Image1 = new ColumnSchematic(Panel1);
  Image1->setObjectName("Image1");
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(2, 2, 2, 2);
  panelLayout->addWidget(Image1);

  auto* actions = new QVBoxLayout;
  actions->setSpacing(0);
  actions->addWidget(save);
  actions->addSpacing(20);
  actions->addWidget(BitBtn1, 0, Qt::AlignHCenter);
  actions->addSpacing(16);
  actions->addWidget(BitBtn2, 0, Qt::AlignHCenter);
  actions->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(10);
  bottom->addWidget(Folders);
  bottom->addStretch();
  bottom->addLayout(actions);

  auto* left = new QVBoxLayout;
  left->setSpacing(8);
  left->addWidget(dope);
  left->addWidget(solvent);
  left->addLayout(bottom, 1);

  auto* right = new QVBoxLayout;
  right->setSpacing(0);
  right->addSpacing(7);
  right->addWidget(Panel1, 1);
  right->addSpacing(12);
  right->addWidget(InputDataBtn, 0, Qt::AlignHCenter);
  right->addSpacing(6);
  right->addWidget(SaveDataBtn, 0, Qt::AlignHCenter);
  right->addSpacing(12);
  right->addWidget(BitBtn3, 0, Qt::AlignHCenter);
  right->addSpacing(6);
  right->addWidget(MaterialBtn, 0, Qt::AlignHCenter);
  right->addSpacing(6);
  right->addWidget(FitBtn, 0, Qt::AlignHCenter);
  right->addSpacing(4);
  right->addWidget(EditFixedBox, 0, Qt::AlignHCenter);
  right->addSpacing(8);

  auto* pageLayout = new QHBoxLayout(page);
  pageLayout->setContentsMargins(11, 4, 11, 6);
  pageLayout->setSpacing(11);
  pageLayout->addLayout(left, 1);
  pageLayout->addLayout(right);

  // Enter in any entry field of this page presses OK.
  for (QLineEdit* field : page->findChildren<QLineEdit*>()) {
    connect(field, &QLineEdit::returnPressed, this, &TMainForm::BitBtn1Click);
  }
  return page;
}

QWidget* TMainForm::BuildPage2() {
  InputPageBuilder builder(inputs_);
  QWidget* page =
      BuildSecondInputPage(builder, [this](QWidget* parent) { return BuildSolverGroup(parent); });
  // Leaving any step field refreshes the summary.
  for (int number = kFirstIncrementItem; number < kFirstIncrementCountItem + kSectionCount;
       ++number) {
    ItemField(number)->installEventFilter(this);
  }
  return page;
}

QWidget* TMainForm::BuildSolverGroup(QWidget* parent) {
  SolverGroup = new QWidget(parent);
  SolverGroup->setObjectName("SolverGroup");
  SolverMethodBox = new QComboBox(SolverGroup);
  SolverMethodBox->setObjectName("SolverMethodBox");
  SolverMethodBox->addItem("Classic");
  SolverMethodBox->addItem("Converged");
  SolverMethodBox->setToolTip(
      "Classic: the fixed-step march on the increments above, checked against the converged "
      "method in the background.\nConverged: the same model solved to the tolerance, with an "
      "estimate of its error.");
  ToleranceEdit = new QLineEdit(kDefaultToleranceText, SolverGroup);
  ToleranceEdit->setObjectName("ToleranceEdit");
  ToleranceEdit->setAlignment(Qt::AlignRight);
  ToleranceEdit->setFixedWidth(ToleranceEdit->fontMetrics().horizontalAdvance('0') * 6 + 8);
  ToleranceEdit->setToolTip("Relative accuracy of the converged method, 1E-08 .. 1E-02");
  auto* caption = MakeLabel("Solver", SolverGroup);
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  auto* row = Row({caption, SolverMethodBox, MakeLabel("Tolerance", SolverGroup), ToleranceEdit});
  row->setContentsMargins(0, 0, 0, 0);
  SolverGroup->setLayout(row);
  return SolverGroup;
}

std::optional<RunOptions> TMainForm::ChosenRunOptions() const {
  RunOptions options;
  options.Method =
      SolverMethodBox->currentIndex() == 1 ? SolverMethod::Converged : SolverMethod::Classic;
  double tolerance = 0;
  if (!ConvertDecimal(ToleranceEdit->text().trimmed().toStdString(), tolerance) ||
      !(tolerance >= kSmallestTolerance && tolerance <= kLargestTolerance))
    return std::nullopt;
  options.Converged.Tolerance = tolerance;
  return options;
}

// Tab moves through the entry fields and the radio groups only, page by page and row by row;
// in "Calculation Accuracy" down the increments first, then down the counts.
void TMainForm::SetTabSequence() {
  const int order[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 51,
                       18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                       36, 37, 38, 39, 40, -1, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50};
  std::vector<QWidget*> sequence;
  for (int number : order) {
    if (number > 0) {
      sequence.push_back(ItemField(number));
    } else {
      for (int j = 0; j < kJacketCount; ++j) {
        sequence.push_back(JacketedButtons[j]);
        sequence.push_back(InsulatedButtons[j]);
      }
    }
  }
  sequence.push_back(SolverMethodBox);
  sequence.push_back(ToleranceEdit);
  for (size_t i = 1; i < sequence.size(); ++i) setTabOrder(sequence[i - 1], sequence[i]);

  for (QWidget* widget : std::initializer_list<QWidget*>{
           Edit44, BitBtn1, BitBtn2, BitBtn3, InputDataBtn, SaveDataBtn, MaterialBtn, FitBtn,
           EditFixedBox, DriveComboBox1, DirectoryListBox1, FileListBox1, FilterComboBox1}) {
    widget->setFocusPolicy(Qt::ClickFocus);
  }
}

// ---------------------------------------------------------------------------------------------
// Events.

void TMainForm::FormCreate() {
  const InitialTensionRead read = ReadInitialTensionFile(tensionFilePath_);
  if (!read.Ok) {
    context_.Params.InitialTensionText.clear();
    dialogs_.Message(kInitialTensionCannotOpen);
    return;
  }
  context_.Params.InitialTensionText = read.Text;
}

void TMainForm::FormShow() {
  UpdateSectionLengths();
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Closed during a run: the run is cancelled at its next pass and the window closes when the
  // run has ended, so that nothing the run uses goes away under it.
  if (running_) {
    closeRequested_ = true;
    stopRequested_ = true;
    event->ignore();
    return;
  }
  Comparison->Cancel();
  event->accept();
  emit FormClosed();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    // Alt with a letter is a mnemonic; Alt with a key that types nothing (an arrow) may move.
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if ((modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier) &&
        !key->text().isEmpty())
      return true;
  }
  if (event->type() == QEvent::FocusOut && IsStepField(watched)) {
    // Focus leaving for another window (a message box, a menu) is not leaving the field.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) Edit38Exit();
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::Edit38Exit() {
  UpdateSectionLengths();
}

void TMainForm::BitBtn1Click() {
  if (running_) return;
  // A run pressed from a step field (Enter, Alt+O) leaves it: the summary follows its text
  // whatever becomes of the run.
  UpdateSectionLengths();
  running_ = true;
  closeRequested_ = false;
  stopRequested_ = false;
  const std::optional<RunOptions> options = ChosenRunOptions();
  if (!options) {
    running_ = false;
    dialogs_.Message(kToleranceOutOfRange);
    TabbedNotebook1->setCurrentIndex(1);
    ToleranceEdit->setFocus(Qt::OtherFocusReason);
    ToleranceEdit->selectAll();
    return;
  }
  const FieldTexts texts = FieldTextsOfWindow();
  // The result file may not replace a file the user works from.
  if (const std::optional<std::string> clash =
          ResultFileClash(texts.ResultFileName, {{"the data file", DataFileName},
                                                 {"the data file", savedDataFileName_},
                                                 {"the material file", materialFileName_},
                                                 {"the initial tension file", tensionFilePath_}})) {
    running_ = false;
    dialogs_.Message(QFile::decodeName(QByteArray::fromStdString(*clash)));
    TabbedNotebook1->setCurrentIndex(0);
    Edit44->setFocus(Qt::OtherFocusReason);
    Edit44->selectAll();
    return;
  }
  int failedItem = 0;
  {
    RunInputBlocker blocker(*this, stopRequested_);
    WindowRunEnvironment environment(*this, dialogs_, progressDelayMs_, stopRequested_, texts,
                                     options->Converged.Tolerance);
    // The shown results' profile and state, for their export, while the run fills new ones.
    std::optional<SpinningLineProfile> shownProfile;
    const SimulationState shownState = context_.State;
    if (Results->HasResults()) shownProfile.emplace(std::move(*context_.Profile));
    RunOptions runOptions = *options;
    runOptions.Converged.Cancelled = [&environment] { return !environment.KeepGoingWithinPass(); };
    try {
      const RunReport report = RunDriver(context_, texts, environment, runOptions);
      failedItem = report.Read.FailedItem;
      if (report.Outcome == RunOutcome::InputRefused && report.Read.Ok) {
        failedItem = StepCountItemToFix(context_.Params);
      }
      if (!environment.Replaced()) {
        // Nothing replaced the shown results: they stay, with their comparison.
        if (shownProfile) {
          *context_.Profile = std::move(*shownProfile);
          context_.State = shownState;
        }
        if (environment.ComparisonDropped()) {
          Comparison->Start(resultParams_, comparisonTolerance_, resultLaws_, resultLawConstants_);
          Results->ShowComparisonRunning();
        }
      }
      if (report.PrintedPointCount > 0) {
        // The page and its export keep the inputs of the run they show.
        resultParams_ = context_.Params;
        resultLaws_ = texts.Laws;
        resultLawConstants_ = texts.LawConstants;
        Results->ShowResults(resultParams_, *context_.Profile, context_.State,
                             report.PrintedPointCount, report.Outcome);
        if (report.Converged) {
          Results->ShowConvergedRun(*report.Converged, options->Converged.Tolerance);
        } else if (report.Outcome == RunOutcome::Success) {
          // How far the classic grid is off: the same case, converged, without blocking.
          comparisonTolerance_ = options->Converged.Tolerance;
          Comparison->Start(resultParams_, comparisonTolerance_, resultLaws_, resultLawConstants_);
          Results->ShowComparisonRunning();
        }
      }
    } catch (const std::exception& error) {
      // A failure that no stage reported ends the run; the user still learns of it.
      environment.SetBusyCursor(false);
      Comparison->Cancel();
      Results->Clear();
      dialogs_.Message(QStringLiteral("The calculation stopped: %1").arg(Utf8(error.what())));
    }
  }
  running_ = false;
  if (closeRequested_) {
    close();
    return;
  }
  // Show the user which field did not convert.
  if (failedItem >= 1 && failedItem <= kItemCount) ShowItemField(failedItem);
}

void TMainForm::BitBtn2Click() {
  close();
}

void TMainForm::BitBtn3Click() {
  dialogs_.ShowInitialTension();
}

void TMainForm::InputDataBtnClick() {
  if (running_) return;
  const QString path = dialogs_.OpenDataFile(CurrentFolder());
  if (path.isEmpty()) {
    dialogs_.Message(kSelectOneDataFile);
    return;
  }
  DataFileName = QFile::encodeName(path).toStdString();
  const DataFileLoad load = LoadDataFile(DataFileName);
  if (!load.Ok) {
    dialogs_.Message(QFile::decodeName(QByteArray::fromStdString(load.Message)));
    return;
  }
  ShowDataFileValues(load.Values);
}

void TMainForm::SaveDataBtnClick() {
  if (running_) return;
  const QString path = dialogs_.SaveFile("Save Data File", CurrentFolder(), "Text files (*.txt)");
  if (path.isEmpty()) return;
  const std::string name = QFile::encodeName(path).toStdString();
  const FileResult saved = DataFileWriter(name, FieldTextsOfWindow());
  if (saved.ok()) savedDataFileName_ = name;
  if (!saved.ok()) dialogs_.Message(QFile::decodeName(QByteArray::fromStdString(saved.Message)));
  // A data file has no place for property laws: say so rather than lose them unnoticed.
  if (saved.ok() && (!laws_.empty() || !lawConstants_.empty()))
    dialogs_.Message(
        "The data file does not keep the property laws in effect; save a case file to keep "
        "them.");
  // The saved file, or what a failed write left, shows in the list.
  RefreshFileList();
}

void TMainForm::MaterialBtnClick() {
  if (running_) return;
  // The laws in effect show below the source.
  std::string source = materialSource_;
  if (!laws_.empty()) source += "\n\nProperty laws given as formulas:";
  for (const auto& [law, formula] : laws_) source += "\n" + law + " = " + formula;
  if (!lawConstants_.empty()) source += "\n\nLaw constants:";
  for (const auto& [name, value] : lawConstants_) source += "\n" + name + " = " + value;
  const MaterialChoice choice = dialogs_.ChooseMaterial(Utf8(materialName_), Utf8(source));
  FieldTexts texts = FieldTextsOfWindow();
  if (choice == MaterialChoice::BuiltIn) {
    for (const ParameterItem& item : ParameterItems()) {
      if (IsMaterialItem(item)) texts.Items[item.Number - 1] = item.DefaultText;
    }
    texts.Laws.clear();
    texts.LawConstants.clear();
    materialName_ = kBuiltInMaterialName;
    materialSource_ = kBuiltInMaterialSource;
  } else if (choice == MaterialChoice::LoadFile) {
    const QString path = dialogs_.OpenMaterialFile(CurrentFolder());
    if (path.isEmpty()) return;
    const std::string name = QFile::encodeName(path).toStdString();
    const MaterialLoad load = LoadMaterialFile(name);
    if (!load.Ok) {
      dialogs_.Message(QFile::decodeName(QByteArray::fromStdString(load.Message)));
      return;
    }
    materialFileName_ = name;
    ApplyMaterial(load.Value, texts);
    materialName_ = load.Value.Name;
    materialSource_ = load.Value.Source;
  } else {
    return;
  }
  ShowFieldTexts(texts);
}

void TMainForm::FitBtnClick() {
  if (running_) return;
  if (FitWindow == nullptr) {
    FitWindow = new FitDialog(
        dialogs_, [this] { return FieldTextsOfWindow(); }, [this] { return CurrentFolder(); },
        this);
    connect(FitWindow, &FitDialog::Fitted, this,
            [this](const std::shared_ptr<const FitOutcome>& outcome) {
              Results->ShowFit(outcome);
              TabbedNotebook1->setCurrentWidget(Results);
            });
  }
  FitWindow->RefreshStartValues();
  FitWindow->show();
  FitWindow->raise();
  FitWindow->activateWindow();
}

namespace {

// The shortest "1E-04"-style text that reads back as the value.
QString ToleranceText(double tolerance) {
  for (int digits = 0; digits < 17; ++digits) {
    const QString text = QString::number(tolerance, 'E', digits);
    if (text.toDouble() == tolerance) return text;
  }
  return QString::number(tolerance, 'E', 16);
}

}  // namespace

void TMainForm::UseFittedValues() {
  const FitOutcome* fit = Results->ShownFit();
  if (running_ || fit == nullptr || fit->Result.Status != FitStatus::Fitted) return;
  QStringList fixed;
  for (const FitEstimate& estimate : fit->Result.Parameters) {
    if (estimate.Item == 0) continue;  // a law constant has no field
    const ParameterItem& item = ItemByNumber(estimate.Item);
    if (item.Fixed && !EditFixedBox->isChecked()) fixed << Utf8(ItemDisplayName(item));
  }
  if (!fixed.isEmpty()) {
    const QString text =
        QStringLiteral(
            "The fitted values were not put into the fields: %1 %2 fixed. Tick \"Edit "
            "fixed items\" on Input Condition 1 and press \"Use fitted values\" "
            "again.")
            .arg(fixed.join(", "), fixed.size() == 1 ? "is" : "are");
    Results->FitNoteLabel->setText(text);
    Results->FitNoteLabel->show();
    dialogs_.Message(text);
    return;
  }
  // A law constant has no field: the fitted one goes into the constants of the laws the window
  // holds, as the fit left them.
  QStringList constants;
  for (const FitEstimate& estimate : fit->Result.Parameters) {
    if (estimate.Item == 0) {
      for (auto& [name, value] : lawConstants_) {
        if (name != estimate.Name) continue;
        for (const auto& [fittedName, fittedValue] : fit->Result.FittedTexts.LawConstants)
          if (fittedName == name) value = fittedValue;
        constants << Utf8(name + " = " + value);
      }
      continue;
    }
    ItemField(estimate.Item)
        ->setText(Utf8(fit->Result.FittedTexts.Items[static_cast<size_t>(estimate.Item - 1)]));
  }
  // The model as the fit ran it.
  const bool converged = fit->Options.Method == SolverMethod::Converged;
  SolverMethodBox->setCurrentIndex(converged ? 1 : 0);
  if (converged) ToleranceEdit->setText(ToleranceText(fit->Options.Converged.Tolerance));
  Results->FitNoteLabel->setText(
      QStringLiteral("The fitted values are in their fields%2 and the solver is set as the fit "
                     "ran it (%1): press OK to run the fitted case.")
          .arg(converged ? QStringLiteral("converged, tolerance %1")
                               .arg(ToleranceText(fit->Options.Converged.Tolerance))
                         : QStringLiteral("classic"),
               constants.isEmpty()
                   ? QString()
                   : QStringLiteral(", the fitted law constants (%1) in the case's laws")
                         .arg(constants.join(", "))));
  Results->FitNoteLabel->show();
}

void TMainForm::EditFixedToggled(bool editable) {
  for (const ParameterItem& item : ParameterItems()) {
    if (item.Fixed) ItemField(item.Number)->setEnabled(editable);
  }
}

void TMainForm::ExportCsvClick() {
  if (running_ || !Results->HasResults()) return;
  // The table is named after the result file of the run, in the working folder.
  QString name =
      QFileInfo(QFile::decodeName(QByteArray::fromStdString(resultParams_.ResultFileName)))
          .completeBaseName();
  if (name.isEmpty()) name = QStringLiteral("result");
  const QString path = dialogs_.SaveFile(
      "Export CSV", QDir(CurrentFolder()).filePath(name + ".csv"), "CSV files (*.csv)");
  if (path.isEmpty()) return;
  // With the converged line of the same case beside the run's columns, when there is one.
  const std::string file = QFile::encodeName(path).toStdString();
  const ComparisonResult* comparison = Results->ShownComparison();
  const FileResult written =
      comparison != nullptr
          ? WriteComparisonCsv(file, resultParams_, *context_.Profile, context_.State,
                               Results->PointCount(), *comparison->Profile, comparison->State,
                               comparison->PointCount)
          : WriteProfileCsv(file, resultParams_, *context_.Profile, context_.State,
                            Results->PointCount());
  if (!written.ok())
    dialogs_.Message(QFile::decodeName(QByteArray::fromStdString(written.Message)));
  RefreshFileList();
}

void TMainForm::ShowDataFileValues(const DataFileValues& values) {
  // The fixed fields keep their texts; every other field and the jackets take the file's.
  FieldTexts texts = FieldTextsOfWindow();
  ApplyDataFileValues(values, texts);
  // With "Edit fixed items" ticked the fixed fields take the file's texts too.
  if (EditFixedBox->isChecked()) {
    for (const ParameterItem& item : ParameterItems()) {
      if (item.Fixed) texts.Items[item.Number - 1] = values.Items[item.Number - 1];
    }
  }
  ShowFieldTexts(texts);
  for (int j = 0; j < kJacketCount; ++j) {
    (texts.Jacketed[j] ? JacketedButtons[j] : InsulatedButtons[j])->setChecked(true);
  }
  if (!UpdateSectionLengths()) {
    dialogs_.Message(QStringLiteral("\"%1\" value is not a number; the section lengths were "
                                    "not updated.")
                         .arg(FirstBadStepField()));
  }
}

// ---------------------------------------------------------------------------------------------
// Reading the fields and the summary.

FieldTexts TMainForm::FieldTextsOfWindow() const {
  FieldTexts texts;
  for (int number = 1; number <= kItemCount; ++number) {
    texts.Items[number - 1] = ItemField(number)->text().toStdString();
  }
  for (int j = 0; j < kJacketCount; ++j) texts.Jacketed[j] = JacketedButtons[j]->isChecked();
  texts.ResultFileName = Edit44->text().toStdString();
  texts.InitialTensionText = context_.Params.InitialTensionText;
  texts.Laws = laws_;
  texts.LawConstants = lawConstants_;
  return texts;
}

bool TMainForm::UpdateSectionLengths() {
  std::array<std::string, kSectionCount> increments;
  std::array<std::string, kSectionCount> counts;
  for (int i = 0; i < kSectionCount; ++i) {
    increments[i] = ItemField(kFirstIncrementItem + i)->text().toStdString();
    counts[i] = ItemField(kFirstIncrementCountItem + i)->text().toStdString();
  }
  const std::optional<SectionLengths> lengths = ComputeSectionLengths(increments, counts);
  if (!lengths) return false;
  ShowSectionLengths(*lengths);
  context_.Params.TotalSpinningLength = lengths->Total;
  return true;
}

void TMainForm::ShowSectionLengths(const SectionLengths& lengths) {
  for (size_t i = 0; i < SummaryLabels.size(); ++i) {
    const double length = i < kSectionCount ? lengths.Lengths[i] : lengths.Total;
    SummaryLabels[i]->setText(Utf8(PanelText(length)));
  }
}

// The label of the first step field, in the order the summary reads them, that does not convert.
QString TMainForm::FirstBadStepField() const {
  for (int i = 0; i < kSectionCount; ++i) {
    for (int number : {kFirstIncrementItem + i, kFirstIncrementCountItem + i}) {
      const ParameterItem& item = ItemByNumber(number);
      const std::string text = ItemField(number)->text().toStdString();
      if (!ConvertItemText(item, text)) return Utf8(item.EntryLabel);
    }
  }
  return {};
}

bool TMainForm::IsStepField(const QObject* object) const {
  for (int number = kFirstIncrementItem; number < kFirstIncrementCountItem + kSectionCount;
       ++number) {
    if (ItemField(number) == object) return true;
  }
  return false;
}

void TMainForm::ShowFieldTexts(const FieldTexts& texts) {
  laws_ = texts.Laws;
  lawConstants_ = texts.LawConstants;
  for (int number = 1; number <= kItemCount; ++number) {
    const QString text = Utf8(texts.Items[number - 1]);
    if (ItemField(number)->text() != text) ItemField(number)->setText(text);
  }
}

void TMainForm::ShowItemField(int number) {
  TabbedNotebook1->setCurrentIndex(ItemPage(number));
  ItemField(number)->setFocus(Qt::OtherFocusReason);
  ItemField(number)->selectAll();
}

}  // namespace korvane::ui
