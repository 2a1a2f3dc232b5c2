// Any text chosen as a material file: reading never crashes, and a material that is accepted
// holds only finite values within their items' ranges, whose field texts read back as the same
// numbers, and laws that compile and either give a usable value or say which law failed.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/MaterialFile.h"
#include "inputs/MaterialItems.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/RangeChecks.h"
#include "inputs/ReadRunParameters.h"

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
  if (texts.Laws.empty()) return 0;
  std::string problem;
  const auto laws = korvane::PropertyLawFormulas::Compile(texts.Laws, texts.LawConstants, problem);
  if (!laws) std::abort();  // the reading compiled every one
  korvane::RunParameters params;
  if (!korvane::ReadRunParameters(texts, params).Ok) return 0;
  for (int k = 0; k < korvane::kPropertyLawCount; ++k) {
    const auto law = static_cast<korvane::PropertyLaw>(k);
    if (!laws->Gives(law)) continue;
    for (const double x : {-1.0, 0.0, 0.5, 80.0, 1e300}) {
      double value = -1;
      if (laws->Evaluate(law, params, x, 0.5, value)) {
        if (!std::isfinite(value) || (korvane::PropertyLawMustBePositive(law) && !(value > 0)))
          std::abort();
      } else if (value != 0 || laws->FailureText().find(korvane::PropertyLawName(law)) ==
                                   std::string_view::npos) {
        std::abort();
      }
    }
  }
  return 0;
}
