// The table of the 51 numbered input items: one place that says, for every item, which field
// of the run record it feeds, how the main window labels it and starts it, whether it is fixed,
// and how the result file echoes it. The window, the data file, the reading of a run and the
// input echo all work from this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/model/RunParameters.h"
#include "inputs/NumberFormat.h"

namespace korvane {

enum class ItemType { Decimal, Int32 };

// The steps of the axial grid: the increments of the five sections are items 41..45, their
// step counts items 46..50.
inline constexpr int kFirstIncrementItem = 41;
inline constexpr int kFirstIncrementCountItem = 46;

// Groups of the input echo, in file order.
enum class ItemGroup {
  SpinningDope,
  Solvent,
  SpinningGas,
  SpinningCondition,
  ColumnStructure,
  CalculationAccuracy,
  SolventGas
};

// Where an item's value lives in a run record, for reading a const record and for writing one;
// made from one generic lambda, e.g. [](auto& p) { return &p.TakeUpSpeed; }. Empty for nullptr.
template <class T>
struct FieldAccess {
  T* (*Get)(RunParameters&) = nullptr;
  const T* (*Read)(const RunParameters&) = nullptr;

  constexpr FieldAccess(std::nullptr_t) {}
  template <class Accessor>
  constexpr FieldAccess(Accessor accessor) : Get(accessor), Read(accessor) {}

  T* operator()(RunParameters& params) const { return Get(params); }
  const T* operator()(const RunParameters& params) const { return Read(params); }
  friend bool operator==(const FieldAccess& access, std::nullptr_t) {
    return access.Get == nullptr;
  }
};

struct ParameterItem {
  int Number;               // 1..51, as the user sees it
  const char* ControlName;  // the main window's entry field, e.g. "Edit46"
  const char* EntryLabel;   // the label in front of the field (UTF-8)
  const char* DefaultText;  // the text the field starts with
  bool Fixed;               // shown disabled; a data file never changes it
  ItemType Type;
  ItemGroup Group;
  const char* EchoLabel;  // the result file's item label, bytes as written (degree sign 0x81 0x8E)
  NumberFormat EchoFormat;            // the value text of the echo
  FieldAccess<double> DecimalField;   // set for Decimal items
  FieldAccess<int32_t> IntegerField;  // set for Int32 items
};

// The 51 items in the order of their numbers: ParameterItems()[k - 1] is item k.
const std::array<ParameterItem, kItemCount>& ParameterItems();

// Item k (1..51).
const ParameterItem& ItemByNumber(int number);

// The item's name for messages: its echo label without the trailing "=" and blanks, with the
// degree sign in UTF-8, e.g. "30. Take-up speed (cm/s)".
std::string ItemDisplayName(const ParameterItem& item);

// The item's name in scripts: lower case words joined by "_", e.g. "take_up_speed" for item 30.
const char* ItemName(const ParameterItem& item);

// The item of that script name, or nullptr.
const ParameterItem* ItemByName(std::string_view name);

// The item of a text as users name items: its number ("30") or its script name
// ("take_up_speed"); nullptr for any other text.
const ParameterItem* ItemByNumberOrName(std::string_view text);

// The value of an item in a run record, as a double (Int32 items converted exactly).
double ItemValue(const ParameterItem& item, const RunParameters& params);

// The number a field text gives for the item, converted by the item's kind: a whole number
// (ConvertInt32) for an Int32 item, a decimal (ConvertDecimal) for the others; empty when the
// text does not convert. An Int32 value is exact.
std::optional<double> ConvertItemText(const ParameterItem& item, std::string_view text);

// Stores a value of ConvertItemText into the item's field of the run record. False, and the
// field left as it was, when an Int32 item is given a value that is not a 32-bit whole number.
bool SetItemValue(const ParameterItem& item, double value, RunParameters& params);

}  // namespace korvane
