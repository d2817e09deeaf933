#include "display/qt/QtCanvas.h"

#include <gtest/gtest.h>

#include <QImage>

namespace kessaro {
namespace {

QRgb Pixel(const TImage& image, int x, int y) {
  return QtImageOf(image)->pixel(x, y) & 0xFFFFFF;
}

void Fill(TImage& image, TColor color) {
  image.SetBrush(color, bsSolid);
  image.SetPen(color, 1, pmCopy);
  image.Rectangle({0, 0, image.Width(), image.Height()});
}

TEST(QtCanvas, RasterCopiesCombineBitwise) {
  TQtGraphics graphics;
  auto dest = graphics.CreateImage(4, 1);
  auto source = graphics.CreateImage(1, 1);
  Fill(*dest, MakeColor(0xF0, 0x0F, 0x33));
  Fill(*source, MakeColor(0x3C, 0x3C, 0x0F));
  dest->CopyRect({0, 0}, *source, {0, 0, 1, 1}, cmSrcCopy);
  dest->CopyRect({1, 0}, *source, {0, 0, 1, 1}, cmSrcAnd);
  dest->CopyRect({2, 0}, *source, {0, 0, 1, 1}, cmSrcPaint);
  dest->CopyRect({3, 0}, *source, {0, 0, 1, 1}, cmNotSrcCopy);
  EXPECT_EQ(Pixel(*dest, 0, 0), 0x3C3C0Fu);
  EXPECT_EQ(Pixel(*dest, 1, 0), 0x300C03u);
  EXPECT_EQ(Pixel(*dest, 2, 0), 0xFC3F3Fu);
  EXPECT_EQ(Pixel(*dest, 3, 0), 0xC3C3F0u);
}

TEST(QtCanvas, ShapesKeepRightAndBottomExclusive) {
  TQtGraphics graphics;
  auto image = graphics.CreateImage(20, 20);
  Fill(*image, kColorWhite);
  image->SetPen(kColorBlack, 1, pmCopy);
  image->Line({2, 5}, {10, 5});
  EXPECT_EQ(Pixel(*image, 2, 5), 0u);
  EXPECT_EQ(Pixel(*image, 9, 5), 0u);
  EXPECT_EQ(Pixel(*image, 10, 5), 0xFFFFFFu) << "the last pixel is not painted";
  image->Line({3, 14}, {3, 7});
  EXPECT_EQ(Pixel(*image, 3, 8), 0u);
  EXPECT_EQ(Pixel(*image, 3, 7), 0xFFFFFFu);
  image->Line({12, 0}, {16, 4});
  EXPECT_EQ(Pixel(*image, 15, 3), 0u);
  EXPECT_EQ(Pixel(*image, 16, 4), 0xFFFFFFu);
  image->SetBrush(MakeColor(255, 0, 0), bsSolid);
  image->Rectangle({4, 8, 9, 12});
  EXPECT_EQ(Pixel(*image, 4, 8), 0u);
  EXPECT_EQ(Pixel(*image, 8, 11), 0u);
  EXPECT_EQ(Pixel(*image, 6, 10), 0xFF0000u);
  EXPECT_EQ(Pixel(*image, 9, 11), 0xFFFFFFu);
  EXPECT_EQ(Pixel(*image, 8, 12), 0xFFFFFFu);
  image->Ellipse({12, 12, 19, 19});
  EXPECT_EQ(Pixel(*image, 15, 15), 0xFF0000u);
  EXPECT_EQ(Pixel(*image, 19, 15), 0xFFFFFFu);
  EXPECT_EQ(Pixel(*image, 15, 19), 0xFFFFFFu);
}

TEST(QtCanvas, InvertingPenAndFocusRectangleUndoThemselves) {
  TQtGraphics graphics;
  auto image = graphics.CreateImage(30, 30);
  Fill(*image, MakeColor(10, 200, 90));
  const TPixels before = image->GetPixels();
  image->SetPen(kColorBlack, 3, pmNot);
  image->SetBrush(kColorBlack, bsClear);
  image->Rectangle({5, 5, 20, 20});
  image->Line({0, 0}, {29, 29});
  EXPECT_NE(image->GetPixels().Data, before.Data);
  image->Rectangle({5, 5, 20, 20});
  image->Line({0, 0}, {29, 29});
  EXPECT_EQ(image->GetPixels().Data, before.Data);

  image->DrawFocusRect({3, 4, 25, 17});
  EXPECT_NE(Pixel(*image, 3, 4), Pixel(*image, 4, 4)) << "dotted";
  EXPECT_NE(image->GetPixels().Data, before.Data);
  image->DrawFocusRect({3, 4, 25, 17});
  EXPECT_EQ(image->GetPixels().Data, before.Data);
}

TEST(QtCanvas, PicturesAndPixels) {
  TQtGraphics graphics;
  EXPECT_EQ(graphics.LoadPicture("/nonexistent/picture.bmp"), nullptr);
  TPixels p(3, 2);
  p.At(2, 1)[0] = 255;
  auto image = graphics.CreateImage(0, 0);
  image->SetPixels(p);
  EXPECT_EQ(image->Width(), 3);
  EXPECT_EQ(Pixel(*image, 2, 1), 0xFF0000u);
  EXPECT_EQ(image->GetPixels().Data, p.Data);
  image->SetSize(0, 0);
  image->Line({0, 0}, {5, 5});  // an empty image ignores drawing
  EXPECT_EQ(image->Width(), 0);
}

}  // namespace
}  // namespace kessaro
