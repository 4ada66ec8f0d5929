#include "core/graph/graph.h"

#include "core/graph/equation.h"

namespace tav1 {

bool GraphDraw(const GraphInput& in, GraphPicture& out) {
  if (!in.ReadyFlag || in.histogram == nullptr || in.TableR == nullptr || in.TableG == nullptr ||
      in.TableB == nullptr)
    return false;

  Raster pic(kGraphWidth, kGraphHeight);
  pic.FillRect(0, 0, kGraphWidth, kGraphHeight - 1, kBlack);
  pic.Blit(in.HistogramScale == kScaleLog ? in.histogram->HgrmBmpLn : in.histogram->HgrmBmp,
           kGraphOrigin, kGraphOrigin);

  // Merge mode: coinciding curves add up (all three give white) and a curve
  // crossing a histogram line mixes with it.
  const std::uint8_t* table[3] = {in.TableB, in.TableG, in.TableR};
  const Rgb pen[3] = {kBlue, kGreen, kRed};
  for (int c = 0; c < 3; ++c) {
    pic.SetPen(pen[c], PenMode::Merge);
    pic.MoveTo(kGraphOrigin, kGraphBottom);
    for (int i = 0; i < 256; ++i) pic.LineTo(kGraphOrigin + i, kGraphBottom - table[c][i]);
  }

  std::vector<GraphText> lines;
  const bool solo = in.SoloFlag >= 0 && in.SoloFlag <= 2;
  for (int i = 0; i < 3; ++i) {
    if (solo && in.SoloFlag != i) continue;
    lines.push_back({EquationLine(in.Para[i][0], in.Para[i][1], in.Para[i][2], in.GyakuFlag_I,
                                  in.DecimalSeparator),
                     kGraphTextColour[i], 10, 268 + 13 * i});
  }

  out.picture = std::move(pic);
  out.lines = std::move(lines);
  return true;
}

}  // namespace tav1
