#pragma once
// Fonts and colours chosen by a text's language and style, brushes by a line's state: the lists
// that every multilingual list control draws with. Fonts and colours are plain descriptions here;
// the front end turns them into its own objects.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "strings/StringSet.h"

namespace kessaro {

// State keys of colours and brushes.
constexpr std::uint16_t kStateNormal = 32;
constexpr std::uint16_t kStateSelected = 1;

// A platform colour value: 0x00BBGGRR, or a system colour with the high byte 0xFF.
using TColor = std::uint32_t;
constexpr TColor RGBColor(int r, int g, int b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
constexpr TColor kSysWindowText = 0xFF000008;
constexpr TColor kSysHighlightText = 0xFF00000E;
constexpr TColor kSysWindow = 0xFF000005;
constexpr TColor kSysHighlight = 0xFF00000D;

struct TFontDesc {
  std::string Name;
  int Size = 8;  // points
  std::uint8_t Charset = 1;
  TColor Color = kSysWindowText;
  bool operator==(const TFontDesc&) const = default;
};

class TFontList {
 public:
  // Each returns the new entry's index; the font is copied.
  int AddFont(const TFontDesc& font, std::uint16_t language, std::uint16_t style);
  int AddColor(TColor color, std::uint16_t style, std::uint16_t state);
  // The first colour with both keys; 0 when none.
  TColor GetColor(std::uint16_t state, std::uint16_t style) const;
  // The first font with both keys, else the first with the language, else the first font;
  // null when the list holds none.
  const TFontDesc* GetFont(std::uint16_t language, std::uint16_t style) const;
  void Clear();
  int FontCount() const { return static_cast<int>(fonts_.size()); }

 private:
  struct FontItem {
    TFontDesc Font;
    std::uint16_t Language, Style;
  };
  struct ColorItem {
    TColor Color;
    std::uint16_t State, Style;
  };
  std::vector<FontItem> fonts_;
  std::vector<ColorItem> colors_;
};

class TBrushList {
 public:
  int AddBrush(TColor brush, std::uint16_t state);
  int IndexOf(std::uint16_t state) const;
  std::optional<TColor> Get(int index) const;
  // A missing state first gets a copy of the normal brush (when there is one).
  void SetStateColor(std::uint16_t state, TColor color);
  int Count() const { return static_cast<int>(brushes_.size()); }

 private:
  struct BrushItem {
    TColor Color;
    std::uint16_t State;
  };
  std::vector<BrushItem> brushes_;
};

// The font charset of a data language: 1033 -> 0, 1041 -> 128, 1042 -> 129, 1028 -> 134,
// 1049 -> 204, anything else -> 1 (default).
std::uint8_t ListCharset(TLanguage language);

// The process-wide sets: the general one (list boxes, list views, the comment dialog) and the
// games one (games list views). Built on first use.
const TFontList& GeneralFontList();
const TBrushList& GeneralBrushList();
const TFontList& GamesFontList();
const TBrushList& GamesBrushList();

// One list box line of a multilingual list.
struct TLangListBoxItem {
  TLanguage Language = kNoLanguage;
  std::uint16_t Style = 0;
  std::string Text;
};

// Height of a word-wrapped list box line from the height its text takes at the client width
// minus 8: 4 pixels above and below, never more than 255 (the list box stores heights in a byte).
int LangListLineHeight(int wrappedTextHeight);
// Width the text of a line wraps to in a list box of that client width.
inline int LangListTextWidth(int clientWidth) {
  return clientWidth - 8;
}

}  // namespace kessaro
