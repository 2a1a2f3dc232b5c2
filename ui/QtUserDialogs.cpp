#include "ui/QtUserDialogs.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeView>

#include "core/classic/TensionIterationLoop.h"
#include "ui/F_Form.h"
#include "ui/InitTension.h"

namespace korvane::ui {

namespace {

// A pass of a short line takes well under a millisecond: the text changes at most this often,
// so that drawing it does not slow the run down.
constexpr int kProgressTextIntervalMs = 100;

QString ProgressText(int passes, double relativeDifference) {
  return QStringLiteral(
             "Tension iteration: pass %1\n"
             "Relative difference of end velocity and take-up speed: %2\n"
             "(converged when below %3)")
      .arg(passes)
      .arg(relativeDifference, 0, 'E', 2)
      .arg(kTakeUpTolerance, 0, 'E', 1);
}

}  // namespace

QtUserDialogs::QtUserDialogs() = default;
QtUserDialogs::~QtUserDialogs() {
  ProgressEnd();
}

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

void FitFileDialog(QFileDialog& dialog) {
  dialog.resize(800, 480);
  // The name takes the room the other columns leave; they show their whole texts.
  for (QTreeView* view : dialog.findChildren<QTreeView*>()) {
    QHeaderView* header = view->header();
    if (header->count() < 2) continue;
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(60);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
}

QString QtUserDialogs::OpenExistingFile(const QString& title, const QString& initialFolder,
                                        const QString& filters) {
  QFileDialog dialog(mainWindow_, title, initialFolder, filters);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  FitFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.size() == 1 ? chosen.front() : QString();
}

QString QtUserDialogs::OpenDataFile(const QString& initialFolder) {
  // "*" is every file here, as *.* is where every name has an extension.
  return OpenExistingFile("Open", initialFolder, "Text files (*.txt);;All files (*)");
}

MaterialChoice QtUserDialogs::ChooseMaterial(const QString& name, const QString& source) {
  QMessageBox box(QMessageBox::NoIcon, "Material",
                  QStringLiteral("Current material: %1\nSource: %2").arg(name, source),
                  QMessageBox::Close, mainWindow_);
  box.setWindowModality(Qt::ApplicationModal);
  QPushButton* load = box.addButton("Load File...", QMessageBox::ActionRole);
  QPushButton* builtIn = box.addButton("Built-in", QMessageBox::ResetRole);
  box.exec();
  if (box.clickedButton() == load) return MaterialChoice::LoadFile;
  if (box.clickedButton() == builtIn) return MaterialChoice::BuiltIn;
  return MaterialChoice::Keep;
}

QString QtUserDialogs::OpenMaterialFile(const QString& initialFolder) {
  return OpenExistingFile("Open Material", initialFolder, "Material files (*.toml);;All files (*)");
}

QString QtUserDialogs::OpenMeasurementsFile(const QString& initialFolder) {
  return OpenExistingFile("Open Measurements", initialFolder, "CSV files (*.csv);;All files (*)");
}

QString QtUserDialogs::SaveFile(const QString& caption, const QString& initialPath,
                                const QString& filter) {
  QFileDialog dialog(mainWindow_, caption, initialPath, filter);
  FitFileDialog(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // A name typed without an extension gets the one of the filter ("*.csv" gives ".csv").
  const QRegularExpressionMatch suffix =
      QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
  if (suffix.hasMatch()) dialog.setDefaultSuffix(suffix.captured(1));
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.size() == 1 ? chosen.front() : QString();
}

void QtUserDialogs::ShowFinish() {
  if (finishForm_ != nullptr) finishForm_->exec();
}

void QtUserDialogs::ShowInitialTension() {
  if (form1_ != nullptr) form1_->exec();
}

void QtUserDialogs::ProgressStart() {
  ProgressEnd();
  progress_ = new QProgressDialog(mainWindow_);
  progress_->setWindowTitle("Korvane");
  // Not modal: the main window takes no input during a run anyway, and its close box must
  // still reach it, to cancel the run and close. Esc, Cancel and the close box here cancel.
  progress_->setWindowModality(Qt::NonModal);
  // Most cases converge in a few dozen passes and a few go to the pass limit: the bar only
  // shows that the run is alive.
  progress_->setRange(0, 0);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setMinimumDuration(0);
  progress_->setCancelButtonText("Cancel");
  progress_->setLabelText(ProgressText(0, 1));
  progress_->setMinimumWidth(380);
  // Esc rejects a dialog, which would only hide this one while the run goes on.
  QObject::connect(progress_, &QDialog::rejected, progress_, &QProgressDialog::cancel);
  progress_->show();
  sinceProgressText_.invalidate();
}

bool QtUserDialogs::ProgressUpdate(int passes, double relativeDifference) {
  if (!progress_) return true;
  if (!sinceProgressText_.isValid() || sinceProgressText_.elapsed() >= kProgressTextIntervalMs) {
    progress_->setLabelText(ProgressText(passes, relativeDifference));
    sinceProgressText_.start();
  }
  return !progress_->wasCanceled();
}

void QtUserDialogs::ProgressEnd() {
  delete progress_.data();
}

}  // namespace korvane::ui
