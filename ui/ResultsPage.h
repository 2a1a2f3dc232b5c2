// The results page of the main window: the figures of the last run and its profile along the
// spinning line, plotted against the distance from the spinneret.
#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/model/RunParameters.h"
#include "core/results/SimulationState.h"
#include "core/results/SpinningLineProfile.h"
#include "files/ProfileColumns.h"
#include "run/RunDriver.h"
#include "ui/ConvergedComparison.h"
#include "ui/FitDialog.h"
#include "ui/UserDialogs.h"

class QAbstractAxis;
class QCategoryAxis;
class QChart;
class QChartView;
class QGraphicsItem;
class QGridLayout;
class QLabel;
class QLineSeries;
class QMenu;
class QPushButton;
class QScatterSeries;
class QStackedWidget;
class QTableWidget;
class QValueAxis;
class QXYSeries;

namespace korvane::ui {

// How a value axis of a chart along the line fits its curves.
enum class AxisKind {
  FromZero,  // includes zero when every value is positive
  Free,      // just the values
  Decades    // the curves hold decimal logarithms; the axis reads in powers of ten
};

// "tolerance 1E-06 not met: estimated error ±8E-05 dyn"
QString ToleranceNotMetText(double tolerance, double estimatedError);

// The colour of a result that holds, but not to the accuracy asked for.
inline const QColor kAmber{0xb0, 0x60, 0x00};

class ResultsPage : public QWidget {
  Q_OBJECT

 public:
  explicit ResultsPage(QWidget* parent = nullptr);

  // Shows the run's points 0 .. pointCount - 1 (the points written to the result tables).
  // The values that do not belong to the last pass, and values that are not finite, are left
  // out of their curves. A run that ended early (outcome) says where and why above the charts.
  void ShowResults(const RunParameters& params, const SpinningLineProfile& profile,
                   const SimulationState& state, int pointCount,
                   RunOutcome outcome = RunOutcome::Success);
  // The converged method is solving the shown case in the background.
  void ShowComparisonRunning();
  // The converged line of the shown case: both spinneret tensions with the classic run's
  // relative error, and the converged curves dashed beside the classic ones. A comparison that
  // failed says so on its line.
  void ShowComparison(const ComparisonResult& result);
  // As above, and the converged line is kept for export while these results are shown.
  void ShowComparison(const std::shared_ptr<const ComparisonResult>& result);
  // The converged line of the shown results, when one was solved (else nullptr).
  const ComparisonResult* ShownComparison() const { return comparison_.get(); }
  // The results shown come from the converged method itself (report: its figures, at the
  // tolerance asked for). A tolerance that was not met is said in amber.
  void ShowConvergedRun(const ConvergedReport& report, double tolerance);
  // No results: the charts are emptied and the export is disabled.
  void Clear();
  bool HasResults() const { return pointCount_ > 0; }
  int PointCount() const { return pointCount_; }

  // Shows one chart alone over the whole page, or all of them again (nullptr).
  void Enlarge(QChartView* view);

  // Where the chart menu asks for the file to save a chart in (none: saving is not offered),
  // and the folder the save dialog starts in.
  void SetDialogs(UserDialogs* dialogs, std::function<QString()> folder);
  // The menu a right click on the chart opens: save it as PNG or SVG, copy its data as text.
  // The caller owns it.
  QMenu* ChartMenu(QChartView* view);

  // The runs kept for comparison, the shown one first (0) and then the earlier ones, newest
  // first. Each earlier run is drawn over the shown one in a fading colour unless hidden; a
  // pinned run stays when a newer one would push it out.
  static constexpr int kKeptRuns = 5;
  int KeptRunCount() const { return static_cast<int>(runs_.size()); }
  // What kept run k was run with that differs from the shown inputs, e.g. "take-up 900 cm/s"
  // (at most two items, then "…"; "same inputs" when none differs).
  QString KeptRunLabel(int k) const;
  bool KeptRunPinned(int k) const { return runs_[static_cast<size_t>(k)].Pinned; }
  bool KeptRunHidden(int k) const { return runs_[static_cast<size_t>(k)].Hidden; }
  void SetKeptRunPinned(int k, bool pinned);
  void SetKeptRunHidden(int k, bool hidden);
  // The kept runs side by side: what differs, spinneret tension, end figures, pin and hide.
  QTableWidget* RunsTable = nullptr;

  // A fit's measurements as points with error bars (one sigma) on the charts of their
  // quantities, and its estimates in a table under the charts. They stay over the runs that
  // follow (the fitted case run shows its profile through them) until another fit or "Clear
  // fit". Measurements of a quantity without a curve are named in the fit's line.
  void ShowFit(std::shared_ptr<const FitOutcome> fit);
  void ClearFit();
  const FitOutcome* ShownFit() const { return fit_.get(); }
  // The measured points on the curve of the column ("average_solvent_fraction"), or nullptr
  // when no curve draws it.
  QScatterSeries* MeasuredSeries(const char* column) const;
  QWidget* FitPanel = nullptr;
  QLabel* FitLabel = nullptr;      // the measurements, chi-square, what the data cannot determine
  QLabel* FitNoteLabel = nullptr;  // what became of "Use fitted values"
  // Per parameter: the item, the estimate, its standard error and its 95 % interval.
  QTableWidget* FitTable = nullptr;
  QPushButton* UseFittedBtn = nullptr;
  QPushButton* ClearFitBtn = nullptr;

  QPushButton* ExportCsvBtn = nullptr;
  // Shows the table of the kept runs under the charts (hidden at first: the charts need the
  // room at the window's first size).
  QPushButton* RunsBtn = nullptr;
  QLabel* EndNoteLabel = nullptr;
  QLabel* ComparisonLabel = nullptr;  // the converged method's figures beside the classic ones  //
                                      // where and why a profile ends short of the line
  QLabel* PassesValue = nullptr;
  QLabel* SpinneretTensionValue = nullptr;
  QLabel* EndSolventValue = nullptr;
  QLabel* EndTemperatureValue = nullptr;
  QLabel* EndStressValue = nullptr;

 signals:
  void ExportCsvRequested();
  // "Use fitted values" was pressed: the main window puts the estimates into the fields.
  void UseFittedValuesRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QChartView* AddChart(const char* name, const QString& title, int row, int column);
  QLineSeries* AddSeries(QChart* chart, const char* name, const QString& legend,
                         const QString& quantity, const QString& unit, const QColor& color,
                         QValueAxis* x, QAbstractAxis* y);
  // The dashed twin of a classic curve, for the converged line.
  QLineSeries* AddConvergedTwin(QLineSeries* classic);
  // What each curve draws: its output column's finite values at the source's points (a curve
  // on a decade axis the logarithms of the positive ones), thinned for drawing.
  std::vector<QList<QPointF>> CurvePoints(const std::vector<QLineSeries*>& series,
                                          const ProfileSource& source) const;
  static std::vector<QList<QPointF>> ShownPoints(const std::vector<QLineSeries*>& series);
  static void FillCurves(const std::vector<QLineSeries*>& series,
                         const std::vector<QList<QPointF>>& curves);
  // Fits the value axes of the charts along the line to the classic and converged curves.
  void FitAxes(const std::vector<QList<QPointF>>& classic,
               const std::vector<QList<QPointF>>& converged);
  void SetComparisonText(const QString& text, const QColor& color);
  void ShowRadialProfiles(const SpinningLineProfile& profile, const SimulationState& state,
                          int pointCount);
  // The dashed twin of each radial profile shown, from a converged line at the same distance.
  void ShowConvergedRadialProfiles(const SpinningLineProfile& profile, int pointCount);
  void FitRadialAxis();

  // Asks for a file and saves the chart in it; a failure is said in a message box.
  void SaveChart(QChartView* view, bool svg);

  // A run kept for comparison: its inputs, its curves along the line as they were drawn (one
  // list per entry of classic_), and its figures as the page showed them.
  struct KeptRun {
    RunParameters Params;
    std::vector<QList<QPointF>> Curves;
    QStringList Figures;  // spinneret tension, end solvent, end temperature, end stress
    bool Pinned = false;
    bool Hidden = false;
  };
  void KeepRun(KeptRun run);
  // Redraws the earlier runs over the shown one and refits the axes to every curve drawn.
  void DrawKeptRuns(bool fillTable = true);
  void FillRunsTable();
  // The converged curves with the earlier runs' curves added, for fitting the axes.
  std::vector<QList<QPointF>> WithKeptRuns(std::vector<QList<QPointF>> curves) const;

  void FillFitTable(const FitOutcome& fit);

  // The fit shown, its measured points per curve (parallel to classic_), and the ends of their
  // error bars in the units of the curve's axis, which the axes are fitted to as well.
  std::shared_ptr<const FitOutcome> fit_;
  std::vector<QScatterSeries*> measured_;
  std::vector<QList<QPointF>> measuredExtent_;
  std::vector<QGraphicsItem*> errorBars_;  // owned by their charts

  std::deque<KeptRun> runs_;
  std::vector<QLineSeries*> keptSeries_;
  bool fillingTable_ = false;
  UserDialogs* dialogs_ = nullptr;
  std::shared_ptr<const ComparisonResult> comparison_;
  std::function<QString()> folder_;
  QStackedWidget* stack_ = nullptr;
  QGridLayout* grid_ = nullptr;
  std::array<QChartView*, 6> views_ = {};
  QChartView* enlarged_ = nullptr;
  int pointCount_ = 0;
  double classicTension_ = 0;  // the spinneret tension of the shown run, dyn
  // The curves along the line in the order of their charts, what each draws, and their dashed
  // twins for the converged line.
  std::vector<QLineSeries*> classic_;
  std::vector<const ProfileColumn*> columns_;  // the output column each classic curve draws
  RunParameters params_;                       // the inputs of the results shown
  std::vector<QLineSeries*> converged_;

  // A chart along the line: its distance axis, its value axes and the curves on each (indices
  // into classic_ and converged_), and a reference curve on the left one.
  struct LineChart {
    QValueAxis* Z = nullptr;
    QAbstractAxis* Left = nullptr;
    QAbstractAxis* Right = nullptr;
    AxisKind LeftKind = AxisKind::Free;
    AxisKind RightKind = AxisKind::Free;
    std::vector<size_t> LeftCurves;
    std::vector<size_t> RightCurves;
    QLineSeries* Extra = nullptr;
  };
  std::vector<LineChart> charts_;
  QLineSeries* takeUpSpeed_ = nullptr;

  QChart* radialChart_ = nullptr;
  QValueAxis* radialX_ = nullptr;
  QValueAxis* radialAxis_ = nullptr;
};

}  // namespace korvane::ui
