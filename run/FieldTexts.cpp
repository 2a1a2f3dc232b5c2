#include "run/FieldTexts.h"

#include "files/DataFile.h"
#include "run/ParameterItems.h"

namespace korvane {

FieldTexts DefaultFieldTexts() {
  FieldTexts texts;
  for (const ParameterItem& item : ParameterItems())
    texts.Items[static_cast<size_t>(item.Number - 1)] = item.DefaultText;
  return texts;
}

void ApplyDataFileValues(const DataFileValues& values, FieldTexts& texts) {
  for (const ParameterItem& item : ParameterItems()) {
    if (item.Fixed) continue;
    const size_t index = static_cast<size_t>(item.Number - 1);
    texts.Items[index] = values.Items[index];
  }
  texts.Jacketed = values.Jacketed;
}

}  // namespace korvane
