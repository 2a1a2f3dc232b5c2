#include "ui/ChartExport.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <cmath>
#include <map>
#include <vector>

#include "ui/ChartTracker.h"

namespace korvane::ui {

namespace {

QString WithUnit(const QString& name, const QVariant& unit) {
  const QString text = unit.toString();
  return text.isEmpty() || text == "-" ? name : QStringLiteral("%1 (%2)").arg(name, text);
}

QString WriteWhole(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    return QStringLiteral("Could not write \"%1\": %2").arg(path, file.errorString());
  return {};
}

}  // namespace

QString ChartDataText(const QChartView& view) {
  const QChart* chart = view.chart();
  std::vector<const QXYSeries*> curves;
  for (QAbstractSeries* series : chart->series()) {
    const auto* xy = qobject_cast<const QXYSeries*>(series);
    if (xy != nullptr && xy->isVisible() && xy->count() > 0) curves.push_back(xy);
  }
  QStringList header{
      WithUnit(chart->property(kTrackerXName).toString(), chart->property(kTrackerXUnit))};
  // Each distance with the curves' values at it.
  std::map<double, std::vector<QString>> rows;
  for (size_t c = 0; c < curves.size(); ++c) {
    header << WithUnit(curves[c]->name(), curves[c]->property(kUnit));
    for (const QPointF& point : curves[c]->points()) {
      auto& row = rows[point.x()];
      row.resize(curves.size());
      // A curve on a decade axis holds logarithms; the text gives the values themselves.
      const bool log10 = curves[c]->property(kLog10).toBool();
      row[c] = QString::number(log10 ? std::pow(10.0, point.y()) : point.y(), 'g', 10);
    }
  }
  QString text = header.join('\t') + '\n';
  for (auto& [x, values] : rows) {
    values.resize(curves.size());
    text += QString::number(x, 'g', 10);
    for (const QString& value : values) text += '\t' + value;
    text += '\n';
  }
  return text;
}

QString SaveChartPng(QChartView& view, const QString& path) {
  const QImage image = view.grab().toImage();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (image.isNull() || !image.save(&buffer, "PNG"))
    return QStringLiteral("Could not draw the chart \"%1\".").arg(view.chart()->title());
  return WriteWhole(path, bytes);
}

QString SaveChartSvg(QChartView& view, const QString& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(view.size());
  svg.setViewBox(QRect(QPoint(0, 0), view.size()));
  svg.setTitle(view.chart()->title());
  {
    QPainter painter(&svg);
    view.render(&painter);
  }
  return WriteWhole(path, bytes);
}

}  // namespace korvane::ui
