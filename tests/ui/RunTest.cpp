// Runs started from the main window: the result file, the finish dialog, the file list, the
// cursor and the field that does not convert.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "run/ReadRunParameters.h"
#include "tests/ui/RecordingDialogs.h"

namespace korvane::ui::test {
namespace {

QStringList ListedFiles(const TMainForm& form) {
  QStringList names;
  for (int i = 0; i < form.FileListBox1->count(); ++i) names << form.FileListBox1->item(i)->text();
  return names;
}

TEST(MainWindowRun, DefaultRunWritesTheResultFileAndListsItAfterTheFinishDialog) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  const QDir folder(session.Folder.path());
  folder.mkdir("out");
  ASSERT_TRUE(app.MainForm.OpenFolder(folder.filePath("out")));

  QStringList listedDuringFinish;
  bool busyDuringFinish = true;
  app.Dialogs.OnFinish = [&] {
    listedDuringFinish = ListedFiles(app.MainForm);
    busyDuringFinish = QApplication::overrideCursor() != nullptr;
  };
  app.MainForm.BitBtn1->click();

  // The tension iteration tells how many passes it took, and nothing else is reported.
  ASSERT_EQ(app.Dialogs.Messages.size(), 1) << app.Dialogs.Messages.join('\n').toStdString();
  EXPECT_TRUE(app.Dialogs.Messages[0].startsWith("NUMBER OF CALCULATION LOOP = "));
  EXPECT_EQ(app.Dialogs.FinishCount, 1);
  EXPECT_FALSE(busyDuringFinish);
  EXPECT_TRUE(listedDuringFinish.isEmpty());
  EXPECT_TRUE(QFile::exists(folder.filePath("out/result.txt")));
  EXPECT_EQ(ListedFiles(app.MainForm), QStringList({"result.txt"}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(app.Context.Params.InitialTension, 3.0);
}

TEST(MainWindowRun, ARefusedFieldIsReportedOnceAndGetsTheFocus) {
  const struct {
    const char* text;
    QString message;
  } cases[] = {{"fast", kInputValueNotCorrect},  // letters
               {"-833", "\"Take-up speed (cm/s)\" must be greater than 0."}};
  for (const auto& c : cases) {
    Session session;
    Program& app = *session.App;
    app.MainForm.show();
    auto* takeUp = app.MainForm.findChild<QLineEdit*>("Edit27");  // "Take-up speed (cm/s)"
    takeUp->setText(c.text);
    ASSERT_EQ(app.MainForm.TabbedNotebook1->currentIndex(), 0);

    QList<bool> busyDuringMessage;
    app.Dialogs.OnMessage = [&](const QString&) {
      busyDuringMessage << (QApplication::overrideCursor() != nullptr);
    };
    app.MainForm.BitBtn1->click();

    EXPECT_EQ(app.Dialogs.Messages, QStringList({c.message}));
    EXPECT_EQ(busyDuringMessage, QList<bool>({false}));
    EXPECT_EQ(app.Dialogs.FinishCount, 0);
    EXPECT_FALSE(QFile::exists(session.Folder.filePath("result.txt")));
    EXPECT_EQ(app.MainForm.TabbedNotebook1->currentIndex(), 1);
    EXPECT_EQ(app.MainForm.focusWidget(), takeUp);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
}

TEST(MainWindowRun, ASpinningLineReachingTheJacketThreeLowerLimitIsRefused) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  // 60 + 200 + 440 + 5 x 60 = 1000 cm, not below the jacket-3 lower limit of 1000 cm.
  auto* count = app.MainForm.findChild<QLineEdit*>("Edit51");
  count->setText("60");
  QFocusEvent leave(QEvent::FocusOut, Qt::MouseFocusReason);
  QCoreApplication::sendEvent(count, &leave);
  ASSERT_EQ(app.Context.Params.TotalSpinningLength, 1000.0);

  app.MainForm.BitBtn1->click();
  EXPECT_EQ(app.Dialogs.Messages, QStringList({kTotalLengthTooLong}));
  EXPECT_EQ(app.Dialogs.FinishCount, 0);
  EXPECT_FALSE(QFile::exists(session.Folder.filePath("result.txt")));
}

TEST(MainWindowRun, EnterInAFieldOfTheFirstPageStartsARun) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  // A bad field on the second page makes a started run visible as one message and no file.
  app.MainForm.findChild<QLineEdit*>("Edit27")->setText("x");

  QTest::keyClick(app.MainForm.findChild<QLineEdit*>("Edit27"), Qt::Key_Return);
  EXPECT_TRUE(app.Dialogs.Messages.isEmpty());

  QTest::keyClick(app.MainForm.findChild<QLineEdit*>("Edit2"), Qt::Key_Return);
  EXPECT_EQ(app.Dialogs.Messages, QStringList({kInputValueNotCorrect}));
}

TEST(MainWindowRun, AltOStartsARun) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  app.MainForm.activateWindow();
  if (!QTest::qWaitForWindowActive(&app.MainForm, 2000)) GTEST_SKIP() << "no active window here";
  app.MainForm.findChild<QLineEdit*>("Edit27")->setText("x");
  QTest::keyClick(&app.MainForm, Qt::Key_O, Qt::AltModifier);
  // The accelerator presses the button visibly: the click follows a moment later.
  for (int waited = 0; app.Dialogs.Messages.isEmpty() && waited < 2000; waited += 20) {
    QTest::qWait(20);
  }
  EXPECT_EQ(app.Dialogs.Messages, QStringList({kInputValueNotCorrect}));
}

}  // namespace
}  // namespace korvane::ui::test
