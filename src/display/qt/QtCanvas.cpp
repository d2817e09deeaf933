#include "display/qt/QtCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

namespace kessaro {

namespace {

QColor ToQColor(TColor c) {
  return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c));
}

QPainter::CompositionMode CopyComposition(TCopyMode mode) {
  switch (mode) {
    case cmSrcAnd:
      return QPainter::RasterOp_SourceAndDestination;
    case cmSrcPaint:
      return QPainter::RasterOp_SourceOrDestination;
    case cmNotSrcCopy:
      return QPainter::RasterOp_NotSource;
    default:
      return QPainter::CompositionMode_Source;
  }
}

// Fonts by the painters' description. A logical font's height is the cell height (ascent
// plus descent), and its width the average character width; QFont wants a pixel size and a
// stretch, so both are measured once.
const QFont& FontFor(const TFontSpec& fontSpec) {
  using Key = std::tuple<int, int, int, std::string>;
  static std::map<Key, QFont> cache;
  const Key key{fontSpec.Height, fontSpec.Width, fontSpec.Weight, fontSpec.Face};
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  QFont font(QString::fromStdString(fontSpec.Face));
  font.setStyleHint(QFont::TypeWriter);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(fontSpec.Weight, 1, 1000)));
  const int height = std::max(fontSpec.Height, 1);
  font.setPixelSize(height);
  QFontMetrics metrics(font);
  const int cell = metrics.ascent() + metrics.descent();
  if (cell > 0 && cell != height)
    font.setPixelSize(std::max(1, (height * height + cell / 2) / cell));
  if (fontSpec.Width > 0) {
    const int natural = QFontMetrics(font).averageCharWidth();
    if (natural > 0)
      font.setStretch(std::clamp((fontSpec.Width * 100 + natural / 2) / natural, 1, 4000));
  }
  return cache.emplace(key, font).first->second;
}

class TQtImage;

// The pixels of a one-pixel line from `from` up to, not including, `to` (Bresenham). Qt's
// own aliased lines leave out the end with the larger coordinate instead.
void AddLinePixels(QPolygon& dots, TPoint from, TPoint to) {
  const int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
  const int sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
  int err = dx + dy;
  int x = from.x, y = from.y;
  while (x != to.x || y != to.y) {
    dots << QPoint(x, y);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

// Drawing operations over whatever painter the subclass makes active.
template <class Base>
class TQtCanvasImpl : public Base {
 public:
  void SetPen(TColor color, int width, TPenMode mode) override {
    penColor_ = color;
    penWidth_ = std::max(width, 1);
    penMode_ = mode;
  }
  void SetBrush(TColor color, TBrushStyle style) override {
    brushColor_ = color;
    brushStyle_ = style;
  }

  void Line(TPoint from, TPoint to) override {
    QPainter* p = Begin(true, false);
    if (!p) return;
    if (from == to) return;
    if (penWidth_ <= 1) {
      QPolygon dots;
      AddLinePixels(dots, from, to);
      p->drawPoints(dots);
    } else {
      p->drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
    }
  }

  void Ellipse(const TRect& r) override {
    if (r.IsEmpty()) return;
    QPainter* p = Begin(true, true);
    if (!p) return;
    p->drawEllipse(OutlineRect(r));
  }

  void Rectangle(const TRect& r) override {
    if (r.IsEmpty()) return;
    if (brushStyle_ == bsSolid && penMode_ == pmCopy && penColor_ == brushColor_) {
      QPainter* p = Begin(false, false);
      if (!p) return;
      p->setCompositionMode(QPainter::CompositionMode_Source);
      p->fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQColor(brushColor_));
      return;
    }
    QPainter* p = Begin(true, true);
    if (!p) return;
    p->drawRect(OutlineRect(r));
  }

  void Polyline(const std::vector<TPoint>& points) override {
    if (points.size() < 2) return;
    QPainter* p = Begin(true, false);
    if (!p) return;
    if (penWidth_ <= 1) {
      // Each segment leaves out its end, which the next one starts with: every pixel is
      // painted once, as an inverting pen needs.
      QPolygon dots;
      for (std::size_t i = 1; i < points.size(); ++i) AddLinePixels(dots, points[i - 1], points[i]);
      p->drawPoints(dots);
      return;
    }
    QPolygon polygon;
    for (const TPoint& pt : points) polygon << QPoint(pt.x, pt.y);
    p->drawPolyline(polygon);
  }

  void SetPixel(int x, int y, TColor color) override {
    QPainter* p = Begin(false, false);
    if (!p) return;
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->setPen(QPen(ToQColor(color), 0));
    p->drawPoint(x, y);
  }

  void DrawFocusRect(const TRect& r) override {
    if (r.IsEmpty()) return;
    QPainter* p = Begin(false, false);
    if (!p) return;
    // Every other pixel of the border, each exactly once, inverted.
    QPolygon dots;
    auto add = [&](int x, int y) {
      if ((x + y) % 2 == 0) dots << QPoint(x, y);
    };
    for (int x = r.Left; x < r.Right; ++x) {
      add(x, r.Top);
      if (r.Bottom - 1 > r.Top) add(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
      add(r.Left, y);
      if (r.Right - 1 > r.Left) add(r.Right - 1, y);
    }
    p->setCompositionMode(QPainter::RasterOp_NotDestination);
    p->setPen(QPen(Qt::black, 0));
    p->drawPoints(dots);
  }

  void DrawText(const TRect& r, const std::string& text, const TFontSpec& font,
                TColor color) override {
    QPainter* p = Begin(false, false);
    if (!p) return;
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    p->setFont(FontFor(font));
    p->setPen(ToQColor(color));
    p->drawText(QRect(r.Left, r.Top, r.Width(), r.Height()), Qt::AlignCenter | Qt::TextSingleLine,
                QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }

  void CopyRect(TPoint dest, const TImage& image, const TRect& source, TCopyMode mode) override {
    const QImage* src = QtImageOf(image);
    if (!src || source.IsEmpty()) return;
    QPainter* p = Begin(false, false);
    if (!p) return;
    p->setCompositionMode(CopyComposition(mode));
    p->drawImage(QPoint(dest.x, dest.y), *src,
                 QRect(source.Left, source.Top, source.Width(), source.Height()));
  }

 protected:
  virtual QPainter* ActivePainter() = 0;

 private:
  // The painter with the pen and brush applied as asked.
  QPainter* Begin(bool usePen, bool useBrush) {
    QPainter* p = ActivePainter();
    if (!p) return nullptr;
    p->setRenderHint(QPainter::Antialiasing, false);
    if (usePen) {
      QPen pen(ToQColor(penColor_), penWidth_ <= 1 ? 0 : penWidth_);
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::MiterJoin);
      p->setPen(pen);
    }
    if (useBrush) {
      if (brushStyle_ == bsSolid)
        p->setBrush(ToQColor(brushColor_));
      else
        p->setBrush(Qt::NoBrush);
    }
    p->setCompositionMode(penMode_ == pmNot ? QPainter::RasterOp_NotDestination
                                            : QPainter::CompositionMode_SourceOver);
    return p;
  }

  // Bounding box with Right and Bottom exclusive, as an outline through the border pixels.
  static QRect OutlineRect(const TRect& r) {
    return QRect(r.Left, r.Top, std::max(r.Width() - 1, 0), std::max(r.Height() - 1, 0));
  }

  TColor penColor_ = kColorBlack;
  int penWidth_ = 1;
  TPenMode penMode_ = pmCopy;
  TColor brushColor_ = kColorWhite;
  TBrushStyle brushStyle_ = bsSolid;
};

class TQtImage : public TQtCanvasImpl<TImage> {
 public:
  TQtImage(int width, int height) { SetSize(width, height); }
  explicit TQtImage(QImage image) : image_(std::move(image)) {}
  ~TQtImage() override { End(); }

  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }

  void SetSize(int width, int height) override {
    if (width == image_.width() && height == image_.height() && !image_.isNull()) return;
    End();
    if (width <= 0 || height <= 0) {
      image_ = QImage();
      return;
    }
    image_ = QImage(width, height, QImage::Format_RGB32);
    image_.fill(Qt::white);
  }

  TPixels GetPixels() const override {
    TPixels pixels(image_.width(), image_.height());
    for (int y = 0; y < image_.height(); ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
      for (int x = 0; x < image_.width(); ++x) {
        std::uint8_t* q = pixels.At(x, y);
        q[0] = static_cast<std::uint8_t>(qRed(line[x]));
        q[1] = static_cast<std::uint8_t>(qGreen(line[x]));
        q[2] = static_cast<std::uint8_t>(qBlue(line[x]));
      }
    }
    return pixels;
  }

  void SetPixels(const TPixels& pixels) override {
    End();
    SetSize(pixels.Width, pixels.Height);
    for (int y = 0; y < image_.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
      for (int x = 0; x < image_.width(); ++x) {
        const std::uint8_t* q = pixels.At(x, y);
        line[x] = qRgb(q[0], q[1], q[2]);
      }
    }
  }

  const QImage& Image() const { return image_; }

 protected:
  QPainter* ActivePainter() override {
    if (image_.isNull()) return nullptr;
    if (!painter_) painter_ = std::make_unique<QPainter>(&image_);
    return painter_.get();
  }

 private:
  void End() {
    if (painter_) painter_->end();
    painter_.reset();
  }

  QImage image_;
  std::unique_ptr<QPainter> painter_;
};

class TQtPainterCanvas : public TQtCanvasImpl<TCanvas> {
 public:
  explicit TQtPainterCanvas(QPainter& painter) : painter_(painter) {}

 protected:
  QPainter* ActivePainter() override { return painter_.isActive() ? &painter_ : nullptr; }

 private:
  QPainter& painter_;
};

}  // namespace

std::unique_ptr<TImage> TQtGraphics::CreateImage(int width, int height) {
  return std::make_unique<TQtImage>(width, height);
}

std::unique_ptr<TImage> TQtGraphics::LoadPicture(const std::string& path) {
  QImage image(QString::fromStdString(path));
  if (image.isNull()) return nullptr;
  return std::make_unique<TQtImage>(image.convertToFormat(QImage::Format_RGB32));
}

std::unique_ptr<TCanvas> MakePainterCanvas(QPainter& painter) {
  return std::make_unique<TQtPainterCanvas>(painter);
}

const QImage* QtImageOf(const TImage& image) {
  const auto* qt = dynamic_cast<const TQtImage*>(&image);
  return qt ? &qt->Image() : nullptr;
}

}  // namespace kessaro
