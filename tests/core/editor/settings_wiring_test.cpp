// The settings file as the Editor reads it into its controls at start and
// writes it back at shutdown.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "editor_fixture.h"

namespace tav1::test {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

class StoredSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tav1-settings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    std::filesystem::create_directories(dir_ + "/Quillmoor");
    std::filesystem::create_directories(dir_ + "/tmp");
    setenv("LOCALAPPDATA", dir_.c_str(), 1);
    setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Ini() const { return dir_ + "/Quillmoor/TAV1.INI"; }
  std::string dir_;
};

TEST_F(StoredSettings, OutOfRangeValuesAreShownAsTheControlsClampThem) {
  std::ofstream(Ini()) << "[Position]\r\nX1=5\r\n[Parameter]\r\nR0=16\r\nR1=-8\r\nR2=235\r\n"
                          "[Settings]\r\nOrder=5\r\nOrigin=-3\r\nMakeHistoryMode=1\r\n"
                          "Scale=9\r\nStepL=7\r\nStepG=-1\r\nAutoApply=0\r\nSatulation=250\r\n"
                          "KidoRdc=1\r\n";
  FakeView view;
  Editor ed(view);
  ed.FormCreate();
  const EditorState& s = ed.State();
  EXPECT_TRUE(view.messages.empty());  // not a first run
  EXPECT_EQ(view.rects[Window::Main].Left, 5);
  EXPECT_EQ(view.rects[Window::Main].Top, 32);  // read default
  EXPECT_EQ(view.Row(0), "16 -8 235");
  EXPECT_EQ(s.OrderFlag_I, 1);
  EXPECT_EQ(view.shown[ValueControl::Order1], 1);
  EXPECT_EQ(s.GyakuFlag_I, 0);
  EXPECT_EQ(view.shown[ValueControl::Origin1], -1);
  EXPECT_EQ(s.MakeHistoryMode_I, 1);
  EXPECT_EQ(view.shown[ValueControl::Scale1], 1);
  EXPECT_EQ(s.F4_LineCombo1, 2);
  EXPECT_EQ(s.F4_GammaCombo1, -1);
  EXPECT_EQ(s.TrackBar1, 100);
  EXPECT_EQ(view.shown[ValueControl::TrackBar1], 100);
  EXPECT_TRUE(s.ByKidoCB1);
  EXPECT_EQ(view.shown[ValueControl::AutoApplyCB1], 0);
  EXPECT_TRUE(view.enabled.at(EnableTarget::ApplyBB));
  EXPECT_TRUE(view.enabled.at(EnableTarget::applymenu1));

  ed.WindowAll_00Click();
  ASSERT_TRUE(ed.FormCloseQuery());
  const std::string text = ReadAll(Ini());
  for (const char* line : {"X1=0\r\n", "Y1=0\r\n", "X5=0\r\n", "Y5=0\r\n", "Order=1\r\n",
                           "Origin=0\r\n", "Scale=1\r\n", "StepL=2\r\n", "StepG=-1\r\n",
                           "AutoApply=0\r\n", "Satulation=100\r\n", "KidoRdc=1\r\n",
                           "R1=-8\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(StoredSettings, StartTablesUseTheOrderAndOriginTheSettingsWindowShows) {
  // Order 5 is shown as "G->L" (1), origin 7 as "(255,255)" (1); the tables the
  // first graph draws must be those, not the raw stored numbers (order 5 would
  // run no stage at all and give flat curves).
  std::ofstream(Ini()) << "[Parameter]\r\nR1=64\r\nG0=20\r\n[Settings]\r\nOrder=5\r\nOrigin=7\r\n";
  FakeView view;
  Editor ed(view);
  ed.FormCreate();
  const EditorState& s = ed.State();
  ASSERT_EQ(s.OrderFlag_I, 1);
  ASSERT_EQ(s.GyakuFlag_I, 1);
  EXPECT_TRUE(s.tables == TableMake(s.para, 1, 1));
}

TEST_F(StoredSettings, FirstRunNamesTheFolderAndWritesTheDefaultText) {
  std::filesystem::remove_all(dir_ + "/Quillmoor");
  FakeView view;
  Editor ed(view);
  ed.FormCreate();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].rfind(dir_ + "/Quillmoor/", 0), 0u) << view.messages[0];
  EXPECT_TRUE(std::filesystem::exists(Ini()));
  EXPECT_EQ(ed.State().IniPlaceTXT1, dir_ + "/Quillmoor/");
}

}  // namespace

TEST_F(EditorTest, DampingBoxRecordsAndAppliesOnlyWithAutomaticApplication) {
  OpenSample();
  const int pictures = view.pictures;
  ed->SetByKidoCB1(true);
  EXPECT_EQ(S().history.UndoCounter(), 2);
  EXPECT_EQ(view.pictures, pictures + 1);
  ed->AutoApplyCB1Click(false);
  ed->BySatuCB1Click(true);
  EXPECT_EQ(S().history.UndoCounter(), 2);
  EXPECT_EQ(view.pictures, pictures + 1);
}

TEST_F(EditorTest, GraphButtonTogglesTheGraphWindow) {
  ed->GraphShow1Click();  // no picture yet: nothing
  EXPECT_FALSE(view.graphVisible);
  OpenSample();
  ed->GraphShow1Click();
  EXPECT_TRUE(view.graphVisible);
  ed->GraphShow1Click();
  EXPECT_FALSE(view.graphVisible);
}

}  // namespace tav1::test
