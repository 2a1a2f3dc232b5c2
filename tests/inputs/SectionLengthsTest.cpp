// The section-length summary and its padding.
#include <gtest/gtest.h>

#include "files/NumberText.h"
#include "inputs/SectionLengths.h"

namespace korvane {
namespace {

// The summary panel's texts: the five lengths, then the total.
std::array<std::string, kSectionCount + 1> PanelTexts(const SectionLengths& lengths) {
  std::array<std::string, kSectionCount + 1> texts;
  for (size_t i = 0; i < kSectionCount; ++i) texts[i] = PanelText(lengths.Lengths[i]);
  texts[kSectionCount] = PanelText(lengths.Total);
  return texts;
}

TEST(SectionLengths, DefaultCaseAndAChangedCount) {
  auto lengths =
      ComputeSectionLengths({"2.0", "5.0", "10.0", "5.0", "5.0"}, {"30", "40", "44", "0", "0"});
  ASSERT_TRUE(lengths);
  EXPECT_EQ(PanelTexts(*lengths),
            (std::array<std::string, 6>{" 60.0", "200.0", "440.0", "  0.0", "  0.0", "700.0"}));
  EXPECT_EQ(lengths->Total, 700.0);

  lengths =
      ComputeSectionLengths({"2.0", "5.0", "10.0", "5.0", "5.0"}, {"30", "40", "44", "10", "0"});
  ASSERT_TRUE(lengths);
  EXPECT_EQ(PanelTexts(*lengths)[3], " 50.0");
  EXPECT_EQ(PanelTexts(*lengths)[5], "750.0");
}

TEST(SectionLengths, WideValuesAreNotPadded) {
  auto lengths = ComputeSectionLengths({"10.0", "0", "0", "0", "0"}, {"100", "0", "0", "0", "0"});
  ASSERT_TRUE(lengths);
  EXPECT_EQ(PanelTexts(*lengths)[0], "1000.0");
  EXPECT_EQ(PanelTexts(*lengths)[5], "1000.0");
}

TEST(SectionLengths, ATextThatDoesNotConvertGivesNoSummary) {
  EXPECT_FALSE(
      ComputeSectionLengths({"2.0", "abc", "10.0", "5.0", "5.0"}, {"30", "40", "44", "0", "0"}));
  EXPECT_FALSE(
      ComputeSectionLengths({"2.0", "5.0", "10.0", "5.0", "5.0"}, {"30", "40.0", "44", "0", "0"}));
  // A length beyond the range of a double is no length at all.
  EXPECT_FALSE(
      ComputeSectionLengths({"1e308", "5.0", "10.0", "5.0", "5.0"}, {"2000", "0", "0", "0", "0"}));
}

}  // namespace
}  // namespace korvane
