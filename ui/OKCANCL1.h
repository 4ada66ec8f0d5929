// TOKBottomDlg: the layout the OK/Cancel confirmation dialogs share: a framed
// box above two buttons, "OK" (default, mrOk) and "キャンセル" (mrCancel),
// centred on the screen.
#pragma once

#include <QFrame>

#include "ui/modal_dialog.h"

namespace tav1 {

class TOKBottomDlg : public ModalDialog {
  Q_OBJECT
 public:
  explicit TOKBottomDlg(QWidget* parent = nullptr);

  QFrame* Bevel1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  TOKBottomDlg(int clientWidth, int clientHeight, QWidget* parent);
  void CentreOnScreen();
};

}  // namespace tav1
