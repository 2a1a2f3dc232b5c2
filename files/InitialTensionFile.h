// The initial tension file: one line holding the assumed initial tension text.
#pragma once

#include <cstddef>
#include <string>

#include "files/PendingFile.h"

namespace korvane {

inline constexpr const char* kInitialTensionCannotOpen = "Initial tension file can not be opened!";
inline constexpr const char* kInitialTensionCannotStore = "Initial tension file can not be stored!";
inline constexpr const char* kDefaultInitialTensionText = "3.0";
// The file holds one line; reading stops after this many bytes.
inline constexpr size_t kInitialTensionFileMaxBytes = 4 * 1024;

// The fixed, machine-wide location of the file on this platform.
std::string InitialTensionFilePath();

struct InitialTensionRead {
  bool Ok = true;       // false: the file exists but could not be read (show Message)
  std::string Text;     // "3.0" when there is no file; empty when not Ok
  std::string Message;  // when not Ok: kInitialTensionCannotOpen and the file's path below it
};

// Reads the first line of the file at path (no file: "3.0"). A folder, device or pipe of that
// name is not read (not Ok).
InitialTensionRead ReadInitialTensionFile(const std::string& path);

// Replaces the file with text and CR LF, creating its folder (not writable by others) when
// missing. A write-protected file is not replaced. False on failure.
bool StoreInitialTensionFile(const std::string& path, const std::string& text,
                             const FileCalls& calls = SystemFileCalls());

// kInitialTensionCannotStore and, on a line of its own, the file's path.
std::string InitialTensionCannotStoreMessage(const std::string& path);

}  // namespace korvane
