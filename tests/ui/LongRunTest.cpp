// A long run from the main window: its progress window, Cancel, and a window that takes no
// input and does not go away while the run lets events through.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <numeric>
#include <utility>

#include "files/ProfileCsv.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/ResultsPage.h"

namespace korvane::ui::test {
namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const std::string kTinyTension = "1e-9";
const std::string kDefaultTension = "3.0";

class LongRun : public testing::Test {
 protected:
  void SetUp() override {
    form().show();
    // From so small a tension, with steps of 2 % of it, the iteration does not reach the
    // take-up speed before its limit of 5001 passes: the run lasts long enough to be cancelled.
    SetInitialTension(kTinyTension);
    form().SetProgressDelay(0);
  }

  void SetInitialTension(const std::string& text) {
    session.App->Context.Params.InitialTensionText = text;
  }
  TMainForm& form() { return session.App->MainForm; }
  RecordingDialogs& dialogs() { return session.App->Dialogs; }
  QString ResultPath() const { return session.Folder.filePath("result.txt"); }

  Session session;
};

TEST_F(LongRun, CancelKeepsTheEarlierResultFileAndPage) {
  // Results of an earlier run, with their file and the comparison under way.
  SetInitialTension(kDefaultTension);
  form().BitBtn1->click();
  ASSERT_TRUE(form().Results->HasResults());
  const QByteArray earlierFile = Contents(ResultPath());
  const RunParameters shown = session.App->Context.Params;
  const QString stress = form().Results->EndStressValue->text();
  SetInitialTension(kTinyTension);
  dialogs().Messages.clear();
  dialogs().FinishCount = 0;
  dialogs().ProgressPasses.clear();
  dialogs().ProgressStarts = dialogs().ProgressEnds = 0;

  bool resultsDuringRun = false;
  dialogs().OnProgress = [&](int passes) {
    resultsDuringRun = form().Results->HasResults();
    return passes < 20;
  };
  form().BitBtn1->click();

  // One progress window, told of every pass up to the one that was cancelled.
  QList<int> expected(20);
  std::iota(expected.begin(), expected.end(), 1);
  EXPECT_EQ(dialogs().ProgressPasses, expected);
  EXPECT_GT(dialogs().LastRelativeDifference, 0.0);
  EXPECT_EQ(dialogs().ProgressStarts, 1);
  EXPECT_EQ(dialogs().ProgressEnds, 1);
  EXPECT_EQ(dialogs().Messages, QStringList({kCalculationCancelled}));
  EXPECT_EQ(dialogs().FinishCount, 0);
  // The earlier file, the page and what it exports are those of the earlier run.
  EXPECT_EQ(Contents(ResultPath()), earlierFile);
  EXPECT_EQ(QDir(session.Folder.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList({"result.txt"}));
  EXPECT_TRUE(resultsDuringRun);
  ASSERT_TRUE(form().Results->HasResults());
  EXPECT_EQ(form().Results->EndStressValue->text(), stress);
  EXPECT_TRUE(form().Comparison->Pending());
  dialogs().FileToSave = session.Folder.filePath("kept.csv");
  form().Results->ExportCsvBtn->click();
  EXPECT_EQ(Contents(dialogs().FileToSave),
            QByteArray::fromStdString(ProfileCsvText(shown, *session.App->Context.Profile,
                                                     session.App->Context.State,
                                                     form().Results->PointCount())));
  EXPECT_FALSE(form().Running());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LongRun, AConvergedRunLetsEventsThroughAndIsCancelledWithinAPass) {
  // A converged pass along a long line lasts seconds: the window is drawn and Cancel is seen
  // while it goes on, not only when it ends.
  SetInitialTension(kDefaultTension);
  form().SolverMethodBox->setCurrentIndex(1);
  // 200,000 steps of 0.0035 cm.
  for (const auto& [item, text] : {std::pair{41, "0.0035"}, {46, "200000"}, {47, "0"}, {48, "0"}}) {
    form().ItemField(item)->setText(text);
  }
  // Cancel is pressed at the first update that comes within a pass (the pass count of the one
  // before it again).
  dialogs().OnProgress = [this](int passes) {
    const QList<int>& seen = dialogs().ProgressPasses;
    return !(seen.size() >= 2 && seen[seen.size() - 2] == passes);
  };
  form().BitBtn1->click();
  ASSERT_GE(dialogs().ProgressPasses.size(), 2);
  EXPECT_EQ(dialogs().Messages, QStringList({kCalculationCancelled}));
  EXPECT_EQ(dialogs().FinishCount, 0);
  EXPECT_EQ(Contents(ResultPath()), "<missing>");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LongRun, TheProgressWindowWaitsForTheDelayAndClosesBeforeAnyMessage) {
  SetInitialTension(kDefaultTension);
  form().SetProgressDelay(60000);
  form().BitBtn1->click();
  ASSERT_EQ(dialogs().FinishCount, 1);
  EXPECT_EQ(dialogs().ProgressStarts, 0);
  EXPECT_TRUE(dialogs().ProgressPasses.isEmpty());

  // Shown from the first pass, it is gone when the pass count is reported.
  form().SetProgressDelay(0);
  dialogs().Messages.clear();
  QList<bool> progressOpenAtMessage;
  Qt::CursorShape cursorDuringProgress = Qt::ArrowCursor;
  dialogs().OnProgress = [&](int) {
    cursorDuringProgress = QApplication::overrideCursor()->shape();
    return true;
  };
  dialogs().OnMessage = [&](const QString&) { progressOpenAtMessage << dialogs().ProgressOpen; };
  form().BitBtn1->click();
  ASSERT_EQ(dialogs().FinishCount, 2);
  EXPECT_EQ(dialogs().ProgressStarts, 1);
  EXPECT_EQ(dialogs().ProgressEnds, 1);
  EXPECT_EQ(progressOpenAtMessage, QList<bool>({false}));
  // The busy cursor with an arrow while Cancel can be pressed.
  EXPECT_EQ(cursorDuringProgress, Qt::BusyCursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LongRun, TheWindowTakesNoInputWhileTheRunLetsEventsThrough) {
  QLineEdit* takeUp = form().ItemField(30);
  QLineEdit* density = form().ItemField(1);
  const QString folder = form().CurrentFolder();
  dialogs().FileToOpen = session.Folder.filePath("case.txt");
  dialogs().FileToSave = session.Folder.filePath("saved.txt");
  dialogs().OnProgress = [&](int passes) {
    if (passes == 3) {
      QTest::keyClicks(takeUp, "9");
      QTest::keyClick(density, Qt::Key_Return);  // Enter on the first page is OK
      QTest::mouseClick(form().BitBtn1, Qt::LeftButton);
      QTest::mouseClick(form().InputDataBtn, Qt::LeftButton);
      QTest::mouseClick(form().SaveDataBtn, Qt::LeftButton);
      QTest::mouseClick(form().BitBtn2, Qt::LeftButton);  // Close
      // Pressed by the program rather than by the user, the handlers refuse as well.
      form().BitBtn1Click();
      form().InputDataBtnClick();
      form().SaveDataBtnClick();
    }
    return passes < 5;
  };
  form().BitBtn1->click();

  EXPECT_EQ(takeUp->text(), "833.0");
  EXPECT_EQ(dialogs().ProgressStarts, 1);  // no second run inside the first
  EXPECT_EQ(dialogs().ProgressPasses.size(), 5);
  EXPECT_TRUE(dialogs().OpenFolders.isEmpty());
  EXPECT_TRUE(dialogs().SaveRequests.isEmpty());
  EXPECT_EQ(dialogs().Messages, QStringList({kCalculationCancelled}));
  EXPECT_TRUE(form().isVisible());

  // After the run the window takes input again.
  QTest::keyClicks(takeUp, "9");
  EXPECT_EQ(takeUp->text(), "833.09");
  QTest::mouseClick(form().SaveDataBtn, Qt::LeftButton);
  EXPECT_EQ(dialogs().SaveRequests.size(), 1);
  EXPECT_EQ(form().CurrentFolder(), folder);
}

TEST_F(LongRun, EscInTheWindowCancelsTheRunAndKeepsTheWindow) {
  dialogs().OnProgress = [&](int passes) {
    if (passes == 3) QTest::keyClick(form().ItemField(30), Qt::Key_Escape);
    return true;
  };
  form().BitBtn1->click();
  EXPECT_EQ(dialogs().ProgressPasses.size(), 3);
  EXPECT_EQ(dialogs().Messages, QStringList({kCalculationCancelled}));
  EXPECT_TRUE(form().isVisible());
  EXPECT_EQ(form().ItemField(30)->text(), "833.0");
}

TEST_F(LongRun, ClosingTheWindowCancelsTheRunAndClosesItAfterwards) {
  QSignalSpy closed(&form(), &TMainForm::FormClosed);
  int closedDuringRun = -1;
  bool visibleDuringRun = false;
  dialogs().OnProgress = [&](int passes) {
    if (passes == 3) form().close();  // the window's close box
    return true;
  };
  // The run reports its end while the window is still there.
  dialogs().OnMessage = [&](const QString&) {
    closedDuringRun = static_cast<int>(closed.count());
    visibleDuringRun = form().isVisible();
  };
  form().BitBtn1->click();

  EXPECT_EQ(closedDuringRun, 0);
  EXPECT_TRUE(visibleDuringRun);
  EXPECT_EQ(dialogs().ProgressPasses.size(), 3);
  EXPECT_EQ(dialogs().Messages, QStringList({kCalculationCancelled}));
  EXPECT_EQ(Contents(ResultPath()), "<missing>");
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(form().isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace korvane::ui::test
