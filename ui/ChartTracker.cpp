#include "ui/ChartTracker.h"

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHash>
#include <QMouseEvent>
#include <QPen>
#include <QXYSeries>
#include <algorithm>
#include <cmath>

namespace korvane::ui {

namespace {

const QLatin1StringView kTwinSuffix("Converged");

// The curves of a chart that hold points.
QList<QXYSeries*> Curves(const QChart& chart) {
  QList<QXYSeries*> curves;
  for (QAbstractSeries* series : chart.series()) {
    auto* curve = qobject_cast<QXYSeries*>(series);
    if (curve != nullptr && curve->isVisible() && curve->count() > 0 &&
        !curve->property(kUntracked).toBool())
      curves << curve;
  }
  return curves;
}

// The value of a curve at x: a point's own value, or the straight line between the two points
// around x. None outside the curve.
std::optional<double> ValueAt(const QXYSeries& curve, double x) {
  const QList<QPointF> points = curve.points();
  for (qsizetype i = 0; i < points.size(); ++i) {
    if (points[i].x() == x) return points[i].y();
    if (i > 0 && points[i - 1].x() < x && x < points[i].x()) {
      const QPointF& a = points[i - 1];
      const QPointF& b = points[i];
      return a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x());
    }
  }
  return std::nullopt;
}

// How many points of the curves lie under a box (in the chart's coordinates).
int PointsUnder(QChart& chart, const QList<QXYSeries*>& curves, const QRectF& box) {
  int count = 0;
  for (QXYSeries* curve : curves) {
    // The box in the curve's own values: its axes may differ from the other curves'.
    const QPointF a = chart.mapToValue(box.topLeft(), curve);
    const QPointF b = chart.mapToValue(box.bottomRight(), curve);
    const QRectF values = QRectF(a, b).normalized();
    for (const QPointF& point : curve->points()) count += values.contains(point) ? 1 : 0;
  }
  return count;
}

}  // namespace

QPointF ChartTracker::BoxPosition(QChart& chart, const QList<QXYSeries*>& curves, double lineX,
                                  QSizeF box) {
  // Beside the line, at the top or the bottom of the plot, wherever it hides the fewest points
  // of the curves; always whole inside the chart, over the axis labels if it must.
  const QRectF plot = chart.plotArea();
  const QRectF whole = chart.rect();
  const double right = lineX + 6;
  const double left = lineX - 6 - box.width();
  const double top = plot.top() + 2;
  const double bottom = plot.bottom() - 2 - box.height();
  QPointF best;
  int fewest = -1;
  for (double y : {top, bottom}) {
    for (double x : {right, left}) {
      const bool fits = x >= plot.left() && x + box.width() <= plot.right();
      const double clampedX = std::clamp(
          x, whole.left() + 1, std::max(whole.left() + 1, whole.right() - box.width() - 1));
      const QPointF at(clampedX, std::max(y, whole.top() + 1));
      // A box pushed over the line hides the values it shows: the worst place.
      const int hidden = PointsUnder(chart, curves, QRectF(at, box)) + (fits ? 0 : 100000);
      if (fewest < 0 || hidden < fewest) {
        fewest = hidden;
        best = at;
      }
    }
  }
  return best;
}

ChartTracker::ChartTracker(QChartView* view)
    : QObject(view), view_(view), viewport_(view->viewport()) {
  QChart* chart = view->chart();
  QPen pen(QColor(0x40, 0x40, 0x40));
  pen.setWidthF(1.0);
  pen.setStyle(Qt::DashLine);
  line_ = new QGraphicsLineItem(chart);
  line_->setPen(pen);
  box_ = new QGraphicsRectItem(chart);
  box_->setPen(QPen(QColor(0x90, 0x90, 0x90)));
  box_->setBrush(QColor(255, 255, 255, 230));
  text_ = new QGraphicsSimpleTextItem(box_);
  QFont font;
  font.setPixelSize(9);
  text_->setFont(font);
  for (QGraphicsItem* item :
       {static_cast<QGraphicsItem*>(line_), static_cast<QGraphicsItem*>(box_)}) {
    item->setZValue(1000);
    item->setAcceptedMouseButtons(Qt::NoButton);
    item->setVisible(false);
  }
  view->setMouseTracking(true);
  view->viewport()->setMouseTracking(true);
  viewport_->installEventFilter(this);
}

std::optional<double> ChartTracker::NearestX(const QChart& chart, double x) {
  std::optional<double> nearest;
  for (const QXYSeries* curve : Curves(chart)) {
    for (const QPointF& point : curve->points()) {
      if (!nearest || std::fabs(point.x() - x) < std::fabs(*nearest - x)) nearest = point.x();
    }
  }
  return nearest;
}

QString ChartTracker::Text(const QChart& chart, double x) {
  const QString unit = chart.property(kTrackerXUnit).toString();
  QString text = QStringLiteral("%1 = %2").arg(
      chart.property(kTrackerXName).toString(),
      QString::number(x, 'f', chart.property(kTrackerXDecimals).toInt()));
  if (!unit.isEmpty()) text += ' ' + unit;
  // One line per quantity: a curve's twin (named like it, with "Converged" after) adds its value
  // to that line, so that the box stays narrow enough for the chart.
  QStringList lines;
  QHash<QString, qsizetype> lineOf;
  for (const QXYSeries* curve : Curves(chart)) {
    std::optional<double> value = ValueAt(*curve, x);
    if (!value) continue;
    if (curve->property(kLog10).toBool()) *value = std::pow(10.0, *value);
    const QString number = QString::number(*value, 'g', 5);
    const QString name = curve->objectName();
    if (name.endsWith(kTwinSuffix)) {
      const auto base = lineOf.constFind(name.chopped(kTwinSuffix.size()));
      if (base != lineOf.constEnd()) {
        lines[*base] += QStringLiteral(" (converged %1)").arg(number);
        continue;
      }
    }
    QString line = QStringLiteral("%1: %2").arg(curve->property(kQuantity).toString(), number);
    const QString curveUnit = curve->property(kUnit).toString();
    if (curveUnit != "-") line += ' ' + curveUnit;
    if (!name.isEmpty()) lineOf.insert(name, lines.size());
    lines << line;
  }
  for (const QString& line : lines) text += '\n' + line;
  return text;
}

void ChartTracker::Track(QPointF viewportPosition) {
  QChart* chart = view_->chart();
  const QPointF position = chart->mapFromScene(view_->mapToScene(viewportPosition.toPoint()));
  const QRectF plot = chart->plotArea();
  const QList<QXYSeries*> curves = Curves(*chart);
  if (!plot.contains(position) || curves.isEmpty()) {
    Hide();
    return;
  }
  // The x axis is shared by every curve of a chart: any curve maps the mouse to it.
  QXYSeries* reference = curves.front();
  const std::optional<double> x = NearestX(*chart, chart->mapToValue(position, reference).x());
  if (!x) {
    Hide();
    return;
  }
  shownX_ = *x;
  const double lineX = chart->mapToPosition(QPointF(*x, 0), reference).x();
  line_->setLine(lineX, plot.top(), lineX, plot.bottom());
  text_->setText(Text(*chart, *x));
  const QRectF textRect = text_->boundingRect();
  const QRectF boxRect(0, 0, textRect.width() + 8, textRect.height() + 6);
  text_->setPos(4, 3);
  box_->setRect(boxRect);
  box_->setPos(BoxPosition(*chart, curves, lineX, boxRect.size()));
  line_->setVisible(true);
  box_->setVisible(true);
}

void ChartTracker::Hide() {
  line_->setVisible(false);
  box_->setVisible(false);
}

bool ChartTracker::Shown() const {
  return box_->isVisible();
}

QString ChartTracker::ShownText() const {
  return Shown() ? text_->text() : QString();
}

bool ChartTracker::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport_) {
    if (event->type() == QEvent::MouseMove) {
      Track(static_cast<QMouseEvent*>(event)->position());
    } else if (event->type() == QEvent::Leave || event->type() == QEvent::Resize) {
      Hide();
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace korvane::ui
