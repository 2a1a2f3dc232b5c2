// The values under the mouse on a chart: a vertical line through the plot at the data point
// nearest to the mouse, and a box with the values of every curve of the chart there.
#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <optional>

class QChart;
class QChartView;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QXYSeries;

namespace korvane::ui {

// What a chart and its curves tell the tracker, as properties:
//   chart:  trackerXName ("Z"), trackerXUnit ("cm"), trackerXDecimals (1);
//   curve:  quantity ("filament velocity"), unit ("cm/s"; "-" for none), and log10 (true when
//           the curve holds the decimal logarithm of its values).
inline constexpr const char* kTrackerXName = "trackerXName";
inline constexpr const char* kTrackerXUnit = "trackerXUnit";
inline constexpr const char* kTrackerXDecimals = "trackerXDecimals";
inline constexpr const char* kQuantity = "quantity";
inline constexpr const char* kUnit = "unit";
inline constexpr const char* kLog10 = "log10";
// Set on a series of single points (measurements): the hover box does not read values
// between them.
inline constexpr const char* kUntracked = "untracked";

class ChartTracker : public QObject {
  Q_OBJECT

 public:
  // Follows the mouse over the view's plot area from now on; owned by the view.
  explicit ChartTracker(QChartView* view);

  // The x of the data point of the chart's curves nearest to x; none when no curve has points.
  static std::optional<double> NearestX(const QChart& chart, double x);
  // The tracker's text at x: a line with x, then one line per curve that reaches x, with its
  // value there (between two points of a curve, the straight line between them).
  static QString Text(const QChart& chart, double x);

  // Where the tracker's box of the given size goes for a line at lineX (chart coordinates).
  static QPointF BoxPosition(QChart& chart, const QList<QXYSeries*>& curves, double lineX,
                             QSizeF box);

  // Shows the tracker for a position in the view's viewport; hides it outside the plot.
  void Track(QPointF viewportPosition);
  void Hide();

  bool Shown() const;
  QString ShownText() const;
  double ShownX() const { return shownX_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QChartView* view_;
  // The view's viewport, kept from the start: while the view is destroyed its viewport still
  // sends events, and the view is no longer a scroll area that could be asked for it.
  QWidget* viewport_;
  QGraphicsLineItem* line_ = nullptr;
  QGraphicsRectItem* box_ = nullptr;
  QGraphicsSimpleTextItem* text_ = nullptr;
  double shownX_ = 0;
};

}  // namespace korvane::ui
