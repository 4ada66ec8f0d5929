// TForm6 "縮小": asks for the new size of the result image (the two boxes keep
// its aspect ratio), reduces it by area averaging and writes the reduced
// picture as a 24-bit BMP for the open path. Result mrOk when it was written.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "core/editor/editor_view.h"
#include "core/state/shrink.h"
#include "ui/modal_dialog.h"

namespace tav1 {

class TSpinEdit;

class TForm6 : public ModalDialog {
  Q_OBJECT
 public:
  TForm6(EditorView& view, const Store& result, const std::string& smallPath,
         QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  TSpinEdit* SpinEdit1;
  TSpinEdit* SpinEdit2;
  QPushButton* Shrink1;
  QPushButton* Cancel1;

 public slots:
  void SpinEdit1Change(const QString& text);
  void SpinEdit2Change(const QString& text);
  void Shrink1Click();
  void Cancel1Click();

 private:
  void ShowBoxes();

  EditorView& view_;
  const Store& source_;
  std::string smallPath_;
  ShrinkSizeBoxes boxes_;
};

}  // namespace tav1
