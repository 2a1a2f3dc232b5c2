// The batch runner as a user calls it: its exit statuses, its messages and its result file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "RecordingEnvironment.h"
#include "files/CaseFile.h"
#include "files/DataFile.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;
using testing::WriteBytes;

struct BatchRun {
  int Status = -1;
  std::string Out, Err;
};

// Runs korvane-batch in the folder with the arguments (already quoted for the shell).
BatchRun RunBatch(const TemporaryFolder& folder, const std::string& arguments) {
  const std::string command = "cd '" + folder.path().string() + "' && '" + KORVANE_BATCH + "' " +
                              arguments + " >stdout.txt 2>stderr.txt";
  const int raw = std::system(command.c_str());
  BatchRun run;
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.Out = ReadBytes(folder.File("stdout.txt"));
  run.Err = ReadBytes(folder.File("stderr.txt"));
  return run;
}

// A data file made the way a user makes one: the item lines of a result file and three jacket
// lines, with one item line changed.
std::string DataFileFrom(const std::string& resultFile, int item, const std::string& value) {
  std::string data;
  size_t at = resultFile.find("1. Density");
  for (int k = 1; k <= 51; ++k) {
    at = resultFile.find(std::to_string(k) + ". ", at);
    const size_t end = resultFile.find("\r\n", at);
    std::string line = resultFile.substr(at, end - at);
    if (k == item) line = line.substr(0, line.find('=') + 1) + "  " + value;
    data += line + "\r\n";
    at = end;
  }
  return data + "Jacket-1 = 2\r\nJacket-2 = 2\r\nJacket-3 = 2\r\n";
}

// The files in the folder, but for the runner's captured standard output and error.
std::set<std::string> FileNames(const TemporaryFolder& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
    const std::string name = entry.path().lexically_relative(folder.path()).string();
    if (name != "stdout.txt" && name != "stderr.txt") names.insert(name);
  }
  return names;
}

TEST(BatchRunner, DefaultCaseSucceedsAndMatchesTheRegressionFile) {
  TemporaryFolder folder;
  const BatchRun run = RunBatch(folder, "--initial-tension 3.0");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind("Calculation is successfully finished !\n", 0), 0u) << run.Out;
  EXPECT_NE(run.Out.find("passes "), std::string::npos);
  EXPECT_EQ(run.Err.rfind("NUMBER OF CALCULATION LOOP = ", 0), 0u) << run.Err;
  EXPECT_EQ(ReadBytes(folder.File("result.txt")),
            ReadBytes(std::string(KORVANE_GOLDEN_DIR) + "/default_result.txt"));
}

// The built-in material, fixed items set to their defaults, a saved default case (which carries
// its initial tension) and the default result file opened as a case change nothing; the command
// line's method wins over the case's. A material's fixed item runs as the same value set by
// --set, and the input echo shows it.
TEST(BatchRunner, MaterialAndSettingsRunTheValuesTheyGive) {
  TemporaryFolder folder;
  const std::string golden = ReadBytes(std::string(KORVANE_GOLDEN_DIR) + "/default_result.txt");
  CaseFile saved;
  saved.Name = "default";
  saved.Texts = DefaultFieldTexts();
  ASSERT_TRUE(CaseFileWriter(folder.File("default.toml"), saved).ok());
  saved.Solver.Converged = true;
  ASSERT_TRUE(CaseFileWriter(folder.File("converged.toml"), saved).ok());
  for (const std::string arguments :
       {"--initial-tension 3.0 --material '" KORVANE_MATERIALS_DIR "/default.toml'",
        "--initial-tension 3.0 --set 4=5512.3 --set dope_output=0.0343 --set 30=833",
        "default.toml", "converged.toml --method classic",
        "--initial-tension 3.0 '" KORVANE_GOLDEN_DIR "/default_result.txt'"}) {
    const BatchRun run = RunBatch(folder, arguments);
    ASSERT_EQ(run.Status, 0) << arguments << "\n" << run.Err;
    EXPECT_EQ(ReadBytes(folder.File("result.txt")), golden) << arguments;
  }
  WriteBytes(folder.File("m.toml"),
             "name = \"m\"\nsource = \"a test\"\nviscosity_param_1 = 6000\n");
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 --material m.toml -o m.txt").Status, 0);
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 --set viscosity_param_1=6000 -o s.txt").Status,
            0);
  const std::string material = ReadBytes(folder.File("m.txt"));
  EXPECT_EQ(material, ReadBytes(folder.File("s.txt")));
  EXPECT_NE(material.find("4. Viscosity eq. param. - 1        =  6.0000E+03\r\n"),
            std::string::npos)
      << material.substr(0, 2000);
}

// The text with every run of digits made one 0 and every run of blanks one blank: the lines of
// two tables of one layout are then equal but for the signs of exponents.
std::string Layout(const std::string& text) {
  std::string layout;
  for (char c : text) {
    if (c >= '0' && c <= '9') c = '0';
    if ((c == '0' || c == ' ') && !layout.empty() && layout.back() == c) continue;
    layout += c;
  }
  return layout;
}

TEST(BatchRunner, ConvergedRunWritesTheClassicLayoutAndSaysSo) {
  TemporaryFolder folder;
  const BatchRun run = RunBatch(folder, "--initial-tension 3.0 --method converged");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind("Calculation is successfully finished !\nmethod converged, passes ", 0),
            0u)
      << run.Out;
  EXPECT_NE(run.Out.find(" dyn (estimated error "), std::string::npos) << run.Out;

  const std::string classic = ReadBytes(std::string(KORVANE_GOLDEN_DIR) + "/default_result.txt");
  const std::string converged = ReadBytes(folder.File("result.txt"));
  const size_t trailer =
      converged.find("\r\n\r\nWritten by the converged method: tolerance 1.0E-04, ");
  ASSERT_NE(trailer, std::string::npos) << converged;
  EXPECT_NE(converged.find("radial nodes (surface-clustered), ", trailer), std::string::npos);
  EXPECT_NE(converged.find(" relative).\r\n", trailer), std::string::npos);
  EXPECT_EQ(converged.find("tolerance is not met"), std::string::npos) << "tolerance met";
  // The same input echo, and tables that compare line by line: the same lines, columns and
  // number formats, only the values differ.
  const std::string tables = converged.substr(0, trailer + 2);
  const size_t results = classic.find("CALCULATION RESULTS");
  EXPECT_EQ(tables.substr(0, results), classic.substr(0, results));
  EXPECT_EQ(Layout(tables), Layout(classic));
  EXPECT_NE(tables, classic);
  EXPECT_EQ(run.Out.find("tolerance not met"), std::string::npos) << run.Out;

  // Two radial intervals are far from the radially converged answer: the run succeeds with
  // its honest error, and says where scripts look that the tolerance is not met.
  const BatchRun coarse = RunBatch(folder, "--method converged --radial-intervals 2");
  ASSERT_EQ(coarse.Status, 0) << coarse.Err;
  EXPECT_NE(coarse.Out.find(" dyn, tolerance not met)"), std::string::npos) << coarse.Out;
  EXPECT_NE(coarse.Err.find("The tolerance is not met: the estimated relative error"),
            std::string::npos)
      << coarse.Err;
  EXPECT_NE(ReadBytes(folder.File("result.txt"))
                .find(" relative).\r\nThe tolerance is not met: the estimated relative error "),
            std::string::npos);
}

TEST(BatchRunner, RefusesOptionsThatCannotRun) {
  TemporaryFolder folder;
  const struct {
    const char* Arguments;
    const char* Message;
  } rows[] = {
      {"--method newton", "--method"},
      {"--tolerance 1e-3", "--tolerance: applies to the converged method only"},
      {"--radial-intervals 10", "--radial-intervals: applies to the converged method only"},
      {"--take-up-tension 3", "--take-up-tension: applies to the converged method only"},
      {"--method converged --tolerance 0.1", "--tolerance: the relative accuracy must lie"},
      {"--method converged --tolerance 1e-9", "--tolerance: the relative accuracy must lie"},
      {"--method converged --tolerance nan", "--tolerance"},
      {"--method converged --radial-intervals 1", "--radial-intervals: the number of radial"},
      {"--method converged --radial-intervals 513", "--radial-intervals: the number of radial"},
      {"--method converged --radial-intervals 0", "--radial-intervals: the number of radial"},
      {"--method converged --take-up-tension 0", "--take-up-tension: the tension at take-up"},
      {"--method converged --take-up-tension -2", "--take-up-tension: the tension at take-up"},
      {"--method converged --take-up-tension inf", "--take-up-tension"},
      {"--sensitivity 30", "--sensitivity: applies to the converged method only"},
      {"--method converged --sensitivity 29", "--sensitivity: filament_count (item 29) is a whole"},
      {"--method converged --sensitivity 30,speed", "--sensitivity: \"speed\" is no input item"},
      {"--method converged --sensitivity 30,take_up_speed", "take_up_speed is named twice"},
      {"--method converged --sensitivity 30 --sweep 8=-2190,-2000", "--sensitivity: not with"},
      {"--sweep 30=800 --sweep 30=900", "--sweep: item 30 is swept twice"},
      // A data file after a --sweep is the data file, not a second sweep text.
      {"--sweep 30=800 missing.txt", "Data file can not open!"},
      {"--sweep 29=1:1000:1000 --sweep 30=1:11:11", "--sweep: the sweeps give more than 10000"},
      {"--set 26=0", "--set: dope_output: \"Dope output (g/s)\" must be greater than 0."},
      {"--set take_up_sped=900",
       "--set: \"take_up_sped\" is no input item (did you mean take_up_speed?)"},
      {"--set speed=900", "--set: \"speed\" is no input item (a number from 1 to 51 or a name"},
      {"--set 29=4.5", "--set: filament_count: Input value is not correct! (\"4.5\")"},
      {"--set 30=900 --set take_up_speed=800", "--set: take_up_speed is set twice"},
      {"--set 30=900 --sweep 30=800,833", "--set: item 30 is also swept"},
      {"--material none.toml", "The material file none.toml could not be opened"},
  };
  for (const auto& row : rows) {
    const BatchRun run = RunBatch(folder, std::string("--initial-tension 3.0 ") + row.Arguments);
    EXPECT_EQ(run.Status, 2) << row.Arguments << "\n" << run.Err;
    EXPECT_NE(run.Err.find(row.Message), std::string::npos) << row.Arguments << "\n" << run.Err;
    EXPECT_TRUE(FileNames(folder).empty()) << row.Arguments;
  }
}

TEST(BatchRunner, ExitStatusesTellHowTheRunEnded) {
  TemporaryFolder folder;
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 -o default.txt").Status, 0);
  const std::string defaultFile = ReadBytes(folder.File("default.txt"));

  // A value that does not convert: refused, nothing written.
  BatchRun run = RunBatch(folder, "--initial-tension abc -o refused.txt");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "Input value is not correct!\n");

  // A data file that is not one, and one that is missing.
  WriteBytes(folder.File("short.txt"), "a = 1\r\n");
  run = RunBatch(folder, "short.txt");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "\"short.txt\" is not a correct data file!\n");
  run = RunBatch(folder, "missing.txt");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "Data file can not open!\n");
  run = RunBatch(folder, "/dev/zero");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "\"/dev/zero\" is not a regular file!\n");

  // A data file whose column diameter is zero: refused by its label, nothing written.
  WriteBytes(folder.File("zero.txt"), DataFileFrom(defaultFile, 35, "0.0"));
  run = RunBatch(folder, "zero.txt --initial-tension 3.0 -o zero-result.txt");
  EXPECT_EQ(run.Status, 2) << run.Err;
  EXPECT_EQ(run.Err, "\"Column inner diameter (cm)\" must be greater than 0.\n");
  EXPECT_FALSE(std::filesystem::exists(folder.File("zero-result.txt")));
  run = RunBatch(folder, "--initial-tension 0 -o zero-tension.txt");
  EXPECT_EQ(run.Status, 2) << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("zero-tension.txt")));

  // A data file whose gas flow is so large that the molar flow overflows.
  WriteBytes(folder.File("still.txt"), DataFileFrom(defaultFile, 20, "1e308"));
  run = RunBatch(folder, "still.txt --initial-tension 3.0 -o still-result.txt");
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_EQ(run.Err.rfind("The calculation failed: a floating-point overflow", 0), 0u) << run.Err;

  // A gas specific heat so large that the accepted surface iteration leaves more solvent in
  // the filament than it can hold: a failed calculation, not an end solvent fraction above 1.
  WriteBytes(folder.File("hot.txt"), DataFileFrom(defaultFile, 18, "100"));
  run = RunBatch(folder, "hot.txt --initial-tension 3.0 -o hot-result.txt");
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_EQ(run.Err,
            "Sorry, this case does not converge: the solvent fraction leaves 0 to 1 at z = 700 "
            "cm.\n");

  // A result file in a folder that does not exist.
  run = RunBatch(folder, "--initial-tension 3.0 -o no/such/folder.txt");
  EXPECT_EQ(run.Status, 4);
  EXPECT_EQ(run.Err, "Result file can not open!\n");

  // A data file with the default values gives the default result.
  WriteBytes(folder.File("same.txt"), DataFileFrom(defaultFile, 0, ""));
  run = RunBatch(folder, "same.txt --initial-tension 3.0 -o same-result.txt");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ReadBytes(folder.File("same-result.txt")), defaultFile);
}

TEST(BatchRunner, WritesTheProfileAsCsvOnRequest) {
  TemporaryFolder folder;
  BatchRun run = RunBatch(folder, "--initial-tension 3.0 --csv profile.csv");
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string csv = ReadBytes(folder.File("profile.csv"));
  EXPECT_EQ(csv.rfind("Z (cm),average solvent fraction (-),", 0), 0u);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 115);
  EXPECT_NE(csv.find("\n700,"), std::string::npos) << "the last point lies at 700 cm";

  run = RunBatch(folder, "--initial-tension 3.0 --csv no/such/profile.csv");
  EXPECT_EQ(run.Status, 4);
  EXPECT_NE(run.Err.find("CSV file can not be opened for writing!"), std::string::npos) << run.Err;

  // With the derivatives of a converged run: printed for the spinneret tension, and a column
  // per profile column and item, whose tension at the spinneret is the printed one.
  run = RunBatch(folder,
                 "--initial-tension 3.0 --method converged --tolerance 1e-3 --radial-intervals 10 "
                 "--csv derivatives.csv --sensitivity take_up_speed,8");
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string printed = "  d(spinneret tension)/d(take_up_speed) = ";
  const size_t at = run.Out.find(printed);
  ASSERT_NE(at, std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find(" dyn per cm/s\n", at), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("  d(spinneret tension)/d(diffusion_param_2) = "), std::string::npos);
  const double slope = std::stod(run.Out.substr(at + printed.size()));
  const std::string table = ReadBytes(folder.File("derivatives.csv"));
  const std::string header = table.substr(0, table.find('\n'));
  EXPECT_EQ(std::count(header.begin(), header.end(), ','), 26 + 2 * 23 - 1) << header;
  const std::string column = "d(tension)/d(take_up_speed) (dyn per cm/s)";
  ASSERT_NE(header.find("," + column + ","), std::string::npos) << header;
  EXPECT_NE(header.find(",d(gas temperature)/d(diffusion_param_2) (degC per unit of "
                        "diffusion_param_2),"),
            std::string::npos)
      << header;
  const auto cells = [](const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
      if (c == ',') {
        out.emplace_back();
      } else {
        out.back().push_back(c);
      }
    }
    return out;
  };
  const std::vector<std::string> names = cells(header);
  const size_t index = std::find(names.begin(), names.end(), column) - names.begin();
  const size_t second = table.find('\n') + 1;
  const std::vector<std::string> first =
      cells(table.substr(second, table.find('\n', second) - second));
  ASSERT_EQ(first.size(), names.size());
  EXPECT_NEAR(std::stod(first[index]), slope, 1e-6 * std::fabs(slope));
}

TEST(BatchRunner, SweepWritesOneFilePerValueAndASummary) {
  TemporaryFolder folder;
  const BatchRun run =
      RunBatch(folder, "--initial-tension 3.0 --sweep 30=800,833.0 -j 2 -o r.txt --csv p.csv");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_FALSE(ReadBytes(folder.File("r_800.txt")).empty());
  EXPECT_FALSE(ReadBytes(folder.File("r_833.0.txt")).empty());
  // One CSV per case, named as its result file is.
  for (const char* name : {"p_800.csv", "p_833.0.csv"}) {
    const std::string csv = ReadBytes(folder.File(name));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 115) << name;
  }
  const std::string summary = ReadBytes(folder.File("sweep.csv"));
  EXPECT_NE(summary.find("\"800\",success,"), std::string::npos) << summary;
  EXPECT_NE(run.Err.find("[30=800] NUMBER OF CALCULATION LOOP = "), std::string::npos) << run.Err;

  // Two sweeps: every combination, the first sweep's values varying slowest, each case run with
  // the method's options.
  const BatchRun product =
      RunBatch(folder,
               "--initial-tension 3.0 --method converged --tolerance 1e-3 --radial-intervals 10 "
               "--sweep 30=800,833 --sweep 27=70,80 -o p.txt --summary p.csv");
  ASSERT_EQ(product.Status, 0) << product.Err;
  EXPECT_EQ(product.Out,
            "Sweep of items 30, 27: 4 of 4 cases finished successfully; summary in p.csv\n");
  for (const char* name : {"p_800_70.txt", "p_800_80.txt", "p_833_70.txt", "p_833_80.txt"}) {
    // Ten equal radial intervals are some per cent out, and the file says so.
    EXPECT_NE(ReadBytes(folder.File(name))
                  .find("\r\nThe tolerance is not met: the estimated relative error "),
              std::string::npos)
        << name;
    EXPECT_NE(
        ReadBytes(folder.File(name)).find("tolerance 1.0E-03, 11 radial nodes (equally spaced)"),
        std::string::npos)
        << name;
  }
  const std::string productSummary = ReadBytes(folder.File("p.csv"));
  EXPECT_EQ(productSummary.rfind("\"30. Take-up speed (cm/s)\",\"27. ", 0), 0u) << productSummary;
  EXPECT_NE(productSummary.find("\n\"800\",\"80\",success,"), std::string::npos) << productSummary;
  EXPECT_NE(productSummary.find("\n\"833\",\"70\",success,"), std::string::npos) << productSummary;
  EXPECT_NE(product.Err.find("[30=833, 27=80] NUMBER OF CALCULATION LOOP = "), std::string::npos)
      << product.Err;
}

TEST(BatchRunner, ATerminatedSweepLeavesNoTemporaryFiles) {
  // A termination request, Ctrl-C, a closed terminal and a quit request (without its core dump).
  rlimit savedCore{};
  ASSERT_EQ(::getrlimit(RLIMIT_CORE, &savedCore), 0);
  rlimit noCore = savedCore;
  noCore.rlim_cur = 0;
  ASSERT_EQ(::setrlimit(RLIMIT_CORE, &noCore), 0);
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    TemporaryFolder folder;
    const std::string output = folder / "r.txt";
    const std::string summary = folder / "s.csv";
    std::vector<std::string> arguments = {
        // From a poor initial tension every case takes some hundred passes, so the sweep is
        // still running when it is terminated, however fast the machine.
        KORVANE_BATCH, "--initial-tension", "0.5",  "--sweep", "30=700:900:400", "-j", "2", "-o",
        output,        "--summary",         summary};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, KORVANE_BATCH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Once the first case has its file, the next ones are being written.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(folder / "r_700.txt") &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the sweep ended before signal " << signal;
    EXPECT_EQ(WTERMSIG(status), signal);
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path() << ", signal " << signal;
  }
  ::setrlimit(RLIMIT_CORE, &savedCore);
}

TEST(BatchRunner, RefusesAnOutputThatIsAnInputOrAnotherOutputBeforeWritingAnything) {
  TemporaryFolder folder;
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 -o default.txt").Status, 0);
  const std::string data = DataFileFrom(ReadBytes(folder.File("default.txt")), 0, "");
  WriteBytes(folder.File("case.txt"), data);
  WriteBytes(folder.File("r_800.txt"), data);
  const std::string material = "name = \"m\"\nsource = \"a test\"\n";
  WriteBytes(folder.File("m.toml"), material);
  WriteBytes(folder.File("c.toml"), "material = \"m.toml\"\n");
  std::filesystem::create_directory(folder.File("sub"));
  const std::set<std::string> before = FileNames(folder);

  const struct {
    const char* Arguments;
    const char* Message;
  } rows[] = {
      {"case.txt -o case.txt", "-o \"case.txt\" is the data file \"case.txt\""},
      {"case.txt -o out.txt --csv case.txt", "--csv \"case.txt\" is the data file"},
      {"case.txt -o sub/../case.txt", "-o \"sub/../case.txt\" is the data file"},
      {"--material m.toml --csv m.toml", "--csv \"m.toml\" is the material file \"m.toml\""},
      {"c.toml -o c.toml", "-o \"c.toml\" is the case file \"c.toml\""},
      {"c.toml -o m.toml", "-o \"m.toml\" is the case's material file \"m.toml\""},
      {"case.txt --sweep 30=800 -o s.txt --summary ./case.txt", "--summary \"./case.txt\" is"},
      {"r_800.txt --sweep 30=800,833 -o r.txt",
       "The result file of 30=800 \"r_800.txt\" is the data file \"r_800.txt\""},
      {"-o out.txt --csv out.txt", "--csv \"out.txt\" and -o \"out.txt\" are the same file."},
      {"-o new/../out.txt --csv out.txt", "are the same file."},
      {"--sweep 30=800,833,800 -o s.txt",
       "The result file of 30=800 \"s_800.txt\" and the result file of 30=800"},
      {"--sweep 30=800 -o s.txt --summary s_800.txt", "--summary \"s_800.txt\" and the result"},
      {"--sweep 30=800,833 --sweep 27=70 -o s.txt --summary s_833_70.txt",
       "--summary \"s_833_70.txt\" and the result file of 30=833, 27=70"},
      // Ten thousand outputs are checked at once, not pair by pair.
      {"--sweep 29=1:9999:9999 -o s.txt --summary s_9999.txt",
       "--summary \"s_9999.txt\" and the result file of 29=9999"},
  };
  for (const auto& row : rows) {
    const BatchRun run = RunBatch(folder, std::string("--initial-tension 3.0 ") + row.Arguments);
    EXPECT_EQ(run.Status, 2) << row.Arguments << "\n" << run.Err;
    EXPECT_NE(run.Err.find(row.Message), std::string::npos) << row.Arguments << "\n" << run.Err;
    EXPECT_NE(run.Err.find("Nothing was written."), std::string::npos) << run.Err;
    EXPECT_EQ(FileNames(folder), before) << row.Arguments;
    EXPECT_EQ(ReadBytes(folder.File("case.txt")), data) << row.Arguments;
    EXPECT_EQ(ReadBytes(folder.File("r_800.txt")), data) << row.Arguments;
    EXPECT_EQ(ReadBytes(folder.File("m.toml")), material) << row.Arguments;
  }
}

TEST(BatchRunner, SweepExitStatusIsThatOfItsFirstCaseThatDidNotSucceed) {
  TemporaryFolder folder;
  // At a take-up speed of 5 cm/s the case does not converge, at 160 cm/s the tension falls to
  // zero; 800 succeeds. The sweep ends as the first of them in sweep order, not as the last
  // to finish.
  BatchRun run = RunBatch(folder, "--initial-tension 3.0 --sweep 30=800,5,160 -j 3 -o r.txt");
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_NE(run.Out.find("1 of 3 cases finished successfully"), std::string::npos) << run.Out;
  EXPECT_NE(ReadBytes(folder.File("sweep.csv")).find("\"5\",calculation failed,"),
            std::string::npos);
  run = RunBatch(folder, "--initial-tension 3.0 --sweep 30=800,160,5 -j 3 -o r.txt");
  EXPECT_EQ(run.Status, 3) << run.Err;
  // An increment of 20 cm makes the line longer than the column: refused.
  run = RunBatch(folder, "--initial-tension 3.0 --sweep 41=20,2.0 -o i.txt --summary i.csv");
  EXPECT_EQ(run.Status, 2) << run.Err;

  // A summary that cannot be written is found before any case runs.
  run = RunBatch(folder, "--initial-tension 3.0 --sweep 30=800 -o u.txt --summary no/such.csv");
  EXPECT_EQ(run.Status, 4);
  EXPECT_NE(run.Err.find("The sweep summary no/such.csv could not be written"), std::string::npos)
      << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("u_800.txt")));
  // So is a folder that the result files or the CSV files cannot be written into.
  for (const char* arguments : {"-o no/such/u.txt", "-o u.txt --csv no/such/p.csv"}) {
    run = RunBatch(
        folder, std::string("--initial-tension 3.0 --sweep 30=800 --summary v.csv ") + arguments);
    EXPECT_EQ(run.Status, 4) << arguments;
    EXPECT_NE(run.Err.find("of the sweep could not be written: the folder \"no/such\" does not "
                           "exist. Nothing was run."),
              std::string::npos)
        << run.Err;
    EXPECT_FALSE(std::filesystem::exists(folder.File("v.csv"))) << arguments;
  }
}

TEST(BatchRunner, FailedRunLeavesNoCsvOfAnEarlierRun) {
  TemporaryFolder folder;
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 -o r.txt --csv p.csv").Status, 0);
  ASSERT_TRUE(std::filesystem::exists(folder.File("p.csv")));
  WriteBytes(folder.File("slow.txt"), DataFileFrom(ReadBytes(folder.File("r.txt")), 30, "5"));
  const BatchRun run = RunBatch(folder, "slow.txt --initial-tension 3.0 -o r.txt --csv p.csv");
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("p.csv")));
}

TEST(BatchRunner, FailedWriteToStandardOutputIsNotSuccess) {
  // Nor does it hide a case whose tension fell to zero (160 cm/s).
  TemporaryFolder folder;
  const struct {
    const char* Arguments;
    int Status;
  } rows[] = {{"-o r.txt", 4}, {"--sweep 30=800 -o s.txt", 4}, {"--sweep 30=800,160 -o t.txt", 3}};
  for (const auto& row : rows) {
    const std::string command = "cd '" + folder.path().string() + "' && '" + KORVANE_BATCH +
                                "' --initial-tension 3.0 " + row.Arguments +
                                " >/dev/full 2>/dev/null";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << row.Arguments;
    EXPECT_EQ(WEXITSTATUS(raw), row.Status) << row.Arguments;
  }
}

// A file system of 64 KiB in the folder, for one test; only the superuser may mount one.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& path) : path_(path) {
    std::filesystem::create_directory(path);
    if (::geteuid() != 0) {
      why_ = "filling a small file system of its own takes the superuser, who may mount one";
      return;
    }
    if (::mount("korvane-test", path.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
      why_ = std::string("no small file system could be mounted: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  // Empty when mounted; otherwise why not.
  const std::string& WhyNot() const { return why_; }

 private:
  std::string path_;
  std::string why_;
  bool mounted_ = false;
};

TEST(BatchRunner, AFullDiskKeepsTheEarlierResultFiles) {
  TemporaryFolder folder;
  const SmallDisk disk(folder / "disk");
  if (!disk.WhyNot().empty()) GTEST_SKIP() << disk.WhyNot();
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 -o disk/r.txt").Status, 0);
  ASSERT_EQ(RunBatch(folder, "--initial-tension 3.0 --sweep 30=800,900 -o disk/s.txt").Status, 0);
  const std::string earlier = ReadBytes(folder.File("disk/r.txt"));
  const std::string earlier800 = ReadBytes(folder.File("disk/s_800.txt"));
  const std::string earlier900 = ReadBytes(folder.File("disk/s_900.txt"));
  // Four times the points of the first two sections: each file would take some 45 KB more than
  // the disk has left.
  std::string data = DataFileFrom(earlier, 41, "0.5");
  for (const auto& [item, value] : {std::pair{46, "120"}, {42, "1.25"}, {47, "160"}})
    data = DataFileFrom(data, item, value);
  WriteBytes(folder.File("fine.txt"), data);

  BatchRun run = RunBatch(folder, "fine.txt --initial-tension 3.0 -o disk/r.txt");
  EXPECT_EQ(run.Status, 4) << run.Err;
  EXPECT_NE(run.Err.find("Result file could not be written: No space left on device\n"
                         "\"disk/r.txt\" keeps its earlier contents."),
            std::string::npos)
      << run.Err;
  EXPECT_EQ(ReadBytes(folder.File("disk/r.txt")), earlier);

  run = RunBatch(folder, "fine.txt --initial-tension 3.0 --sweep 30=800,900 -j 1 -o disk/s.txt");
  EXPECT_EQ(run.Status, 4) << run.Err;
  EXPECT_EQ(ReadBytes(folder.File("disk/s_800.txt")), earlier800);
  EXPECT_EQ(ReadBytes(folder.File("disk/s_900.txt")), earlier900);
  // The summary keeps what the cases computed.
  const std::string summary = ReadBytes(folder.File("sweep.csv"));
  EXPECT_NE(summary.find("\n\"800\",result file failed,11,3.4"), std::string::npos) << summary;
  EXPECT_EQ(summary.find(",,"), std::string::npos) << summary;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "disk"))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

}  // namespace
}  // namespace korvane
