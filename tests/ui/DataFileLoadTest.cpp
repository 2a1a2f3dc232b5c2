// Loading an input data file, and a material file, into the main window.
#include <gtest/gtest.h>

#include <QCheckBox>
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

TEST_F(DataFileLoad, FixedItemsComeFromTheFileOnlyWithEditFixedItemsTicked) {
  // A file whose fixed item 4 (viscosity_param_1) differs from its default.
  FieldTexts texts = DefaultFieldTexts();
  ASSERT_TRUE(ItemByNumber(4).Fixed);
  texts.Items[3] = "6000";
  QList<QByteArray> lines = EchoItemLines(texts, session.Folder.path());
  lines += {"Jacket-1 = 2", "Jacket-2 = 2", "Jacket-3 = 2"};
  dialogs().FileToOpen = WriteDataFile(session.Folder.filePath("fixed.txt"), lines);
  ASSERT_NE(ValueOf(lines[3]).toStdString(), DefaultFieldTexts().Items[3]);

  form().InputDataBtn->click();
  EXPECT_EQ(form().ItemField(4)->text().toStdString(), DefaultFieldTexts().Items[3]);

  form().EditFixedBox->setChecked(true);
  form().InputDataBtn->click();
  EXPECT_TRUE(dialogs().Messages.isEmpty()) << dialogs().Messages.join('\n').toStdString();
  for (const ParameterItem& item : ParameterItems()) {
    EXPECT_EQ(form().ItemField(item.Number)->text(), ValueOf(lines[item.Number - 1]))
        << item.ControlName;
  }
}

QString WriteText(const QString& path, const QByteArray& text) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
  return path;
}

TEST_F(DataFileLoad, MaterialIsShownLoadedRefusedAndResetToTheBuiltInOne) {
  const FieldTexts defaults = DefaultFieldTexts();
  dialogs().MaterialAnswer = MaterialChoice::Keep;
  form().MaterialBtn->click();
  ASSERT_EQ(dialogs().MaterialsShown.size(), 1);
  EXPECT_EQ(dialogs().MaterialsShown[0],
            QStringList({kBuiltInMaterialName, kBuiltInMaterialSource}));

  // A material sets its items, a fixed one included, and its laws; the take-up speed typed
  // stays.
  form().ItemField(30)->setText("900");
  dialogs().MaterialAnswer = MaterialChoice::LoadFile;
  dialogs().MaterialToOpen =
      WriteText(session.Folder.filePath("dope.toml"),
                "name = \"Test dope\"\nsource = \"a table\"\n[dope]\ndope_density = 1.25\n"
                "viscosity_param_1 = 6000\n[laws]\nvapor_pressure = \"0.5\"\n");
  form().MaterialBtn->click();
  EXPECT_TRUE(dialogs().Messages.isEmpty()) << dialogs().Messages.join('\n').toStdString();
  EXPECT_EQ(form().ItemField(1)->text(), "1.25");
  EXPECT_EQ(form().ItemField(4)->text(), "6000");
  EXPECT_EQ(form().ItemField(2)->text().toStdString(), defaults.Items[1]);
  EXPECT_EQ(form().ItemField(30)->text(), "900");

  // A data file cannot keep the laws: saving one says so.
  dialogs().FileToSave = session.Folder.filePath("with-laws.txt");
  form().SaveDataBtn->click();
  EXPECT_EQ(dialogs().Messages,
            QStringList({"The data file does not keep the property laws in effect; save a case "
                         "file to keep them."}));
  dialogs().Messages.clear();

  // A refused material names the key and changes nothing.
  dialogs().MaterialToOpen = WriteText(session.Folder.filePath("bad.toml"),
                                       "name = \"x\"\nsource = \"y\"\ntake_up_speed = 1\n");
  const QStringList before = FieldTextsOf(form());
  form().MaterialBtn->click();
  ASSERT_EQ(dialogs().Messages.size(), 1);
  EXPECT_TRUE(dialogs().Messages[0].contains("take_up_speed"))
      << dialogs().Messages[0].toStdString();
  EXPECT_EQ(FieldTextsOf(form()), before);

  // A cancelled open changes nothing either.
  dialogs().MaterialToOpen.clear();
  form().MaterialBtn->click();
  EXPECT_EQ(FieldTextsOf(form()), before);
  ASSERT_EQ(dialogs().MaterialsShown.size(), 4);
  EXPECT_EQ(dialogs().MaterialsShown[3],
            QStringList({"Test dope",
                         "a table\n\nProperty laws given as formulas:\nvapor_pressure = 0.5"}));

  // Back to the built-in material: its items take their defaults and its laws, the others
  // stay.
  dialogs().MaterialAnswer = MaterialChoice::BuiltIn;
  form().MaterialBtn->click();
  EXPECT_EQ(form().ItemField(1)->text().toStdString(), defaults.Items[0]);
  EXPECT_EQ(form().ItemField(4)->text().toStdString(), defaults.Items[3]);
  EXPECT_EQ(form().ItemField(30)->text(), "900");
  dialogs().MaterialAnswer = MaterialChoice::Keep;
  form().MaterialBtn->click();
  EXPECT_EQ(dialogs().MaterialsShown.back(),
            QStringList({kBuiltInMaterialName, kBuiltInMaterialSource}));
}

}  // namespace
}  // namespace korvane::ui::test
