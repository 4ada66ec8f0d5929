#include "ui/Unit3.h"

#include <QPainter>

#include "ui/look.h"
#include "ui/platform.h"

namespace tav1 {

TForm3::TForm3() : image_(kGraphWidth, kGraphHeight, QImage::Format_RGB32) {
  setWindowTitle(look::Q("グラフ"));
  setWindowIcon(look::WindowIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  // Outer 278 x 346 with the usual frame: the client is the picture itself.
  setFixedSize(kGraphWidth, kGraphHeight);
  image_.fill(Qt::black);
}

void TForm3::SetPicture(const GraphPicture& picture) {
  const Raster& r = picture.picture;
  QImage img(r.Width(), r.Height(), QImage::Format_RGB32);
  for (int y = 0; y < r.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < r.Width(); ++x) line[x] = 0xFF000000u | r.Pixel(x, y);
  }
  QPainter p(&img);
  // 10 points on the reference screen; the lines are 13 pixels apart, so each
  // is set on a baseline 10 pixels below its top and its 13-pixel band is
  // filled black first (the text is opaque on black).
  const QFont font = look::GothicMonoFont(12);
  p.setFont(font);
  const QFontMetrics fm(font);
  for (const GraphText& t : picture.lines) {
    const QString text = platform::ToQ(t.text);
    p.fillRect(QRect(t.x, t.y, fm.horizontalAdvance(text), 13), Qt::black);
    p.setPen(QColor::fromRgb(0xFF000000u | t.colour));
    p.drawText(QPoint(t.x, t.y + 10), text);
  }
  p.end();
  image_ = img;
  update();
}

void TForm3::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, image_);
}

}  // namespace tav1
