// Base of the program's small modal dialogs: fixed client size, the program
// icon, the dialog font, and a title-bar close that ends with mrCancel.
#pragma once

#include <QDialog>
#include <QPushButton>

#include "ui/dialog_seam.h"

namespace tav1 {

class ModalDialog : public QDialog {
  Q_OBJECT
 public:
  ModalDialog(int clientWidth, int clientHeight, QWidget* parent = nullptr);
  void reject() override { done(mrCancel); }

 protected:
  // A push button at a fixed place that closes the dialog with `result`.
  QPushButton* AddResultButton(const QString& caption, QRect place, int result);
  // Ignores Escape (for dialogs whose cancel button is not bound to it).
  void SetEscapeIgnored(bool ignored) { escapeIgnored_ = ignored; }
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool escapeIgnored_ = false;
};

}  // namespace tav1
