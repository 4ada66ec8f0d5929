// Two-thread row rounds for the long pixel passes. Each round the calling
// thread and one worker thread share a few chunks of rows; then, with the
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

// Runs body(begin, end) over [0, count) in chunks of `slice` items, grouped
// in rounds of four chunks. Within a round both threads take chunks as they
// come free, so a thread that is slow to be scheduled (a busy machine) never
// holds the other one up by more than one chunk. between(done) runs on the
// calling thread after each round, with every item below `done` finished and
// no body running; when it returns false no further chunk starts. Returns the
// number of items done (a prefix). body must be safe to run for two disjoint
// chunks at once.
template <typename Body, typename Between>
int RunInRounds(int count, int slice, Body&& body, Between&& between, int helpers = HelperThreads()) {
  if (count <= 0) return 0;
  slice = std::max(slice, 1);
  const int roundItems = slice > (1 << 28) ? slice : 4 * slice;
  if (helpers <= 0 || count <= slice) {
    for (int b = 0; b < count; b += roundItems) {
      const int e = std::min(count, b + roundItems);
      body(b, e);
      if (!between(e)) return e;
    }
    return count;
  }

  // The next chunk to claim, the end of the current round, and how many
  // threads are between claiming and finishing a chunk. Sequentially
  // consistent: a claim that succeeds is always counted in `busy` before the
  // caller, having found the round empty, reads `busy`.
  std::atomic<int> next{0};
  std::atomic<int> roundEnd{0};
  std::atomic<int> busy{0};
  std::atomic<int> round{0};  // -1 ends the worker
  auto claimAndRun = [&] {
    for (;;) {
      busy.fetch_add(1);
      // A failed claim leaves `next` alone, so no chunk is ever skipped.
      int c = next.load();
      int e;
      do {
        e = roundEnd.load();
        if (c >= e) {
          busy.fetch_sub(1);
          return;
        }
      } while (!next.compare_exchange_weak(c, c + slice));
      body(c, std::min(c + slice, e));
      busy.fetch_sub(1);
    }
  };
  std::thread worker([&] {
    int seen = 0;
    for (;;) {
      round.wait(seen);
      seen = round.load();
      if (seen < 0) return;
      claimAndRun();
    }
  });

  int finished = 0;
  for (int r = 1; finished < count; ++r) {
    const int e = std::min(count, finished + roundItems);
    next.store(finished);  // equals the old round's end: claims fail until the new end is set
    roundEnd.store(e);
    round.store(r);
    round.notify_one();
    claimAndRun();
    while (busy.load() != 0) std::this_thread::yield();
    finished = e;
    if (!between(finished)) break;
  }
  round.store(-1);
  round.notify_one();
  worker.join();
  return finished;
}

}  // namespace tav1::fast
