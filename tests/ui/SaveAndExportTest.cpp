// Saving the window's inputs as a data file and loading them back, and the CSV export of the
// results.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "files/DataFileWriter.h"
#include "files/ProfileCsv.h"
#include "inputs/ParameterItems.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/ResultsPage.h"

namespace korvane::ui::test {
namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList FieldTextsOf(const TMainForm& form) {
  QStringList texts;
  for (int number = 1; number <= kItemCount; ++number) texts << form.ItemField(number)->text();
  return texts;
}

QList<bool> JacketsOf(const TMainForm& form) {
  QList<bool> jacketed;
  for (QRadioButton* button : form.JacketedButtons) jacketed << button->isChecked();
  return jacketed;
}

bool Listed(const TMainForm& form, const QString& name) {
  return !form.FileListBox1->findItems(name, Qt::MatchExactly).isEmpty();
}

TEST(SaveDataFile, TheSavedFileLoadsBackToTheSameTextsAndJackets) {
  Session session;
  TMainForm& form = session.App->MainForm;
  form.show();
  form.ItemField(1)->setText("1.25");
  form.ItemField(12)->setText("abc");    // Molecular weight: not a number
  form.ItemField(13)->setText("");       // Heat of vaporization: empty
  form.ItemField(30)->setText(" 9e2x");  // Take-up speed: blank before, letter after
  form.ItemField(41)->setText("two");    // Increment-1: a step field that is not a number
  form.JacketedButtons[0]->setChecked(true);
  form.JacketedButtons[2]->setChecked(true);
  QStringList saved = FieldTextsOf(form);
  saved[29] = "9e2x";  // the blank in front is not part of the value

  session.App->Dialogs.FileToSave = session.Folder.filePath("case.txt");
  form.SaveDataBtn->click();
  EXPECT_EQ(session.App->Dialogs.SaveRequests,
            QList<QStringList>({{"Save Data File", form.CurrentFolder(), "Text files (*.txt)"}}));
  EXPECT_TRUE(session.App->Dialogs.Messages.isEmpty())
      << session.App->Dialogs.Messages.join('\n').toStdString();
  EXPECT_TRUE(Listed(form, "case.txt"));

  // A window that starts with the defaults, as the next start of the program does.
  Program next(session.TensionPath);
  next.MainForm.show();
  ASSERT_NE(FieldTextsOf(next.MainForm), saved);
  next.Dialogs.FileToOpen = session.Folder.filePath("case.txt");
  next.MainForm.InputDataBtn->click();
  EXPECT_EQ(FieldTextsOf(next.MainForm), saved);
  EXPECT_EQ(JacketsOf(next.MainForm), QList<bool>({true, false, true}));
  // The load tells which step field keeps the section lengths from being updated.
  EXPECT_EQ(next.Dialogs.Messages,
            QStringList({"\"Increment-1 (cm)\" value is not a number; the section lengths were "
                         "not updated."}));
}

TEST(SaveDataFile, ATextADataFileCannotHoldIsNamedAndNothingIsWritten) {
  Session session;
  TMainForm& form = session.App->MainForm;
  form.show();
  RecordingDialogs& dialogs = session.App->Dialogs;

  // Cancelled: nothing asked, nothing written.
  form.SaveDataBtn->click();
  EXPECT_TRUE(dialogs.Messages.isEmpty());

  form.ItemField(30)->setText("8 33");
  dialogs.FileToSave = session.Folder.filePath("blank.txt");
  form.SaveDataBtn->click();
  ASSERT_EQ(dialogs.Messages.size(), 1);
  EXPECT_TRUE(dialogs.Messages[0].startsWith("\"30. Take-up speed (cm/s)\" holds a blank"))
      << dialogs.Messages[0].toStdString();
  EXPECT_TRUE(dialogs.Messages[0].endsWith("Nothing was saved."));
  EXPECT_FALSE(QFile::exists(dialogs.FileToSave));

  // A folder that does not exist.
  form.ItemField(30)->setText("833.0");
  dialogs.FileToSave = session.Folder.filePath("missing/case.txt");
  form.SaveDataBtn->click();
  ASSERT_EQ(dialogs.Messages.size(), 2);
  EXPECT_EQ(dialogs.Messages[1], kDataFileCannotSave);
}

TEST(ExportCsv, WritesThePrintedPointsOfTheLastRun) {
  Session session;
  TMainForm& form = session.App->MainForm;
  form.show();
  RecordingDialogs& dialogs = session.App->Dialogs;
  EXPECT_FALSE(form.Results->ExportCsvBtn->isEnabled());

  form.Edit44->setText("case1.txt");
  form.BitBtn1->click();
  ASSERT_EQ(dialogs.FinishCount, 1);
  dialogs.FileToSave = session.Folder.filePath("profile.csv");
  form.Results->ExportCsvBtn->click();
  EXPECT_EQ(dialogs.SaveRequests,
            QList<QStringList>(
                {{"Export CSV", session.Folder.filePath("case1.csv"), "CSV files (*.csv)"}}));
  const RunContext& context = session.App->Context;
  EXPECT_EQ(Contents(dialogs.FileToSave), QByteArray::fromStdString(ProfileCsvText(
                                              context.Params, *context.Profile, context.State,
                                              context.Profile->ProfilePointCount)));
  EXPECT_TRUE(Listed(form, "profile.csv"));
  EXPECT_EQ(dialogs.Messages.size(), 1);  // the pass count of the run only

  // A run whose tension falls to zero: the rows up to the last printed point.
  form.ItemField(30)->setText("200");
  form.BitBtn1->click();
  ASSERT_EQ(dialogs.Messages.back(), kTensionBelowZeroMessage);
  const int printed = form.Results->PointCount();
  ASSERT_LT(printed, context.Profile->ProfilePointCount);
  dialogs.FileToSave = session.Folder.filePath("short.csv");
  form.Results->ExportCsvBtn->click();
  EXPECT_EQ(Contents(dialogs.FileToSave).count('\n'), 1 + printed);

  // A folder that does not exist: the message, and the results stay for another try.
  const qsizetype messages = dialogs.Messages.size();
  dialogs.FileToSave = session.Folder.filePath("missing/profile.csv");
  form.Results->ExportCsvBtn->click();
  ASSERT_EQ(dialogs.Messages.size(), messages + 1);
  EXPECT_EQ(dialogs.Messages.back(), kCsvCannotOpen);
  EXPECT_TRUE(form.Results->ExportCsvBtn->isEnabled());
}

}  // namespace
}  // namespace korvane::ui::test
