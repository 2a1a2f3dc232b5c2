// Hundreds of cases around the default one, each with every editable item scaled by a random
// factor: each must end in a defined outcome with its message, and no result file may hold a
// "nan" or an "inf", whatever the inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>

#include "RecordingEnvironment.h"
#include "files/NumberText.h"
#include "inputs/ParameterItems.h"
#include "inputs/TextConversion.h"
#include "run/RunDriver.h"

namespace korvane {
namespace {

using testing::ReadBytes;
using testing::RecordingEnvironment;
using testing::TemporaryFolder;

constexpr int kCases = 300;
constexpr int kPassLimit = 150;  // passes before the case is cancelled

std::string ShortestText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

FieldTexts RandomCase(std::mt19937_64& random) {
  FieldTexts texts = DefaultFieldTexts();
  std::lognormal_distribution<double> factor(0.0, 0.35);
  std::uniform_int_distribution<int> coin(0, 1);
  for (const ParameterItem& item : ParameterItems()) {
    if (item.Fixed || item.Type == ItemType::Int32 || (item.Number >= 41 && item.Number <= 45))
      continue;
    double value = 0;
    ConvertDecimal(item.DefaultText, value);
    value *= factor(random);
    // Weight fractions stay fractions: the run refuses any other.
    if (item.Number == 3) value = std::min(value, 0.95);
    if (item.Number == 9) value = std::min(value, 1.0);
    texts.Items[static_cast<size_t>(item.Number - 1)] = ShortestText(value);
  }
  std::uniform_int_distribution<int> filaments(1, 100);
  texts.Items[28] = std::to_string(filaments(random));
  // Small grids: a few sections of a few steps, lengths kept below the jacket-3 lower limit
  // most of the time.
  std::uniform_int_distribution<int> count(0, 12);
  std::uniform_real_distribution<double> increment(1.0, 20.0);
  for (int s = 0; s < kSectionCount; ++s) {
    texts.Items[static_cast<size_t>(40 + s)] = Fixed(increment(random), 4, 1);
    texts.Items[static_cast<size_t>(45 + s)] = std::to_string(count(random));
  }
  for (bool& jacketed : texts.Jacketed) jacketed = coin(random) == 1;
  return texts;
}

TEST(RandomCases, EveryCaseEndsInADefinedOutcomeAndNoFileHoldsNaN) {
  TemporaryFolder folder;
  std::mt19937_64 random(20261208);
  std::map<std::string, int> outcomes;
  for (int k = 0; k < kCases; ++k) {
    FieldTexts texts = RandomCase(random);
    texts.ResultFileName = folder.File("case.txt");
    std::remove(texts.ResultFileName.c_str());
    RunContext context;
    RecordingEnvironment environment;
    environment.CancelAfterPasses = kPassLimit;
    const RunReport report = RunDriver(context, texts, environment);

    std::string kind;
    switch (report.Outcome) {
      case RunOutcome::Success:
        kind = "success";
        EXPECT_EQ(environment.Finished, RunOutcome::Success) << k;
        break;
      case RunOutcome::CalculationFailed:
        kind = report.Cancelled               ? "cancelled at the pass limit"
               : environment.Messages.empty() ? "?"
                                              : environment.Messages.front().substr(0, 40);
        EXPECT_FALSE(environment.Messages.empty()) << "case " << k << " failed silently";
        break;
      case RunOutcome::InputRefused:
        kind = "input refused: " + environment.Messages.front().substr(0, 30);
        break;
      case RunOutcome::TensionBelowZero:
        kind = "tension below zero";
        EXPECT_EQ(environment.Messages.back(), kTensionBelowZeroMessage);
        break;
      case RunOutcome::ResultFileFailed:
        kind = "result file failed";
        break;
    }
    ++outcomes[kind];
    EXPECT_EQ(environment.Events.back(), "finished") << "case " << k << " did not tell its end";
    const std::string file = ReadBytes(texts.ResultFileName);
    for (const char* bad : {"nan", "NAN", "inf", "INF"})
      EXPECT_EQ(file.find(bad), std::string::npos) << "case " << k << " wrote " << bad;
  }
  std::string spread;
  for (const auto& [kind, count] : outcomes)
    spread += "  " + std::to_string(count) + "  " + kind + "\n";
  std::printf("Outcomes of %d random cases:\n%s", kCases, spread.c_str());
}

}  // namespace
}  // namespace korvane
