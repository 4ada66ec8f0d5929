// Bad usage is refused with exit status 2 before any picture is read, and the
// output names follow the input names.
#include <gtest/gtest.h>

#include "batch/naming.h"
#include "batch/options.h"
#include "batch_fixture.h"

namespace tav1::batch::testing {
namespace {

using UsageTest = BatchTest;

TEST_F(UsageTest, BadValuesAreRefusedBeforeAnyPictureIsTouched) {
  WriteBytes(Path("a.bmp"), TestCard24());
  const std::string a = P("a.bmp");
  struct Case {
    std::vector<std::string> args;
    std::string says;  // part of the message
  };
  const Case cases[] = {
      {{"--params", "0,127,255,0,0,255,0,0,255", a}, "value 2"},
      {{"--params", "0,-127,255,0,0,255,0,0,255", a}, "value 2"},
      {{"--params", "0,0,255,0,0,255,0,0", a}, "nine integers"},
      {{"--params", "0,0,255,0,0,255,0,0,255,1", a}, "nine integers"},
      {{"--params", "0,x,255,0,0,255,0,0,255", a}, "value 2"},
      {{"--params", "0,0,255,0,0,255,0, 0,255", a}, "value 8"},
      {{"--params", "100,0,104,0,0,255,0,0,255", a}, "red high end"},
      {{"--saturation", "101", a}, "--saturation"},
      {{"--saturation", "1.5", a}, "--saturation"},
      {{"--order", "2", a}, "--order"},
      {{"--origin=-1", a}, "--origin"},
      {{"--kido-rdc", "yes", a}, "--kido-rdc"},
      {{"--solo", "3", a}, "--solo"},
      {{"--quality", "0", a}, "--quality"},
      {{"--format", "gif", a}, "--format"},
      {{"-j", "0", a}, "-j"},
      {{"--jobs"}, "needs a value"},
      {{"--overwrite=1", a}, "takes no value"},
      {{"--frobnicate", a}, "unknown option"},
      {{}, "no picture"},
      {{"-o", P("x.png"), a, a}, "single picture"},
      {{"-o", P("x.png"), "--out-dir", P("d"), a}, "together"},
      {{"-o", P("x.gif"), a}, "format"},
      {{"-o", P("x.png"), "--format", "bmp", a}, "disagrees"},
      {{"--print-tables", a}, "no pictures"},
      {{"--settings", P("missing.ini"), a}, "does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const RunOutput r = Run(c.args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Path("a_tav1.bmp")));
  }
  // Nothing but the input (and the empty temporary root) is in the folder.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 2);
}

TEST_F(UsageTest, SettingsFileThatCannotBeReadIsExitTwo) {
  WriteBytes(Path("a.bmp"), TestCard24());
  fs::create_directories(Path("folder.ini"));
  EXPECT_EQ(Run({"--settings", P("folder.ini"), P("a.bmp")}).code, kExitUsage);
  WriteText(Path("bad.ini"), "[Parameter]\r\nR1=127\r\n");
  const RunOutput r = Run({"--settings", P("bad.ini"), P("a.bmp")});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("R1=127"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("a_tav1.bmp")));
}

TEST(OptionsTest, AcceptedSpellings) {
  const ParseOutcome p = ParseBatchArgs({"--params=1,-2,250,0,+3,255,-5,0,300", "-j2", "-oout.png",
                                         "--quality=80", "--progressive", "--", "-odd.bmp"});
  ASSERT_TRUE(p.ok) << p.error;
  const std::array<int, 9> want{1, -2, 250, 0, 3, 255, -5, 0, 300};
  EXPECT_EQ(*p.options.overrides.params, want);
  EXPECT_EQ(p.options.jobs, 2);
  EXPECT_EQ(p.options.output, "out.png");
  EXPECT_EQ(p.options.quality, 80);
  EXPECT_TRUE(p.options.progressive);
  EXPECT_EQ(p.options.pictures, std::vector<std::string>{"-odd.bmp"});
}

TEST(NamingTest, OutputNames) {
  struct Case {
    std::vector<std::string> extra;  // options before the pictures
    std::string input;
    std::string output;
    PictureFormat format;
  };
  const Case cases[] = {
      {{}, "/p/photo.JPG", "/p/photo_tav1.JPG", PictureFormat::kJpeg},
      {{}, "/p/a.b.png", "/p/a.b_tav1.png", PictureFormat::kPng},
      {{"--format", "png"}, "/p/photo.jpeg", "/p/photo_tav1.png", PictureFormat::kPng},
      {{"--format", "jpg"}, "/p/scan.bmp", "/p/scan_tav1.jpg", PictureFormat::kJpeg},
      {{"--out-dir", "/q", "--suffix", ""}, "/p/scan.bmp", "/q/scan.bmp", PictureFormat::kBmp},
      {{"--suffix", "-x"}, "/p/scan.Bmp", "/p/scan-x.Bmp", PictureFormat::kBmp},
      {{"-o", "/q/out.jpeg"}, "/p/scan.bmp", "/q/out.jpeg", PictureFormat::kJpeg},
      {{"-o", "/q/out", "--format", "bmp"}, "/p/scan.png", "/q/out", PictureFormat::kBmp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    std::vector<std::string> args = c.extra;
    args.push_back(c.input);
    const ParseOutcome p = ParseBatchArgs(args);
    ASSERT_TRUE(p.ok) << p.error;
    const Plan plan = PlanOutputs(p.options);
    ASSERT_TRUE(plan.ok) << plan.usageError;
    ASSERT_EQ(plan.pictures.size(), 1u);
    EXPECT_EQ(plan.pictures[0].problem, PlannedPicture::Problem::kNone);
    EXPECT_EQ(plan.pictures[0].output, c.output);
    EXPECT_EQ(plan.pictures[0].outFormat, c.format);
  }
}

TEST(NamingTest, ConflictsAreFoundBeforeRunning) {
  // a.png and a.jpg both become a_tav1.bmp; a_tav1.png's input is also an output name.
  const ParseOutcome p =
      ParseBatchArgs({"--format", "bmp", "/p/a.png", "/p/a.jpg", "/p/b.gif", "/p/./a.png"});
  ASSERT_TRUE(p.ok);
  const Plan plan = PlanOutputs(p.options);
  ASSERT_TRUE(plan.ok);
  using Pr = PlannedPicture::Problem;
  EXPECT_EQ(plan.pictures[0].problem, Pr::kNone);
  EXPECT_EQ(plan.pictures[1].problem, Pr::kOutputCollides);
  EXPECT_EQ(plan.pictures[2].problem, Pr::kUnsupportedInput);
  EXPECT_EQ(plan.pictures[3].problem, Pr::kOutputCollides);

  const ParseOutcome q = ParseBatchArgs({"/p/a.png", "/p/a_tav1.png"});
  const Plan qp = PlanOutputs(q.options);
  EXPECT_EQ(qp.pictures[0].problem, Pr::kOutputIsInput);
  const ParseOutcome s = ParseBatchArgs({"--suffix", "", "--overwrite", "/p/a.png"});
  EXPECT_EQ(PlanOutputs(s.options).pictures[0].problem, Pr::kOutputIsInput);
}

}  // namespace
}  // namespace tav1::batch::testing

namespace tav1::batch::testing {
namespace {

TEST_F(UsageTest, ProgressBarOnATerminalIsClearedBeforeEveryLine) {
  WriteBytes(Path("a.bmp"), TestCard24());
  std::ostringstream out;
  std::ostringstream err;
  BatchEnvironment env = Env();
  env.stderrIsTerminal = true;
  EXPECT_EQ(RunBatch({"-j", "1", P("a.bmp"), P("gone.bmp")}, out, err, env), kExitSomeNotWritten);
  const std::string e = err.str();
  EXPECT_EQ(e.rfind("\r[", 0), 0u) << e;
  // The message and the summary each start on a cleared line; the bar never
  // trails behind them on the same line.
  EXPECT_NE(e.find("\r\x1b[K" + P("gone.bmp") + ": no such file\n"), std::string::npos) << e;
  EXPECT_NE(e.find("] 2/2\r\x1b[Ktav1-batch: 1 processed, 0 rejected, 0 skipped, 1 failed\n"),
            std::string::npos)
      << e;
  EXPECT_EQ(e.back(), '\n');

  // Not a terminal: no bar at all.
  std::ostringstream plain;
  RunBatch({"--suffix", "_p", P("a.bmp")}, out, plain, Env());
  EXPECT_EQ(plain.str(), "tav1-batch: 1 processed, 0 rejected, 0 skipped, 0 failed\n");
}

TEST_F(UsageTest, AStopRequestStartsNoFurtherPicture) {
  WriteBytes(Path("a.bmp"), TestCard24());
  WriteBytes(Path("b.bmp"), TestCard24());
  const std::atomic<bool> stop{true};
  BatchEnvironment env = Env();
  env.stopRequested = &stop;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunBatch({P("a.bmp"), P("b.bmp")}, out, err, env), kExitSomeNotWritten);
  EXPECT_NE(err.str().find("interrupted; 2 pictures were not started"), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists(Path("a_tav1.bmp")));
  EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

}  // namespace
}  // namespace tav1::batch::testing
