// A fresh folder per test, and whole-file reads and writes in bytes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace korvane::testing {

class TemporaryFolder {
 public:
  TemporaryFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    static int sequence = 0;  // several folders in one test each get their own
    std::string name = std::string("korvane-test-") + std::to_string(::getpid()) + "-" +
                       info->test_suite_name() + "-" + info->name() + "-" +
                       std::to_string(++sequence);
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Whether file permissions hold for this user (they do not for the superuser), tested on a
// file of the folder that the test may change.
inline bool PermissionsEnforced(const std::string& probePath) {
  WriteBytes(probePath, "");
  std::filesystem::permissions(probePath, std::filesystem::perms::none);
  std::ifstream in(probePath);
  const bool enforced = !in.is_open();
  std::filesystem::remove(probePath);
  return enforced;
}

}  // namespace korvane::testing
