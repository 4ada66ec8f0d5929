// TPickUPDlg: shows the picked pixel's source and current colours and asks
// whether it becomes the black point ("黒(&B)", mrYes) or the white point
// ("白(&W)", mrNo). "キャンセル" (mrCancel) has the focus and Escape.
#pragma once

#include <QLabel>

#include "ui/modal_dialog.h"

namespace tav1 {

class TPickUPDlg : public ModalDialog {
  Q_OBJECT
 public:
  explicit TPickUPDlg(QWidget* parent = nullptr);

  QLabel* Image1;
  QLabel* Label1;
  QPushButton* Black1;
  QPushButton* White1;
  QPushButton* CancelBtn;
};

}  // namespace tav1
