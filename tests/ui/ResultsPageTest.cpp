// The results page: its curves against the profile of the run, the figures above them, and
// the page emptied by the next run.
#include <gtest/gtest.h>

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QXYSeries>
#include <QXmlStreamReader>
#include <cmath>

#include "files/NumberText.h"
#include "files/ProfileCsv.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/ChartTracker.h"
#include "ui/DecadeAxis.h"
#include "ui/ResultsPage.h"

namespace korvane::ui::test {
namespace {

QXYSeries* SeriesNamed(const ResultsPage& page, const QString& name) {
  for (QChartView* view : page.findChildren<QChartView*>()) {
    for (QAbstractSeries* series : view->chart()->series()) {
      if (series->objectName() == name) return qobject_cast<QXYSeries*>(series);
    }
  }
  return nullptr;
}

int SeriesCount(const ResultsPage& page) {
  int count = 0;
  for (QChartView* view : page.findChildren<QChartView*>()) {
    for (QAbstractSeries* series : view->chart()->series()) {
      count += static_cast<int>(qobject_cast<QXYSeries*>(series)->count());
    }
  }
  return count;
}

const char* const kCurvesAlongTheLine[] = {
    "AverageSolvent",  "SurfaceSolvent", "FilamentVelocity", "FilamentTemperature",
    "GasTemperature",  "Tension",        "Stress",           "ElongationalViscosity",
    "WallHeatTransfer"};

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// The value that a curve along the line shows for point i (the viscosity on its decade axis).
double ProfileValue(const SpinningLineProfile& p, const QString& curve, int i) {
  if (curve == "AverageSolvent") return p.ProfileAvgSolvent[i];
  if (curve == "SurfaceSolvent") return p.ProfileSurfaceSolvent[i];
  if (curve == "FilamentVelocity") return p.ProfileYarnVelocity[i];
  if (curve == "FilamentTemperature") return p.ProfileYarnTemp[i];
  if (curve == "GasTemperature") return p.ProfileGasTemp[i];
  if (curve == "Tension") return p.ProfileTension[i];
  if (curve == "Stress") return p.ProfileStress[i];
  if (curve == "ElongationalViscosity") return std::log10(p.ProfileElongViscosity[i]);
  return p.ProfileHeatTransfer[i] * 36000;  // kcal/(m2 h degC)
}

// Every curve along the line starts at point 0 and ends at the last point that holds its
// quantity, with the profile's values; the radial curves hold nodes 0 to 10.
void ExpectCurvesMatch(const ResultsPage& page, const SpinningLineProfile& profile,
                       int pointCount) {
  for (const char* name : kCurvesAlongTheLine) {
    SCOPED_TRACE(name);
    const QXYSeries* series = SeriesNamed(page, name);
    ASSERT_NE(series, nullptr);
    const bool gasSide = QString(name) == "GasTemperature" ||
                         QString(name) == "ElongationalViscosity" ||
                         QString(name) == "WallHeatTransfer";
    const int last = gasSide && !PointHasGasValues(profile, pointCount, pointCount - 1)
                         ? pointCount - 2
                         : pointCount - 1;
    ASSERT_EQ(series->count(), last + 1);
    EXPECT_EQ(series->at(0), QPointF(profile.ProfileZ[0], ProfileValue(profile, name, 0)));
    EXPECT_EQ(series->at(last), QPointF(profile.ProfileZ[last], ProfileValue(profile, name, last)));
  }
  const QXYSeries* outer = SeriesNamed(page, "RadialSolvent0");
  ASSERT_NE(outer, nullptr);
  ASSERT_EQ(outer->count(), 11);
  EXPECT_EQ(outer->at(0), QPointF(0, profile.ProfileRadialSolvent[0][0]));
  EXPECT_EQ(outer->at(10), QPointF(1, profile.ProfileRadialSolvent[0][10]));
}

TEST(ResultsPage, ADefaultRunFillsTheChartsAndFiguresFromItsProfile) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  ResultsPage& page = *app.MainForm.Results;
  EXPECT_FALSE(page.HasResults());
  EXPECT_FALSE(page.ExportCsvBtn->isEnabled());

  app.MainForm.BitBtn1->click();
  ASSERT_EQ(app.Dialogs.FinishCount, 1);
  const SpinningLineProfile& profile = *app.Context.Profile;
  const int n = profile.ProfilePointCount;
  ASSERT_EQ(n, 115);  // 30 + 40 + 44 steps
  ASSERT_TRUE(page.HasResults());
  EXPECT_EQ(page.PointCount(), n);
  EXPECT_TRUE(page.ExportCsvBtn->isEnabled());
  ExpectCurvesMatch(page, profile, n);

  // The take-up speed runs over the whole computed line.
  const QXYSeries* takeUp = SeriesNamed(page, "TakeUpSpeed");
  ASSERT_EQ(takeUp->count(), 2);
  EXPECT_EQ(takeUp->at(0), QPointF(0, 833));
  EXPECT_EQ(takeUp->at(1), QPointF(700, 833));

  // The radial profiles at the spinneret, 1/8, 1/4, 1/2 and the end of the 700 cm line, at the
  // nearest points (85 cm and 90 cm are equally near 87.5 cm: the first one is taken).
  const double distances[] = {0, 85, 175, 350, 700};
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    const QXYSeries* radial = SeriesNamed(page, QStringLiteral("RadialSolvent%1").arg(k));
    ASSERT_NE(radial, nullptr);
    int point = 0;
    while (profile.ProfileZ[point] != distances[k]) ++point;
    ASSERT_EQ(radial->count(), 11);
    for (int node = 0; node <= 10; ++node) {
      EXPECT_EQ(radial->at(node), QPointF(node / 10.0, profile.ProfileRadialSolvent[point][node]));
    }
  }
  // The skin: at 1/8 of the line the surface is drier than the axis.
  EXPECT_LT(SeriesNamed(page, "RadialSolvent1")->at(10).y(),
            SeriesNamed(page, "RadialSolvent1")->at(0).y());

  EXPECT_EQ(page.PassesValue->text(),
            QString::number(app.Context.State.Iteration.CalculationLoopCount));
  EXPECT_TRUE(app.Dialogs.Messages[0].endsWith(page.PassesValue->text()));
  // The figures read as the result tables print them.
  EXPECT_EQ(page.SpinneretTensionValue->text(),
            Text(Exponent(profile.ProfileTension[0], 3, 2)) + " dyn");
  EXPECT_EQ(page.EndSolventValue->text(), Text(Fixed(profile.ProfileAvgSolvent[n - 1], 5, 3)));
  EXPECT_EQ(page.EndTemperatureValue->text(),
            Text(Fixed(profile.ProfileYarnTemp[n - 1], 5, 1)) + QString::fromUtf8(" ℃"));
  EXPECT_EQ(page.EndStressValue->text(),
            Text(Exponent(profile.ProfileStress[n - 1], 3, 2)) + " g/den");
  EXPECT_TRUE(page.EndNoteLabel->isHidden());
}

TEST(ResultsPage, ARunWhoseTensionFallsToZeroShowsThePointsUpToTheLastPrinted) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  app.MainForm.ItemField(30)->setText("200");  // take-up speed (cm/s)
  app.MainForm.BitBtn1->click();
  ASSERT_EQ(app.Dialogs.Messages.back(), kTensionBelowZeroMessage);

  const SpinningLineProfile& profile = *app.Context.Profile;
  int printed = 0;
  while (profile.ProfileTension[printed] > 0) ++printed;
  ++printed;  // the point where the tension is no longer above zero is printed too
  ASSERT_LT(printed, profile.ProfilePointCount);
  ResultsPage& page = *app.MainForm.Results;
  ASSERT_EQ(page.PointCount(), printed);
  // The gas, the viscosity and the wall at the last point are not of the last pass.
  ASSERT_FALSE(PointHasGasValues(profile, printed, printed - 1));
  ExpectCurvesMatch(page, profile, printed);
  EXPECT_LE(SeriesNamed(page, "Tension")->at(printed - 1).y(), 0);
  EXPECT_EQ(SeriesNamed(page, "RadialSolvent4")->property("radialZ").toDouble(),
            profile.ProfileZ[printed - 1]);
  EXPECT_TRUE(page.ExportCsvBtn->isEnabled());

  // The page says where the profile ends and why, and prints the tiny stress there as the
  // result table does.
  const QString end = QString::number(profile.ProfileZ[printed - 1], 'f', 1);
  EXPECT_FALSE(page.EndNoteLabel->isHidden());
  EXPECT_TRUE(page.EndNoteLabel->text().contains("Z = " + end + " cm"))
      << page.EndNoteLabel->text().toStdString();
  EXPECT_TRUE(page.EndNoteLabel->text().contains("tension fell to zero"));
  EXPECT_TRUE(page.EndNoteLabel->text().contains("700.0 cm"));
  EXPECT_EQ(page.EndStressValue->text(),
            Text(Exponent(profile.ProfileStress[printed - 1], 3, 2)) + " g/den");

  // A whole run afterwards takes the note away. Its distance axes never lay out more ticks
  // than the short line or the whole one needs: the whole line in the short one's steps would
  // freeze the window for seconds.
  double mostTicks = 0;
  for (QChartView* view : page.findChildren<QChartView*>()) {
    if (view->objectName() == "RadialChart") continue;
    auto* z = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).front());
    auto count = [z, &mostTicks] {
      mostTicks = std::max(mostTicks, (z->max() - z->min()) / z->tickInterval());
    };
    QObject::connect(z, &QValueAxis::rangeChanged, z, count);
    QObject::connect(z, &QValueAxis::tickIntervalChanged, z, count);
  }
  app.MainForm.ItemField(30)->setText("833.0");
  app.MainForm.BitBtn1->click();
  ASSERT_EQ(page.PointCount(), profile.ProfilePointCount);
  EXPECT_TRUE(page.EndNoteLabel->isHidden());
  EXPECT_GT(mostTicks, 0);
  EXPECT_LE(mostTicks, 10);
}

TEST(ResultsPage, ARefusedRunLeavesThePageAndARunThatComputesEmptiesIt) {
  Session session;
  Program& app = *session.App;
  app.MainForm.show();
  app.MainForm.BitBtn1->click();
  ResultsPage& page = *app.MainForm.Results;
  ASSERT_TRUE(page.HasResults());
  const RunParameters shown = app.Context.Params;
  const int points = SeriesCount(page);
  const QString stress = page.EndStressValue->text();

  // Nothing ran: the page, and the table it exports, are still those of the last run, though
  // the refused run read a new density before its bad take-up speed.
  app.MainForm.ItemField(1)->setText("2.0");
  app.MainForm.ItemField(30)->setText("fast");
  app.MainForm.BitBtn1->click();
  ASSERT_EQ(app.Dialogs.Messages.back(),
            QString(kInputValueNotCorrect) + QString::fromUtf8("\nTake-up speed (cm/s)"));
  EXPECT_TRUE(page.HasResults());
  EXPECT_EQ(SeriesCount(page), points);
  EXPECT_EQ(page.EndStressValue->text(), stress);
  EXPECT_TRUE(page.ExportCsvBtn->isEnabled());
  app.Dialogs.FileToSave = session.Folder.filePath("kept.csv");
  page.ExportCsvBtn->click();
  QFile csv(app.Dialogs.FileToSave);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_EQ(csv.readAll(), QByteArray::fromStdString(ProfileCsvText(
                               shown, *app.Context.Profile, app.Context.State, page.PointCount())));

  // A run that computes empties the page before its messages.
  app.MainForm.ItemField(1)->setText("1.0");
  app.MainForm.ItemField(30)->setText("833.0");
  bool emptyDuringMessage = false;
  app.Dialogs.OnMessage = [&](const QString&) {
    emptyDuringMessage = !page.HasResults() && SeriesCount(page) == 0;
  };
  app.MainForm.BitBtn1->click();
  EXPECT_TRUE(emptyDuringMessage);
  EXPECT_TRUE(page.HasResults());
}

// A profile made by hand: points 0..5 of a pass that went on to point 9.
class HandMadeProfile : public testing::Test {
 protected:
  void SetUp() override {
    profile->ProfilePointCount = 10;
    for (int i = 0; i < 10; ++i) {
      profile->ProfileZ[i] = 10.0 * i;
      profile->ProfileAvgSolvent[i] = 0.7 - 0.05 * i;
      profile->ProfileSurfaceSolvent[i] = 0.6 - 0.05 * i;
      profile->ProfileYarnVelocity[i] = 100 + 50 * i;
      profile->ProfileYarnTemp[i] = 80 + i;
      profile->ProfileGasTemp[i] = 250 - i;
      profile->ProfileTension[i] = 3 + i;
      profile->ProfileStress[i] = 0.001 * (i + 1);
      profile->ProfileElongViscosity[i] = std::pow(10.0, 3 + i);
      profile->ProfileHeatTransfer[i] = 1.0 / 36000;
      for (int node = 0; node <= 10; ++node)
        profile->ProfileRadialSolvent[i][node] = 0.7 - 0.01 * i;
    }
    params.TakeUpSpeed = 833;
    state.Iteration.CalculationLoopCount = 4;
  }

  RunParameters params;
  std::unique_ptr<SpinningLineProfile> profile = std::make_unique<SpinningLineProfile>();
  SimulationState state;
  ResultsPage page;
};

TEST_F(HandMadeProfile, ValuesThatAreNotFiniteOrNotPositiveOnALogAxisAreLeftOut) {
  profile->ProfileAvgSolvent[2] = NAN;
  profile->ProfileYarnTemp[3] = INFINITY;
  profile->ProfileElongViscosity[1] = 0;
  profile->ProfileGasTemp[4] = NAN;
  profile->ProfileRadialSolvent[0][5] = NAN;
  page.ShowResults(params, *profile, state, 6);

  EXPECT_EQ(SeriesNamed(page, "AverageSolvent")->count(), 5);
  EXPECT_EQ(SeriesNamed(page, "AverageSolvent")->at(2).x(), 30.0);
  EXPECT_EQ(SeriesNamed(page, "SurfaceSolvent")->count(), 6);
  EXPECT_EQ(SeriesNamed(page, "FilamentTemperature")->count(), 5);
  // Point 5 is the last printed one: its gas side is left out as well.
  EXPECT_EQ(SeriesNamed(page, "GasTemperature")->count(), 4);
  EXPECT_EQ(SeriesNamed(page, "ElongationalViscosity")->count(), 4);
  EXPECT_EQ(SeriesNamed(page, "WallHeatTransfer")->count(), 5);
  EXPECT_EQ(SeriesNamed(page, "WallHeatTransfer")->at(0).y(), 1.0);
  EXPECT_EQ(SeriesNamed(page, "RadialSolvent0")->count(), 10);
}

TEST_F(HandMadeProfile, ALongLineIsThinnedForDrawingAndKeepsItsEndsAndPeaks) {
  // 200,001 points, as a converged line of 200,000 steps has: a slow rise with one sharp peak
  // and one sharp dip.
  constexpr int kPoints = 200001;
  profile->Resize(kPoints);
  profile->ProfilePointCount = kPoints;
  for (int i = 0; i < kPoints; ++i) {
    profile->ProfileZ[i] = 0.0035 * i;
    profile->ProfileTension[i] = 3 + 1e-5 * i;
  }
  profile->ProfileTension[123457] = 50;
  profile->ProfileTension[7] = -1;
  page.ShowResults(params, *profile, state, kPoints);

  const QXYSeries* tension = SeriesNamed(page, "Tension");
  EXPECT_LE(tension->count(), 4002);
  EXPECT_GE(tension->count(), 2000);
  EXPECT_EQ(tension->at(0), QPointF(0, 3));
  EXPECT_EQ(tension->at(tension->count() - 1), QPointF(0.0035 * (kPoints - 1), 3 + 2.0));
  double highest = 0, lowest = 0;
  for (const QPointF& point : tension->points()) {
    highest = std::max(highest, point.y());
    lowest = std::min(lowest, point.y());
  }
  EXPECT_EQ(highest, 50);
  EXPECT_EQ(lowest, -1);
  for (qsizetype i = 1; i < tension->count(); ++i)
    ASSERT_LT(tension->at(i - 1).x(), tension->at(i).x());
  // The page counts the points of the run, and exports them all.
  EXPECT_EQ(page.PointCount(), kPoints);
}

TEST_F(HandMadeProfile, AShortLineShowsEachRadialProfileOnce) {
  // Two points: the spinneret and the end; 1/8 and 1/4 are nearest the spinneret, 1/2 is as
  // near to both and takes the spinneret too.
  page.ShowResults(params, *profile, state, 2);
  EXPECT_EQ(SeriesNamed(page, "RadialSolvent0")->property("radialZ").toDouble(), 0.0);
  EXPECT_EQ(SeriesNamed(page, "RadialSolvent1")->property("radialZ").toDouble(), 10.0);
  EXPECT_EQ(SeriesNamed(page, "RadialSolvent2"), nullptr);

  // A single point: one profile, and a distance axis that still has a length.
  page.ShowResults(params, *profile, state, 1);
  EXPECT_NE(SeriesNamed(page, "RadialSolvent0"), nullptr);
  EXPECT_EQ(SeriesNamed(page, "RadialSolvent1"), nullptr);
  EXPECT_EQ(SeriesNamed(page, "Tension")->count(), 1);
  // A line through one point draws nothing: the point is drawn instead.
  EXPECT_TRUE(SeriesNamed(page, "Tension")->pointsVisible());
  page.ShowResults(params, *profile, state, 6);
  EXPECT_FALSE(SeriesNamed(page, "Tension")->pointsVisible());
}

TEST_F(HandMadeProfile, TheMouseAnywhereOverAPlotShowsEveryCurveAtTheNearestPoint) {
  profile->ProfileGasTemp[3] = NAN;  // a curve without a value at 30 cm interpolates there
  page.ShowResults(params, *profile, state, 6);
  page.resize(660, 500);
  page.show();
  QCoreApplication::processEvents();

  // The mouse well away from the curves, a little past 30 cm.
  auto* view = page.findChild<QChartView*>("TemperatureChart");
  auto* tracker = view->findChild<ChartTracker*>();
  ASSERT_NE(tracker, nullptr);
  QChart* chart = view->chart();
  const QPointF inPlot(chart->mapToPosition(QPointF(31, 0), chart->series().front()).x(),
                       chart->plotArea().center().y());
  QMouseEvent move(QEvent::MouseMove, view->mapFromScene(chart->mapToScene(inPlot)),
                   view->viewport()->mapToGlobal(QPointF()), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(view->viewport(), &move);
  ASSERT_TRUE(tracker->Shown());
  EXPECT_EQ(tracker->ShownX(), 30.0);
  EXPECT_EQ(tracker->ShownText(), QString::fromUtf8("Z = 30.0 cm\nfilament temperature: 83 ℃\n"
                                                    "spinning-gas temperature: 247 ℃"));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(view->viewport(), &leave);
  EXPECT_FALSE(tracker->Shown());

  // The texts of the other kinds of charts: the viscosity from its decade axis, and the
  // radial profiles across the filament.
  EXPECT_EQ(ChartTracker::Text(*page.findChild<QChartView*>("ViscosityChart")->chart(), 20),
            QString::fromUtf8("Z = 20.0 cm\nelongational viscosity: 1e+05 poise\n"
                              "gas-to-wall heat-transfer coefficient: 1 kcal/(m² h ℃)"));
  EXPECT_EQ(ChartTracker::Text(*page.findChild<QChartView*>("RadialChart")->chart(), 0.8),
            "r/R = 0.80\nZ = 0.0 cm: 0.7\nZ = 10.0 cm: 0.69\nZ = 20.0 cm: 0.68\n"
            "Z = 50.0 cm: 0.65");
}

TEST_F(HandMadeProfile, TheViscosityAxisReadsInPowersOfTen) {
  page.ShowResults(params, *profile, state, 6);
  QCategoryAxis* axis = nullptr;
  for (QAbstractAxis* each : page.findChild<QChartView*>("ViscosityChart")
                                 ->chart()
                                 ->axes(Qt::Vertical, SeriesNamed(page, "ElongationalViscosity"))) {
    axis = qobject_cast<QCategoryAxis*>(each);
  }
  ASSERT_NE(axis, nullptr);
  // Points 0 to 4 hold the gas side: 10^3 .. 10^7 poise.
  EXPECT_EQ(axis->categoriesLabels(), QStringList({"10³", "10⁴", "10⁵", "10⁶", "10⁷"}));
  EXPECT_EQ(axis->min(), 3);
  EXPECT_EQ(axis->max(), 7);
  EXPECT_EQ(DecadeLabel(-12), QString::fromUtf8("10⁻¹²"));
  EXPECT_EQ(DecadeLabel(0), QString::fromUtf8("10⁰"));
}

TEST_F(HandMadeProfile, ADoubleClickEnlargesAChartAndTheNextOneBringsTheOthersBack) {
  page.ShowResults(params, *profile, state, 6);
  page.resize(660, 500);
  page.show();
  auto* tension = page.findChild<QChartView*>("TensionChart");
  auto doubleClick = [](QChartView* view) {
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
  };
  doubleClick(tension);
  for (QChartView* view : page.findChildren<QChartView*>()) {
    EXPECT_EQ(view->isVisible(), view == tension) << view->objectName().toStdString();
  }
  doubleClick(tension);
  for (QChartView* view : page.findChildren<QChartView*>()) EXPECT_TRUE(view->isVisible());
}

// Earlier runs are kept, labelled by what differs, drawn over the shown one unless hidden; a
// new run pushes out the oldest one that is not pinned.
TEST_F(HandMadeProfile, TheLastFiveRunsAreKeptAndDrawnOverTheShownOne) {
  for (double speed : {700.0, 900.0, 833.0}) {
    params.TakeUpSpeed = speed;
    profile->ProfileTension[0] = speed / 100;
    page.ShowResults(params, *profile, state, 6);
  }
  ASSERT_EQ(page.KeptRunCount(), 3);
  EXPECT_EQ(page.KeptRunLabel(0), "same inputs");
  EXPECT_EQ(page.KeptRunLabel(1), "take-up 900 cm/s");
  EXPECT_EQ(page.KeptRunLabel(2), "take-up 700 cm/s");
  EXPECT_EQ(page.RunsTable->rowCount(), 3);
  // The table takes room from the charts: it shows only when asked for.
  EXPECT_TRUE(page.RunsTable->isHidden());
  ASSERT_TRUE(page.RunsBtn->isEnabled());
  page.RunsBtn->setChecked(true);
  EXPECT_FALSE(page.RunsTable->isHidden());
  EXPECT_EQ(page.RunsTable->item(1, 0)->text(), "take-up 900 cm/s");
  EXPECT_EQ(page.RunsTable->item(2, 1)->text(), Text(Exponent(7, 3, 2)) + " dyn");
  const QXYSeries* earlier = SeriesNamed(page, "TensionRun1");
  ASSERT_NE(earlier, nullptr);
  EXPECT_EQ(earlier->at(0), QPointF(0, 9));
  EXPECT_LT(earlier->pen().color().alpha(), SeriesNamed(page, "Tension")->pen().color().alpha());

  // Hiding takes a run off the charts; the table's box does it too.
  page.SetKeptRunHidden(1, true);
  EXPECT_EQ(SeriesNamed(page, "TensionRun1"), nullptr);
  page.RunsTable->item(1, 6)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(page.KeptRunHidden(1));
  EXPECT_NE(SeriesNamed(page, "TensionRun1"), nullptr);

  // The 700 cm/s run pinned outlives the 900 cm/s one.
  page.RunsTable->item(2, 5)->setCheckState(Qt::Checked);
  ASSERT_TRUE(page.KeptRunPinned(2));
  for (double speed : {800.0, 810.0, 820.0}) {
    params.TakeUpSpeed = speed;
    page.ShowResults(params, *profile, state, 6);
  }
  ASSERT_EQ(page.KeptRunCount(), ResultsPage::kKeptRuns);
  QStringList labels;
  for (int k = 0; k < page.KeptRunCount(); ++k) labels << page.KeptRunLabel(k);
  EXPECT_EQ(labels, QStringList({"same inputs", "take-up 810 cm/s", "take-up 800 cm/s",
                                 "take-up 833 cm/s", "take-up 700 cm/s"}));
  EXPECT_TRUE(page.KeptRunPinned(4));
}

// The chart menu: the file each save asks for is written whole, and the copied text holds every
// curve of the chart by name and unit, point by point, in the values the chart reads.
TEST_F(HandMadeProfile, AChartIsSavedAsPngOrSvgAndItsDataCopiedAsText) {
  QTemporaryDir folder;
  RecordingDialogs dialogs;
  page.SetDialogs(&dialogs, [&] { return folder.path(); });
  page.ShowResults(params, *profile, state, 6);
  page.resize(660, 500);
  page.show();
  auto* tension = page.findChild<QChartView*>("TensionChart");
  auto trigger = [&](QChartView* view, int action) {
    std::unique_ptr<QMenu> menu(page.ChartMenu(view));
    ASSERT_TRUE(menu->actions()[action]->isEnabled());
    menu->actions()[action]->trigger();
  };

  dialogs.FileToSave = folder.filePath("tension.png");
  trigger(tension, 0);
  ASSERT_EQ(dialogs.SaveRequests.size(), 1);
  EXPECT_EQ(dialogs.SaveRequests[0][1], folder.filePath("TensionChart.png"));
  const QImage image(dialogs.FileToSave);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), tension->size() * tension->devicePixelRatio());

  dialogs.FileToSave = folder.filePath("tension.svg");
  trigger(tension, 1);
  QFile svg(dialogs.FileToSave);
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  QString title;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QStringLiteral("title") &&
        title.isEmpty())
      title = xml.readElementText();
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(title, tension->chart()->title());

  // A save that cannot be written says so.
  dialogs.FileToSave = folder.filePath("no such folder/tension.png");
  trigger(tension, 0);
  ASSERT_EQ(dialogs.Messages.size(), 1);
  EXPECT_TRUE(dialogs.Messages[0].contains("no such folder")) << dialogs.Messages[0].toStdString();

  trigger(tension, 2);
  const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(lines[0], "Z (cm)\ttension (dyn)\tstress (g/den)");
  EXPECT_EQ(lines[6], "50\t8\t0.006");
  // The viscosity's curve holds logarithms; its text gives the values.
  trigger(page.findChild<QChartView*>("ViscosityChart"), 2);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("\n20\t100000\t"))
      << QGuiApplication::clipboard()->text().toStdString();
}

}  // namespace
}  // namespace korvane::ui::test
