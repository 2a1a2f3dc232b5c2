// The program's real dialogs: modal windows that wait for the user.
#pragma once

#include "ui/UserDialogs.h"

class QWidget;

namespace korvane::ui {

class TFinishForm;
class TForm1;

class QtUserDialogs : public UserDialogs {
 public:
  // The two dialogs exist only after the main window, which may already need a message box
  // while it is created; they are attached once they exist.
  void Attach(QWidget* mainWindow, TFinishForm* finishForm, TForm1* form1);

  void Message(const QString& text) override;
  QString OpenDataFile(const QString& initialFolder) override;
  void ShowFinish() override;
  void ShowInitialTension() override;

 private:
  QWidget* mainWindow_ = nullptr;
  TFinishForm* finishForm_ = nullptr;
  TForm1* form1_ = nullptr;
};

}  // namespace korvane::ui
