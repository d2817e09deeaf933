#include "strings/StringSet.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/CodePage.h"

namespace kessaro {
namespace {

TStringSet Set(std::initializer_list<TLangText> entries) {
  TStringSet s;
  for (const TLangText& e : entries) s.SetText(e.Language, e.Text);
  return s;
}

std::vector<TLangText> EntriesOf(const TStringSet& s) {
  std::vector<TLangText> out;
  for (int i = 0; i < s.Count(); ++i) out.push_back(s.GetEntry(i));
  return out;
}

TEST(StringSet, StoredLayoutIsLengthLanguageBytes) {
  const TStringSet s = Set({{1033, "ab"}, {1041, "c"}});
  const std::vector<std::uint8_t> expected = {2, 0, 0x09, 0x04, 'a', 'b', 1, 0, 0x11, 0x04, 'c'};
  EXPECT_EQ(s.Buffer(), expected);
  EXPECT_EQ(s.Size(), expected.size());
}

TEST(StringSet, SetTextKeepsPositionsAndAppendsNewLanguages) {
  TStringSet s = Set({{1041, "ja"}, {1033, "en"}, {1049, "ru"}});
  s.SetText(1033, "english");  // replaced in place
  s.SetText(1042, "ko");       // new language goes last
  EXPECT_EQ(EntriesOf(s),
            (std::vector<TLangText>{{1041, "ja"}, {1033, "english"}, {1049, "ru"}, {1042, "ko"}}));
  EXPECT_EQ(s.GetLanguages(), (TIDs{1041, 1033, 1049, 1042}));
  EXPECT_EQ(s.GetEntry(4), TLangText{});
  EXPECT_EQ(s.GetEntry(-1), TLangText{});
}

TEST(StringSet, EmptyTextRemovesTheEntryOnlyWhenPresent) {
  TStringSet withJapanese = Set({{1033, "en"}, {1041, "ja"}, {0, "x"}});
  withJapanese.SetText(1041, "");
  EXPECT_EQ(EntriesOf(withJapanese), (std::vector<TLangText>{{1033, "en"}, {0, "x"}}));

  TStringSet without = Set({{1033, "en"}});
  const auto before = without.Buffer();
  without.SetText(1041, "");
  EXPECT_EQ(without.Buffer(), before);
  EXPECT_EQ(without.GetText(1041), "");
}

TEST(StringSet, RefusesTextsLongerThanTheLengthField) {
  TStringSet s = Set({{1033, "keep"}});
  EXPECT_FALSE(s.SetText(1033, std::string(65536, 'x')));
  EXPECT_EQ(s.GetText(1033), "keep");
  EXPECT_TRUE(s.SetText(1041, std::string(65535, 'y')));
  EXPECT_EQ(s.GetText(1041).size(), 65535u);
}

TEST(StringSet, ForeignBufferIsReadSafelyAndRepairedOnChange) {
  // One good entry, then a header that claims 200 bytes that are not there.
  const std::uint8_t bytes[] = {1, 0, 0x09, 0x04, 'a', 200, 0, 0x11, 0x04, 'b'};
  TStringSet s;
  s.SetBuffer(bytes, sizeof bytes);
  EXPECT_EQ(s.Count(), 1);
  EXPECT_EQ(s.GetText(1033), "a");
  EXPECT_EQ(s.GetText(1041), "");
  s.SetText(1049, "r");
  EXPECT_EQ(EntriesOf(s), (std::vector<TLangText>{{1033, "a"}, {1049, "r"}}));

  // A duplicated language: the first counts, and setting it leaves a single entry.
  const std::uint8_t dup[] = {1, 0, 0x09, 0x04, 'a', 1, 0, 0x09, 0x04, 'b'};
  s.SetBuffer(dup, sizeof dup);
  EXPECT_EQ(s.GetText(1033), "a");
  s.SetText(1033, "c");
  EXPECT_EQ(EntriesOf(s), (std::vector<TLangText>{{1033, "c"}}));

  for (std::size_t n = 0; n < sizeof bytes; ++n) {  // every cut is harmless
    s.SetBuffer(bytes, n);
    EXPECT_LE(s.Count(), 1);
    EXPECT_EQ(s.BestText().Text, n >= 5 ? "a" : "");
  }
}

TEST(StringSet, BestAndPreferredTextFollowTheLanguageOrder) {
  struct Case {
    TStringSet set;
    TLangText best, preferred;
  };
  const Case cases[] = {
      {Set({{0, "none"}, {1049, "ru"}}), {1049, "ru"}, {1049, "ru"}},
      {Set({{0, "none"}}), {0, "none"}, {0, "none"}},
      {Set({}), {0, ""}, {kLanguageMinus1, ""}},
      {Set({{1028, "zh"}, {1042, "ko"}, {1041, "ja"}}), {1041, "ja"}, {1041, "ja"}},
      {Set({{1031, "de"}}), {0, ""}, {kLanguageMinus1, ""}},  // German is not ordered
      {Set({{1031, "de"}, {1042, "ko"}}), {1042, "ko"}, {1042, "ko"}},
      {Set({{1049, "ru"}, {1033, "en"}}), {1033, "en"}, {1033, "en"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.set.BestText(), c.best);
    EXPECT_EQ(c.set.BestLanguage(), c.best.Language);
    EXPECT_EQ(c.set.PreferredText(), c.preferred);
  }
}

TEST(StringSet, ContainmentAndRemovalOfEqualTexts) {
  const TStringSet small = Set({{1033, "a"}});
  const TStringSet big = Set({{1041, "j"}, {1033, "a"}});
  const TStringSet other = Set({{1033, "b"}});
  const TStringSet empty;
  EXPECT_TRUE(IsContainedIn(&small, &big));
  EXPECT_FALSE(IsContainedIn(&big, &small));
  EXPECT_FALSE(IsContainedIn(&small, &other));
  EXPECT_TRUE(IsContainedIn(&empty, &small));
  EXPECT_TRUE(IsContainedIn(nullptr, &small));
  EXPECT_TRUE(IsContainedIn(nullptr, nullptr));
  EXPECT_FALSE(IsContainedIn(&small, nullptr));
  EXPECT_FALSE(IsContainedIn(&empty, nullptr));

  TStringSet s = Set({{1033, "a"}, {1041, "x"}, {1049, "r"}, {1042, "k"}});
  s.RemoveEqualTexts(Set({{1033, "a"}, {1041, "y"}, {1049, "r"}}));
  EXPECT_EQ(EntriesOf(s), (std::vector<TLangText>{{1041, "x"}, {1042, "k"}}));

  TStringSet copy;
  copy.Assign(&s);
  EXPECT_EQ(copy, s);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
}

TEST(Languages, TableOrderAndIndex) {
  const auto& table = LanguageTable();
  const TLanguage ids[] = {0, 1033, 1041, 1042, 1028, 1049, 0};
  const int charsets[] = {1, 0, 128, 129, 134, 204, 1};
  for (int i = 0; i < kLanguageTableSize; ++i) {
    EXPECT_EQ(table[i].LangID, ids[i]);
    EXPECT_EQ(table[i].Charset, charsets[i]);
  }
  const TLanguageOrder& order = LanguageOrder();
  ASSERT_EQ(order.Count(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(order.Get(i), ids[i + 1]);
    EXPECT_EQ(order.IndexOf(ids[i + 1]), i);
    EXPECT_EQ(LangIndex(ids[i + 1]), i);
  }
  EXPECT_EQ(LangIndex(1031), -1);
  EXPECT_EQ(order.IndexOf(1031), -1);
  EXPECT_EQ(order.Better(1041, 1033), 1033);
  EXPECT_EQ(order.Better(1033, 1041), 1033);
  EXPECT_EQ(order.Better(1031, 1049), 1049);
  EXPECT_EQ(order.Better(0, 1031), 0);
  EXPECT_EQ(order.Better(1031, 1032), 1032);  // neither ordered: b

  TLanguageOrder grown;
  grown.SetAt(2, 1049);
  EXPECT_EQ(grown.Count(), 3);
  EXPECT_EQ(grown.Get(2), 1049);
  EXPECT_EQ(grown.Get(5), kLanguageMinus1);
}

TEST(Languages, AvailabilityComesFromIcu) {
  // Every language of the table is both known and installed with the ICU data of the build.
  for (const TLangInfo& info : LanguageTable())
    EXPECT_EQ(info.Available, kLocaleInstalled | kLocaleSupported) << info.Name;
  // An identifier ICU does not know is neither.
  EXPECT_EQ(LocaleAvailability(0x1234), 0u);
  // Known to ICU's identifier table: agrees with ICU's own mapping.
  char buf[64] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLocaleForLCID(1031, buf, sizeof buf, &status);
  EXPECT_EQ((LocaleAvailability(1031) & kLocaleSupported) != 0, U_SUCCESS(status));
}

// Sorts UTF-8 words stored in the language's code page with CompareInLanguage.
std::vector<std::string> Sorted(TLanguage language, std::vector<std::string> utf8, bool byBytes) {
  std::vector<std::string> stored;
  for (const std::string& w : utf8) stored.push_back(FromUtf8(language, w));
  std::sort(stored.begin(), stored.end(), [&](const std::string& a, const std::string& b) {
    return byBytes ? a < b : CompareInLanguage(language, a, b, false) < 0;
  });
  std::vector<std::string> out;
  for (const std::string& s : stored) out.push_back(ToUtf8(language, s));
  return out;
}

TEST(CompareInLanguage, OrdersEachLanguageByItsCollationNotItsBytes) {
  struct Case {
    TLanguage language;
    std::vector<std::string> ordered;  // the language's own order
  };
  const Case cases[] = {
      // Japanese: katakana and hiragana interleave by sound; Shift_JIS puts all hiragana first.
      {1041, {"アイ", "あう", "カ"}},
      // Korean: Hangul order; CP949 puts syllables outside KS X 1001 (똠) before 가.
      {1042, {"가", "똠", "하"}},
      // Chinese of language 1028 sorts by strokes; GBK byte order follows the pinyin.
      {1028, {"一", "人", "大"}},
      // Russian: letters regardless of case, ё beside е; Windows-1251 has Ё and ё apart.
      {1049, {"арбуз", "дом", "ёж", "Яблоко"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sorted(c.language, c.ordered, false), c.ordered) << c.language;
    EXPECT_NE(Sorted(c.language, c.ordered, true), c.ordered) << c.language;
  }
}

TEST(CompareInLanguage, IgnoreCaseAndFallbacks) {
  const std::string upper = FromUtf8(1049, "ПРИВЕТ"), lower = FromUtf8(1049, "привет");
  EXPECT_EQ(CompareInLanguage(1049, upper, lower, true), 0);
  EXPECT_NE(CompareInLanguage(1049, upper, lower, false), 0);
  EXPECT_EQ(CompareInLanguage(1033, "Apple", "apple", true), 0);
  EXPECT_EQ(CompareInLanguage(1033, "apple", "Banana", false), -1);
  EXPECT_EQ(CompareInLanguage(1033, "b", "a", false), 1);
  // Unknown identifiers and "no language" still collate (default locale), not by bytes.
  EXPECT_EQ(CompareInLanguage(0x1234, "apple", "Banana", false), -1);
  EXPECT_EQ(CompareInLanguage(0, "apple", "Banana", false), -1);
  EXPECT_EQ(CompareInLanguage(0, "same", "same", false), 0);
}

TEST(IsPlainAscii, HighBytes) {
  EXPECT_TRUE(IsPlainAscii(""));
  EXPECT_TRUE(IsPlainAscii("Go \x7f"));
  EXPECT_FALSE(IsPlainAscii("caf\xe9"));
}

}  // namespace
}  // namespace kessaro
