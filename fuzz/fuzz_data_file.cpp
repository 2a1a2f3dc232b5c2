// Any file chosen as a data file: reading and parsing never crash, keep every line within
// its bound, and a file that loads gives values that hold no blank and no line end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/DataFile.h"
#include "files/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size == 0 ? 1 : size, "rb");
  if (!stream) return 0;
  std::vector<std::string> read;
  const bool ok = size == 0 ? korvane::ReadFirstLines(stream, 0, read)
                            : korvane::ReadFirstLines(stream, korvane::kDataFileLineCount, read);
  std::fclose(stream);
  if (!ok || size == 0) return 0;
  korvane::DataFileLines lines;
  for (size_t k = 0; k < lines.size(); ++k) {
    if (read[k].size() > korvane::kMaxKeptLineLength) std::abort();
    if (read[k].find('\n') != std::string::npos) std::abort();
    lines[k] = read[k];
  }
  const korvane::DataFileLoad load = korvane::DataFileReader(lines, "fuzz.txt");
  if (load.Ok) {
    for (const std::string& value : load.Values.Items)
      if (value.find_first_of(" \n") != std::string::npos) std::abort();
  } else if (load.Message != "\"fuzz.txt\" is not a correct data file!") {
    std::abort();
  }
  return 0;
}
