#include "ui/InputPages.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "inputs/ParameterItems.h"
#include "ui/Look.h"

namespace korvane::ui {

namespace {

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QLabel* MakeLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  SetTextColor(label, kBlue);
  return label;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  for (QWidget* widget : widgets) row->addWidget(widget);
  row->addStretch();
  return row;
}

QLineEdit* InputPageBuilder::Field(int number, QWidget* parent, int widthInDigits) {
  const ParameterItem& item = ItemByNumber(number);
  auto* field = new QLineEdit(Utf8(item.DefaultText), parent);
  field->setObjectName(item.ControlName);
  field->setEnabled(!item.Fixed);
  field->setToolTip(
      QStringLiteral("%1 (in scripts: %2). Its meaning, unit and the formula it enters "
                     "are in docs/model.md, \"The 51 input items\".")
          .arg(QString::fromStdString(ItemDisplayName(item)), ItemName(item)));
  const int digit = field->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  field->setFixedWidth(digit * widthInDigits + 12);
  field->setFixedHeight(field->fontMetrics().height() + 6);
  controls_.ItemFields[number - 1] = field;
  return field;
}

QLabel* InputPageBuilder::ItemLabel(int number, QWidget* parent) {
  return MakeLabel(Utf8(ItemByNumber(number).EntryLabel), parent);
}

QGroupBox* InputPageBuilder::Group(const QString& caption, const char* objectName,
                                   QWidget* parent) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(objectName);
  SetTextColor(group, kMaroon);
  return group;
}

QHBoxLayout* InputPageBuilder::FormulaRow(QWidget* group, std::initializer_list<FormulaTerm> terms,
                                          const char* closing) {
  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  for (const FormulaTerm& term : terms) {
    row->addWidget(ItemLabel(term.Item, group));
    if (term.Raised) {
      auto* raised = new QVBoxLayout;
      raised->setSpacing(0);
      raised->addWidget(Field(term.Item, group, term.Width));
      raised->addSpacing(12);
      row->addLayout(raised);
    } else {
      row->addWidget(Field(term.Item, group, term.Width));
    }
  }
  if (closing != nullptr) row->addWidget(MakeLabel(QString::fromUtf8(closing), group));
  row->addStretch();
  return row;
}

QGridLayout* InputPageBuilder::Rows(QWidget* group, int firstItem, int lastItem) {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(3);
  for (int number = firstItem; number <= lastItem; ++number) {
    grid->addWidget(ItemLabel(number, group), number - firstItem, 0);
    grid->addWidget(Field(number, group), number - firstItem, 1);
  }
  return grid;
}

QGridLayout* InputPageBuilder::TwoColumns(QGroupBox* group,
                                          std::initializer_list<std::pair<int, int>> rows) {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(1);
  int row = 0;
  for (const auto& [leftItem, rightItem] : rows) {
    if (leftItem != 0) {
      QLabel* text = ItemLabel(leftItem, group);
      leftLabels_.push_back(text);
      grid->addWidget(text, row, 0);
      grid->addWidget(Field(leftItem, group), row, 1);
    }
    if (rightItem != 0) {
      QLabel* text = ItemLabel(rightItem, group);
      rightLabels_.push_back(text);
      grid->addWidget(text, row, 3);
      grid->addWidget(Field(rightItem, group), row, 4);
    }
    ++row;
  }
  grid->setColumnMinimumWidth(2, 6);
  grid->setColumnStretch(2, 1);
  twoColumnGrids_.push_back(grid);
  return grid;
}

void InputPageBuilder::AlignColumns() {
  int leftWidth = 0;
  int rightWidth = 0;
  for (QLabel* text : leftLabels_) leftWidth = std::max(leftWidth, text->sizeHint().width());
  for (QLabel* text : rightLabels_) rightWidth = std::max(rightWidth, text->sizeHint().width());
  for (QGridLayout* grid : twoColumnGrids_) {
    grid->setColumnMinimumWidth(0, leftWidth);
    grid->setColumnMinimumWidth(3, rightWidth);
  }
}

QGroupBox* InputPageBuilder::JacketGroup(int jacket, QWidget* parent) {
  QGroupBox* group =
      Group(QStringLiteral("Jacket-%1").arg(jacket + 1),
            QStringLiteral("RadioGroup%1").arg(jacket + 1).toLatin1().constData(), parent);
  auto* jacketed = new QRadioButton("Jacketed", group);
  auto* insulated = new QRadioButton("Insulated", group);
  for (QRadioButton* button : {jacketed, insulated}) SetTextColor(button, Qt::black);
  insulated->setChecked(true);
  auto* items = new QHBoxLayout(group);
  items->setContentsMargins(8, 0, 8, 0);
  items->addWidget(jacketed);
  items->addWidget(insulated);
  controls_.RadioGroups[jacket] = group;
  controls_.JacketedButtons[jacket] = jacketed;
  controls_.InsulatedButtons[jacket] = insulated;
  return group;
}

QLabel* InputPageBuilder::LengthPanel(int index, QWidget* parent) {
  auto* panel = new QLabel(parent);
  panel->setObjectName(QStringLiteral("Label%1").arg(60 + index));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setFixedSize(75, 20);
  panel->setAutoFillBackground(true);
  panel->setTextInteractionFlags(Qt::NoTextInteraction);
  // Every value has one decimal: right-aligned, the decimal points line up.
  panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  panel->setIndent(4);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, index == kSectionCount ? kGreen : QColor(Qt::black));
  panel->setPalette(palette);
  controls_.SummaryLabels[index] = panel;
  return panel;
}

void InputPageBuilder::SectionRows(QGroupBox* group, QGridLayout* grid) {
  for (int i = 0; i < kSectionCount; ++i) {
    grid->addWidget(ItemLabel(kFirstIncrementItem + i, group), i, 0);
    grid->addWidget(Field(kFirstIncrementItem + i, group, 6), i, 1);
    grid->addWidget(ItemLabel(kFirstIncrementCountItem + i, group), i, 3);
    grid->addWidget(Field(kFirstIncrementCountItem + i, group, 6), i, 4);
    grid->addWidget(MakeLabel(QStringLiteral("Length-%1 (cm)").arg(i + 1), group), i, 6);
    grid->addWidget(LengthPanel(i, group), i, 7);
  }
}

QGroupBox* BuildDopeGroup(InputPageBuilder& builder, QWidget* page) {
  // Three plain rows, then the viscosity and diffusion formulas with their fixed parameters,
  // then the critical fraction with the exponent's temperature line.
  QGroupBox* dope = builder.Group("Spinning Dope", "GroupBox1", page);
  QGridLayout* plain = builder.Rows(dope, 1, 3);
  plain->setColumnStretch(2, 1);
  // The exponent of (1 - ωs) sits raised, as it is written.
  QHBoxLayout* viscosity = builder.FormulaRow(dope, {{4, 7}, {5, 4, true}, {6, 7}}, "/(t + 273) }");
  QHBoxLayout* diffusion = builder.FormulaRow(dope, {{7, 8}, {8, 7}}, "/(t + 273) }");
  QHBoxLayout* critical = builder.FormulaRow(dope, {{9, 6}, {10, 7}, {11, 7}});
  auto* layout = new QVBoxLayout(dope);
  layout->setSpacing(3);
  layout->addLayout(plain);
  layout->addLayout(viscosity);
  layout->addLayout(diffusion);
  layout->addLayout(critical);
  return dope;
}

QGroupBox* BuildSolventGroup(InputPageBuilder& builder, QWidget* page) {
  // Three plain rows beside the Solvent-Gas group, then the vapour-pressure formula.
  QGroupBox* solvent = builder.Group("Solvent", "GroupBox2", page);
  QGridLayout* plain = builder.Rows(solvent, 12, 14);
  QGroupBox* solventGas = builder.Group("Solvent-Gas", "GroupBox3", solvent);
  auto* solventGasLayout = new QHBoxLayout(solventGas);
  solventGasLayout->addWidget(builder.ItemLabel(51, solventGas));
  solventGasLayout->addWidget(builder.Field(51, solventGas, 6));
  auto* top = new QHBoxLayout;
  top->addLayout(plain);
  top->addStretch();
  top->addWidget(solventGas, 0, Qt::AlignTop);
  QHBoxLayout* vapour = builder.FormulaRow(solvent, {{15, 6}, {16, 7}, {17, 6}}, ") ]");
  auto* layout = new QVBoxLayout(solvent);
  layout->setSpacing(3);
  layout->addLayout(top);
  layout->addLayout(vapour);
  return solvent;
}

QWidget* BuildSecondInputPage(InputPageBuilder& builder,
                              const std::function<QWidget*(QWidget* parent)>& solverGroup) {
  auto* page = new QWidget;
  page->setObjectName("InputCondition2");

  QGroupBox* gas = builder.Group("Spinning Gas", "GroupBox5", page);
  QGridLayout* gasGrid = builder.TwoColumns(gas, {{18, 19}, {20, 21}});
  gasGrid->addLayout(builder.FormulaRow(gas, {{22, 10}, {23, 9}}), 2, 0, 1, 2);
  gasGrid->addLayout(builder.FormulaRow(gas, {{24, 8}, {25, 8}}), 2, 3, 1, 2);
  auto* gasLayout = new QVBoxLayout(gas);
  gasLayout->setContentsMargins(6, 0, 6, 2);
  gasLayout->addLayout(gasGrid);

  QGroupBox* condition = builder.Group("Spinning Condition", "GroupBox6", page);
  QGridLayout* conditionGrid =
      builder.TwoColumns(condition, {{26, 27}, {28, 29}, {30, 31}, {32, 33}, {34, 0}});
  auto* conditionLayout = new QVBoxLayout(condition);
  conditionLayout->setContentsMargins(6, 0, 6, 2);
  conditionLayout->addLayout(conditionGrid);

  QGroupBox* structure = builder.Group("Spinning Column Structure", "GroupBox7", page);
  QGridLayout* structureGrid = builder.TwoColumns(structure, {{35, 0}, {36, 37}, {38, 39}});
  // The long label of the insulation coefficient runs into the middle; its field follows it.
  structureGrid->addLayout(builder.FormulaRow(structure, {{40, 9}}), 3, 0, 1, 5);
  auto* jackets = new QHBoxLayout;
  jackets->setSpacing(12);
  for (int j = 0; j < kJacketCount; ++j) jackets->addWidget(builder.JacketGroup(j, structure), 1);
  auto* structureLayout = new QVBoxLayout(structure);
  structureLayout->setContentsMargins(6, 0, 6, 2);
  structureLayout->setSpacing(2);
  structureLayout->addLayout(structureGrid);
  structureLayout->addLayout(jackets);

  // Calculation Accuracy: increment, count and section length of each section, then the total.
  QGroupBox* accuracy = builder.Group("Calculation Accuracy", "GroupBox8", page);
  auto* accuracyGrid = new QGridLayout;
  accuracyGrid->setHorizontalSpacing(8);
  accuracyGrid->setVerticalSpacing(1);
  builder.SectionRows(accuracy, accuracyGrid);
  accuracyGrid->addWidget(solverGroup(accuracy), kSectionCount, 0, 1, 4);
  accuracyGrid->addWidget(MakeLabel("Total spinning length (cm)", accuracy), kSectionCount, 4, 1, 3,
                          Qt::AlignRight);
  accuracyGrid->addWidget(builder.LengthPanel(kSectionCount, accuracy), kSectionCount, 7);
  accuracyGrid->setColumnStretch(2, 1);
  accuracyGrid->setColumnStretch(5, 1);
  auto* accuracyLayout = new QVBoxLayout(accuracy);
  accuracyLayout->setContentsMargins(6, 0, 6, 2);
  accuracyLayout->addLayout(accuracyGrid);

  builder.AlignColumns();

  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(6, 0, 6, 2);
  pageLayout->setSpacing(0);
  pageLayout->addWidget(gas);
  pageLayout->addWidget(condition);
  pageLayout->addWidget(structure);
  pageLayout->addWidget(accuracy);
  pageLayout->addStretch();
  return page;
}

}  // namespace korvane::ui
