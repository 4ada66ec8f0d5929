#include "codecs/file_io.h"

#include <gtest/gtest.h>

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

}  // namespace
