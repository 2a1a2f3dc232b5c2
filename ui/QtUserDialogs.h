// The program's real dialogs: modal windows that wait for the user.
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "ui/UserDialogs.h"

class QFileDialog;
class QProgressDialog;
class QWidget;

namespace korvane::ui {

class TFinishForm;
class TForm1;

// Sizes a file dialog so that its columns show their texts.
void FitFileDialog(QFileDialog& dialog);

class QtUserDialogs : public UserDialogs {
 public:
  QtUserDialogs();
  ~QtUserDialogs() override;
  QtUserDialogs(const QtUserDialogs&) = delete;
  QtUserDialogs& operator=(const QtUserDialogs&) = delete;

  // The two dialogs exist only after the main window, which may already need a message box
  // while it is created; they are attached once they exist.
  void Attach(QWidget* mainWindow, TFinishForm* finishForm, TForm1* form1);

  void Message(const QString& text) override;
  QString OpenDataFile(const QString& initialFolder) override;
  QString SaveFile(const QString& caption, const QString& initialPath,
                   const QString& filter) override;
  MaterialChoice ChooseMaterial(const QString& name, const QString& source) override;
  QString OpenMaterialFile(const QString& initialFolder) override;
  QString OpenMeasurementsFile(const QString& initialFolder) override;
  void ShowFinish() override;
  void ShowInitialTension() override;
  void ProgressStart() override;
  bool ProgressUpdate(int passes, double relativeDifference) override;
  void ProgressEnd() override;

 private:
  // A file dialog for one existing file; empty when none was chosen.
  QString OpenExistingFile(const QString& title, const QString& initialFolder,
                           const QString& filters);

  QWidget* mainWindow_ = nullptr;
  TFinishForm* finishForm_ = nullptr;
  TForm1* form1_ = nullptr;
  // Owned here; a child of the main window so that it opens over it.
  QPointer<QProgressDialog> progress_;
  QElapsedTimer sinceProgressText_;
};

}  // namespace korvane::ui
