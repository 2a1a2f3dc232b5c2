#include "ui/ColumnSchematic.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>

namespace korvane::ui {

namespace {

// An arrow head at tip, pointing in the direction (dx, dy) (a unit vector along an axis).
void DrawArrowHead(QPainter& painter, QPointF tip, double dx, double dy, double size) {
  const QPointF back(tip.x() - dx * size, tip.y() - dy * size);
  const QPointF side(-dy * size * 0.55, dx * size * 0.55);
  painter.drawPolygon(QPolygonF{tip, back + side, back - side});
}

}  // namespace

ColumnSchematic::ColumnSchematic(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ColumnSchematic::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double w = width();
  const double h = height();
  painter.fillRect(rect(), QColor(0xF4, 0xF8, 0xFC));

  // Column body: an upper zone and three jacket zones below it.
  const double left = w * 0.22;
  const double right = w * 0.70;
  const double top = h * 0.13;
  const double bottom = h * 0.76;
  const double wall = std::max(3.0, w * 0.035);
  const QColor steel(0x60, 0x6C, 0x78);
  const QColor jacket(0xC9, 0xDD, 0xF0);
  const double zoneTop = top + (bottom - top) * 0.28;
  for (int zone = 0; zone < 3; ++zone) {
    const double y0 = zoneTop + (bottom - zoneTop) * zone / 3.0 + 2;
    const double y1 = zoneTop + (bottom - zoneTop) * (zone + 1) / 3.0 - 2;
    painter.setPen(QPen(steel, 1));
    painter.setBrush(jacket);
    painter.drawRect(QRectF(left - 3 * wall, y0, 2 * wall, y1 - y0));
    painter.drawRect(QRectF(right + wall, y0, 2 * wall, y1 - y0));
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xFF, 0xF6, 0xE0));
  painter.drawRect(QRectF(left, top, right - left, bottom - top));
  painter.setBrush(steel);
  painter.drawRect(QRectF(left - wall, top, wall, bottom - top));
  painter.drawRect(QRectF(right, top, wall, bottom - top));
  painter.drawRect(QRectF(left - wall, top - wall, right - left + 2 * wall, wall));
  // Bottom plate with an opening for the bundle.
  const double centre = (left + right) / 2;
  const double gap = w * 0.05;
  painter.drawRect(QRectF(left - wall, bottom, centre - gap - left + wall, wall));
  painter.drawRect(QRectF(centre + gap, bottom, right + wall - centre - gap, wall));

  // Dope feed entering at the top centre, ending in the spinneret.
  const QColor dope(0xB0, 0x5A, 0x10);
  const double pipe = std::max(4.0, w * 0.05);
  painter.setBrush(dope);
  painter.drawRect(QRectF(centre - pipe / 2, h * 0.015, pipe, top - wall - h * 0.015));
  DrawArrowHead(painter, QPointF(centre, top - wall + 1), 0, 1, pipe * 1.4);
  const double spinneretWidth = (right - left) * 0.34;
  painter.setBrush(QColor(0x40, 0x40, 0x40));
  painter.drawPolygon(QPolygonF{QPointF(centre - pipe, top), QPointF(centre + pipe, top),
                                QPointF(centre + spinneretWidth / 2, top + h * 0.03),
                                QPointF(centre - spinneretWidth / 2, top + h * 0.03)});

  // Spinning gas: in at the top right, out at the bottom right.
  const QColor gas(0x20, 0x70, 0xC0);
  const double gasPipe = std::max(4.0, h * 0.022);
  painter.setBrush(gas);
  const double inletY = top + h * 0.05;
  painter.drawRect(QRectF(right + wall, inletY - gasPipe / 2, w - right - wall - 2, gasPipe));
  DrawArrowHead(painter, QPointF(right + wall - 1, inletY), -1, 0, gasPipe * 1.8);
  const double outletY = bottom - h * 0.04;
  painter.drawRect(
      QRectF(right + wall, outletY - gasPipe / 2, w - right - wall - gasPipe * 1.8, gasPipe));
  DrawArrowHead(painter, QPointF(w - 2, outletY), 1, 0, gasPipe * 1.8);
  // The gas flows down along the filaments.
  painter.setPen(QPen(gas, 1, Qt::DashLine));
  for (double x : {left + (right - left) * 0.12, right - (right - left) * 0.12}) {
    painter.drawLine(QPointF(x, top + h * 0.08), QPointF(x, bottom - h * 0.08));
    painter.setPen(Qt::NoPen);
    DrawArrowHead(painter, QPointF(x, bottom - h * 0.07), 0, 1, gasPipe * 1.2);
    painter.setPen(QPen(gas, 1, Qt::DashLine));
  }

  // The filament bundle leaves the spinneret and converges below the column.
  const QPointF guide(centre, bottom + h * 0.09);
  const int filaments = 7;
  painter.setBrush(Qt::NoBrush);
  for (int i = 0; i < filaments; ++i) {
    const double x0 = centre - spinneretWidth / 2 + spinneretWidth * (i + 0.5) / filaments;
    QPainterPath path(QPointF(x0, top + h * 0.03));
    path.cubicTo(QPointF(x0, top + (bottom - top) * 0.55), QPointF(centre, bottom - h * 0.05),
                 guide);
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    painter.drawPath(path);
  }
  // Guide and take-up roll.
  const double roll = std::max(8.0, w * 0.13);
  const QPointF rollCentre(centre + roll * 0.9, h - roll - h * 0.02);
  painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
  painter.drawLine(guide, QPointF(rollCentre.x() - roll, rollCentre.y()));
  painter.setBrush(QColor(0x90, 0x90, 0x90));
  painter.drawEllipse(guide, 3, 3);
  painter.setBrush(QColor(0xD8, 0xC0, 0x80));
  painter.drawEllipse(rollCentre, roll, roll);
  painter.setBrush(QColor(0x70, 0x60, 0x40));
  painter.drawEllipse(rollCentre, roll * 0.25, roll * 0.25);
}

}  // namespace korvane::ui
