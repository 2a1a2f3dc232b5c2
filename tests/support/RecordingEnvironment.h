// Test surroundings for a run: records every message, cursor change and dialog.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

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

// A fresh folder under the system's temporary folder, removed with the object.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() /
            ("korvane-test-" + std::to_string(device()) + std::to_string(device()));
    std::filesystem::create_directories(path_);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

}  // namespace korvane::testing
