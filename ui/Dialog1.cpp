#include "ui/Dialog1.h"

#include "ui/look.h"

namespace tav1 {

TPickUPDlg::TPickUPDlg(QWidget* parent) : ModalDialog(276, 93, parent) {
  setWindowTitle(look::Q("TAV1 確認"));
  Image1 = new QLabel(this);
  Image1->setGeometry(16, 8, 41, 33);
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setPixmap(look::WindowIconPixmap(32));
  Label1 = new QLabel(this);
  Label1->setGeometry(80, 6, 190, 44);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Created first so that it is first in the tab order and has the focus.
  CancelBtn = AddResultButton(look::Q("キャンセル"), QRect(192, 56, 75, 25), mrCancel);
  Black1 = AddResultButton(look::Q("黒(&B)"), QRect(16, 56, 75, 25), mrYes);
  Black1->setIcon(look::ButtonIcon(look::Picture::BlackPoint));
  White1 = AddResultButton(look::Q("白(&W)"), QRect(97, 56, 75, 25), mrNo);
  White1->setIcon(look::ButtonIcon(look::Picture::WhitePoint));
  CancelBtn->setFocus();
}

}  // namespace tav1
