#include "core/image/open_path.h"

#include <gtest/gtest.h>

#include <png.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_test_files.h"
#include "codecs/file_io.h"
#include "codecs/jpeg_codec.h"
#include "codecs/png_codec.h"
#include "core/image/recording_port.h"

namespace fs = std::filesystem;

namespace {

using tav1::OpenOutcome;
using tav1::testfiles::BmpRecipe;
using tav1::testfiles::ExpectedFixed;
using tav1::testfiles::MakeBmpFile;
using Calls = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

const std::string kBlank = std::string("status:") + tav1::openmsg::kBlank;

class OpenPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("tav1_open_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "tmp");
    names_.PathTemp1 = (dir_ / "tmp").string() + "/";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Put(const std::string& name, const Bytes& bytes) {
    const std::string p = (dir_ / name).string();
    tav1::WriteFileAtomic(p, bytes.data(), bytes.size());
    return p;
  }
  OpenOutcome Open(const std::string& path) {
    port_.calls.clear();
    return tav1::OpenChecks(path, img_, names_, port_);
  }

  fs::path dir_;
  tav1::WorkingImage img_;
  tav1::OpenedNames names_;
  tav1::testing::RecordingPort port_;
};

BmpRecipe Recipe(int w, int h, int bits) {
  BmpRecipe s;
  s.width = w;
  s.height = h;
  s.bits = bits;
  return s;
}

Bytes JpegOf(int w, int h) { return tav1::EncodeJpeg(ExpectedFixed(Recipe(w, h, 24)), 90, false); }

Bytes JpegClaiming(int w, int h) {
  Bytes jpg = JpegOf(8, 8);
  for (std::size_t i = 2; i + 9 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
      jpg[i + 5] = static_cast<std::uint8_t>(h >> 8);
      jpg[i + 6] = static_cast<std::uint8_t>(h);
      jpg[i + 7] = static_cast<std::uint8_t>(w >> 8);
      jpg[i + 8] = static_cast<std::uint8_t>(w);
      break;
    }
  return jpg;
}

// A progressive JPEG whose last Huffman table, read only once decoding has
// begun, is impossible (more than 256 codes): the refusal comes mid-decode.
Bytes JpegBrokenAfterStart(int w, int h) {
  Bytes jpg = tav1::EncodeJpeg(ExpectedFixed(Recipe(w, h, 24)), 90, true);
  std::size_t lastTable = 0;
  for (std::size_t i = 2; i + 21 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xC4) lastTable = i;
  for (std::size_t k = 0; k < 16; ++k) jpg[lastTable + 5 + k] = 0xFF;
  return jpg;
}

// An Adam7-interlaced PNG of a 24-bit store, written straight through libpng.
Bytes InterlacedPngOf(const Bytes& store) {
  const tav1::bmp::HeaderView h = tav1::CheckFixedImage(store);
  const std::size_t stride = static_cast<std::size_t>(tav1::bmp::Stride24(h.width));
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, h.width, h.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < h.height; ++y)
      png_write_row(png, store.data() + 54 + static_cast<std::size_t>(h.height - 1 - y) * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Entries of a folder whose names start with a dot: hidden scratch files.
std::vector<std::string> HiddenIn(const fs::path& dir) {
  std::vector<std::string> hidden;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().front() == '.') hidden.push_back(e.path().filename().string());
  return hidden;
}

Bytes PngOf(const Bytes& store, const fs::path& scratch) {
  tav1::WritePng(scratch.string(), store);
  return tav1::ReadFileBytes(scratch.string());
}

TEST(OpenPathNames, PathPiecesAndUpperCase) {
  struct Case {
    const char* path;
    const char* name;
    const char* folder;
    const char* ext;
  } cases[] = {
      {"/a/b/photo.Jpeg", "photo.Jpeg", "/a/b/", ".Jpeg"},
      {"photo", "photo", "", ""},
      {"/a.b/c", "c", "/a.b/", ""},
      {"/x/a.b.c", "a.b.c", "/x/", ".c"},
      {"/x/.hidden", ".hidden", "/x/", ".hidden"},
      {"/写真/花.PNG", "花.PNG", "/写真/", ".PNG"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tav1::FileNameOf(c.path), c.name) << c.path;
    EXPECT_EQ(tav1::FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(tav1::ExtensionOf(c.path), c.ext) << c.path;
  }
  EXPECT_EQ(tav1::UpperAscii(".jPeg"), ".JPEG");
  EXPECT_EQ(tav1::UpperAscii(".ｊｐｇ"), ".ｊｐｇ");  // full-width letters are not ASCII
}

TEST_F(OpenPathTest, Accepted24BitBmpFillsTheSourceStore) {
  const Bytes file = MakeBmpFile(Recipe(5, 3, 24));
  const std::string path = Put("pic.bmp", file);
  EXPECT_EQ(Open(path), OpenOutcome::Accepted);
  EXPECT_EQ(port_.calls, (Calls{"status:読み込み中...!", "cursor:cross", "caption:TAV1", kBlank}));
  EXPECT_EQ(img_.MemStBmp1, file);
  EXPECT_EQ(img_.biBitFlag, 24);
  EXPECT_EQ(img_.ImageWidth, 5);
  EXPECT_EQ(img_.ImageHeight, 3);
  EXPECT_FALSE(img_.GrayPaletteFlag);
  EXPECT_FALSE(img_.LoadRejected);
  EXPECT_EQ(names_.OpenedPath, path);
  EXPECT_EQ(names_.OpenedName, "pic.bmp");
  EXPECT_EQ(names_.OpenedExt, ".bmp");
  EXPECT_EQ(names_.PathName2, dir_.string() + "/");
}

TEST_F(OpenPathTest, TopDownV5BmpIsStoredInTheFixedLayout) {
  BmpRecipe s = Recipe(3, -4, 8);
  s.headerSize = 124;
  EXPECT_EQ(Open(Put("v5.bmp", MakeBmpFile(s))), OpenOutcome::Accepted);
  EXPECT_EQ(img_.MemStBmp1, ExpectedFixed(s));
  EXPECT_EQ(img_.ImageHeight, 4);
  EXPECT_EQ(img_.biBitFlag, 8);
  EXPECT_EQ(port_.calls[1], "cursor:arrow");
}

TEST_F(OpenPathTest, GrayRampIsAnnouncedWithoutBeep) {
  BmpRecipe s = Recipe(3, 2, 8);
  s.grayRamp = true;
  EXPECT_EQ(Open(Put("g.bmp", MakeBmpFile(s))), OpenOutcome::Accepted);
  EXPECT_EQ(port_.calls,
            (Calls{"status:読み込み中...!", "cursor:arrow", "status:ダイアログ表示中!",
                   "box:パレットが256階調グレイスケールなので\r\nパレットを維持してピクセルを補正します。",
                   "caption:TAV1", kBlank}));
  EXPECT_TRUE(img_.GrayPaletteFlag);
  // One entry off the ramp: no notice, flag cleared.
  Bytes off = MakeBmpFile(s);
  off[54 + 4 * 17 + 1] = 18;
  EXPECT_EQ(Open(Put("g2.bmp", off)), OpenOutcome::Accepted);
  EXPECT_EQ(port_.calls, (Calls{"status:読み込み中...!", "cursor:arrow", "caption:TAV1", kBlank}));
  EXPECT_FALSE(img_.GrayPaletteFlag);
}

struct RejectCase {
  const char* fileName;
  Bytes bytes;
  std::string message;
  Calls before;  // calls of the check that come before the rejection
};

TEST_F(OpenPathTest, RejectionsShowTheirMessageAndChangeNothing) {
  BmpRecipe noColours = Recipe(3, 2, 8);
  noColours.colorsUsed = 0;
  BmpRecipe rle = Recipe(3, 2, 8);
  rle.compression = 1;
  BmpRecipe shortRows = Recipe(3, 2, 24);
  shortRows.truncateBy = 10;
  const Bytes png = PngOf(ExpectedFixed(Recipe(4, 4, 24)), dir_ / "scratch.png");
  const Bytes pngWide = PngOf(ExpectedFixed(Recipe(8001, 1, 24)), dir_ / "scratch2.png");
  const Bytes pngCut(png.begin(), png.end() - 30);
  const Calls jpg = {"status:JPG 読込み中...!"};
  const Calls pngFirst = {"recreate"};
  const Calls pngLater = {"recreate", "status:PNG 読込み中...!"};

  const RejectCase cases[] = {
      {"four.bmp", MakeBmpFile(Recipe(3, 2, 4)), "256色(8bit)かフルカラー(24bit)の画像だけロード可能", {}},
      {"rle.bmp", MakeBmpFile(rle), "圧縮形式は扱えません", {}},
      {"wide.bmp", MakeBmpFile(Recipe(8001, 1, 24)), "画像が大きすぎます(縦横 8000 以下のみ)", {}},
      {"tall.bmp", MakeBmpFile(Recipe(1, -8001, 24)), "画像が大きすぎます(縦横 8000 以下のみ)", {}},
      {"few.bmp", MakeBmpFile(noColours), "パレットが256個未満なので非対応です", {}},
      {"zero.bmp", MakeBmpFile(Recipe(0, 2, 24)), "幅か高さが0以下の画像は扱えません", {}},
      {"cut.bmp", MakeBmpFile(shortRows), "cut.bmp を開けません\r\nファイルがパレットか画素データの途中で終わっています", {}},
      {"tiny.bmp", Bytes{'B', 'M', 1, 2}, "tiny.bmp を開けません\r\nファイルがヘッダの途中で終わっています", {}},
      {"png.bmp", png, "png.bmp を開けません\r\nBMPファイルではないか、対応していないヘッダ形式です", {}},
      {"wide.jpg", JpegOf(8001, 10), "画像が大きすぎます (縦横とも 8000 以下)", jpg},
      {"huge.jpeg", JpegClaiming(64250, 64250), "画像が大きすぎます (縦横とも 8000 以下)", jpg},
      {"bmp.jpg", MakeBmpFile(Recipe(3, 2, 24)), "bmp.jpg を開けません\r\nJPEGファイルではないか、データが壊れています", jpg},
      {"wide.png", pngWide, "画像が大きすぎます (縦横とも 8000 以下)", pngFirst},
      {"cut.png", pngCut, "cut.png を開けません\r\nPNGファイルではないか、データが壊れています", pngLater},
      {"jpg.png", JpegOf(4, 4), "jpg.png を開けません\r\nPNGファイルではないか、データが壊れています", pngFirst},
  };

  ASSERT_EQ(Open(Put("prev.bmp", MakeBmpFile(Recipe(6, 5, 8)))), OpenOutcome::Accepted);
  img_.GeometryStep();
  img_.ReadyFlag = true;
  const tav1::WorkingImage before = img_;
  for (const auto& c : cases) {
    const std::string path = Put(c.fileName, c.bytes);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Open(path), OpenOutcome::Rejected) << c.fileName;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1)) << c.fileName;
    Calls want = {"status:読み込み中...!"};
    want.insert(want.end(), c.before.begin(), c.before.end());
    want.insert(want.end(), {"beep", "status:ダイアログ表示中!", "box:" + c.message, "caption:TAV1", kBlank});
    EXPECT_EQ(port_.calls, want) << c.fileName;
    EXPECT_EQ(img_.MemStBmp1, before.MemStBmp1) << c.fileName;
    EXPECT_EQ(img_.MemStBmp2, before.MemStBmp2) << c.fileName;
    EXPECT_EQ(img_.biBitFlag, before.biBitFlag) << c.fileName;
    EXPECT_EQ(img_.ImageWidth, before.ImageWidth) << c.fileName;
    EXPECT_EQ(img_.ImageHeight, before.ImageHeight) << c.fileName;
    EXPECT_EQ(img_.geo.XBytes08, before.geo.XBytes08) << c.fileName;
    EXPECT_FALSE(img_.LoadRejected) << c.fileName;
    EXPECT_TRUE(img_.ReadyFlag) << c.fileName;
    EXPECT_EQ(names_.OpenedName, c.fileName);  // the names already point to the rejected file
  }
  // The next valid file opens normally.
  EXPECT_EQ(Open(Put("next.jpg", JpegOf(7, 3))), OpenOutcome::Accepted);
  EXPECT_EQ(img_.ImageWidth, 7);
}

TEST_F(OpenPathTest, ExtensionPicksTheCheck) {
  const Bytes store = ExpectedFixed(Recipe(9, 4, 24));
  const std::string jpegPath = Put("photo.Jpeg", tav1::EncodeJpeg(store, 95, true));
  EXPECT_EQ(Open(jpegPath), OpenOutcome::Accepted);
  EXPECT_EQ(port_.calls, (Calls{"status:読み込み中...!", "status:JPG 読込み中...!", "cursor:cross", kBlank,
                                "caption:TAV1", kBlank}));
  EXPECT_EQ(img_.biBitFlag, 24);
  EXPECT_EQ(img_.ImageWidth, 9);
  EXPECT_EQ(tav1::ReadFileBytes(names_.PathTemp1 + "TAV1tmp1.bmp"), img_.MemStBmp1);

  const std::string pngPath = Put("x.PNG", PngOf(store, dir_ / "scratch.png"));
  EXPECT_EQ(Open(pngPath), OpenOutcome::Accepted);
  EXPECT_EQ(port_.calls, (Calls{"status:読み込み中...!", "recreate", "status:PNG 読込み中...!", "cursor:cross",
                                std::string(kBlank) + "!", "caption:TAV1", kBlank}));
  EXPECT_EQ(img_.MemStBmp1, store);
  EXPECT_EQ(tav1::ReadFileBytes(names_.PathTemp1 + "TAV1tmp2.bmp"), store);

  const tav1::WorkingImage before = img_;
  EXPECT_EQ(Open(Put("photo.gif", store)), OpenOutcome::UnknownExtension);
  EXPECT_EQ(port_.calls, Calls{"status:読み込み中...!"});
  EXPECT_EQ(names_.OpenedName, "photo.gif");
  EXPECT_EQ(names_.OpenedExt, ".gif");
  EXPECT_EQ(img_.MemStBmp1, before.MemStBmp1);

  for (const std::string& missing : {(dir_ / "absent.bmp").string(), (dir_ / "tmp").string()}) {
    EXPECT_EQ(Open(missing), OpenOutcome::NoFile) << missing;
    EXPECT_TRUE(port_.calls.empty()) << missing;
    EXPECT_EQ(names_.OpenedName, "photo.gif") << missing;
  }
}

TEST_F(OpenPathTest, TempFolderAndCleanUp) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", dir_.string().c_str(), 1);
  EXPECT_EQ(tav1::TmpDir(), dir_.string() + "/");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(tav1::TmpDir(), "/tmp/");
  if (old) setenv("TMPDIR", saved.c_str(), 1); else unsetenv("TMPDIR");

  const std::string t = names_.PathTemp1;
  for (const char* n : {"TAV1tmp1.bmp", "TAV1tmp4.bmp", "TAV1tmp1.jpg", "TAV1_Tmp_Clipboard1.bmp", "other.bmp"})
    std::ofstream(t + n) << "x";
  tav1::DeleteTempFiles(t);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(t)) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"other.bmp"});
  tav1::DeleteTempFiles(t + "missing/");  // nothing there: no error
}

// The temporary BMP is written by bands while the picture decodes (JPEG and
// non-interlaced PNG; an interlaced PNG's rows come in passes); it must come
// out byte for byte as a whole-store write gives it, and replace a longer
// older file completely.
TEST_F(OpenPathTest, TempFileMatchesTheStoreWrittenWhole) {
  // 1001 wide: one padding byte a row; 1000 rows are several bands.
  const Bytes store = ExpectedFixed(Recipe(1001, 1000, 24));
  struct Case {
    const char* fileName;
    Bytes bytes;
    const char* tempName;
  };
  const Case cases[] = {
      {"big.jpg", JpegOf(1001, 1000), "TAV1tmp1.bmp"},
      {"big.png", PngOf(store, dir_ / "scratch.png"), "TAV1tmp2.bmp"},
      {"adam7.png", InterlacedPngOf(store), "TAV1tmp2.bmp"},
  };
  for (const Case& c : cases) {
    const std::string temp = names_.PathTemp1 + c.tempName;
    std::ofstream(temp, std::ios::binary) << std::string(5 << 20, '\x7f');
    ASSERT_EQ(Open(Put(c.fileName, c.bytes)), OpenOutcome::Accepted) << c.fileName;
    if (c.bytes[0] == 0x89) {  // PNG is lossless
      EXPECT_TRUE(img_.MemStBmp1 == store) << c.fileName;
    }
    const std::string whole = (dir_ / "whole.bmp").string();
    tav1::WriteBmp(whole, img_.MemStBmp1);
    EXPECT_TRUE(tav1::ReadFileBytes(temp) == tav1::ReadFileBytes(whole)) << c.fileName;
    for (std::size_t row = 0; row < 1000; ++row)
      ASSERT_EQ(img_.MemStBmp1[54 + row * 3004 + 3003], 0) << c.fileName << ": padding of row " << row;
    EXPECT_TRUE(HiddenIn(names_.PathTemp1).empty()) << c.fileName;
  }
  ASSERT_EQ(Open(Put("small.jpg", JpegOf(7, 3))), OpenOutcome::Accepted);
  EXPECT_EQ(tav1::ReadFileBytes(names_.PathTemp1 + "TAV1tmp1.bmp"), img_.MemStBmp1);
}

// A temporary file that cannot be made or written refuses the open with its
// own message and leaves the stores, and no partial file, behind; so does a
// JPEG that breaks after its temporary file was begun.
TEST_F(OpenPathTest, TempFileAndLateDecodeFailuresRejectAndLeaveNoPartialFile) {
  enum class Trouble { None, MissingFolder, FolderInTheWay, FileSizeLimit };
  struct Case {
    const char* fileName;
    Bytes bytes;
    Trouble trouble;
    Calls before;  // the check's calls before the refusal
    const char* reason;
  };
  const Bytes jpg = JpegOf(1001, 1000);
  const Bytes png = PngOf(ExpectedFixed(Recipe(1001, 1000, 24)), dir_ / "scratch.png");
  const Calls jpgCalls = {"status:JPG 読込み中...!"};
  const Calls pngCalls = {"recreate", "status:PNG 読込み中...!"};
  const char* tempWrite = tav1::openmsg::kTempWrite;
  const Case cases[] = {
      {"a.jpg", jpg, Trouble::MissingFolder, jpgCalls, tempWrite},
      {"b.jpg", jpg, Trouble::FolderInTheWay, jpgCalls, tempWrite},
      {"c.jpg", jpg, Trouble::FileSizeLimit, jpgCalls, tempWrite},
      {"d.png", png, Trouble::MissingFolder, pngCalls, tempWrite},
      {"e.png", png, Trouble::FileSizeLimit, pngCalls, tempWrite},
      {"f.jpg", JpegBrokenAfterStart(64, 48), Trouble::None, jpgCalls, tav1::openmsg::kJpegBroken},
  };

  ASSERT_EQ(Open(Put("prev.bmp", MakeBmpFile(Recipe(6, 5, 8)))), OpenOutcome::Accepted);
  img_.GeometryStep();
  const tav1::WorkingImage before = img_;
  const tav1::OpenedNames names = names_;
  for (const Case& c : cases) {
    const std::string path = Put(c.fileName, c.bytes);
    fs::remove_all(names.PathTemp1);
    fs::create_directories(names.PathTemp1);
    const std::string tempName = names.PathTemp1 + (c.bytes == png ? "TAV1tmp2.bmp" : "TAV1tmp1.bmp");
    names_.PathTemp1 = c.trouble == Trouble::MissingFolder ? names.PathTemp1 + "absent/" : names.PathTemp1;
    if (c.trouble == Trouble::FolderInTheWay) fs::create_directory(tempName);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (c.trouble == Trouble::FileSizeLimit) {
      std::signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail with EFBIG instead
      rlimit small = saved;
      small.rlim_cur = 1 << 20;  // less than one band of rows
      setrlimit(RLIMIT_FSIZE, &small);
    }
    const OpenOutcome outcome = Open(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    names_.PathTemp1 = names.PathTemp1;

    EXPECT_EQ(outcome, OpenOutcome::Rejected) << c.fileName;
    Calls want = {"status:読み込み中...!"};
    want.insert(want.end(), c.before.begin(), c.before.end());
    want.insert(want.end(), {"beep", "status:ダイアログ表示中!",
                             "box:" + tav1::openmsg::Damaged(c.fileName, c.reason), "caption:TAV1", kBlank});
    EXPECT_EQ(port_.calls, want) << c.fileName;
    EXPECT_EQ(img_.MemStBmp1, before.MemStBmp1) << c.fileName;
    EXPECT_EQ(img_.MemStBmp2, before.MemStBmp2) << c.fileName;
    EXPECT_EQ(img_.ImageWidth, before.ImageWidth) << c.fileName;
    EXPECT_EQ(img_.biBitFlag, before.biBitFlag) << c.fileName;
    EXPECT_FALSE(fs::is_regular_file(tempName)) << c.fileName;
    EXPECT_EQ(fs::is_directory(tempName), c.trouble == Trouble::FolderInTheWay) << c.fileName;
    EXPECT_TRUE(HiddenIn(names.PathTemp1).empty()) << c.fileName;
  }
}

}  // namespace
