#include "lists/FontList.h"

#include <algorithm>

namespace kessaro {

int TFontList::AddFont(const TFontDesc& font, std::uint16_t language, std::uint16_t style) {
  fonts_.push_back({font, language, style});
  return static_cast<int>(fonts_.size()) - 1;
}

int TFontList::AddColor(TColor color, std::uint16_t style, std::uint16_t state) {
  colors_.push_back({color, state, style});
  return static_cast<int>(colors_.size()) - 1;
}

TColor TFontList::GetColor(std::uint16_t state, std::uint16_t style) const {
  for (const ColorItem& c : colors_) {
    if (c.State == state && c.Style == style) return c.Color;
  }
  return 0;
}

const TFontDesc* TFontList::GetFont(std::uint16_t language, std::uint16_t style) const {
  for (const FontItem& f : fonts_) {
    if (f.Language == language && f.Style == style) return &f.Font;
  }
  for (const FontItem& f : fonts_) {
    if (f.Language == language) return &f.Font;
  }
  return fonts_.empty() ? nullptr : &fonts_.front().Font;
}

void TFontList::Clear() {
  fonts_.clear();
  colors_.clear();
}

int TBrushList::AddBrush(TColor brush, std::uint16_t state) {
  brushes_.push_back({brush, state});
  return static_cast<int>(brushes_.size()) - 1;
}

int TBrushList::IndexOf(std::uint16_t state) const {
  auto it = std::find_if(brushes_.begin(), brushes_.end(),
                         [state](const BrushItem& b) { return b.State == state; });
  return it == brushes_.end() ? -1 : static_cast<int>(it - brushes_.begin());
}

std::optional<TColor> TBrushList::Get(int index) const {
  if (index < 0 || index >= Count()) return std::nullopt;
  return brushes_[static_cast<std::size_t>(index)].Color;
}

void TBrushList::SetStateColor(std::uint16_t state, TColor color) {
  int index = IndexOf(state);
  if (index < 0) {
    int normal = IndexOf(kStateNormal);
    if (normal < 0) return;
    index = AddBrush(brushes_[static_cast<std::size_t>(normal)].Color, state);
  }
  brushes_[static_cast<std::size_t>(index)].Color = color;
}

std::uint8_t ListCharset(TLanguage language) {
  switch (language) {
    case kEnglish:
      return 0;
    case kJapanese:
      return 128;
    case kKorean:
      return 129;
    case kChinese:
      return 134;
    case kRussian:
      return 204;
    default:
      return 1;
  }
}

namespace {

void AddLanguageFonts(TFontList& list) {
  for (TLanguage language : {kEnglish, kJapanese, kKorean, kChinese, kRussian, kNoLanguage}) {
    TFontDesc font;
    font.Name = "MS Sans Serif";
    font.Charset = ListCharset(language);
    font.Color = kSysWindowText;
    list.AddFont(font, language, 0);
  }
}

TBrushList MakeBrushes() {
  TBrushList brushes;
  brushes.AddBrush(kSysWindow, kStateNormal);
  brushes.AddBrush(kSysHighlight, kStateSelected);
  return brushes;
}

}  // namespace

const TFontList& GeneralFontList() {
  static const TFontList list = [] {
    TFontList l;
    AddLanguageFonts(l);
    l.AddColor(kSysWindowText, 0, kStateNormal);
    l.AddColor(kSysHighlightText, 0, kStateSelected);
    l.AddColor(RGBColor(255, 0, 0), 1, kStateNormal);
    l.AddColor(RGBColor(0, 255, 0), 1, kStateSelected);
    l.AddColor(RGBColor(0, 128, 0), 2, kStateNormal);
    l.AddColor(RGBColor(255, 255, 0), 2, kStateSelected);
    return l;
  }();
  return list;
}

const TBrushList& GeneralBrushList() {
  static const TBrushList list = MakeBrushes();
  return list;
}

const TFontList& GamesFontList() {
  static const TFontList list = [] {
    TFontList l;
    AddLanguageFonts(l);
    for (std::uint16_t style = 0; style <= 3; ++style) {
      l.AddColor(kSysWindowText, style, kStateNormal);
      l.AddColor(kSysHighlightText, style, kStateSelected);
    }
    return l;
  }();
  return list;
}

const TBrushList& GamesBrushList() {
  static const TBrushList list = MakeBrushes();
  return list;
}

int LangListLineHeight(int wrappedTextHeight) {
  return std::clamp(wrappedTextHeight + 8, 0, 255);
}

}  // namespace kessaro
