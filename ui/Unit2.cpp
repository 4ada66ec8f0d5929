#include "ui/Unit2.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "core/editor/editor.h"
#include "ui/Dialog3.h"
#include "ui/dialog_seam.h"
#include "ui/look.h"
#include "ui/platform.h"

namespace tav1 {

void TImage::SetPicture(const QImage& image) {
  picture_ = image;
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  if (!picture_.isNull()) p.drawImage(0, 0, picture_);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(event->button(), event->position().toPoint());
}

TForm2::TForm2() {
  setWindowIcon(look::WindowIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  resize(447, 295);
  setAcceptDrops(true);
  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setFrameShape(QFrame::NoFrame);
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1 = new TImage(ScrollBox1);
  Image1->resize(0, 0);
  ScrollBox1->setWidget(Image1);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ScrollBox1);
  SetCrossHair(false);
  connect(Image1, &TImage::MouseDown, this, &TForm2::Image1MouseDown);
}

void TForm2::SetPicture(const QImage& image) {
  Image1->SetPicture(image);
  // The loader sets the scroll range; a picture of another size (a rotated
  // preview, for one) must still be reachable.
  if (Image1->width() < image.width() || Image1->height() < image.height())
    Image1->resize(std::max(Image1->width(), image.width()), std::max(Image1->height(), image.height()));
}

void TForm2::SetCrossHair(bool crossHair) {
  Image1->setCursor(crossHair ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TForm2::SetScrollRange(int width, int height) { Image1->resize(width, height); }

void TForm2::SetClientSize(int width, int height) { resize(std::max(width, 1), std::max(height, 1)); }

void TForm2::Recreate() {
  hide();
  // A new native window, as for the first show: a hidden X11 window has no
  // frame, so moving the old one put its client area, not its frame, at the
  // start-up place, and that place then crept by the frame at every exit.
  destroy(true, true);
  setWindowState(Qt::WindowNoState);
  Image1->SetPicture(QImage());
  Image1->resize(0, 0);
  setWindowTitle(QString());
  SetCrossHair(false);
  resize(447, 295);
  if (hasStartPlace_) move(startPlace_);
}

void TForm2::Image1MouseDown(Qt::MouseButton button, QPoint at) {
  if (editor_ == nullptr) return;
  const MouseButton b = button == Qt::RightButton    ? MouseButton::Right
                        : button == Qt::MiddleButton ? MouseButton::Middle
                                                     : MouseButton::Left;
  editor_->Image1MouseDown(b, at.x(), at.y());
}

void TForm2::closeEvent(QCloseEvent* event) {
  if (closingWithProgram_) {
    event->accept();
    return;
  }
  // An allowed close hides the window; it keeps its picture.
  const bool yes = closeDlg_ != nullptr && DialogSeam::Current().Exec(*closeDlg_) == mrYes;
  if (yes) {
    event->ignore();
    hide();
  } else {
    event->ignore();
  }
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  if (event->text().isEmpty() || editor_ == nullptr) {
    QWidget::keyPressEvent(event);
    return;
  }
  // The cursor's point on the picture, so that it agrees with a click there
  // also while the view is scrolled.
  const QPoint at = Image1->mapFromGlobal(QCursor::pos());
  editor_->Form2KeyPress(at.x(), at.y());
}

void TForm2::dragEnterEvent(QDragEnterEvent* event) {
  if (platform::OffersFiles(event->mimeData())) event->acceptProposedAction();
}

void TForm2::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = platform::DroppedPaths(event->mimeData());
  event->acceptProposedAction();
  if (editor_ != nullptr) editor_->Form2WMDropFiles(paths);
}

}  // namespace tav1
