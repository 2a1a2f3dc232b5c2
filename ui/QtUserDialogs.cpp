#include "ui/QtUserDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "ui/F_Form.h"
#include "ui/InitTension.h"

namespace korvane::ui {

void QtUserDialogs::Attach(QWidget* mainWindow, TFinishForm* finishForm, TForm1* form1) {
  mainWindow_ = mainWindow;
  finishForm_ = finishForm;
  form1_ = form1;
}

void QtUserDialogs::Message(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, "Korvane", text, QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

QString QtUserDialogs::OpenDataFile(const QString& initialFolder) {
  // "*" is every file here, as *.* is where every name has an extension.
  return QFileDialog::getOpenFileName(mainWindow_, "Open", initialFolder,
                                      "Text files (*.txt);;All files (*)");
}

void QtUserDialogs::ShowFinish() {
  if (finishForm_ != nullptr) finishForm_->exec();
}

void QtUserDialogs::ShowInitialTension() {
  if (form1_ != nullptr) form1_->exec();
}

}  // namespace korvane::ui
