#pragma once
// The board appearance: background (colour or tiled picture), black and white stones (colour
// or a square picture rescaled to every size, drawn through masks), the fonts of labels and
// move numbers, mark shapes, the shading dither and the click sound. Each painter caches its
// work per size so that drawing a point is a copy of a ready image.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "display/Canvas.h"
#include "platform/Registry.h"

namespace kessaro {

// Text and mark colour of a colour index 0..15; indices 0 and 3 depend on the stone below.
TColor IndexColor(int index, bool onBlackStone);

class TBoardBackground {
 public:
  explicit TBoardBackground(TGraphics& graphics);
  ~TBoardBackground();

  bool UseBitmap() const { return useBitmap_; }
  TColor Color() const { return color_; }
  const std::string& FileName() const { return fileName_; }
  void SetColor(TColor color);
  void SetFileName(const std::string& name);
  void SetUseBitmap(bool on);

  // Loads the picture when needed; returns and clears the changed flag.
  bool Prepare();
  // Paints `rect` of the canvas; the texture is anchored at `origin`.
  void Draw(TPoint origin, const TRect& rect, TCanvas& canvas);

 private:
  TGraphics& graphics_;
  bool changed_ = false;
  bool useBitmap_ = false;
  TColor color_ = MakeColor(255, 255, 0);
  std::string fileName_;
  std::unique_ptr<TImage> cache_;
  std::unique_ptr<TImage> picture_;
  bool cacheInvalid_ = true;
};

class TStone {
 public:
  explicit TStone(TGraphics& graphics, TColor color);
  virtual ~TStone();

  bool UseBitmap() const { return useBitmap_; }
  TColor Color() const { return color_; }
  const std::string& FileName() const { return fileName_; }
  int LoadedSize() const { return loadedSize_; }
  void SetColor(TColor color);
  void SetFileName(const std::string& name);
  void SetUseBitmap(bool on);

  // When changed: drops every cached size and loads the picture. Returns and clears the
  // changed flag.
  virtual bool Prepare();
  virtual void Draw(const TRect& rect, TCanvas& canvas) = 0;

 protected:
  virtual void LoadBitmap() = 0;
  // The mask of side `side` for this colour.
  virtual std::unique_ptr<TImage> MakeMask(int side) = 0;
  void LoadPicture();
  // Draws the stone into `rect` (already inset), combining mask then image with the modes.
  void DrawStone(const TRect& rect, TCanvas& canvas, TCopyMode maskMode, TCopyMode imageMode);

  TGraphics& graphics_;
  bool reload_ = false;
  bool useBitmap_ = false;
  TColor color_;
  std::string fileName_;
  int loadedSize_ = 0;
  std::map<int, std::unique_ptr<TImage>> images_;
  std::map<int, std::unique_ptr<TImage>> masks_;
  bool changed_ = false;
};

// A white stone picture must be white outside its disc: mask OR, then image AND.
class TWhiteStone : public TStone {
 public:
  explicit TWhiteStone(TGraphics& graphics);
  void Draw(const TRect& rect, TCanvas& canvas) override;

 protected:
  void LoadBitmap() override;
  std::unique_ptr<TImage> MakeMask(int side) override;
};

// A black stone picture must be black outside its disc: mask AND, then image OR.
class TBlackStone : public TStone {
 public:
  explicit TBlackStone(TGraphics& graphics);
  void Draw(const TRect& rect, TCanvas& canvas) override;

 protected:
  void LoadBitmap() override;
  std::unique_ptr<TImage> MakeMask(int side) override;
};

// Plays a wave held in memory, asynchronously; never waits for a sound already playing.
class TSoundPlayer {
 public:
  virtual ~TSoundPlayer() = default;
  virtual void PlayAsync(const std::vector<std::uint8_t>& wave) = 0;
};

class TStoneClick {
 public:
  explicit TStoneClick(TSoundPlayer* player);

  const std::string& FileName() const { return fileName_; }
  bool SoundOn() const { return soundOn_; }
  void SetFileName(const std::string& name);
  void SetSoundOn(bool on) { soundOn_ = on; }
  // Milliseconds of a monotonic clock; tests replace it.
  void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
  void SetPlayer(TSoundPlayer* player) { player_ = player; }

  // Reads the sound when the name changed; true when sound data is ready.
  bool Prepare();
  bool TakeChanged();
  bool HasSound() const { return !data_.empty(); }
  // Plays the click unless the last one was less than 100 ms ago.
  void Play();

 private:
  TSoundPlayer* player_;
  std::vector<std::uint8_t> data_;
  std::string fileName_;
  bool soundOn_ = false;
  bool changed_ = false;
  bool loaded_ = false;
  std::int64_t lastTick_ = 0;
  bool played_ = false;
  std::function<std::int64_t()> clock_;
};

// The 60-byte logical font record kept in the settings.
struct TLogFont {
  std::int32_t Height = 16;
  std::int32_t Width = 0;
  std::int32_t Escapement = 0;
  std::int32_t Orientation = 0;
  std::int32_t Weight = 600;
  std::uint8_t Italic = 0;
  std::uint8_t Underline = 0;
  std::uint8_t StrikeOut = 0;
  std::uint8_t CharSet = 0;
  std::uint8_t OutPrecision = 4;
  std::uint8_t ClipPrecision = 1;
  std::uint8_t Quality = 2;
  std::uint8_t PitchAndFamily = 0;
  std::array<char, 32> FaceName{'C', 'o', 'u', 'r', 'i', 'e', 'r', ' ', 'N', 'e', 'w'};

  static constexpr std::size_t kSize = 5 * 4 + 8 + 32;
  std::array<std::uint8_t, kSize> ToBytes() const;
  static TLogFont FromBytes(const std::uint8_t* bytes);
  std::string Face() const;
  friend bool operator==(const TLogFont&, const TLogFont&) = default;
};

class TLetters {
 public:
  const TLogFont& Font() const { return font_; }
  void SetFont(const TLogFont& font);
  bool TakeChanged();

  void DrawLabel(const std::string& text, TColor color, TCanvas& canvas, const TRect& rect);
  void DrawNumber(const std::string& text, TColor color, TCanvas& canvas, const TRect& rect);
  // The font used for a text of `length` characters in a cell of usable height `usable`.
  const TFontSpec& CachedFont(int usable, std::size_t length, bool number);

 private:
  void DrawText(const std::string& text, TColor color, TCanvas& canvas, const TRect& rect,
                bool number);

  TLogFont font_;
  bool changed_ = false;
  // Per font height, one font for each text length 1..4.
  std::map<int, std::array<std::unique_ptr<TFontSpec>, 4>> fontCache_;
};

class TGridShadow {
 public:
  explicit TGridShadow(TGraphics& graphics) : graphics_(graphics) {}
  void Draw(const TRect& rect, TCanvas& canvas);

 private:
  TGraphics& graphics_;
  std::map<int, std::array<std::unique_ptr<TImage>, 2>> patterns_;
};

class TBoardProperties {
 public:
  explicit TBoardProperties(TGraphics& graphics, TSoundPlayer* player = nullptr);
  virtual ~TBoardProperties();

  virtual void Assign(const TBoardProperties& other);
  virtual void LoadFromRegistry(TRegistryKey& root, const std::string& path);
  virtual void SaveToRegistry(TRegistryKey& root, const std::string& path) const;
  // Prepares every painter; raises OnChange and returns true when anything changed.
  bool Update();

  TBoardBackground Background;
  TWhiteStone WhiteStone;
  TBlackStone BlackStone;
  TStoneClick Click;
  TLetters Letters;
  TGridShadow Shadow;
  std::function<void(TBoardProperties&)> OnChange;
};

// Draws mark `kind` (1..63) of a point whose whole value is `value` (blink bits 29 and 31).
void DrawMark(int kind, std::uint32_t value, TCanvas& canvas, const TRect& rect, TColor color);

}  // namespace kessaro
