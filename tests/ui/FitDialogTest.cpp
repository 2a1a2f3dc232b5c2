// The "Fit to Measurements" dialog as the user drives it: the fit it runs from the window's
// fields is the fit the library gives for the same case, its measurements and estimates reach
// the Results page and the fields, and Esc stops a fit under way.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTest>
#include <cmath>

#include "fit/FitParameters.h"
#include "fit/MeasurementFit.h"
#include "tests/support/DefaultLineMeasurements.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/FitDialog.h"
#include "ui/ResultsPage.h"

namespace korvane::ui {
namespace {

using test::Session;

constexpr const char* kMeasurements = korvane::testing::kDefaultLineMeasurements;

constexpr int kDiffusionParam1 = 7;  // fixed items, both
constexpr int kViscosityParam1 = 4;

QString WriteMeasurements(const Session& s, const char* name, const char* text) {
  const QString path = s.Folder.filePath(name);
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
  return path;
}

// Opens the dialog from the main window and loads the measurements through its file dialog.
FitDialog& OpenWithMeasurements(Session& s, const QString& path) {
  TMainForm& form = s.App->MainForm;
  s.App->Context.Params.InitialTensionText = "3.0";
  s.App->Dialogs.MeasurementsToOpen = path;
  form.FitBtn->click();
  FitDialog& dialog = *form.FitWindow;
  dialog.BrowseBtn->click();
  return dialog;
}

void WaitForFit(const FitDialog& dialog) {
  QElapsedTimer waited;
  waited.start();
  while (dialog.Running() && waited.elapsed() < 120000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_FALSE(dialog.Running());
}

void ExpectRelative(double window, double direct, const char* what) {
  EXPECT_LE(std::fabs(window - direct), 1e-6 * std::fabs(direct)) << what;
}

// Two fixed items fitted on a coarse fixed radial grid: the window's fit is the library's fit
// of the fields' case and korvane-fit's of the same case, the measured points go onto their curves,
// and the estimates reach the fields only with "Edit fixed items" ticked.
TEST(FitDialog, FitsAsTheLibraryDoesAndPutsTheEstimatesIntoTheFields) {
  Session s;
  TMainForm& form = s.App->MainForm;
  const QString path = WriteMeasurements(s, "plant.csv", kMeasurements);
  FitDialog& dialog = OpenWithMeasurements(s, path);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(s.App->Dialogs.OpenFolders.last(), form.CurrentFolder());
  EXPECT_TRUE(dialog.FileStatusLabel->text().startsWith("7 measurements"))
      << dialog.FileStatusLabel->text().toStdString();
  // The bounds come from the items' ranges; the start from the fields.
  const int row = dialog.ParameterRow(kDiffusionParam1);
  ASSERT_GE(row, 0);
  EXPECT_EQ(dialog.ParameterTable->item(row, FitDialog::kNameColumn)->text(), "diffusion_param_1");
  EXPECT_EQ(dialog.ParameterTable->item(row, FitDialog::kStartColumn)->text(), "0.00103");
  EXPECT_EQ(dialog.ParameterTable->item(row, FitDialog::kLowColumn)->text(), "");
  const int fraction = dialog.ParameterRow(3);  // initial_solvent_fraction: 0 to 1
  ASSERT_GE(fraction, 0);
  EXPECT_EQ(dialog.ParameterTable->item(fraction, FitDialog::kLowColumn)->text(), "1e-09");
  EXPECT_EQ(dialog.ParameterTable->item(fraction, FitDialog::kHighColumn)->text(), "0.999999999");
  EXPECT_EQ(dialog.ParameterRow(29), -1);  // a whole number
  EXPECT_EQ(dialog.MethodBox->currentText(), "Converged");
  EXPECT_EQ(dialog.ToleranceEdit->text(), "1E-04");

  dialog.SetRadialIntervals(16);
  dialog.ToleranceEdit->setText("1E-03");
  ASSERT_TRUE(dialog.SetParameterTicked(kDiffusionParam1, true));
  ASSERT_TRUE(dialog.SetParameterTicked(kViscosityParam1, true));
  dialog.FitBtn->click();
  ASSERT_TRUE(dialog.Running()) << dialog.ProgressLog->toPlainText().toStdString();
  WaitForFit(dialog);
  ASSERT_NE(dialog.LastOutcome(), nullptr);
  const FitResult& window = dialog.LastOutcome()->Result;
  ASSERT_EQ(window.Status, FitStatus::Fitted) << window.Message;
  EXPECT_TRUE(dialog.ProgressLog->toPlainText().contains("iteration 1: cost"));

  // The same fit, asked of the library as the batch fitter asks it.
  FitRequest request;
  request.Texts = form.FieldTextsOfWindow();
  request.Options.Method = SolverMethod::Converged;
  request.Options.Converged.Tolerance = 1e-3;
  request.Options.Converged.RadialIntervals = 16;
  request.Measurements =
      LoadMeasurementsFile(path.toStdString(), *LineLength(request.Texts)).Values;
  std::string error;
  request.Parameters =
      ParseFitParameters({"diffusion_param_1", "viscosity_param_1"}, request.Texts, error)
          .value_or(std::vector<FitParameter>{});
  ASSERT_EQ(request.Parameters.size(), 2u) << error;
  const FitResult direct = FitToMeasurements(request);
  ASSERT_EQ(direct.Status, FitStatus::Fitted) << direct.Message;
  ASSERT_EQ(window.Parameters.size(), 2u);
  // The dialog lists the items by number: viscosity_param_1 (4) comes first.
  for (size_t k = 0; k < 2; ++k) {
    const FitEstimate& w = window.Parameters[k];
    const FitEstimate& d = direct.Parameters[1 - k];
    EXPECT_EQ(w.Name, d.Name);
    ExpectRelative(w.Value, d.Value, "estimate");
    ExpectRelative(w.StandardError, d.StandardError, "standard error");
    ExpectRelative(w.Low95, d.Low95, "low 95");
    ExpectRelative(w.High95, d.High95, "high 95");
  }
  ExpectRelative(window.ChiSquare, direct.ChiSquare, "chi-square");
  // And the batch fitter's report of the default case.
  QProcess fitter;
  fitter.setWorkingDirectory(s.Folder.path());
  fitter.start(KORVANE_FIT,
               {"--initial-tension", "3.0", "--tolerance", "1e-3", "--radial-intervals", "16",
                "--measurements", path, "--parameter", "diffusion_param_1", "--parameter",
                "viscosity_param_1", "--report", "report.json"});
  ASSERT_TRUE(fitter.waitForFinished(120000));
  EXPECT_EQ(fitter.exitCode(), 0) << fitter.readAllStandardError().toStdString();
  QFile reportFile(s.Folder.filePath("report.json"));
  ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
  const QJsonObject report = QJsonDocument::fromJson(reportFile.readAll()).object();
  for (const FitEstimate& w : window.Parameters) {
    const QJsonObject p = report["parameters"][QString::fromStdString(w.Name)].toObject();
    ExpectRelative(w.Value, p["value"].toDouble(), "korvane-fit estimate");
    ExpectRelative(w.StandardError, p["standard_error"].toDouble(), "korvane-fit standard error");
    ExpectRelative(w.Low95, p["low95"].toDouble(), "korvane-fit low 95");
    ExpectRelative(w.High95, p["high95"].toDouble(), "korvane-fit high 95");
  }
  ExpectRelative(window.ChiSquare, report["chi_square"].toDouble(), "korvane-fit chi-square");
  EXPECT_EQ(window.DegreesOfFreedom, 5);

  // The Results page: the points on their curves, the estimates in the table.
  ResultsPage& results = *form.Results;
  EXPECT_EQ(form.TabbedNotebook1->currentWidget(), &results);
  EXPECT_TRUE(results.FitPanel->isVisibleTo(&results));
  EXPECT_EQ(results.MeasuredSeries("tension")->count(), 1);
  EXPECT_EQ(results.MeasuredSeries("average_solvent_fraction")->count(), 4);
  EXPECT_EQ(results.MeasuredSeries("filament_temperature")->count(), 2);
  EXPECT_EQ(results.MeasuredSeries("surface_solvent_fraction")->count(), 0);
  ASSERT_EQ(results.FitTable->rowCount(), 2);
  EXPECT_TRUE(results.FitTable->item(1, 0)->text().contains("diffusion_param_1"));
  EXPECT_EQ(results.FitTable->item(1, 1)->text(),
            QString::number(window.Parameters[1].Value, 'g', 6));
  EXPECT_TRUE(results.FitLabel->text().contains("5 degrees of freedom"));

  // Fixed items: nothing changes until "Edit fixed items" is ticked.
  form.SolverMethodBox->setCurrentIndex(0);
  results.UseFittedBtn->click();
  ASSERT_EQ(s.App->Dialogs.Messages.size(), 1);
  EXPECT_TRUE(s.App->Dialogs.Messages[0].contains("Edit fixed items"));
  EXPECT_EQ(form.ItemField(kDiffusionParam1)->text(), "0.00103");
  EXPECT_EQ(form.SolverMethodBox->currentIndex(), 0);
  form.EditFixedBox->setChecked(true);
  results.UseFittedBtn->click();
  EXPECT_EQ(s.App->Dialogs.Messages.size(), 1);
  for (int item : {kDiffusionParam1, kViscosityParam1}) {
    EXPECT_EQ(form.ItemField(item)->text().toStdString(),
              window.FittedTexts.Items[static_cast<size_t>(item - 1)]);
    EXPECT_EQ(form.ItemField(item)->text().toDouble(),
              window.Parameters[item == kViscosityParam1 ? 0 : 1].Value);
  }
  EXPECT_EQ(form.SolverMethodBox->currentIndex(), 1);
  EXPECT_EQ(form.ToleranceEdit->text(), "1E-03");

  results.ClearFitBtn->click();
  EXPECT_FALSE(results.FitPanel->isVisibleTo(&results));
  EXPECT_EQ(results.MeasuredSeries("average_solvent_fraction")->count(), 0);
}

// A constant of the laws a material brought is listed below the items, fitted, and put by
// "Use fitted values" into the laws' constants the window holds (it has no field), which the
// note says; the next case the window runs or saves carries it.
TEST(FitDialog, FitsALawConstantAndKeepsItWithTheLaws) {
  Session s;
  TMainForm& form = s.App->MainForm;
  s.App->Dialogs.MaterialAnswer = MaterialChoice::LoadFile;
  s.App->Dialogs.MaterialToOpen = WriteMeasurements(
      s, "m.toml",
      "name = \"m\"\nsource = \"s\"\n[laws]\nzero_shear_viscosity = \"a1 * (1 - "
      "w)^viscosity_param_2 * exp(viscosity_param_3 / (t + 273))\"\n[laws.constants]\n"
      "a1 = 5000\n");
  form.MaterialBtn->click();
  ASSERT_TRUE(s.App->Dialogs.Messages.isEmpty())
      << s.App->Dialogs.Messages.join('\n').toStdString();
  FitDialog& dialog = OpenWithMeasurements(s, WriteMeasurements(s, "plant.csv", kMeasurements));
  const int row = dialog.ConstantRow("a1");
  ASSERT_GE(row, 0);
  EXPECT_EQ(dialog.ParameterTable->item(row, FitDialog::kStartColumn)->text(), "5000");
  EXPECT_EQ(dialog.ParameterTable->item(row, FitDialog::kLowColumn)->text(), "5e-06");
  dialog.ParameterTable->item(row, FitDialog::kTickColumn)->setCheckState(Qt::Checked);
  dialog.SetRadialIntervals(16);
  dialog.ToleranceEdit->setText("1E-03");
  dialog.FitBtn->click();
  WaitForFit(dialog);
  ASSERT_NE(dialog.LastOutcome(), nullptr);
  const FitResult& fit = dialog.LastOutcome()->Result;
  ASSERT_EQ(fit.Status, FitStatus::Fitted) << fit.Message;
  ASSERT_EQ(fit.Parameters.size(), 1u);
  EXPECT_EQ(fit.Parameters[0].Name, "a1");
  EXPECT_TRUE(form.Results->FitTable->item(0, 0)->text().contains("Law constant a1"));

  form.Results->UseFittedBtn->click();
  EXPECT_TRUE(s.App->Dialogs.Messages.isEmpty());
  const FieldTexts texts = form.FieldTextsOfWindow();
  ASSERT_EQ(texts.LawConstants.size(), 1u);
  EXPECT_EQ(texts.LawConstants[0].second, fit.FittedTexts.LawConstants[0].second);
  EXPECT_NE(texts.LawConstants[0].second, "5000");
  EXPECT_TRUE(form.Results->FitNoteLabel->text().contains("the fitted law constants (a1 = "))
      << form.Results->FitNoteLabel->text().toStdString();
}

// Esc during a fit stops it cleanly: the dialog stays, says so, hands nothing to the Results
// page and takes a new fit. Choices that cannot be fitted are refused before any run, and a
// parameter the measurements cannot determine is named on the Results page.
TEST(FitDialog, EscStopsTheFitBadChoicesAreRefusedUndeterminedIsNamed) {
  Session s;
  TMainForm& form = s.App->MainForm;
  FitDialog& dialog = OpenWithMeasurements(s, WriteMeasurements(s, "plant.csv", kMeasurements));
  ASSERT_TRUE(dialog.SetParameterTicked(kDiffusionParam1, true));

  const int row = dialog.ParameterRow(kDiffusionParam1);
  const struct {
    const char* Low;
    const char* High;
    const char* Tolerance;
    const char* Log;
  } refused[] = {
      {"0.002", "", "1E-04", "lies outside the bounds"},
      {"1e-3", "1e-4", "1E-04", "Low must lie below High"},
      {"x", "", "1E-04", "a bound is not a number"},
      {"", "", "0.5", "\"Tolerance\" value should be a number"},
  };
  for (const auto& r : refused) {
    dialog.ParameterTable->item(row, FitDialog::kLowColumn)->setText(r.Low);
    dialog.ParameterTable->item(row, FitDialog::kHighColumn)->setText(r.High);
    dialog.ToleranceEdit->setText(r.Tolerance);
    EXPECT_FALSE(dialog.StartFit()) << r.Log;
    EXPECT_TRUE(dialog.ProgressLog->toPlainText().contains(r.Log))
        << dialog.ProgressLog->toPlainText().toStdString();
  }
  dialog.ToleranceEdit->setText("1E-04");

  // A file with a bad row names its line; the dialog keeps no measurements.
  s.App->Dialogs.MeasurementsToOpen = WriteMeasurements(
      s, "bad.csv", "quantity,z,value,sigma\ntension,0,3.99,0.05\ntension,0,x,1\n");
  dialog.BrowseBtn->click();
  EXPECT_TRUE(dialog.FileStatusLabel->text().contains("line 3"))
      << dialog.FileStatusLabel->text().toStdString();
  EXPECT_FALSE(dialog.StartFit());
  EXPECT_TRUE(dialog.ProgressLog->toPlainText().contains("Load the measurements first"));

  // Esc while the fit runs (the automatic radial grid at 1E-04: seconds) cancels it.
  s.App->Dialogs.MeasurementsToOpen = s.Folder.filePath("plant.csv");
  dialog.BrowseBtn->click();
  ASSERT_TRUE(dialog.StartFit()) << dialog.ProgressLog->toPlainText().toStdString();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  WaitForFit(dialog);
  ASSERT_NE(dialog.LastOutcome(), nullptr);
  EXPECT_EQ(dialog.LastOutcome()->Result.Status, FitStatus::Cancelled);
  EXPECT_TRUE(dialog.ProgressLog->toPlainText().contains("The fit was stopped."));
  EXPECT_FALSE(form.Results->FitPanel->isVisibleTo(form.Results));
  EXPECT_TRUE(dialog.FitBtn->isEnabled());

  // Tensions alone cannot determine the diffusion parameter: the Results page names it, and
  // its estimates are no fitted case to put into the fields.
  s.App->Dialogs.MeasurementsToOpen =
      WriteMeasurements(s, "tension.csv",
                        "quantity,z,value,sigma\ntension,0,3.99,0.05\ntension,100,40,1\n"
                        "tension,300,90,1\n");
  dialog.BrowseBtn->click();
  ASSERT_TRUE(dialog.SetParameterTicked(kViscosityParam1, true));
  dialog.SetRadialIntervals(16);
  dialog.ToleranceEdit->setText("1E-03");
  ASSERT_TRUE(dialog.StartFit());
  WaitForFit(dialog);
  ASSERT_EQ(dialog.LastOutcome()->Result.Status, FitStatus::Undetermined);
  const ResultsPage& results = *form.Results;
  EXPECT_TRUE(results.FitPanel->isVisibleTo(&results));
  EXPECT_TRUE(results.FitLabel->text().contains("cannot determine diffusion_param_1"))
      << results.FitLabel->text().toStdString();
  ASSERT_EQ(results.FitTable->rowCount(), 2);
  EXPECT_EQ(results.FitTable->item(1, 2)->text(), "not determined by the measurements");
  EXPECT_FALSE(results.UseFittedBtn->isEnabled());

  // Now Esc closes it.
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace korvane::ui
