// Test helpers: a recorder in place of the modal dialogs, and the windows made the way the
// program entry makes them, with an initial tension file in a temporary folder.
#pragma once

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "run/RunDriver.h"
#include "ui/F_Form.h"
#include "ui/InitTension.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

// Failed comparisons of texts print the texts.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace korvane::ui::test {

class RecordingDialogs : public UserDialogs {
 public:
  void Message(const QString& text) override {
    Messages << text;
    if (OnMessage) OnMessage(text);
  }
  QString OpenDataFile(const QString& initialFolder) override {
    OpenFolders << initialFolder;
    return FileToOpen;
  }
  QString SaveFile(const QString& caption, const QString& initialPath,
                   const QString& filter) override {
    SaveRequests << QStringList{caption, initialPath, filter};
    return FileToSave;
  }
  MaterialChoice ChooseMaterial(const QString& name, const QString& source) override {
    MaterialsShown << QStringList{name, source};
    return MaterialAnswer;
  }
  QString OpenMaterialFile(const QString& initialFolder) override {
    OpenFolders << initialFolder;
    return MaterialToOpen;
  }
  QString OpenMeasurementsFile(const QString& initialFolder) override {
    OpenFolders << initialFolder;
    return MeasurementsToOpen;
  }
  void ShowFinish() override {
    ++FinishCount;
    if (OnFinish) OnFinish();
  }
  void ShowInitialTension() override { ++InitialTensionCount; }
  void ProgressStart() override {
    ++ProgressStarts;
    ProgressOpen = true;
  }
  bool ProgressUpdate(int passes, double relativeDifference) override {
    ProgressPasses << passes;
    LastRelativeDifference = relativeDifference;
    return OnProgress ? OnProgress(passes) : true;
  }
  void ProgressEnd() override {
    ++ProgressEnds;
    ProgressOpen = false;
  }

  QStringList Messages;
  QStringList OpenFolders;
  QString FileToOpen;                 // what the open-file dialog returns; empty is a cancel
  QList<QStringList> SaveRequests;    // caption, initial path and filter of each save dialog
  QString FileToSave;                 // what the save dialog returns; empty is a cancel
  QList<QStringList> MaterialsShown;  // name and source of each material dialog
  MaterialChoice MaterialAnswer = MaterialChoice::Keep;
  QString MaterialToOpen;      // what the material open dialog returns; empty is a cancel
  QString MeasurementsToOpen;  // what the measurements open dialog returns; empty is a cancel
  int ProgressStarts = 0;
  int ProgressEnds = 0;
  bool ProgressOpen = false;
  QList<int> ProgressPasses;  // the pass count of every update of the progress window
  double LastRelativeDifference = 0;
  int FinishCount = 0;
  int InitialTensionCount = 0;
  std::function<void(const QString&)> OnMessage;
  std::function<void()> OnFinish;
  // Called with the pass count on every update; returning false is pressing Cancel.
  std::function<bool(int)> OnProgress;
};

// Puts the process's current directory back when a test has moved it.
class CurrentDirectoryGuard {
 public:
  CurrentDirectoryGuard() : saved_(QDir::currentPath()) {}
  ~CurrentDirectoryGuard() { QDir::setCurrent(saved_); }
  CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
  CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

 private:
  QString saved_;
};

// The three windows in their start-up order, sharing one run context.
struct Program {
  explicit Program(const std::string& tensionFilePath)
      : MainForm(Context, Dialogs, tensionFilePath), Form1(Context, Dialogs, tensionFilePath) {}

  RunContext Context;
  RecordingDialogs Dialogs;
  TMainForm MainForm;
  TFinishForm FinishForm;
  TForm1 Form1;
};

// A temporary working folder made the current directory, and a program whose initial tension
// file lives there too (absent unless a test writes it).
struct Session {
  Session() : TensionPath(Folder.filePath("tension/TensKRVN.txt").toStdString()) {
    QDir::setCurrent(Folder.path());
    App = std::make_unique<Program>(TensionPath);
  }

  CurrentDirectoryGuard Guard;
  QTemporaryDir Folder;
  std::string TensionPath;
  std::unique_ptr<Program> App;
};

}  // namespace korvane::ui::test
