// TForm2CloseDlg: "画像ウィンドウを閉じますか？", asked whenever the image
// window is about to close on its own. "はい" (mrYes, Enter) lets it close;
// "いいえ" (mrNo) and the title-bar close keep it. Escape is not bound.
#pragma once

#include <QLabel>

#include "ui/OKCANCL1.h"

namespace tav1 {

class TForm2CloseDlg : public TOKBottomDlg {
  Q_OBJECT
 public:
  explicit TForm2CloseDlg(QWidget* parent = nullptr);

  QLabel* Label1;
};

}  // namespace tav1
