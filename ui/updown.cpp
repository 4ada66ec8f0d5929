#include "ui/updown.h"

namespace tav1 {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  setFocusPolicy(Qt::TabFocus);
  connect(up_, &QToolButton::clicked, this, &TUpDown::Up);
  connect(down_, &QToolButton::clicked, this, &TUpDown::Down);
}

void TUpDown::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

TSpinEdit::TSpinEdit(QWidget* parent) : QWidget(parent) {
  edit_ = new QLineEdit(this);
  arrows_ = new TUpDown(this);
  // The arrows belong to the box: Tab goes from one box straight to the next.
  arrows_->setFocusPolicy(Qt::NoFocus);
  setFocusProxy(edit_);
  connect(edit_, &QLineEdit::textEdited, this, &TSpinEdit::Changed);
  connect(arrows_, &TUpDown::Up, this, [this] { Step(1); });
  connect(arrows_, &TUpDown::Down, this, [this] { Step(-1); });
}

void TSpinEdit::SetText(const QString& text) {
  if (edit_->text() == text) return;  // keeps the cursor where the user types
  const QSignalBlocker block(edit_);
  edit_->setText(text);
}

void TSpinEdit::Step(int by) {
  bool ok = false;
  const int v = edit_->text().trimmed().toInt(&ok);
  SetText(QString::number((ok ? v : 0) + by));
  emit Changed(edit_->text());
}

void TSpinEdit::resizeEvent(QResizeEvent*) {
  const int arrowWidth = 16;
  edit_->setGeometry(0, 0, width() - arrowWidth, height());
  arrows_->setGeometry(width() - arrowWidth, 0, arrowWidth, height());
}

}  // namespace tav1
