#include "ui/Unit7.h"

#include "ui/look.h"

namespace tav1 {

TAllClearDlg::TAllClearDlg(QWidget* parent) : ModalDialog(247, 99, parent) {
  setWindowTitle(look::Q("TAV1 確認"));
  Panel1 = new QLabel(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setAlignment(Qt::AlignCenter);
  Panel1->setGeometry(8, 8, 227, 49);
  YesBtn = AddResultButton(look::Q("含む"), QRect(8, 63, 56, 25), mrYes);
  NoBtn = AddResultButton(look::Q("含まずに"), QRect(70, 63, 56, 25), mrNo);
  CancelBtn = AddResultButton(look::Q("キャンセル"), QRect(160, 63, 75, 25), mrCancel);
}

}  // namespace tav1
