// tav1-batch as a library call: the whole command, from the arguments to the
// exit status, with the process's surroundings passed in so tests can run it
// in process.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace tav1::batch {

// Exit statuses.
inline constexpr int kExitAllWritten = 0;
inline constexpr int kExitSomeNotWritten = 1;
inline constexpr int kExitUsage = 2;

struct BatchEnvironment {
  std::string iniPlace;   // folder of the editor's settings file, trailing "/"
  std::string tempRoot;   // each job makes its own folder below it
  bool stderrIsTerminal = false;
  unsigned cores = 1;
  // When set and true, no further picture is started; those running finish
  // and clean up (the command-line program sets it on SIGINT and SIGTERM).
  const std::atomic<bool>* stopRequested = nullptr;
};

// From the process: the editor's settings folder, the system temporary
// folder, whether stderr is a terminal, the number of cores.
BatchEnvironment ProcessEnvironment();

// args excludes the program name. Tables and --help go to out; messages, the
// progress bar and the summary to err.
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const BatchEnvironment& env);

}  // namespace tav1::batch
