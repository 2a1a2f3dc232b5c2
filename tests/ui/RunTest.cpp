// Runs started from the main window: the result file, the finish dialog, the file list, the
// cursor and the field that does not convert.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <cmath>

#include "files/InitialTensionFile.h"
#include "files/ProfileColumns.h"
#include "inputs/ReadRunParameters.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/ConvergedComparison.h"
#include "ui/ResultsPage.h"

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
  } cases[] = {{"fast", QString(kInputValueNotCorrect) + "\nTake-up speed (cm/s)"},  // letters
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

TEST(MainWindowRun, StepCountsThatDoNotFitAreRefusedWithTheFocusOnACountField) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  struct Case {
    const char* count2;
    const char* count3;
    const char* focused;
  };
  // A negative count gets the focus; a sum out of range sends it to the first count.
  for (const Case& c : {Case{"-1", "44", "Edit42"}, Case{"2000", "44", "Edit41"}}) {
    SCOPED_TRACE(c.count2);
    app.MainForm.TabbedNotebook1->setCurrentIndex(0);
    app.MainForm.findChild<QLineEdit*>("Edit42")->setText(c.count2);
    app.MainForm.findChild<QLineEdit*>("Edit43")->setText(c.count3);
    app.Dialogs.Messages.clear();
    app.MainForm.BitBtn1->click();
    EXPECT_EQ(app.Dialogs.Messages, QStringList({kStepCountsOutOfRange}));
    EXPECT_EQ(app.MainForm.TabbedNotebook1->currentIndex(), 1);
    EXPECT_EQ(app.MainForm.focusWidget(), app.MainForm.findChild<QLineEdit*>(c.focused));
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
  EXPECT_EQ(app.Dialogs.Messages,
            QStringList({QString(kInputValueNotCorrect) + "\nTake-up speed (cm/s)"}));
}

TEST(MainWindowRun, AnAltKeyNeverTypesIntoAField) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  for (QLineEdit* field : {app.MainForm.ItemField(1), app.MainForm.ItemField(31),
                           app.MainForm.ItemField(41), app.MainForm.Edit44}) {
    const QString before = field->text();
    QTest::keyClick(field, Qt::Key_X, Qt::AltModifier);
    QTest::keyClick(field, Qt::Key_C, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(field->text(), before) << field->objectName().toStdString();
  }
}

TEST(MainWindowRun, AltOAndAltCPressOkAndCloseFromEveryPage) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  app.MainForm.activateWindow();
  if (!QTest::qWaitForWindowActive(&app.MainForm, 2000)) GTEST_SKIP() << "no active window here";
  app.MainForm.findChild<QLineEdit*>("Edit27")->setText("x");
  // On the second page, in "Room temperature", the keys press the buttons and type nothing.
  app.MainForm.TabbedNotebook1->setCurrentIndex(1);
  QLineEdit* room = app.MainForm.ItemField(31);
  room->setFocus();
  QTest::keyClick(room, Qt::Key_O, Qt::AltModifier);
  // The accelerator presses the button visibly: the click follows a moment later.
  for (int waited = 0; app.Dialogs.Messages.isEmpty() && waited < 2000; waited += 20) {
    QTest::qWait(20);
  }
  EXPECT_EQ(app.Dialogs.Messages,
            QStringList({QString(kInputValueNotCorrect) + "\nTake-up speed (cm/s)"}));
  EXPECT_EQ(room->text(), "30.0");

  app.MainForm.TabbedNotebook1->setCurrentIndex(1);
  room->setFocus();
  QSignalSpy closed(&app.MainForm, &TMainForm::FormClosed);
  QTest::keyClick(room, Qt::Key_C, Qt::AltModifier);
  for (int waited = 0; closed.isEmpty() && waited < 2000; waited += 20) QTest::qWait(20);
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(room->text(), "30.0");
}

TEST(MainWindowRun, AResultFileThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  // A data file loaded from the working folder, and the initial tension file.
  const QString data = session.Folder.filePath("case.txt");
  app.Dialogs.FileToSave = data;
  app.MainForm.SaveDataBtnClick();
  QFile saved(data);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray dataBytes = saved.readAll();
  saved.close();
  app.Dialogs.FileToOpen = data;
  app.MainForm.InputDataBtnClick();
  // A material file loaded from there too.
  const QString material = session.Folder.filePath("dope.toml");
  QFile materialFile(material);
  ASSERT_TRUE(materialFile.open(QIODevice::WriteOnly));
  materialFile.write("name = \"m\"\nsource = \"s\"\ndope_density = 1.0\n");
  materialFile.close();
  app.Dialogs.MaterialAnswer = MaterialChoice::LoadFile;
  app.Dialogs.MaterialToOpen = material;
  app.MainForm.MaterialBtn->click();
  ASSERT_TRUE(StoreInitialTensionFile(session.TensionPath, "3.0"));
  const struct {
    QString name;
    QString message;
  } cases[] = {
      {"case.txt", "The result file (Save File Name) \"case.txt\" is the data file \"" + data +
                       "\", which it would overwrite."},
      {"./case.txt", "The result file (Save File Name) \"./case.txt\" is the data file \"" + data +
                         "\", which it would overwrite."},
      {"dope.toml", "The result file (Save File Name) \"dope.toml\" is the material file \"" +
                        material + "\", which it would overwrite."},
      {QString::fromStdString(session.TensionPath),
       "The result file (Save File Name) \"" + QString::fromStdString(session.TensionPath) +
           "\" is the initial tension file \"" + QString::fromStdString(session.TensionPath) +
           "\", which it would overwrite."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    app.Dialogs.Messages.clear();
    app.MainForm.Edit44->setText(c.name);
    app.MainForm.BitBtn1->click();
    EXPECT_EQ(app.Dialogs.Messages, QStringList({c.message}));
    EXPECT_EQ(app.Dialogs.FinishCount, 0);
    EXPECT_EQ(app.MainForm.focusWidget(), app.MainForm.Edit44);
  }
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), dataBytes);
  // A name in a folder that does not exist is named in the refusal.
  app.Dialogs.Messages.clear();
  app.MainForm.Edit44->setText("missing/result.txt");
  app.MainForm.BitBtn1->click();
  EXPECT_EQ(app.Dialogs.Messages,
            QStringList({"Result file can not open!\nSave File Name \"missing/result.txt\""}));
  // Another name runs.
  app.MainForm.Edit44->setText("result.txt");
  app.MainForm.BitBtn1->click();
  EXPECT_EQ(app.Dialogs.FinishCount, 1);
}

TEST(MainWindowRun, AltOFromAStepFieldRunsWithTheLengthsOfItsText) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  app.MainForm.activateWindow();
  if (!QTest::qWaitForWindowActive(&app.MainForm, 2000)) GTEST_SKIP() << "no active window here";
  app.MainForm.TabbedNotebook1->setCurrentIndex(1);
  // "Number of increments-4" typed and not left; the run is pressed with Alt+O. A run that is
  // refused without moving the focus (here for the initial tension) as well as one that computes.
  for (const char* tension : {"abc", "3.0"}) {
    SCOPED_TRACE(tension);
    const bool refused = std::string(tension) == "abc";
    app.Context.Params.InitialTensionText = tension;
    QLineEdit* count4 = app.MainForm.ItemField(49);
    count4->setFocus();
    count4->selectAll();
    QTest::keyClicks(count4, refused ? "10" : "8");
    app.Dialogs.Messages.clear();
    QTest::keyClick(count4, Qt::Key_O, Qt::AltModifier);
    for (int waited = 0; app.Dialogs.Messages.isEmpty() && waited < 5000; waited += 20) {
      QTest::qWait(20);
    }
    EXPECT_EQ(app.MainForm.focusWidget(), count4);
    if (refused) {
      EXPECT_EQ(app.Dialogs.Messages,
                QStringList({QString(kInputValueNotCorrect) +
                             "\nAssumed initial tension (dyn) (Change Initial Tension)"}));
    }
    EXPECT_EQ(app.MainForm.SummaryLabels[3]->text().toStdString(), refused ? " 50.0" : " 40.0");
    EXPECT_EQ(app.MainForm.SummaryLabels[5]->text().toStdString(), refused ? "750.0" : "740.0");
    EXPECT_EQ(app.Context.Params.TotalSpinningLength, refused ? 750.0 : 740.0);
  }
}

}  // namespace
}  // namespace korvane::ui::test

// The converged method beside the classic one: the "Solver" group and the comparison that runs
// in the background after a classic run.
namespace korvane::ui::test {
namespace {

constexpr int kComparisonWaitMs = 30000;

QLineSeries* Series(const TMainForm& form, const QString& name) {
  for (auto* view : form.Results->findChildren<QChartView*>()) {
    for (QAbstractSeries* series : view->chart()->series()) {
      if (series->objectName() == name) return qobject_cast<QLineSeries*>(series);
    }
  }
  return nullptr;
}

TEST(MainWindowSolver, AClassicRunIsComparedWithTheConvergedLineInTheBackground) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  ASSERT_EQ(app.MainForm.SolverMethodBox->currentText(), "Classic");
  app.MainForm.BitBtn1->click();
  ASSERT_TRUE(app.MainForm.Results->HasResults());
  // The run returns at once; the comparison follows while the window takes events.
  EXPECT_TRUE(app.MainForm.Comparison->Pending());
  EXPECT_TRUE(app.MainForm.Results->ComparisonLabel->text().contains("background"));

  QTRY_VERIFY_WITH_TIMEOUT(!app.MainForm.Comparison->Pending(), kComparisonWaitMs);
  const QString line = app.MainForm.Results->ComparisonLabel->text();
  EXPECT_TRUE(line.startsWith("Converged (dashed): ")) << line.toStdString();
  EXPECT_TRUE(line.contains(" dyn (±")) << line.toStdString();
  EXPECT_TRUE(line.contains(QRegularExpression(" is [0-9.]+ % (low|high)"))) << line.toStdString();
  // The default case's gap comes mostly from the classic method's 10 radial intervals, which
  // smaller increments cannot change: the line parts it and points to the converged solver.
  const QRegularExpressionMatch parts =
      QRegularExpression(QString::fromUtf8(" is ([0-9.]+) % low: radial grid \\(10 intervals\\) "
                                           "−([0-9.]+) %, axial steps ([−+])([0-9.]+) %"))
          .match(line);
  ASSERT_TRUE(parts.hasMatch()) << line.toStdString();
  const double axial = (parts.captured(3) == "+" ? 1 : -1) * parts.captured(4).toDouble();
  EXPECT_NEAR(parts.captured(2).toDouble() - axial, parts.captured(1).toDouble(), 0.11);
  EXPECT_GT(parts.captured(2).toDouble(), std::fabs(axial)) << line.toStdString();
  EXPECT_FALSE(line.contains("refine the increments")) << line.toStdString();
  EXPECT_TRUE(line.contains("use the Converged solver")) << line.toStdString();
  // Each classic curve has a dashed twin of the same colour with the converged line.
  for (const char* name :
       {"Tension", "Stress", "AverageSolvent", "FilamentVelocity", "GasTemperature"}) {
    SCOPED_TRACE(name);
    QLineSeries* classic = Series(app.MainForm, name);
    QLineSeries* converged = Series(app.MainForm, QString(name) + "Converged");
    ASSERT_NE(classic, nullptr);
    ASSERT_NE(converged, nullptr);
    EXPECT_EQ(converged->pen().style(), Qt::DashLine);
    EXPECT_EQ(converged->pen().color(), classic->pen().color());
    ASSERT_GT(converged->count(), 1);
    // Both lines end near each other: a curve the converged run does not fill would not.
    const double classicEnd = classic->at(classic->count() - 1).y();
    EXPECT_NEAR(converged->at(converged->count() - 1).y(), classicEnd, 0.3 * classicEnd);
  }
  // The radial profiles too, at the converged solver's own nodes: finer towards the surface,
  // where the skin forms, than the classic method's 11.
  for (const char* name : {"RadialSolvent0", "RadialSolvent1", "RadialSolvent4"}) {
    SCOPED_TRACE(name);
    QLineSeries* classic = Series(app.MainForm, name);
    QLineSeries* converged = Series(app.MainForm, QString(name) + "Converged");
    ASSERT_NE(classic, nullptr);
    ASSERT_NE(converged, nullptr);
    EXPECT_EQ(converged->pen().style(), Qt::DashLine);
    EXPECT_EQ(converged->pen().color(), classic->pen().color());
    ASSERT_GT(converged->count(), 11);
    EXPECT_EQ(converged->at(0).x(), 0.0);
    EXPECT_EQ(converged->at(converged->count() - 1).x(), 1.0);
    EXPECT_LT(1.0 - converged->at(converged->count() - 2).x(), 0.1);
  }
  // Export CSV puts the converged line's columns beside the run's, each line at its own points.
  const ComparisonResult* comparison = app.MainForm.Results->ShownComparison();
  ASSERT_NE(comparison, nullptr);
  app.Dialogs.FileToSave = QDir(session.Folder.path()).filePath("compared.csv");
  app.MainForm.Results->ExportCsvBtn->click();
  QFile csv(app.Dialogs.FileToSave);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QList<QByteArray> rows = csv.readAll().split('\n');
  const int classicPoints = app.MainForm.Results->PointCount();
  ASSERT_EQ(rows.size(), std::max(classicPoints, comparison->PointCount) + 2);  // header, last \n
  const int columns = static_cast<int>(ProfileColumns().size());
  EXPECT_EQ(rows[0].count(','), 2 * columns - 1);
  EXPECT_TRUE(rows[0].contains(",converged Z (cm)")) << rows[0].toStdString();
  EXPECT_EQ(rows[1].split(',')[columns], "0");
  for (const QByteArray& row : rows.mid(1, rows.size() - 2))
    ASSERT_EQ(row.count(','), 2 * columns - 1);
  // The background solver shows no message box of its own.
  EXPECT_EQ(app.Dialogs.Messages.size(), 1) << app.Dialogs.Messages.join('\n').toStdString();
}

// The comparison solves the run's own model: with the run's property laws, on its thread.
TEST(MainWindowSolver, TheComparisonUsesTheRunsPropertyLaws) {
  RunParameters params;
  ASSERT_TRUE(ReadRunParameters(DefaultFieldTexts(), params).Ok);
  params.TotalSpinningLength = 700.0;
  const auto tension = [&params](const std::vector<std::pair<std::string, std::string>>& laws) {
    ConvergedComparison comparison;
    QSignalSpy delivered(&comparison, &ConvergedComparison::Finished);
    comparison.Start(params, 1e-2, laws);
    if (!delivered.wait(kComparisonWaitMs)) return 0.0;
    return delivered.at(0)
        .at(0)
        .value<std::shared_ptr<const ComparisonResult>>()
        ->Report.SpinneretTension;
  };
  const double builtIn = tension({});
  ASSERT_GT(builtIn, 0);
  EXPECT_EQ(tension({{"vapor_pressure",
                      "10^(vapor_pressure_param_1 - vapor_pressure_param_2 / (t + "
                      "vapor_pressure_param_3))"}}),
            builtIn);
  const double lower = tension({{"vapor_pressure", "0.9 * 10^(5.116 - 2024.7 / (t + 230))"}});
  EXPECT_GT(lower, 0);
  EXPECT_NE(lower, builtIn);
}

TEST(MainWindowSolver, ANewRunOrClosingTheWindowDropsThePendingComparison) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  QSignalSpy delivered(app.MainForm.Comparison, &ConvergedComparison::Finished);
  app.MainForm.BitBtn1->click();
  ASSERT_TRUE(app.MainForm.Comparison->Pending());
  // A refused run leaves the results on the page, and their comparison goes on.
  auto* takeUp = app.MainForm.findChild<QLineEdit*>("Edit27");
  const QString speed = takeUp->text();
  takeUp->setText("x");
  app.MainForm.BitBtn1->click();
  EXPECT_TRUE(app.MainForm.Comparison->Pending());
  // A run that computes replaces them: only its own comparison is delivered.
  takeUp->setText(speed);
  app.MainForm.BitBtn1->click();
  ASSERT_TRUE(app.MainForm.Comparison->Pending());
  QTRY_VERIFY_WITH_TIMEOUT(!app.MainForm.Comparison->Pending(), kComparisonWaitMs);
  QTest::qWait(200);
  EXPECT_EQ(delivered.count(), 1);

  app.MainForm.BitBtn1->click();
  ASSERT_TRUE(app.MainForm.Comparison->Pending());
  app.MainForm.close();
  EXPECT_FALSE(app.MainForm.Comparison->Pending());
  QTest::qWait(200);
  EXPECT_EQ(delivered.count(), 1);
}

TEST(MainWindowSolver, AConvergedRunWritesItsResultsAndNeedsNoComparison) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  app.MainForm.SolverMethodBox->setCurrentIndex(1);
  app.MainForm.BitBtn1->click();
  EXPECT_EQ(app.Dialogs.FinishCount, 1) << app.Dialogs.Messages.join('\n').toStdString();
  EXPECT_TRUE(QFile::exists(session.Folder.filePath("result.txt")));
  ASSERT_TRUE(app.MainForm.Results->HasResults());
  EXPECT_FALSE(app.MainForm.Comparison->Pending());
  EXPECT_TRUE(app.MainForm.Results->ComparisonLabel->text().startsWith("Converged method: "));
  // Its radial profiles are drawn at its own nodes.
  QLineSeries* radial = Series(app.MainForm, "RadialSolvent1");
  ASSERT_NE(radial, nullptr);
  EXPECT_GT(radial->count(), 11);
  EXPECT_EQ(radial->at(radial->count() - 1).x(), 1.0);
}

TEST(MainWindowSolver, AToleranceThatIsNotMetIsSaidInAmberAndNotReportedAsSuccess) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  app.MainForm.SolverMethodBox->setCurrentIndex(1);
  // The finest automatic radial grid cannot meet the tightest tolerance on the default case.
  app.MainForm.ToleranceEdit->setText("1e-8");
  app.MainForm.BitBtn1->click();
  ASSERT_TRUE(app.MainForm.Results->HasResults()) << app.Dialogs.Messages.join('\n').toStdString();
  EXPECT_EQ(app.Dialogs.FinishCount, 0);
  ASSERT_FALSE(app.Dialogs.Messages.isEmpty());
  EXPECT_TRUE(app.Dialogs.Messages.back().startsWith("tolerance 1E-08 not met: estimated error ±"))
      << app.Dialogs.Messages.back().toStdString();
  const QLabel* line = app.MainForm.Results->ComparisonLabel;
  EXPECT_TRUE(line->text().contains("tolerance 1E-08 not met: estimated error ±"))
      << line->text().toStdString();
  EXPECT_EQ(line->palette().color(line->foregroundRole()), kAmber);
}

TEST(MainWindowSolver, AToleranceOutOfRangeIsRefusedBeforeTheRun) {
  for (const char* text : {"0.5", "1e-9", "tight", ""}) {
    SCOPED_TRACE(text);
    Session session;
    Program& app = *session.App;
    app.MainForm.show();
    app.MainForm.ToleranceEdit->setText(text);
    app.MainForm.BitBtn1->click();
    EXPECT_EQ(app.Dialogs.Messages, QStringList({kToleranceOutOfRange}));
    EXPECT_FALSE(QFile::exists(session.Folder.filePath("result.txt")));
    EXPECT_EQ(app.MainForm.TabbedNotebook1->currentIndex(), 1);
    EXPECT_EQ(app.MainForm.focusWidget(), app.MainForm.ToleranceEdit);
  }
}

}  // namespace
}  // namespace korvane::ui::test
