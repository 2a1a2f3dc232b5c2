// The modal boxes and dialogs that the windows open. The windows never open one themselves:
// they ask this interface, so that the program shows real modal windows and a test records
// the requests instead of waiting on them.
#pragma once

#include <QString>

namespace korvane::ui {

// What the user chose in the material dialog.
enum class MaterialChoice { Keep, LoadFile, BuiltIn };

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A modal message box with one OK button; returns when the user has closed it.
  virtual void Message(const QString& text) = 0;
  // The open-file dialog for a data file, starting in initialFolder. Returns the one chosen
  // file, or an empty text when the user cancelled or did not choose exactly one file.
  virtual QString OpenDataFile(const QString& initialFolder) = 0;
  // A save-file dialog titled caption, starting at initialPath (a folder, or a suggested file
  // in it), offering the files that match filter ("CSV files (*.csv)"). Returns the chosen
  // file, or an empty text when the user cancelled.
  virtual QString SaveFile(const QString& caption, const QString& initialPath,
                           const QString& filter) = 0;
  // The material dialog, modal: shows the current material's name and source, and offers to
  // load a material file or to go back to the built-in material.
  virtual MaterialChoice ChooseMaterial(const QString& name, const QString& source) = 0;
  // The open-file dialog for a material file, starting in initialFolder. Returns the chosen
  // file, or an empty text when the user cancelled.
  virtual QString OpenMaterialFile(const QString& initialFolder) = 0;
  // The open-file dialog for a measurements file (CSV), starting in initialFolder. Returns the
  // chosen file, or an empty text when the user cancelled.
  virtual QString OpenMeasurementsFile(const QString& initialFolder) = 0;
  // The finish dialog, modal; returns when it has been closed.
  virtual void ShowFinish() = 0;
  // The Change Initial Tension dialog, modal; returns when it has been closed.
  virtual void ShowInitialTension() = 0;

  // The progress of a long run: a modal window that stays open while the run goes on, on the
  // same thread. ProgressStart opens it and returns at once; ProgressUpdate shows the pass
  // count and the relative difference of end velocity and take-up speed after a pass, and
  // returns false once the user has asked to cancel; ProgressEnd closes it.
  virtual void ProgressStart() = 0;
  virtual bool ProgressUpdate(int passes, double relativeDifference) = 0;
  virtual void ProgressEnd() = 0;
};

}  // namespace korvane::ui
