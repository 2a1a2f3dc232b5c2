// Test surroundings for a run: records every message, cursor change and dialog.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "run/RunDriver.h"

namespace korvane::testing {

class RecordingEnvironment : public RunEnvironment {
 public:
  void ShowMessage(std::string_view text) override { Messages.emplace_back(text); }
  bool PassFinished(int passes, double) override {
    Passes = passes;
    return CancelAfterPasses <= 0 || passes < CancelAfterPasses;
  }
  void SetBusyCursor(bool busy) override { Cursor.push_back(busy); }
  void ShowFinishDialog() override { ++FinishDialogs; }
  void RefreshFileList() override { ++FileListRefreshes; }
  void SectionLengthsUpdated(const SectionLengths& lengths) override { Summary = lengths; }

  std::vector<std::string> Messages;
  std::vector<bool> Cursor;
  int FinishDialogs = 0;
  int FileListRefreshes = 0;
  int Passes = 0;
  int CancelAfterPasses = 0;  // 0: never cancel
  std::optional<SectionLengths> Summary;
};

}  // namespace korvane::testing
