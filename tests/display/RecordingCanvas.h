#pragma once
// A canvas that records every call as a line of text, and graphics whose images record into
// one shared log. Pictures "load" from files that exist, with the sizes the test registers.
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "display/Canvas.h"

namespace kessaro::test {

class TRecordingGraphics;

class TRecordingImage : public TImage {
 public:
  TRecordingImage(std::vector<std::string>& log, int id, int width, int height)
      : log_(log), id_(id), pixels_(width, height) {}

  int Id() const { return id_; }
  void SetPen(TColor color, int width, TPenMode mode) override {
    Add("Pen " + Hex(color) + " w" + std::to_string(width) + (mode == pmNot ? " not" : " copy"));
  }
  void SetBrush(TColor color, TBrushStyle style) override {
    Add("Brush " + Hex(color) + (style == bsSolid ? " solid" : " clear"));
  }
  void Line(TPoint a, TPoint b) override { Add("Line " + P(a) + "-" + P(b)); }
  void Ellipse(const TRect& r) override { Add("Ellipse " + R(r)); }
  void Rectangle(const TRect& r) override { Add("Rectangle " + R(r)); }
  void Polyline(const std::vector<TPoint>& points) override {
    std::string s = "Polyline";
    for (const TPoint& p : points) s += " " + P(p);
    Add(s);
  }
  void SetPixel(int x, int y, TColor c) override { Add("Pixel " + P({x, y}) + " " + Hex(c)); }
  void DrawFocusRect(const TRect& r) override { Add("Focus " + R(r)); }
  void DrawText(const TRect& r, const std::string& text, const TFontSpec& f, TColor c) override {
    Add("Text '" + text + "' " + R(r) + " h" + std::to_string(f.Height) + " w" +
        std::to_string(f.Width) + " wt" + std::to_string(f.Weight) + " " + f.Face + " " + Hex(c));
  }
  void CopyRect(TPoint dest, const TImage& image, const TRect& source, TCopyMode mode) override {
    static const char* kModes[] = {"copy", "and", "or", "not"};
    const auto* rec = dynamic_cast<const TRecordingImage*>(&image);
    Add("Copy " + P(dest) + " from #" + std::to_string(rec ? rec->Id() : -1) + " " +
        std::to_string(image.Width()) + "x" + std::to_string(image.Height()) + " " + R(source) +
        " " + kModes[mode]);
  }
  int Width() const override { return pixels_.Width; }
  int Height() const override { return pixels_.Height; }
  void SetSize(int w, int h) override {
    if (w != pixels_.Width || h != pixels_.Height) pixels_ = TPixels(w, h);
  }
  TPixels GetPixels() const override { return pixels_; }
  void SetPixels(const TPixels& p) override {
    pixels_ = p;
    Add("SetPixels " + std::to_string(p.Width) + "x" + std::to_string(p.Height));
  }

 private:
  // Each call becomes one log line "#id op ...".
  void Add(const std::string& call) { log_.push_back("#" + std::to_string(id_) + " " + call); }
  static std::string Hex(TColor c) {
    std::ostringstream s;
    s << std::hex << c;
    return s.str();
  }
  static std::string P(TPoint p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
  static std::string R(const TRect& r) {
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) +
           "," + std::to_string(r.Bottom);
  }

  std::vector<std::string>& log_;
  int id_;
  TPixels pixels_;
};

class TRecordingGraphics : public TGraphics {
 public:
  std::unique_ptr<TImage> CreateImage(int w, int h) override {
    return std::make_unique<TRecordingImage>(Log, nextId_++, w, h);
  }
  std::unique_ptr<TImage> LoadPicture(const std::string& path) override {
    auto it = Pictures.find(path);
    if (it == Pictures.end()) return nullptr;
    return std::make_unique<TRecordingImage>(Log, nextId_++, it->second.x, it->second.y);
  }
  // Calls recorded on image `id` whose text starts with `prefix`.
  std::vector<std::string> Calls(int id, const std::string& prefix = "") const {
    std::vector<std::string> out;
    const std::string head = "#" + std::to_string(id) + " " + prefix;
    for (const auto& line : Log)
      if (line.compare(0, head.size(), head) == 0) out.push_back(line.substr(line.find(' ') + 1));
    return out;
  }

  std::vector<std::string> Log;
  std::map<std::string, TPoint> Pictures;  // path -> width, height

 private:
  int nextId_ = 1;
};

}  // namespace kessaro::test
