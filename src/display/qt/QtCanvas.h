#pragma once
// The canvas over QPainter: images are RGB32 QImages, raster copies and the inverting pen use
// the raster composition modes, pictures load through QImage (BMP, PNG, JPEG, ...).
#include <memory>
#include <string>

#include "display/Canvas.h"

class QImage;
class QPainter;

namespace kessaro {

class TQtGraphics : public TGraphics {
 public:
  std::unique_ptr<TImage> CreateImage(int width, int height) override;
  std::unique_ptr<TImage> LoadPicture(const std::string& path) override;
};

// A canvas drawing through a painter the caller owns (a widget's paint event, a printer).
std::unique_ptr<TCanvas> MakePainterCanvas(QPainter& painter);

// The QImage behind an image of TQtGraphics, nullptr for other images. Pending drawing is
// already in it.
const QImage* QtImageOf(const TImage& image);

}  // namespace kessaro
