// Parameter sweeps: what a sweep text means, and that parallel cases give the serial results.
#include <gtest/gtest.h>

#include "RecordingEnvironment.h"
#include "cli/Sweep.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::TemporaryFolder;

TEST(ParseSweep, ListsAndRanges) {
  std::string error;
  auto plan = ParseSweep("30=700,833.0,900", error);
  ASSERT_TRUE(plan) << error;
  EXPECT_EQ(plan->Item, 30);
  EXPECT_EQ(plan->ValueTexts, (std::vector<std::string>{"700", "833.0", "900"}));

  plan = ParseSweep("27=70:90:5", error);
  ASSERT_TRUE(plan) << error;
  EXPECT_EQ(plan->ValueTexts, (std::vector<std::string>{"70", "75", "80", "85", "90"}));

  plan = ParseSweep("29=40:48:3", error);  // whole-number item
  ASSERT_TRUE(plan) << error;
  EXPECT_EQ(plan->ValueTexts, (std::vector<std::string>{"40", "44", "48"}));

  plan = ParseSweep("26=0.03,0.04", error);  // a fixed item
  ASSERT_TRUE(plan) << error;
  EXPECT_EQ(plan->ValueTexts, (std::vector<std::string>{"0.03", "0.04"}));

  plan = ParseSweep("3=0.7:0.7:1", error);
  ASSERT_TRUE(plan) << error;
  EXPECT_EQ(plan->ValueTexts, std::vector<std::string>{"0.7"});
}

TEST(ParseSweep, RefusesUnknownAndMalformedSweeps) {
  for (const char* text : {"0=1", "52=1",  // no such item
                           "x=1", "30", "30=", "30=1,,2", "30=a", "30=1:2", "30=1:2:0", "30=1:2:x",
                           "29=40:48:4",  // a whole-number item given 40, 42.67, ...
                           "46=1.5"}) {
    std::string error;
    EXPECT_FALSE(ParseSweep(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(SweepResultFileName, PutsTheValueBeforeTheExtension) {
  EXPECT_EQ(SweepResultFileName("result.txt", "800"), "result_800.txt");
  EXPECT_EQ(SweepResultFileName("out/run.case.txt", "0.5"), "out/run.case_0.5.txt");
  EXPECT_EQ(SweepResultFileName("dir.d/result", "7"), "dir.d/result_7");
  EXPECT_EQ(SweepResultFileName(".hidden", "7"), ".hidden_7");
}

TEST(SweepGrid, ProductInOptionOrderWithTheFirstSweepSlowest) {
  std::string error;
  const std::vector<SweepPlan> plans = {*ParseSweep("30=800,900", error),
                                        *ParseSweep("27=70,80,90", error)};
  ASSERT_FALSE(SweepGridProblem(plans));
  ASSERT_EQ(SweepCaseCount(plans), 6);
  EXPECT_EQ(SweepCaseValues(plans, 0), (std::vector<std::string>{"800", "70"}));
  EXPECT_EQ(SweepCaseValues(plans, 2), (std::vector<std::string>{"800", "90"}));
  EXPECT_EQ(SweepCaseValues(plans, 3), (std::vector<std::string>{"900", "70"}));
  EXPECT_EQ(SweepCaseLabel(plans, SweepCaseValues(plans, 5)), "30=900, 27=90");
  EXPECT_EQ(SweepResultFileName("out.txt", SweepCaseValues(plans, 1)), "out_800_80.txt");

  // One item twice would run each case with the second value only; too many cases together.
  EXPECT_TRUE(SweepGridProblem({plans[0], *ParseSweep("30=1,2", error)}));
  const SweepPlan hundred = *ParseSweep("29=1:100:100", error);
  EXPECT_FALSE(SweepGridProblem({hundred, *ParseSweep("28=1:100:100", error)}));
  EXPECT_TRUE(SweepGridProblem({hundred, *ParseSweep("28=1:101:101", error)}));
}

TEST(RunSweep, ParallelCasesGiveTheSerialResults) {
  std::string error;
  // Take-up speeds around the default, and one that cannot be reached (a failed case must not
  // stop the sweep).
  const auto plan = ParseSweep("30=800,833.0,870,abc", error);
  ASSERT_FALSE(plan) << "letters are refused before anything runs";
  const auto good = ParseSweep("30=800,833.0,870", error);
  ASSERT_TRUE(good) << error;
  const std::vector<SweepPlan> plans = {*good};

  RunOptions converged;
  converged.Method = SolverMethod::Converged;
  converged.Converged.Tolerance = 1e-3;
  converged.Converged.RadialIntervals = 10;
  for (const RunOptions& options : {RunOptions{}, converged}) {
    SCOPED_TRACE(SolverMethodName(options.Method));
    TemporaryFolder serialFolder, parallelFolder;
    const FieldTexts base = DefaultFieldTexts();
    const auto serial = RunSweep(base, plans, serialFolder.File("r.txt"), 1, options);
    int progressCalls = 0;
    const auto parallel = RunSweep(base, plans, parallelFolder.File("r.txt"), 3, options,
                                   [&](int, int) { ++progressCalls; });
    EXPECT_EQ(progressCalls, 3);
    ASSERT_EQ(serial.size(), 3u);
    ASSERT_EQ(parallel.size(), 3u);
    for (size_t k = 0; k < serial.size(); ++k) {
      EXPECT_EQ(serial[k].Outcome, RunOutcome::Success) << serial[k].Values[0];
      EXPECT_EQ(parallel[k].Outcome, serial[k].Outcome);
      EXPECT_EQ(parallel[k].Passes, serial[k].Passes);
      EXPECT_EQ(parallel[k].SpinneretTension, serial[k].SpinneretTension);
      EXPECT_EQ(parallel[k].EndStress, serial[k].EndStress);
      EXPECT_EQ(parallel[k].EstimatedTensionError, serial[k].EstimatedTensionError);
      EXPECT_EQ(parallel[k].Messages, serial[k].Messages);
      const std::string name = "r_" + serial[k].Values[0] + ".txt";
      EXPECT_EQ(ReadBytes(parallelFolder.File(name)), ReadBytes(serialFolder.File(name)));
    }
    // A faster take-up needs a higher tension.
    EXPECT_LT(serial[0].SpinneretTension, serial[2].SpinneretTension);

    const std::string csv = SweepSummaryCsv(plans, serial, options.Method);
    EXPECT_EQ(csv.rfind("\"30. Take-up speed (cm/s)\",outcome,passes,", 0), 0u) << csv;
    EXPECT_NE(csv.find("\"833.0\",success,"), std::string::npos);
    // A converged sweep's rows end with the estimated error of the tension.
    const bool hasError = csv.find("end stress (g/den),estimated error") != std::string::npos;
    EXPECT_EQ(hasError, options.Method == SolverMethod::Converged) << csv;
    EXPECT_EQ(serial[0].EstimatedTensionError.has_value(), hasError);
  }
}

}  // namespace
}  // namespace korvane
