// Undo, redo and recording through the real Editor: the counters after the
// user's actions, the dialog texts of refused steps and the restored values.
#include <functional>
#include <string>
#include <vector>

#include "editor_fixture.h"

namespace tav1::test {
namespace {

struct Counters {
  int UndoCounter, CrntIdx, DispIdx, UndoRedoTimes;
};

struct Scenario {
  const char* name;
  std::function<void(Editor&, FakeView&)> actions;
  Counters expected;
  std::vector<std::string> edgeTexts;  // TUndoRedoEdge texts shown, in order
};

void Steps(Editor& e, int n) {
  for (int i = 0; i < n; ++i) e.IncBtn1Click();
}
void Undos(Editor& e, int n) {
  for (int i = 0; i < n; ++i) e.UndoClick();
}

const char* const kNoUndo = "これ以上の Undo はありません";
const char* const kNoRedo = "これ以上の Redo はありません";

class HistoryScenario : public EditorTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(HistoryScenario, CountersAndRefusals) {
  OpenSample();
  const Scenario& sc = GetParam();
  sc.actions(*ed, view);
  const History& h = S().history;
  EXPECT_EQ(h.UndoCounter(), sc.expected.UndoCounter);
  EXPECT_EQ(h.CrntIdx(), sc.expected.CrntIdx);
  EXPECT_EQ(h.DispIdx(), sc.expected.DispIdx);
  EXPECT_EQ(h.UndoRedoTimes(), sc.expected.UndoRedoTimes);
  EXPECT_EQ(view.edgeTexts, sc.edgeTexts);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, HistoryScenario,
    ::testing::Values(
        Scenario{"AfterLoadUndoAndRedoAreRefused",
                 [](Editor& e, FakeView&) {
                   e.UndoClick();
                   e.RedoClick();
                 },
                 {1, 1, 0, 0},
                 {kNoUndo, kNoRedo}},
        Scenario{"OneStepIsRecordedBeforeApplying", [](Editor& e, FakeView&) { Steps(e, 1); },
                 {2, 2, 1, 0},
                 {}},
        Scenario{"OneStepThenUndoTwiceRedoTwice",
                 [](Editor& e, FakeView&) {
                   Steps(e, 1);
                   Undos(e, 2);
                   e.RedoClick();
                   e.RedoClick();
                 },
                 {2, 2, 1, 0},
                 {kNoUndo, kNoRedo}},
        Scenario{"UndoTwiceThenChangeDiscardsTheRedoTail",
                 [](Editor& e, FakeView&) {
                   Steps(e, 3);  // UndoCounter 4
                   Undos(e, 2);
                   Steps(e, 1);  // 4 - 2 undone, + 1 new entry
                   e.RedoClick();
                 },
                 {3, 3, 2, 0},
                 {kNoRedo}},
        Scenario{"RingFullAllowsNinetyNineUndos",
                 [](Editor& e, FakeView&) {
                   Steps(e, 149);
                   Undos(e, 100);
                 },
                 {150, 51, 50, 99},
                 {kNoUndo}},
        Scenario{"SecondRightClickRecordsNothing",
                 [](Editor& e, FakeView&) {
                   e.FormClick(MouseButton::Right);
                   e.FormClick(MouseButton::Left);
                 },
                 {1, 1, 0, 0},
                 {}},
        Scenario{"ManualModeRecordsOnlyOnRightClickAndCountsUndoneEntries",
                 [](Editor& e, FakeView&) {
                   e.MakeHistoryModeClick(1);
                   Steps(e, 2);  // no recording
                   e.FormClick(MouseButton::Right);  // UndoCounter 2
                   e.UndoClick();                     // shows slot 0
                   Steps(e, 1);  // leaves undo mode without recording
                   e.FormClick(MouseButton::Right);  // written at slot 1, counted as a third
                 },
                 {3, 2, 1, 0},
                 {}}),
    [](const ::testing::TestParamInfo<Scenario>& i) { return std::string(i.param.name); });

TEST_F(EditorTest, UndoAndRedoRestoreValuesAndControls) {
  OpenSample();
  ed->IncBtn1Click();
  ed->SetTrackBar1Position(25);  // applies; recorded only by the timer
  EXPECT_TRUE(view.timerRunning);
  ed->Timer1Timer();
  EXPECT_FALSE(view.timerRunning);
  EXPECT_EQ(view.LastStatus(), "Undo　作成");
  EXPECT_EQ(S().history.UndoCounter(), 3);

  ed->UndoClick();
  EXPECT_EQ(S().TrackBar1, 10);
  EXPECT_EQ(view.shown[ValueControl::TrackBar1], 10);
  EXPECT_EQ(Low(0), 1);
  ed->UndoClick();
  EXPECT_EQ(Low(0), 0);
  EXPECT_EQ(view.Row(0), "0 0 255");
  ed->RedoClick();
  EXPECT_EQ(Low(0), 1);
  EXPECT_TRUE(S().UndoFlag);
  EXPECT_FALSE(S().IsRestoring);
  EXPECT_FALSE(S().Undoing);
  EXPECT_TRUE(view.enabled[EnableTarget::Undo]);
}

TEST_F(EditorTest, RecordingIdenticalStateSaysSo) {
  OpenSample();
  ed->FormClick(MouseButton::Right);
  EXPECT_EQ(view.statuses[view.statuses.size() - 2], "Undo　作成");
  EXPECT_EQ(view.LastStatus(), "Undo　不作成（同じ設定値）");
}

TEST_F(EditorTest, UndoWithoutAutomaticApplicationLeavesTheImage) {
  OpenSample();
  ed->IncBtn1Click();
  ed->AutoApplyCB1Click(false);
  const Store before = S().img.MemStBmp2;
  const int pictures = view.pictures;
  ed->UndoClick();
  EXPECT_EQ(Low(0), 0);
  EXPECT_EQ(view.Row(0), "0 0 255");
  EXPECT_EQ(view.pictures, pictures);
  EXPECT_EQ(S().img.MemStBmp2, before);
}

}  // namespace
}  // namespace tav1::test
