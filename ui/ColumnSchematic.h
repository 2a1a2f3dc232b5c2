// The picture on the main window: a schematic of the spinning column, drawn to the widget's
// size.
#pragma once

#include <QWidget>

namespace korvane::ui {

class ColumnSchematic : public QWidget {
  Q_OBJECT

 public:
  explicit ColumnSchematic(QWidget* parent = nullptr);

  QSize sizeHint() const override { return {177, 371}; }
  QSize minimumSizeHint() const override { return {90, 190}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace korvane::ui
