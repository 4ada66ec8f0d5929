#include "ui/Unit4.h"

#include <QCloseEvent>

#include "core/editor/editor.h"
#include "ui/look.h"

namespace tav1 {

using look::Q;

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), columns_(columns) {
  group_.setExclusive(true);
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items.at(i), this);
    group_.addButton(b, i);
    items_.push_back(b);
  }
  connect(&group_, &QButtonGroup::idClicked, this, &TRadioGroup::Click);
}

int TRadioGroup::ItemIndex() const { return group_.checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  const QSignalBlocker block(&group_);
  if (index < 0) {
    // An exclusive group cannot uncheck its last checked button by itself.
    group_.setExclusive(false);
    for (QRadioButton* b : items_) b->setChecked(false);
    group_.setExclusive(true);
    return;
  }
  items_.at(std::min(index, Count() - 1))->setChecked(true);
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  const int rows = (Count() + columns_ - 1) / columns_;
  const int top = 13;
  const int inner = width() - 8;
  // With two columns the first items are the short ones ("L->G", "(0,0)", "+"),
  // so the second column gets the larger share ("(255,255)" must fit).
  const int first = columns_ == 2 ? inner * 42 / 100 : inner / std::max(columns_, 1);
  const int rest = columns_ > 1 ? (inner - first) / (columns_ - 1) : inner;
  const int rowHeight = std::max(16, (height() - top - 2) / std::max(rows, 1));
  for (int i = 0; i < Count(); ++i) {
    const int col = i % columns_;
    const int x = 6 + (col == 0 ? 0 : first + (col - 1) * rest);
    items_.at(i)->setGeometry(x, top + (i / columns_) * rowHeight, (col == 0 ? first : rest) - 2,
                              rowHeight);
  }
}

TForm4::TForm4() {
  setWindowTitle(Q("設定"));
  setWindowIcon(look::WindowIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);
  setFont(look::TahomaFont(11));
  resize(172, 365);

  const QFont radioFont = look::PGothicFont(12);
  auto group = [&](const char* caption, QStringList items, QRect place, bool pFont) {
    auto* g = new TRadioGroup(Q(caption), items, 2, this);
    if (pFont) g->setFont(radioFont);
    g->setGeometry(place);
    g->SetItemIndex(0);
    return g;
  };
  Order1 = group("適用順序", {"L->G", "G->L"}, QRect(8, 8, 153, 33), true);
  Origin1 = group("ガンマカーブ原点", {"(0,0)", "(255,255)"}, QRect(8, 48, 153, 33), true);
  MakeHistoryMode = group("履歴作成モード", {Q("自動"), Q("手動")}, QRect(8, 87, 153, 36), false);
  GrphBTF1 = group("グラフ前面化", {Q("する"), Q("しない")}, QRect(8, 129, 153, 33), true);
  Scale1 = group("ヒストグラムスケール", {Q("線形"), Q("対数")}, QRect(8, 168, 153, 33), true);
  Polarity1 = group("ボタン極性(ガンマ)", {"+", "-"}, QRect(8, 207, 153, 33), true);

  GroupBox1 = new QGroupBox(Q("<<,>>時ステップ"), this);
  GroupBox1->setGeometry(8, 246, 153, 73);
  Label1 = new QLabel(Q("線形"), GroupBox1);
  Label1->move(16, 22);
  Label2 = new QLabel(Q("ガンマ"), GroupBox1);
  Label2->move(88, 22);
  const QStringList steps = {"2", "4", "8", "16", "32"};
  // The boxes are kept to their lists; a stored index of -1 shows no item.
  LineCombo1 = new QComboBox(GroupBox1);
  LineCombo1->addItems(steps);
  LineCombo1->setGeometry(3, 43, 54, 22);
  LineCombo1->setCurrentIndex(2);
  GammaCombo1 = new QComboBox(GroupBox1);
  GammaCombo1->addItems(steps);
  GammaCombo1->setGeometry(80, 43, 54, 22);
  GammaCombo1->setCurrentIndex(2);

  Button1 = new QPushButton(Q("決定"), this);
  Button1->setGeometry(86, 325, 75, 25);
  Button1->setDefault(true);

  connect(Order1, &TRadioGroup::Click, this, &TForm4::Order1Click);
  connect(Origin1, &TRadioGroup::Click, this, &TForm4::Origin1Click);
  connect(MakeHistoryMode, &TRadioGroup::Click, this, &TForm4::MakeHistoryModeClick);
  connect(GrphBTF1, &TRadioGroup::Click, this, &TForm4::GrphBTF1Click);
  connect(Scale1, &TRadioGroup::Click, this, &TForm4::Scale1Click);
  connect(Polarity1, &TRadioGroup::Click, this, &TForm4::Polarity1Click);
  connect(LineCombo1, &QComboBox::currentIndexChanged, this, &TForm4::LineCombo1Change);
  connect(GammaCombo1, &QComboBox::currentIndexChanged, this, &TForm4::GammaCombo1Change);
  connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
}

void TForm4::Order1Click(int index) {
  if (editor_) editor_->Order1Click(index);
}
void TForm4::Origin1Click(int index) {
  if (editor_) editor_->Origin1Click(index);
}
void TForm4::MakeHistoryModeClick(int index) {
  if (editor_) editor_->MakeHistoryModeClick(index);
}
void TForm4::GrphBTF1Click(int index) {
  if (editor_) editor_->GrphBTF1Click(index);
}
void TForm4::Scale1Click(int index) {
  if (editor_) editor_->Scale1Click(index);
}
void TForm4::Polarity1Click(int index) {
  if (editor_) editor_->Polarity1Click(index);
}
void TForm4::LineCombo1Change(int index) {
  if (editor_) editor_->LineCombo1Change(index);
}
void TForm4::GammaCombo1Change(int index) {
  if (editor_) editor_->GammaCombo1Change(index);
}
void TForm4::Button1Click() {
  if (editor_)
    editor_->Button1Click();
  else
    hide();
}

void TForm4::closeEvent(QCloseEvent* event) {
  if (closingWithProgram_) {
    event->accept();
    return;
  }
  // The close box hides the window the way "決定" does; it is never destroyed.
  event->ignore();
  Button1Click();
}

}  // namespace tav1
