#include "ui/F_Form.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/Look.h"

namespace korvane::ui {

TFinishForm::TFinishForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("FinishForm");
  setWindowTitle("FinishForm");
  setFixedSize(316, 214);

  // A bevelled panel filling the client area: raised outer edge, lowered inner edge.
  auto* outer = new QFrame(this);
  outer->setObjectName("Panel1");
  outer->setFrameStyle(QFrame::Panel | QFrame::Raised);
  outer->setLineWidth(2);
  auto* inner = new QFrame(outer);
  inner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  inner->setLineWidth(1);

  auto* caption = new QFrame(inner);
  caption->setObjectName("Panel2");
  caption->setFrameStyle(QFrame::Panel | QFrame::Raised);
  caption->setFixedHeight(41);
  caption->setMinimumWidth(269);
  auto* captionText = new QLabel("Calculation is successfully finished !", caption);
  captionText->setObjectName("Label1");
  captionText->setAlignment(Qt::AlignCenter);
  SetTextColor(captionText, kBlue);
  SetPixelFont(captionText, 16);
  // The caption stays on one line: a wide font is made a little smaller to fit the panel.
  constexpr int kCaptionRoom = 316 - 2 * 24;
  while (captionText->font().pixelSize() > 11 &&
         captionText->fontMetrics().horizontalAdvance(captionText->text()) > kCaptionRoom) {
    SetPixelFont(captionText, captionText->font().pixelSize() - 1);
  }
  auto* captionLayout = new QHBoxLayout(caption);
  captionLayout->setContentsMargins(2, 2, 2, 2);
  captionLayout->addWidget(captionText);

  auto* product = new QLabel("Korvane", inner);
  product->setObjectName("Label2");
  SetTextColor(product, kRed);
  SetPixelFont(product, 16);
  auto* version = new QLabel("Version 1.5", inner);
  version->setObjectName("Label3");
  SetTextColor(version, kRed);
  SetPixelFont(version, 16);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", inner);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setFixedSize(102, 31);
  BitBtn1->setDefault(true);
  BitBtn1->setAutoDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &TFinishForm::BitBtn1Click);

  auto* productRow = new QHBoxLayout;
  productRow->addSpacing(62);
  productRow->addWidget(product);
  productRow->addStretch();
  auto* versionRow = new QHBoxLayout;
  versionRow->addSpacing(103);
  versionRow->addWidget(version);
  versionRow->addStretch();

  auto* innerLayout = new QVBoxLayout(inner);
  innerLayout->setContentsMargins(8, 12, 8, 14);
  innerLayout->setSpacing(6);
  innerLayout->addWidget(caption);
  innerLayout->addLayout(productRow);
  innerLayout->addLayout(versionRow);
  innerLayout->addStretch();
  innerLayout->addWidget(BitBtn1, 0, Qt::AlignHCenter);

  auto* outerLayout = new QVBoxLayout(outer);
  outerLayout->setContentsMargins(3, 3, 3, 3);
  outerLayout->addWidget(inner);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(outer);
}

void TFinishForm::BitBtn1Click() {
  accept();
}

}  // namespace korvane::ui
