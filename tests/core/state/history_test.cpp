#include "core/state/history.h"
#include "core/state/memory.h"

#include <gtest/gtest.h>

namespace tav1 {
namespace {

// A distinct state per number: the red low end carries it.
HistoryEntry State(int n) {
  HistoryEntry e = kClearedEntry;
  e.Para[0][0] = n;
  return e;
}

struct Counters {
  int UndoCounter, UndoRedoTimes, CrntIdx, DispIdx;
  bool operator==(const Counters&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Counters& c) {
  return o << "{" << c.UndoCounter << ", " << c.UndoRedoTimes << ", " << c.CrntIdx << ", "
           << c.DispIdx << "}";
}
Counters Of(const History& h) { return {h.UndoCounter(), h.UndoRedoTimes(), h.CrntIdx(), h.DispIdx()}; }

// After a load: slot 0 holds the state at load, the rest the cleared entry.
History Loaded(int n = 0) {
  History h;
  h.NewHistory(State(n));
  return h;
}

TEST(History, TextsUseIdeographicSpaces) {
  EXPECT_STREQ(kUndoMadeText, "Undo\u3000作成");
  EXPECT_STREQ(kUndoSameText, "Undo\u3000不作成（同じ設定値）");
}

TEST(History, AfterLoadUndoAndRedoAreRefused) {
  History h = Loaded(7);
  EXPECT_EQ(Of(h), (Counters{1, 0, 1, 0}));
  EXPECT_EQ(h.Slot(0), State(7));
  EXPECT_EQ(h.Slot(1), kClearedEntry);
  EXPECT_EQ(h.Slot(99), kClearedEntry);
  EXPECT_FALSE(h.Undo());
  EXPECT_EQ(Of(h), (Counters{1, 0, 1, 0}));
  EXPECT_FALSE(h.Redo());
  EXPECT_EQ(Of(h), (Counters{1, 0, 1, 0}));
}

TEST(History, OneStepThenUndoAndRedoToBothEnds) {
  History h = Loaded(0);
  EXPECT_TRUE(h.MakeHistory(State(1), false));
  EXPECT_EQ(Of(h), (Counters{2, 0, 2, 1}));

  EXPECT_EQ(h.Undo(), State(0));
  EXPECT_EQ(Of(h), (Counters{2, 1, 1, 0}));
  EXPECT_FALSE(h.Undo());
  EXPECT_EQ(Of(h), (Counters{2, 1, 1, 0}));

  EXPECT_EQ(h.Redo(), State(1));
  EXPECT_EQ(Of(h), (Counters{2, 0, 2, 1}));
  EXPECT_FALSE(h.Redo());
  EXPECT_EQ(Of(h), (Counters{2, 0, 2, 1}));
}

TEST(History, SameStateIsNotCommittedAndIsOverwrittenNext) {
  History h = Loaded(0);
  EXPECT_FALSE(h.MakeHistory(State(0), false));  // a right-click right after loading
  EXPECT_EQ(Of(h), (Counters{1, 0, 1, 0}));
  EXPECT_TRUE(h.MakeHistory(State(2), false));
  EXPECT_FALSE(h.MakeHistory(State(2), false));
  EXPECT_EQ(Of(h), (Counters{2, 0, 2, 1}));
  EXPECT_EQ(h.Slot(2), State(2));  // the uncommitted copy stays until the next recording
  EXPECT_TRUE(h.MakeHistory(State(3), false));
  EXPECT_EQ(h.Slot(2), State(3));
}

TEST(History, EveryFieldTakesPartInTheComparison) {
  for (int field = 0; field < 15; ++field) {
    History h = Loaded(0);
    HistoryEntry e = State(0);
    switch (field) {
      case 9: e.Order = 1; break;
      case 10: e.Origin = 1; break;
      case 11: e.SoloFlag = 0; break;
      case 12: e.TrackBar = 11; break;
      case 13: e.ByKido = true; break;
      case 14: e.BySatu = true; break;
      default: e.Para[field / 3][field % 3] += 1; break;
    }
    EXPECT_TRUE(h.MakeHistory(e, false)) << "field " << field + 1;
  }
}

TEST(History, UndoTwiceThenChangeDiscardsTheRedoTail) {
  History h = Loaded(0);
  for (int n = 1; n <= 3; ++n) ASSERT_TRUE(h.MakeHistory(State(n), false));
  EXPECT_EQ(Of(h), (Counters{4, 0, 4, 3}));
  EXPECT_EQ(h.Undo(), State(2));
  EXPECT_EQ(h.Undo(), State(1));
  EXPECT_EQ(Of(h), (Counters{4, 2, 2, 1}));

  // A step button in undo mode: written after the shown entry.
  EXPECT_TRUE(h.MakeHistory(State(9), true));
  h.InUndoNewApplyReset();
  EXPECT_EQ(Of(h), (Counters{3, 0, 3, 2}));
  EXPECT_EQ(h.Slot(2), State(9));
  EXPECT_FALSE(h.Redo());
  EXPECT_EQ(h.Undo(), State(1));
  EXPECT_EQ(h.Undo(), State(0));
  EXPECT_FALSE(h.Undo());
}

TEST(History, FullRingAllowsNinetyNineUndos) {
  History h = Loaded(0);
  for (int n = 1; n <= 149; ++n) ASSERT_TRUE(h.MakeHistory(State(n), false));
  EXPECT_EQ(Of(h), (Counters{150, 0, 50, 49}));
  for (int step = 1; step <= 99; ++step) {
    const std::optional<HistoryEntry> e = h.Undo();
    ASSERT_TRUE(e) << "undo " << step;
    EXPECT_EQ(*e, State(149 - step));
  }
  EXPECT_EQ(h.DispIdx(), 50);  // the oldest entry kept
  EXPECT_EQ(h.Slot(50), State(50));
  EXPECT_FALSE(h.Undo());
  EXPECT_EQ(Of(h), (Counters{150, 99, 51, 50}));
  // Redo walks all the way back up.
  for (int step = 1; step <= 99; ++step) ASSERT_TRUE(h.Redo());
  EXPECT_EQ(Of(h), (Counters{150, 0, 50, 49}));
  EXPECT_FALSE(h.Redo());
}

TEST(History, LimitFollowsUndoCounterAfterTheRingWasRefilled) {
  History h = Loaded(0);
  for (int n = 1; n <= 100; ++n) ASSERT_TRUE(h.MakeHistory(State(n), false));
  EXPECT_EQ(Of(h), (Counters{101, 0, 1, 0}));
  for (int step = 0; step < 5; ++step) ASSERT_TRUE(h.Undo());
  EXPECT_EQ(Of(h), (Counters{101, 5, 96, 95}));
  EXPECT_TRUE(h.MakeHistory(State(500), true));
  h.InUndoNewApplyReset();
  EXPECT_EQ(Of(h), (Counters{97, 0, 97, 96}));

  // Below 100 entries again: undo stops only below slot 0, which still holds
  // entry 100 of the discarded tail.
  for (int step = 1; step <= 96; ++step) ASSERT_TRUE(h.Undo()) << "undo " << step;
  EXPECT_EQ(h.DispIdx(), 0);
  EXPECT_EQ(h.Slot(0), State(100));
  EXPECT_FALSE(h.Undo());
  EXPECT_EQ(h.DispIdx(), 0);
}

TEST(History, ManualModeCountsUndoneEntries) {
  History h = Loaded(0);
  for (int n = 1; n <= 3; ++n) ASSERT_TRUE(h.MakeHistory(State(n), false));
  ASSERT_TRUE(h.Undo());
  ASSERT_TRUE(h.Undo());
  // A change in manual mode: InUndoNewApply records nothing but leaves undo mode.
  h.InUndoNewApplyReset();
  EXPECT_EQ(Of(h), (Counters{4, 0, 2, 1}));
  // The next right-click records at CrntIdx without discarding first.
  EXPECT_TRUE(h.MakeHistory(State(7), false));
  EXPECT_EQ(Of(h), (Counters{5, 0, 3, 2}));
  EXPECT_EQ(h.Slot(2), State(7));
  EXPECT_EQ(h.Slot(3), State(3));  // not discarded, but no longer reachable by redo
  EXPECT_FALSE(h.Redo());
}

TEST(History, RecordingBeforeAnyImageComparesSlotZeroWithItself) {
  History h;
  EXPECT_EQ(Of(h), (Counters{0, 0, 0, 0}));
  EXPECT_EQ(h.Slot(0), HistoryEntry{});  // all zero at program start, not the cleared entry
  EXPECT_FALSE(h.MakeHistory(State(5), false));
  EXPECT_EQ(Of(h), (Counters{0, 0, 0, 0}));
  EXPECT_EQ(h.Slot(0), State(5));
}

TEST(History, NewHistoryClearsAnyPreviousRun) {
  History h = Loaded(0);
  for (int n = 1; n <= 120; ++n) ASSERT_TRUE(h.MakeHistory(State(n), false));
  ASSERT_TRUE(h.Undo());
  h.NewHistory(State(42));
  EXPECT_EQ(Of(h), (Counters{1, 0, 1, 0}));
  for (int i = 1; i < History::N; ++i) ASSERT_EQ(h.Slot(i), kClearedEntry) << i;
  EXPECT_FALSE(h.Undo());
}

TEST(History, WrapIsNonNegative) {
  EXPECT_EQ(History::Wrap(-1), 99);
  EXPECT_EQ(History::Wrap(-101), 99);
  EXPECT_EQ(History::Wrap(100), 0);
  EXPECT_EQ(History::Wrap(250), 50);
}

TEST(ParaMemory, StartsNeutral) {
  const ParaMemory m;
  EXPECT_EQ(m.Para, kNeutralTriples);
  EXPECT_EQ(m.TrackBar, 10);
  EXPECT_EQ(m.Order, 0);
  EXPECT_EQ(m.Origin, 0);
  EXPECT_EQ(m.SoloFlag, 3);
  EXPECT_FALSE(m.ByKido);
  EXPECT_FALSE(m.BySatu);
}

}  // namespace
}  // namespace tav1
