// Whole-file reads and crash-safe writes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "codecs/codec_error.h"

namespace tav1 {

// The whole file; throws CodecError naming the file when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Writes a new file beside `path`, syncs it and renames it over `path`, so a
// reader sees either the old file or the complete new one. Any failure removes
// the new file, leaves the old one intact and throws CodecError naming `path`.
// Nothing is published until Commit(); destroying an uncommitted writer discards it.
// Without `durable` the data is not synced to disk before the rename: still
// all-or-nothing for readers, but a power loss may lose it (scratch files).
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path, bool durable = true);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const void* data, std::size_t n);
  void Commit();
  const std::string& Path() const { return path_; }

 private:
  [[noreturn]] void Fail(const char* what, int err);
  void Discard() noexcept;

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  bool durable_ = true;
  bool committed_ = false;
};

void WriteFileAtomic(const std::string& path, const void* data, std::size_t n, bool durable = true);

// Writes a scratch file from a second thread while its bytes are still being
// produced: the producer hands over byte ranges as they become final, in any
// order, and a worker writes each at its file offset.
//
// The data goes to a new hidden file beside `path`, which Finish() renames to
// `path`, so no reader ever finds a partly written file under that name. A
// file already at `path` is removed by the worker when it starts, not
// replaced by the rename: on ext4 a rename over an existing file first
// flushes the new file's data to disk, and unlinking a large file takes a
// while, both of which would otherwise be waited for. So after a failure
// the old file may be gone, but nothing partial is left under `path` and the
// hidden file is removed. Nothing is synced: scratch files only.
//
// Errors are all reported by Finish() (CodecError naming `path`, texts as
// AtomicFileWriter's), so a producer that fails on its own account can report
// that first. Destroying the writer without Finish() stops the worker and
// removes the hidden file.
class BackgroundFileWriter {
 public:
  explicit BackgroundFileWriter(const std::string& path);
  ~BackgroundFileWriter();
  BackgroundFileWriter(const BackgroundFileWriter&) = delete;
  BackgroundFileWriter& operator=(const BackgroundFileWriter&) = delete;

  // Queues [data, data + n) for file offset `offset`. The bytes must stay
  // valid and unchanged until Finish() returns or the writer is destroyed.
  void Put(std::uint64_t offset, const void* data, std::size_t n);
  // Queues a job to run on the writer's thread after the ranges queued before
  // it, for work on the same bytes that may overlap the producer (counting
  // them, say). It must not throw. Jobs still queued when the writer is
  // destroyed without Finish() are dropped; without a second thread it runs
  // at once.
  void Post(std::function<void()> job);
  // Waits until every queued range is written, then publishes the file.
  // Throws CodecError on any failure since construction. Call once.
  void Finish();
  const std::string& Path() const { return path_; }

 private:
  struct Range {
    std::uint64_t offset;
    const std::uint8_t* data;
    std::size_t n;
    std::function<void()> job;  // set: run this instead of writing
  };
  void Run();
  void WriteRange(Range r);
  void Stop() noexcept;
  void Discard() noexcept;

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  // First failure: its text and errno; empty while all went well.
  const char* failWhat_ = nullptr;
  int failErr_ = 0;

  std::mutex m_;
  std::condition_variable cv_;
  std::deque<Range> queue_;
  bool closing_ = false;  // no more ranges will come
  bool cancel_ = false;   // drop what is still queued
  std::thread worker_;
};

}  // namespace tav1
