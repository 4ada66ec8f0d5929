// Two-thread row rounds for the long pixel passes. Each round the calling
// thread and one worker thread take one slice of rows each; then, with the
// worker idle, `between` runs on the calling thread. That is where a pass lets
// window events run and reports progress: nothing touches the stores while
// the events run, so a command started from the pump sees no half-written
// rows of the current round, and a pass guard held by the caller still holds.
//
// Header-only so that every pass library (tone, graph, state) can use it.
#pragma once

#include <algorithm>
#include <atomic>
#include <thread>

namespace tav1::fast {

// Worker threads beside the caller: 1 on a machine with two or more cores.
inline int HelperThreads() { return std::thread::hardware_concurrency() >= 2 ? 1 : 0; }

// Runs body(begin, end) over consecutive slices of [0, count), slices of
// `slice` items, in order of rounds. between(done) runs on the calling thread
// after each round with every item below `done` finished; when it returns
// false no further slice starts. Returns the number of items done (a prefix).
// body must be safe to run for two disjoint slices at once.
template <typename Body, typename Between>
int RunInRounds(int count, int slice, Body&& body, Between&& between, int helpers = HelperThreads()) {
  if (count <= 0) return 0;
  slice = std::max(slice, 1);
  if (helpers <= 0 || count <= slice) {
    for (int b = 0; b < count; b += slice) {
      const int e = std::min(count, b + slice);
      body(b, e);
      if (!between(e)) return e;
    }
    return count;
  }

  std::atomic<int> go{0};    // round the worker is asked to run; -1 ends it
  std::atomic<int> done{0};  // last round the worker finished
  int wBegin = 0, wEnd = 0;  // the worker's slice, published by `go`
  std::thread worker([&] {
    for (int round = 1;; ++round) {
      int g;
      while ((g = go.load(std::memory_order_acquire)) < round && g >= 0) go.wait(g, std::memory_order_acquire);
      if (g < 0) return;
      if (wBegin < wEnd) body(wBegin, wEnd);
      done.store(round, std::memory_order_release);
      done.notify_one();
    }
  });

  int finished = 0;
  for (int round = 1; finished < count; ++round) {
    const int b = finished;
    const int mid = std::min(count, b + slice);
    const int e = std::min(count, mid + slice);
    wBegin = mid;
    wEnd = e;
    go.store(round, std::memory_order_release);
    go.notify_one();
    body(b, mid);
    int d;
    while ((d = done.load(std::memory_order_acquire)) < round) done.wait(d, std::memory_order_acquire);
    finished = e;
    if (!between(finished)) break;
  }
  go.store(-1, std::memory_order_release);
  go.notify_one();
  worker.join();
  return finished;
}

}  // namespace tav1::fast
