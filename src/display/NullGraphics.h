#pragma once
// A canvas that draws nothing, for board windows that are never shown (the joseki import,
// printing copies, the tool): images keep their size so that the board control's geometry
// works, and every drawing call is ignored.
#include <memory>
#include <string>

#include "display/Canvas.h"

namespace kessaro {

class TNullImage : public TImage {
 public:
  TNullImage(int width, int height);

  void SetPen(TColor, int, TPenMode) override {}
  void SetBrush(TColor, TBrushStyle) override {}
  void Line(TPoint, TPoint) override {}
  void Ellipse(const TRect&) override {}
  void Rectangle(const TRect&) override {}
  void Polyline(const std::vector<TPoint>&) override {}
  void SetPixel(int, int, TColor) override {}
  void DrawFocusRect(const TRect&) override {}
  void DrawText(const TRect&, const std::string&, const TFontSpec&, TColor) override {}
  void CopyRect(TPoint, const TImage&, const TRect&, TCopyMode) override {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetSize(int width, int height) override;
  // A black picture of the image's size.
  TPixels GetPixels() const override;
  void SetPixels(const TPixels& pixels) override;

 private:
  int width_ = 0;
  int height_ = 0;
};

class TNullGraphics : public TGraphics {
 public:
  std::unique_ptr<TImage> CreateImage(int width, int height) override;
  // No picture is ever read: the appearance falls back to its plain colours.
  std::unique_ptr<TImage> LoadPicture(const std::string& path) override;
};

}  // namespace kessaro
