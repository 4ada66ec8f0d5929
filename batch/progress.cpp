#include "batch/progress.h"

namespace tav1::batch {

namespace {
constexpr int kBarWidth = 30;
}

std::string SummaryLine(const Tally& t) {
  return std::to_string(t.processed) + " processed, " + std::to_string(t.rejected) + " rejected, " +
         std::to_string(t.skipped) + " skipped, " + std::to_string(t.failed) + " failed";
}

Progress::Progress(std::ostream& err, int total, bool showBar)
    : err_(err), total_(total), showBar_(showBar && total > 0) {
  std::lock_guard<std::mutex> lock(mutex_);
  DrawBar();
}

void Progress::Message(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearBar();
  err_ << line << '\n';
  DrawBar();
}

void Progress::Count(int Tally::*which) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++(tally_.*which);
  DrawBar();
}

void Progress::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearBar();
  err_ << "tav1-batch: " << SummaryLine(tally_) << '\n';
  err_.flush();
}

Tally Progress::tally() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tally_;
}

void Progress::ClearBar() {
  if (!barShown_) return;
  // Carriage return, erase to the end of the line.
  err_ << "\r\x1b[K";
  barShown_ = false;
}

void Progress::DrawBar() {
  if (!showBar_) return;
  const int done = tally_.Done();
  const int filled = static_cast<int>(static_cast<long long>(done) * kBarWidth / total_);
  err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << done << '/'
       << total_;
  err_.flush();
  barShown_ = true;
}

}  // namespace tav1::batch
