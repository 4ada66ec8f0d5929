// TAllClearDlg: the clear-all question with "含む" (mrYes: saturation too),
// "含まずに" (mrNo) and "キャンセル" (mrCancel, also Escape and the close box).
#pragma once

#include <QLabel>

#include "ui/modal_dialog.h"

namespace tav1 {

class TAllClearDlg : public ModalDialog {
  Q_OBJECT
 public:
  explicit TAllClearDlg(QWidget* parent = nullptr);

  QLabel* Panel1;  // bevelled panel showing the message centred
  QPushButton* YesBtn;
  QPushButton* NoBtn;
  QPushButton* CancelBtn;
};

}  // namespace tav1
