#include "ui/OKCANCL1.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui/look.h"

namespace tav1 {

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : TOKBottomDlg(313, 214, parent) {}

TOKBottomDlg::TOKBottomDlg(int clientWidth, int clientHeight, QWidget* parent)
    : ModalDialog(clientWidth, clientHeight, parent) {
  setWindowTitle(look::Q("ダイアログ"));
  Bevel1 = new QFrame(this);
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(8, 8, 297, 161);
  OKBtn = AddResultButton(QStringLiteral("OK"), QRect(79, 180, 75, 25), mrOk);
  OKBtn->setDefault(true);
  CancelBtn = AddResultButton(look::Q("キャンセル"), QRect(159, 180, 75, 25), mrCancel);
  CentreOnScreen();
}

void TOKBottomDlg::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

}  // namespace tav1
