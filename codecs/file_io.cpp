#include "codecs/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace tav1 {
namespace {

std::string Describe(const char* what, const std::string& path, int err) {
  std::string msg = std::string(what) + ": " + path;
  if (err != 0) msg += " (" + std::string(std::strerror(err)) + ")";
  return msg;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Mode for a new file: that of the file it replaces, else 0666 less the umask.
mode_t NewFileMode(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  // O_NONBLOCK: opening a pipe must not wait for a writer (it is refused below
  // as not a regular file); reads of regular files are unaffected.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw CodecError(Describe("ファイルを開けません", path, errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throw CodecError(Describe("ファイルを読み込めません", path, err));
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(st.st_size));
  } catch (const std::bad_alloc&) {
    ::close(fd);
    throw CodecError(Describe("ファイルが大きすぎて読み込めません", path, ENOMEM));
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int err = errno;
      ::close(fd);
      throw CodecError(Describe("ファイルを読み込めません", path, err));
    }
    if (got == 0) break;  // the file shrank while we read it: keep what exists
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  ::close(fd);
  return bytes;
}

AtomicFileWriter::AtomicFileWriter(const std::string& path, bool durable) : path_(path), durable_(durable) {
  std::string templ = FolderOf(path) + "/." + NameOf(path) + ".tmp.XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
  if (fd_ < 0) throw CodecError(Describe("ファイルを作成できません", path_, errno));
  tempPath_ = buf.data();
  if (::fchmod(fd_, NewFileMode(path_)) != 0) Fail("ファイルを作成できません", errno);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!committed_) Discard();
}

void AtomicFileWriter::Discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

void AtomicFileWriter::Fail(const char* what, int err) {
  Discard();
  throw CodecError(Describe(what, path_, err));
}

void AtomicFileWriter::Write(const void* data, std::size_t n) {
  if (fd_ < 0) throw CodecError(Describe("ファイルに書き込めません", path_, EBADF));
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    const std::size_t chunk = std::min<std::size_t>(n, 1u << 30);
    const ssize_t put = ::write(fd_, p, chunk);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) Fail("ファイルに書き込めません", put < 0 ? errno : ENOSPC);
    p += put;
    n -= static_cast<std::size_t>(put);
  }
}

void AtomicFileWriter::Commit() {
  if (fd_ < 0) throw CodecError(Describe("ファイルに書き込めません", path_, EBADF));
  if (durable_ && ::fsync(fd_) != 0) Fail("ファイルに書き込めません", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("ファイルに書き込めません", errno);
  if (::rename(tempPath_.c_str(), path_.c_str()) != 0) Fail("ファイルを置き換えられません", errno);
  tempPath_.clear();
  committed_ = true;
  if (!durable_) return;
  // Make the rename itself durable; a failure here no longer endangers either file.
  const int dir = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void WriteFileAtomic(const std::string& path, const void* data, std::size_t n, bool durable) {
  AtomicFileWriter w(path, durable);
  w.Write(data, n);
  w.Commit();
}

BackgroundFileWriter::BackgroundFileWriter(const std::string& path) : path_(path) {
  std::string templ = FolderOf(path) + "/." + NameOf(path) + ".tmp.XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
  if (fd_ < 0) {
    failWhat_ = "ファイルを作成できません";
    failErr_ = errno;
    return;  // no worker: Finish() reports it
  }
  tempPath_ = buf.data();
  if (::fchmod(fd_, NewFileMode(path_)) != 0) {
    failWhat_ = "ファイルを作成できません";
    failErr_ = errno;
    Discard();
    return;
  }
  try {
    worker_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    ::unlink(path_.c_str());  // no second thread to be had: Put writes on the caller's
  }
}

BackgroundFileWriter::~BackgroundFileWriter() {
  Stop();
  Discard();
}

void BackgroundFileWriter::Stop() noexcept {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(m_);
    closing_ = true;
    cancel_ = true;
  }
  cv_.notify_one();
  worker_.join();
}

void BackgroundFileWriter::Discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

void BackgroundFileWriter::Put(std::uint64_t offset, const void* data, std::size_t n) {
  if (n == 0 || fd_ < 0) return;
  if (!worker_.joinable()) return WriteRange({offset, static_cast<const std::uint8_t*>(data), n, {}});
  {
    std::lock_guard<std::mutex> lock(m_);
    queue_.push_back({offset, static_cast<const std::uint8_t*>(data), n, {}});
  }
  cv_.notify_one();
}

void BackgroundFileWriter::Post(std::function<void()> job) {
  if (!job) return;
  if (!worker_.joinable()) return job();
  {
    std::lock_guard<std::mutex> lock(m_);
    queue_.push_back({0, nullptr, 0, std::move(job)});
  }
  cv_.notify_one();
}

void BackgroundFileWriter::Run() {
  // The old file goes first, while the producer is still busy. Anything other
  // than a file (a folder, say) stays and makes the final rename fail.
  ::unlink(path_.c_str());
  for (;;) {
    Range r{};
    {
      std::unique_lock<std::mutex> lock(m_);
      cv_.wait(lock, [&] { return closing_ || !queue_.empty(); });
      if (cancel_ || queue_.empty()) return;
      r = std::move(queue_.front());
      queue_.pop_front();
    }
    if (r.job) {
      r.job();
    } else {
      WriteRange(r);
    }
  }
}

void BackgroundFileWriter::WriteRange(Range r) {
  if (failWhat_ != nullptr) return;  // the file is lost anyway
  while (r.n > 0) {
    const std::size_t chunk = std::min<std::size_t>(r.n, 1u << 30);
    const ssize_t put = ::pwrite(fd_, r.data, chunk, static_cast<off_t>(r.offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      failWhat_ = "ファイルに書き込めません";
      failErr_ = put < 0 ? errno : ENOSPC;
      return;
    }
    r.data += put;
    r.offset += static_cast<std::uint64_t>(put);
    r.n -= static_cast<std::size_t>(put);
  }
}

void BackgroundFileWriter::Finish() {
  if (worker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(m_);
      closing_ = true;
    }
    cv_.notify_one();
    worker_.join();  // failWhat_ and failErr_ are this thread's again
  }
  if (failWhat_ == nullptr && fd_ < 0) {
    failWhat_ = "ファイルに書き込めません";  // a second Finish()
    failErr_ = EBADF;
  }
  if (failWhat_ == nullptr) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      failWhat_ = "ファイルに書き込めません";
      failErr_ = errno;
    } else if (::rename(tempPath_.c_str(), path_.c_str()) != 0) {
      failWhat_ = "ファイルを置き換えられません";
      failErr_ = errno;
    } else {
      tempPath_.clear();
      return;
    }
  }
  Discard();
  throw CodecError(Describe(failWhat_, path_, failErr_));
}

}  // namespace tav1
