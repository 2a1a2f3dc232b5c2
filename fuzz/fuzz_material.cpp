// Any text chosen as a material file: reading never crashes, and a material that is accepted
// holds only finite values within their items' ranges, whose field texts read back as the same
// numbers.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/MaterialFile.h"
#include "inputs/MaterialItems.h"
#include "inputs/RangeChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const korvane::MaterialLoad load = korvane::ReadMaterial(text, "fuzz.toml");
  if (!load.Ok) {
    if (load.Message.rfind("fuzz.toml", 0) != 0) std::abort();
    return 0;
  }
  korvane::FieldTexts texts = korvane::DefaultFieldTexts();
  korvane::ApplyMaterial(load.Value, texts);
  for (const korvane::MaterialValue& value : load.Value.Values) {
    if (!korvane::IsMaterialItem(*value.Item) || !std::isfinite(value.Value)) std::abort();
    if (korvane::ItemRangeProblem(*value.Item, value.Value)) std::abort();
    const std::string& field = texts.Items[static_cast<size_t>(value.Item->Number - 1)];
    if (korvane::ConvertItemText(*value.Item, field) != value.Value) std::abort();
  }
  return 0;
}
