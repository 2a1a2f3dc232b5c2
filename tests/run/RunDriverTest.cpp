// One run from the field texts to the result file: the sequence, what the user is told, and
// the refusals that keep a run from reporting numbers nobody entered.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "RecordingEnvironment.h"
#include "run/RunDriver.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::RecordingEnvironment;
using testing::TemporaryFolder;

constexpr const char* kResultsBanner = "CALCULATION RESULTS";
constexpr const char* kLastEchoLine = "51. h/kx                     =  7.50\r\n\r\n";

class RunDriverTest : public ::testing::Test {
 protected:
  FieldTexts Texts() {
    FieldTexts texts = DefaultFieldTexts();
    texts.ResultFileName = folder.File("result.txt");
    return texts;
  }
  bool ResultFileExists() { return std::filesystem::exists(folder.File("result.txt")); }
  static bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  }

  TemporaryFolder folder;
  RunContext context;
  RecordingEnvironment environment;
};

TEST_F(RunDriverTest, DefaultRunWritesTheFileAndShowsTheFinishDialog) {
  const RunReport report = RunDriver(context, Texts(), environment);
  EXPECT_EQ(report.Outcome, RunOutcome::Success);
  ASSERT_EQ(environment.Messages.size(), 1u);
  EXPECT_EQ(environment.Messages[0].rfind("NUMBER OF CALCULATION LOOP = ", 0), 0u);
  EXPECT_EQ(environment.Events, (std::vector<std::string>{"started", "calculating", "finished"}));
  EXPECT_EQ(environment.Finished, RunOutcome::Success);
  EXPECT_EQ(report.PrintedPointCount, 115);
  ASSERT_TRUE(environment.Summary);
  EXPECT_EQ(context.Params.TotalSpinningLength, 700.0);
  const std::string file = ReadBytes(folder.File("result.txt"));
  EXPECT_NE(file.find(kResultsBanner), std::string::npos);
  EXPECT_EQ(file.find("nan"), std::string::npos);
}

TEST_F(RunDriverTest, AValueThatDoesNotConvertEndsTheRunBeforeAnythingIsWritten) {
  FieldTexts texts = Texts();
  texts.Items[29] = "fast";  // "Take-up speed (cm/s)"
  const RunReport report = RunDriver(context, texts, environment);
  EXPECT_EQ(report.Outcome, RunOutcome::InputRefused);
  EXPECT_EQ(report.Read.FailedItem, 30);
  EXPECT_EQ(environment.Messages, std::vector<std::string>{"Input value is not correct!"});
  EXPECT_EQ(environment.Events, (std::vector<std::string>{"started", "finished"}));
  EXPECT_FALSE(ResultFileExists());
  EXPECT_EQ(environment.Finished, RunOutcome::InputRefused);
}

TEST_F(RunDriverTest, AnInitialTensionThatIsNotANumberEndsTheRun) {
  FieldTexts texts = Texts();
  texts.InitialTensionText = "";
  const RunReport report = RunDriver(context, texts, environment);
  EXPECT_EQ(report.Outcome, RunOutcome::InputRefused);
  EXPECT_TRUE(report.Read.InitialTensionFailed);
  EXPECT_EQ(environment.Messages, std::vector<std::string>{"Input value is not correct!"});
  EXPECT_FALSE(ResultFileExists());
}

TEST_F(RunDriverTest, AValueNoPhysicalCaseHasIsRefusedByItsLabel) {
  struct Case {
    int item;  // 0: the initial tension
    const char* text;
    const char* message;
  } cases[] = {
      {30, "-833", "\"Take-up speed (cm/s)\" must be greater than 0."},
      {1, "0", "\"Density (g/cm3)\" must be greater than 0."},
      {18, "-0.245", "\"Specific heat (cal/g\u2103)\" must be greater than 0."},
      {35, "-40", "\"Column inner diameter (cm)\" must be greater than 0."},
      {29, "-48", "\"Total number of filaments\" must be at least 1."},
      {29, "0", "\"Total number of filaments\" must be at least 1."},
      {3, "1.0", "\"Initial solvent concentration\" must be greater than 0 and less than 1."},
      {3, "0", "\"Initial solvent concentration\" must be greater than 0 and less than 1."},
      {21, "1", "\"Initial solvent content\" must be at least 0 and less than 1."},
      {21, "-0.1", "\"Initial solvent content\" must be at least 0 and less than 1."},
      {9, "1.01", "\"Critical Weight Frac. \u03c9g =\" must be greater than 0 and at most 1."},
      {9, "0", "\"Critical Weight Frac. \u03c9g =\" must be greater than 0 and at most 1."},
      {27, "-273", "\"Initial temperature (\u2103)\" must be above -273 degC."},
      {34, "-300", "\"Jacket-3  temperature (\u2103)\" must be above -273 degC."},
      {40, "-1",
       "\"Overall heat trans. coeff. of insulation (kcal/m2hr\u2103)\" must be at least 0."},
      {42, "-1", "\"Increment-2 (cm)\" must be greater than 0."},
      {51, "0", "\"h/kx\" must be greater than 0."},
      {0, "0", "\"Assumed initial tension (dyn)\" must be greater than 0."},
      {0, "-3", "\"Assumed initial tension (dyn)\" must be greater than 0."},
  };
  for (const Case& c : cases) {
    RecordingEnvironment env;
    FieldTexts texts = Texts();
    if (c.item == 0)
      texts.InitialTensionText = c.text;
    else
      texts.Items[static_cast<size_t>(c.item - 1)] = c.text;
    const RunReport report = RunDriver(context, texts, env);
    EXPECT_EQ(report.Outcome, RunOutcome::InputRefused) << c.item << " " << c.text;
    EXPECT_EQ(report.Read.FailedItem, c.item) << c.text;
    EXPECT_EQ(report.Read.InitialTensionFailed, c.item == 0) << c.text;
    EXPECT_EQ(env.Messages, std::vector<std::string>{c.message});
    EXPECT_EQ(env.Events, (std::vector<std::string>{"started", "finished"}));
    EXPECT_EQ(env.Passes, 0) << c.item;
    EXPECT_FALSE(ResultFileExists()) << c.item << " " << c.text;
  }
  // An increment of a section without steps is never used.
  FieldTexts texts = Texts();
  texts.Items[43] = "-5";  // "Increment-4 (cm)", whose count is 0
  EXPECT_EQ(RunDriver(context, texts, environment).Outcome, RunOutcome::Success);
}

TEST_F(RunDriverTest, StepCountsMustFitTheProfile) {
  struct Case {
    const char* counts[5];
  } cases[] = {{{"0", "0", "0", "0", "0"}},        // no step at all
               {{"2001", "0", "0", "0", "0"}},     // one point more than the profile holds
               {{"1000", "1000", "1", "0", "0"}},  // the same, spread over sections
               {{"30", "-5", "44", "0", "0"}}};    // a negative count
  for (const Case& c : cases) {
    RecordingEnvironment env;
    FieldTexts texts = Texts();
    for (int i = 0; i < 5; ++i) {
      texts.Items[static_cast<size_t>(45 + i)] = c.counts[i];
      texts.Items[static_cast<size_t>(40 + i)] = "0.1";  // keeps the total length legal
    }
    const RunReport report = RunDriver(context, texts, env);
    EXPECT_EQ(report.Outcome, RunOutcome::InputRefused) << c.counts[0];
    EXPECT_EQ(env.Messages, std::vector<std::string>{kStepCountsOutOfRange});
    EXPECT_EQ(env.Events, (std::vector<std::string>{"started", "finished"}));
    EXPECT_FALSE(ResultFileExists());
  }
}

TEST_F(RunDriverTest, LengthCheckUsesThisRunsStepFields) {
  // A stale total from an earlier summary must not let a too-long line through.
  context.Params.TotalSpinningLength = 100.0;
  FieldTexts texts = Texts();
  texts.Items[47] = "74";  // "Number of increments-3": 60 + 200 + 740 = 1000 cm, equal to the limit
  const RunReport report = RunDriver(context, texts, environment);
  EXPECT_EQ(report.Outcome, RunOutcome::InputRefused);
  EXPECT_EQ(environment.Messages, std::vector<std::string>{kTotalLengthTooLong});
  EXPECT_EQ(context.Params.TotalSpinningLength, 1000.0);
  ASSERT_TRUE(environment.Summary);
  EXPECT_EQ(environment.Summary->Total, 1000.0);
  EXPECT_FALSE(ResultFileExists());
}

TEST_F(RunDriverTest, AResultFileThatCannotBeCreatedEndsTheRun) {
  FieldTexts texts = Texts();
  texts.ResultFileName = folder.File("missing-folder/result.txt");
  const RunReport report = RunDriver(context, texts, environment);
  EXPECT_EQ(report.Outcome, RunOutcome::ResultFileFailed);
  EXPECT_EQ(environment.Messages, std::vector<std::string>{"Result file can not open!"});
  EXPECT_EQ(environment.Events, (std::vector<std::string>{"started", "finished"}));
  EXPECT_EQ(environment.Finished, RunOutcome::ResultFileFailed);
  EXPECT_EQ(environment.Passes, 0) << "nothing may be simulated";
}

TEST_F(RunDriverTest, EachKindOfFloatingPointFaultEndsTheRunWithItsKindAndPlace) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, const char*>> items;  // item number, text
    bool jacket1;
    const char* message;
  } cases[] = {
      // A gas that conducts no heat: the heat-transfer correlations divide by its conductivity.
      {"division by zero",
       {{22, "0.0"}, {23, "0.0"}},
       false,
       "The calculation failed: a division by zero at Z = 0.0 cm"},
      // A gas flow so large that the molar flow overflows.
      {"overflow",
       {{20, "1e308"}},
       false,
       "The calculation failed: a floating-point overflow at Z = 0.0 cm"},
  };
  for (const Case& c : cases) {
    RecordingEnvironment env;
    FieldTexts texts = Texts();
    for (const auto& [item, text] : c.items) texts.Items[static_cast<size_t>(item - 1)] = text;
    texts.Jacketed[0] = c.jacket1;
    const RunReport report = RunDriver(context, texts, env);
    EXPECT_EQ(report.Outcome, RunOutcome::CalculationFailed) << c.what;
    ASSERT_EQ(env.Messages.size(), 1u) << c.what;
    EXPECT_EQ(env.Messages[0], std::string(c.message) + " from the spinneret.") << c.what;
    EXPECT_EQ(env.Events, (std::vector<std::string>{"started", "calculating", "finished"}))
        << c.what;
    EXPECT_EQ(env.Finished, RunOutcome::CalculationFailed) << c.what;
    const std::string file = ReadBytes(folder.File("result.txt"));
    EXPECT_TRUE(EndsWith(file, kLastEchoLine)) << c.what;
    EXPECT_EQ(file.find(kResultsBanner), std::string::npos) << c.what;
  }
}

// A law that has no value is refused before the run when it has none at the spinneret, and
// otherwise ends the run naming the law, its arguments and z, in either method; the file then
// holds the echo only. A law that has values everywhere is written after the tables.
TEST_F(RunDriverTest, PropertyLawsAreCheckedBeforeAndDuringTheRunAndListedInTheFile) {
  struct Case {
    const char* what;
    const char* law;
    const char* formula;
    SolverMethod method;
    RunOutcome outcome;
    std::vector<std::string> messages;  // how each message begins
  } cases[] = {
      {"unknown variable",
       "vapor_pressure",
       "ps / 2",
       SolverMethod::Classic,
       RunOutcome::InputRefused,
       {"Property law vapor_pressure: \"ps\" is no variable of this law; it takes t and the "
        "items by name"}},
      {"negative at the spinneret",
       "zero_shear_viscosity",
       "1000 * w - 800",
       SolverMethod::Classic,
       RunOutcome::InputRefused,
       {"The law zero_shear_viscosity gives -70 at t = 80, w = 0.73, not a finite number above "
        "0: at the spinneret, before the run."}},
      {"zero on the line, classic",
       "vapor_pressure",
       "0.5 - t / 200",
       SolverMethod::Classic,
       RunOutcome::CalculationFailed,
       {"Sorry, this case does not converge: the law vapor_pressure gives -0.000519405 at t = "
        "100.104, not a finite number above 0 (z = 28 cm)."}},
      {"zero on the line, converged",
       "vapor_pressure",
       "0.5 - t / 200",
       SolverMethod::Converged,
       RunOutcome::CalculationFailed,
       {"Sorry, this case does not converge: ",
        "One of the states the converged method tried had no value of a property law: the law "
        "vapor_pressure gives "}},
      {"values everywhere",
       "gas_conductivity",
       "1.2 * (gas_conductivity_param_1 * tf + "
       "gas_conductivity_param_2)",
       SolverMethod::Classic,
       RunOutcome::Success,
       {}},
  };
  for (const Case& c : cases) {
    RecordingEnvironment env;
    FieldTexts texts = Texts();
    texts.Laws = {{c.law, c.formula}};
    RunOptions options;
    options.Method = c.method;
    options.Converged.RadialIntervals = 10;
    const RunReport report = RunDriver(context, texts, env, options);
    EXPECT_EQ(report.Outcome, c.outcome) << c.what;
    EXPECT_EQ(context.Params.Laws, nullptr) << c.what;
    const std::string file = ResultFileExists() ? ReadBytes(folder.File("result.txt")) : "";
    if (c.outcome == RunOutcome::Success) {
      EXPECT_TRUE(EndsWith(file, std::string("\r\n\r\nProperty laws given as formulas:\r\n  ") +
                                     c.law + " = " + c.formula + "\r\n"))
          << c.what;
      continue;
    }
    ASSERT_EQ(env.Messages.size(), c.messages.size()) << c.what;
    for (size_t m = 0; m < c.messages.size(); ++m)
      EXPECT_EQ(env.Messages[m].substr(0, c.messages[m].size()), c.messages[m]) << c.what;
    if (c.outcome == RunOutcome::CalculationFailed) {
      EXPECT_TRUE(EndsWith(file, kLastEchoLine)) << c.what;
    }
    std::filesystem::remove(folder.File("result.txt"));
  }
}

// Every run compiles its own laws, so runs on several threads at once (a sweep, a Python study)
// give the lines they give one at a time.
TEST_F(RunDriverTest, RunsWithLawsOnSeveralThreadsGiveTheirSerialLines) {
  constexpr int kThreads = 4;
  const auto textsFor = [this](int k) {
    FieldTexts texts = Texts();
    texts.ResultFileName = folder.File("result" + std::to_string(k) + ".txt");
    texts.Laws = {{"vapor_pressure", "(1 + " + std::to_string(k) +
                                         " / 20) * 10^(vapor_pressure_param_1 - "
                                         "vapor_pressure_param_2 / (t + vapor_pressure_param_3))"},
                  {"zero_shear_viscosity", "viscosity_param_1 * (1 - w)^(9 - " + std::to_string(k) +
                                               " / 10) * exp(viscosity_param_3 / (t + 273))"}};
    return texts;
  };
  std::vector<double> serial;
  for (int k = 0; k < kThreads; ++k) {
    RunContext one;
    RecordingEnvironment env;
    ASSERT_EQ(RunDriver(one, textsFor(k), env).Outcome, RunOutcome::Success) << k;
    serial.push_back(one.State.Iteration.TensionGuess);
  }
  EXPECT_NE(serial[0], serial[1]);
  std::vector<double> parallel(kThreads);
  std::vector<std::thread> threads;
  for (int k = 0; k < kThreads; ++k) {
    threads.emplace_back([&, k] {
      for (int repeat = 0; repeat < 2; ++repeat) {
        RunContext one;
        RecordingEnvironment env;
        RunDriver(one, textsFor(k), env);
        parallel[static_cast<size_t>(k)] = one.State.Iteration.TensionGuess;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(parallel, serial);
}

TEST_F(RunDriverTest, CancellingEndsTheRunAndKeepsTheEarlierResultFile) {
  testing::WriteBytes(folder.File("result.txt"), "an earlier run's results\r\n");
  environment.CancelAfterPasses = 2;
  const RunReport report = RunDriver(context, Texts(), environment);
  EXPECT_EQ(report.Outcome, RunOutcome::CalculationFailed);
  EXPECT_TRUE(report.Cancelled);
  EXPECT_EQ(environment.Messages, std::vector<std::string>{kCalculationCancelled});
  EXPECT_EQ(ReadBytes(folder.File("result.txt")), "an earlier run's results\r\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(RunDriverTest, EachRunInOneContextGivesWhatAFreshContextGives) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, const char*>> items;  // item number, text
    RunOutcome outcome;
    int points;  // that the results hold
  } cases[] = {
      {"default", {}, RunOutcome::Success, 115},
      // Fewer points than the run before: none of that run's may remain.
      {"shorter grid", {{46, "10"}, {47, "10"}, {48, "10"}}, RunOutcome::Success, 31},
      {"default again", {}, RunOutcome::Success, 115},
      // A line that ends where the tension falls to zero.
      {"tension below zero", {{30, "200"}}, RunOutcome::TensionBelowZero, 0},
      {"longer steps", {{41, "4.0"}}, RunOutcome::Success, 115},
  };
  for (const Case& c : cases) {
    FieldTexts texts = Texts();
    for (const auto& [item, text] : c.items) texts.Items[static_cast<size_t>(item - 1)] = text;
    RecordingEnvironment shared;
    const RunReport report = RunDriver(context, texts, shared);
    ASSERT_EQ(report.Outcome, c.outcome) << c.what;
    if (c.points > 0) {
      EXPECT_EQ(report.PrintedPointCount, c.points) << c.what;
    }
    const std::string file = ReadBytes(folder.File("result.txt"));

    RunContext fresh;
    RecordingEnvironment alone;
    ASSERT_EQ(RunDriver(fresh, texts, alone).PrintedPointCount, report.PrintedPointCount);
    EXPECT_EQ(file, ReadBytes(folder.File("result.txt"))) << c.what;
    const SpinningLineProfile& a = *context.Profile;
    const SpinningLineProfile& b = *fresh.Profile;
    for (int i = 0; i < kProfileCapacity; ++i) {
      ASSERT_EQ(a.ProfileYarnVelocity[i], b.ProfileYarnVelocity[i]) << c.what << " point " << i;
      ASSERT_EQ(a.ProfileTension[i], b.ProfileTension[i]) << c.what << " point " << i;
      ASSERT_EQ(a.ProfileGasTemp[i], b.ProfileGasTemp[i]) << c.what << " point " << i;
      ASSERT_EQ(a.ProfileElongViscosity[i], b.ProfileElongViscosity[i]) << c.what << " " << i;
    }
  }
}

TEST_F(RunDriverTest, ASecondRunStartsFromTheSameContext) {
  ASSERT_EQ(RunDriver(context, Texts(), environment).Outcome, RunOutcome::Success);
  const std::string first = ReadBytes(folder.File("result.txt"));
  RecordingEnvironment second;
  ASSERT_EQ(RunDriver(context, Texts(), second).Outcome, RunOutcome::Success);
  EXPECT_EQ(ReadBytes(folder.File("result.txt")), first) << "the same case gives the same file";
  EXPECT_EQ(second.Messages, environment.Messages);
}

}  // namespace
}  // namespace korvane
