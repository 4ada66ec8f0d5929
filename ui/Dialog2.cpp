#include "ui/Dialog2.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui/look.h"

namespace tav1 {

TUndoRedoEdge::TUndoRedoEdge(QWidget* parent) : ModalDialog(191, 73, parent) {
  setWindowTitle(look::Q("メッセージ"));
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  Label2 = new QLabel(this);
  Label2->setGeometry(16, 8, 170, 24);
  OK1 = AddResultButton(QStringLiteral("OK"), QRect(16, 40, 75, 25), mrOk);
  Cancel1 = AddResultButton(QStringLiteral("Cancel"), QRect(97, 40, 75, 25), mrCancel);
  OK1->setDefault(true);
}

void TUndoRedoEdge::PlaceOver(const QWidget* over, bool keepOnDesktop) {
  if (over == nullptr) return;
  const QRect frame = over->frameGeometry();
  int left = frame.left() + (frame.width() - width()) / 2;
  int top = frame.top() + (frame.height() - height()) / 2;
  if (keepOnDesktop) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect desk = screen->virtualGeometry();
      left = std::max(left, desk.left());
      top = std::max(top, desk.top());
    }
  }
  move(left, top);
}

}  // namespace tav1
