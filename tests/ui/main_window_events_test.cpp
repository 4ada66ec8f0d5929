// Which window events reach which handler: presses on the main window's
// controls versus its background, and the keys of the settings window.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_layout.h"
#include "core/editor/editor.h"
#include "core/editor/editor_state.h"
#include "scripted_seam.h"
#include "ui/Unit1.h"
#include "ui/Unit4.h"

namespace tav1 {
namespace {

class MainWindowEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    const QString lad = dir_.filePath(QStringLiteral("lad"));
    QDir().mkpath(lad + QStringLiteral("/Quillmoor"));
    QDir().mkpath(dir_.filePath(QStringLiteral("tmp")));
    setenv("LOCALAPPDATA", lad.toUtf8().constData(), 1);
    setenv("TMPDIR", dir_.filePath(QStringLiteral("tmp")).toUtf8().constData(), 1);
    // Manual history mode: only a background right press records.
    QFile ini(lad + QStringLiteral("/Quillmoor/TAV1.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Position]\r\nX1=30\r\nY1=30\r\n[Settings]\r\nMakeHistoryMode=1\r\n");
    ini.close();
    DialogSeam::Install(&seam_);

    const std::string pic = dir_.filePath(QStringLiteral("g.bmp")).toStdString();
    Store s = bmp::MakeImage(4, 3, 24);
    WriteBmp(pic, s);
    form_ = std::make_unique<TForm1>();
    form_->FormCreate();
    form_->show();
    form_->OpenCommandLine({pic});
    ASSERT_TRUE(State().img.ReadyFlag);
  }
  void TearDown() override {
    form_.reset();
    DialogSeam::Install(nullptr);
  }
  const EditorState& State() { return form_->editor().State(); }
  // A change the history can record (a recorded identical state is refused).
  void ChangeSaturation(int position) {
    form_->TrackBar1->setValue(position);
  }

  QTemporaryDir dir_;
  test::ScriptedSeam seam_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(MainWindowEvents, RightPressRecordsOnlyOnTheBareBackground) {
  TForm1& f = *form_;
  // Each control passes on the right button it does not use; none of these
  // presses is one on the window's background.
  QWidget* const controls[] = {f.IncBtn1, f.GraphShow1, f.AutoApplyCB1,
                               f.ByKidoCB1, f.TrackBar1, f.SatuResetBtn1, f.OpenButton1,
                               f.Panel1, f.Panel2, f.GroupBox1};
  for (QWidget* w : controls) {
    ChangeSaturation(State().TrackBar1 == 20 ? 30 : 20);
    const int before = State().history.UndoCounter();
    QTest::mousePress(w, Qt::RightButton, {}, QPoint(w->width() - 3, w->height() - 3));
    QTest::mouseRelease(w, Qt::RightButton, {}, QPoint(w->width() - 3, w->height() - 3));
    EXPECT_EQ(State().history.UndoCounter(), before) << w->metaObject()->className();
  }
  ChangeSaturation(State().TrackBar1 == 20 ? 30 : 20);
  const int before = State().history.UndoCounter();
  QTest::mousePress(f.centralWidget(), Qt::RightButton, {}, QPoint(200, 250));
  EXPECT_EQ(State().history.UndoCounter(), before + 1);
}

TEST_F(MainWindowEvents, EscapeLeavesTheSettingsWindowOpen) {
  TForm1& f = *form_;
  f.Setting1->trigger();
  TForm4& s = f.Form4();
  ASSERT_TRUE(s.isVisible());
  QTest::keyClick(&s, Qt::Key_Escape);
  EXPECT_TRUE(s.isVisible());
  QTest::keyClick(&s, Qt::Key_Return);  // "決定" is the default button
  EXPECT_FALSE(s.isVisible());
}

}  // namespace
}  // namespace tav1
