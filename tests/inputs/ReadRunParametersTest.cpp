// Reading a run record from the field texts: the order, the stop at the first bad text and
// which members keep their previous values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <string>

#include "inputs/ParameterItems.h"
#include "inputs/ReadRunParameters.h"

namespace korvane {
namespace {

TEST(ReadRunParameters, DefaultTextsGiveTheDefaultCase) {
  RunParameters params;
  const ReadOutcome outcome = ReadRunParameters(DefaultFieldTexts(), params);
  ASSERT_TRUE(outcome.Ok);
  EXPECT_EQ(params.DopeDensity, 1.0);
  EXPECT_EQ(params.ViscosityParam1, 5512.3);
  EXPECT_EQ(params.DiffusionParam2, -2190.0);
  EXPECT_EQ(params.GasConductivityParam1, 0.000000131);
  EXPECT_EQ(params.FilamentCount, 48);
  EXPECT_EQ(params.TakeUpSpeed, 833.0);
  EXPECT_EQ(params.JacketTemp[2], 30.0);
  EXPECT_EQ(params.JacketUpperPos[0], 400.0);
  EXPECT_EQ(params.Increment[2], 10.0);
  EXPECT_EQ(params.IncrementCount[0], 30);
  EXPECT_EQ(params.IncrementCount[2], 44);
  EXPECT_EQ(params.IncrementCount[4], 0);
  EXPECT_EQ(params.SolventGasHKRatio, 7.5);
  EXPECT_EQ(std::string(params.JacketMode, 3), "222");
  EXPECT_EQ(params.ResultFileName, "result.txt");
  EXPECT_EQ(params.InitialTension, 3.0);
}

TEST(ReadRunParameters, StopsAtTheFirstTextThatDoesNotConvert) {
  RunParameters params;
  ASSERT_TRUE(ReadRunParameters(DefaultFieldTexts(), params).Ok);
  const RunParameters before = params;

  FieldTexts texts = DefaultFieldTexts();
  texts.Items[0] = "1.1";    // item 1, read before the failure
  texts.Items[28] = "50";    // item 29
  texts.Items[29] = "fast";  // item 30: letters
  texts.Items[30] = "31.0";  // item 31: after the failure
  texts.Jacketed = {true, true, true};
  texts.ResultFileName = "other.txt";
  texts.InitialTensionText = "9.0";

  const ReadOutcome outcome = ReadRunParameters(texts, params);
  EXPECT_FALSE(outcome.Ok);
  EXPECT_EQ(outcome.FailedItem, 30);
  EXPECT_FALSE(outcome.InitialTensionFailed);
  EXPECT_EQ(params.DopeDensity, 1.1);
  EXPECT_EQ(params.FilamentCount, 50);
  EXPECT_EQ(params.TakeUpSpeed, before.TakeUpSpeed);
  EXPECT_EQ(params.RoomTemp, before.RoomTemp);
  EXPECT_EQ(std::string(params.JacketMode, 3), "222");
  EXPECT_EQ(params.ResultFileName, "result.txt");
  EXPECT_EQ(params.InitialTension, 3.0);
}

TEST(ReadRunParameters, WholeNumberItemsRefuseADecimalPoint) {
  RunParameters params;
  FieldTexts texts = DefaultFieldTexts();
  texts.Items[45] = "30.0";   // "Number of increments-1"
  texts.Items[40] = " 2.0 ";  // "Increment-1 (cm)" with blanks around it
  const ReadOutcome outcome = ReadRunParameters(texts, params);
  EXPECT_EQ(outcome.FailedItem, 46);
  EXPECT_EQ(params.Increment[0], 2.0);
  // Nor is a value that is not a 32-bit whole number stored into a whole-number field.
  const ParameterItem& count = ItemByNumber(46);
  params.IncrementCount[0] = 7;
  for (double value : {30.5, 2147483648.0, -2147483649.0, double(NAN)})
    EXPECT_FALSE(SetItemValue(count, value, params)) << value;
  EXPECT_EQ(params.IncrementCount[0], 7);
  EXPECT_TRUE(SetItemValue(count, -2147483648.0, params));
  EXPECT_EQ(params.IncrementCount[0], INT32_MIN);
}

TEST(ReadRunParameters, JacketSelectionsAndInitialTension) {
  RunParameters params;
  FieldTexts texts = DefaultFieldTexts();
  texts.Jacketed = {false, true, false};
  texts.InitialTensionText = std::string(1, '5');  // "5"
  ASSERT_TRUE(ReadRunParameters(texts, params).Ok);
  EXPECT_EQ(std::string(params.JacketMode, 3), "212");
  EXPECT_EQ(params.InitialTension, 5.0);

  // A tension text that is not a number fails last: everything else is already read.
  texts.InitialTensionText = "three";
  texts.Items[0] = "1.2";
  texts.ResultFileName = "second.txt";
  const ReadOutcome outcome = ReadRunParameters(texts, params);
  EXPECT_FALSE(outcome.Ok);
  EXPECT_TRUE(outcome.InitialTensionFailed);
  EXPECT_EQ(outcome.FailedItem, 0);
  EXPECT_EQ(params.DopeDensity, 1.2);
  EXPECT_EQ(params.ResultFileName, "second.txt");
  EXPECT_EQ(params.InitialTensionText, "three");
  EXPECT_EQ(params.InitialTension, 5.0);
}

TEST(ParameterItems, ControlNamesAndEchoLabelsAreConsistent) {
  // Every item has its own field and its own script name, and each echo label starts with its
  // number and ends in "=  ".
  std::set<std::string> names, scriptNames;
  for (const ParameterItem& item : ParameterItems()) {
    EXPECT_TRUE(names.insert(item.ControlName).second) << item.ControlName;
    const std::string scriptName = ItemName(item);
    EXPECT_TRUE(scriptNames.insert(scriptName).second) << scriptName;
    EXPECT_EQ(scriptName.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"),
              std::string::npos)
        << scriptName;
    EXPECT_EQ(ItemByName(scriptName), &item) << scriptName;
    const std::string label = item.EchoLabel;
    std::string prefix = std::to_string(item.Number);
    prefix += ". ";
    EXPECT_EQ(label.rfind(prefix, 0), 0u) << label;
    EXPECT_EQ(label.substr(label.size() - 3), "=  ") << label;
    EXPECT_EQ(item.Type == ItemType::Int32, item.IntegerField != nullptr) << item.Number;
    EXPECT_EQ(item.Type == ItemType::Decimal, item.DecimalField != nullptr) << item.Number;
  }
  EXPECT_EQ(names.count("Edit44"), 0u) << "Edit44 is the result file name, not an item";
  EXPECT_EQ(ItemByName("Take_up_speed"), nullptr);
  EXPECT_EQ(ItemByNumber(30).Number, ItemByName("take_up_speed")->Number);
}

}  // namespace
}  // namespace korvane
