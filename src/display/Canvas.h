#pragma once
// The drawing surface of the board control, the appearance painters and diagram printing.
// It follows the raster conventions the pixel geometry is written in: rectangles and ellipses
// are given by their bounding box with Right and Bottom exclusive, and a line does not paint
// its last pixel. The front end implements it over QPainter; tests record the calls.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kessaro {

// Platform colour value: red in the low byte, then green, then blue.
using TColor = std::uint32_t;

constexpr TColor MakeColor(int red, int green, int blue) {
  return static_cast<TColor>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int ColorRed(TColor c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int ColorGreen(TColor c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int ColorBlue(TColor c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

constexpr TColor kColorBlack = MakeColor(0, 0, 0);
constexpr TColor kColorWhite = MakeColor(255, 255, 255);

struct TPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// How a raster copy combines the source with the destination.
enum TCopyMode : std::uint8_t {
  cmSrcCopy,     // destination := source
  cmSrcAnd,      // destination := source AND destination
  cmSrcPaint,    // destination := source OR destination
  cmNotSrcCopy,  // destination := NOT source
};

enum TPenMode : std::uint8_t {
  pmCopy,  // the pen's colour
  pmNot,   // inverts the pixels under the pen
};

enum TBrushStyle : std::uint8_t { bsSolid, bsClear };

// A font given the way the painters ask for it: cell height in pixels, average character width
// (0 = natural), weight 0..1000 and the face name.
struct TFontSpec {
  int Height = 0;
  int Width = 0;
  int Weight = 400;
  std::string Face;
  friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

// A 24-bit picture in memory: rows top to bottom, three bytes per pixel (red, green, blue).
struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Data;

  TPixels() = default;
  TPixels(int width, int height, std::uint8_t fill = 0)
      : Width(width),
        Height(height),
        Data(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, fill) {}
  std::uint8_t* At(int x, int y) {
    return Data.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
                          static_cast<std::size_t>(x)) *
                             3;
  }
  const std::uint8_t* At(int x, int y) const {
    return Data.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
                          static_cast<std::size_t>(x)) *
                             3;
  }
};

class TImage;

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // The pen is always solid; width 0 or 1 paints one-pixel lines.
  virtual void SetPen(TColor color, int width, TPenMode mode) = 0;
  virtual void SetBrush(TColor color, TBrushStyle style) = 0;

  // Lines and outlines use the pen, fills the brush.
  virtual void Line(TPoint from, TPoint to) = 0;
  virtual void Ellipse(const TRect& bounds) = 0;
  virtual void Rectangle(const TRect& bounds) = 0;
  virtual void Polyline(const std::vector<TPoint>& points) = 0;
  virtual void SetPixel(int x, int y, TColor color) = 0;
  // The inverting dotted rectangle of a keyboard focus: drawing it twice removes it.
  virtual void DrawFocusRect(const TRect& rect) = 0;
  // One line of text centred in `rect`, transparent background, no prefix processing.
  virtual void DrawText(const TRect& rect, const std::string& text, const TFontSpec& font,
                        TColor color) = 0;
  // Copies `source` (from the image) to `dest` (same size) of this canvas.
  virtual void CopyRect(TPoint dest, const TImage& image, const TRect& source, TCopyMode mode) = 0;
};

// An off-screen image that can be drawn on and copied from.
class TImage : public TCanvas {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Resizes the image; its content is then undefined until painted.
  virtual void SetSize(int width, int height) = 0;
  virtual TPixels GetPixels() const = 0;
  // Resizes the image to the picture and copies it in.
  virtual void SetPixels(const TPixels& pixels) = 0;
};

// Creates images and loads pictures for one kind of canvas.
class TGraphics {
 public:
  virtual ~TGraphics() = default;
  virtual std::unique_ptr<TImage> CreateImage(int width, int height) = 0;
  // A picture file (BMP, PNG, ...); nullptr when it cannot be read.
  virtual std::unique_ptr<TImage> LoadPicture(const std::string& path) = 0;

  // The common black-stone mask made once per graphics (the front end has one for the whole
  // run). Kept here because it is drawn with this graphics' own ellipse.
  TPixels CommonMask;
};

}  // namespace kessaro
