// The Change Initial Tension dialog: shows the assumed initial spinning tension and stores a
// new one into the initial tension file. Only a positive number is stored: the file is read by
// every later run on the machine, in the window and in the batch runner.
#pragma once

#include <QDialog>
#include <string>

#include "run/RunDriver.h"

class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace korvane::ui {

class UserDialogs;

// The refusal of a text that is not a positive number.
inline constexpr const char* kInitialTensionNotPositive =
    "\"Assumed initial tension (dyn)\" must be a number greater than 0.";

class TForm1 : public QDialog {
  Q_OBJECT

 public:
  // tensionFilePath: the initial tension file, the same one the main window read.
  TForm1(RunContext& context, UserDialogs& dialogs, std::string tensionFilePath,
         QWidget* parent = nullptr);

  QLineEdit* Edit101 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* CancelBtn = nullptr;

  // Puts the tension text read at start-up into the field; once, at creation.
  void FormCreate();

 public slots:
  // OK: stores the field's text into the file and makes it the text of the next runs. A text
  // that is not a positive number is refused with a message, and the dialog stays open.
  void BitBtn1Click();
  // Cancel (and Esc): closes the dialog; the field goes back to the text in effect.
  void CancelBtnClick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  RunContext& context_;
  UserDialogs& dialogs_;
  std::string tensionFilePath_;
};

}  // namespace korvane::ui
