// TForm3 "グラフ": the graph window. It shows the 272 x 320 picture the editor
// draws (histogram under the three tone curves) with the equation lines on top.
// The close box only hides it.
#pragma once

#include <QImage>
#include <QWidget>

#include "core/graph/graph.h"

namespace tav1 {

class TForm3 : public QWidget {
  Q_OBJECT
 public:
  TForm3();

  // Renders the raster and its text lines into the window's picture.
  void SetPicture(const GraphPicture& picture);
  // What the window shows now (the last drawing, kept while hidden).
  const QImage& Image1() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

}  // namespace tav1
