#include "ui/Unit6.h"

#include <QGuiApplication>
#include <QScreen>

#include "codecs/bmp_layout.h"
#include "codecs/file_io.h"
#include "ui/look.h"
#include "ui/platform.h"
#include "ui/updown.h"

namespace tav1 {

using look::Q;

namespace {

QSize StoreSize(const Store& s) {
  bmp::HeaderView h;
  if (!bmp::ReadHeader(s.data(), s.size(), h)) return QSize(0, 0);
  return QSize(h.width, h.height);
}

}  // namespace

TForm6::TForm6(EditorView& view, const Store& result, const std::string& smallPath,
               QWidget* parent)
    : ModalDialog(226, 118, parent),
      view_(view),
      source_(result),
      smallPath_(smallPath),
      boxes_(StoreSize(result).width(), StoreSize(result).height()) {
  setWindowTitle(Q("縮小"));
  const QSize src = StoreSize(result);
  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setGeometry(8, 8, 209, 73);
  Label1 = new QLabel(Q("元画像"), Panel1);
  Label1->move(8, 8);
  Label2 = new QLabel(QString::number(src.width()), Panel1);
  Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label2->setGeometry(58, 8, 51, 18);
  Label4 = new QLabel(QStringLiteral("*"), Panel1);
  Label4->move(119, 8);
  Label5 = new QLabel(QString::number(src.height()), Panel1);
  Label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label5->setGeometry(134, 8, 51, 18);
  Label3 = new QLabel(Q("新画像"), Panel1);
  Label3->move(8, 42);
  SpinEdit1 = new TSpinEdit(Panel1);
  SpinEdit1->setGeometry(48, 39, 65, 22);
  Label6 = new QLabel(QStringLiteral("*"), Panel1);
  Label6->move(119, 42);
  SpinEdit2 = new TSpinEdit(Panel1);
  SpinEdit2->setGeometry(136, 39, 65, 22);
  Shrink1 = AddResultButton(Q("縮小"), QRect(50, 87, 75, 25), mrNone);
  Cancel1 = AddResultButton(Q("キャンセル"), QRect(142, 87, 75, 25), mrNone);
  disconnect(Shrink1, nullptr, this, nullptr);
  disconnect(Cancel1, nullptr, this, nullptr);
  connect(Shrink1, &QPushButton::clicked, this, &TForm6::Shrink1Click);
  connect(Cancel1, &QPushButton::clicked, this, &TForm6::Cancel1Click);
  connect(SpinEdit1, &TSpinEdit::Changed, this, &TForm6::SpinEdit1Change);
  connect(SpinEdit2, &TSpinEdit::Changed, this, &TForm6::SpinEdit2Change);
  setTabOrder(SpinEdit1, SpinEdit2);
  setTabOrder(SpinEdit2, Shrink1);
  setTabOrder(Shrink1, Cancel1);
  ShowBoxes();
  SpinEdit1->setFocus();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect work = screen->availableGeometry();
    move(work.width() / 2 - 162, work.height() / 2 - 73);
  }
}

void TForm6::ShowBoxes() {
  SpinEdit1->SetText(platform::ToQ(boxes_.WidthText()));
  SpinEdit2->SetText(platform::ToQ(boxes_.HeightText()));
}

void TForm6::SpinEdit1Change(const QString& text) {
  boxes_.WidthEdited(platform::FromQ(text));
  ShowBoxes();
}

void TForm6::SpinEdit2Change(const QString& text) {
  boxes_.HeightEdited(platform::FromQ(text));
  ShowBoxes();
}

void TForm6::Shrink1Click() {
  const ShrinkSizeBoxes::Check check = boxes_.CheckSize();
  if (check != ShrinkSizeBoxes::Check::Ok) {
    DialogSeam::Current().Message(this, Q(ShrinkSizeBoxes::CheckMessage(check)));
    done(mrCancel);
    return;
  }
  try {
    view_.SetStatus("縮小中...", true);
    const Store target = Shrink(source_, boxes_.Width(), boxes_.Height());
    view_.SetStatus("\u3000\u3000\u3000\u3000\u3000", true);
    WriteFileAtomic(smallPath_, target.data(), target.size());
  } catch (const std::exception& e) {
    view_.MessageBox(e.what());
    done(mrCancel);
    return;
  }
  done(mrOk);
}

void TForm6::Cancel1Click() { done(mrCancel); }

}  // namespace tav1
