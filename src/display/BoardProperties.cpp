#include "display/BoardProperties.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "display/GraphicScaling.h"
#include "platform/UserHome.h"
#include "storage/ByteOrder.h"

namespace kessaro {

namespace {

bool FileExists(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::is_regular_file(name, ec);
}

// A click sound is small; anything larger is not a sound worth holding.
constexpr std::uintmax_t kMaxSoundBytes = 16u << 20;

std::int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Rounds to nearest, ties to even.
int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

// The font record's fields are signed 32-bit integers.
void PutInt32(std::uint8_t* p, std::int32_t v) {
  StoreLE32(p, static_cast<std::uint32_t>(v));
}

std::int32_t GetInt32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(LoadLE32(p));
}

std::string ProgramFile(const char* name) {
  return ProgramDir() + "/" + name;
}

}  // namespace

TColor IndexColor(int index, bool onBlackStone) {
  static constexpr TColor kColors[16] = {
      MakeColor(0, 0, 0),       MakeColor(255, 255, 0), MakeColor(0, 255, 255),
      MakeColor(128, 128, 128), MakeColor(128, 0, 128), MakeColor(192, 192, 192),
      MakeColor(128, 0, 0),     MakeColor(0, 0, 128),   MakeColor(128, 128, 0),
      MakeColor(0, 128, 128),   MakeColor(255, 0, 0),   MakeColor(0, 255, 0),
      MakeColor(128, 128, 128), MakeColor(0, 128, 0),   MakeColor(255, 0, 255),
      MakeColor(0, 0, 255)};
  index &= 15;
  if (onBlackStone && index == 0) return MakeColor(255, 255, 255);
  if (onBlackStone && index == 3) return MakeColor(192, 192, 192);
  return kColors[index];
}

// ---- Background ----

TBoardBackground::TBoardBackground(TGraphics& graphics) : graphics_(graphics) {}
TBoardBackground::~TBoardBackground() = default;

void TBoardBackground::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  changed_ = true;
}

void TBoardBackground::SetFileName(const std::string& name) {
  if (name == fileName_ || !FileExists(name)) return;
  fileName_ = name;
  changed_ = true;
  cacheInvalid_ = true;
}

void TBoardBackground::SetUseBitmap(bool on) {
  if (on == useBitmap_) return;
  useBitmap_ = on;
  changed_ = true;
}

bool TBoardBackground::Prepare() {
  if (useBitmap_ && cacheInvalid_) {
    picture_.reset();
    cache_.reset();
    if (FileExists(fileName_)) picture_ = graphics_.LoadPicture(fileName_);
    if (!picture_ || picture_->Width() <= 0 || picture_->Height() <= 0) {
      picture_.reset();
      useBitmap_ = false;
    }
  }
  return std::exchange(changed_, false);
}

void TBoardBackground::Draw(TPoint origin, const TRect& rect, TCanvas& canvas) {
  if (rect.IsEmpty()) return;
  if (!useBitmap_ || !picture_) {
    canvas.SetBrush(color_, bsSolid);
    canvas.SetPen(color_, 1, pmCopy);
    canvas.Rectangle(rect);
    return;
  }
  // The cache repeats the picture with the period of one tile, so any part of the texture
  // anchored at `origin` is found at an offset inside the first tile.
  const int tileW = picture_->Width(), tileH = picture_->Height();
  const int sx = ((rect.Left - origin.x) % tileW + tileW) % tileW;
  const int sy = ((rect.Top - origin.y) % tileH + tileH) % tileH;
  const int needW = sx + rect.Width(), needH = sy + rect.Height();
  if (cacheInvalid_ || !cache_ || cache_->Width() < needW || cache_->Height() < needH) {
    const int w = std::max(cache_ && !cacheInvalid_ ? cache_->Width() : 0, needW);
    const int h = std::max(cache_ && !cacheInvalid_ ? cache_->Height() : 0, needH);
    const int cw = (w + tileW - 1) / tileW * tileW, ch = (h + tileH - 1) / tileH * tileH;
    cache_ = graphics_.CreateImage(cw, ch);
    for (int y = 0; y < ch; y += tileH)
      for (int x = 0; x < cw; x += tileW)
        cache_->CopyRect({x, y}, *picture_, {0, 0, tileW, tileH}, cmSrcCopy);
    cacheInvalid_ = false;
  }
  canvas.CopyRect({rect.Left, rect.Top}, *cache_, {sx, sy, needW, needH}, cmSrcCopy);
}

// ---- Stones ----

TStone::TStone(TGraphics& graphics, TColor color) : graphics_(graphics), color_(color) {}
TStone::~TStone() = default;

void TStone::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  changed_ = true;
}

void TStone::SetFileName(const std::string& name) {
  if (name == fileName_ || !FileExists(name)) return;
  fileName_ = name;
  changed_ = true;
  reload_ = true;
}

void TStone::SetUseBitmap(bool on) {
  if (on == useBitmap_) return;
  useBitmap_ = on;
  changed_ = true;
}

bool TStone::Prepare() {
  if (!changed_) return false;
  images_.clear();
  masks_.clear();
  loadedSize_ = 0;
  if (useBitmap_) {
    if (FileExists(fileName_))
      LoadBitmap();
    else
      useBitmap_ = false;
  }
  reload_ = false;
  changed_ = false;
  return true;
}

void TStone::LoadPicture() {
  auto picture = graphics_.LoadPicture(fileName_);
  if (!picture || picture->Width() <= 0 || picture->Width() != picture->Height()) {
    useBitmap_ = false;
    return;
  }
  loadedSize_ = picture->Width();
  masks_[loadedSize_] = MakeMask(loadedSize_);
  images_[loadedSize_] = std::move(picture);
}

void TStone::DrawStone(const TRect& cell, TCanvas& canvas, TCopyMode maskMode,
                       TCopyMode imageMode) {
  TRect r = cell;
  int h = r.Height();
  if (h < 4) return;
  if (h % 2 == 0) {
    ++r.Left;
    ++r.Top;
    --h;
  }
  const int a = h / 64 + 1;
  const int d = h - 2 * a;
  r.Left += a;
  r.Top += a;
  r.Right = r.Left + d;
  r.Bottom = r.Top + d;
  if (!useBitmap_ || loadedSize_ == 0) {
    canvas.SetPen(kColorBlack, d / 32, pmCopy);
    canvas.SetBrush(color_, bsSolid);
    canvas.Ellipse(r);
    return;
  }
  auto& image = images_[d];
  if (!image) {
    const TPixels scaled = Rescale(images_[loadedSize_]->GetPixels(), d, d, fiMitchell);
    image = graphics_.CreateImage(d, d);
    image->SetPixels(scaled);
  }
  auto& mask = masks_[d];
  if (!mask) mask = MakeMask(d);
  canvas.CopyRect({r.Left, r.Top}, *mask, {0, 0, d, d}, maskMode);
  canvas.CopyRect({r.Left, r.Top}, *image, {0, 0, d, d}, imageMode);
}

TWhiteStone::TWhiteStone(TGraphics& graphics) : TStone(graphics, MakeColor(255, 255, 255)) {}

void TWhiteStone::LoadBitmap() {
  LoadPicture();
}

std::unique_ptr<TImage> TWhiteStone::MakeMask(int side) {
  auto mask = graphics_.CreateImage(side, side);
  mask->SetBrush(kColorBlack, bsSolid);
  mask->SetPen(kColorBlack, 1, pmCopy);
  mask->Rectangle({0, 0, side, side});
  mask->SetBrush(kColorWhite, bsSolid);
  mask->SetPen(kColorWhite, 1, pmCopy);
  mask->Ellipse({0, 0, side, side});
  return mask;
}

void TWhiteStone::Draw(const TRect& rect, TCanvas& canvas) {
  DrawStone(rect, canvas, cmSrcPaint, cmSrcAnd);
}

TBlackStone::TBlackStone(TGraphics& graphics) : TStone(graphics, MakeColor(0, 0, 0)) {}

void TBlackStone::LoadBitmap() {
  LoadPicture();
}

std::unique_ptr<TImage> TBlackStone::MakeMask(int side) {
  if (graphics_.CommonMask.Width == 0) {
    // A black disc on white, made once and rescaled to every size with the Bell filter.
    constexpr int kSide = 300;
    auto disc = graphics_.CreateImage(kSide, kSide);
    disc->SetBrush(kColorBlack, bsSolid);
    disc->SetPen(kColorBlack, 1, pmCopy);
    disc->Rectangle({0, 0, kSide, kSide});
    disc->SetBrush(kColorWhite, bsSolid);
    disc->SetPen(kColorWhite, 1, pmCopy);
    disc->Ellipse({0, 0, kSide, kSide});
    auto inverted = graphics_.CreateImage(kSide, kSide);
    inverted->CopyRect({0, 0}, *disc, {0, 0, kSide, kSide}, cmNotSrcCopy);
    graphics_.CommonMask = inverted->GetPixels();
  }
  auto mask = graphics_.CreateImage(side, side);
  mask->SetPixels(Rescale(graphics_.CommonMask, side, side, fiBell));
  return mask;
}

void TBlackStone::Draw(const TRect& rect, TCanvas& canvas) {
  DrawStone(rect, canvas, cmSrcAnd, cmSrcPaint);
}

// ---- Click ----

TStoneClick::TStoneClick(TSoundPlayer* player) : player_(player), clock_(SteadyMilliseconds) {}

void TStoneClick::SetFileName(const std::string& name) {
  if (name == fileName_ || !FileExists(name)) return;
  fileName_ = name;
  changed_ = true;
  loaded_ = false;
}

bool TStoneClick::Prepare() {
  if (!loaded_) {
    loaded_ = true;
    data_.clear();
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName_, ec);
    if (!ec && size > 0 && size <= kMaxSoundBytes) {
      std::ifstream in(fileName_, std::ios::binary);
      data_.resize(static_cast<std::size_t>(size));
      if (!in.read(reinterpret_cast<char*>(data_.data()), static_cast<std::streamsize>(size)))
        data_.clear();
    }
  }
  return !data_.empty();
}

bool TStoneClick::TakeChanged() {
  return std::exchange(changed_, false);
}

void TStoneClick::Play() {
  if (!soundOn_ || data_.empty()) return;
  const std::int64_t now = clock_();
  if (played_ && std::llabs(now - lastTick_) <= 100) return;
  played_ = true;
  lastTick_ = now;
  if (player_) player_->PlayAsync(data_);
}

// ---- Letters ----

std::array<std::uint8_t, TLogFont::kSize> TLogFont::ToBytes() const {
  std::array<std::uint8_t, kSize> b{};
  PutInt32(&b[0], Height);
  PutInt32(&b[4], Width);
  PutInt32(&b[8], Escapement);
  PutInt32(&b[12], Orientation);
  PutInt32(&b[16], Weight);
  b[20] = Italic;
  b[21] = Underline;
  b[22] = StrikeOut;
  b[23] = CharSet;
  b[24] = OutPrecision;
  b[25] = ClipPrecision;
  b[26] = Quality;
  b[27] = PitchAndFamily;
  std::memcpy(&b[28], FaceName.data(), FaceName.size());
  return b;
}

TLogFont TLogFont::FromBytes(const std::uint8_t* b) {
  TLogFont f;
  f.Height = GetInt32(b);
  f.Width = GetInt32(b + 4);
  f.Escapement = GetInt32(b + 8);
  f.Orientation = GetInt32(b + 12);
  f.Weight = GetInt32(b + 16);
  f.Italic = b[20];
  f.Underline = b[21];
  f.StrikeOut = b[22];
  f.CharSet = b[23];
  f.OutPrecision = b[24];
  f.ClipPrecision = b[25];
  f.Quality = b[26];
  f.PitchAndFamily = b[27];
  std::memcpy(f.FaceName.data(), b + 28, f.FaceName.size());
  return f;
}

std::string TLogFont::Face() const {
  const auto end = std::find(FaceName.begin(), FaceName.end(), '\0');
  return std::string(FaceName.begin(), end);
}

void TLetters::SetFont(const TLogFont& font) {
  fontCache_.clear();
  if (font == font_) return;
  font_ = font;
  changed_ = true;
}

bool TLetters::TakeChanged() {
  return std::exchange(changed_, false);
}

const TFontSpec& TLetters::CachedFont(int usable, std::size_t length, bool number) {
  static constexpr double kLabelFactor[4] = {0.95, 0.9, 0.85, 0.8};
  static constexpr double kNumberFactor[4] = {0.85, 0.8, 0.75, 0.7};
  static constexpr double kWidthFactor[4] = {0, 0.45, 0.31, 0.2};
  static constexpr int kWeight[4] = {650, 500, 400, 300};
  const std::size_t i = length - 1;
  const int height = RoundEven(usable * (number ? kNumberFactor[i] : kLabelFactor[i]));
  auto& slot = fontCache_[height][i];
  if (!slot) {
    slot = std::make_unique<TFontSpec>();
    slot->Height = height;
    slot->Width = RoundEven(height * kWidthFactor[i]);
    slot->Weight = kWeight[i];
    slot->Face = font_.Face();
  }
  return *slot;
}

void TLetters::DrawText(const std::string& text, TColor color, TCanvas& canvas, const TRect& rect,
                        bool number) {
  if (text.empty() || text.size() > 4) return;
  TRect r = rect;
  int h = r.Height();
  if (h % 2 == 0) {
    ++r.Left;
    ++r.Top;
    --h;
  }
  const int usable = number ? h - (2 * (h / 16) + 2) : h - (2 * (h / 32) + 2);
  const TFontSpec& font = CachedFont(usable, text.size(), number);
  if (font.Height <= 0) return;
  canvas.DrawText(r, text, font, color);
}

void TLetters::DrawLabel(const std::string& text, TColor color, TCanvas& canvas,
                         const TRect& rect) {
  DrawText(text, color, canvas, rect, false);
}

void TLetters::DrawNumber(const std::string& text, TColor color, TCanvas& canvas,
                          const TRect& rect) {
  DrawText(text, color, canvas, rect, true);
}

// ---- Shadow ----

void TGridShadow::Draw(const TRect& rect, TCanvas& canvas) {
  const int s = rect.Bottom - rect.Top;
  if (s < 1) return;
  auto& pair = patterns_[s];
  if (!pair[0]) {
    for (int k = 0; k < 2; ++k) {
      pair[static_cast<std::size_t>(k)] = graphics_.CreateImage(s, s);
      pair[static_cast<std::size_t>(k)]->SetPixels(DitherPattern(s, k == 1));
    }
  }
  const bool useB = s % 2 == 1 && (rect.Left + rect.Top) % 2 == 0;
  canvas.CopyRect({rect.Left, rect.Top}, *pair[useB ? 1 : 0], {0, 0, s, s}, cmSrcAnd);
}

// ---- Marks ----

void DrawMark(int kind, std::uint32_t value, TCanvas& canvas, const TRect& rect, TColor color) {
  int h = rect.Height();
  const int penWidth = (kind % 2 == 1) ? h / 10 : h / 13;
  if (value & (1u << 31)) {
    if (kind > 16) return;
    kind = ((kind + 1) ^ 1) - 1;
  }
  canvas.SetBrush(color, bsClear);
  if (value & (1u << 29))
    canvas.SetPen(color, penWidth, pmNot);
  else
    canvas.SetPen(color, penWidth, pmCopy);
  int L = rect.Left, T = rect.Top;
  const int R = rect.Right, B = rect.Bottom;
  if (h % 2 == 0) {
    ++L;
    ++T;
    --h;
  }
  const bool odd = kind % 2 == 1;
  const int e =
      odd ? static_cast<int>(h / 5.0 + h / 30.0 + 1) : static_cast<int>(h / 4.0 + h / 15.0 + 1);
  const int e1 = penWidth == 1 ? e - 1 : e;
  const int e2 = penWidth == 1 ? e : e - 1;
  const int s = h / 16;
  switch ((kind - 1) & 14) {
    case 0:
      canvas.Line({L + e, T + e}, {R - e1, B - e1});
      canvas.Line({R - e, T + e}, {L + e1, B - e1});
      break;
    case 2:
      canvas.Rectangle({L + e, T + e, R - e2, B - e2});
      break;
    case 4:
      canvas.Ellipse({L + e, T + e, R - e, B - e});
      break;
    case 6:
      canvas.Polyline(
          {{L + e, B - e - s}, {R - e, B - e - s}, {(L + R) / 2, T + e - s}, {L + e, B - e - s}});
      break;
    case 8:
      canvas.Polyline(
          {{R - e - s, B - e}, {L + e - s, (T + B) / 2}, {R - e - s, T + e}, {R - e - s, B - e}});
      break;
    case 10:
      canvas.Polyline(
          {{L + e + s, B - e}, {R + s - e, (T + B) / 2}, {L + e + s, T + e}, {L + e + s, B - e}});
      break;
    case 12:
      canvas.Polyline(
          {{L + e, T + e + s}, {R - e, T + e + s}, {(L + R) / 2, B + s - e}, {L + e, T + e + s}});
      break;
    default:
      canvas.Polyline({{L + e - s, T + h / 2},
                       {R + s - e, T + h / 2},
                       {(L + R) / 2 + s, T + e},
                       {R + s - e, T + h / 2},
                       {(L + R) / 2 + s, T + h - e - 1},
                       {R + s - e, T + h / 2}});
      break;
  }
}

// ---- Properties ----

TBoardProperties::TBoardProperties(TGraphics& graphics, TSoundPlayer* player)
    : Background(graphics),
      WhiteStone(graphics),
      BlackStone(graphics),
      Click(player),
      Shadow(graphics) {}

TBoardProperties::~TBoardProperties() = default;

void TBoardProperties::Assign(const TBoardProperties& other) {
  Background.SetColor(other.Background.Color());
  Background.SetFileName(other.Background.FileName());
  Background.SetUseBitmap(other.Background.UseBitmap());
  BlackStone.SetColor(other.BlackStone.Color());
  BlackStone.SetFileName(other.BlackStone.FileName());
  BlackStone.SetUseBitmap(other.BlackStone.UseBitmap());
  WhiteStone.SetColor(other.WhiteStone.Color());
  WhiteStone.SetFileName(other.WhiteStone.FileName());
  WhiteStone.SetUseBitmap(other.WhiteStone.UseBitmap());
  Click.SetFileName(other.Click.FileName());
  Click.SetSoundOn(other.Click.SoundOn());
  Letters.SetFont(other.Letters.Font());
}

void TBoardProperties::LoadFromRegistry(TRegistryKey& root, const std::string& path) {
  auto key = OpenKeyForRead(root, path);
  if (!key) return;
  Background.SetColor(ReadInteger(*key, "Board Color", MakeColor(255, 255, 0)));
  Background.SetFileName(ReadString(*key, "Board Bitmap", ProgramFile("goboard.bmp")));
  Background.SetUseBitmap(ReadBool(*key, "Use Board Bitmap", true));
  BlackStone.SetColor(ReadInteger(*key, "Black Stone Color", MakeColor(0, 0, 0)));
  BlackStone.SetFileName(ReadString(*key, "Black Stone Bitmap", ProgramFile("black.bmp")));
  BlackStone.SetUseBitmap(ReadBool(*key, "Use Black Stone Bitmap", true));
  WhiteStone.SetColor(ReadInteger(*key, "White Stone Color", MakeColor(255, 255, 255)));
  WhiteStone.SetFileName(ReadString(*key, "White Stone Bitmap", ProgramFile("white.bmp")));
  WhiteStone.SetUseBitmap(ReadBool(*key, "Use White Stone Bitmap", true));
  Click.SetFileName(ReadString(*key, "Stone Click Sound", ProgramFile("click.wav")));
  Click.SetSoundOn(ReadBool(*key, "Sound Click Sound On", true));
  if (BinarySize(*key, "Letters") == TLogFont::kSize) {
    std::uint8_t bytes[TLogFont::kSize];
    ReadBinary(*key, "Letters", bytes, 0, sizeof bytes);
    Letters.SetFont(TLogFont::FromBytes(bytes));
  }
}

void TBoardProperties::SaveToRegistry(TRegistryKey& root, const std::string& path) const {
  auto key = OpenKeyForWrite(root, path);
  if (!key) return;
  WriteInteger(*key, "Board Color", Background.Color());
  WriteString(*key, "Board Bitmap", Background.FileName());
  WriteBool(*key, "Use Board Bitmap", Background.UseBitmap());
  WriteInteger(*key, "Black Stone Color", BlackStone.Color());
  WriteString(*key, "Black Stone Bitmap", BlackStone.FileName());
  WriteBool(*key, "Use Black Stone Bitmap", BlackStone.UseBitmap());
  WriteInteger(*key, "White Stone Color", WhiteStone.Color());
  WriteString(*key, "White Stone Bitmap", WhiteStone.FileName());
  WriteBool(*key, "Use White Stone Bitmap", WhiteStone.UseBitmap());
  WriteString(*key, "Stone Click Sound", Click.FileName());
  WriteBool(*key, "Sound Click Sound On", Click.SoundOn());
  const auto font = Letters.Font().ToBytes();
  WriteBinary(*key, "Letters", font.data(), font.size());
}

bool TBoardProperties::Update() {
  bool changed = Background.Prepare();
  changed = BlackStone.Prepare() || changed;
  changed = WhiteStone.Prepare() || changed;
  Click.Prepare();
  changed = Click.TakeChanged() || changed;
  changed = Letters.TakeChanged() || changed;
  if (changed && OnChange) OnChange(*this);
  return changed;
}

}  // namespace kessaro
