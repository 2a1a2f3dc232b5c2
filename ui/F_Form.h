// The finish dialog: tells the user that a run has ended successfully.
#pragma once

#include <QDialog>

class QPushButton;

namespace korvane::ui {

class TFinishForm : public QDialog {
  Q_OBJECT

 public:
  explicit TFinishForm(QWidget* parent = nullptr);

  QPushButton* BitBtn1 = nullptr;

 public slots:
  // OK: closes the dialog; the close box does the same.
  void BitBtn1Click();
};

}  // namespace korvane::ui
