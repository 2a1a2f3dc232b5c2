// The item groups of the two input pages, built from the item table: every entry field is
// named after its item's control, starts with the item's default text and is disabled when the
// item is fixed; every label is the item's entry label.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/model/RunParameters.h"

class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace korvane::ui {

// The controls of the input pages that a run reads and a data file fills.
struct InputControls {
  std::array<QLineEdit*, kItemCount> ItemFields = {};  // item k at k - 1
  std::array<QGroupBox*, kJacketCount> RadioGroups = {};
  std::array<QRadioButton*, kJacketCount> JacketedButtons = {};
  std::array<QRadioButton*, kJacketCount> InsulatedButtons = {};
  std::array<QLabel*, kSectionCount + 1> SummaryLabels = {};  // Label60 .. Label65
};

// One term of a formula row: the item's label, then its field, Width digits wide; a Raised
// field sits above the line, as an exponent is written.
struct FormulaTerm {
  int Item;
  int Width;
  bool Raised = false;
};

// A label in the input pages' colour.
QLabel* MakeLabel(const QString& text, QWidget* parent);

// A row of widgets, left to right, ending in a stretch.
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets);

// Makes the labels, fields and groups of the input pages into one set of controls.
class InputPageBuilder {
 public:
  explicit InputPageBuilder(InputControls& controls) : controls_(controls) {}

  QLineEdit* Field(int number, QWidget* parent, int widthInDigits = 9);
  QLabel* ItemLabel(int number, QWidget* parent);
  QGroupBox* Group(const QString& caption, const char* objectName, QWidget* parent);

  // The items' labels and fields of a formula, then its closing text, left to right.
  QHBoxLayout* FormulaRow(QWidget* group, std::initializer_list<FormulaTerm> terms,
                          const char* closing = nullptr);
  // Plain rows of label and field, one item under the other.
  QGridLayout* Rows(QWidget* group, int firstItem, int lastItem);
  // Rows of a left and a right item (0: none). The groups made so share their column widths
  // once AlignColumns is called, so that the fields line up from group to group.
  QGridLayout* TwoColumns(QGroupBox* group, std::initializer_list<std::pair<int, int>> rows);
  void AlignColumns();
  // Jacket j's radio group, "Jacket-<j + 1>", insulated at the start.
  QGroupBox* JacketGroup(int jacket, QWidget* parent);
  // One row per section: its increment, its step count and its length panel.
  void SectionRows(QGroupBox* group, QGridLayout* grid);
  // The length panel of section index, or of the total for kSectionCount.
  QLabel* LengthPanel(int index, QWidget* parent);

 private:
  InputControls& controls_;
  std::vector<QGridLayout*> twoColumnGrids_;
  std::vector<QLabel*> leftLabels_;
  std::vector<QLabel*> rightLabels_;
};

// The first page's groups: "Spinning Dope", and "Solvent" with "Solvent-Gas" inside.
QGroupBox* BuildDopeGroup(InputPageBuilder& builder, QWidget* page);
QGroupBox* BuildSolventGroup(InputPageBuilder& builder, QWidget* page);

// The second page: gas, condition, column structure and accuracy. solverGroup makes the widget
// that sits in the free corner beside the total length.
QWidget* BuildSecondInputPage(InputPageBuilder& builder,
                              const std::function<QWidget*(QWidget* parent)>& solverGroup);

}  // namespace korvane::ui
