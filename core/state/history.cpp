#include "core/state/history.h"

namespace tav1 {

void History::HistoryParaClearAll() { HistoryPara_.fill(kClearedEntry); }

void History::NewHistory(const HistoryEntry& atLoad) {
  HistoryParaClearAll();
  UndoRedoTimes_ = 0;
  HistoryPara_[0] = atLoad;
  UndoCounter_ = 1;
  CrntIdx_ = 1;
  DispIdx_ = 0;
}

bool History::MakeHistory(const HistoryEntry& current, bool undoFlag) {
  if (undoFlag) {
    // Discard the redo tail: the new entry goes right after the shown one.
    UndoCounter_ -= UndoRedoTimes_;
    CrntIdx_ = Wrap(UndoCounter_);
    DispIdx_ = Wrap(CrntIdx_ - 1);
    UndoRedoTimes_ = 0;
  }
  HistoryPara_[Wrap(CrntIdx_)] = current;
  // An unchanged state is not committed; its copy stays in the slot and the
  // next recording overwrites it.
  if (HistoryPara_[Wrap(DispIdx_)] == HistoryPara_[Wrap(CrntIdx_)]) return false;
  UndoCounter_ += 1;
  CrntIdx_ = Wrap(CrntIdx_ + 1);
  DispIdx_ = Wrap(CrntIdx_ - 1);
  return true;
}

std::optional<HistoryEntry> History::Undo() {
  UndoRedoTimes_ += 1;
  CrntIdx_ = Wrap(CrntIdx_ - 1);
  DispIdx_ = Wrap(DispIdx_ - 1);
  // Before the ring has been filled slot 0 is the oldest entry; once it has,
  // N - 1 steps back are the limit. The test follows UndoCounter, not the slots
  // actually written.
  const bool refused = (UndoCounter_ < N && DispIdx_ == N - 1) ||
                       (UndoCounter_ >= N && UndoRedoTimes_ == N);
  if (refused) {
    CrntIdx_ = Wrap(CrntIdx_ + 1);
    DispIdx_ = Wrap(DispIdx_ + 1);
    UndoRedoTimes_ -= 1;
    return std::nullopt;
  }
  return HistoryPara_[DispIdx_];
}

std::optional<HistoryEntry> History::Redo() {
  UndoRedoTimes_ -= 1;
  CrntIdx_ = Wrap(CrntIdx_ + 1);
  DispIdx_ = Wrap(DispIdx_ + 1);
  if (UndoRedoTimes_ == -1) {  // nothing was undone
    CrntIdx_ = Wrap(CrntIdx_ - 1);
    DispIdx_ = Wrap(DispIdx_ - 1);
    UndoRedoTimes_ = 0;
    return std::nullopt;
  }
  return HistoryPara_[DispIdx_];
}

}  // namespace tav1
