// The program entry: creates the run context and the three windows in their start-up order
// and runs the event loop until the main window closes.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWindow>

#include "files/InitialTensionFile.h"
#include "run/RunDriver.h"
#include "ui/F_Form.h"
#include "ui/InitTension.h"
#include "ui/MainUnit.h"
#include "ui/QtUserDialogs.h"

namespace {

// For the start-up check: KORVANE_QUIT_AFTER_MS=n closes the main window as soon as it is on
// the screen, and ends the program with status 3 when it is not there within n milliseconds.
void ArmQuitCheck(QApplication& app, QWidget& mainWindow) {
  bool ok = false;
  const int limit = qEnvironmentVariableIntValue("KORVANE_QUIT_AFTER_MS", &ok);
  if (!ok || limit <= 0) return;
  auto* poll = new QTimer(&app);
  poll->setInterval(20);
  QObject::connect(poll, &QTimer::timeout, &mainWindow, [&mainWindow, poll] {
    if (mainWindow.isVisible() && mainWindow.windowHandle() != nullptr &&
        mainWindow.windowHandle()->isExposed()) {
      poll->stop();
      mainWindow.close();
    }
  });
  QTimer::singleShot(limit, &app, [&app] { app.exit(3); });
  poll->start();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);

  korvane::RunContext context;
  korvane::ui::QtUserDialogs dialogs;
  const std::string tensionFilePath = korvane::InitialTensionFilePath();

  // The main window reads the initial tension file; the dialog created after it shows that text.
  korvane::ui::TMainForm MainForm(context, dialogs, tensionFilePath);
  korvane::ui::TFinishForm FinishForm;
  korvane::ui::TForm1 Form1(context, dialogs, tensionFilePath);
  dialogs.Attach(&MainForm, &FinishForm, &Form1);

  // Closing the main window ends the program, whatever dialog was opened before.
  QObject::connect(&MainForm, &korvane::ui::TMainForm::FormClosed, &app, &QApplication::quit);

  MainForm.show();
  ArmQuitCheck(app, MainForm);
  return app.exec();
}
