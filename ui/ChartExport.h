// A chart of the results page taken out of the window: as a picture file, or its curves as
// text for a spreadsheet.
#pragma once

#include <QString>

class QChartView;

namespace korvane::ui {

// The curves of the chart as tab-separated text: a header naming the distance and each curve
// with its unit, then one row per distance that any curve holds, a curve without a value
// there left empty. Rows end with a newline.
QString ChartDataText(const QChartView& view);

// Writes the chart as it is drawn, at the size of its view, as a PNG picture or an SVG
// drawing titled with the chart's title. The file is replaced whole or not at all; returns an
// empty text, or what went wrong.
QString SaveChartPng(QChartView& view, const QString& path);
QString SaveChartSvg(QChartView& view, const QString& path);

}  // namespace korvane::ui
