// The batch's stderr: per-picture messages, a progress bar kept on the last
// line when stderr is a terminal, and the closing summary. Safe to call from
// every job thread.
#pragma once

#include <mutex>
#include <ostream>
#include <string>

namespace tav1::batch {

struct Tally {
  int processed = 0;  // output written
  int rejected = 0;   // the picture was refused on opening
  int skipped = 0;    // the output existed and --overwrite was not given
  int failed = 0;     // anything else (naming conflict, write error)

  int Done() const { return processed + rejected + skipped + failed; }
  bool AllWritten() const { return rejected == 0 && skipped == 0 && failed == 0; }
};

// "3 processed, 1 rejected, 0 skipped, 0 failed"
std::string SummaryLine(const Tally& t);

class Progress {
 public:
  // showBar: draw the bar (only sensible on a terminal).
  Progress(std::ostream& err, int total, bool showBar);

  // A line about one picture; the bar is cleared first and redrawn after it.
  void Message(const std::string& line);
  // One more picture finished with this outcome.
  void Count(int Tally::*which);
  // Clears the bar and prints the summary line.
  void Finish();

  Tally tally() const;

 private:
  void ClearBar();
  void DrawBar();

  std::ostream& err_;
  const int total_;
  const bool showBar_;
  bool barShown_ = false;
  Tally tally_;
  mutable std::mutex mutex_;
};

}  // namespace tav1::batch
