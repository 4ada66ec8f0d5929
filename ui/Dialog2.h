// TUndoRedoEdge: the small stay-on-top message with "OK" (mrOk) and "Cancel"
// (mrCancel). Undo and redo show their end-of-history texts in it; the single
// clear commands reuse it as their confirmation.
#pragma once

#include <QLabel>

#include "ui/modal_dialog.h"

namespace tav1 {

class TUndoRedoEdge : public ModalDialog {
  Q_OBJECT
 public:
  explicit TUndoRedoEdge(QWidget* parent = nullptr);

  // Centres the dialog on `over`; with keepOnDesktop a left or top edge beyond
  // the desktop's is moved onto it.
  void PlaceOver(const QWidget* over, bool keepOnDesktop);

  QLabel* Label2;
  QPushButton* OK1;
  QPushButton* Cancel1;
};

}  // namespace tav1
