#include "codecs/file_io.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tav1_file_io_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  size_t EntryCount() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

TEST_F(FileIoTest, WriteReplacesOldFileAndLeavesNoTempBehind) {
  const std::string path = (dir_ / "a.bin").string();
  tav1::WriteFileAtomic(path, "old contents", 12);
  tav1::WriteFileAtomic(path, "new", 3);
  EXPECT_EQ(Slurp(path), "new");
  EXPECT_EQ(EntryCount(), 1u);
  const auto bytes = tav1::ReadFileBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
}

TEST_F(FileIoTest, UncommittedWriterKeepsOldFile) {
  const std::string path = (dir_ / "keep.bin").string();
  tav1::WriteFileAtomic(path, "keep", 4);
  {
    tav1::AtomicFileWriter w(path);
    w.Write("half", 4);
  }
  EXPECT_EQ(Slurp(path), "keep");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileIoTest, FailedRenameKeepsTargetAndNamesIt) {
  // A folder in the way makes the final rename fail after the data was written.
  const fs::path target = dir_ / "busy";
  fs::create_directory(target);
  try {
    tav1::WriteFileAtomic(target.string(), "x", 1);
    FAIL() << "expected CodecError";
  } catch (const tav1::CodecError& e) {
    EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << e.what();
  }
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileIoTest, ErrorsNameTheFile) {
  const std::string missingDir = (dir_ / "no" / "such.bmp").string();
  EXPECT_THROW(tav1::WriteFileAtomic(missingDir, "x", 1), tav1::CodecError);
  for (const std::string& p : {(dir_ / "absent.bmp").string(), dir_.string()}) {
    try {
      tav1::ReadFileBytes(p);
      ADD_FAILURE() << "read of " << p << " should fail";
    } catch (const tav1::CodecError& e) {
      EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what();
    }
  }
}

TEST_F(FileIoTest, EmptyFileReadsAsNoBytes) {
  const std::string path = (dir_ / "empty").string();
  tav1::WriteFileAtomic(path, "", 0);
  EXPECT_TRUE(tav1::ReadFileBytes(path).empty());
}

// Ranges handed over in any order (here backwards, as bottom-up rows arrive)
// land at their offsets; the result replaces the old file only at Finish.
TEST_F(FileIoTest, BackgroundWriterPlacesRangesAndPublishesOnFinish) {
  const std::string path = (dir_ / "scratch.bmp").string();
  tav1::WriteFileAtomic(path, "an older and much longer file", 29);
  const std::string want = "HEAD-rows3-rows2-rows1-";
  {
    tav1::BackgroundFileWriter w(path);
    w.Put(0, want.data(), 5);
    for (std::size_t at : {17u, 11u, 5u}) w.Put(at, want.data() + at, 6);
    w.Put(23, want.data(), 0);  // empty ranges are allowed and write nothing
    w.Finish();
  }
  EXPECT_EQ(Slurp(path), want);
  EXPECT_EQ(EntryCount(), 1u);  // no hidden file left
}

// Posted jobs run on the writer's thread in their turn among the ranges, all
// before Finish returns; a writer destroyed unfinished runs no more of them.
TEST_F(FileIoTest, BackgroundWriterRunsPostedJobsInOrderBeforeFinishReturns) {
  const std::string path = (dir_ / "jobs.bmp").string();
  std::string seen;  // written by the jobs only, read after Finish
  {
    tav1::BackgroundFileWriter w(path);
    for (char c : std::string("abc")) {
      w.Put(static_cast<std::uint64_t>(c - 'a'), "abc" + (c - 'a'), 1);
      w.Post([&seen, c] { seen += c; });
    }
    w.Finish();
    EXPECT_EQ(seen, "abc");
  }
  EXPECT_EQ(Slurp(path), "abc");
}

// Every failure surfaces at Finish (never at construction, so a producer can
// report its own failure first), names the file and leaves no partial file.
TEST_F(FileIoTest, BackgroundWriterFailuresThrowAtFinishAndLeaveNothingPartial) {
  enum class Trouble { MissingFolder, FolderInTheWay, FileSizeLimit };
  struct Case {
    const char* name;
    Trouble trouble;
    std::size_t entriesAfter;  // in the test folder
  };
  const Case cases[] = {
      {"missing folder", Trouble::MissingFolder, 0},
      {"folder in the way", Trouble::FolderInTheWay, 1},
      {"file size limit", Trouble::FileSizeLimit, 0},
  };
  const std::string data(1 << 16, 'x');
  for (const Case& c : cases) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const bool limited = c.trouble == Trouble::FileSizeLimit;
    const fs::path target = c.trouble == Trouble::MissingFolder ? dir_ / "absent" / "t.bmp" : dir_ / "t.bmp";
    if (c.trouble == Trouble::FolderInTheWay) fs::create_directory(target);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (limited) {
      std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
      rlimit small = saved;
      small.rlim_cur = 1000;
      setrlimit(RLIMIT_FSIZE, &small);
    }
    try {
      tav1::BackgroundFileWriter w(target.string());
      w.Put(0, data.data(), data.size());
      w.Finish();
      ADD_FAILURE() << c.name << ": expected CodecError";
    } catch (const tav1::CodecError& e) {
      EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << c.name << ": " << e.what();
    }
    if (limited) setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(EntryCount(), c.entriesAfter) << c.name;
    EXPECT_FALSE(fs::is_regular_file(target)) << c.name;
  }
}

TEST_F(FileIoTest, BackgroundWriterDestroyedUnfinishedPublishesNothing) {
  const std::string path = (dir_ / "t.bmp").string();
  const std::string data(1 << 20, 'y');
  {
    tav1::BackgroundFileWriter w(path);
    for (std::size_t at = 0; at < data.size(); at += 4096) w.Put(at, data.data() + at, 4096);
  }
  EXPECT_EQ(EntryCount(), 0u);
}

}  // namespace
