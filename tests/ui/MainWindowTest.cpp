// The main window's fields, summary, tab sequence and working-folder controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "inputs/FieldTexts.h"
#include "inputs/ParameterItems.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/ResultsPage.h"

namespace korvane::ui::test {
namespace {

QStringList SummaryTexts(const TMainForm& form) {
  QStringList texts;
  for (int n = 60; n <= 65; ++n) {
    texts << form.findChild<QLabel*>(QStringLiteral("Label%1").arg(n))->text();
  }
  return texts;
}

// Types a text into a field and moves the focus away, as the user leaving the field does.
void EnterAndLeave(QLineEdit* field, const QString& text) {
  field->setText(text);
  QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(field, &leave);
}

QStringList ListedFiles(const TMainForm& form) {
  QStringList names;
  for (int i = 0; i < form.FileListBox1->count(); ++i) names << form.FileListBox1->item(i)->text();
  return names;
}

void Touch(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(MainWindow, StartsWithTheDefaultCaseInNamedControls) {
  Session session;
  TMainForm& form = session.App->MainForm;

  EXPECT_EQ(form.windowTitle(), "Korvane Ver. 1.3f");
  EXPECT_EQ(form.size(), QSize(682, 570));
  ASSERT_EQ(form.TabbedNotebook1->count(), 3);
  EXPECT_EQ(form.TabbedNotebook1->tabText(0), "Input Condition 1");
  EXPECT_EQ(form.TabbedNotebook1->tabText(1), "Input Condition 2");
  EXPECT_EQ(form.TabbedNotebook1->tabText(2), "Results");

  // Every entry field is found by its numbered name, on the page of its group, with the default
  // text; exactly the fixed ones are disabled.
  const FieldTexts defaults = DefaultFieldTexts();
  for (const ParameterItem& item : ParameterItems()) {
    SCOPED_TRACE(item.ControlName);
    auto* field = form.findChild<QLineEdit*>(item.ControlName);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field, form.ItemField(item.Number));
    EXPECT_EQ(field->text().toStdString(), defaults.Items[item.Number - 1]);
    EXPECT_EQ(field->isEnabled(), !item.Fixed);
    EXPECT_TRUE(form.TabbedNotebook1->widget(form.ItemPage(item.Number))->isAncestorOf(field));
  }
  auto* saveName = form.findChild<QLineEdit*>("Edit44");
  ASSERT_NE(saveName, nullptr);
  EXPECT_EQ(saveName->text(), "result.txt");
  for (const char* name :
       {"BitBtn1", "BitBtn2", "BitBtn3", "InputDataBtn", "SaveDataBtn", "DriveComboBox1",
        "DirectoryListBox1", "FileListBox1", "FilterComboBox1", "Panel1", "Image1", "RadioGroup1",
        "RadioGroup2", "RadioGroup3", "SolverGroup", "SolverMethodBox", "ToleranceEdit"}) {
    EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
  }
  EXPECT_EQ(form.BitBtn1->text(), "OK(&O)");
  EXPECT_EQ(form.BitBtn2->text(), "Close(&C)");

  // The fields as a run reads them are the default case, all jackets insulated.
  const FieldTexts read = form.FieldTextsOfWindow();
  EXPECT_EQ(read.Items, defaults.Items);
  EXPECT_EQ(read.Jacketed, (std::array<bool, 3>{false, false, false}));
  EXPECT_EQ(read.ResultFileName, "result.txt");
  EXPECT_EQ(read.InitialTensionText, "3.0");
  EXPECT_TRUE(session.App->Dialogs.Messages.isEmpty());

  // Choosing "Jacketed" in one group is read for that jacket only.
  form.JacketedButtons[1]->click();
  EXPECT_EQ(form.FieldTextsOfWindow().Jacketed, (std::array<bool, 3>{false, true, false}));
}

TEST(MainWindow, FixedFieldsCanBeTypedOnlyWithEditFixedItemsTicked) {
  Session session;
  TMainForm& form = session.App->MainForm;
  form.show();
  ASSERT_FALSE(form.EditFixedBox->isChecked());
  for (const bool editable : {false, true, false}) {
    form.EditFixedBox->setChecked(editable);
    for (const char* name : {"Edit4", "Edit8", "Edit12", "Edit23"}) {
      auto* field = form.findChild<QLineEdit*>(name);
      const QString before = field->text();
      field->setFocus();
      field->end(false);
      QTest::keyClicks(field, "77");
      EXPECT_EQ(field->text(), editable ? before + "77" : before) << name;
      field->setText(before);
    }
  }
  // The plain fields stay enabled either way.
  EXPECT_TRUE(form.ItemField(1)->isEnabled());
}

TEST(MainWindow, SummaryShowsSectionLengthsAndTotal) {
  Session session;
  TMainForm& form = session.App->MainForm;
  RunParameters& params = session.App->Context.Params;

  // Empty until the window is first shown.
  EXPECT_EQ(SummaryTexts(form), QStringList({"", "", "", "", "", ""}));
  form.show();
  EXPECT_EQ(SummaryTexts(form),
            QStringList({" 60.0", "200.0", "440.0", "  0.0", "  0.0", "700.0"}));
  EXPECT_EQ(params.TotalSpinningLength, 700.0);
  // One decimal each, right-aligned: the decimal points line up.
  for (QLabel* panel : form.SummaryLabels) EXPECT_TRUE(panel->alignment() & Qt::AlignRight);

  // Leaving "Number of increments-4" after setting it to 10.
  EnterAndLeave(form.findChild<QLineEdit*>("Edit51"), "10");
  EXPECT_EQ(SummaryTexts(form),
            QStringList({" 60.0", "200.0", "440.0", " 50.0", "  0.0", "750.0"}));
  EXPECT_EQ(params.TotalSpinningLength, 750.0);

  // Letters in "Increment-2 (cm)": nothing changes, and nobody is told.
  EnterAndLeave(form.findChild<QLineEdit*>("Edit39"), "abc");
  EXPECT_EQ(SummaryTexts(form),
            QStringList({" 60.0", "200.0", "440.0", " 50.0", "  0.0", "750.0"}));
  EXPECT_EQ(params.TotalSpinningLength, 750.0);
  EXPECT_TRUE(session.App->Dialogs.Messages.isEmpty());

  // Focus lost to another window is not leaving the field.
  auto* count = form.findChild<QLineEdit*>("Edit52");
  count->setText("20");
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(count, &away);
  EXPECT_EQ(SummaryTexts(form)[4], "  0.0");
}

TEST(MainWindow, TabVisitsEntryFieldsAndRadioGroupsOnly) {
  Session session;
  TMainForm& form = session.App->MainForm;

  // The widgets that Tab reaches, in chain order, starting at a field.
  auto tabSequence = [](QWidget* start, int length) {
    QStringList names;
    QWidget* widget = start;
    while (names.size() < length) {
      if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
          !widget->objectName().isEmpty()) {
        names << widget->objectName();
      }
      widget = widget->nextInFocusChain();
      if (widget == start) break;
    }
    return names;
  };
  EXPECT_EQ(tabSequence(form.findChild<QWidget*>("Edit38"), 10),
            QStringList({"Edit38", "Edit39", "Edit40", "Edit49", "Edit50", "Edit41", "Edit42",
                         "Edit43", "Edit51", "Edit52"}));
  EXPECT_EQ(
      tabSequence(form.findChild<QWidget*>("Edit1"), 8),
      QStringList({"Edit1", "Edit2", "Edit3", "Edit46", "Edit47", "Edit48", "Edit9", "Edit10"}));

  for (QWidget* widget : std::initializer_list<QWidget*>{
           form.Edit44, form.BitBtn1, form.BitBtn2, form.BitBtn3, form.InputDataBtn,
           form.SaveDataBtn, form.DriveComboBox1, form.DirectoryListBox1, form.FileListBox1,
           form.FilterComboBox1}) {
    EXPECT_FALSE(widget->focusPolicy() & Qt::TabFocus) << widget->objectName().toStdString();
  }
  // Nothing on the results page takes part in the tab sequence.
  for (QWidget* widget : form.Results->findChildren<QWidget*>()) {
    EXPECT_FALSE(widget->focusPolicy() & Qt::TabFocus)
        << widget->objectName().toStdString() << " " << widget->metaObject()->className();
  }
}

TEST(MainWindow, FilterListChoosesTextFiles) {
  Session session;
  TMainForm& form = session.App->MainForm;
  Touch(session.Folder.filePath("b.dat"));
  Touch(session.Folder.filePath("a.txt"));
  QDir(session.Folder.path()).mkdir("sub");
  form.RefreshFileList();

  ASSERT_EQ(form.FilterComboBox1->count(), 2);
  EXPECT_EQ(form.FilterComboBox1->itemText(0), "All files (*.*)");
  EXPECT_EQ(form.FilterComboBox1->itemText(1), "Text files (*.*)");
  EXPECT_EQ(form.FilterComboBox1->currentIndex(), 0);
  EXPECT_EQ(ListedFiles(form), QStringList({"a.txt", "b.dat"}));

  form.FilterComboBox1->setCurrentIndex(1);
  EXPECT_EQ(ListedFiles(form), QStringList({"a.txt"}));
}

TEST(MainWindow, OpeningAFolderMakesItTheCurrentDirectory) {
  Session session;
  TMainForm& form = session.App->MainForm;
  const QDir folder(session.Folder.path());
  folder.mkdir("runs");
  Touch(folder.filePath("runs/old.txt"));
  ASSERT_TRUE(form.OpenFolder(folder.path()));
  EXPECT_EQ(QDir::currentPath(), folder.canonicalPath());

  // The tree shows the folder's subfolders; opening one moves the current directory there.
  const QList<QTreeWidgetItem*> found =
      form.DirectoryListBox1->findItems("runs", Qt::MatchExactly | Qt::MatchRecursive);
  ASSERT_EQ(found.size(), 1);
  emit form.DirectoryListBox1->itemActivated(found.front(), 0);
  EXPECT_EQ(QDir::currentPath(), QDir(folder.filePath("runs")).canonicalPath());
  EXPECT_EQ(form.CurrentFolder(), QDir::currentPath());
  EXPECT_EQ(ListedFiles(form), QStringList({"old.txt"}));
  EXPECT_EQ(form.DirectoryListBox1->currentItem()->text(0), "runs");

  // A folder that cannot be entered is reported and changes nothing.
  EXPECT_FALSE(form.OpenFolder(folder.filePath("missing")));
  EXPECT_EQ(session.App->Dialogs.Messages, QStringList({"Folder can not be opened!"}));
  EXPECT_EQ(QDir::currentPath(), QDir(folder.filePath("runs")).canonicalPath());
}

TEST(MainWindow, ButtonsCloseTheWindowAndOpenTheTensionDialog) {
  Session session;
  TMainForm& form = session.App->MainForm;
  form.show();
  form.BitBtn3->click();
  EXPECT_EQ(session.App->Dialogs.InitialTensionCount, 1);

  QSignalSpy closed(&form, &TMainForm::FormClosed);
  form.BitBtn2->click();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace korvane::ui::test
