// An axis over decades for a quantity that spans several powers of ten. Its curves hold the
// decimal logarithm of their values (and say so, see ChartTracker.h); the axis labels the whole
// decades as powers of ten: 10³, 10⁴, ...
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <utility>
#include <vector>

class QCategoryAxis;
class QColor;

namespace korvane::ui {

// "10" with the exponent raised: DecadeLabel(3) is "10³", DecadeLabel(-2) is "10⁻²".
QString DecadeLabel(int exponent);

QCategoryAxis* MakeDecadeAxis(const QString& title, const QColor& titleColor);

// Runs the axis over the whole decades that hold the curves' values (at least one decade).
void FitDecadeAxis(QCategoryAxis* axis, const std::vector<QList<QPointF>>& curves);

// The smallest and largest y of the curves' points; empty curves add nothing (low > high when
// all are).
std::pair<double, double> CurvesYRange(const std::vector<QList<QPointF>>& curves);

}  // namespace korvane::ui
