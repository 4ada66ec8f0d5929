// Rotation, shrinking and paste re-enter the open path through their temporary
// files; the names the save dialog and the caption use follow them.
#include <optional>
#include <string>

#include "codecs/bmp_codec.h"
#include "editor_fixture.h"

namespace tav1::test {
namespace {

TTriple Px(int x, int y) { return TTriple{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7}; }

// Picture point (x, y) of a fixed-layout 24-bit store.
TTriple At(const Store& s, int x, int y) {
  bmp::HeaderView h;
  bmp::ReadHeader(s.data(), s.size(), h);
  const std::size_t off =
      54 + static_cast<std::size_t>((h.height - 1 - y) * bmp::Stride24(h.width) + 3 * x);
  return TTriple{s[off], s[off + 1], s[off + 2]};
}

class Geometry3x2 : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    view.openAnswers.push_back(Write24("photo.bmp", 3, 2, Px));
    ed->OpenButton1Click();
  }
};

TEST_F(Geometry3x2, RightTurnBecomesTheNewSourceUnderTheRotateName) {
  ed->IncBtn1Click();  // the history restarts at the rotation
  ed->Right_Rotate1Click();
  const Store& src = S().img.MemStBmp1;
  EXPECT_EQ(S().img.ImageWidth, 2);
  EXPECT_EQ(S().img.ImageHeight, 3);
  // Clockwise: T(x, y) = S(y, h - 1 - x); the left column read upwards is the top row.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) {
      const TTriple t = At(src, x, y);
      EXPECT_EQ(t.B, y) << x << "," << y;
      EXPECT_EQ(t.G, 1 - x) << x << "," << y;
    }
  EXPECT_EQ(view.imageCaption, "photo_rotate.bmp ( 24 bit )");
  EXPECT_EQ(S().names.FileName_savedlg, "photo_rotate.bmp");
  EXPECT_EQ(S().names.KeepFName, "photo.bmp");
  EXPECT_TRUE(S().names.RotateName.empty());
  EXPECT_EQ(S().names.PathName_bckup1, Pic(""));
  EXPECT_EQ(S().history.UndoCounter(), 1);
  EXPECT_EQ(view.LastStatus(), "\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000");

  ed->ApplyClick();  // the caption keeps the rotate name after applying
  EXPECT_EQ(view.imageCaption, "photo_rotate.bmp ( 24 bit )");

  view.saveAnswers.push_back(std::nullopt);
  ed->SaveButton1Click();
  ASSERT_EQ(view.saveRequests.size(), 1u);
  EXPECT_EQ(view.saveRequests[0].FileName, "photo_rotate");
  EXPECT_EQ(view.saveRequests[0].FilterIndex, 2);
  EXPECT_EQ(view.saveRequests[0].InitialDir, Pic(""));
}

TEST_F(Geometry3x2, LeftThenRightTurnGivesThePixelsBack) {
  const Store before = S().img.MemStBmp1;
  ed->Left_Rotate1Click();
  EXPECT_EQ(At(S().img.MemStBmp1, 0, 0).B, 2);  // the right column read downwards
  ed->Right_Rotate1Click();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(At(S().img.MemStBmp1, x, y).B, At(before, x, y).B);
      EXPECT_EQ(At(S().img.MemStBmp1, x, y).G, At(before, x, y).G);
    }
}

TEST_F(Geometry3x2, ShrinkResultOpensUnderTheSmallName) {
  view.onShrink = [&](const Store& result, const std::string& path) {
    EXPECT_EQ(result, S().img.MemStBmp2);
    WriteBmp(path, MakeStore24(2, 1, Px));
    return 1;
  };
  ed->ShrinkMenu1Click();
  EXPECT_EQ(S().img.ImageWidth, 2);
  EXPECT_EQ(view.imageCaption, "photo_small.bmp ( 24 bit )");
  EXPECT_EQ(S().names.FileName_savedlg, "photo_small.bmp");
  EXPECT_TRUE(S().names.ShrinkName.empty());

  view.onShrink = [](const Store&, const std::string&) { return 2; };
  const Store before = S().img.MemStBmp1;
  ed->ShrinkMenu1Click();
  EXPECT_EQ(S().img.MemStBmp1, before);
}

struct PasteCase {
  const char* name;
  std::optional<Store> clipboard;
  const char* message;  // part of the one message shown; nullptr: opened
};

class Paste : public EditorTest, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(Paste, OpensOrReports) {
  view.openAnswers.push_back(Write24("photo.bmp", 3, 2, Px));
  ed->OpenButton1Click();
  const Store before = S().img.MemStBmp1;
  view.clipboard = GetParam().clipboard;
  ed->Paste1Click();
  EXPECT_EQ(view.LastStatus(), std::string(22, ' '));
  EXPECT_EQ(S().names.KeepFName, "photo.bmp");
  EXPECT_EQ(S().names.FileName_savedlg, "photo.bmp");
  EXPECT_TRUE(S().img.ReadyFlag);
  if (GetParam().message) {
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find(GetParam().message), std::string::npos) << view.messages[0];
    EXPECT_EQ(S().img.MemStBmp1, before);
    EXPECT_EQ(view.beeps, 0);
  } else {
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(S().img.ImageWidth, 4);
    EXPECT_EQ(view.imageCaption, "TAV1_Tmp_Clipboard1.bmp ( 24 bit )");
  }
}

Store Truncated() {
  Store s = MakeStore24(4, 4, Px);
  s.resize(60);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Editor, Paste,
    ::testing::Values(
        PasteCase{"Picture", MakeStore24(4, 4, Px), nullptr},
        PasteCase{"NoPicture", std::nullopt, "クリップボードの内容に対応できません。"},
        PasteCase{"TooWide", MakeStore24(8001, 10, Px), "画像が大きすぎます (縦横とも 8000 以下)。"},
        // An unexpected error is caught at the handler and shown (whatever the
        // codec's text); nothing changes.
        PasteCase{"BrokenBitmap", Truncated(), ""}),
    [](const ::testing::TestParamInfo<PasteCase>& i) { return std::string(i.param.name); });

TEST_F(EditorTest, CopyPutsTheDisplayedPicture) {
  OpenSample();
  ed->IncBtn1Click();
  ed->Copy1Click();
  ASSERT_TRUE(view.clipboard.has_value());
  EXPECT_EQ(*view.clipboard, S().img.MemStBmp2);
}

}  // namespace
}  // namespace tav1::test
