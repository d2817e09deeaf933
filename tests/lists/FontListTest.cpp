#include "lists/FontList.h"

#include <gtest/gtest.h>

namespace kessaro {
namespace {

TFontDesc Font(const char* name) {
  TFontDesc f;
  f.Name = name;
  return f;
}

TEST(FontListTest, FontFallsBackFromStyleToLanguageToFirst) {
  TFontList list;
  EXPECT_EQ(list.GetFont(kEnglish, 0), nullptr);
  list.AddFont(Font("en0"), kEnglish, 0);
  list.AddFont(Font("ko0"), kKorean, 0);
  list.AddFont(Font("ko1"), kKorean, 1);
  struct Case {
    TLanguage language;
    std::uint16_t style;
    const char* expected;
  } cases[] = {
      {kKorean, 1, "ko1"}, {kKorean, 0, "ko0"},  {kKorean, 2, "ko0"},
      {9999, 0, "en0"},    {kEnglish, 5, "en0"},
  };
  for (const Case& c : cases) {
    ASSERT_NE(list.GetFont(c.language, c.style), nullptr);
    EXPECT_EQ(list.GetFont(c.language, c.style)->Name, c.expected) << c.language << "/" << c.style;
  }
}

TEST(FontListTest, GeneralSetCarriesEachLanguagesCharsetAndStyleColours) {
  const TFontList& list = GeneralFontList();
  EXPECT_EQ(list.GetFont(kJapanese, 0)->Charset, 128);
  EXPECT_EQ(list.GetFont(kKorean, 0)->Charset, 129);
  EXPECT_EQ(list.GetFont(kChinese, 0)->Charset, 134);
  EXPECT_EQ(list.GetFont(kRussian, 0)->Charset, 204);
  EXPECT_EQ(list.GetFont(kEnglish, 0)->Charset, 0);
  EXPECT_EQ(list.GetFont(kNoLanguage, 0)->Charset, 1);
  EXPECT_EQ(list.GetColor(kStateNormal, 1), RGBColor(255, 0, 0));
  EXPECT_EQ(list.GetColor(kStateSelected, 2), RGBColor(255, 255, 0));
  EXPECT_EQ(list.GetColor(kStateNormal, 7), 0u);
  EXPECT_EQ(GamesFontList().GetColor(kStateSelected, 3), kSysHighlightText);
}

TEST(FontListTest, BrushForAMissingStateStartsFromTheNormalOne) {
  TBrushList brushes;
  brushes.SetStateColor(5, 1);  // no normal brush: nothing to copy
  EXPECT_EQ(brushes.IndexOf(5), -1);
  brushes.AddBrush(kSysWindow, kStateNormal);
  brushes.SetStateColor(5, RGBColor(1, 2, 3));
  ASSERT_EQ(brushes.IndexOf(5), 1);
  EXPECT_EQ(brushes.Get(1), RGBColor(1, 2, 3));
  EXPECT_EQ(brushes.Get(0), kSysWindow);
  EXPECT_EQ(brushes.Get(2), std::nullopt);
  EXPECT_EQ(brushes.Get(-1), std::nullopt);
}

TEST(FontListTest, LineHeightAddsTheInsetsAndStopsAt255) {
  EXPECT_EQ(LangListLineHeight(13), 21);
  EXPECT_EQ(LangListLineHeight(247), 255);
  EXPECT_EQ(LangListLineHeight(30 * 13), 255);  // a text wrapped to 30 lines
  EXPECT_EQ(LangListTextWidth(200), 192);
}

}  // namespace
}  // namespace kessaro
