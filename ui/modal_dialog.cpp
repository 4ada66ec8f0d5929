#include "ui/modal_dialog.h"

#include <QKeyEvent>

#include "ui/look.h"

namespace tav1 {

ModalDialog::ModalDialog(int clientWidth, int clientHeight, QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(look::WindowIcon());
  setFont(look::TahomaFont(11));
  setFixedSize(clientWidth, clientHeight);
  setModal(true);
}

QPushButton* ModalDialog::AddResultButton(const QString& caption, QRect place, int result) {
  auto* b = new QPushButton(caption, this);
  b->setGeometry(place);
  b->setAutoDefault(false);
  connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
  return b;
}

void ModalDialog::keyPressEvent(QKeyEvent* event) {
  if (escapeIgnored_ && event->key() == Qt::Key_Escape) {
    event->ignore();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace tav1
