// Opening, applying, the enabled states, grid selection and solo mode, pick-up
// and the memories, through the real Editor.
#include <chrono>
#include <regex>
#include <string>

#include "codecs/file_io.h"
#include "codecs/jpeg_codec.h"
#include "editor_fixture.h"

namespace tav1::test {
namespace {

bool Blank(const std::string& s) {
  if (s.empty()) return false;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == ' ') {
      ++i;
    } else if (s.compare(i, 3, "\u3000") == 0) {
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

TEST_F(EditorTest, StartShowsTheDefaultsAndTheStartText) {
  EXPECT_EQ(view.LastStatus(), "手動履歴作成はウィンドウ地を右クリック");
  for (int r = 0; r < 3; ++r) EXPECT_EQ(view.Row(r), "0 0 255");
  EXPECT_EQ(view.shown[ValueControl::TrackBar1], 10);
  EXPECT_EQ(view.shown[ValueControl::AutoApplyCB1], 1);
  EXPECT_EQ(view.rects[Window::Main].Left, 30);  // first-run text: X1=30
}

TEST_F(EditorTest, StatusLineAfterOpeningAndApplying) {
  view.statuses.clear();
  OpenSample();
  const auto& st = view.statuses;
  EXPECT_NE(std::find(st.begin(), st.end(), "読み込み中..."), st.end());
  EXPECT_NE(std::find(st.begin(), st.end(), "読込み中..."), st.end());  // histogram count
  EXPECT_TRUE(Blank(view.LastStatus())) << view.LastStatus();
  EXPECT_EQ(view.mainCaption, "TAV1");
  EXPECT_EQ(view.imageCaption, "sample.bmp ( 24 bit )");
  EXPECT_TRUE(view.imageVisible);
  EXPECT_TRUE(view.crossHair);

  ed->ApplyClick();
  EXPECT_TRUE(std::regex_match(view.LastStatus(), std::regex("処理時間: [0-9]+ ms")))
      << view.LastStatus();
}

// The time shown is the elapsed time truncated, never more than the time the
// apply took: an apply of a few tenths of a millisecond that starts late in one
// clock millisecond and ends early in the next one still shows 0 ms.
TEST_F(EditorTest, ProcessingTimeIsTheTruncatedElapsedTime) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::microseconds;
  OpenSample();
  auto subMs = [] { return Clock::now().time_since_epoch() % std::chrono::milliseconds(1); };
  for (int attempt = 0; attempt < 5; ++attempt) {
    while (subMs() < microseconds(850) || subMs() > microseconds(900)) {
    }
    const Clock::time_point before = Clock::now();
    bool waited = false;
    view.onPump = [&] {  // the pass lasts until the next clock millisecond has begun
      if (waited) return;
      waited = true;
      while (Clock::now() - before < microseconds(300)) {
      }
    };
    ed->ApplyClick();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - before);
    ASSERT_TRUE(waited);
    std::smatch m;
    const std::string status = view.LastStatus();
    ASSERT_TRUE(std::regex_match(status, m, std::regex("処理時間: ([0-9]+) ms"))) << status;
    EXPECT_LE(std::stoll(m[1].str()), took.count()) << "attempt " << attempt;
  }
}

TEST_F(EditorTest, FirstGraphAfterOpeningShowsTheCurvesOfTheParameters) {
  // Before any step the tables must already follow the parameter set: with the
  // defaults the three curves lie white on the diagonal, not flat on the bottom.
  OpenSample();
  for (int i = 1; i < 255; i += 37)
    EXPECT_EQ(view.graph.picture.Pixel(7 + i, 262 - i) & 0xFFFFFF, 0xFFFFFFu) << "input level " << i;
}

TEST_F(EditorTest, RejectedFileKeepsThePreviousPicture) {
  OpenSample();
  const Store before = S().img.MemStBmp1;
  const std::string bad = Pic("bad.bmp");
  Store s = MakeStore24(2, 2, [](int, int) { return TTriple{1, 2, 3}; });
  s[28] = 4;  // 4 bits per pixel
  WriteFileAtomic(bad, s.data(), s.size());
  ed->CheckFile1(bad);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], "256色(8bit)かフルカラー(24bit)の画像だけロード可能");
  EXPECT_EQ(S().img.MemStBmp1, before);
  EXPECT_TRUE(S().img.ReadyFlag);
}

TEST_F(EditorTest, TwoFilesDroppedOnTheMainWindowOpenNothing) {
  OpenSample();
  ed->WMDropFiles({Pic("sample.bmp"), Pic("sample.bmp")});
  EXPECT_EQ(view.messages.back(), "１ファイルだけドロップして下さい。");
  EXPECT_EQ(view.beeps, 1);
  EXPECT_FALSE(S().img.ReadyFlag);  // image commands stay off until the next open
  ed->Form2WMDropFiles({Pic("sample.bmp"), Pic("sample.bmp")});
  EXPECT_EQ(view.messages.size(), 1u);
  ed->Form2WMDropFiles({Pic("sample.bmp")});
  EXPECT_TRUE(S().img.ReadyFlag);
  EXPECT_EQ(S().names.KeepFName, "sample.bmp");
}

// "適用" is enabled exactly when automatic application is off; an apply
// disables it until it ends or the box changes. The step buttons are enabled
// only while no apply runs; the menu item follows the box alone.
TEST_F(EditorTest, ApplyAndStepButtonsEnabledAsTheDesignSays) {
  auto on = [&](EnableTarget t) { return view.enabled.at(t); };
  EXPECT_FALSE(on(EnableTarget::ApplyBB));
  EXPECT_FALSE(on(EnableTarget::applymenu1));
  EXPECT_TRUE(on(EnableTarget::IncBtn1));

  OpenSample();
  ed->AutoApplyCB1Click(false);
  EXPECT_TRUE(on(EnableTarget::ApplyBB));
  EXPECT_TRUE(on(EnableTarget::applymenu1));
  const int pictures = view.pictures;
  ed->IncBtn1Click();  // no apply without automatic application
  EXPECT_EQ(view.pictures, pictures);

  bool sampled = false;
  view.onPump = [&] {
    if (sampled) return;
    sampled = true;
    EXPECT_FALSE(on(EnableTarget::ApplyBB));
    EXPECT_TRUE(on(EnableTarget::applymenu1));
    for (EnableTarget t : {EnableTarget::DecBtn1, EnableTarget::IncBtn1, EnableTarget::Dec2,
                           EnableTarget::Inc2})
      EXPECT_FALSE(on(t));
  };
  ed->ApplyClick();
  EXPECT_TRUE(sampled);
  EXPECT_TRUE(on(EnableTarget::ApplyBB));
  EXPECT_TRUE(on(EnableTarget::IncBtn1));

  // The box decides at once, also while a pass runs; a new apply disables it again.
  bool toggled = false;
  view.onPump = [&] {
    if (toggled) return;
    toggled = true;
    ed->AutoApplyCB1Click(true);
    EXPECT_FALSE(on(EnableTarget::ApplyBB));
    ed->AutoApplyCB1Click(false);
    EXPECT_TRUE(on(EnableTarget::ApplyBB));
    ed->ApplyClick();  // its pass waits for this one
    EXPECT_FALSE(on(EnableTarget::ApplyBB));
  };
  ed->ApplyClick();
  EXPECT_TRUE(toggled);
  EXPECT_TRUE(on(EnableTarget::ApplyBB));

  view.onPump = nullptr;
  const int beforeOn = view.pictures;
  ed->AutoApplyCB1Click(true);
  EXPECT_EQ(view.pictures, beforeOn);  // turning it on applies nothing
  EXPECT_FALSE(on(EnableTarget::ApplyBB));
  EXPECT_FALSE(on(EnableTarget::applymenu1));
}

// A command arriving while a pass lets events run must not start a second
// pass on the same stores; its apply runs once the first pass has ended.
TEST_F(EditorTest, ApplyDuringAPassIsDeferredNotNested) {
  OpenSample();
  bool fired = false;
  view.onPump = [&] {
    if (fired) return;
    fired = true;
    ed->G_PlusClick();  // records and applies, from inside the running pass
    ed->UndoClick();
  };
  ed->ApplyClick();
  view.onPump = nullptr;
  EXPECT_TRUE(fired);
  EXPECT_EQ(view.maxPumpDepth, 1);
  EXPECT_FALSE(S().ApplyingFlag);
  EXPECT_FALSE(S().ApplyPending);
  EXPECT_TRUE(view.enabled.at(EnableTarget::IncBtn1));
  // The result matches the parameters now shown (the undo back to gamma 0).
  EXPECT_EQ(Gamma(0), 0);
  const Store shown = S().img.MemStBmp2;
  ed->ApplyClick();
  EXPECT_EQ(S().img.MemStBmp2, shown);
}

TEST_F(EditorTest, StepButtonsFollowTheCurrentCellAndPolarity) {
  OpenSample();
  Select(1, 1, 1, 1);
  ed->StringGrid1MouseUp(MouseButton::Left);
  ed->IncBtn1Click();
  EXPECT_EQ(Gamma(1), 1);
  ed->Polarity1Click(1);
  ed->Inc2Click();  // coarse gamma size 8, reversed
  EXPECT_EQ(Gamma(1), -7);
  EXPECT_EQ(view.Row(1), "0 -7 255");
  EXPECT_EQ(Gamma(0), 0);

  Select(2, 0, 2, 2);  // whole high-end column
  ed->StringGrid1MouseUp(MouseButton::Left);
  ed->Dec2Click();
  for (int c = 0; c < 3; ++c) EXPECT_EQ(High(c), 247);
}

TEST_F(EditorTest, PresetsTargetTheSoloChannelOrAll) {
  OpenSample();
  ed->G_PlusClick();
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Gamma(c), 103);
  ed->Origin1Click(1);
  ed->G_MinusClick();
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Gamma(c), -103);
  Select(0, 2, 2, 2);
  ed->StringGrid1MouseUp(MouseButton::Left);  // blue solo
  ed->Low0Click();
  ed->High255Click();
  ed->G_ZeroClick();
  EXPECT_EQ(Gamma(2), 0);
  EXPECT_EQ(S().para.at(0, 9 + 1), -103);  // red's kept value untouched
}

TEST_F(EditorTest, ClearAllWithAndWithoutSaturation) {
  OpenSample();
  ed->IncBtn1Click();
  ed->SetTrackBar1Position(30);
  ed->SetByKidoCB1(true);
  view.allClearAnswers = {AllClearAnswer::Cancel, AllClearAnswer::No, AllClearAnswer::Yes};
  ed->AllClear1Click();
  EXPECT_EQ(Low(0), 1);
  ed->AllClear1Click();
  EXPECT_EQ(Low(0), 0);
  EXPECT_EQ(S().TrackBar1, 30);
  EXPECT_TRUE(S().ByKidoCB1);
  ed->AllClear1Click();
  EXPECT_EQ(S().TrackBar1, 10);
  EXPECT_FALSE(S().ByKidoCB1);
  EXPECT_EQ(view.shown[ValueControl::ByKidoCB1], 0);
}

TEST_F(EditorTest, RightClickClearsCellOrColumnAfterAsking) {
  OpenSample();
  ed->G_PlusClick();
  Select(1, 2, 1, 2);
  ed->StringGrid1MouseUp(MouseButton::Left);
  view.edgeAnswers = {false};
  ed->StringGrid1MouseUp(MouseButton::Right);
  EXPECT_EQ(Gamma(2), 103);
  ed->StringGrid1MouseUp(MouseButton::Right);
  EXPECT_EQ(Gamma(2), 0);
  EXPECT_EQ(Gamma(0), 103);
  Select(1, 0, 1, 2);
  ed->StringGrid1KeyUp(kKeyNumpad0);  // the 0 key acts like a right click
  EXPECT_EQ(view.edgeTexts.back(), "クリアしますか？");
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Gamma(c), 0);
}

TEST_F(EditorTest, SoloEnteredSwitchedAndLeftThroughTheGrid) {
  OpenSample();
  ed->IncBtn1Click();  // red low 1
  Select(2, 1, 2, 1);
  ed->StringGrid1MouseUp(MouseButton::Left);
  ed->DecBtn1Click();  // green high 254

  Select(0, 2, 2, 2);  // drag across the blue row
  ed->StringGrid1MouseUp(MouseButton::Left);
  EXPECT_EQ(S().SoloFlag, 2);
  EXPECT_EQ(view.Row(0), "-- -- --");
  EXPECT_EQ(view.Row(1), "-- -- --");
  EXPECT_EQ(view.Row(2), "0 0 255");
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(S().tables.TableR[i], 0);
    EXPECT_EQ(S().tables.TableG[i], 0);
  }

  Select(0, 0, 1, 1);  // a 2 x 2 block is not allowed in solo mode
  ed->StringGrid1MouseUp(MouseButton::Left);
  // Back to the last accepted selection, the green high-end cell.
  EXPECT_EQ(view.selection, (GridRect{2, 1, 2, 1}));

  Select(0, 0, 2, 0);  // the red row: solo switches to red
  ed->StringGrid1MouseUp(MouseButton::Left);
  EXPECT_EQ(S().SoloFlag, 0);
  EXPECT_EQ(view.Row(0), "1 0 255");
  EXPECT_EQ(view.Row(1), "-- -- --");
  EXPECT_EQ(view.Row(2), "-- -- --");

  Select(1, 1, 1, 1);  // a cell of another row ends solo mode
  ed->StringGrid1MouseUp(MouseButton::Left);
  EXPECT_EQ(S().SoloFlag, 3);
  EXPECT_EQ(view.Row(0), "1 0 255");
  EXPECT_EQ(view.Row(1), "0 0 254");
  EXPECT_EQ(view.Row(2), "0 0 255");
  EXPECT_EQ(S().SavedSelection, (GridRect{1, 1, 1, 1}));
}

// A grey-ramp picture cannot go solo, and single cells neither select nor
// clear; whole columns work as usual and every step moves all three channels.
TEST_F(EditorTest, GreyRampPictureGridExceptions) {
  Store grey = MakeStore8(5, 3);
  for (int i = 0; i < 256; ++i) {
    for (int k = 0; k < 3; ++k) grey[54 + 4 * i + k] = static_cast<std::uint8_t>(i);
    grey[54 + 4 * i + 3] = 0;
  }
  WriteBmp(Pic("grey.bmp"), grey);
  ed->CheckFile1(Pic("grey.bmp"));
  ASSERT_TRUE(S().img.GrayPaletteFlag);

  Select(1, 0, 1, 2);
  ed->StringGrid1MouseUp(MouseButton::Left);
  ASSERT_TRUE(S().AllChannelsFlag);
  Select(2, 1, 2, 1);
  ed->StringGrid1MouseUp(MouseButton::Left);
  ed->StringGrid1KeyUp(kKey0);
  EXPECT_TRUE(S().AllChannelsFlag);
  EXPECT_EQ(S().SavedSelection, (GridRect{1, 0, 1, 2}));
  Select(0, 1, 2, 1);
  ed->StringGrid1MouseUp(MouseButton::Left);
  ed->StringGrid1MouseUp(MouseButton::Right);
  EXPECT_EQ(S().SoloFlag, 3);
  EXPECT_TRUE(view.edgeTexts.empty());

  Select(2, 1, 2, 1);
  ed->DecBtn1Click();
  for (int c = 0; c < 3; ++c) EXPECT_EQ(High(c), 254);
}

// While a channel is solo, a clearing trigger on a whole row clears that
// channel, and on a cell of the solo row clears that one parameter; both ask
// first and leave the solo mode and the muted channels' kept values alone.
TEST_F(EditorTest, SoloRowAndCellClears) {
  OpenSample();
  ed->G_PlusClick();  // every gamma 103
  Select(0, 1, 2, 1);
  ed->StringGrid1MouseUp(MouseButton::Left);  // green solo
  ed->IncBtn1Click();                          // green high end 256
  ed->StringGrid1MouseUp(MouseButton::Right);
  EXPECT_EQ(view.edgeTexts.back(), "この色をクリアしますか？");
  EXPECT_EQ(view.Row(1), "0 0 255");
  EXPECT_EQ(view.selection, (GridRect{0, 1, 2, 1}));

  ed->G_PlusClick();  // solo: green only
  Select(1, 1, 1, 1);
  ed->StringGrid1MouseUp(MouseButton::Left);
  view.edgeAnswers = {false};
  ed->StringGrid1KeyUp(kKey0);
  EXPECT_EQ(Gamma(1), 103);
  ed->StringGrid1MouseUp(MouseButton::Right);
  EXPECT_EQ(view.edgeTexts.back(), "クリアしますか？");
  EXPECT_EQ(Gamma(1), 0);
  EXPECT_EQ(S().SoloFlag, 1);

  Select(0, 0, 0, 0);  // a cell of another row ends solo mode
  ed->StringGrid1MouseUp(MouseButton::Left);
  EXPECT_EQ(view.Row(0), "0 +103 255");
  EXPECT_EQ(view.Row(2), "0 +103 255");
}

class PickUp : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    // 4 x 3 picture; the (40, 30, 20) pixel at picture point (1, 2).
    ed->CheckFile1(Write24("pick.bmp", 4, 3, [](int x, int y) {
      if (x == 1 && y == 2) return TTriple{20, 30, 40};
      return TTriple{100, 110, 120};
    }));
  }
};

TEST_F(PickUp, BlackSetsTheLowEndsRecordsAndApplies) {
  view.pickAnswers = {PickAnswer::Black};
  const int pictures = view.pictures;
  ed->Image1MouseDown(MouseButton::Left, 1, 2);
  ASSERT_EQ(view.pickLabels.size(), 1u);
  EXPECT_EQ(view.pickLabels[0], "元画像 R=40 G=30 B=20\r\n現画像 R=40 G=30 B=20\r\n");
  EXPECT_EQ(Low(0), 40);
  EXPECT_EQ(Low(1), 30);
  EXPECT_EQ(Low(2), 20);
  EXPECT_EQ(S().history.UndoCounter(), 2);
  EXPECT_EQ(view.pictures, pictures + 1);
}

TEST_F(PickUp, WhiteSetsTheHighEnds) {
  view.pickAnswers = {PickAnswer::White};
  ed->Image1MouseDown(MouseButton::Left, 1, 2);
  EXPECT_EQ(High(0), 40);
  EXPECT_EQ(High(1), 30);
  EXPECT_EQ(High(2), 20);
}

// A black point must lie below the high end and a white point above the low
// end; in solo mode only the solo channel is checked, and a refusal beeps.
struct Refusal {
  const char* name;
  PickAnswer first;  // accepted: moves the ends onto the picked colour
  bool greenSolo;
  PickAnswer refused;
  const char* message;
  int beeps;
};

class PickUpRefusal : public PickUp, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PickUpRefusal, ChangesNothing) {
  const Refusal& r = GetParam();
  view.pickAnswers = {r.first};
  ed->Image1MouseDown(MouseButton::Left, 1, 2);
  if (r.greenSolo) {
    Select(0, 1, 2, 1);
    ed->StringGrid1MouseUp(MouseButton::Left);
    ASSERT_EQ(S().SoloFlag, 1);
  }
  const EditPara before = S().para;
  const int recorded = S().history.UndoCounter();
  const int pictures = view.pictures;
  view.pickAnswers = {r.refused};
  ed->Image1MouseDown(MouseButton::Left, 1, 2);
  EXPECT_EQ(view.messages, std::vector<std::string>{r.message});
  EXPECT_EQ(view.beeps, r.beeps);
  EXPECT_EQ(S().para, before);
  EXPECT_EQ(S().history.UndoCounter(), recorded);
  EXPECT_EQ(view.pictures, pictures);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, PickUpRefusal,
    ::testing::Values(
        Refusal{"WhiteOnTheLowEnds", PickAnswer::Black, false, PickAnswer::White,
                "最小値よりも暗過ぎます", 0},
        Refusal{"BlackOnTheHighEnds", PickAnswer::White, false, PickAnswer::Black,
                "最大値よりも明る過ぎます", 0},
        Refusal{"GreenSoloBlackOnTheGreenHighEnd", PickAnswer::White, true, PickAnswer::Black,
                "最大値よりも明る過ぎます", 1},
        Refusal{"GreenSoloWhiteOnTheGreenLowEnd", PickAnswer::Black, true, PickAnswer::White,
                "最小値よりも暗過ぎます", 1}),
    [](const ::testing::TestParamInfo<Refusal>& i) { return std::string(i.param.name); });

TEST_F(PickUp, GreenSoloChecksGreenOnly) {
  view.pickAnswers = {PickAnswer::Black, PickAnswer::White};
  ed->Image1MouseDown(MouseButton::Left, 1, 2);  // lows 40, 30, 20
  Select(0, 1, 2, 1);
  ed->StringGrid1MouseUp(MouseButton::Left);
  // The muted channels carry low 256, above red 120 and blue 100; only green counts.
  ed->Image1MouseDown(MouseButton::Left, 0, 0);  // (120, 110, 100)
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(High(1), 110);
}

TEST_F(PickUp, OutsideThePictureOrOnAn8BitPictureNothingHappens) {
  view.pickAnswers = {PickAnswer::Black};
  ed->Image1MouseDown(MouseButton::Left, 4, 0);
  ed->Image1MouseDown(MouseButton::Left, 0, -1);
  EXPECT_TRUE(view.pickLabels.empty());
  const std::string p8 = Pic("eight.bmp");
  WriteBmp(p8, MakeStore8(5, 3));
  ed->CheckFile1(p8);
  ASSERT_EQ(S().img.biBitFlag, 8);
  EXPECT_FALSE(view.crossHair);
  ed->Image1MouseDown(MouseButton::Left, 1, 1);
  EXPECT_TRUE(view.pickLabels.empty());
}

TEST_F(EditorTest, RecallOfAnUnstoredMemoryResetsToNeutral) {
  OpenSample();
  ed->IncBtn1Click();
  ed->SetTrackBar1Position(40);
  ed->SetByKidoCB1(true);
  ed->SetBySatuCB1(true);
  ed->SetOrder1(1);
  ed->SetOrigin1(1);
  Select(0, 0, 2, 0);
  ed->StringGrid1MouseUp(MouseButton::Left);
  ASSERT_EQ(S().SoloFlag, 0);

  ed->Mem2CallClick();
  EXPECT_EQ(S().para.Nine(), ToneParams::Defaults());
  EXPECT_EQ(S().SoloFlag, 3);
  EXPECT_EQ(S().TrackBar1, 10);
  EXPECT_FALSE(S().ByKidoCB1);
  EXPECT_FALSE(S().BySatuCB1);
  EXPECT_EQ(S().OrderFlag_I, 0);
  EXPECT_EQ(S().GyakuFlag_I, 0);
  EXPECT_EQ(view.shown[ValueControl::TrackBar1], 10);
  EXPECT_EQ(view.shown[ValueControl::Order1], 0);
  EXPECT_EQ(view.shown[ValueControl::Origin1], 0);
  EXPECT_EQ(view.shown[ValueControl::BySatuCB1], 0);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(view.Row(r), "0 0 255");
}

TEST_F(EditorTest, StoredMemoryComesBack) {
  OpenSample();
  ed->IncBtn1Click();
  ed->SetTrackBar1Position(40);
  ed->Mem1WriteClick();
  ed->DecBtn1Click();
  ed->SetTrackBar1Position(10);
  const int pictures = view.pictures;
  ed->Mem1CallClick();
  EXPECT_EQ(Low(0), 1);
  EXPECT_EQ(S().TrackBar1, 40);
  EXPECT_EQ(view.pictures, pictures + 2);  // the slider's own apply, then the recall's
}

TEST_F(EditorTest, SettingsDialogRadioGroupsClampAndWriteBack) {
  ed->SetOrder1(5);
  EXPECT_EQ(view.shown[ValueControl::Order1], 1);
  EXPECT_EQ(S().OrderFlag_I, 1);
  ed->SetOrder1(-4);
  EXPECT_EQ(view.shown[ValueControl::Order1], -1);
  EXPECT_EQ(S().OrderFlag_I, 0);
  ed->SetMakeHistoryMode(3);
  EXPECT_EQ(S().MakeHistoryMode_I, 1);
}

}  // namespace
// A JPEG is counted band by band while it decodes; the histogram must be the
// one a count of the opened store gives. Several bands and a short last one.
TEST_F(EditorTest, JpegCountedWhileDecodingGivesTheHistogramOfTheStore) {
  const Store pic = MakeStore24(700, 1300, [](int x, int y) {
    return TTriple{static_cast<std::uint8_t>((x * 7 + y) & 255), static_cast<std::uint8_t>((x ^ y) & 255),
                   static_cast<std::uint8_t>((x * y) >> 9)};
  });
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(pic, 90, false);
  const std::string path = Pic("bands.jpg");
  WriteFileAtomic(path, jpeg.data(), jpeg.size());
  view.openAnswers.push_back(path);
  ed->OpenButton1Click();
  ASSERT_TRUE(S().img.ReadyFlag);

  WorkingImage copy = S().img;
  HistogramPictures recount;
  ASSERT_TRUE(MakeHstgrm_Main(copy, recount));
  EXPECT_EQ(S().hist.LinearFactor, recount.LinearFactor);
  EXPECT_EQ(S().hist.LogFactor, recount.LogFactor);
  EXPECT_TRUE(S().hist.HgrmBmp == recount.HgrmBmp);
  EXPECT_TRUE(S().hist.HgrmBmpLn == recount.HgrmBmpLn);
}

}  // namespace tav1::test
