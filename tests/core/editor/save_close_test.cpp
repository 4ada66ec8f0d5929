// The save loop, the save dialog's type change, and shutdown through the real
// Editor.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "codecs/file_io.h"
#include "editor_fixture.h"

namespace tav1::test {
namespace {

using Answer = std::optional<std::pair<std::string, int>>;

std::string Head(const std::string& path, std::size_t n) {
  std::ifstream f(path, std::ios::binary);
  std::string s(n, '\0');
  f.read(s.data(), static_cast<std::streamsize>(n));
  s.resize(static_cast<std::size_t>(f.gcount()));
  return s;
}

struct SaveCase {
  const char* name;
  const char* existing;  // a file of this name exists before saving (nullptr: none)
  std::vector<Answer> dialogs;  // paths relative to the pictures folder
  std::vector<bool> overwrite;
  const char* written;    // file expected to hold the result (nullptr: none)
  const char* signature;  // its first bytes
  std::vector<std::string> order;  // questions and messages in the order shown
  std::size_t dialogsShown;
};

const char* const kTypeMsg = "msg:ファイルの種類を指定して下さい";
const char* const kAsk = "ask:同名のファイルがあります。上書きしますか？";

class SaveLoop : public EditorTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveLoop, WritesOrAsksAgain) {
  OpenSample();
  const SaveCase& c = GetParam();
  if (c.existing) {
    std::ofstream(Pic(c.existing)) << "old";
  }
  for (const Answer& a : c.dialogs)
    view.saveAnswers.push_back(a ? Answer{{Pic(a->first), a->second}} : Answer{});
  view.yesNoAnswers.assign(c.overwrite.begin(), c.overwrite.end());
  view.log.clear();
  ed->SaveButton1Click();

  EXPECT_EQ(view.saveRequests.size(), c.dialogsShown);
  for (const SaveDialogRequest& r : view.saveRequests) {
    // Each pass is prepared afresh from the opened file, not from what was typed.
    EXPECT_EQ(r.FileName, "sample");
    EXPECT_EQ(r.InitialDir, Pic(""));
  }
  EXPECT_EQ(view.saveRequests.front().FilterIndex, 2);  // the opened file is a BMP
  std::vector<std::string> order;
  for (const std::string& l : view.log)
    if (l.rfind("msg:", 0) == 0 || l.rfind("ask:", 0) == 0) order.push_back(l);
  EXPECT_EQ(order, c.order);
  if (c.written) {
    EXPECT_EQ(Head(Pic(c.written), std::string(c.signature).size()), c.signature);
  }
  if (c.existing && (!c.written || std::string(c.written) != c.existing)) {
    EXPECT_EQ(Head(Pic(c.existing), 3), "old");
  }
  EXPECT_TRUE(view.enabled.at(EnableTarget::MainWindow));
}

INSTANTIATE_TEST_SUITE_P(
    Editor, SaveLoop,
    ::testing::Values(
        SaveCase{"BareNameWithBmpTypeGetsBmp", nullptr, {Answer{{"out", 2}}}, {}, "out.bmp", "BM",
                 {}, 1},
        SaveCase{"BareNameWithPngTypeGetsPng", nullptr, {Answer{{"out", 5}}}, {}, "out.png",
                 "\x89PNG", {}, 1},
        SaveCase{"BareNameWithAllTypesIsRefusedAndAskedAgain",
                 nullptr,
                 {Answer{{"out", 1}}, Answer{}},
                 {},
                 nullptr,
                 "",
                 {kTypeMsg},
                 2},
        SaveCase{"MixedCaseExtensionIsCompared", nullptr, {Answer{{"out.Png", 1}}}, {}, "out.Png",
                 "\x89PNG", {}, 1},
        SaveCase{"ExistingFileAnsweredNoReopensTheDialog",
                 "out.bmp",
                 {Answer{{"out.bmp", 2}}, Answer{{"out.bmp", 2}}},
                 {false, true},
                 "out.bmp",
                 "BM",
                 {kAsk, kAsk},
                 2},
        SaveCase{"ExistingGifIsAskedAboutThenRefused",
                 "out.gif",
                 {Answer{{"out.gif", 1}}, Answer{}},
                 {true},
                 nullptr,
                 "",
                 {kAsk, kTypeMsg},
                 2},
        SaveCase{"CancelWritesNothing", nullptr, {Answer{}}, {}, nullptr, "", {}, 1}),
    [](const ::testing::TestParamInfo<SaveCase>& i) { return std::string(i.param.name); });

TEST_F(EditorTest, CancelledJpegDialogPutsThePictureBack) {
  OpenSample();
  ed->IncBtn1Click();
  const Store shown = view.picture;
  view.saveAnswers = {Answer{{Pic("out.jpg"), 3}}};
  view.jpegResult = 2;
  ed->SaveButton1Click();
  EXPECT_EQ(view.picture, shown);
  EXPECT_FALSE(S().DisplayedOverride.has_value());
  EXPECT_EQ(S().SaveFileName1, Pic("out.jpg"));
}

TEST_F(EditorTest, JpegSaveLeavesTheDecodedPictureShownForCopyAndRotation) {
  OpenSample();
  const Store decoded = MakeStore24(6, 4, [](int, int) { return TTriple{9, 9, 9}; });
  view.jpegPicture = decoded;
  view.jpegResult = 1;
  view.saveAnswers = {Answer{{Pic("out"), 4}}};
  ed->SaveButton1Click();
  EXPECT_EQ(view.jpegTarget, Pic("out.jpeg"));
  EXPECT_EQ(view.picture, decoded);
  ed->Copy1Click();
  EXPECT_EQ(*view.clipboard, decoded);
  ed->ApplyClick();  // the next apply shows the result again
  EXPECT_EQ(view.picture, S().img.MemStBmp2);
}

TEST_F(EditorTest, CancelledJpegPreviewDoesNotOutliveTheDialog) {
  OpenSample();
  const Store before = view.picture;
  view.jpegPicture = MakeStore24(6, 4, [](int, int) { return TTriple{9, 9, 9}; });
  view.jpegResult = 2;
  view.saveAnswers = {Answer{{Pic("out.jpg"), 3}}};
  ed->SaveButton1Click();
  EXPECT_EQ(view.picture, before);
  ed->Copy1Click();
  EXPECT_EQ(*view.clipboard, before);
}

TEST_F(EditorTest, FailedPngWriteReportsAndLeavesWindowsEnabled) {
  OpenSample();
  view.saveAnswers = {Answer{{Dir() + "/missing/out.png", 5}}};
  ed->SaveButton1Click();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find("out.png"), std::string::npos) << view.messages[0];
  EXPECT_TRUE(view.enabled.at(EnableTarget::MainWindow));
  EXPECT_TRUE(view.enabled.at(EnableTarget::Panel1));
  EXPECT_TRUE(view.enabled.at(EnableTarget::ImageWindow));
  EXPECT_EQ(view.LastStatus(), std::string(10, ' '));
  ASSERT_FALSE(view.progress.empty());
  EXPECT_EQ(view.progress.back(), -1);  // the progress bar is gone after a failure too
}

TEST_F(EditorTest, PngSaveShowsItsProgressBesideTheStatusLine) {
  OpenSample();
  view.saveAnswers = {Answer{{Pic("out.png"), 5}}};
  view.statuses.clear();
  ed->SaveButton1Click();
  ASSERT_GE(view.progress.size(), 3u);
  EXPECT_EQ(view.progress.front(), 0);
  EXPECT_EQ(view.progress[view.progress.size() - 2], 100);
  EXPECT_EQ(view.progress.back(), -1);
  EXPECT_TRUE(std::is_sorted(view.progress.begin(), view.progress.end() - 1));
  // The status texts stay those of a PNG save.
  EXPECT_EQ(view.statuses.front(), "PNG 保存中...");
  EXPECT_EQ(view.LastStatus(), std::string(10, ' '));
}

struct TypeChangeCase {
  const char* name;
  int index;
  const char* openedExt;
  std::optional<std::string> expected;
};

TEST(SaveDialog1TypeChange, RewritesTheExtension) {
  const TypeChangeCase cases[] = {
      {"photo.jpg", 5, ".JPG", "photo.png"},
      {"photo", 5, ".JPG", "photo.png"},
      {"photo.txt", 5, ".JPG", "photo.txt.png"},
      {"photo.png", 1, ".JPG", "photo.JPG"},
      {"dir/photo.Jpeg", 2, ".JPG", "photo.bmp"},
      {"a.b.PNG", 4, ".bmp", "a.b.jpeg"},
      {"photo.bmp", 3, ".bmp", "photo.jpg"},
      {"", 2, ".JPG", std::nullopt},
      {"/tmp", 2, ".JPG", std::nullopt},  // an existing folder
  };
  for (const TypeChangeCase& c : cases)
    EXPECT_EQ(Editor::SaveDialog1TypeChange(c.name, c.index, c.openedExt), c.expected)
        << c.name << " / " << c.index;
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST_F(EditorTest, ClosingWritesPlaceholderEndsAsDefaultsAndDeletesTempFiles) {
  OpenSample();
  Select(0, 1, 2, 1);  // green solo: red carries 256, 0, 511
  ed->StringGrid1MouseUp(MouseButton::Left);
  ASSERT_EQ(Low(0), 256);
  ed->SetTrackBar1Position(250);  // clamped to the slider's range
  const std::string tmp = Dir() + "/tmp/TAV1tmp4.bmp";
  std::ofstream(tmp) << "x";

  EXPECT_TRUE(ed->FormCloseQuery());
  const std::string ini = ReadAll(Dir() + "/appdata/Quillmoor/TAV1.INI");
  EXPECT_NE(ini.find("R0=0\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("R2=255\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Satulation=100\r\n"), std::string::npos);
  EXPECT_NE(ini.find("AutoApply=1\r\n"), std::string::npos);
  EXPECT_EQ(Low(0), 0);  // the replacement stays in the parameter set
  EXPECT_FALSE(std::filesystem::exists(tmp));
}

TEST_F(EditorTest, UnwritableSettingsFileLetsTheUserChoose) {
  const std::string ini = Dir() + "/appdata/Quillmoor/TAV1.INI";
  std::filesystem::remove(ini);
  std::filesystem::create_directory(ini);  // nothing can be written under this name
  view.quitAnyway = false;
  EXPECT_FALSE(ed->FormCloseQuery());
  ASSERT_FALSE(view.log.empty());
  EXPECT_EQ(view.log.back().rfind("quit?:", 0), 0u);
  EXPECT_NE(view.log.back().find("TAV1.INI"), std::string::npos) << view.log.back();
  view.quitAnyway = true;
  EXPECT_TRUE(ed->FormCloseQuery());
}

}  // namespace
TEST_F(EditorTest, PictureFromTheCommandLineNamesTheSaveOffer) {
  const std::string path = Write24("harbour.bmp", 4, 3, [](int, int) { return TTriple{1, 2, 3}; });
  ed->OpenCommandLine({path});
  ASSERT_TRUE(S().img.ReadyFlag);
  view.saveAnswers = {std::nullopt};  // cancel
  ed->SaveButton1Click();
  ASSERT_EQ(view.saveRequests.size(), 1u);
  EXPECT_EQ(view.saveRequests[0].FileName, "harbour");
  EXPECT_EQ(std::filesystem::path(view.saveRequests[0].InitialDir), std::filesystem::path(Pic("")));
  EXPECT_EQ(view.imageCaption, "harbour.bmp ( 24 bit )");
}

}  // namespace tav1::test
