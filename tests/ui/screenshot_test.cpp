// Not a test: renders the four windows (and the small dialogs) into PNG files for
// the README and for looking at the layout. Run on demand with
//   TAV1_SHOTS=<folder> ui_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshot*'
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdlib>

#include "core/editor/editor.h"
#include "scripted_seam.h"
#include "ui/Dialog1.h"
#include "ui/Dialog2.h"
#include "ui/Dialog3.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"
#include "ui/Unit6.h"
#include "ui/Unit7.h"
#include "ui/look.h"

namespace tav1 {
namespace {

// A window picture with a plain title bar, since offscreen grabs have no frame.
QImage Framed(QWidget& w) {
  const QPixmap body = w.grab();
  const int bar = 22;
  QImage out(body.width() + 2, body.height() + bar + 1, QImage::Format_RGB32);
  out.fill(QColor(0x5a, 0x6e, 0x88));
  QPainter p(&out);
  p.drawPixmap(1, bar, body);
  p.drawPixmap(4, 3, look::WindowIconPixmap(16));
  p.setPen(Qt::white);
  p.setFont(look::UiFont(12));
  p.drawText(QRect(24, 0, out.width() - 28, bar), Qt::AlignVCenter | Qt::AlignLeft, w.windowTitle());
  return out;
}

TEST(Screenshot, DISABLED_AllWindows) {
  const char* outEnv = std::getenv("TAV1_SHOTS");
  if (outEnv == nullptr) GTEST_SKIP() << "TAV1_SHOTS names the output folder";
  const QString out = QString::fromLocal8Bit(outEnv);
  QDir().mkpath(out);
  QTemporaryDir dir;
  setenv("LOCALAPPDATA", dir.path().toUtf8().constData(), 1);
  setenv("TMPDIR", dir.path().toUtf8().constData(), 1);
  test::ScriptedSeam seam;
  DialogSeam::Install(&seam);
  {
    TForm1 f;
    f.FormCreate();
    f.show();
    f.OpenCommandLine({TAV1_TEST_DATA_DIR "/../../resources/sample.png"});
    f.StringGrid1->SetSelection(GridRect{1, 1, 1, 1});
    f.StringGrid1MouseUp(Qt::LeftButton);
    f.IncBtn1->click();
    f.Inc2->click();
    f.GraphShow1->click();
    f.Setting1Click();
    f.Panel2->setText(QStringLiteral("処理時間: 12 ms"));
    // The offscreen screen is small; show the picture whole as on a desktop.
    f.Form2().SetClientSize(f.Form2().Image1->width() + 4, f.Form2().Image1->height() + 4);
    QCoreApplication::processEvents();

    const QImage main = Framed(f);
    const QImage image = Framed(f.Form2());
    const QImage graph = Framed(f.Form3());
    const QImage settings = Framed(f.Form4());
    QImage all(std::max(main.width() + 12 + image.width(), settings.width() + graph.width() + 24) + 20,
               std::max(main.height(), image.height()) + std::max(graph.height(), settings.height()) + 30,
               QImage::Format_RGB32);
    all.fill(QColor(0x2d, 0x38, 0x46));
    QPainter p(&all);
    p.drawImage(10, 10, main);
    p.drawImage(22 + main.width(), 10, image);
    const int lower = 20 + std::max(main.height(), image.height());
    p.drawImage(10, lower, settings);
    p.drawImage(22 + settings.width(), lower, graph);
    p.end();
    EXPECT_TRUE(all.save(out + QStringLiteral("/screenshot.png")));

    for (QMenu* m : {f.File1, f.Edit1, f.M1, f.OptionO1}) {
      m->popup(QPoint(0, 0));
      QCoreApplication::processEvents();
      m->grab().save(out + QStringLiteral("/menu-%1.png").arg(m->title().left(2)));
      m->hide();
    }
    JpegSaveRequest request;
    TForm5 jpeg(f, request);
    Framed(jpeg).save(out + QStringLiteral("/jpeg.png"));
    Store small = bmp::MakeImage(100, 50, 24);
    TForm6 shrink(f, small, "/dev/null");
    Framed(shrink).save(out + QStringLiteral("/shrink.png"));
    TAllClearDlg clear;
    clear.Panel1->setText(QStringLiteral("全てクリアしますか？（彩度含む）"));
    Framed(clear).save(out + QStringLiteral("/allclear.png"));
    TPickUPDlg pick;
    pick.Label1->setText(QStringLiteral("元画像 R=255 G=128 B=7\n現画像 R=255 G=131 B=0"));
    Framed(pick).save(out + QStringLiteral("/pickup.png"));
    TUndoRedoEdge edge;
    edge.Label2->setText(QStringLiteral("これ以上の Undo はありません"));
    Framed(edge).save(out + QStringLiteral("/edge.png"));
    TForm2CloseDlg close;
    Framed(close).save(out + QStringLiteral("/close.png"));
  }
  DialogSeam::Install(nullptr);
  // The installed desktop icons are these same drawings.
  for (int size : {16, 32, 48, 64, 128})
    EXPECT_TRUE(look::WindowIconPixmap(size).save(out + QStringLiteral("/quillmoor-%1.png").arg(size)));
}

}  // namespace
}  // namespace tav1
