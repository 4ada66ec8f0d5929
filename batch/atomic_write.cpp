#include "batch/atomic_write.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tav1::batch {
namespace fs = std::filesystem;

namespace {

std::string Errno(const std::string& what, int err) { return what + ": " + std::strerror(err); }

// A name no other job or process picks: hidden, in the target's folder (so the
// rename stays on one file system), with the process id and a counter.
std::string TempNameFor(const std::string& target) {
  static std::atomic<unsigned long> counter{0};
  const fs::path t(target);
  std::string name(1, '.');
  name += t.filename().string();
  name += ".tav1-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
  return (t.parent_path() / name).string();
}

// Moves temp onto target without replacing an existing target. renameat2 with
// RENAME_NOREPLACE is atomic; file systems without it get link + unlink, which
// refuses an existing target just as atomically.
int MoveNoReplace(const std::string& temp, const std::string& target) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  if (::link(temp.c_str(), target.c_str()) != 0) return errno;
  ::unlink(temp.c_str());
  return 0;
}

}  // namespace

WriteResult PublishFile(const std::string& target, bool overwrite, const FillFile& fill) {
  WriteResult r;
  std::error_code ec;
  if (!overwrite && fs::exists(fs::symlink_status(target, ec))) {
    r.status = WriteStatus::kExists;
    return r;
  }
  const std::string temp = TempNameFor(target);
  std::string error;
  if (!fill(temp, error)) {
    ::unlink(temp.c_str());
    r.error = error.empty() ? "cannot write " + target : error;
    return r;
  }
  int err = 0;
  if (overwrite) {
    if (::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  } else {
    err = MoveNoReplace(temp, target);
  }
  if (err != 0) {
    ::unlink(temp.c_str());
    if (err == EEXIST) {
      r.status = WriteStatus::kExists;
    } else {
      r.error = Errno("cannot rename to " + target, err);
    }
    return r;
  }
  r.status = WriteStatus::kWritten;
  return r;
}

namespace {

bool WriteWithFlags(const std::string& path, const std::vector<std::uint8_t>& bytes, int flags,
                    std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd < 0) {
    error = Errno("cannot create " + path, errno);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = Errno("cannot write " + path, errno);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    error = Errno("cannot write " + path, errno);
    return false;
  }
  return true;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error) {
  return WriteWithFlags(path, bytes, O_TRUNC, error);
}

WriteResult PublishBytes(const std::string& target, bool overwrite,
                             const std::vector<std::uint8_t>& bytes) {
  return PublishFile(target, overwrite, [&bytes](const std::string& temp, std::string& error) {
    // O_EXCL: never write through a file or link that was already there.
    return WriteWithFlags(temp, bytes, O_EXCL, error);
  });
}

}  // namespace tav1::batch
