#include "ui/ResultsPage.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "files/MeasurementsCsv.h"
#include "files/NumberText.h"
#include "files/ProfileCsv.h"
#include "inputs/ParameterItems.h"
#include "inputs/SensitivityItems.h"
#include "ui/ChartExport.h"
#include "ui/ChartTracker.h"
#include "ui/DecadeAxis.h"
#include "ui/Look.h"

namespace korvane::ui {

namespace {

// The distances along the computed line whose radial profiles are drawn, as fractions of it.
constexpr std::array<double, 5> kRadialFractions = {0.0, 0.125, 0.25, 0.5, 1.0};
const std::array<QColor, 5> kRadialColors = {QColor(0x1f, 0x3a, 0x93), QColor(0x1b, 0x8a, 0x9e),
                                             QColor(0x4c, 0xa8, 0x3c), QColor(0xe0, 0x8e, 0x0b),
                                             QColor(0xc0, 0x29, 0x2b)};

const QColor kAverageColor(0x1f, 0x77, 0xb4);
const QColor kSurfaceColor(0xff, 0x7f, 0x0e);
const QColor kVelocityColor(0x2c, 0xa0, 0x2c);
const QColor kReferenceColor(0x70, 0x70, 0x70);
const QColor kFilamentColor(0xd6, 0x27, 0x28);
const QColor kGasColor(0x94, 0x67, 0xbd);
const QColor kTensionColor(0x8c, 0x56, 0x4b);
const QColor kStressColor(0x17, 0x9c, 0xb0);
const QColor kViscosityColor(0x1f, 0x77, 0xb4);
const QColor kHeatColor(0xd6, 0x5d, 0xb1);

// The charts in two columns of three: the curves along the line get the width they need.
constexpr int kGridColumns = 2;
constexpr int kGridRows = 3;

const char* const kRadialZ = "radialZ";

// The radial intervals of the classic method's table (and of a converged profile without nodes).
constexpr int kClassicRadialIntervals = 10;

// A classic spinneret tension within this relative distance of the converged one: the classic
// grid is fine for the case.
constexpr double kClassicGoodEnough = 0.01;
const QColor kGoodColor(0x1a, 0x7f, 0x2e);
const QColor kPoorColor(0xa0, 0x20, 0x00);
const QColor kNoteColor(0x60, 0x60, 0x60);

struct CurveDescription {
  const char* Name;  // the series' object name
  const char* Legend;
  const char* Quantity;  // as the hover box names it (UTF-8, like the unit)
  const char* Unit;
  QColor Color;
  bool RightAxis;
  const char* Column;  // the output column it draws (its key in ProfileColumns())
};

struct AxisDescription {
  const char* Title;  // UTF-8
  AxisKind Kind;
  QColor TitleColor;
};

// A chart of quantities along the spinning line, on a distance axis.
struct ChartDescription {
  const char* Name;  // the chart view's object name
  const char* Title;
  int Row;
  int Column;
  AxisDescription Left;
  std::optional<AxisDescription> Right;
  std::vector<CurveDescription> Curves;
};

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// A curve is drawn through at most about this many points: a converged line of 200,000 steps
// would take seconds to draw, and the window has a few hundred pixels for it. The thinned
// curve keeps the lowest and the highest value of each stretch, its ends, and so its peaks.
constexpr qsizetype kMostDrawnPoints = 4000;

const std::vector<ChartDescription>& LineCharts() {
  static const std::vector<ChartDescription> charts = {
      {"SolventChart",
       "Solvent fraction",
       0,
       0,
       {"fraction (-)", AxisKind::FromZero, Qt::black},
       std::nullopt,
       {{"AverageSolvent", "average", "average solvent fraction", "-", kAverageColor, false,
         "average_solvent_fraction"},
        {"SurfaceSolvent", "surface", "surface solvent fraction", "-", kSurfaceColor, false,
         "surface_solvent_fraction"}}},
      // The take-up speed that the tension iteration aims at is drawn beside the velocity.
      {"VelocityChart",
       "Filament velocity",
       0,
       1,
       {"v (cm/s)", AxisKind::FromZero, Qt::black},
       std::nullopt,
       {{"FilamentVelocity", "filament", "filament velocity", "cm/s", kVelocityColor, false,
         "filament_velocity"}}},
      // Temperatures of the filament and of the spinning gas around it.
      {"TemperatureChart",
       "Temperature",
       1,
       0,
       {"T (℃)", AxisKind::Free, Qt::black},
       std::nullopt,
       {{"FilamentTemperature", "filament", "filament temperature", "℃", kFilamentColor, false,
         "filament_temperature"},
        {"GasTemperature", "gas", "spinning-gas temperature", "℃", kGasColor, false,
         "gas_temperature"}}},
      // Tension of one filament and the stress it puts on the cross-section.
      {"TensionChart",
       "Tension and stress",
       1,
       1,
       {"tension (dyn)", AxisKind::FromZero, kTensionColor},
       AxisDescription{"stress (g/den)", AxisKind::FromZero, kStressColor},
       {{"Tension", "tension", "spinning tension", "dyn", kTensionColor, false, "tension"},
        {"Stress", "stress", "stress", "g/den", kStressColor, true, "stress"}}},
      // Elongational viscosity over decades, and the gas-to-wall coefficient on its own axis.
      {"ViscosityChart",
       "Viscosity and wall heat transfer",
       2,
       0,
       {"η (poise)", AxisKind::Decades, kViscosityColor},
       AxisDescription{"h (kcal/m²h℃)", AxisKind::FromZero, kHeatColor},
       {{"ElongationalViscosity", "viscosity", "elongational viscosity", "poise", kViscosityColor,
         false, "elongational_viscosity"},
        {"WallHeatTransfer", "h gas-wall", "gas-to-wall heat-transfer coefficient", "kcal/(m² h ℃)",
         kHeatColor, true, "wall_heat_transfer_coefficient"}}}};
  return charts;
}

QFont PixelFont(int pixels, bool bold = false) {
  QFont font;
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QValueAxis* MakeValueAxis(const QString& title, const QColor& titleColor = Qt::black) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setTitleFont(PixelFont(9));
  axis->setTitleBrush(titleColor);
  axis->setLabelsFont(PixelFont(9));
  axis->setLabelFormat("%g");
  axis->setMinorTickCount(0);
  axis->setGridLineColor(QColor(0xe2, 0xe2, 0xe2));
  return axis;
}

// A step of 1, 2 or 5 times a power of ten that cuts the span into about `parts` pieces.
double NiceStep(double span, int parts) {
  const double raw = span / parts;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * magnitude >= raw) return factor * magnitude;
  }
  return 10 * magnitude;
}

// The distance axis runs exactly over the computed line, with round tick values. The axis lays
// out its ticks at every change: the new range with the old interval (700 cm in steps of 0.1
// cm after a line that ended at 0.5 cm) would make thousands of them, for seconds. Neither
// step on the way makes more ticks than the old or the new range does.
void SetDistanceRange(QValueAxis* axis, double from, double to) {
  if (!(to > from)) to = from + 1;
  const double step = NiceStep(to - from, 4);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(std::max(axis->tickInterval(), step));
  axis->setRange(from, to);
  axis->setTickInterval(step);
}

void FitValueAxis(QValueAxis* axis, const std::vector<QList<QPointF>>& curves,
                  bool fromZero = false) {
  auto [low, high] = CurvesYRange(curves);
  if (low > high) {
    axis->setRange(0, 1);
    return;
  }
  if (fromZero) low = std::min(low, 0.0);
  if (high - low < 1e-12 * std::max(1.0, std::fabs(high))) {
    const double margin = std::max(1e-3, std::fabs(high) * 0.1);
    low -= margin;
    high += margin;
  }
  // A little room above and below, so that a curve does not run along the frame.
  const double margin = (high - low) * 0.04;
  axis->setRange(fromZero && low >= 0 ? low : low - margin, high + margin);
  axis->applyNiceNumbers();
}

// The profile index nearest to the distance z among points 0 .. pointCount - 1.
int NearestPoint(const SpinningLineProfile& profile, int pointCount, double z) {
  int best = 0;
  for (int i = 1; i < pointCount; ++i) {
    if (std::fabs(profile.ProfileZ[i] - z) < std::fabs(profile.ProfileZ[best] - z)) best = i;
  }
  return best;
}

// The profile index nearest to the distance z among points 0 .. pointCount - 1 that have a
// radial profile at the solver's own nodes, when the profile keeps them for some points only.
int NearestRadialPoint(const SpinningLineProfile& profile, int pointCount, double z) {
  const int stride = profile.RadialNodeStride;
  if (stride <= 1) return NearestPoint(profile, pointCount, z);
  int best = 0;
  for (int i = stride; i < pointCount; i += stride) {
    if (std::fabs(profile.ProfileZ[i] - z) < std::fabs(profile.ProfileZ[best] - z)) best = i;
  }
  return best;
}

// The solvent across the filament at point i: at the converged method's own nodes when the
// profile has them (they resolve the skin at the surface), else at the table's equal nodes.
QList<QPointF> RadialPoints(const SpinningLineProfile& profile, int i, int tableIntervals) {
  QList<QPointF> points;
  const int stride = profile.RadialNodeStride;
  if (stride > 0 && i % stride == 0 &&
      static_cast<size_t>(i / stride) < profile.ProfileRadialNodes.size()) {
    const std::vector<double>& values = profile.ProfileRadialNodes[static_cast<size_t>(i / stride)];
    for (size_t node = 0; node < values.size() && node < profile.RadialNodeXi.size(); ++node) {
      if (std::isfinite(values[node]))
        points.append(QPointF(profile.RadialNodeXi[node], values[node]));
    }
    if (!points.isEmpty()) return points;
  }
  const int intervals = std::clamp(tableIntervals, 1, kRadialCapacity - 1);
  for (int node = 0; node <= intervals; ++node) {
    const double value = profile.ProfileRadialSolvent[i][node];
    if (std::isfinite(value)) points.append(QPointF(static_cast<double>(node) / intervals, value));
  }
  return points;
}

QString ZText(double z) {
  return QString::number(z, 'f', 1);
}

// A figure as the result tables print it.
QString NumberText(const std::string& text) {
  return QString::fromStdString(text);
}

QAbstractAxis* MakeAxis(const AxisDescription& description) {
  if (description.Kind == AxisKind::Decades)
    return MakeDecadeAxis(QString::fromUtf8(description.Title), description.TitleColor);
  return MakeValueAxis(QString::fromUtf8(description.Title), description.TitleColor);
}

// The error bars of measured points: a vertical line from value - sigma to value + sigma with a
// short cap at each end, in the axes of the points' series, drawn over the chart's plot area.
class ErrorBars : public QGraphicsItem {
 public:
  ErrorBars(QChart* chart, QScatterSeries* series)
      : QGraphicsItem(chart), chart_(chart), series_(series) {
    setZValue(10);
    QObject::connect(chart, &QChart::plotAreaChanged, series, [this] {
      prepareGeometryChange();
      update();
    });
    for (QAbstractAxis* axis : chart->axes()) {
      if (auto* values = qobject_cast<QValueAxis*>(axis))
        QObject::connect(values, &QValueAxis::rangeChanged, series, [this] { update(); });
    }
  }
  // Each bar from (z, low) to (z, high), in the units of the series' axes.
  void SetBars(QList<QLineF> bars) {
    bars_ = std::move(bars);
    update();
  }
  QRectF boundingRect() const override { return chart_->plotArea(); }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    if (bars_.isEmpty() || !series_->isVisible()) return;
    painter->save();
    painter->setClipRect(chart_->plotArea());
    painter->setRenderHint(QPainter::Antialiasing);
    QPen pen(series_->borderColor());
    pen.setWidthF(1.2);
    painter->setPen(pen);
    constexpr double kCap = 3;
    for (const QLineF& bar : bars_) {
      const QPointF low = chart_->mapToPosition(bar.p1(), series_);
      const QPointF high = chart_->mapToPosition(bar.p2(), series_);
      painter->drawLine(low, high);
      painter->drawLine(QPointF(low.x() - kCap, low.y()), QPointF(low.x() + kCap, low.y()));
      painter->drawLine(QPointF(high.x() - kCap, high.y()), QPointF(high.x() + kCap, high.y()));
    }
    painter->restore();
  }

 private:
  QChart* chart_;
  QScatterSeries* series_;
  QList<QLineF> bars_;
};

QString EstimateText(double value) {
  return QString::number(value, 'g', 6);
}

}  // namespace

ResultsPage::ResultsPage(QWidget* parent) : QWidget(parent) {
  setObjectName("ResultsPage");

  // One line of figures above the charts. Each keeps its whole text: the line fits the
  // narrowest window the input pages allow.
  auto* figures = new QHBoxLayout;
  figures->setSpacing(3);
  auto figure = [this, figures](const QString& caption, const char* name, const QString& tip) {
    auto* captionLabel = new QLabel(caption, this);
    SetTextColor(captionLabel, kBlue);
    auto* value = new QLabel(this);
    value->setObjectName(name);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLabel* label : {captionLabel, value}) {
      SetPixelFont(label, 11);
      label->setToolTip(tip);
    }
    figures->addWidget(captionLabel);
    figures->addWidget(value);
    figures->addSpacing(6);
    return value;
  };
  PassesValue =
      figure("Passes", "PassesValue", "Passes of the tension iteration over the spinning line");
  SpinneretTensionValue = figure("Spinneret tension", "SpinneretTensionValue",
                                 "Tension of one filament at the spinneret, Z = 0");
  EndSolventValue = figure("End: solvent", "EndSolventValue",
                           "Average solvent weight fraction at the end of the computed line");
  EndTemperatureValue = figure("temp.", "EndTemperatureValue",
                               "Filament temperature at the end of the computed line");
  EndStressValue = figure("stress", "EndStressValue", "Stress at the end of the computed line");
  figures->addStretch();
  ExportCsvBtn = new QPushButton("Export CSV...", this);
  ExportCsvBtn->setObjectName("ExportCsvBtn");
  ExportCsvBtn->setFocusPolicy(Qt::ClickFocus);
  connect(ExportCsvBtn, &QPushButton::clicked, this, &ResultsPage::ExportCsvRequested);

  // A profile that ends short of the line says so above the charts.
  EndNoteLabel = new QLabel(this);
  EndNoteLabel->setObjectName("EndNoteLabel");
  EndNoteLabel->setWordWrap(true);
  EndNoteLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  EndNoteLabel->setFrameStyle(QFrame::Box | QFrame::Plain);
  EndNoteLabel->setMargin(3);
  EndNoteLabel->setAutoFillBackground(true);
  QPalette notePalette = EndNoteLabel->palette();
  notePalette.setColor(QPalette::Window, QColor(0xff, 0xf0, 0xe0));
  notePalette.setColor(QPalette::WindowText, QColor(0xa0, 0x20, 0x00));
  EndNoteLabel->setPalette(notePalette);
  SetPixelFont(EndNoteLabel, 11);

  ComparisonLabel = new QLabel(this);
  ComparisonLabel->setObjectName("ComparisonLabel");
  ComparisonLabel->setWordWrap(true);
  ComparisonLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ComparisonLabel->setToolTip(
      "The converged method solves the same inputs to a stated accuracy; its curves are drawn "
      "dashed beside the classic ones");
  SetPixelFont(ComparisonLabel, 11);

  auto* charts = new QWidget(this);
  grid_ = new QGridLayout(charts);
  grid_->setContentsMargins(0, 0, 0, 0);
  grid_->setSpacing(3);

  // The quantities along the line, each curve with a dashed twin for the converged line.
  for (const ChartDescription& description : LineCharts()) {
    QChart* chart =
        AddChart(description.Name, description.Title, description.Row, description.Column)->chart();
    LineChart parts;
    parts.Z = MakeValueAxis("Z (cm)");
    parts.LeftKind = description.Left.Kind;
    parts.Left = MakeAxis(description.Left);
    if (description.Right) {
      parts.RightKind = description.Right->Kind;
      parts.Right = MakeAxis(*description.Right);
      parts.Right->setGridLineVisible(false);
      chart->addAxis(parts.Right, Qt::AlignRight);
    }
    for (const CurveDescription& curve : description.Curves) {
      const AxisKind kind = curve.RightAxis ? parts.RightKind : parts.LeftKind;
      QLineSeries* series =
          AddSeries(chart, curve.Name, curve.Legend, QString::fromUtf8(curve.Quantity),
                    QString::fromUtf8(curve.Unit), curve.Color, parts.Z,
                    curve.RightAxis ? parts.Right : parts.Left);
      if (kind == AxisKind::Decades) series->setProperty(kLog10, true);
      (curve.RightAxis ? parts.RightCurves : parts.LeftCurves).push_back(classic_.size());
      classic_.push_back(series);
      columns_.push_back(&ProfileColumnByName(curve.Column));
    }
    charts_.push_back(parts);
  }
  for (QLineSeries* series : classic_) converged_.push_back(AddConvergedTwin(series));
  // The measured points of a fit on each curve, with their error bars.
  for (QLineSeries* series : classic_) {
    QChart* chart = series->chart();
    auto* points = new QScatterSeries;
    points->setObjectName(series->objectName() + "Measured");
    points->setName(series->name() + " measured");
    points->setProperty(kUntracked, true);
    // Copied as text with the curves: in their unit, a value on a decade axis as itself.
    points->setProperty(kUnit, series->property(kUnit));
    if (series->property(kLog10).isValid()) points->setProperty(kLog10, series->property(kLog10));
    points->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    points->setMarkerSize(6);
    points->setColor(Qt::white);
    points->setBorderColor(series->pen().color());
    QPen border(series->pen().color());
    border.setWidthF(1.5);
    points->setPen(border);
    chart->addSeries(points);
    for (QAbstractAxis* axis : series->attachedAxes()) points->attachAxis(axis);
    for (QLegendMarker* marker : chart->legend()->markers(points)) marker->setVisible(false);
    measured_.push_back(points);
    measuredExtent_.emplace_back();
    errorBars_.push_back(new ErrorBars(chart, points));
  }

  // The take-up speed beside the filament velocity.
  LineChart& velocity = charts_[1];
  takeUpSpeed_ =
      AddSeries(classic_[velocity.LeftCurves.front()]->chart(), "TakeUpSpeed", "take-up speed",
                "take-up speed", "cm/s", kReferenceColor, velocity.Z, velocity.Left);
  QPen dashed = takeUpSpeed_->pen();
  dashed.setStyle(Qt::DashLine);
  dashed.setWidthF(1.2);
  takeUpSpeed_->setPen(dashed);
  velocity.Extra = takeUpSpeed_;

  // The solvent across the filament at a few distances: the skin at the surface.
  radialChart_ = AddChart("RadialChart", "Radial solvent profile at Z", 2, 1)->chart();
  radialChart_->setProperty(kTrackerXName, "r/R");
  radialChart_->setProperty(kTrackerXUnit, "");
  radialChart_->setProperty(kTrackerXDecimals, 2);
  radialX_ = MakeValueAxis("r/R (-)");
  radialX_->setRange(0, 1);
  radialX_->setTickType(QValueAxis::TicksDynamic);
  radialX_->setTickAnchor(0);
  radialX_->setTickInterval(0.25);
  radialAxis_ = MakeValueAxis("fraction (-)");
  radialChart_->addAxis(radialX_, Qt::AlignBottom);
  radialChart_->addAxis(radialAxis_, Qt::AlignLeft);

  for (int column = 0; column < kGridColumns; ++column) grid_->setColumnStretch(column, 1);
  for (int row = 0; row < kGridRows; ++row) grid_->setRowStretch(row, 1);

  auto* placeholder = new QLabel(
      "No results.\n\nPress OK on \"Input Condition 1\" to run the case: its profile along the "
      "spinning line is shown here.\nDouble-click a chart to enlarge it, and again to go back.",
      this);
  placeholder->setObjectName("NoResultsLabel");
  placeholder->setAlignment(Qt::AlignCenter);
  placeholder->setWordWrap(true);
  SetTextColor(placeholder, QColor(0x60, 0x60, 0x60));

  stack_ = new QStackedWidget(this);
  stack_->addWidget(placeholder);
  stack_->addWidget(charts);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  layout->addLayout(figures);
  // The notes on the results beside the export, which leaves the figures their line.
  auto* notes = new QVBoxLayout;
  notes->setSpacing(2);
  notes->addWidget(ComparisonLabel);
  notes->addWidget(EndNoteLabel);
  auto* notesRow = new QHBoxLayout;
  notesRow->setSpacing(6);
  notesRow->addLayout(notes, 1);
  RunsBtn = new QPushButton("Runs...", this);
  RunsBtn->setObjectName("RunsBtn");
  RunsBtn->setFocusPolicy(Qt::ClickFocus);
  RunsBtn->setCheckable(true);
  RunsBtn->setEnabled(false);
  RunsBtn->setToolTip("Show the earlier runs drawn faintly on the charts, to pin or hide them");
  connect(RunsBtn, &QPushButton::toggled, this, [this](bool) {
    RunsTable->setVisible(HasResults() && runs_.size() > 1 && RunsBtn->isChecked());
  });
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  buttons->addWidget(RunsBtn, 0, Qt::AlignTop);
  buttons->addWidget(ExportCsvBtn, 0, Qt::AlignTop);
  notesRow->addLayout(buttons);
  layout->addLayout(notesRow);
  layout->addWidget(stack_, 1);
  RunsTable = new QTableWidget(0, 7, this);
  RunsTable->setObjectName("RunsTable");
  RunsTable->setHorizontalHeaderLabels(
      {"Run", "Spinneret tension", "End solvent", "End temperature", "End stress", "Pin", "Hide"});
  RunsTable->verticalHeader()->hide();
  RunsTable->verticalHeader()->setDefaultSectionSize(RunsTable->fontMetrics().height() + 4);
  RunsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  RunsTable->setSelectionMode(QAbstractItemView::NoSelection);
  RunsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  RunsTable->horizontalHeader()->setStretchLastSection(true);
  RunsTable->setMaximumHeight(6 * (RunsTable->fontMetrics().height() + 4) + 6);
  // Tab keeps to the entry fields.
  RunsTable->setFocusPolicy(Qt::ClickFocus);
  RunsTable->hide();
  connect(RunsTable, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (fillingTable_ || item->row() == 0) return;
    // The table's own item stays: only the run and the curves change.
    KeptRun& run = runs_[static_cast<size_t>(item->row())];
    const bool checked = item->checkState() == Qt::Checked;
    if (item->column() == 5) run.Pinned = checked;
    if (item->column() == 6 && run.Hidden != checked) {
      run.Hidden = checked;
      DrawKeptRuns(false);
    }
  });
  layout->addWidget(RunsTable);

  // The last fit: its figures, its estimates, and the buttons to use or drop them.
  FitPanel = new QWidget(this);
  FitPanel->setObjectName("FitPanel");
  FitLabel = new QLabel(FitPanel);
  FitLabel->setObjectName("FitLabel");
  FitLabel->setWordWrap(true);
  FitLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  SetPixelFont(FitLabel, 11);
  FitNoteLabel = new QLabel(FitPanel);
  FitNoteLabel->setObjectName("FitNoteLabel");
  FitNoteLabel->setWordWrap(true);
  SetPixelFont(FitNoteLabel, 11);
  FitNoteLabel->hide();
  UseFittedBtn = new QPushButton("Use fitted values", FitPanel);
  UseFittedBtn->setObjectName("UseFittedBtn");
  UseFittedBtn->setFocusPolicy(Qt::ClickFocus);
  UseFittedBtn->setToolTip(
      "Put the estimates into their fields (fixed items need \"Edit fixed items\"); then OK "
      "runs the fitted case");
  connect(UseFittedBtn, &QPushButton::clicked, this, &ResultsPage::UseFittedValuesRequested);
  ClearFitBtn = new QPushButton("Clear fit", FitPanel);
  ClearFitBtn->setObjectName("ClearFitBtn");
  ClearFitBtn->setFocusPolicy(Qt::ClickFocus);
  ClearFitBtn->setToolTip("Remove the measured points and the estimates");
  connect(ClearFitBtn, &QPushButton::clicked, this, &ResultsPage::ClearFit);
  FitTable = new QTableWidget(0, 5, FitPanel);
  FitTable->setObjectName("FitTable");
  FitTable->setHorizontalHeaderLabels(
      {"Parameter", "Estimate", "Standard error", "95 % low", "95 % high"});
  FitTable->verticalHeader()->hide();
  FitTable->verticalHeader()->setDefaultSectionSize(FitTable->fontMetrics().height() + 4);
  FitTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FitTable->setSelectionMode(QAbstractItemView::ContiguousSelection);
  FitTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  FitTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  FitTable->setFocusPolicy(Qt::ClickFocus);
  auto* fitTop = new QHBoxLayout;
  fitTop->setSpacing(4);
  auto* fitTexts = new QVBoxLayout;
  fitTexts->setSpacing(2);
  fitTexts->addWidget(FitLabel);
  fitTexts->addWidget(FitNoteLabel);
  fitTop->addLayout(fitTexts, 1);
  fitTop->addWidget(UseFittedBtn, 0, Qt::AlignTop);
  fitTop->addWidget(ClearFitBtn, 0, Qt::AlignTop);
  auto* fitLayout = new QVBoxLayout(FitPanel);
  fitLayout->setContentsMargins(0, 0, 0, 0);
  fitLayout->setSpacing(2);
  fitLayout->addLayout(fitTop);
  fitLayout->addWidget(FitTable);
  FitPanel->hide();
  layout->addWidget(FitPanel);

  Clear();
}

QChartView* ResultsPage::AddChart(const char* name, const QString& title, int row, int column) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->setTitleFont(PixelFont(11, true));
  chart->setBackgroundRoundness(0);
  chart->setMargins(QMargins(0, 0, 0, 0));
  chart->layout()->setContentsMargins(2, 2, 2, 2);
  chart->legend()->setFont(PixelFont(9));
  chart->legend()->setAlignment(Qt::AlignTop);
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  chart->legend()->layout()->setContentsMargins(0, 0, 0, 0);

  auto* view = new QChartView(chart, this);
  view->setObjectName(name);
  view->setRenderHint(QPainter::Antialiasing);
  // The charts are read with the mouse; Tab keeps to the entry fields.
  view->setFocusPolicy(Qt::NoFocus);
  view->viewport()->setFocusPolicy(Qt::NoFocus);
  view->setMinimumSize(150, 120);
  view->setFrameShape(QFrame::StyledPanel);
  view->viewport()->installEventFilter(this);
  // The values of every curve at the distance under the mouse.
  chart->setProperty(kTrackerXName, "Z");
  chart->setProperty(kTrackerXUnit, "cm");
  chart->setProperty(kTrackerXDecimals, 1);
  new ChartTracker(view);
  grid_->addWidget(view, row, column);
  views_[static_cast<size_t>(row * kGridColumns + column)] = view;
  return view;
}

QLineSeries* ResultsPage::AddSeries(QChart* chart, const char* name, const QString& legend,
                                    const QString& quantity, const QString& unit,
                                    const QColor& color, QValueAxis* x, QAbstractAxis* y) {
  auto* series = new QLineSeries;
  series->setObjectName(name);
  series->setName(legend);
  series->setProperty(kQuantity, quantity);
  series->setProperty(kUnit, unit);
  QPen pen(color);
  pen.setWidthF(1.6);
  series->setPen(pen);
  chart->addSeries(series);
  if (!chart->axes(Qt::Horizontal).contains(x)) chart->addAxis(x, Qt::AlignBottom);
  if (!chart->axes(Qt::Vertical).contains(y)) chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  return series;
}

QLineSeries* ResultsPage::AddConvergedTwin(QLineSeries* classic) {
  QChart* chart = classic->chart();
  auto* twin = new QLineSeries;
  twin->setObjectName(classic->objectName() + "Converged");
  twin->setName(classic->name() + " (converged)");
  twin->setProperty(kQuantity, classic->property(kQuantity).toString() + " (converged)");
  twin->setProperty(kUnit, classic->property(kUnit));
  if (classic->property(kLog10).isValid()) twin->setProperty(kLog10, classic->property(kLog10));
  QPen pen = classic->pen();
  pen.setStyle(Qt::DashLine);
  twin->setPen(pen);
  chart->addSeries(twin);
  for (QAbstractAxis* axis : classic->attachedAxes()) twin->attachAxis(axis);
  // The legend names the classic curves; the dashed ones are told apart by the line above.
  for (QLegendMarker* marker : chart->legend()->markers(twin)) marker->setVisible(false);
  return twin;
}

void ResultsPage::SetComparisonText(const QString& text, const QColor& color) {
  ComparisonLabel->setText(text);
  SetTextColor(ComparisonLabel, color);
  ComparisonLabel->setVisible(!text.isEmpty());
}

void ResultsPage::ShowComparisonRunning() {
  if (!HasResults()) return;
  comparison_.reset();
  SetComparisonText(QString::fromUtf8("Converged method: solving the same case in the "
                                      "background…"),
                    kNoteColor);
}

void ResultsPage::ShowComparison(const std::shared_ptr<const ComparisonResult>& result) {
  ShowComparison(*result);
  if (HasResults() && result->Report.Status == ConvergedStatus::Converged && result->PointCount > 0)
    comparison_ = result;
}

void ResultsPage::ShowComparison(const ComparisonResult& result) {
  if (!HasResults()) return;
  const ConvergedReport& report = result.Report;
  if (report.Status != ConvergedStatus::Converged || result.PointCount <= 0) {
    QString why = QString::fromStdString(report.Message);
    if (why.isEmpty() && !result.Notes.empty()) why = QString::fromStdString(result.Notes.front());
    if (report.Status == ConvergedStatus::TimedOut && why.isEmpty()) why = "it ran out of time";
    if (why.isEmpty()) why = "no converged line";
    SetComparisonText(QStringLiteral("Converged method: no comparison, %1").arg(why), kPoorColor);
    return;
  }
  // The axes take the new curves first: no curve is ever laid out against a range far from
  // its values.
  const std::vector<QList<QPointF>> curves = CurvePoints(
      converged_, ProfileSource{params_, *result.Profile, result.State, result.PointCount});
  FitAxes(ShownPoints(classic_), WithKeptRuns(curves));
  FillCurves(converged_, curves);
  ShowConvergedRadialProfiles(*result.Profile, result.PointCount);
  const double converged = report.SpinneretTension;
  const double relative = (classicTension_ - converged) / converged;
  const bool good = std::fabs(relative) <= kClassicGoodEnough;
  QString text =
      QString::fromUtf8("Converged (dashed): %1 dyn (±%2); classic is %3 % %4")
          .arg(NumberText(Exponent(converged, 3, 2)),
               QString::number(report.EstimatedTensionError, 'E', 0),
               QString::number(std::fabs(relative) * 100, 'f', 1), relative < 0 ? "low" : "high");
  QColor color = good ? kGoodColor : kPoorColor;
  if (!report.ToleranceMet) {
    text += QStringLiteral(" (converged %1)")
                .arg(ToleranceNotMetText(result.Tolerance, report.EstimatedTensionError));
    color = kAmber;
  }
  if (good) {
    SetComparisonText(text + QString::fromUtf8(" — the classic grid is good enough."), color);
    return;
  }
  // The classic method's radial grid is fixed at 10 intervals: the converged run on that grid
  // parts the gap into what the radial grid makes and what the axial steps make.
  const std::optional<ConvergedReport>& ten = result.TenIntervals;
  if (!ten || ten->Status != ConvergedStatus::Converged) {
    SetComparisonText(text + QString::fromUtf8(" — see the Converged solver (Input Condition 2)."),
                      color);
    return;
  }
  const double radial = (ten->SpinneretTension - converged) / converged;
  const double axial = (classicTension_ - ten->SpinneretTension) / converged;
  auto part = [](double share) {
    return QString::fromUtf8("%1%2 %")
        .arg(share < 0 ? "−" : "+")
        .arg(QString::number(std::fabs(share) * 100, 'f', 1));
  };
  text += QString::fromUtf8(": radial grid (10 intervals) %1, axial steps %2. ")
              .arg(part(radial), part(axial));
  if (std::fabs(axial) > std::fabs(radial)) {
    text += QString::fromUtf8(
        "Smaller increments reduce the axial part; the Converged solver "
        "(Input Condition 2) removes both.");
  } else {
    text += QString::fromUtf8(
        "The classic radial grid is fixed: use the Converged solver "
        "(Input Condition 2).");
  }
  SetComparisonText(text, color);
  ComparisonLabel->setToolTip(QString::fromUtf8(
      "The parts are estimated by the converged method on 10 equal radial intervals, the classic "
      "method's radial grid: the radial grid's part is converged (automatic grid) − converged "
      "(10 intervals), the axial steps' part converged (10 intervals) − classic."));
}

QString ToleranceNotMetText(double tolerance, double estimatedError) {
  return QString::fromUtf8("tolerance %1 not met: estimated error ±%2 dyn")
      .arg(QString::number(tolerance, 'E', 0), QString::number(estimatedError, 'E', 0));
}

void ResultsPage::ShowConvergedRun(const ConvergedReport& report, double tolerance) {
  if (!HasResults()) return;
  const QString tension = NumberText(Exponent(report.SpinneretTension, 3, 2));
  if (!report.ToleranceMet) {
    SetComparisonText(
        QString::fromUtf8("Converged method: %1 dyn, %2 (%3 radial intervals)")
            .arg(tension, ToleranceNotMetText(tolerance, report.EstimatedTensionError))
            .arg(report.RadialIntervals),
        kAmber);
    return;
  }
  SetComparisonText(QString::fromUtf8("Converged method: %1 dyn (±%2), %3 radial intervals")
                        .arg(tension, QString::number(report.EstimatedTensionError, 'E', 0))
                        .arg(report.RadialIntervals),
                    kNoteColor);
}

namespace {

QList<QPointF> ThinnedForDrawing(const QList<QPointF>& points) {
  const qsizetype buckets = kMostDrawnPoints / 2;
  if (points.size() <= kMostDrawnPoints) return points;
  QList<QPointF> thinned;
  thinned.reserve(kMostDrawnPoints + 2);
  thinned.append(points.front());
  for (qsizetype b = 0; b < buckets; ++b) {
    const qsizetype from = 1 + b * (points.size() - 2) / buckets;
    const qsizetype to = 1 + (b + 1) * (points.size() - 2) / buckets;
    if (from >= to) continue;
    qsizetype low = from;
    qsizetype high = from;
    for (qsizetype i = from + 1; i < to; ++i) {
      if (points[i].y() < points[low].y()) low = i;
      if (points[i].y() > points[high].y()) high = i;
    }
    thinned.append(points[std::min(low, high)]);
    if (low != high) thinned.append(points[std::max(low, high)]);
  }
  thinned.append(points.back());
  return thinned;
}

}  // namespace

std::vector<QList<QPointF>> ResultsPage::CurvePoints(const std::vector<QLineSeries*>& series,
                                                     const ProfileSource& source) const {
  std::vector<QList<QPointF>> curves(series.size());
  for (size_t k = 0; k < series.size(); ++k) {
    const bool decades = series[k]->property(kLog10).toBool();
    QList<QPointF> points;
    points.reserve(source.PointCount);
    for (int i = 0; i < source.PointCount; ++i) {
      const double z = source.Profile.ProfileZ[i];
      double value = columns_[k]->Value(source, i);
      if (decades) value = value > 0 ? std::log10(value) : kNoValue;
      if (std::isfinite(z) && std::isfinite(value)) points.append(QPointF(z, value));
    }
    curves[k] = ThinnedForDrawing(points);
  }
  return curves;
}

std::vector<QList<QPointF>> ResultsPage::ShownPoints(const std::vector<QLineSeries*>& series) {
  std::vector<QList<QPointF>> curves;
  curves.reserve(series.size());
  for (const QLineSeries* each : series) curves.push_back(each->points());
  return curves;
}

void ResultsPage::FillCurves(const std::vector<QLineSeries*>& series,
                             const std::vector<QList<QPointF>>& curves) {
  for (size_t k = 0; k < series.size(); ++k) {
    series[k]->replace(curves[k]);
    // A line through one point draws nothing: the point itself is drawn.
    series[k]->setPointsVisible(curves[k].size() == 1);
  }
}

void ResultsPage::FitAxes(const std::vector<QList<QPointF>>& classic,
                          const std::vector<QList<QPointF>>& converged) {
  auto fit = [&](QAbstractAxis* axis, AxisKind kind, const std::vector<size_t>& curves,
                 QLineSeries* extra) {
    std::vector<QList<QPointF>> shown;
    for (size_t k : curves) {
      shown.push_back(classic[k]);
      shown.push_back(converged[k]);
      shown.push_back(measuredExtent_[k]);
    }
    if (extra != nullptr) shown.push_back(extra->points());
    if (kind == AxisKind::Decades) {
      FitDecadeAxis(static_cast<QCategoryAxis*>(axis), shown);
    } else {
      FitValueAxis(static_cast<QValueAxis*>(axis), shown, kind == AxisKind::FromZero);
    }
  };
  for (const LineChart& chart : charts_) {
    fit(chart.Left, chart.LeftKind, chart.LeftCurves, chart.Extra);
    if (chart.Right != nullptr) fit(chart.Right, chart.RightKind, chart.RightCurves, nullptr);
  }
}

void ResultsPage::Clear() {
  comparison_.reset();
  pointCount_ = 0;
  classicTension_ = 0;
  takeUpSpeed_->clear();
  for (QLineSeries* series : classic_) series->clear();
  for (QLineSeries* series : converged_) series->clear();
  for (QLineSeries* series : keptSeries_) series->clear();
  // The kept runs come back with the next results.
  RunsTable->hide();
  SetComparisonText({}, kNoteColor);
  radialChart_->removeAllSeries();
  for (QLabel* value :
       {PassesValue, SpinneretTensionValue, EndSolventValue, EndTemperatureValue, EndStressValue}) {
    value->setText(QString::fromUtf8("–"));
  }
  ExportCsvBtn->setEnabled(false);
  EndNoteLabel->clear();
  EndNoteLabel->hide();
  for (QChartView* view : views_) {
    if (auto* tracker = view->findChild<ChartTracker*>()) tracker->Hide();
  }
  stack_->setCurrentIndex(0);
}

void ResultsPage::ShowResults(const RunParameters& params, const SpinningLineProfile& profile,
                              const SimulationState& state, int pointCount, RunOutcome outcome) {
  Clear();
  pointCount = std::min(pointCount, profile.Capacity());
  if (pointCount <= 0) return;
  pointCount_ = pointCount;
  params_ = params;

  const std::vector<QList<QPointF>> classic =
      CurvePoints(classic_, ProfileSource{params, profile, state, pointCount});

  const int last = pointCount - 1;
  const double zStart = profile.ProfileZ[0];
  const double zEnd = profile.ProfileZ[last];
  takeUpSpeed_->replace(
      QList<QPointF>{QPointF(zStart, params.TakeUpSpeed), QPointF(zEnd, params.TakeUpSpeed)});

  // The axes take the new curves first: a curve laid out against the ranges of the last
  // results (a stress axis of 1E-05 g/den after a line whose tension fell to zero) would span
  // millions of pixels.
  for (const LineChart& chart : charts_) SetDistanceRange(chart.Z, zStart, zEnd);
  FitAxes(classic, ShownPoints(converged_));
  FillCurves(classic_, classic);
  ShowRadialProfiles(profile, state, pointCount);

  classicTension_ = profile.ProfileTension[0];
  PassesValue->setText(QString::number(state.Iteration.CalculationLoopCount));
  // The figures read as the result tables print them.
  SpinneretTensionValue->setText(NumberText(Exponent(profile.ProfileTension[0], 3, 2)) + " dyn");
  EndSolventValue->setText(NumberText(Fixed(profile.ProfileAvgSolvent[last], 5, 3)));
  EndTemperatureValue->setText(NumberText(Fixed(profile.ProfileYarnTemp[last], 5, 1)) +
                               QString::fromUtf8(" ℃"));
  EndStressValue->setText(NumberText(Exponent(profile.ProfileStress[last], 3, 2)) + " g/den");
  EndSolventValue->setToolTip(
      QStringLiteral("At Z = %1 cm, the end of the computed line").arg(ZText(zEnd)));

  if (outcome == RunOutcome::TensionBelowZero) {
    EndNoteLabel->setText(QStringLiteral("Partial results: the tension fell to zero at Z = %1 cm, "
                                         "short of the %2 cm line; the end figures are those of "
                                         "Z = %1 cm.")
                              .arg(ZText(zEnd), ZText(params.TotalSpinningLength)));
    EndNoteLabel->show();
  }

  ExportCsvBtn->setEnabled(true);
  stack_->setCurrentIndex(1);
  // What became of "Use fitted values" has been run, or overtaken by another run.
  FitNoteLabel->hide();
  KeepRun(KeptRun{params,
                  classic,
                  {SpinneretTensionValue->text(), EndSolventValue->text(),
                   EndTemperatureValue->text(), EndStressValue->text()}});
}

void ResultsPage::KeepRun(KeptRun run) {
  runs_.push_front(std::move(run));
  if (runs_.size() > kKeptRuns) {
    // The oldest earlier run that is not pinned makes room; with all of them pinned, the oldest.
    auto drop = runs_.end() - 1;
    for (auto each = runs_.end() - 1; each != runs_.begin(); --each) {
      if (!each->Pinned) {
        drop = each;
        break;
      }
    }
    runs_.erase(drop);
  }
  DrawKeptRuns();
}

QString ResultsPage::KeptRunLabel(int k) const {
  const RunParameters& run = runs_[static_cast<size_t>(k)].Params;
  QStringList differences;
  int count = 0;
  for (const ParameterItem& item : ParameterItems()) {
    const double value = ItemValue(item, run);
    if (value == ItemValue(item, params_)) continue;
    if (++count > 2) continue;
    QString label = QString::fromUtf8(ItemName(item)).replace('_', ' ');
    label.replace("take up speed", "take-up");
    const QString unit = QString::fromStdString(ItemUnit(item));
    label += ' ' + QString::number(value, 'g', 6);
    if (!unit.isEmpty()) label += ' ' + unit;
    differences << label;
  }
  if (count > 2) differences << QString::fromUtf8("…");
  return differences.isEmpty() ? QStringLiteral("same inputs") : differences.join(", ");
}

void ResultsPage::SetKeptRunPinned(int k, bool pinned) {
  runs_[static_cast<size_t>(k)].Pinned = pinned;
  FillRunsTable();
}

void ResultsPage::SetKeptRunHidden(int k, bool hidden) {
  runs_[static_cast<size_t>(k)].Hidden = hidden;
  DrawKeptRuns();
}

std::vector<QList<QPointF>> ResultsPage::WithKeptRuns(std::vector<QList<QPointF>> curves) const {
  for (size_t k = 1; k < runs_.size(); ++k) {
    if (runs_[k].Hidden) continue;
    for (size_t c = 0; c < curves.size() && c < runs_[k].Curves.size(); ++c)
      curves[c] += runs_[k].Curves[c];
  }
  return curves;
}

void ResultsPage::DrawKeptRuns(bool fillTable) {
  for (QLineSeries* series : keptSeries_) {
    series->chart()->removeSeries(series);
    delete series;
  }
  keptSeries_.clear();
  if (HasResults()) {
    for (size_t k = 1; k < runs_.size(); ++k) {
      if (runs_[k].Hidden) continue;
      // Older runs fade further.
      const int alpha = 170 - 35 * static_cast<int>(k - 1);
      for (size_t c = 0; c < classic_.size(); ++c) {
        QLineSeries* classic = classic_[c];
        auto* series = new QLineSeries;
        series->setObjectName(classic->objectName() + QStringLiteral("Run%1").arg(k));
        series->setName(KeptRunLabel(static_cast<int>(k)));
        series->setProperty(kQuantity,
                            classic->property(kQuantity).toString() + " (" + series->name() + ")");
        series->setProperty(kUnit, classic->property(kUnit));
        series->setProperty(kLog10, classic->property(kLog10));
        QColor color = classic->pen().color();
        color.setAlpha(alpha);
        QPen pen(color);
        pen.setWidthF(1.0);
        series->setPen(pen);
        series->replace(runs_[k].Curves[c]);
        classic->chart()->addSeries(series);
        for (QAbstractAxis* axis : classic->attachedAxes()) series->attachAxis(axis);
        for (QLegendMarker* marker : classic->chart()->legend()->markers(series))
          marker->setVisible(false);
        keptSeries_.push_back(series);
      }
    }
    FitAxes(ShownPoints(classic_), WithKeptRuns(ShownPoints(converged_)));
  }
  if (fillTable) FillRunsTable();
}

void ResultsPage::FillRunsTable() {
  fillingTable_ = true;
  RunsTable->setRowCount(static_cast<int>(runs_.size()));
  for (int k = 0; k < static_cast<int>(runs_.size()); ++k) {
    const KeptRun& run = runs_[static_cast<size_t>(k)];
    auto* name = new QTableWidgetItem(k == 0 ? QStringLiteral("this run") : KeptRunLabel(k));
    if (k > 0) {
      QColor color = kNoteColor;
      color.setAlpha(run.Hidden ? 90 : 255);
      name->setForeground(color);
    }
    RunsTable->setItem(k, 0, name);
    for (int f = 0; f < run.Figures.size(); ++f)
      RunsTable->setItem(k, f + 1, new QTableWidgetItem(run.Figures[f]));
    for (int column : {5, 6}) {
      auto* box = new QTableWidgetItem;
      if (k > 0) {
        box->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        box->setCheckState((column == 5 ? run.Pinned : run.Hidden) ? Qt::Checked : Qt::Unchecked);
      } else {
        box->setFlags(Qt::NoItemFlags);
      }
      RunsTable->setItem(k, column, box);
    }
  }
  RunsBtn->setEnabled(HasResults() && runs_.size() > 1);
  RunsBtn->setText(runs_.size() > 1 ? QString("Runs (%1)...").arg(runs_.size())
                                    : QString("Runs..."));
  RunsTable->setVisible(HasResults() && runs_.size() > 1 && RunsBtn->isChecked());
  fillingTable_ = false;
}

void ResultsPage::ShowRadialProfiles(const SpinningLineProfile& profile,
                                     const SimulationState& state, int pointCount) {
  const double zStart = profile.ProfileZ[0];
  const double zEnd = profile.ProfileZ[pointCount - 1];
  std::vector<int> shown;
  for (size_t k = 0; k < kRadialFractions.size(); ++k) {
    const int i =
        NearestRadialPoint(profile, pointCount, zStart + kRadialFractions[k] * (zEnd - zStart));
    // A short line has fewer distinct points than fractions.
    if (std::find(shown.begin(), shown.end(), i) != shown.end()) continue;
    shown.push_back(i);
    const double z = profile.ProfileZ[i];
    auto* series = new QLineSeries;
    series->setObjectName(QStringLiteral("RadialSolvent%1").arg(shown.size() - 1));
    series->setName(QStringLiteral("%1 cm").arg(QString::number(z, 'f', 0)));
    series->setProperty(kQuantity, QStringLiteral("Z = %1 cm").arg(ZText(z)));
    series->setProperty(kUnit, "-");
    series->setProperty(kRadialZ, z);
    QPen pen(kRadialColors[k]);
    pen.setWidthF(1.6);
    series->setPen(pen);
    const QList<QPointF> points = RadialPoints(profile, i, state.Constants.RadialIntervals);
    // The nodes as dots where there are few of them: the classic method's eleven.
    series->setPointsVisible(points.size() <= kRadialCapacity);
    series->replace(points);
    radialChart_->addSeries(series);
    series->attachAxis(radialX_);
    series->attachAxis(radialAxis_);
  }
  FitRadialAxis();
}

void ResultsPage::ShowConvergedRadialProfiles(const SpinningLineProfile& profile, int pointCount) {
  for (QAbstractSeries* series : radialChart_->series()) {
    if (series->objectName().endsWith("Converged")) {
      radialChart_->removeSeries(series);
      delete series;
    }
  }
  for (QAbstractSeries* each : radialChart_->series()) {
    auto* classic = static_cast<QLineSeries*>(each);
    const double z = classic->property(kRadialZ).toDouble();
    const int i = NearestRadialPoint(profile, pointCount, z);
    auto* twin = new QLineSeries;
    twin->setObjectName(classic->objectName() + "Converged");
    twin->setName(classic->name() + " (converged)");
    twin->setProperty(kQuantity, QStringLiteral("Z = %1 cm (converged)").arg(ZText(z)));
    twin->setProperty(kUnit, "-");
    QPen pen = classic->pen();
    pen.setStyle(Qt::DashLine);
    twin->setPen(pen);
    twin->replace(RadialPoints(profile, i, kClassicRadialIntervals));
    radialChart_->addSeries(twin);
    twin->attachAxis(radialX_);
    twin->attachAxis(radialAxis_);
    for (QLegendMarker* marker : radialChart_->legend()->markers(twin)) marker->setVisible(false);
  }
  FitRadialAxis();
}

void ResultsPage::FitRadialAxis() {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (QAbstractSeries* series : radialChart_->series()) {
    auto [seriesLow, seriesHigh] = CurvesYRange({static_cast<const QXYSeries*>(series)->points()});
    low = std::min(low, seriesLow);
    high = std::max(high, seriesHigh);
  }
  if (low <= high) {
    radialAxis_->setRange(std::min(low, 0.0), high > 0 ? high : 1);
    radialAxis_->applyNiceNumbers();
  }
}

void ResultsPage::Enlarge(QChartView* view) {
  if (enlarged_ != nullptr) {
    // Back into its own cell.
    const auto index = std::find(views_.begin(), views_.end(), enlarged_) - views_.begin();
    grid_->removeWidget(enlarged_);
    grid_->addWidget(enlarged_, static_cast<int>(index) / kGridColumns,
                     static_cast<int>(index) % kGridColumns);
  }
  enlarged_ = view;
  if (view != nullptr) {
    grid_->removeWidget(view);
    grid_->addWidget(view, 0, 0, kGridRows, kGridColumns);
  }
  for (QChartView* each : views_) each->setVisible(view == nullptr || each == view);
}

void ResultsPage::SetDialogs(UserDialogs* dialogs, std::function<QString()> folder) {
  dialogs_ = dialogs;
  folder_ = std::move(folder);
}

QMenu* ResultsPage::ChartMenu(QChartView* view) {
  auto* menu = new QMenu;
  const bool canSave = dialogs_ != nullptr && HasResults();
  menu->addAction("Save as PNG...", this, [this, view] { SaveChart(view, false); })
      ->setEnabled(canSave);
  menu->addAction("Save as SVG...", this, [this, view] { SaveChart(view, true); })
      ->setEnabled(canSave);
  menu->addAction("Copy data as text", this,
                  [view] { QApplication::clipboard()->setText(ChartDataText(*view)); })
      ->setEnabled(HasResults());
  return menu;
}

void ResultsPage::SaveChart(QChartView* view, bool svg) {
  if (dialogs_ == nullptr) return;
  const QString folder = folder_ ? folder_() : QDir::currentPath();
  const QString suffix = svg ? "svg" : "png";
  const QString path = dialogs_->SaveFile(svg ? "Save chart as SVG" : "Save chart as PNG",
                                          QDir(folder).filePath(view->objectName() + '.' + suffix),
                                          svg ? "SVG drawings (*.svg)" : "PNG pictures (*.png)");
  if (path.isEmpty()) return;
  const QString error = svg ? SaveChartSvg(*view, path) : SaveChartPng(*view, path);
  if (!error.isEmpty()) dialogs_->Message(error);
}

bool ResultsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ContextMenu) {
    for (QChartView* view : views_) {
      if (view->viewport() == watched) {
        std::unique_ptr<QMenu> menu(ChartMenu(view));
        menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
      }
    }
  }
  if (event->type() == QEvent::MouseButtonDblClick) {
    for (QChartView* view : views_) {
      if (view->viewport() == watched) {
        Enlarge(enlarged_ == view ? nullptr : view);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace korvane::ui

namespace korvane::ui {

QScatterSeries* ResultsPage::MeasuredSeries(const char* column) const {
  for (size_t k = 0; k < columns_.size(); ++k) {
    if (std::string_view(columns_[k]->Name) == column) return measured_[k];
  }
  return nullptr;
}

void ResultsPage::ShowFit(std::shared_ptr<const FitOutcome> fit) {
  fit_ = std::move(fit);
  const FitOutcome& outcome = *fit_;
  // The points on every curve of their quantity, the bars one sigma each way.
  std::vector<std::pair<const ProfileColumn*, int>> offChart;
  for (const Measurement& m : outcome.Measurements) {
    bool drawn = false;
    for (size_t k = 0; k < columns_.size(); ++k) drawn = drawn || columns_[k] == m.Column;
    if (drawn) continue;
    auto found = std::find_if(offChart.begin(), offChart.end(),
                              [&m](const auto& c) { return c.first == m.Column; });
    if (found == offChart.end()) {
      offChart.emplace_back(m.Column, 1);
    } else {
      ++found->second;
    }
  }
  // The sigma each point was weighted with: as given, or estimated from the residuals.
  const std::vector<FitResidual>& residuals = outcome.Result.Residuals;
  for (size_t k = 0; k < columns_.size(); ++k) {
    const bool decades = classic_[k]->property(kLog10).toBool();
    // A bar that reaches below zero on an axis from zero is cut there, not the axis widened.
    bool fromZero = false;
    for (const LineChart& chart : charts_) {
      for (size_t c : chart.LeftCurves)
        fromZero = fromZero || (c == k && chart.LeftKind == AxisKind::FromZero);
      for (size_t c : chart.RightCurves)
        fromZero = fromZero || (c == k && chart.RightKind == AxisKind::FromZero);
    }
    auto y = [decades](double value) {
      return decades ? (value > 0 ? std::log10(value) : kNoValue) : value;
    };
    QList<QPointF> points;
    QList<QLineF> bars;
    QList<QPointF> extent;
    for (size_t i = 0; i < outcome.Measurements.size(); ++i) {
      const Measurement& m = outcome.Measurements[i];
      if (m.Column != columns_[k]) continue;
      const double sigma = i < residuals.size() ? residuals[i].Sigma : m.Sigma;
      const double value = y(m.Value);
      if (!std::isfinite(value)) continue;
      points.append(QPointF(m.Z, value));
      double low = y(m.Value - sigma);
      const double high = y(m.Value + sigma);
      // On a decade axis a bar that reaches zero ends a decade below the point.
      if (!std::isfinite(low)) low = value - 1;
      if (sigma > 0 && std::isfinite(high)) {
        bars.append(QLineF(m.Z, low, m.Z, high));
        extent << QPointF(m.Z, fromZero && value >= 0 ? std::max(low, 0.0) : low)
               << QPointF(m.Z, high);
      }
      extent << QPointF(m.Z, value);
    }
    measured_[k]->replace(points);
    measuredExtent_[k] = extent;
    static_cast<ErrorBars*>(errorBars_[k])->SetBars(bars);
    for (QLegendMarker* marker : measured_[k]->chart()->legend()->markers(measured_[k]))
      marker->setVisible(!points.isEmpty());
  }
  if (!HasResults()) {
    // No profile yet: the measurements alone, over the whole line.
    for (const LineChart& chart : charts_) SetDistanceRange(chart.Z, 0, outcome.LineLength);
    stack_->setCurrentIndex(1);
  }
  FitAxes(ShownPoints(classic_), WithKeptRuns(ShownPoints(converged_)));

  // The figures of the fit.
  const FitResult& result = outcome.Result;
  const QString file =
      QFileInfo(QFile::decodeName(QByteArray::fromStdString(outcome.MeasurementsFile))).fileName();
  const bool converged = outcome.Options.Method == SolverMethod::Converged;
  QString text = QString::fromUtf8(
                     "Fit to %1: %2 measurements, %3 method%4; χ² = %5 with %6 degrees of "
                     "freedom (χ²/dof %7); %8 iterations, %9 model runs, %10 s.")
                     .arg(file)
                     .arg(outcome.Measurements.size())
                     .arg(converged ? "converged" : "classic")
                     .arg(converged ? QStringLiteral(" at %1").arg(QString::number(
                                          outcome.Options.Converged.Tolerance, 'E', 0))
                                    : QString())
                     .arg(QString::number(result.ChiSquare, 'g', 4))
                     .arg(result.DegreesOfFreedom)
                     .arg(result.DegreesOfFreedom > 0
                              ? QString::number(result.ChiSquare / result.DegreesOfFreedom, 'g', 3)
                              : QString::fromUtf8("–"))
                     .arg(result.Iterations)
                     .arg(result.Evaluations)
                     .arg(QString::number(result.Seconds, 'f', 1));
  if (!offChart.empty()) {
    QStringList parts;
    for (const auto& [column, count] : offChart)
      parts << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(column->Label)).arg(count);
    text += QStringLiteral(" Not on a chart: %1.").arg(parts.join(", "));
  }
  QStringList warnings;
  for (const std::string& warning : result.Warnings) warnings << QString::fromStdString(warning);
  if (!result.Undetermined.empty()) {
    QStringList names;
    for (const std::string& name : result.Undetermined) names << QString::fromStdString(name);
    text += QStringLiteral(
                "\nThe measurements cannot determine %1: fit fewer parameters or "
                "add measurements that depend on them.")
                .arg(names.join(", "));
  }
  FitLabel->setText(text);
  FitLabel->setToolTip(warnings.join("\n"));
  SetTextColor(FitLabel, result.Undetermined.empty() ? kNoteColor : kPoorColor);
  FitNoteLabel->clear();
  FitNoteLabel->hide();
  FillFitTable(outcome);
  UseFittedBtn->setEnabled(result.Status == FitStatus::Fitted);
  UseFittedBtn->setToolTip(
      result.Status == FitStatus::Fitted
          ? QStringLiteral("Put the estimates into their fields (fixed items need \"Edit fixed "
                           "items\"); then OK runs the fitted case")
          : QStringLiteral("The measurements do not determine every parameter: the estimates "
                           "are not a fitted case"));
  FitPanel->show();
}

void ResultsPage::FillFitTable(const FitOutcome& fit) {
  const std::vector<FitEstimate>& estimates = fit.Result.Parameters;
  FitTable->clearSpans();
  FitTable->setRowCount(static_cast<int>(estimates.size()));
  for (size_t k = 0; k < estimates.size(); ++k) {
    const FitEstimate& e = estimates[k];
    const int row = static_cast<int>(k);
    auto* name = new QTableWidgetItem(
        e.Item == 0 ? QStringLiteral("Law constant %1").arg(QString::fromStdString(e.Name))
                    : QStringLiteral("%1 (%2)").arg(
                          QString::fromStdString(ItemDisplayName(ItemByNumber(e.Item))),
                          QString::fromStdString(e.Name)));
    name->setToolTip(QStringLiteral("Started from %1").arg(EstimateText(e.Initial)));
    FitTable->setItem(row, 0, name);
    FitTable->setItem(row, 1, new QTableWidgetItem(EstimateText(e.Value)));
    if (e.Determined) {
      FitTable->setItem(row, 2, new QTableWidgetItem(QString::number(e.StandardError, 'g', 3)));
      FitTable->setItem(row, 3, new QTableWidgetItem(EstimateText(e.Low95)));
      FitTable->setItem(row, 4, new QTableWidgetItem(EstimateText(e.High95)));
    } else {
      auto* why = new QTableWidgetItem("not determined by the measurements");
      why->setForeground(kPoorColor);
      FitTable->setItem(row, 2, why);
      FitTable->setItem(row, 3, new QTableWidgetItem);
      FitTable->setItem(row, 4, new QTableWidgetItem);
      FitTable->setSpan(row, 2, 1, 3);
    }
    for (int column = 1; column < 5; ++column) {
      if (QTableWidgetItem* cell = FitTable->item(row, column))
        cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
  }
  const int rows = std::min(static_cast<int>(estimates.size()), 4);
  FitTable->setFixedHeight(FitTable->horizontalHeader()->sizeHint().height() +
                           rows * FitTable->verticalHeader()->defaultSectionSize() + 4);
}

void ResultsPage::ClearFit() {
  fit_.reset();
  for (size_t k = 0; k < measured_.size(); ++k) {
    measured_[k]->clear();
    measuredExtent_[k].clear();
    static_cast<ErrorBars*>(errorBars_[k])->SetBars({});
    for (QLegendMarker* marker : measured_[k]->chart()->legend()->markers(measured_[k]))
      marker->setVisible(false);
  }
  FitPanel->hide();
  if (!HasResults()) {
    stack_->setCurrentIndex(0);
  } else {
    FitAxes(ShownPoints(classic_), WithKeptRuns(ShownPoints(converged_)));
  }
}

}  // namespace korvane::ui
