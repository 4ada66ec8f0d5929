// TForm5 "JPG 保存": quality and progressive choice, at least one preview
// (encoded in memory, its size shown, decoded and drawn into the image window),
// then OK writes exactly the latest preview's bytes.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>
#include <vector>

#include "core/editor/editor_view.h"
#include "ui/modal_dialog.h"

namespace tav1 {

class TUpDown;

// "ファイルサイズ  %10.0n Byte": the size grouped by the default locale's thousands
// separator, no decimals, right-aligned in ten characters.
QString FileSizeLabel(std::uint64_t bytes);

class TForm5 : public ModalDialog {
  Q_OBJECT
 public:
  TForm5(EditorView& view, JpegSaveRequest& request, QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* Label1;
  QLineEdit* Quality1;
  TUpDown* UpDown1;
  QCheckBox* Progressive1;
  QPushButton* Preview1;
  QLabel* Label2;
  QPushButton* OK1;
  QPushButton* Cancel1;

  bool PreviewFlag1() const { return previewFlag1_; }
  const std::vector<std::uint8_t>& SaveJpg1() const { return saveJpg1_; }
  int Quality() const { return position_; }
  void SetQuality(int q);

 public slots:
  void Preview1Click();
  void OK1Click();
  void Cancel1Click();

 private:
  EditorView& view_;
  JpegSaveRequest& req_;
  int position_ = 100;
  bool previewFlag1_ = false;
  std::vector<std::uint8_t> saveJpg1_;
};

}  // namespace tav1
