// Every picture of the shared corpus through the whole editor: open (with the
// histogram and the graph), apply with a saturation boost, apply in solo mode
// and turn it. Whatever a file holds, the editor must not crash and the two
// stores must keep agreeing with the geometry.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "editor_fixture.h"

namespace tav1::test {
namespace {

std::vector<std::string> CorpusPictures() {
  std::vector<std::string> out;
  const std::string root = TAV1_CORPUS_DIR;
  std::ifstream manifest(root + "/MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);  // column names
  while (std::getline(manifest, line)) {
    const std::string path = line.substr(0, line.find('\t'));
    if (!path.empty()) out.push_back(root + "/" + path);
  }
  return out;
}

void ExpectConsistent(const EditorState& s, const std::string& file) {
  if (!s.img.ReadyFlag) return;
  const Geometry& g = s.img.geo;
  const std::size_t rows = bmp::RowsOffset(s.img.biBitFlag) +
                           static_cast<std::size_t>(s.img.Stride()) * (g.Yend + 1);
  EXPECT_EQ(s.img.MemStBmp1.size(), s.img.MemStBmp2.size()) << file;
  EXPECT_GE(s.img.MemStBmp1.size(), rows) << file;
  EXPECT_EQ(g.Xend + 1, s.img.ImageWidth) << file;
}

TEST_F(EditorTest, EveryCorpusPictureGoesThroughTheEditor) {
  const std::vector<std::string> files = CorpusPictures();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << TAV1_CORPUS_DIR;
  int opened = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& file = files[i];
    const std::size_t before = view.messages.size();
    ed->CheckFile1(file);
    ExpectConsistent(S(), file);
    if (S().img.ReadyFlag && S().names.OpenedPath == file && view.messages.size() == before)
      ++opened;
    ed->SetTrackBar1Position(file.size() % 2 ? 15 : 35);
    ed->ApplyClick();
    ExpectConsistent(S(), file);
    // Solo and a turn for a sample of the small pictures (each turn writes a file).
    if (i % 8 == 0 && S().img.ReadyFlag &&
        S().img.ImageWidth * S().img.ImageHeight <= 256 * 256) {
      Select(0, 1, 2, 1);  // green solo, then back
      ed->StringGrid1MouseUp(MouseButton::Left);
      Select(0, 0, 0, 0);
      ed->StringGrid1MouseUp(MouseButton::Left);
      ed->Right_Rotate1Click();
      ExpectConsistent(S(), file);
    }
    EXPECT_FALSE(S().ApplyingFlag) << file;
    EXPECT_EQ(S().Busy, 0) << file;
  }
  EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace tav1::test
