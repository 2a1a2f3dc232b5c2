// The Change Initial Tension dialog: shows the assumed initial spinning tension and stores a
// new one into the initial tension file.
#pragma once

#include <QDialog>
#include <string>

#include "run/RunDriver.h"

class QLineEdit;
class QPushButton;

namespace korvane::ui {

class UserDialogs;

class TForm1 : public QDialog {
  Q_OBJECT

 public:
  // tensionFilePath: the initial tension file, the same one the main window read.
  TForm1(RunContext& context, UserDialogs& dialogs, std::string tensionFilePath,
         QWidget* parent = nullptr);

  QLineEdit* Edit101 = nullptr;
  QPushButton* BitBtn1 = nullptr;

  // Puts the tension text read at start-up into the field; once, at creation.
  void FormCreate();

 public slots:
  // OK: stores the field's text into the file and makes it the text of the next runs.
  void BitBtn1Click();

 private:
  RunContext& context_;
  UserDialogs& dialogs_;
  std::string tensionFilePath_;
};

}  // namespace korvane::ui
