#include "ui/Unit5.h"

#include <QLocale>

#include "codecs/file_io.h"
#include "codecs/jpeg_codec.h"
#include "ui/look.h"
#include "ui/platform.h"
#include "ui/updown.h"

namespace tav1 {

using look::Q;

QString FileSizeLabel(std::uint64_t bytes) {
  const QString number = QLocale().toString(static_cast<double>(bytes), 'f', 0);
  return Q("ファイルサイズ  ") + QStringLiteral("%1").arg(number, 10) + QStringLiteral(" Byte");
}

TForm5::TForm5(EditorView& view, JpegSaveRequest& request, QWidget* parent)
    : ModalDialog(273, 131, parent), view_(view), req_(request) {
  setWindowTitle(Q("JPG 保存"));
  SetEscapeIgnored(true);  // neither button is bound to Escape
  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setGeometry(8, 8, 257, 89);
  Label1 = new QLabel(Q("品質(1-100)"), Panel1);
  Label1->move(12, 14);
  Quality1 = new QLineEdit(QStringLiteral("100"), Panel1);
  Quality1->setReadOnly(true);
  Quality1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Quality1->setGeometry(82, 8, 55, 25);
  UpDown1 = new TUpDown(Panel1);
  UpDown1->setGeometry(137, 8, 16, 25);
  Progressive1 = new QCheckBox(Q("プログレッシブ"), Panel1);
  Progressive1->setGeometry(12, 39, 120, 17);
  Preview1 = new QPushButton(Q("プレビュー"), Panel1);
  Preview1->setGeometry(168, 8, 75, 41);
  Label2 = new QLabel(Q("ファイルサイズ"), Panel1);
  Label2->setGeometry(12, 62, 240, 20);
  OK1 = new QPushButton(QStringLiteral("OK"), this);
  OK1->setGeometry(109, 103, 75, 25);
  Cancel1 = new QPushButton(QStringLiteral("Cancel"), this);
  Cancel1->setGeometry(190, 103, 75, 25);
  for (QPushButton* b : {Preview1, OK1, Cancel1}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  setTabOrder(Preview1, Quality1);
  setTabOrder(Quality1, UpDown1);
  setTabOrder(UpDown1, Progressive1);
  setTabOrder(Progressive1, OK1);
  setTabOrder(OK1, Cancel1);
  Preview1->setFocus();

  connect(UpDown1, &TUpDown::Up, this, [this] { SetQuality(position_ + 1); });
  connect(UpDown1, &TUpDown::Down, this, [this] { SetQuality(position_ - 1); });
  connect(Preview1, &QPushButton::clicked, this, &TForm5::Preview1Click);
  connect(OK1, &QPushButton::clicked, this, &TForm5::OK1Click);
  connect(Cancel1, &QPushButton::clicked, this, &TForm5::Cancel1Click);
  move(req_.X5_1, req_.Y5_1);
}

void TForm5::SetQuality(int q) {
  position_ = std::clamp(q, 1, 100);
  Quality1->setText(QString::number(position_));
}

void TForm5::Preview1Click() {
  if (req_.Result == nullptr) return;
  view_.SetStatus("プレビュー作成中", true);
  previewFlag1_ = true;
  OK1->setEnabled(false);
  Cancel1->setEnabled(false);
  try {
    view_.PumpEvents();
    // Every preview starts again from the unchanged result image.
    std::vector<std::uint8_t> bytes = EncodeJpeg(*req_.Result, position_, Progressive1->isChecked());
    view_.PumpEvents();
    Label2->setText(FileSizeLabel(bytes.size()));
    Store decoded = DecodeJpegToStore(bytes);
    view_.PumpEvents();
    if (req_.Displayed != nullptr) {
      *req_.Displayed = std::move(decoded);
      view_.SetImagePicture(*req_.Displayed);
    }
    saveJpg1_ = std::move(bytes);
  } catch (const std::exception& e) {
    view_.MessageBox(e.what());
  }
  OK1->setEnabled(true);
  Cancel1->setEnabled(true);
  view_.SetStatus(std::string(16, ' '), true);
  setWindowTitle(Q("JPG 保存"));
}

void TForm5::OK1Click() {
  if (!previewFlag1_ || saveJpg1_.empty()) {
    platform::Beep();
    DialogSeam::Current().Message(this, Q("プレビューを作成して下さい"));
    return;
  }
  view_.SetStatus("JPG 保存中", true);
  try {
    // The file is exactly the stream whose size the label shows.
    WriteFileAtomic(req_.SaveFileName, saveJpg1_.data(), saveJpg1_.size());
    Store decoded = DecodeJpegToStore(saveJpg1_);
    if (req_.Displayed != nullptr) {
      *req_.Displayed = std::move(decoded);
      view_.SetImagePicture(*req_.Displayed);
    }
  } catch (const std::exception& e) {
    // The dialog stays open and can still be cancelled.
    view_.SetStatus(std::string(10, ' '), true);
    view_.MessageBox(e.what());
    return;
  }
  saveJpg1_.clear();
  req_.X5_1 = pos().x();
  req_.Y5_1 = pos().y();
  view_.SetStatus(std::string(10, ' '), true);
  done(mrOk);
}

void TForm5::Cancel1Click() {
  req_.X5_1 = pos().x();
  req_.Y5_1 = pos().y();
  saveJpg1_.clear();
  done(mrCancel);
}

}  // namespace tav1
