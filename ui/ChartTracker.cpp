#include "ui/ChartTracker.h"

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>
#include <QPen>
#include <QXYSeries>
#include <cmath>

namespace korvane::ui {

namespace {

// The curves of a chart that hold points.
QList<QXYSeries*> Curves(const QChart& chart) {
  QList<QXYSeries*> curves;
  for (QAbstractSeries* series : chart.series()) {
    auto* curve = qobject_cast<QXYSeries*>(series);
    if (curve != nullptr && curve->isVisible() && curve->count() > 0) curves << curve;
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

}  // namespace

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
  font.setPixelSize(10);
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
  for (const QXYSeries* curve : Curves(chart)) {
    std::optional<double> value = ValueAt(*curve, x);
    if (!value) continue;
    if (curve->property(kLog10).toBool()) *value = std::pow(10.0, *value);
    text += QStringLiteral("\n%1: %2")
                .arg(curve->property(kQuantity).toString(), QString::number(*value, 'g', 5));
    const QString curveUnit = curve->property(kUnit).toString();
    if (curveUnit != "-") text += ' ' + curveUnit;
  }
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
  // Beside the line, on the side with room for it, at the top of the plot.
  double boxX = lineX + 6;
  if (boxX + boxRect.width() > plot.right()) boxX = lineX - 6 - boxRect.width();
  box_->setPos(std::max(boxX, plot.left()), plot.top() + 2);
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
