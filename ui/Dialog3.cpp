#include "ui/Dialog3.h"

#include "ui/look.h"

namespace tav1 {

TForm2CloseDlg::TForm2CloseDlg(QWidget* parent) : TOKBottomDlg(188, 114, parent) {
  setWindowTitle(look::Q("TAV1 確認"));
  Bevel1->setGeometry(8, 8, 170, 49);
  Label1 = new QLabel(look::Q("画像ウィンドウを閉じますか？"), this);
  Label1->setAlignment(Qt::AlignCenter);
  // Wider than the reference layout's 138 so that the question is never clipped.
  Label1->setGeometry(12, 22, 164, 22);
  OKBtn->setText(look::Q("はい"));
  OKBtn->setGeometry(8, 79, 75, 25);
  CancelBtn->setText(look::Q("いいえ"));
  CancelBtn->setGeometry(103, 79, 75, 25);
  disconnect(OKBtn, nullptr, this, nullptr);
  disconnect(CancelBtn, nullptr, this, nullptr);
  connect(OKBtn, &QPushButton::clicked, this, [this] { done(mrYes); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(mrNo); });
  OKBtn->setDefault(true);
  SetEscapeIgnored(true);
  CentreOnScreen();
}

}  // namespace tav1
