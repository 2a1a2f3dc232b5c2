// Renders the "Fit to Measurements" dialog after a fit, and the Results page with the fitted
// case run through the measured points, into PNG files for the documentation:
//   korvane_ui_fit_screenshot <dialog.png> <results page.png> [<measurements.csv>]
// The measurements are made by the model at other values of viscosity_param_1 and
// diffusion_param_1 than the default case's, with a fixed scatter of about one sigma; the
// fit starts from the default case. With a third argument they are also written there.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>

#include "files/NumberText.h"
#include "fit/ProfileInterpolation.h"
#include "tests/ui/RecordingDialogs.h"
#include "ui/FitDialog.h"
#include "ui/ResultsPage.h"

namespace {

using namespace korvane;

class QuietEvents : public RunEvents {
 public:
  void ShowMessage(std::string_view text) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
};

// The plant: the default case with a stiffer dope that dries faster.
std::string PlantMeasurements(FieldTexts texts, const std::string& folder) {
  texts.Items[3] = "6200";     // viscosity_param_1
  texts.Items[6] = "0.00112";  // diffusion_param_1
  texts.ResultFileName = folder + "/plant-run.txt";
  RunOptions options;
  options.Method = SolverMethod::Converged;
  options.Converged.Tolerance = 1e-4;
  RunContext context;
  QuietEvents events;
  const RunReport report = RunDriver(context, texts, events, options);
  std::filesystem::remove(texts.ResultFileName);
  if (report.Outcome != RunOutcome::Success) return {};
  const ProfileSource source{context.Params, *context.Profile, context.State,
                             report.PrintedPointCount};
  struct Point {
    const char* Column;
    const char* Label;
    double Z, Sigma, Scatter;  // scatter in sigmas
  };
  const Point points[] = {
      {"tension", "tension", 0, 0.2, 0.6},
      {"average_solvent_fraction", "average solvent fraction", 50, 0.02, -0.8},
      {"average_solvent_fraction", "average solvent fraction", 100, 0.02, 0.3},
      {"average_solvent_fraction", "average solvent fraction", 150, 0.02, 1.1},
      {"average_solvent_fraction", "average solvent fraction", 200, 0.02, -0.4},
      {"average_solvent_fraction", "average solvent fraction", 300, 0.02, 0.9},
      {"average_solvent_fraction", "average solvent fraction", 400, 0.02, -1.2},
      {"average_solvent_fraction", "average solvent fraction", 500, 0.02, 0.2},
      {"average_solvent_fraction", "average solvent fraction", 600, 0.02, -0.5},
      {"filament_temperature", "filament temperature", 50, 4, 0.7},
      {"filament_temperature", "filament temperature", 100, 4, -0.9},
      {"filament_temperature", "filament temperature", 200, 4, 0.1},
      {"filament_temperature", "filament temperature", 300, 4, 1.4},
      {"filament_temperature", "filament temperature", 400, 4, -0.3},
      {"filament_temperature", "filament temperature", 500, 4, -1.0},
      {"filament_temperature", "filament temperature", 600, 4, 0.5},
      {"filament_temperature", "filament temperature", 700, 4, -0.2},
  };
  std::string csv = "quantity,z,value,sigma\n";
  for (const Point& p : points) {
    const double value =
        InterpolatedValue(ProfileColumnByName(p.Column), source,
                          LocateOnLine(*context.Profile, report.PrintedPointCount, p.Z)) +
        p.Scatter * p.Sigma;
    char text[32];
    std::snprintf(text, sizeof text, "%.5g", value);
    csv += std::string(p.Label) + "," + ShortestText(p.Z) + "," + text + "," +
           ShortestText(p.Sigma) + "\n";
  }
  return csv;
}

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
  QElapsedTimer waited;
  waited.start();
  while (!done() && waited.elapsed() < milliseconds)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s <dialog.png> <results page.png> [<measurements.csv>]\n",
                 argv[0]);
    return 2;
  }
  const QString dialogPng = QDir().absoluteFilePath(argv[1]);
  const QString resultsPng = QDir().absoluteFilePath(argv[2]);
  const QString csvCopy = argc == 4 ? QDir().absoluteFilePath(argv[3]) : QString();

  QTemporaryDir folder;
  const QString startFolder = QDir::currentPath();
  QDir::setCurrent(folder.path());
  ui::test::Program program(folder.filePath("TensKRVN.txt").toStdString());
  ui::TMainForm& form = program.MainForm;
  program.Context.Params.InitialTensionText = "3.0";
  form.resize(1300, 960);
  form.show();
  QApplication::processEvents();

  const std::string csv = PlantMeasurements(form.FieldTextsOfWindow(), folder.path().toStdString());
  if (csv.empty()) {
    std::fprintf(stderr, "the plant run failed\n");
    return 1;
  }
  for (const QString& path : {folder.filePath("plant.csv"), csvCopy}) {
    if (path.isEmpty()) continue;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()))
      return 1;
  }

  // The user's way: the button, the file, two ticks, Fit.
  program.Dialogs.MeasurementsToOpen = folder.filePath("plant.csv");
  form.FitBtn->click();
  ui::FitDialog& dialog = *form.FitWindow;
  dialog.BrowseBtn->click();
  dialog.SetParameterTicked(4, true);
  dialog.SetParameterTicked(7, true);
  dialog.resize(860, 640);
  if (!dialog.StartFit() || !WaitFor([&] { return !dialog.Running(); }, 300000)) return 1;
  const ui::FitOutcome* outcome = dialog.LastOutcome();
  std::fprintf(stderr, "fit: status %d, %s\n",
               outcome ? static_cast<int>(outcome->Result.Status) : -1,
               outcome ? outcome->Result.Message.c_str() : "");
  // Scroll the ticked rows into view.
  dialog.ParameterTable->scrollToItem(dialog.ParameterTable->item(dialog.ParameterRow(4), 0));
  QApplication::processEvents();
  bool ok = dialog.grab().save(dialogPng);
  dialog.hide();

  // The estimates into the fields, and the fitted case run.
  form.EditFixedBox->setChecked(true);
  form.Results->UseFittedBtn->click();
  form.TabbedNotebook1->setCurrentIndex(0);
  form.BitBtn1->click();
  WaitFor([&] { return !form.Comparison->Pending(); }, 120000);
  form.TabbedNotebook1->setCurrentWidget(form.Results);
  QApplication::processEvents();
  ok = form.Results->HasResults() && form.grab().save(resultsPng) && ok;
  if (!program.Dialogs.Messages.isEmpty())
    std::fprintf(stderr, "messages: %s\n", qPrintable(program.Dialogs.Messages.join(" / ")));
  QDir::setCurrent(startFolder);
  return ok ? 0 : 1;
}
