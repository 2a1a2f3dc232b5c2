// Loading an input data file into the main window.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextStream>

#include "files/DataFile.h"
#include "files/ResultFile.h"
#include "inputs/ParameterItems.h"
#include "inputs/ReadRunParameters.h"
#include "tests/ui/RecordingDialogs.h"

namespace korvane::ui::test {
namespace {

QStringList SummaryTexts(const TMainForm& form) {
  QStringList texts;
  for (QLabel* label : form.SummaryLabels) texts << label->text();
  return texts;
}

QStringList FieldTextsOf(const TMainForm& form) {
  QStringList texts;
  for (int number = 1; number <= kItemCount; ++number) texts << form.ItemField(number)->text();
  return texts;
}

// The 51 item lines of a result file's input echo, written by the result file writer for the
// given field texts.
QList<QByteArray> EchoItemLines(const FieldTexts& texts, const QString& folder) {
  RunParameters params;
  EXPECT_TRUE(ReadRunParameters(texts, params).Ok);
  params.ResultFileName = QDir(folder).filePath("echo.txt").toStdString();
  EXPECT_TRUE(InputDataWriter(params).ok());
  QFile file(QString::fromStdString(params.ResultFileName));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  const QRegularExpression itemLine("^[0-9]+\\. ");
  QList<QByteArray> items;
  for (const QByteArray& line : file.readAll().split('\n')) {
    // Item lines start with the item number; the frame lines of the echo are made of "=" too.
    if (itemLine.match(QString::fromLatin1(line)).hasMatch()) items << line.trimmed();
  }
  EXPECT_EQ(items.size(), kItemCount);
  return items;
}

QString WriteDataFile(const QString& path, const QList<QByteArray>& lines) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  for (const QByteArray& line : lines) file.write(line + "\r\n");
  return path;
}

// The value text of a data-file line: after the first "=", without leading blanks, up to a blank.
QString ValueOf(const QByteArray& line) {
  QByteArray value = line.mid(line.indexOf('=') + 1);
  while (value.startsWith(' ')) value.remove(0, 1);
  const qsizetype blank = value.indexOf(' ');
  return QString::fromUtf8(blank < 0 ? value : value.left(blank));
}

class DataFileLoad : public testing::Test {
 protected:
  void SetUp() override {
    session.App->MainForm.show();
    FieldTexts texts = DefaultFieldTexts();
    texts.Items[0] = "1.25";  // density
    texts.Items[29] = "900";  // take-up speed
    texts.Items[45] = "50";   // Number of increments-1
    items = EchoItemLines(texts, session.Folder.path());
  }

  TMainForm& form() { return session.App->MainForm; }
  RecordingDialogs& dialogs() { return session.App->Dialogs; }

  Session session;
  QList<QByteArray> items;
};

TEST_F(DataFileLoad, FillsTheEnabledFieldsTheJacketsAndTheSummary) {
  const QString path = WriteDataFile(
      session.Folder.filePath("case.txt"),
      items + QList<QByteArray>{"Jacket-1 = 1", "Jacket-2 = 2", "Jacket-3 = 2 insulated"});
  dialogs().FileToOpen = path;
  form().InputDataBtn->click();

  EXPECT_TRUE(dialogs().Messages.isEmpty()) << dialogs().Messages.join('\n').toStdString();
  EXPECT_EQ(dialogs().OpenFolders, QStringList({form().CurrentFolder()}));
  const FieldTexts defaults = DefaultFieldTexts();
  for (const ParameterItem& item : ParameterItems()) {
    SCOPED_TRACE(item.ControlName);
    const QString shown = form().ItemField(item.Number)->text();
    if (item.Fixed) {
      EXPECT_EQ(shown.toStdString(), defaults.Items[item.Number - 1]);
    } else {
      EXPECT_EQ(shown, ValueOf(items[item.Number - 1]));
    }
  }
  EXPECT_EQ(form().ItemField(1)->text(), "1.250");
  EXPECT_TRUE(form().JacketedButtons[0]->isChecked());
  EXPECT_TRUE(form().InsulatedButtons[1]->isChecked());
  EXPECT_TRUE(form().InsulatedButtons[2]->isChecked());
  // Section 1 is now 2 cm x 50 = 100 cm, without leaving a field.
  EXPECT_EQ(SummaryTexts(form()),
            QStringList({"100.0", "200.0", "440.0", "  0.0", "  0.0", "740.0"}));
  EXPECT_EQ(session.App->Context.Params.TotalSpinningLength, 740.0);
}

TEST_F(DataFileLoad, RejectsAFileOfFiftyThreeLinesAndChangesNothing) {
  const QString path = WriteDataFile(session.Folder.filePath("short.txt"),
                                     items + QList<QByteArray>{"Jacket-1 = 1", "Jacket-2 = 1"});
  const QStringList before = FieldTextsOf(form());
  dialogs().FileToOpen = path;
  form().InputDataBtn->click();

  EXPECT_EQ(dialogs().Messages, QStringList({"\"" + path + "\" is not a correct data file!"}));
  EXPECT_EQ(FieldTextsOf(form()), before);
  EXPECT_TRUE(form().InsulatedButtons[0]->isChecked());
  EXPECT_TRUE(form().InsulatedButtons[1]->isChecked());
  EXPECT_EQ(SummaryTexts(form())[5], "700.0");
}

TEST_F(DataFileLoad, CancelOrAMissingFileChangesNothing) {
  const QStringList before = FieldTextsOf(form());
  dialogs().FileToOpen.clear();
  form().InputDataBtn->click();
  dialogs().FileToOpen = session.Folder.filePath("no-such-file.txt");
  form().InputDataBtn->click();

  EXPECT_EQ(dialogs().Messages,
            QStringList({"Select one data file! Please try again.", "Data file can not open!"}));
  EXPECT_EQ(FieldTextsOf(form()), before);
}

TEST_F(DataFileLoad, AStepFieldThatIsNotANumberIsNamedAndTheSummaryStays) {
  QList<QByteArray> lines = items;
  lines[41] = "42. Increment-2 = 5,0";
  lines += {"Jacket-1 = 2", "Jacket-2 = 2", "Jacket-3 = 2"};
  dialogs().FileToOpen = WriteDataFile(session.Folder.filePath("comma.txt"), lines);
  form().InputDataBtn->click();

  EXPECT_EQ(dialogs().Messages,
            QStringList({"\"Increment-2 (cm)\" value is not a number; the section lengths were "
                         "not updated."}));
  EXPECT_EQ(form().findChild<QLineEdit*>("Edit39")->text(), "5,0");
  EXPECT_EQ(SummaryTexts(form()),
            QStringList({" 60.0", "200.0", "440.0", "  0.0", "  0.0", "700.0"}));
  EXPECT_EQ(session.App->Context.Params.TotalSpinningLength, 700.0);
}

}  // namespace
}  // namespace korvane::ui::test
