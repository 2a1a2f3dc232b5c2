#include "inputs/ReadRunParameters.h"

#include "inputs/ParameterItems.h"
#include "inputs/TextConversion.h"

namespace korvane {

ReadOutcome ReadRunParameters(const FieldTexts& texts, RunParameters& params) {
  ReadOutcome outcome;
  // Items in the order of their numbers; the first one that does not convert ends the reading
  // and leaves it and everything after it as it was.
  for (const ParameterItem& item : ParameterItems()) {
    const std::string& text = texts.Items[static_cast<size_t>(item.Number - 1)];
    const std::optional<double> value = ConvertItemText(item, text);
    const bool converted = value && SetItemValue(item, *value, params);
    if (!converted) {
      outcome.Ok = false;
      outcome.FailedItem = item.Number;
      outcome.Message = kInputValueNotCorrect;
      return outcome;
    }
  }
  for (int j = 0; j < kJacketCount; ++j)
    params.JacketMode[j] = texts.Jacketed[static_cast<size_t>(j)] ? '1' : '2';
  params.ResultFileName = texts.ResultFileName;
  params.InitialTensionText = texts.InitialTensionText;
  double tension = 0;
  if (!ConvertDecimal(params.InitialTensionText, tension)) {
    outcome.Ok = false;
    outcome.InitialTensionFailed = true;
    outcome.Message = kInputValueNotCorrect;
    return outcome;
  }
  params.InitialTension = tension;
  return outcome;
}

}  // namespace korvane
