#include "ui/Look.h"

#include <QPalette>
#include <QWidget>

namespace korvane::ui {

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::ButtonText, color);
  widget->setPalette(palette);
}

void SetPixelFont(QWidget* widget, int pixels) {
  QFont font = widget->font();
  font.setPixelSize(pixels);
  widget->setFont(font);
}

}  // namespace korvane::ui
