// tav1-batch end to end, in process: what it writes equals the editor's own
// pass and writers, it keeps going past bad pictures, it never replaces what
// it must not, and its bytes do not depend on the number of jobs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "batch_fixture.h"
#include "codecs/jpeg_codec.h"
#include "codecs/png_codec.h"
#include "core/tone/passes.h"
#include "core/tone/tables.h"

namespace tav1::batch::testing {
namespace {

const std::string kParams = "16,-40,235,0,30,250,-10,0,270";

ToneParams ParamsOf(const std::string& csv) {
  ToneParams p;
  std::stringstream in(csv);
  std::string item;
  for (int k = 0; k < 9 && std::getline(in, item, ','); ++k) p.v[static_cast<std::size_t>(k)] = std::stoi(item);
  return p;
}

// What the editor holds in its result store after opening `store` and applying.
Bytes CorePass(const Bytes& store, const ToneParams& params, const TonePassRequest& req,
               int order = 0, int origin = 0) {
  ToneParams p = params;
  if (req.SoloFlag <= 2) {
    for (int c = 0; c < 3; ++c) {
      if (c != req.SoloFlag) {
        p.at(c, 0) = kPlaceholderLow;
        p.at(c, 1) = kPlaceholderGamma;
        p.at(c, 2) = kPlaceholderHigh;
      }
    }
  }
  const ToneTables tables = TableMake(p, order, origin);
  bmp::HeaderView h;
  EXPECT_TRUE(bmp::ReadHeader(store.data(), store.size(), h));
  const Geometry geo = Geometry::From(h.width, h.height);
  Bytes dst = store;
  EXPECT_EQ(ApplyTonePass(store, dst, geo, tables, req).status, PassStatus::Done);
  return dst;
}

// Decoded PNG or JPEG as rows of blue, green, red, top row first.
Bytes DecodedPixels(const Bytes& file, bool png, int& w, int& h) {
  Bytes px;
  auto decode = [&](auto& reader) {
    w = reader.Width();
    h = reader.Height();
    px.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3, 0);
    reader.ReadRows([&](int y) { return px.data() + static_cast<std::size_t>(y) * 3 * static_cast<std::size_t>(w); });
  };
  if (png) {
    PngReader r(file.data(), file.size());
    decode(r);
  } else {
    JpegReader r(file.data(), file.size());
    decode(r);
  }
  return px;
}

// A fixed-layout store as rows of blue, green, red, top row first (8-bit
// through its palette).
Bytes StorePixels(const Bytes& store) {
  bmp::HeaderView h;
  bmp::ReadHeader(store.data(), store.size(), h);
  Bytes px;
  const auto stride = static_cast<std::size_t>(bmp::Stride(h.width, h.bits));
  for (int y = 0; y < h.height; ++y) {
    const std::uint8_t* row = store.data() + bmp::RowsOffset(h.bits) +
                              static_cast<std::size_t>(h.height - 1 - y) * stride;
    for (int x = 0; x < h.width; ++x) {
      const std::uint8_t* c = h.bits == 8 ? store.data() + bmp::kPaletteOffset + 4 * row[x] : row + 3 * x;
      px.insert(px.end(), c, c + 3);
    }
  }
  return px;
}

using BatchRunTest = BatchTest;

TEST_F(BatchRunTest, BmpOutputIsTheCorePassResult) {
  struct Picture {
    const char* name;
    Bytes store;
  };
  const Picture pictures[] = {
      {"card24.bmp", TestCard24()},
      {"one.bmp", TestCard24(2, 2)},  // stride 8: two padding bytes per row
      {"card8.bmp", TestCard8()},
      {"ramp8.bmp", TestCard8(5, 3, true)},  // grey-ramp palette: indices are mapped
  };
  struct Options {
    std::vector<std::string> args;
    TonePassRequest req;
    int order, origin;
  };
  TonePassRequest boosted;
  boosted.SliderPosition = 15;
  boosted.ByKido = true;
  TonePassRequest cut;
  cut.SliderPosition = 3;
  cut.BySatu = true;
  TonePassRequest solo;
  solo.SoloFlag = 1;
  solo.SliderPosition = 40;  // ignored in solo mode
  const Options variants[] = {
      {{"--saturation", "15", "--kido-rdc", "1"}, boosted, 0, 0},
      {{"--saturation", "3", "--satu-rdc", "1", "--order", "1", "--origin", "1"}, cut, 1, 1},
      {{"--solo", "1", "--saturation", "40"}, solo, 0, 0},
  };
  for (const Picture& pic : pictures) WriteBytes(Path(pic.name), pic.store);
  for (const Options& v : variants) {
    SCOPED_TRACE(::testing::PrintToString(v.args));
    std::vector<std::string> args = v.args;
    args.insert(args.end(), {"--params", kParams, "--overwrite", "--out-dir", P("out")});
    for (const Picture& pic : pictures) args.push_back(P(pic.name));
    const RunOutput r = Run(args);
    ASSERT_EQ(r.code, kExitAllWritten) << r.err;
    EXPECT_NE(r.err.find("4 processed, 0 rejected, 0 skipped, 0 failed"), std::string::npos) << r.err;
    for (const Picture& pic : pictures) {
      SCOPED_TRACE(pic.name);
      TonePassRequest req = v.req;
      bmp::HeaderView h;
      bmp::ReadHeader(pic.store.data(), pic.store.size(), h);
      req.biBitFlag = h.bits;
      req.GrayPaletteFlag = std::string(pic.name) == "ramp8.bmp";
      const Bytes want = CorePass(pic.store, ParamsOf(kParams), req, v.order, v.origin);
      const std::string outName = fs::path(pic.name).stem().string() + "_tav1.bmp";
      EXPECT_EQ(ReadBytes(Path("out") / outName), want);
    }
  }
}

TEST_F(BatchRunTest, PngOutputKeepsTheDepthAndThePixels) {
  const Bytes card8 = TestCard8(9, 4);
  const Bytes card24 = TestCard24(6, 5);
  WriteBytes(Path("c8.bmp"), card8);
  WriteBytes(Path("c24.bmp"), card24);
  const RunOutput r = Run({"--params", kParams, "--saturation", "25", "--format", "png", P("c8.bmp"), P("c24.bmp")});
  ASSERT_EQ(r.code, kExitAllWritten) << r.err;

  struct Case {
    const char* out;
    const Bytes* in;
    int bits;
    std::uint8_t colourType;
  };
  for (const Case& c : {Case{"c8_tav1.png", &card8, 8, 3}, Case{"c24_tav1.png", &card24, 24, 2}}) {
    SCOPED_TRACE(c.out);
    const Bytes png = ReadBytes(Path(c.out));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[24], 8);  // IHDR bit depth
    EXPECT_EQ(png[25], c.colourType);
    TonePassRequest req;
    req.biBitFlag = c.bits;
    req.SliderPosition = 25;
    int w = 0;
    int h = 0;
    EXPECT_EQ(DecodedPixels(png, true, w, h), StorePixels(CorePass(*c.in, ParamsOf(kParams), req)));
  }
}

TEST_F(BatchRunTest, JpegInputGivesTheEditorsJpegBytes) {
  const Bytes jpeg = EncodeJpeg(TestCard24(40, 24), 90, false);
  WriteBytes(Path("photo.JPG"), jpeg);
  const RunOutput r = Run({"--params", kParams, "--saturation", "12", "--quality", "77", "--progressive", P("photo.JPG")});
  ASSERT_EQ(r.code, kExitAllWritten) << r.err;
  TonePassRequest req;
  req.SliderPosition = 12;
  const Bytes want = EncodeJpeg(CorePass(DecodeJpegToStore(jpeg), ParamsOf(kParams), req), 77, true);
  EXPECT_EQ(ReadBytes(Path("photo_tav1.JPG")), want);  // the input's extension, as written
}

TEST_F(BatchRunTest, PrintTablesShowsTheToneEngineTables) {
  // Red and green are worked rows of the tone tables; blue has a lifted black.
  const RunOutput r = Run({"--print-tables", "--params", "16,64,235,0,-64,255,-64,0,255"});
  ASSERT_EQ(r.code, kExitAllWritten) << r.err;
  std::istringstream lines(r.out);
  const int probes[] = {0, 1, 16, 64, 128, 192, 235, 254, 255};
  const std::vector<int> want[3] = {{0, 0, 0, 6, 50, 150, 255, 255, 255},
                                    {0, 15, 63, 127, 180, 221, 244, 254, 255},
                                    {51, 51, 63, 102, 153, 204, 239, 254, 255}};
  const char* const heads[3] = {"R:", "G:", "B:"};
  for (int t = 0; t < 3; ++t) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    std::istringstream in(line);
    std::string head;
    in >> head;
    EXPECT_EQ(head, heads[t]);
    std::vector<int> values;
    for (int v; in >> v;) values.push_back(v);
    ASSERT_EQ(values.size(), 256u);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(values[static_cast<std::size_t>(probes[k])], want[t][static_cast<std::size_t>(k)]) << heads[t] << probes[k];
  }
  std::string extra;
  EXPECT_FALSE(std::getline(lines, extra));

  // Solo mode mutes the other two channels: their tables are all zeros.
  const RunOutput s = Run({"--print-tables", "--solo", "2", "--params", "16,64,235,0,-64,255,-64,0,255"});
  ASSERT_EQ(s.code, kExitAllWritten);
  EXPECT_EQ(s.out.substr(0, s.out.find('\n')), "R:" + [] {
    std::string z;
    for (int i = 0; i < 256; ++i) z += " 0";
    return z;
  }());
}

TEST_F(BatchRunTest, ClutStripAppliedByImageMagickMatchesSliderTenOutput) {
  if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick convert is not installed";
  // Every level of every channel appears: 256 x 3 ramps plus mixed colours.
  const Bytes card = Bmp24(256, 4, [](int x, int y) {
    const auto v = static_cast<std::uint8_t>(x);
    const auto w = static_cast<std::uint8_t>(255 - x);
    switch (y) {
      case 0: return TTriple{v, v, v};
      case 1: return TTriple{w, v, static_cast<std::uint8_t>(x * 7)};
      case 2: return TTriple{static_cast<std::uint8_t>(x * 3), w, v};
      default: return TTriple{v, static_cast<std::uint8_t>(x * 5), w};
    }
  });
  WriteBytes(Path("card.bmp"), card);
  const std::string params = "12,-50,240,-20,40,250,5,90,300";
  ASSERT_EQ(Run({"--params", params, "--order", "1", "--format", "png", P("card.bmp")}).code, kExitAllWritten);
  ASSERT_EQ(Run({"--params", params, "--order", "1", "--export-clut", P("clut.png")}).code, kExitAllWritten);
  // The same source as a PNG, so ImageMagick reads exactly our input pixels.
  ASSERT_EQ(Run({"--params", "0,0,255,0,0,255,0,0,255", "--format", "png", "--suffix", "_plain", P("card.bmp")}).code,
            kExitAllWritten);
  const std::string cmd = "convert '" + P("card_plain.png") + "' '" + P("clut.png") + "' -clut '" + P("im.png") + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  const Bytes ours = DecodedPixels(ReadBytes(Path("card_tav1.png")), true, w1, h1);
  const Bytes theirs = DecodedPixels(ReadBytes(Path("im.png")), true, w2, h2);
  EXPECT_EQ(w1, w2);
  EXPECT_EQ(h1, h2);
  EXPECT_EQ(ours, theirs);
}

TEST_F(BatchRunTest, RejectedPictureIsReportedAndTheOthersAreWritten) {
  Bytes fewColours = TestCard8();
  bmp::Put32(fewColours.data() + 46, 0);  // colours used 0 is not read as 256
  WriteBytes(Path("few.bmp"), fewColours);
  WriteBytes(Path("good8.bmp"), TestCard8());
  WriteBytes(Path("good24.bmp"), TestCard24());
  WriteText(Path("notes.gif"), "GIF89a");
  const RunOutput r = Run({"--params", kParams, P("good8.bmp"), P("few.bmp"), P("notes.gif"), P("good24.bmp"), P("gone.png")});
  EXPECT_EQ(r.code, kExitSomeNotWritten);
  EXPECT_NE(r.err.find(P("few.bmp") + ": パレットが256個未満なので非対応です\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(P("notes.gif") + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(P("gone.png") + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 processed, 2 rejected, 0 skipped, 1 failed"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(Path("good8_tav1.bmp")));
  EXPECT_TRUE(fs::exists(Path("good24_tav1.bmp")));
  EXPECT_FALSE(fs::exists(Path("few_tav1.bmp")));
}

TEST_F(BatchRunTest, OneJobAndTwoJobsWriteTheSameBytes) {
  std::vector<std::string> inputs;
  for (int i = 0; i < 6; ++i) {
    const std::string base = std::string("p").append(std::to_string(i));
    const Bytes card = (i % 3 == 2) ? TestCard8(5 + i, 4) : TestCard24(10 + i, 7 + i);
    std::string name;
    if (i % 3 == 0) {
      name = base + ".jpg";
      WriteBytes(Path(name), EncodeJpeg(card, 85, false));
    } else if (i % 3 == 1) {
      name = base + ".png";
      WritePng(P(name), card);
    } else {
      name = base + ".bmp";
      WriteBytes(Path(name), card);
    }
    inputs.push_back(P(name));
  }
  auto run = [&](const std::string& jobs, const std::string& dir) {
    std::vector<std::string> args = {"--params", kParams, "--saturation", "18", "-j", jobs, "--out-dir", P(dir)};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const RunOutput r = Run(args);
    EXPECT_EQ(r.code, kExitAllWritten) << r.err;
  };
  run("1", "one");
  run("2", "two");
  int compared = 0;
  for (const auto& e : fs::directory_iterator(Path("one"))) {
    SCOPED_TRACE(e.path().filename().string());
    EXPECT_EQ(ReadBytes(e.path()), ReadBytes(Path("two") / e.path().filename()));
    ++compared;
  }
  EXPECT_EQ(compared, 6);
}

TEST_F(BatchRunTest, ExistingFilesAreReplacedOnlyWithOverwriteAndInputsNever) {
  WriteBytes(Path("a.bmp"), TestCard24());
  ASSERT_EQ(Run({"--params", kParams, P("a.bmp")}).code, kExitAllWritten);
  const Bytes first = ReadBytes(Path("a_tav1.bmp"));

  // Other parameters, no --overwrite: skipped, exit 1, the file untouched.
  const RunOutput again = Run({"--params", "0,0,200,0,0,255,0,0,255", P("a.bmp")});
  EXPECT_EQ(again.code, kExitSomeNotWritten);
  EXPECT_NE(again.err.find("0 processed, 0 rejected, 1 skipped, 0 failed"), std::string::npos) << again.err;
  EXPECT_EQ(ReadBytes(Path("a_tav1.bmp")), first);

  ASSERT_EQ(Run({"--overwrite", "--params", "0,0,200,0,0,255,0,0,255", P("a.bmp")}).code, kExitAllWritten);
  EXPECT_NE(ReadBytes(Path("a_tav1.bmp")), first);

  // An empty suffix names the input itself: refused even with --overwrite.
  const Bytes input = ReadBytes(Path("a.bmp"));
  EXPECT_EQ(Run({"--overwrite", "--suffix", "", "--params", kParams, P("a.bmp")}).code, kExitSomeNotWritten);
  EXPECT_EQ(ReadBytes(Path("a.bmp")), input);

  // The CLUT strip follows the same rule.
  WriteText(Path("clut.png"), "keep");
  EXPECT_EQ(Run({"--export-clut", P("clut.png")}).code, kExitSomeNotWritten);
  EXPECT_EQ(ReadBytes(Path("clut.png")), Bytes({'k', 'e', 'e', 'p'}));

  // No temporary file is left behind, beside the outputs or in the jobs' folder.
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_EQ(e.path().filename().string().find(".tav1-"), std::string::npos) << e.path();
  }
  EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

TEST_F(BatchRunTest, SettingsFileSuppliesTheCorrectionAndIsNeverWritten) {
  WriteBytes(Path("a.bmp"), TestCard24());
  const std::string ini =
      "[Parameter]\r\nR0=16\r\nR1=-40\r\nR2=235\r\nG0=0\r\nG1=30\r\nG2=250\r\nB0=-10\r\nB1=0\r\nB2=270\r\n"
      "[Settings]\r\nOrder=1\r\nSatulation=250\r\nKidoRdc=1\r\n";
  // The editor's own file, where the editor finds it.
  fs::create_directories(Path("ini/Quillmoor"));
  WriteText(Path("ini/Quillmoor/TAV1.INI"), ini);
  ASSERT_EQ(Run({"--format", "bmp", P("a.bmp")}).code, kExitAllWritten);
  TonePassRequest req;
  req.SliderPosition = 100;  // 250 reads as 100
  req.ByKido = true;
  const Bytes want = CorePass(TestCard24(), ParamsOf(kParams), req, 1, 0);
  EXPECT_EQ(ReadBytes(Path("a_tav1.bmp")), want);
  EXPECT_EQ(ReadBytes(Path("ini/Quillmoor/TAV1.INI")), Bytes(ini.begin(), ini.end()));

  // A named file, with the command line on top of it.
  WriteText(Path("other.ini"), ini);
  ASSERT_EQ(Run({"--settings", P("other.ini"), "--saturation", "10", "--kido-rdc", "0", "--suffix", "_b", P("a.bmp")}).code,
            kExitAllWritten);
  req.SliderPosition = 10;
  req.ByKido = false;
  EXPECT_EQ(ReadBytes(Path("a_b.bmp")), CorePass(TestCard24(), ParamsOf(kParams), req, 1, 0));

  // No settings file at all: the read defaults (identity), and nothing created.
  fs::remove_all(Path("ini"));
  ASSERT_EQ(Run({"--suffix", "_c", P("a.bmp")}).code, kExitAllWritten);
  EXPECT_EQ(ReadBytes(Path("a_c.bmp")), TestCard24());
  EXPECT_FALSE(fs::exists(Path("ini")));
}

}  // namespace
}  // namespace tav1::batch::testing

namespace tav1::batch::testing {
namespace {

// Real files of public test suites: each is written, or refused with the
// editor's own message, and one refusal does not stop the rest.
TEST_F(BatchRunTest, CorpusFilesGetTheEditorsVerdicts) {
  const fs::path corpus = TAV1_CORPUS_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  struct Case {
    const char* file;
    const char* message;  // nullptr: written
  };
  const Case cases[] = {
      {"bmpsuite/g/rgb24.bmp", nullptr},
      {"bmpsuite/g/pal8os2.bmp", nullptr},
      {"afl-testcases/testcases/images/jpeg/not_kitty.jpg", nullptr},
      {"afl-testcases/testcases/images/png/not_kitty_alpha.png", nullptr},
      {"bmpsuite/g/pal4.bmp", "256色(8bit)かフルカラー(24bit)の画像だけロード可能"},
      {"bmpsuite/b/badbitcount.bmp", "256色(8bit)かフルカラー(24bit)の画像だけロード可能"},
      {"bmpsuite/g/pal8rle.bmp", "圧縮形式は扱えません"},
      {"bmpsuite/g/pal8topdown.bmp", "パレットが256個未満なので非対応です"},
      {"bmpsuite/b/reallybig.bmp", "画像が大きすぎます(縦横 8000 以下のみ)"},
  };
  std::vector<std::string> args = {"-j", "2", "--params", kParams, "--out-dir", P("out")};
  for (const Case& c : cases) {
    if (!fs::exists(corpus / c.file)) GTEST_SKIP() << "corpus lacks " << c.file;
    args.push_back((corpus / c.file).string());
  }
  const RunOutput r = Run(args);
  EXPECT_EQ(r.code, kExitSomeNotWritten);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const fs::path in = corpus / c.file;
    const fs::path out = Path("out") / (in.stem().string() + "_tav1" + in.extension().string());
    if (c.message == nullptr) {
      EXPECT_TRUE(fs::exists(out));
    } else {
      EXPECT_FALSE(fs::exists(out));
      EXPECT_NE(r.err.find(in.string() + ": " + c.message + "\n"), std::string::npos) << r.err;
    }
  }
  EXPECT_NE(r.err.find("4 processed, 5 rejected, 0 skipped, 0 failed"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tav1::batch::testing
