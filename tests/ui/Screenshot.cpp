// Renders the main window's pages, and optionally the two dialogs and the results page after
// a run of the default case, into PNG files for the documentation:
//   korvane_ui_screenshot <first page.png> <second page.png>
//                         [<finish.png> <tension.png> [<results page.png> [<runs.png>]]]
// The last one shows the results page after two more runs at other take-up speeds.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "tests/ui/RecordingDialogs.h"
#include "ui/ConvergedComparison.h"
#include "ui/ResultsPage.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3 && argc != 5 && argc != 6 && argc != 7) {
    std::fprintf(stderr,
                 "usage: %s <first page.png> <second page.png> [<finish.png> <tension.png> "
                 "[<results page.png> [<runs.png>]]]\n",
                 argv[0]);
    return 2;
  }
  const QString firstPage = QString::fromLocal8Bit(argv[1]);
  const QString secondPage = QString::fromLocal8Bit(argv[2]);
  const QString resultsPage = argc >= 6 ? QDir().absoluteFilePath(argv[5]) : QString();
  const QString runsPage = argc == 7 ? QDir().absoluteFilePath(argv[6]) : QString();

  // The run writes its result file into the working folder: a temporary one.
  QTemporaryDir folder;
  const QString startFolder = QDir::currentPath();
  QDir::setCurrent(folder.path());
  korvane::ui::test::Program program(folder.filePath("TensKRVN.txt").toStdString());
  korvane::ui::TMainForm& form = program.MainForm;
  form.show();
  QApplication::processEvents();
  std::fprintf(stderr, "window %dx%d, pages %dx%d and %dx%d at least\n", form.width(),
               form.height(), form.TabbedNotebook1->widget(0)->minimumSizeHint().width(),
               form.TabbedNotebook1->widget(0)->minimumSizeHint().height(),
               form.TabbedNotebook1->widget(1)->minimumSizeHint().width(),
               form.TabbedNotebook1->widget(1)->minimumSizeHint().height());
  bool ok = true;
  const QString pages[] = {QDir(startFolder).absoluteFilePath(firstPage),
                           QDir(startFolder).absoluteFilePath(secondPage)};
  for (int page = 0; page < 2; ++page) {
    form.TabbedNotebook1->setCurrentIndex(page);
    QApplication::processEvents();
    ok = form.grab().save(pages[page]) && ok;
  }
  if (argc >= 5) {
    program.FinishForm.show();
    program.Form1.show();
    QApplication::processEvents();
    ok = program.FinishForm.grab().save(QDir(startFolder).absoluteFilePath(argv[3])) && ok;
    ok = program.Form1.grab().save(QDir(startFolder).absoluteFilePath(argv[4])) && ok;
  }
  if (!resultsPage.isEmpty()) {
    // The default case with a fresh initial tension file, run as the OK button runs it.
    program.Context.Params.InitialTensionText = "3.0";
    form.BitBtn1->click();
    if (!form.Results->HasResults()) {
      std::fprintf(stderr, "the default run gave no results: %s\n",
                   qPrintable(program.Dialogs.Messages.join(" / ")));
      ok = false;
    }
    // The converged comparison of the run finishes in the background.
    QElapsedTimer waited;
    waited.start();
    while (form.Comparison->Pending() && waited.elapsed() < 120000) {
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    form.TabbedNotebook1->setCurrentWidget(form.Results);
    QApplication::processEvents();
    ok = form.grab().save(resultsPage) && ok;
  }
  if (!runsPage.isEmpty()) {
    for (const char* speed : {"900.0", "700.0"}) {
      form.TabbedNotebook1->setCurrentIndex(0);
      form.ItemField(30)->setText(speed);
      form.BitBtn1->click();
      QElapsedTimer waited;
      waited.start();
      while (form.Comparison->Pending() && waited.elapsed() < 120000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
      }
    }
    form.TabbedNotebook1->setCurrentWidget(form.Results);
    QApplication::processEvents();
    ok = form.Results->KeptRunCount() == 3 && form.grab().save(runsPage) && ok;
  }
  QDir::setCurrent(startFolder);
  return ok ? 0 : 1;
}
