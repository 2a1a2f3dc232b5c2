#include "ui/FitDialog.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <utility>

#include "files/NumberText.h"
#include "fit/FitParameters.h"
#include "inputs/ParameterItems.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/SensitivityItems.h"
#include "inputs/TextConversion.h"
#include "ui/Look.h"
#include "ui/UserDialogs.h"

namespace korvane::ui {

namespace {

// The fit's default accuracy of the converged runs, and the range the window allows.
constexpr const char* kDefaultFitTolerance = "1E-04";

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FileName(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

QString BoundText(double bound) {
  return std::isfinite(bound) ? Utf8(ShortestText(bound)) : QString();
}

QString ValueText(double value) {
  return QString::number(value, 'g', 7);
}

QTableWidgetItem* ReadOnlyCell(const QString& text) {
  auto* cell = new QTableWidgetItem(text);
  cell->setFlags(cell->flags() & ~Qt::ItemIsEditable);
  return cell;
}

}  // namespace

FitDialog::FitDialog(UserDialogs& dialogs, std::function<FieldTexts()> caseTexts,
                     std::function<QString()> folder, QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      caseTexts_(std::move(caseTexts)),
      folder_(std::move(folder)) {
  setObjectName("FitDialog");
  setWindowTitle(QString::fromUtf8("Fit to Measurements"));
  SetPixelFont(this, 12);

  // The measurements file.
  FileEdit = new QLineEdit(this);
  FileEdit->setObjectName("FitFileEdit");
  FileEdit->setReadOnly(true);
  FileEdit->setPlaceholderText("quantity,z,value,sigma (CSV)");
  BrowseBtn = new QPushButton(QString::fromUtf8("Load\u2026"), this);
  BrowseBtn->setObjectName("FitBrowseBtn");
  connect(BrowseBtn, &QPushButton::clicked, this, &FitDialog::Browse);
  FileStatusLabel = new QLabel("No measurements loaded.", this);
  FileStatusLabel->setObjectName("FitFileStatus");
  FileStatusLabel->setWordWrap(true);
  FileStatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  FileStatusLabel->setToolTip(
      "A CSV file with the header quantity,z,value,sigma: a profile quantity as Export CSV names "
      "it without the unit, z in cm, the value in the export's unit and its standard deviation "
      "(empty: estimated from the residuals). The spinneret tension is tension at z = 0.");

  // The items that can be fitted: every decimal item, the fixed ones included.
  ParameterTable = new QTableWidget(0, 5, this);
  ParameterTable->setObjectName("FitParameterTable");
  ParameterTable->setHorizontalHeaderLabels({"Item", "Name", "Start", "Low", "High"});
  ParameterTable->verticalHeader()->hide();
  ParameterTable->verticalHeader()->setDefaultSectionSize(ParameterTable->fontMetrics().height() +
                                                          4);
  ParameterTable->setSelectionMode(QAbstractItemView::NoSelection);
  ParameterTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  ParameterTable->horizontalHeader()->setSectionResizeMode(kTickColumn, QHeaderView::Stretch);
  ParameterTable->setToolTip(
      "Tick the items (and the constants of the case's laws, below them) to fit. They start from "
      "the case's values; the estimate stays within Low and High (empty: no bound), prefilled "
      "from the item's range (a positive constant: above 0).");
  std::string error;
  for (const ParameterItem& item : ParameterItems()) {
    if (!SensitivityParameterFor(ItemName(item), error)) continue;
    const int row = ParameterTable->rowCount();
    ParameterTable->insertRow(row);
    rowItems_.push_back(item.Number);
    rowConstants_.emplace_back();
    QString label = Utf8(ItemDisplayName(item));
    if (item.Fixed) label += " (fixed)";
    QTableWidgetItem* tick = ReadOnlyCell(label);
    tick->setFlags(tick->flags() | Qt::ItemIsUserCheckable);
    tick->setCheckState(Qt::Unchecked);
    ParameterTable->setItem(row, kTickColumn, tick);
    ParameterTable->setItem(row, kNameColumn, ReadOnlyCell(Utf8(ItemName(item))));
    ParameterTable->setItem(row, kStartColumn, ReadOnlyCell({}));
    double low = 0, high = 0;
    DefaultBounds(item, low, high);
    ParameterTable->setItem(row, kLowColumn, new QTableWidgetItem(BoundText(low)));
    ParameterTable->setItem(row, kHighColumn, new QTableWidgetItem(BoundText(high)));
  }
  ParameterTable->setMinimumHeight(10 * ParameterTable->verticalHeader()->defaultSectionSize());

  // How the model is run and the loss.
  MethodBox = new QComboBox(this);
  MethodBox->setObjectName("FitMethodBox");
  MethodBox->addItem("Converged");
  MethodBox->addItem("Classic");
  MethodNote = new QLabel(this);
  MethodNote->setObjectName("FitMethodNote");
  MethodNote->setWordWrap(true);
  SetTextColor(MethodNote, QColor(0xb0, 0x60, 0x00));
  ToleranceEdit = new QLineEdit(kDefaultFitTolerance, this);
  ToleranceEdit->setObjectName("FitToleranceEdit");
  ToleranceEdit->setAlignment(Qt::AlignRight);
  ToleranceEdit->setFixedWidth(ToleranceEdit->fontMetrics().horizontalAdvance('0') * 6 + 8);
  ToleranceEdit->setToolTip("Relative accuracy of the converged runs, 1E-08 .. 1E-02");
  LossBox = new QComboBox(this);
  LossBox->setObjectName("FitLossBox");
  LossBox->addItem("Linear");
  LossBox->addItem("Huber");
  LossBox->setToolTip(
      "Linear: least squares. Huber: measurements beyond 1.345 sigma weigh less (outliers).");
  auto methodChanged = [this](int index) {
    const bool classic = index == 1;
    ToleranceEdit->setEnabled(!classic);
    MethodNote->setText(
        classic ? "The classic method's answer moves in steps with its inputs: its derivatives "
                  "come from differences and the fit may stop at a step."
                : QString());
    MethodNote->setVisible(classic);
  };
  connect(MethodBox, &QComboBox::currentIndexChanged, this, methodChanged);
  methodChanged(0);

  ProgressLog = new QPlainTextEdit(this);
  ProgressLog->setObjectName("FitProgressLog");
  ProgressLog->setReadOnly(true);
  ProgressLog->setMinimumHeight(6 * ProgressLog->fontMetrics().height());
  ProgressLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);

  FitBtn = new QPushButton("Fit", this);
  FitBtn->setObjectName("FitBtn");
  FitBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("FitCancelBtn");
  CancelBtn->setEnabled(false);
  CloseBtn = new QPushButton("Close", this);
  CloseBtn->setObjectName("FitCloseBtn");
  connect(FitBtn, &QPushButton::clicked, this, [this] { StartFit(); });
  connect(CancelBtn, &QPushButton::clicked, this, &FitDialog::CancelFit);
  connect(CloseBtn, &QPushButton::clicked, this, &FitDialog::reject);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(new QLabel("Measurements", this));
  fileRow->addWidget(FileEdit, 1);
  fileRow->addWidget(BrowseBtn);
  auto* methodRow = new QHBoxLayout;
  for (QWidget* widget : std::initializer_list<QWidget*>{
           new QLabel("Method", this), MethodBox, new QLabel("Tolerance", this), ToleranceEdit,
           new QLabel("Loss", this), LossBox}) {
    methodRow->addWidget(widget);
  }
  methodRow->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(FitBtn);
  buttons->addWidget(CancelBtn);
  buttons->addWidget(CloseBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fileRow);
  layout->addWidget(FileStatusLabel);
  layout->addWidget(new QLabel("Parameters to fit:", this));
  layout->addWidget(ParameterTable, 3);
  layout->addLayout(methodRow);
  layout->addWidget(MethodNote);
  layout->addWidget(new QLabel("Progress:", this));
  layout->addWidget(ProgressLog, 2);
  layout->addLayout(buttons);
  resize(860, 620);
  RefreshStartValues();
}

FitDialog::~FitDialog() {
  if (cancelled_) cancelled_->store(true);
  if (thread_ != nullptr) {
    thread_->wait();
    delete thread_;
  }
}

void FitDialog::Browse() {
  if (running_) return;
  const QString path = dialogs_.OpenMeasurementsFile(folder_ ? folder_() : QString());
  if (!path.isEmpty()) LoadMeasurements(path);
}

bool FitDialog::LoadMeasurements(const QString& path) {
  const std::string name = QFile::encodeName(path).toStdString();
  FileEdit->setText(path);
  const FieldTexts texts = caseTexts_();
  const std::optional<double> length = LineLength(texts);
  measurements_.clear();
  measurementsFile_.clear();
  if (!length) {
    FileStatusLabel->setText(
        "The step fields do not give the length of the line; correct them and load again.");
    SetTextColor(FileStatusLabel, QColor(0xa0, 0x20, 0x00));
    return false;
  }
  const MeasurementsLoad load = LoadMeasurementsFile(name, *length);
  if (!load.Ok) {
    FileStatusLabel->setText(FileName(load.Message));
    SetTextColor(FileStatusLabel, QColor(0xa0, 0x20, 0x00));
    return false;
  }
  measurements_ = load.Values;
  measurementsFile_ = name;
  // How many points of each quantity.
  std::vector<std::pair<const ProfileColumn*, int>> counts;
  for (const Measurement& m : measurements_) {
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&m](const auto& c) { return c.first == m.Column; });
    if (found == counts.end()) {
      counts.emplace_back(m.Column, 1);
    } else {
      ++found->second;
    }
  }
  QStringList parts;
  for (const auto& [column, count] : counts)
    parts << QStringLiteral("%1 %2").arg(count).arg(Utf8(column->Label));
  FileStatusLabel->setText(
      QStringLiteral("%1 measurements: %2").arg(measurements_.size()).arg(parts.join(", ")));
  SetTextColor(FileStatusLabel, QColor(0x1a, 0x7f, 0x2e));
  return true;
}

int FitDialog::ParameterRow(int item) const {
  for (size_t row = 0; row < rowItems_.size(); ++row) {
    if (rowItems_[row] == item) return static_cast<int>(row);
  }
  return -1;
}

bool FitDialog::SetParameterTicked(int item, bool ticked) {
  const int row = ParameterRow(item);
  if (row < 0) return false;
  ParameterTable->item(row, kTickColumn)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  return true;
}

int FitDialog::ConstantRow(const std::string& name) const {
  for (size_t row = 0; row < rowConstants_.size(); ++row) {
    if (rowItems_[row] == 0 && rowConstants_[row] == name) return static_cast<int>(row);
  }
  return -1;
}

void FitDialog::RefreshStartValues() {
  const FieldTexts texts = caseTexts_();
  // The rows of the law constants follow the case's: those that stay keep tick and bounds.
  struct Kept {
    Qt::CheckState Tick;
    QString Low, High;
  };
  std::map<std::string, Kept> kept;
  while (!rowItems_.empty() && rowItems_.back() == 0) {
    const int r = static_cast<int>(rowItems_.size()) - 1;
    kept[rowConstants_.back()] = {ParameterTable->item(r, kTickColumn)->checkState(),
                                  ParameterTable->item(r, kLowColumn)->text(),
                                  ParameterTable->item(r, kHighColumn)->text()};
    ParameterTable->removeRow(r);
    rowItems_.pop_back();
    rowConstants_.pop_back();
  }
  for (const auto& [name, value] : texts.LawConstants) {
    const int row = ParameterTable->rowCount();
    ParameterTable->insertRow(row);
    rowItems_.push_back(0);
    rowConstants_.push_back(name);
    QTableWidgetItem* tick = ReadOnlyCell(QStringLiteral("Law constant %1").arg(Utf8(name)));
    tick->setFlags(tick->flags() | Qt::ItemIsUserCheckable);
    ParameterTable->setItem(row, kTickColumn, tick);
    ParameterTable->setItem(row, kNameColumn, ReadOnlyCell(Utf8(name)));
    ParameterTable->setItem(row, kStartColumn, ReadOnlyCell({}));
    double low = 0, high = 0;
    DefaultConstantBounds(FiniteNumber(value).value_or(0), low, high);
    const auto earlier = kept.find(name);
    const bool stays = earlier != kept.end();
    tick->setCheckState(stays ? earlier->second.Tick : Qt::Unchecked);
    ParameterTable->setItem(row, kLowColumn,
                            new QTableWidgetItem(stays ? earlier->second.Low : BoundText(low)));
    ParameterTable->setItem(row, kHighColumn,
                            new QTableWidgetItem(stays ? earlier->second.High : BoundText(high)));
  }
  const size_t firstConstant = rowItems_.size() - texts.LawConstants.size();
  for (size_t row = 0; row < rowItems_.size(); ++row) {
    const std::string& start = row >= firstConstant
                                   ? texts.LawConstants[row - firstConstant].second
                                   : texts.Items[static_cast<size_t>(rowItems_[row] - 1)];
    ParameterTable->item(static_cast<int>(row), kStartColumn)->setText(Utf8(start));
  }
}

std::optional<std::vector<FitParameter>> FitDialog::ChosenParameters(const FieldTexts& texts,
                                                                     QString& error) const {
  std::vector<FitParameter> parameters;
  for (size_t row = 0; row < rowItems_.size(); ++row) {
    const int r = static_cast<int>(row);
    if (ParameterTable->item(r, kTickColumn)->checkState() != Qt::Checked) continue;
    const bool constant = rowItems_[row] == 0;
    const std::string name =
        constant ? rowConstants_[row] : std::string(ItemName(ItemByNumber(rowItems_[row])));
    std::string message;
    std::optional<FitParameter> parameter = ParseFitParameter(name, texts, message);
    if (!parameter) {
      error = Utf8(message);
      return std::nullopt;
    }
    // An empty cell is no bound.
    auto bound = [&](int column, double none, double& value) {
      const std::string text = ParameterTable->item(r, column)->text().trimmed().toStdString();
      if (text.empty()) {
        value = none;
        return true;
      }
      return ConvertDecimal(text, value) && std::isfinite(value);
    };
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const QString label = constant ? QStringLiteral("Law constant %1").arg(Utf8(name))
                                   : Utf8(ItemDisplayName(ItemByNumber(rowItems_[row])));
    if (!bound(kLowColumn, -kInfinity, parameter->Low) ||
        !bound(kHighColumn, kInfinity, parameter->High)) {
      error = QStringLiteral("%1: a bound is not a number.").arg(label);
      return std::nullopt;
    }
    if (!(parameter->Low < parameter->High)) {
      error = QStringLiteral("%1: Low must lie below High.").arg(label);
      return std::nullopt;
    }
    if (!(parameter->Initial >= parameter->Low && parameter->Initial <= parameter->High)) {
      error = QStringLiteral(
                  "%1: the field's value %2 lies outside the bounds; start the fit "
                  "inside them.")
                  .arg(label, Utf8(ShortestText(parameter->Initial)));
      return std::nullopt;
    }
    parameters.push_back(*parameter);
  }
  if (parameters.empty()) {
    error = "Tick at least one parameter to fit.";
    return std::nullopt;
  }
  return parameters;
}

bool FitDialog::StartFit() {
  if (running_) return false;
  RefreshStartValues();
  ProgressLog->clear();
  if (measurements_.empty()) {
    Log("Load the measurements first.");
    return false;
  }
  FitRequest request;
  request.Texts = caseTexts_();
  // The file was checked against the line it was loaded for: check it again against this one.
  const std::optional<double> length = LineLength(request.Texts);
  if (!length || !LoadMeasurements(FileName(measurementsFile_))) {
    Log("The measurements do not fit the case's line: " + FileStatusLabel->text());
    return false;
  }
  request.Measurements = measurements_;
  QString error;
  std::optional<std::vector<FitParameter>> parameters = ChosenParameters(request.Texts, error);
  if (!parameters) {
    Log(error);
    return false;
  }
  request.Parameters = std::move(*parameters);
  request.Options.Method =
      MethodBox->currentIndex() == 1 ? SolverMethod::Classic : SolverMethod::Converged;
  double tolerance = 0;
  if (!ConvertDecimal(ToleranceEdit->text().trimmed().toStdString(), tolerance) ||
      !(tolerance >= kSmallestConvergedTolerance && tolerance <= kLargestConvergedTolerance)) {
    Log("\"Tolerance\" value should be a number between 1E-08 and 1E-02!");
    return false;
  }
  request.Options.Converged.Tolerance = tolerance;
  request.Options.Converged.RadialIntervals = radialIntervals_;
  request.Loss = LossBox->currentIndex() == 1 ? FitLoss::Huber : FitLoss::Linear;

  auto outcome = std::make_shared<FitOutcome>();
  outcome->Measurements = request.Measurements;
  outcome->MeasurementsFile = measurementsFile_;
  outcome->Options = request.Options;
  outcome->LineLength = *length;
  parameterNames_.clear();
  for (const FitParameter& parameter : request.Parameters)
    parameterNames_.emplace_back(FitParameterName(parameter));

  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  cancelled_ = cancelled;
  request.Cancelled = [cancelled] { return cancelled->load(); };
  // The progress goes to the dialog's thread; a dialog that is gone takes none.
  request.Progress = [this](const FitProgress& progress) {
    QMetaObject::invokeMethod(
        this, [this, progress] { ShowProgress(progress); }, Qt::QueuedConnection);
  };
  if (thread_ != nullptr) {
    thread_->wait();
    delete thread_;
  }
  Log(QStringLiteral("Fitting %1 parameter(s) to %2 measurements, %3 method%4\u2026")
          .arg(request.Parameters.size())
          .arg(request.Measurements.size())
          .arg(request.Options.Method == SolverMethod::Classic ? "classic" : "converged")
          .arg(request.Options.Method == SolverMethod::Classic
                   ? QString()
                   : QStringLiteral(" at %1").arg(ToleranceEdit->text().trimmed())));
  thread_ = QThread::create([this, request = std::move(request), outcome]() mutable {
    try {
      outcome->Result = FitToMeasurements(request);
    } catch (const std::exception& failure) {
      outcome->Result.Status = FitStatus::RunFailed;
      outcome->Result.Message = failure.what();
    }
    QMetaObject::invokeMethod(
        this, [this, outcome] { FitEnded(outcome); }, Qt::QueuedConnection);
  });
  SetRunning(true);
  thread_->start(QThread::LowPriority);
  return true;
}

void FitDialog::CancelFit() {
  if (!running_ || !cancelled_) return;
  cancelled_->store(true);
  CancelBtn->setEnabled(false);
  Log(QString::fromUtf8("Stopping\u2026"));
}

void FitDialog::reject() {
  if (running_) {
    CancelFit();
    return;
  }
  QDialog::reject();
}

void FitDialog::ShowProgress(const FitProgress& progress) {
  QString line = QStringLiteral("iteration %1: cost %2")
                     .arg(progress.Iteration)
                     .arg(QString::number(progress.Cost, 'E', 6));
  for (size_t k = 0; k < progress.Values.size() && k < parameterNames_.size(); ++k)
    line +=
        QStringLiteral(", %1 = %2").arg(Utf8(parameterNames_[k]), ValueText(progress.Values[k]));
  Log(line);
}

void FitDialog::FitEnded(std::shared_ptr<FitOutcome> outcome) {
  SetRunning(false);
  cancelled_.reset();
  last_ = outcome;
  const FitResult& result = outcome->Result;
  for (const std::string& warning : result.Warnings) Log("Warning: " + Utf8(warning));
  switch (result.Status) {
    case FitStatus::Fitted:
      Log(QStringLiteral("Fitted: chi-square %1 with %2 degrees of freedom, %3 iterations, %4 "
                         "model runs, %5 s. The estimates are on the Results page.")
              .arg(QString::number(result.ChiSquare, 'g', 6))
              .arg(result.DegreesOfFreedom)
              .arg(result.Iterations)
              .arg(result.Evaluations)
              .arg(QString::number(result.Seconds, 'f', 1)));
      break;
    case FitStatus::Undetermined:
      Log("The fit is not complete: " + Utf8(result.Message));
      break;
    case FitStatus::Cancelled:
      Log("The fit was stopped.");
      break;
    case FitStatus::Refused:
      Log("The fit is refused: " + Utf8(result.Message));
      break;
    default:
      Log("The fit failed: " + Utf8(result.Message));
      break;
  }
  if (result.Converged()) emit Fitted(outcome);
}

void FitDialog::SetRunning(bool running) {
  running_ = running;
  FitBtn->setEnabled(!running);
  CancelBtn->setEnabled(running);
  CloseBtn->setEnabled(!running);
  BrowseBtn->setEnabled(!running);
  ParameterTable->setEnabled(!running);
  MethodBox->setEnabled(!running);
  ToleranceEdit->setEnabled(!running && MethodBox->currentIndex() == 0);
  LossBox->setEnabled(!running);
}

void FitDialog::Log(const QString& line) {
  ProgressLog->appendPlainText(line);
}

}  // namespace korvane::ui
