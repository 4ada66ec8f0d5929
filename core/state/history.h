// The undo/redo history: a ring of 100 recorded editing states with the four
// counters that walk it. Flags of the main window (UndoFlag, Undoing,
// IsRestoring) and the dialogs stay with the caller; this class only keeps the
// ring consistent.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/state/para_triples.h"

namespace tav1 {

// One recorded state; the 15 fields in this order.
struct HistoryEntry {
  ParaTriples Para{};          // fields 1..9: EditPara slots 0..2 of channels 0..2
  std::int32_t Order = 0;      // OrderFlag_I
  std::int32_t Origin = 0;     // GyakuFlag_I
  std::int32_t SoloFlag = 0;   // 0..3
  std::int32_t TrackBar = 0;   // saturation slider position, 0..100
  bool ByKido = false;         // ByKidoCB1 checked
  bool BySatu = false;         // BySatuCB1 checked

  bool operator==(const HistoryEntry&) const = default;
};

// The cleared entry: neutral triples, order 0, origin 0, solo 3, slider 10.
inline constexpr HistoryEntry kClearedEntry{kNeutralTriples, 0, 0, 3, 10, false, false};

// Status line texts (the gap after "Undo" is the ideographic space U+3000).
inline constexpr const char* kUndoMadeText = "Undo　作成";
inline constexpr const char* kUndoSameText = "Undo　不作成（同じ設定値）";
// TUndoRedoEdge texts.
inline constexpr const char* kNoMoreUndoText = "これ以上の Undo はありません";
inline constexpr const char* kNoMoreRedoText = "これ以上の Redo はありません";

class History {
 public:
  static constexpr int N = 100;

  // All slots and counters start at 0 (not the cleared entry): before any
  // image, a recording compares slot 0 with itself and is not committed.
  History() = default;

  // Every slot := kClearedEntry. Counters unchanged.
  void HistoryParaClearAll();
  // After a load: clear all, counters 0, slot 0 := atLoad, UndoCounter 1,
  // CrntIdx 1, DispIdx 0. The caller clears UndoFlag.
  void NewHistory(const HistoryEntry& atLoad);
  // Records `current`. With undoFlag the redo tail is discarded first. Writes
  // slot CrntIdx, then commits only when it differs from the shown slot.
  // Returns true when committed. The caller shows kUndoMadeText, then
  // kUndoSameText when this returns false.
  bool MakeHistory(const HistoryEntry& current, bool undoFlag);
  // One undo step: the entry to restore, or nullopt when refused (counters then
  // as before; the caller shows kNoMoreUndoText and keeps UndoFlag set).
  std::optional<HistoryEntry> Undo();
  // One redo step: the entry to restore, or nullopt when refused (counters as
  // before; the caller shows kNoMoreRedoText and clears UndoFlag).
  std::optional<HistoryEntry> Redo();
  // The counter part of InUndoNewApply's end: UndoRedoTimes := 0 (the other
  // counters keep their undone positions).
  void InUndoNewApplyReset() { UndoRedoTimes_ = 0; }

  int UndoCounter() const { return UndoCounter_; }
  int UndoRedoTimes() const { return UndoRedoTimes_; }
  int CrntIdx() const { return CrntIdx_; }
  int DispIdx() const { return DispIdx_; }
  const HistoryEntry& Slot(int idx) const { return HistoryPara_[Wrap(idx)]; }
  const std::array<HistoryEntry, N>& HistoryPara() const { return HistoryPara_; }

  // (i mod N) in 0..N-1 for any i.
  static int Wrap(int i) { return ((i % N) + N) % N; }

 private:
  std::array<HistoryEntry, N> HistoryPara_{};
  int UndoCounter_ = 0;
  int UndoRedoTimes_ = 0;
  int CrntIdx_ = 0;
  int DispIdx_ = 0;
};

}  // namespace tav1
