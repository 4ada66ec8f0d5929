// The windows driven offscreen through the real Editor: start-up with and
// without a picture, what the controls show, drops, the settings window, the
// image window's question and pick-up, minimising, and the JPEG and shrink
// dialogs. Pictures are small BMP files written into a temporary folder;
// LOCALAPPDATA and TMPDIR point there too, so no real settings file is touched.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QDropEvent>
#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <cstdlib>
#include <functional>
#include <memory>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_layout.h"
#include "core/editor/editor.h"
#include "core/editor/editor_state.h"
#include "scripted_seam.h"
#include "ui/Dialog1.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"
#include "ui/Unit6.h"
#include "ui/look.h"
#include "ui/updown.h"

namespace tav1 {
namespace {

using look::Q;

const char* const kKnownSettings = "[Position]\r\nX1=30\r\nY1=30\r\n[Settings]\r\n";

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    lad_ = dir_.filePath(QStringLiteral("lad"));
    tmp_ = dir_.filePath(QStringLiteral("tmp"));
    QDir().mkpath(lad_);
    QDir().mkpath(tmp_);
    setenv("LOCALAPPDATA", lad_.toUtf8().constData(), 1);
    setenv("TMPDIR", tmp_.toUtf8().constData(), 1);
    DialogSeam::Install(&seam_);
  }
  void TearDown() override {
    form_.reset();
    DialogSeam::Install(nullptr);
  }

  void WriteSettings(const std::string& text) {
    QDir().mkpath(lad_ + QStringLiteral("/Quillmoor"));
    QFile f(lad_ + QStringLiteral("/Quillmoor/TAV1.INI"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
  }

  // A 24-bit BMP whose pixel (x, y), row 0 at the top, is colour(x, y).
  std::string Picture24(const char* name, int w, int h,
                        const std::function<TTriple(int, int)>& colour) {
    Store s = bmp::MakeImage(w, h, 24);
    const auto stride = static_cast<std::size_t>(bmp::Stride24(w));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        auto* p = reinterpret_cast<TTriple*>(s.data() + 54 + static_cast<std::size_t>(h - 1 - y) * stride) + x;
        *p = colour(x, y);
      }
    const std::string path = dir_.filePath(QString::fromUtf8(name)).toStdString();
    WriteBmp(path, s);
    return path;
  }
  std::string Grey(const char* name) {
    return Picture24(name, 4, 3, [](int, int) { return TTriple{90, 60, 30}; });
  }

  TForm1& Start(const std::vector<std::string>& args = {}) {
    form_ = std::make_unique<TForm1>();
    form_->FormCreate();
    form_->show();
    form_->OpenCommandLine(args);
    return *form_;
  }

  QString Cell(int col, int row) { return form_->StringGrid1->item(row, col)->text(); }
  const EditorState& State() { return form_->editor().State(); }

  void Drop(QWidget* target, const std::vector<std::string>& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    mime.setUrls(urls);
    // A drag first enters, as from a file manager; the drop follows on the same target.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent ev(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &ev);
  }

  void ClickCell(int col, int row, Qt::MouseButton b = Qt::LeftButton) {
    TStringGrid* g = form_->StringGrid1;
    const QPoint at = g->visualRect(g->model()->index(row, col)).center();
    QTest::mouseClick(g->viewport(), b, {}, at);
  }

  QTemporaryDir dir_;
  QString lad_;
  QString tmp_;
  test::ScriptedSeam seam_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(UiTest, FirstStartWithoutPictureShowsTheIdleMainWindow) {
  TForm1& f = Start();
  ASSERT_EQ(seam_.messages.size(), 1u);
  EXPECT_TRUE(seam_.messages[0].contains(Q(" に TAV1.INI ファイルを作成します。")));
  // Asked before the main window is shown, so the box has no parent: a hidden
  // parent would get its native window too early and lose its place and size.
  EXPECT_EQ(seam_.messageParents[0], nullptr);
  EXPECT_EQ(f.windowTitle(), QStringLiteral("TAV1"));
  EXPECT_EQ(f.Panel2->text(), Q("手動履歴作成はウィンドウ地を右クリック"));
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(Cell(0, row), "0");
    EXPECT_EQ(Cell(1, row), "0");
    EXPECT_EQ(Cell(2, row), "255");
  }
  // Automatic application is on by default, so there is nothing to apply by hand.
  EXPECT_TRUE(f.AutoApplyCB1->isChecked());
  EXPECT_FALSE(f.ApplyBB->isEnabled());
  EXPECT_FALSE(f.applymenu1->isEnabled());
  EXPECT_EQ(f.TrackBar1->value(), 10);
  EXPECT_FALSE(f.Form2().isVisible());
  EXPECT_FALSE(f.Form3().isVisible());
  EXPECT_FALSE(f.Form4().isVisible());
  EXPECT_FALSE(State().img.ReadyFlag);
  EXPECT_EQ(f.Form3().windowTitle(), Q("グラフ"));
  EXPECT_EQ(f.Form4().windowTitle(), Q("設定"));
}

TEST_F(UiTest, StartWithOnePictureShowsItAndDrawsTheGraph) {
  WriteSettings(kKnownSettings);
  const std::string path = Picture24("photo.bmp", 4, 3, [](int x, int y) {
    return TTriple{static_cast<std::uint8_t>(10 * x), static_cast<std::uint8_t>(20 * y), 200};
  });
  TForm1& f = Start({path});
  EXPECT_TRUE(seam_.messages.empty());
  EXPECT_TRUE(State().img.ReadyFlag);
  EXPECT_EQ(f.windowTitle(), QStringLiteral("TAV1"));
  EXPECT_TRUE(f.Panel2->text().trimmed().isEmpty());
  TForm2& img = f.Form2();
  EXPECT_TRUE(img.isVisible());
  EXPECT_EQ(img.windowTitle(), QStringLiteral("photo.bmp ( 24 bit )"));
  const QImage& shown = img.Image1->Picture();
  ASSERT_EQ(shown.size(), QSize(4, 3));
  EXPECT_EQ(shown.pixelColor(3, 2), QColor(200, 40, 30));  // red 200, green 20*2, blue 10*3
  EXPECT_EQ(img.Image1->cursor().shape(), Qt::CrossCursor);
  // The graph button shows the graph window; identity curves coincide on the
  // diagonal and add up to white.
  f.GraphShow1->click();
  EXPECT_TRUE(f.Form3().isVisible());
  EXPECT_EQ(f.Form3().Image1().pixelColor(7 + 128, 262 - 128), QColor(Qt::white));
}

TEST_F(UiTest, ArgumentsOtherThanOneExistingFileOpenNothingSilently) {
  WriteSettings(kKnownSettings);
  const std::string a = Grey("a.bmp");
  const std::vector<std::vector<std::string>> cases = {
      {a, a}, {dir_.filePath(QStringLiteral("missing.bmp")).toStdString()}};
  for (const auto& args : cases) {
    TForm1& f = Start(args);
    EXPECT_FALSE(State().img.ReadyFlag) << args.size();
    EXPECT_FALSE(f.Form2().isVisible());
    EXPECT_TRUE(seam_.messages.empty());
  }
}

TEST_F(UiTest, GridShowsTheStoredParameterSet) {
  WriteSettings(std::string(kKnownSettings) +
                "[Parameter]\r\nR0=10\r\nR1=5\r\nR2=200\r\nG1=-3\r\nB0=-7\r\nB2=300\r\n");
  Start();
  EXPECT_EQ(Cell(0, 0), "10");
  EXPECT_EQ(Cell(1, 0), "+5");
  EXPECT_EQ(Cell(2, 0), "200");
  EXPECT_EQ(Cell(1, 1), "-3");
  EXPECT_EQ(Cell(0, 2), "-7");
  EXPECT_EQ(Cell(2, 2), "300");
}

TEST_F(UiTest, ApplyControlsFollowAutomaticApplication) {
  WriteSettings(std::string(kKnownSettings) + "AutoApply=0\r\n");
  TForm1& f = Start({Grey("g.bmp")});
  EXPECT_FALSE(f.AutoApplyCB1->isChecked());
  EXPECT_TRUE(f.ApplyBB->isEnabled());
  EXPECT_TRUE(f.applymenu1->isEnabled());

  f.ApplyBB->click();
  EXPECT_TRUE(f.Panel2->text().startsWith(Q("処理時間: "))) << f.Panel2->text().toStdString();
  EXPECT_TRUE(f.Panel2->text().endsWith(QStringLiteral(" ms")));

  f.AutoApplyCB1->click();
  EXPECT_TRUE(State().AutoApply_B);
  EXPECT_FALSE(f.ApplyBB->isEnabled());
  EXPECT_FALSE(f.applymenu1->isEnabled());
  for (QPushButton* b : {f.Dec2, f.Inc2, f.DecBtn1, f.IncBtn1}) EXPECT_TRUE(b->isEnabled());
}

TEST_F(UiTest, ButtonAndMenuItemOfEachPairRunTheSameCommand) {
  WriteSettings(std::string(kKnownSettings) + "AutoApply=0\r\n");
  TForm1& f = Start();
  seam_.openAnswers = {QString::fromStdString(Grey("first.bmp")),
                       QString::fromStdString(Grey("second.bmp"))};
  f.OpenButton1->click();
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("first.bmp ( 24 bit )"));
  f.Open1->trigger();
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("second.bmp ( 24 bit )"));

  QString edgeText;
  seam_.onExec = [&](QDialog& d) {
    if (auto* l = d.findChild<QLabel*>()) edgeText = l->text();
    return int(mrOk);
  };
  struct Pair {
    const char* name;
    std::function<void()> button, menu, reset;
    std::function<bool()> ran;
  };
  const std::vector<Pair> pairs = {
      {"save", [&] { f.SaveButton1->click(); }, [&] { f.Saveas1->trigger(); },
       [&] { seam_.lastSave.reset(); }, [&] { return seam_.lastSave.has_value(); }},
      {"undo", [&] { f.Undo->click(); }, [&] { f.Undo1->trigger(); }, [&] { edgeText.clear(); },
       [&] { return edgeText == Q("これ以上の Undo はありません"); }},
      {"redo", [&] { f.Redo->click(); }, [&] { f.Redo1->trigger(); }, [&] { edgeText.clear(); },
       [&] { return edgeText == Q("これ以上の Redo はありません"); }},
      {"apply", [&] { f.ApplyBB->click(); }, [&] { f.applymenu1->trigger(); },
       [&] { f.Panel2->setText(QString()); },
       [&] { return f.Panel2->text().startsWith(Q("処理時間: ")); }},
      {"settings", [&] { f.SettingButton1->click(); }, [&] { f.Setting1->trigger(); },
       [&] { f.Form4().hide(); }, [&] { return f.Form4().isVisible(); }},
  };
  for (const Pair& p : pairs) {
    p.reset();
    p.button();
    EXPECT_TRUE(p.ran()) << p.name << " button";
    p.reset();
    p.menu();
    EXPECT_TRUE(p.ran()) << p.name << " menu item";
  }
}

TEST_F(UiTest, SliderShowsItsFactorAsAHintAndApplies) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  f.TrackBar1->setValue(15);  // as a drag would
  EXPECT_EQ(f.TrackBar1->toolTip(), QStringLiteral("1.5"));
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("1.5"));
  EXPECT_TRUE(f.Panel2->text().startsWith(Q("処理時間: ")));
  QToolTip::hideText();
}

// Qt hides a tooltip whenever the window under it loses activation. With the
// graph shown and "グラフ前面化" on, each apply puts the graph in front; that
// must not take activation from the main window, or the slider's hint vanishes
// on a real desktop as soon as the value changes.
TEST_F(UiTest, GraphToFrontDuringASliderDragKeepsTheMainWindowActive) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  f.GraphShow1->click();
  ASSERT_TRUE(f.Form3().isVisible());
  f.activateWindow();
  QCoreApplication::processEvents();

  struct DeactivationCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::WindowDeactivate) ++count;
      return false;
    }
  } counter;
  f.installEventFilter(&counter);
  f.TrackBar1->setValue(25);
  QCoreApplication::processEvents();
  f.removeEventFilter(&counter);

  EXPECT_EQ(counter.count, 0);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("2.5"));
  QToolTip::hideText();
}

TEST_F(UiTest, StepButtonActsOnTheClickedCellAndApplies) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  ClickCell(1, 1);  // green gamma
  f.IncBtn1->click();
  EXPECT_EQ(Cell(1, 1), "+1");
  EXPECT_EQ(Cell(1, 0), "0");
  EXPECT_EQ(Cell(1, 2), "0");
  EXPECT_TRUE(f.Panel2->text().startsWith(Q("処理時間: ")));
  // The apply redrew the image window's picture and caption.
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("g.bmp ( 24 bit )"));
}

TEST_F(UiTest, DraggingDownAColumnMakesTheStepActOnAllChannels) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  TStringGrid* g = f.StringGrid1;
  QWidget* vp = g->viewport();
  const QPoint top = g->visualRect(g->model()->index(0, 1)).center();
  const QPoint bottom = g->visualRect(g->model()->index(2, 1)).center();
  QTest::mousePress(vp, Qt::LeftButton, {}, top);
  QMouseEvent move(QEvent::MouseMove, QPointF(bottom), vp->mapToGlobal(QPointF(bottom)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(vp, &move);
  QTest::mouseRelease(vp, Qt::LeftButton, {}, bottom);
  EXPECT_EQ((g->Selection()), (GridRect{1, 0, 1, 2}));
  EXPECT_EQ((g->CurrentCell()), (GridCell{1, 2}));
  f.DecBtn1->click();
  for (int row = 0; row < 3; ++row) EXPECT_EQ(Cell(1, row), "-1") << row;
}

TEST_F(UiTest, RightClickOnASelectedColumnAsksAndClearsItWhole) {
  WriteSettings(std::string(kKnownSettings) + "[Parameter]\r\nR1=5\r\nG1=6\r\nB1=7\r\n");
  TForm1& f = Start({Grey("g.bmp")});
  f.StringGrid1->SetSelection(GridRect{1, 0, 1, 2});
  f.StringGrid1MouseUp(Qt::LeftButton);  // accepts the column selection
  QString asked;
  seam_.onExec = [&](QDialog& d) {
    asked = d.findChild<QLabel*>()->text();
    return int(mrOk);
  };
  ClickCell(2, 0, Qt::RightButton);  // the right press must not move the selection
  EXPECT_EQ(asked, Q("クリアしますか？"));
  EXPECT_EQ((f.StringGrid1->Selection()), (GridRect{1, 0, 1, 2}));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(Cell(1, row), "0");
}

TEST_F(UiTest, SettingsChoicesTakeEffectAtOnceAndDecisionHides) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start();
  f.SettingButton1->click();
  TForm4& s = f.Form4();
  EXPECT_TRUE(s.isVisible());
  s.Order1->Item(1)->click();  // "G->L"
  EXPECT_EQ(State().OrderFlag_I, 1);
  s.MakeHistoryMode->Item(1)->click();  // "手動"
  EXPECT_EQ(State().MakeHistoryMode_I, 1);
  s.LineCombo1->setCurrentIndex(4);  // "32"
  EXPECT_EQ(State().F4_LineCombo1, 4);
  s.Button1->click();
  EXPECT_FALSE(s.isVisible());
}

TEST(TRadioGroupTest, OutOfRangeIndexesShowTheLastItemOrNone) {
  QWidget host;
  TRadioGroup g(QStringLiteral("g"), {"a", "b"}, 2, &host);
  const std::vector<std::pair<int, int>> cases = {{0, 0}, {1, 1}, {5, 1}, {-1, -1}, {-3, -1}};
  for (const auto& [set, shown] : cases) {
    g.SetItemIndex(set);
    EXPECT_EQ(g.ItemIndex(), shown) << set;
  }
}

TEST_F(UiTest, DroppedFilesOpenOnlyOneAtATime) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start();
  const std::string a = Grey("a.bmp");
  const std::string b = Grey("b.bmp");

  Drop(&f, {a, b});
  ASSERT_EQ(seam_.messages.size(), 1u);
  EXPECT_EQ(seam_.messages[0], Q("１ファイルだけドロップして下さい。"));
  EXPECT_FALSE(State().img.ReadyFlag);
  EXPECT_FALSE(f.Form2().isVisible());

  Drop(&f, {a});
  EXPECT_TRUE(State().img.ReadyFlag);
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("a.bmp ( 24 bit )"));

  Drop(&f.Form2(), {a, b});  // two on the image window: nothing at all
  EXPECT_EQ(seam_.messages.size(), 1u);
  Drop(&f.Form2(), {b});
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("b.bmp ( 24 bit )"));
}

TEST_F(UiTest, OpeningAPngPutsTheImageWindowBackAtItsStartPlace) {
  WriteSettings("[Position]\r\nX2=150\r\nY2=40\r\n");
  TForm1& f = Start({Grey("g.bmp")});
  f.Form2().move(300, 260);
  QImage png(5, 4, QImage::Format_ARGB32);
  png.fill(QColor(20, 40, 60, 0));  // transparent pixels keep their stored colour
  const QString path = dir_.filePath(QStringLiteral("p.png"));
  ASSERT_TRUE(png.save(path));
  Drop(&f, {path.toStdString()});
  EXPECT_EQ(f.Form2().pos(), QPoint(150, 40));
  EXPECT_TRUE(f.Form2().isVisible());
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("p.png ( 24 bit )"));
  EXPECT_EQ(f.Form2().Image1->Picture().pixelColor(4, 3), QColor(20, 40, 60));
}

TEST_F(UiTest, MinimiseCarriesTheOtherWindowsAndKeepsHiddenOnesHidden) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  f.GraphShow1->click();
  ASSERT_TRUE(f.Form3().isVisible());
  ASSERT_FALSE(f.Form4().isVisible());

  f.setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(f.Form2().windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(f.Form3().windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(f.Form4().isVisible());

  f.setWindowState(Qt::WindowNoState);
  EXPECT_FALSE(f.Form2().windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(f.Form3().windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(f.Form4().windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(f.Form4().isVisible());
}

// On X11 any state change of a hidden window that was shown before maps it
// again, so a restore brought back a settings window the user had closed. A
// hidden window is not touched; it takes the main window's state when shown.
TEST_F(UiTest, MinimiseAndRestoreLeaveAWindowHiddenAfterUseAlone) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  f.SettingButton1->click();
  ASSERT_TRUE(f.Form4().isVisible());
  f.Form4().Button1->click();
  ASSERT_FALSE(f.Form4().isVisible());

  struct StateChangeCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::WindowStateChange) ++count;
      return false;
    }
  } counter;
  f.Form4().installEventFilter(&counter);
  f.setWindowState(Qt::WindowMinimized);
  f.setWindowState(Qt::WindowNoState);
  EXPECT_EQ(counter.count, 0);
  EXPECT_FALSE(f.Form4().isVisible());

  // Shown while the main window is minimised, it comes up minimised too.
  f.setWindowState(Qt::WindowMinimized);
  f.SetSettingsWindowVisible(true);
  EXPECT_TRUE(f.Form4().isVisible());
  EXPECT_TRUE(f.Form4().windowState() & Qt::WindowMinimized);
  f.setWindowState(Qt::WindowNoState);
  EXPECT_FALSE(f.Form4().windowState() & Qt::WindowMinimized);
  f.Form4().removeEventFilter(&counter);
}

TEST_F(UiTest, ImageWindowClosesOnlyWhenTheQuestionIsAnsweredYes) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  TForm2& img = f.Form2();
  const std::vector<std::pair<int, bool>> answers = {
      {mrNo, true}, {mrCancel, true}, {mrYes, false}};
  for (const auto& [answer, stillShown] : answers) {
    seam_.onExec = [answer = answer](QDialog&) { return answer; };
    img.close();
    EXPECT_EQ(img.isVisible(), stillShown) << answer;
  }
  EXPECT_EQ(seam_.execTitles.back(), Q("TAV1 確認"));
  EXPECT_FALSE(img.Image1->Picture().isNull());  // hidden, not destroyed
}

TEST_F(UiTest, PickUpReadsThePicturePointOfAScrolledView) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Picture24("big.bmp", 300, 200, [](int x, int y) {
    return TTriple{7, static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x % 256)};
  })});
  TForm2& img = f.Form2();
  img.resize(100, 80);
  img.ScrollBox1->horizontalScrollBar()->setValue(150);
  img.ScrollBox1->verticalScrollBar()->setValue(100);
  QString label;
  seam_.onExec = [&](QDialog& d) {
    if (auto* pick = qobject_cast<TPickUPDlg*>(&d)) label = pick->Label1->text();
    return int(mrYes);  // "黒(&B)"
  };
  // A press in the middle of the scrolled viewport.
  const QPoint inViewport(20, 10);
  const QPoint onPicture = img.Image1->mapFrom(img.ScrollBox1->viewport(), inViewport);
  ASSERT_EQ(onPicture, QPoint(170, 110));
  QTest::mousePress(img.Image1, Qt::LeftButton, {}, onPicture);
  EXPECT_EQ(label, Q("元画像 R=170 G=110 B=7\n現画像 R=170 G=110 B=7"));
  EXPECT_EQ(Cell(0, 0), "170");
  EXPECT_EQ(Cell(0, 1), "110");
  EXPECT_EQ(Cell(0, 2), "7");

  // A character key picks at the cursor's picture point, scroll offset included.
  const QPoint cursorAt = img.ScrollBox1->viewport()->mapToGlobal(QPoint(30, 40));
  QCursor::setPos(cursorAt);
  if (QCursor::pos() != cursorAt) GTEST_SKIP() << "this platform cannot place the cursor";
  label.clear();
  seam_.onExec = [&](QDialog& d) {
    if (auto* pick = qobject_cast<TPickUPDlg*>(&d)) label = pick->Label1->text();
    return int(mrCancel);
  };
  QTest::keyClick(&img, Qt::Key_Space);
  // The current colour is the result after the new black point (170, 110, 7)
  // was applied, so the two lines differ now.
  EXPECT_EQ(label, Q("元画像 R=180 G=140 B=7\n現画像 R=30 G=52 B=0"));
}

TEST_F(UiTest, BackgroundRightClickAndUndoReachTheHistory) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  // A right press on the window's background records; nothing changed since loading.
  QTest::mousePress(f.centralWidget(), Qt::RightButton, {}, QPoint(200, 250));
  EXPECT_EQ(f.Panel2->text(), Q("Undo　不作成（同じ設定値）"));
  QString label;
  seam_.onExec = [&](QDialog& d) {
    label = d.findChild<QLabel*>()->text();
    return int(mrOk);
  };
  f.Undo->click();
  EXPECT_EQ(seam_.execTitles.back(), Q("メッセージ"));
  EXPECT_EQ(label, Q("これ以上の Undo はありません"));
  f.Redo1->trigger();
  EXPECT_EQ(label, Q("これ以上の Redo はありません"));
}

TEST_F(UiTest, GridKeysSelectAndAskToClear) {
  WriteSettings(std::string(kKnownSettings) + "[Parameter]\r\nG2=200\r\n");
  TForm1& f = Start({Grey("g.bmp")});
  f.StringGrid1->setFocus();
  ClickCell(2, 0);
  QTest::keyClick(f.StringGrid1, Qt::Key_Down);  // an arrow acts like a click on the new cell
  EXPECT_EQ((f.StringGrid1->Selection()), (GridRect{2, 1, 2, 1}));
  seam_.onExec = [](QDialog&) { return int(mrOk); };
  QTest::keyClick(f.StringGrid1, Qt::Key_0, Qt::KeypadModifier);
  EXPECT_EQ(Cell(2, 1), "255");

  // A selection set by the program extends from its top-left cell.
  f.StringGrid1->SetSelection(GridRect{0, 0, 2, 0});
  EXPECT_EQ((f.StringGrid1->CurrentCell()), (GridCell{2, 0}));
  QTest::keyClick(f.StringGrid1, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ((f.StringGrid1->Selection()), (GridRect{0, 0, 2, 1}));
}

TEST_F(UiTest, ClipboardPasteOpensAndCopyPutsTheShownPicture) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start();
  QImage picture(3, 2, QImage::Format_RGB32);
  picture.fill(QColor(10, 20, 30));
  picture.setPixelColor(2, 1, QColor(200, 100, 50));
  QGuiApplication::clipboard()->setImage(picture);
  f.Paste1->trigger();
  EXPECT_TRUE(State().img.ReadyFlag);
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("TAV1_Tmp_Clipboard1.bmp ( 24 bit )"));
  EXPECT_EQ(f.Form2().Image1->Picture().pixelColor(2, 1), QColor(200, 100, 50));

  QGuiApplication::clipboard()->clear();
  f.Copy1->trigger();
  const QImage copied = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(3, 2));
  EXPECT_EQ(copied.pixelColor(2, 1), QColor(200, 100, 50));
  EXPECT_EQ(copied.pixelColor(0, 0), QColor(10, 20, 30));
}

TEST_F(UiTest, An8BitPictureCopiedAndPastedBackIs24BitWithTheSameColours) {
  WriteSettings(kKnownSettings);
  // 5 x 3 palette picture (stride 8, so row padding matters), palette not the grey ramp.
  Store s = bmp::MakeImage(5, 3, 8);
  for (int i = 0; i < 256; ++i) {
    s[54 + 4 * i] = static_cast<std::uint8_t>(i);                // blue
    s[54 + 4 * i + 1] = static_cast<std::uint8_t>(255 - i);      // green
    s[54 + 4 * i + 2] = static_cast<std::uint8_t>((i * 7) & 255);  // red
  }
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) s[1078 + static_cast<std::size_t>(y) * 8 + x] = static_cast<std::uint8_t>(40 * y + 9 * x);
  const std::string path = dir_.filePath(QStringLiteral("palette.bmp")).toStdString();
  WriteBmp(path, s);
  TForm1& f = Start({path});
  ASSERT_EQ(State().img.biBitFlag, 8);
  const QImage shown = f.Form2().Image1->Picture();

  QGuiApplication::clipboard()->clear();
  f.Copy1->trigger();
  f.Paste1->trigger();
  ASSERT_TRUE(State().img.ReadyFlag);
  EXPECT_EQ(State().img.biBitFlag, 24);
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("TAV1_Tmp_Clipboard1.bmp ( 24 bit )"));
  const QImage pasted = f.Form2().Image1->Picture();
  ASSERT_EQ(pasted.size(), shown.size());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pasted.pixelColor(x, y), shown.pixelColor(x, y)) << x << "," << y;
  // The source store read by the histogram and the passes holds the same pixels.
  const std::size_t off = 54 + 2 * static_cast<std::size_t>(bmp::Stride24(5)) + 3 * 4;  // (4, 0)
  const QColor c = shown.pixelColor(4, 0);
  EXPECT_EQ(State().img.MemStBmp1[off], c.blue());
  EXPECT_EQ(State().img.MemStBmp1[off + 1], c.green());
  EXPECT_EQ(State().img.MemStBmp1[off + 2], c.red());
}

TEST_F(UiTest, GatheringWindowsThenQuittingStoresZeroPositions) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start();
  f.Setting1->trigger();
  f.WindowAll_00->trigger();
  f.Exit1->trigger();
  EXPECT_FALSE(f.isVisible());
  // The application's quit then closes every window; none may refuse.
  EXPECT_TRUE(f.Form4().close());
  EXPECT_TRUE(f.Form2().close());
  EXPECT_TRUE(seam_.execTitles.empty());
  QFile ini(lad_ + QStringLiteral("/Quillmoor/TAV1.INI"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(ini.readAll());
  for (const char* key : {"X1", "Y1", "X2", "Y2", "X3", "Y3", "X4", "Y4", "X5", "Y5"})
    EXPECT_TRUE(text.contains(QStringLiteral("%1=0\r\n").arg(QLatin1String(key)))) << key;
}

TEST_F(UiTest, QuittingEndsTheEventLoopWhateverTheOtherWindowsShow) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  f.Setting1->trigger();
  f.Form4().Button1->click();  // shown once, hidden again by "決定"
  f.GraphShow1->click();
  ASSERT_TRUE(f.Form2().isVisible() && f.Form3().isVisible() && !f.Form4().isVisible());
  // The windows that only hide on a close of their own must not hold up the quit.
  QTimer::singleShot(0, &f, [&f] { f.Exit1->trigger(); });
  QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(seam_.execTitles.empty());  // no close question from the image window
}

TEST(FileSizeLabelTest, GroupsByLocaleInTenCharacters) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(FileSizeLabel(123456), Q("ファイルサイズ     123,456 Byte"));
  EXPECT_EQ(FileSizeLabel(12), Q("ファイルサイズ          12 Byte"));
  EXPECT_EQ(FileSizeLabel(12345678901ull), Q("ファイルサイズ  12,345,678,901 Byte"));
  QLocale::setDefault(QLocale::system());
}

TEST_F(UiTest, JpegSaveNeedsAPreviewAndWritesExactlyTheLatestOne) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Picture24("p.bmp", 40, 30, [](int x, int y) {
    return TTriple{static_cast<std::uint8_t>(6 * x), static_cast<std::uint8_t>(8 * y), 128};
  })});
  const QString target = dir_.filePath(QStringLiteral("out.jpg"));
  seam_.saveAnswers.push_back(target);
  std::vector<std::uint8_t> previewed;
  QString sizeLabel;
  bool existedBeforePreview = true;
  seam_.onExec = [&](QDialog& d) {
    auto* jpg = qobject_cast<TForm5*>(&d);
    if (jpg == nullptr) return int(mrCancel);
    EXPECT_EQ(jpg->windowTitle(), Q("JPG 保存"));
    EXPECT_EQ(jpg->Quality1->text(), "100");
    EXPECT_EQ(jpg->Label2->text(), Q("ファイルサイズ"));
    jpg->OK1Click();  // no preview yet
    existedBeforePreview = QFile::exists(target);
    jpg->SetQuality(50);
    jpg->Preview1Click();
    previewed = jpg->SaveJpg1();
    sizeLabel = jpg->Label2->text();
    jpg->UpDown1->Up();  // 51: changes after the preview do not reach the file
    EXPECT_EQ(jpg->Quality1->text(), "51");
    jpg->OK1Click();
    return jpg->result();
  };
  f.SaveButton1->click();
  EXPECT_FALSE(existedBeforePreview);
  ASSERT_FALSE(seam_.messages.empty());
  EXPECT_EQ(seam_.messages.front(), Q("プレビューを作成して下さい"));
  QFile written(target);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  const QByteArray bytes = written.readAll();
  ASSERT_FALSE(previewed.empty());
  EXPECT_EQ(bytes, QByteArray(reinterpret_cast<const char*>(previewed.data()),
                              static_cast<qsizetype>(previewed.size())));
  EXPECT_EQ(sizeLabel, FileSizeLabel(previewed.size()));
}

TEST_F(UiTest, ShrinkDialogKeepsTheAspectAndReopensTheReducedPicture) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start();
  // Dropped, so that the reduced picture is named after it.
  Drop(&f, {Picture24("wide.bmp", 100, 50, [](int, int) { return TTriple{1, 2, 3}; })});
  seam_.onExec = [&](QDialog& d) {
    auto* dlg = qobject_cast<TForm6*>(&d);
    if (dlg == nullptr) return int(mrCancel);
    EXPECT_EQ(dlg->windowTitle(), Q("縮小"));
    EXPECT_EQ(dlg->SpinEdit1->Text(), "100");
    EXPECT_EQ(dlg->SpinEdit2->Text(), "50");
    dlg->SpinEdit1->Edit()->selectAll();
    QTest::keyClicks(dlg->SpinEdit1->Edit(), QStringLiteral("40"));
    EXPECT_EQ(dlg->SpinEdit2->Text(), "20");
    dlg->SpinEdit2->Arrows()->Up();  // 21 drives the width: round(21 / 0.5) = 42
    EXPECT_EQ(dlg->SpinEdit1->Text(), "42");
    EXPECT_EQ(dlg->SpinEdit2->Text(), "21");
    dlg->Shrink1Click();
    return dlg->result();
  };
  f.ShrinkMenu1->trigger();
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("wide_small.bmp ( 24 bit )"));
  EXPECT_EQ(f.Form2().Image1->Picture().size(), QSize(42, 21));
  EXPECT_EQ(f.Form2().Image1->Picture().pixelColor(10, 10), QColor(3, 2, 1));
}

// The tab order is width, height, "縮小", "キャンセル": the arrows of a box are
// part of the box, not a stop of their own.
TEST_F(UiTest, TabInTheShrinkDialogGoesFromWidthToHeightToTheButtons) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});
  std::vector<QWidget*> stops;
  seam_.onExec = [&](QDialog& d) {
    auto* dlg = qobject_cast<TForm6*>(&d);
    if (dlg == nullptr) return int(mrCancel);
    dlg->show();
    dlg->activateWindow();
    QCoreApplication::processEvents();
    dlg->SpinEdit1->Edit()->setFocus();
    for (int i = 0; i < 3; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      stops.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(stops, (std::vector<QWidget*>{dlg->SpinEdit2->Edit(), dlg->Shrink1, dlg->Cancel1}));
    return int(mrCancel);
  };
  f.ShrinkMenu1->trigger();
  EXPECT_EQ(stops.size(), 3u);
}

TEST_F(UiTest, ShrinkDialogRefusesTooSmallSizes) {
  WriteSettings(kKnownSettings);
  TForm1& f = Start({Grey("g.bmp")});  // 4 x 3: any size is below 10 x 10
  seam_.onExec = [](QDialog& d) {
    auto* dlg = qobject_cast<TForm6*>(&d);
    if (dlg != nullptr) dlg->Shrink1Click();
    return d.result();
  };
  f.ShrinkMenu1->trigger();
  ASSERT_EQ(seam_.messages.size(), 1u);
  EXPECT_EQ(seam_.messages[0], Q("10 X 10 以上のサイズが必要です"));
  EXPECT_EQ(f.Form2().windowTitle(), QStringLiteral("g.bmp ( 24 bit )"));
}

}  // namespace
}  // namespace tav1
