// Renders the main window's two pages, and optionally the two dialogs, into PNG files for the
// documentation:
//   korvane_ui_screenshot <first page.png> <second page.png> [<finish.png> <tension.png>]
#include <QApplication>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "tests/ui/RecordingDialogs.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr,
                 "usage: %s <first page.png> <second page.png> [<finish.png> <tension.png>]\n",
                 argv[0]);
    return 2;
  }
  QTemporaryDir folder;
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
  for (int page = 0; page < 2; ++page) {
    form.TabbedNotebook1->setCurrentIndex(page);
    QApplication::processEvents();
    ok = form.grab().save(QString::fromLocal8Bit(argv[1 + page])) && ok;
  }
  if (argc == 5) {
    program.FinishForm.show();
    program.Form1.show();
    QApplication::processEvents();
    ok = program.FinishForm.grab().save(QString::fromLocal8Bit(argv[3])) && ok;
    ok = program.Form1.grab().save(QString::fromLocal8Bit(argv[4])) && ok;
  }
  return ok ? 0 : 1;
}
