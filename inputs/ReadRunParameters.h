// Reading the field texts into the run record.
#pragma once

#include <string>

#include "core/model/RunParameters.h"
#include "inputs/FieldTexts.h"

namespace korvane {

inline constexpr const char* kInputValueNotCorrect = "Input value is not correct!";

// Which input was refused: an item number 1..51, or the initial tension text, and what the
// user is told about it.
struct ReadOutcome {
  bool Ok = true;
  int FailedItem = 0;  // 1..51 when an item failed
  bool InitialTensionFailed = false;
  std::string Message;  // kInputValueNotCorrect when a text did not convert
};

// Items 1..51 in order, the jacket modes, the file name, then InitialTension from
// texts.InitialTensionText (which is also stored into params.InitialTensionText). The first
// failure stops the reading; fields before it hold their new values, the rest keep theirs.
ReadOutcome ReadRunParameters(const FieldTexts& texts, RunParameters& params);

}  // namespace korvane
