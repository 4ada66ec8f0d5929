// Inputs that once crashed, hung or exhausted memory somewhere on the open path
// (found by the fuzz targets in fuzz/), kept in tests/data/crashers or built here
// when they come from a public test suite that is not ours to copy. Each must
// now end the way the table says, quickly, with a message for every refusal and
// a store that matches the geometry for every acceptance. Memory hogs among
// them are caught in the sanitizer build (scripts/sanitize.sh), whose
// allocator refuses any single allocation above 512 MB.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <zlib.h>

#include "codecs/bmp_codec.h"
#include "codecs/file_io.h"
#include "core/image/open_path.h"
#include "core/image/recording_port.h"

namespace fs = std::filesystem;

namespace {

using tav1::OpenOutcome;

const fs::path kCrashers = fs::path(TAV1_TEST_DATA_DIR) / "crashers";

// Every reproducer with the outcome it must have; tests/data/crashers/README.md
// says what each one caught.
const std::map<std::string, OpenOutcome>& Expected() {
  static const std::map<std::string, OpenOutcome> table = {};
  return table;
}

class CrasherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tav1_crashers_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    names_.PathTemp1 = dir_.string() + "/";
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  tav1::OpenedNames names_;
};

TEST_F(CrasherTest, EveryReproducerEndsAsRecordedWithAMessageOrAConsistentStore) {
  ASSERT_TRUE(fs::is_directory(kCrashers)) << kCrashers;
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(kCrashers)) {
    const std::string name = entry.path().filename().string();
    if (name == "README.md") continue;
    SCOPED_TRACE(name);
    const auto want = Expected().find(name);
    ASSERT_NE(want, Expected().end()) << "a reproducer without an expected outcome";
    ++seen;

    tav1::WorkingImage img;
    tav1::testing::RecordingPort port;
    const auto start = std::chrono::steady_clock::now();
    const OpenOutcome got = tav1::OpenChecks(entry.path().string(), img, names_, port);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(got, want->second);
    EXPECT_LT(seconds, 10.0);
    EXPECT_FALSE(img.LoadRejected);
    if (got == OpenOutcome::Rejected) {
      EXPECT_TRUE(std::any_of(port.calls.begin(), port.calls.end(),
                              [](const std::string& c) { return c.rfind("box:", 0) == 0; }));
      EXPECT_TRUE(img.MemStBmp1.empty()) << "a refusal must leave the source store as it was";
    } else if (got == OpenOutcome::Accepted) {
      const tav1::bmp::HeaderView h = tav1::CheckFixedImage(img.MemStBmp1);
      EXPECT_EQ(h.width, img.ImageWidth);
      EXPECT_EQ(h.height, img.ImageHeight);
      EXPECT_EQ(h.bits, img.biBitFlag);
    }
  }
  EXPECT_EQ(static_cast<std::size_t>(seen), Expected().size()) << "a listed reproducer is missing";
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[4], std::uint32_t claimedLength,
              const std::vector<std::uint8_t>& data) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(claimedLength >> (8 * i)));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
}

// A 1 x 1 PNG whose iTXt chunk claims 1 GB (its data is missing). libpng only
// warns about such a size and then allocates it; the reader must skip text
// chunks unread. The sanitizer build's 512 MB allocation cap turns a regression
// into a failure; here the file must be refused quickly with a message.
TEST_F(CrasherTest, PngWhoseTextChunkClaimsAGigabyteIsRefusedQuickly) {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  PutChunk(png, "IHDR", 13, {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0});
  PutChunk(png, "iTXt", 0x40000000u, {'T', 'i', 't', 'l', 'e', 0});
  PutChunk(png, "IEND", 0, {});
  const std::string path = (dir_ / "text_claims_1gb.png").string();
  tav1::WriteFileAtomic(path, png.data(), png.size());

  tav1::WorkingImage img;
  tav1::testing::RecordingPort port;
  const auto start = std::chrono::steady_clock::now();
  const OpenOutcome got = tav1::OpenChecks(path, img, names_, port);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(got, OpenOutcome::Rejected);
  EXPECT_LT(seconds, 10.0);
  EXPECT_TRUE(std::any_of(port.calls.begin(), port.calls.end(),
                          [](const std::string& c) { return c.rfind("box:", 0) == 0; }));
  EXPECT_TRUE(img.MemStBmp1.empty());
}

// A named pipe given a picture's name blocks whoever opens it for reading
// until a writer comes. A watchdog plays that writer after a while, so a
// regression shows as a slow refusal instead of a test that never ends.
TEST_F(CrasherTest, PipesNamedLikePicturesAreNotOpened) {
  for (const char* name : {"pipe.bmp", "pipe.jpg", "pipe.png"}) {
    SCOPED_TRACE(name);
    const std::string path = (dir_ / name).string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
      while (!done && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      while (!done) {  // O_NONBLOCK: succeeds only while a reader is waiting
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    tav1::WorkingImage img;
    tav1::testing::RecordingPort port;
    const auto start = std::chrono::steady_clock::now();
    const OpenOutcome got = tav1::OpenChecks(path, img, names_, port);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    watchdog.join();
    EXPECT_EQ(got, OpenOutcome::NoFile);
    EXPECT_TRUE(port.calls.empty());
    EXPECT_LT(seconds, 2.0);
  }
}

}  // namespace
