// tav1-batch: one tone correction applied to many pictures, without windows.
#include <signal.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch.h"

namespace {

std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);  // safe to store from a signal handler

void OnSignal(int) { gStop.store(true); }

}  // namespace

int main(int argc, char** argv) {
  // The first interrupt lets the running pictures finish and remove their
  // temporary files; a second one ends the program at once.
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sa.sa_flags = SA_RESETHAND;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);

  tav1::batch::BatchEnvironment env = tav1::batch::ProcessEnvironment();
  env.stopRequested = &gStop;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tav1::batch::RunBatch(args, std::cout, std::cerr, env);
}
