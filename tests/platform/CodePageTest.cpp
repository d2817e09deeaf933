#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace kessaro {
namespace {

TEST(CodePage, KnownEncodingsOfEachLanguage) {
  struct Case {
    std::uint16_t language;
    std::string utf8, stored;
  };
  const Case cases[] = {
      {1041, "日本", "\x93\xfa\x96\x7b"},  // Shift_JIS
      {1041, "①", "\x87\x40"},             // a CP932 extension
      {1042, "한국", "\xc7\xd1\xb1\xb9"},  // CP949
      {1042, "똠", "\x8c\x63"},            // a UHC syllable beyond KS X 1001
      {1028, "中文", "\xd6\xd0\xce\xc4"},  // GBK
      {1049, "Ёж", "\xa8\xe6"},            // Windows-1251
      {1033, "plain", "plain"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FromUtf8(c.language, c.utf8), c.stored) << c.utf8;
    EXPECT_EQ(ToUtf8(c.language, c.stored), c.utf8) << c.utf8;
  }
}

TEST(CodePage, EnglishAndNoLanguageReadUtf8ElseWindows1252) {
  for (std::uint16_t language : {0, 1033, 1031}) {
    EXPECT_EQ(ToUtf8(language, "caf\xc3\xa9"), "café");     // valid UTF-8 stays
    EXPECT_EQ(ToUtf8(language, "caf\xe9 \x80"), "café €");  // else Windows-1252
    EXPECT_EQ(FromUtf8(language, "café €"), "café €");      // stored as UTF-8
    EXPECT_EQ(ToUtf8(language, FromUtf8(language, "Ōsaka")), "Ōsaka");
  }
}

TEST(CodePage, UnmappableAndMalformedInput) {
  EXPECT_EQ(FromUtf8(1049, "a日b"), "a?b");           // no such character in Windows-1251
  EXPECT_EQ(ToUtf8(1041, "a\x82"), "a\xef\xbf\xbd");  // cut double-byte character
  EXPECT_EQ(FromUtf8(1033,
                     "a\xff"
                     "b"),
            "a\xef\xbf\xbd"
            "b");
  EXPECT_EQ(ToUtf8(1042, ""), "");
  EXPECT_EQ(ToUtf16(1049, "\xa8"), u"Ё");
}

TEST(CodePage, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"));
  for (const char* bad : {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc3",
                          "\xe2\x82", "\x80", "\xff"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

}  // namespace
}  // namespace kessaro
