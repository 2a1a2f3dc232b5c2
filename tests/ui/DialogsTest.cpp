// The initial tension file across starts, the Change Initial Tension dialog, the finish
// dialog, the progress window and the file dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "files/InitialTensionFile.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/QtUserDialogs.h"

namespace korvane::ui::test {
namespace {

QByteArray Contents(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(InitialTension, WithoutAFileTheDialogShowsTheDefaultAndNothingIsCreated) {
  Session session;
  EXPECT_EQ(session.App->Form1.Edit101->text(), "3.0");
  EXPECT_EQ(session.App->Context.Params.InitialTensionText, "3.0");
  EXPECT_TRUE(session.App->Dialogs.Messages.isEmpty());
  EXPECT_EQ(Contents(session.TensionPath), "<missing>");
}

TEST(InitialTension, OkStoresTheTextForTheNextRunsAndTheNextStart) {
  Session session;
  TForm1& dialog = session.App->Form1;
  EXPECT_EQ(dialog.windowTitle(), "Change Initial Tension");
  EXPECT_EQ(dialog.size(), QSize(288, 158));
  dialog.show();
  dialog.Edit101->setText("5.5");
  dialog.BitBtn1->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(Contents(session.TensionPath), "5.5\r\n");
  EXPECT_EQ(session.App->Context.Params.InitialTensionText, "5.5");
  EXPECT_EQ(session.App->MainForm.FieldTextsOfWindow().InitialTensionText, "5.5");

  // The next start reads the stored text before the dialog is made.
  Program restarted(session.TensionPath);
  EXPECT_EQ(restarted.Form1.Edit101->text(), "5.5");
  EXPECT_EQ(restarted.Context.Params.InitialTensionText, "5.5");
  EXPECT_TRUE(restarted.Dialogs.Messages.isEmpty());
}

TEST(InitialTension, TheCloseBoxStoresNothingAndTheFieldKeepsTheTypedText) {
  Session session;
  ASSERT_TRUE(StoreInitialTensionFile(session.TensionPath, "7"));
  Program app(session.TensionPath);
  TForm1& dialog = app.Form1;
  ASSERT_EQ(dialog.Edit101->text(), "7");
  dialog.show();
  dialog.Edit101->setText("9");
  dialog.close();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(Contents(session.TensionPath), "7\r\n");
  EXPECT_EQ(app.Context.Params.InitialTensionText, "7");
  dialog.show();
  EXPECT_EQ(dialog.Edit101->text(), "9");
}

TEST(InitialTension, OkRefusesATextThatIsNotAPositiveNumberAndCancelAndEscDiscardTheText) {
  Session session;
  ASSERT_TRUE(StoreInitialTensionFile(session.TensionPath, "7"));
  Program app(session.TensionPath);
  TForm1& dialog = app.Form1;
  // Every later run on the machine would read the stored text.
  for (const char* text : {"abc", "", "  ", "0", "-2.5", "1e999", "3,5", "nan"}) {
    SCOPED_TRACE(text);
    app.Dialogs.Messages.clear();
    dialog.show();
    dialog.Edit101->setText(text);
    dialog.BitBtn1->click();
    EXPECT_EQ(app.Dialogs.Messages, QStringList({kInitialTensionNotPositive}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Contents(session.TensionPath), "7\r\n");
    EXPECT_EQ(app.Context.Params.InitialTensionText, "7");
  }
  // Cancel and Esc close it without storing, and the field shows the text in effect again.
  for (bool byEsc : {false, true}) {
    SCOPED_TRACE(byEsc ? "Esc" : "Cancel");
    dialog.show();
    dialog.Edit101->setText("12");
    if (byEsc) {
      QTest::keyClick(dialog.Edit101, Qt::Key_Escape);
    } else {
      dialog.CancelBtn->click();
    }
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Edit101->text(), "7");
    EXPECT_EQ(Contents(session.TensionPath), "7\r\n");
    EXPECT_EQ(app.Context.Params.InitialTensionText, "7");
  }
  dialog.show();
  dialog.Edit101->setText(" 2.5E+0 ");
  dialog.BitBtn1->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(Contents(session.TensionPath), " 2.5E+0 \r\n");
}

TEST(InitialTension, FilesThatCannotBeReadOrStoredAreReported) {
  Session session;
  // A folder where the file should be: it exists but cannot be read as a file.
  QDir(session.Folder.path()).mkpath("blocked/TensKRVN.txt");
  Program unreadable(session.Folder.filePath("blocked/TensKRVN.txt").toStdString());
  EXPECT_EQ(unreadable.Dialogs.Messages, QStringList({"Initial tension file can not be opened!"}));
  EXPECT_EQ(unreadable.Context.Params.InitialTensionText, "");
  EXPECT_EQ(unreadable.Form1.Edit101->text(), "");

  // A plain file where the file's folder should be: nothing can be created there.
  QFile plain(session.Folder.filePath("plain"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  Program unwritable(session.Folder.filePath("plain/TensKRVN.txt").toStdString());
  unwritable.Form1.Edit101->setText("4.0");
  unwritable.Form1.BitBtn1->click();
  EXPECT_EQ(unwritable.Dialogs.Messages, QStringList({"Initial tension file can not be stored!"}));
  EXPECT_EQ(unwritable.Context.Params.InitialTensionText, "3.0");
  EXPECT_EQ(unwritable.Form1.Edit101->text(), "4.0");
  EXPECT_EQ(unwritable.Form1.result(), QDialog::Accepted);
}

TEST(FinishDialog, ShowsTheFixedTextsAndClosesWithEnter) {
  TFinishForm dialog;
  EXPECT_EQ(dialog.windowTitle(), "FinishForm");
  EXPECT_EQ(dialog.size(), QSize(316, 214));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  QStringList texts;
  for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains("Calculation is successfully finished !"));
  EXPECT_TRUE(texts.contains("Korvane"));
  EXPECT_TRUE(texts.contains("Version 1.5"));
  EXPECT_TRUE(dialog.BitBtn1->isDefault());

  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ProgressWindow, ShowsThePassAndTellsTheRunOfCancelUntilItIsClosed) {
  QWidget mainWindow;
  QtUserDialogs dialogs;
  dialogs.Attach(&mainWindow, nullptr, nullptr);
  auto progressWindows = [] {
    QList<QProgressDialog*> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* progress = qobject_cast<QProgressDialog*>(widget)) open << progress;
    }
    return open;
  };

  dialogs.ProgressStart();
  ASSERT_EQ(progressWindows().size(), 1);
  QProgressDialog* progress = progressWindows().front();
  EXPECT_TRUE(progress->isVisible());
  // Nothing modal: the main window's close box still reaches it, to cancel and close.
  EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
  EXPECT_TRUE(dialogs.ProgressUpdate(7, 0.0123));
  EXPECT_TRUE(progress->labelText().contains("pass 7")) << progress->labelText().toStdString();
  EXPECT_TRUE(progress->labelText().contains("1.23E-02"));

  // Cancel is pressed while the run lets events through; the next update reports it.
  progress->cancel();
  EXPECT_FALSE(dialogs.ProgressUpdate(8, 0.01));
  EXPECT_FALSE(dialogs.ProgressUpdate(9, 0.01));
  dialogs.ProgressEnd();
  EXPECT_TRUE(progressWindows().isEmpty());
  // Updates without a window (after the end, or never opened) keep the run going.
  EXPECT_TRUE(dialogs.ProgressUpdate(10, 0.01));

  // Esc and the close box cancel as Cancel does.
  for (bool byEsc : {true, false}) {
    SCOPED_TRACE(byEsc ? "Esc" : "close box");
    dialogs.ProgressStart();
    ASSERT_EQ(progressWindows().size(), 1);
    progress = progressWindows().front();
    ASSERT_TRUE(dialogs.ProgressUpdate(1, 0.5));
    if (byEsc) {
      QTest::keyClick(progress, Qt::Key_Escape);
    } else {
      progress->close();
    }
    EXPECT_FALSE(dialogs.ProgressUpdate(2, 0.5));
    dialogs.ProgressEnd();
  }
}

TEST(MaterialDialog, ShowsTheMaterialAndEachButtonGivesItsChoice) {
  QWidget mainWindow;
  QtUserDialogs dialogs;
  dialogs.Attach(&mainWindow, nullptr, nullptr);
  const std::pair<QString, MaterialChoice> presses[] = {{"Load File...", MaterialChoice::LoadFile},
                                                        {"Built-in", MaterialChoice::BuiltIn},
                                                        {"Close", MaterialChoice::Keep}};
  for (const auto& [button, choice] : presses) {
    SCOPED_TRACE(button.toStdString());
    QString shown;
    // Pressed as soon as the box is up; whatever happens the box is closed.
    QTimer::singleShot(0, [&, name = button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      shown = box->text();
      for (QAbstractButton* each : box->buttons()) {
        if (each->text() == name) {
          each->click();
          return;
        }
      }
      box->close();
    });
    EXPECT_EQ(dialogs.ChooseMaterial("Test dope", "a table, p. 3"), choice);
    EXPECT_EQ(shown, "Current material: Test dope\nSource: a table, p. 3");
  }
}

TEST(FileDialogs, ColumnsShowTheirTextsAtTheDefaultSize) {
  QTemporaryDir folder;
  const QString name = "result of the case with jacket 2 at 35 C.txt";
  QFile file(folder.filePath(name));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  QFileDialog dialog(nullptr, "Open", folder.path(), "Text files (*.txt)");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setViewMode(QFileDialog::Detail);
  FitFileDialog(dialog);
  dialog.show();
  auto* view = dialog.findChild<QTreeView*>("treeView");
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) == 1; }));
  QCoreApplication::processEvents();
  QHeaderView* header = view->header();
  ASSERT_EQ(header->count(), 4);
  for (int column = 0; column < header->count(); ++column) {
    SCOPED_TRACE(column);
    EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
    EXPECT_GE(header->sectionSize(column),
              static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column));
  }
  dialog.hide();
}

}  // namespace
}  // namespace korvane::ui::test
