#include "ui/DecadeAxis.h"

#include <QCategoryAxis>
#include <QColor>
#include <QFont>
#include <algorithm>
#include <cmath>
#include <limits>

namespace korvane::ui {

QString DecadeLabel(int exponent) {
  static const char16_t kSuperscripts[] = u"⁰¹²³⁴⁵⁶⁷⁸⁹";
  QString digits = QString::number(std::abs(exponent));
  QString label = QStringLiteral("10");
  if (exponent < 0) label += QChar(u'⁻');
  for (QChar digit : digits) label += QChar(kSuperscripts[digit.digitValue()]);
  return label;
}

QCategoryAxis* MakeDecadeAxis(const QString& title, const QColor& titleColor) {
  auto* axis = new QCategoryAxis;
  QFont titleFont;
  titleFont.setPixelSize(9);
  QFont labelsFont;
  labelsFont.setPixelSize(9);
  axis->setTitleText(title);
  axis->setTitleFont(titleFont);
  axis->setTitleBrush(titleColor);
  axis->setLabelsFont(labelsFont);
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axis->setGridLineColor(QColor(0xe2, 0xe2, 0xe2));
  return axis;
}

std::pair<double, double> CurvesYRange(const std::vector<QList<QPointF>>& curves) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const QList<QPointF>& curve : curves) {
    for (const QPointF& point : curve) {
      low = std::min(low, point.y());
      high = std::max(high, point.y());
    }
  }
  return {low, high};
}

void FitDecadeAxis(QCategoryAxis* axis, const std::vector<QList<QPointF>>& curves) {
  const auto [low, high] = CurvesYRange(curves);
  int first = 0;
  int last = 1;
  if (low <= high) {
    first = static_cast<int>(std::floor(low));
    last = std::max(static_cast<int>(std::ceil(high)), first + 1);
  }
  for (const QString& label : axis->categoriesLabels()) axis->remove(label);
  // Each decade is a category that ends on its power of ten, where its label stands; the
  // first one begins just below the axis so that the lowest power is labelled too.
  axis->setStartValue(first - 1e-9);
  for (int exponent = first; exponent <= last; ++exponent) {
    axis->append(DecadeLabel(exponent), exponent);
  }
  axis->setRange(first, last);
}

}  // namespace korvane::ui
