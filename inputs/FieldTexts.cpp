#include "inputs/FieldTexts.h"

#include "inputs/ParameterItems.h"

namespace korvane {

FieldTexts DefaultFieldTexts() {
  FieldTexts texts;
  for (const ParameterItem& item : ParameterItems())
    texts.Items[static_cast<size_t>(item.Number - 1)] = item.DefaultText;
  return texts;
}

}  // namespace korvane
