#include "ui/look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTranslator>

namespace tav1::look {
namespace {

// Fusion with a light blue-grey palette; the proxy keeps Fusion's metrics so that
// the fixed control places stay valid.
class AquaLightSlateStyle : public QProxyStyle {
 public:
  AquaLightSlateStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {
    setObjectName(QString::fromLatin1(kStyleName));
  }
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    // Hints appear without delay.
    if (hint == SH_ToolTip_WakeUpDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
  void polish(QPalette& pal) override {
    const QColor window(0xdc, 0xe4, 0xec);
    const QColor button(0xe8, 0xee, 0xf4);
    const QColor text(0x1c, 0x26, 0x33);
    const QColor highlight(0x4f, 0x7c, 0xac);
    pal = QPalette(button, window);
    pal.setColor(QPalette::Window, window);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Base, QColor(0xfb, 0xfc, 0xfe));
    pal.setColor(QPalette::AlternateBase, QColor(0xee, 0xf2, 0xf7));
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::Button, button);
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::Highlight, highlight);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::ToolTipBase, QColor(0xf6, 0xf8, 0xe8));
    pal.setColor(QPalette::ToolTipText, text);
    pal.setColor(QPalette::Light, QColor(0xfa, 0xfc, 0xff));
    pal.setColor(QPalette::Midlight, QColor(0xee, 0xf2, 0xf7));
    pal.setColor(QPalette::Mid, QColor(0xa9, 0xb6, 0xc4));
    pal.setColor(QPalette::Dark, QColor(0x84, 0x93, 0xa4));
    pal.setColor(QPalette::Shadow, QColor(0x5a, 0x66, 0x74));
    pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8c, 0x97, 0xa3));
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8c, 0x97, 0xa3));
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8c, 0x97, 0xa3));
  }
};

QFont Pick(const QStringList& families, int pixelSize, bool fixed) {
  const QStringList installed = QFontDatabase::families();
  QString family = families.back();
  for (const QString& f : families) {
    if (installed.contains(f, Qt::CaseInsensitive)) {
      family = f;
      break;
    }
  }
  QFont font(family);
  font.setPixelSize(pixelSize);
  if (fixed) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::Monospace);
  }
  return font;
}

const QColor kInk(0x24, 0x33, 0x48);

QPolygonF Chevron(qreal x, bool pointsLeft) {
  // One arrow head 5 pixels wide, centred vertically on the 16-pixel square.
  if (pointsLeft) return QPolygonF({QPointF(x + 5, 3), QPointF(x, 8), QPointF(x + 5, 13)});
  return QPolygonF({QPointF(x, 3), QPointF(x + 5, 8), QPointF(x, 13)});
}

void DrawCurvedArrow(QPainter& p, bool left) {
  QPen pen(QColor(0x1f, 0x5f, 0xa8), 2.0, Qt::SolidLine, Qt::RoundCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  QPainterPath path;
  if (left) {
    path.moveTo(13, 13);
    path.cubicTo(14, 6, 9, 4, 4, 6);
  } else {
    path.moveTo(3, 13);
    path.cubicTo(2, 6, 7, 4, 12, 6);
  }
  p.drawPath(path);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x5f, 0xa8));
  if (left)
    p.drawPolygon(QPolygonF({QPointF(1, 6.5), QPointF(6, 2), QPointF(6.5, 10)}));
  else
    p.drawPolygon(QPolygonF({QPointF(15, 6.5), QPointF(10, 2), QPointF(9.5, 10)}));
}

}  // namespace

void InstallJapaneseToolkitTexts(QApplication& app) {
  auto* translator = new QTranslator(&app);
  if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(translator);
  else
    delete translator;
}

void ApplyStyle(QApplication& app) {
  auto* style = new AquaLightSlateStyle;
  QApplication::setStyle(style);
  app.setPalette(style->standardPalette());
  QPalette pal = app.palette();
  style->polish(pal);
  app.setPalette(pal);
  app.setStyleSheet(QString::fromLatin1(
      "QGroupBox { border: 1px solid #a9b6c4; border-radius: 3px; margin-top: 7px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"
      "QMenuBar { background: #dce4ec; }"));
}

QFont UiFont(int px) { return Pick({"Yu Gothic UI", "Noto Sans CJK JP"}, px, false); }
QFont GothicMonoFont(int px) {
  return Pick({QString::fromUtf8("ＭＳ ゴシック"), "MS Gothic", "Noto Sans Mono CJK JP"}, px, true);
}
QFont PGothicFont(int px) {
  return Pick({QString::fromUtf8("ＭＳ Ｐゴシック"), "MS PGothic", "Noto Sans CJK JP"}, px, false);
}
QFont TahomaFont(int px) { return Pick({"Tahoma", "Noto Sans CJK JP"}, px, false); }

QPixmap ButtonPicture(Picture which) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  switch (which) {
    case Picture::OpenFolder: {
      p.setPen(QPen(QColor(0x8a, 0x62, 0x12), 1));
      p.setBrush(QColor(0xf2, 0xc9, 0x5c));
      p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5), QPointF(13.5, 5),
                               QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
      p.setBrush(QColor(0xfa, 0xe0, 0x8e));
      p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5),
                               QPointF(1.5, 13.5)}));
      break;
    }
    case Picture::Floppy: {
      p.setPen(QPen(QColor(0x1d, 0x2c, 0x44), 1));
      p.setBrush(QColor(0x3b, 0x5f, 0x95));
      p.drawRect(QRectF(1.5, 1.5, 13, 13));
      p.setBrush(QColor(0xe9, 0xee, 0xf5));
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.setBrush(QColor(0xf8, 0xf8, 0xf8));
      p.drawRect(QRectF(3.5, 9.5, 9, 5));
      p.fillRect(QRectF(9, 2.5, 1.5, 3), QColor(0x3b, 0x5f, 0x95));
      break;
    }
    case Picture::UndoArrow: DrawCurvedArrow(p, true); break;
    case Picture::RedoArrow: DrawCurvedArrow(p, false); break;
    case Picture::Spanner: {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x6b, 0x78, 0x88));
      p.translate(8, 8);
      p.rotate(-45);
      p.drawRoundedRect(QRectF(-1.6, -1, 3.2, 8), 1, 1);
      QPainterPath head;
      head.addEllipse(QPointF(0, -3.5), 4, 4);
      QPainterPath jaw;
      jaw.addRect(QRectF(-1.3, -8, 2.6, 4.5));
      p.drawPath(head.subtracted(jaw));
      break;
    }
    case Picture::CurvePlot: {
      p.setPen(QPen(QColor(0x30, 0x3c, 0x4c), 1));
      p.setBrush(Qt::black);
      p.drawRect(QRectF(0.5, 0.5, 15, 15));
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(0xff, 0x60, 0x60), 1.2));
      QPainterPath c;
      c.moveTo(2, 14);
      c.cubicTo(5, 4, 9, 3, 14, 2);
      p.drawPath(c);
      p.setPen(QPen(QColor(0x70, 0xe0, 0x70), 1.2));
      p.drawLine(QPointF(2, 14), QPointF(14, 2));
      p.setPen(QPen(QColor(0x80, 0x9c, 0xff), 1.2));
      QPainterPath d;
      d.moveTo(2, 14);
      d.cubicTo(8, 13, 11, 10, 14, 2);
      p.drawPath(d);
      break;
    }
    case Picture::DoubleLeft:
    case Picture::DoubleRight:
    case Picture::Left:
    case Picture::Right: {
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      const bool left = which == Picture::DoubleLeft || which == Picture::Left;
      if (which == Picture::Left || which == Picture::Right) {
        p.drawPolygon(Chevron(5.5, left));
      } else {
        p.drawPolygon(Chevron(2.5, left));
        p.drawPolygon(Chevron(8.5, left));
      }
      break;
    }
    case Picture::BlackPoint:
    case Picture::WhitePoint: {
      p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
      p.setBrush(which == Picture::BlackPoint ? Qt::black : Qt::white);
      p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
      break;
    }
    case Picture::Dropper: {
      p.translate(8, 8);
      p.rotate(45);
      p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
      p.setBrush(QColor(0xd8, 0xe4, 0xf0));
      p.drawRect(QRectF(-1.5, -3, 3, 9));
      p.setBrush(QColor(0x30, 0x40, 0x55));
      p.drawRoundedRect(QRectF(-2.5, -7.5, 5, 4.5), 1.5, 1.5);
      p.drawLine(QPointF(0, 6), QPointF(0, 7.5));
      break;
    }
  }
  return pm;
}

QIcon ButtonIcon(Picture which) { return QIcon(ButtonPicture(which)); }

QPixmap WindowIconPixmap(int size) {
  // A tone curve on slate ground with a quill crossing it; 16 flat colours.
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  p.setPen(QPen(QColor(0x2b, 0x3a, 0x4e), 1.5));
  p.setBrush(QColor(0x4a, 0x63, 0x80));
  p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
  p.setPen(QPen(QColor(0xff, 0xff, 0xff), 2.4, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  QPainterPath curve;
  curve.moveTo(5, 27);
  curve.cubicTo(11, 10, 18, 7, 27, 5);
  p.drawPath(curve);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xf0, 0xc0, 0x40));
  QPainterPath quill;
  quill.moveTo(27, 12);
  quill.cubicTo(24, 20, 19, 24, 12, 27);
  quill.cubicTo(16, 22, 20, 16, 27, 12);
  p.drawPath(quill);
  p.setBrush(QColor(0xe0, 0x50, 0x50));
  p.drawEllipse(QPointF(8, 22), 2.3, 2.3);
  p.setBrush(QColor(0x50, 0xd0, 0x60));
  p.drawEllipse(QPointF(15, 13), 2.3, 2.3);
  p.setBrush(QColor(0x50, 0x90, 0xff));
  p.drawEllipse(QPointF(23, 7.5), 2.3, 2.3);
  return pm;
}

QIcon WindowIcon() {
  QIcon icon;
  icon.addPixmap(WindowIconPixmap(16));
  icon.addPixmap(WindowIconPixmap(32));
  return icon;
}

}  // namespace tav1::look
