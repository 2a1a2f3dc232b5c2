#include "inputs/MaterialItems.h"

#include <algorithm>
#include <vector>

namespace korvane {

bool IsMaterialItem(const ParameterItem& item) {
  switch (item.Group) {
    case ItemGroup::SpinningDope:
    case ItemGroup::Solvent:
    case ItemGroup::SpinningGas:
    case ItemGroup::SolventGas:
      return true;
    default:
      return false;
  }
}

bool TableHoldsItem(std::string_view table, const ParameterItem& item) {
  if (item.Group == ItemGroup::SolventGas) return table == "solvent" || table == "gas";
  return IsMaterialItem(item) && table == MaterialTableOf(item);
}

const char* MaterialTableOf(const ParameterItem& item) {
  switch (item.Group) {
    case ItemGroup::SpinningDope:
      return "dope";
    case ItemGroup::SpinningGas:
      return "gas";
    default:
      return "solvent";
  }
}

std::string MaterialLawList() {
  std::string list;
  for (const char* name : kMaterialLawNames) list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

namespace {

// The number of letters to add, drop or change to turn one text into the other.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string ClosestItemName(std::string_view name) {
  constexpr size_t kFarthest = 3;
  std::string closest;
  size_t best = kFarthest + 1;
  if (name.size() > 64) return closest;  // no item name is that long
  for (const ParameterItem& item : ParameterItems()) {
    const size_t distance = EditDistance(name, ItemName(item));
    if (distance < best) {
      best = distance;
      closest = ItemName(item);
    }
  }
  return closest;
}

}  // namespace korvane
