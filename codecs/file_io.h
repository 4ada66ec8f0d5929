// Whole-file reads and crash-safe writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

}  // namespace tav1
