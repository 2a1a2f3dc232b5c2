#include "ui/InitTension.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <utility>

#include "files/InitialTensionFile.h"
#include "inputs/TextConversion.h"
#include "ui/Look.h"
#include "ui/UserDialogs.h"

namespace korvane::ui {

TForm1::TForm1(RunContext& context, UserDialogs& dialogs, std::string tensionFilePath,
               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      context_(context),
      dialogs_(dialogs),
      tensionFilePath_(std::move(tensionFilePath)) {
  setObjectName("Form1");
  setWindowTitle("Change Initial Tension");
  setFixedSize(288, 158);

  auto* label = new QLabel("Assumed initial tension (dyn) ", this);
  label->setObjectName("Label1");
  SetTextColor(label, kBlue);
  Edit101 = new QLineEdit(kDefaultInitialTensionText, this);
  Edit101->setObjectName("Edit101");
  Edit101->setFixedWidth(64);
  label->setBuddy(Edit101);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setFixedSize(100, 31);
  BitBtn1->setDefault(true);
  BitBtn1->setAutoDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
  CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setFixedSize(100, 31);
  CancelBtn->setAutoDefault(false);
  connect(CancelBtn, &QPushButton::clicked, this, &TForm1::CancelBtnClick);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(16);
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(CancelBtn);
  buttons->addStretch();

  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(label);
  row->addWidget(Edit101);
  row->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 28);
  layout->addStretch(2);
  layout->addLayout(row);
  layout->addStretch(1);
  layout->addLayout(buttons);

  FormCreate();
}

void TForm1::FormCreate() {
  Edit101->setText(QString::fromStdString(context_.Params.InitialTensionText));
}

void TForm1::BitBtn1Click() {
  const std::string text = Edit101->text().toStdString();
  double tension = 0;
  if (!ConvertDecimal(text, tension) || !(tension > 0)) {
    dialogs_.Message(kInitialTensionNotPositive);
    Edit101->setFocus(Qt::OtherFocusReason);
    Edit101->selectAll();
    return;
  }
  if (StoreInitialTensionFile(tensionFilePath_, text)) {
    context_.Params.InitialTensionText = text;
  } else {
    // The field keeps the unsaved text; the runs go on with the old one.
    dialogs_.Message(kInitialTensionCannotStore);
  }
  accept();
}

void TForm1::CancelBtnClick() {
  Edit101->setText(QString::fromStdString(context_.Params.InitialTensionText));
  reject();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    CancelBtnClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace korvane::ui
