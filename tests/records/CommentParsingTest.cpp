#include "records/CommentParsing.h"

#include <gtest/gtest.h>

#include <string>

namespace kessaro {
namespace {

TSComment Entry(std::initializer_list<TLangText> texts, int source = 0, int page = 0) {
  TSComment c;
  c.Texts = std::make_unique<TStringSet>();
  for (const TLangText& t : texts) c.Texts->SetText(t.Language, t.Text);
  c.Source = source;
  c.Page = page;
  return c;
}

TSComments Parse(std::initializer_list<TLangText> chains) {
  TStringSet set;
  for (const TLangText& t : chains) set.SetText(t.Language, t.Text);
  TSComments list;
  ParseComments(&set, list);
  return list;
}

TEST(CommentParsing, ParsesTheExampleChain) {
  const TSComments list = Parse({{1033, "|#1S2P14@first|v|#2@second|"}});
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Texts->GetText(1033), "first");
  EXPECT_EQ(list[0].Source, 2);
  EXPECT_EQ(list[0].Page, 14);
  EXPECT_EQ(list[1].Texts->GetText(1033), "second");
  EXPECT_EQ(list[1].Source, 0);
  EXPECT_EQ(list[1].Page, 0);
}

TEST(CommentParsing, BuildsTheExampleChain) {
  TSComments list;
  list.push_back(Entry({{1033, "first"}}, 2, 14));
  list.push_back(Entry({{1033, "second"}}));
  list.push_back(Entry({{1033, "third"}}, 3));
  PStringSet set;
  ASSERT_TRUE(BuildComments(list, set));
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->GetText(1033), "|#1S2P14@first|v|#2@second|v|#3S3@third|");
}

TEST(CommentParsing, RoundTrips) {
  TSComments list;
  list.push_back(Entry({{1041, "日本語"}, {1033, "a|b||"}}, 4, 9));
  list.push_back({});                                    // no entry 2
  list.push_back(Entry({{1033, "|v|#2@fake|"}}, 0, 5));  // page without source is not kept
  PStringSet set;
  ASSERT_TRUE(BuildComments(list, set));
  EXPECT_EQ(set->GetText(1033), "|#1S4P9@a||b|||||v|#3@||v||#2@fake|||");
  EXPECT_EQ(set->GetText(1041), "|#1S4P9@日本語|");

  TSComments back;
  ParseComments(set.get(), back);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].Texts->GetText(1033), "a|b||");
  EXPECT_EQ(back[0].Texts->GetText(1041), "日本語");
  EXPECT_EQ(back[0].Source, 4);
  EXPECT_EQ(back[0].Page, 9);
  EXPECT_EQ(back[1].Texts, nullptr);
  EXPECT_EQ(back[2].Texts->GetText(1033), "|v|#2@fake|");
  EXPECT_EQ(back[2].Source, 0);
  EXPECT_EQ(back[2].Page, 0);
}

TEST(CommentParsing, LanguageMinus1IsKeptAndNotParsed) {
  PStringSet set = std::make_unique<TStringSet>();
  set->SetText(kLanguageMinus1, "|#1@private|");
  set->SetText(1033, "|#1@old|v|#2@older|");
  set->SetText(1049, "|#1@старый|");
  TSComments list;
  ParseComments(set.get(), list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Texts->GetLanguages(), (TIDs{1033, 1049}));

  TSComments fresh;
  fresh.push_back(Entry({{1041, "新"}, {kLanguageMinus1, "never chained"}}));
  ASSERT_TRUE(BuildComments(fresh, set));
  EXPECT_EQ(set->GetLanguages(), (TIDs{kLanguageMinus1, 1041}));
  EXPECT_EQ(set->GetText(kLanguageMinus1), "|#1@private|");
  EXPECT_EQ(set->GetText(1041), "|#1@新|");
}

TEST(CommentParsing, ParsingIntoAnExistingList) {
  TSComments list;
  list.push_back(Entry({{1033, "keep"}}, 7, 7));
  const TStringSet set = [] {
    TStringSet s;
    s.SetText(1041, "|#1S1@いち|");
    return s;
  }();
  ParseComments(&set, list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Texts->GetText(1033), "keep");
  EXPECT_EQ(list[0].Texts->GetText(1041), "いち");
  EXPECT_EQ(list[0].Source, 1);
  EXPECT_EQ(list[0].Page, 0);
  FreeComments(list);
  EXPECT_TRUE(list.empty());
}

TEST(CommentParsing, TextsOutsideTheFormat) {
  struct Case {
    const char* text;
    std::size_t entries;
  };
  const Case cases[] = {
      {"plain text", 0},
      {"|plain quoted|", 0},
      {"|#0@number zero|", 0},
      {"|#@no number|", 0},
      {"|#1 no at sign|", 0},
      {"|#1@|", 0},  // empty text
      {"|#1@unterminated", 0},
      {"|#99999999999@too far|", 0},  // beyond the largest entry number
      {"|v|#2@after a stray separator|", 2},
      {"|#1P5@page without source|", 0},
      {"|#1@a|trailing|v|#2@b|", 2},  // text after a closing quote is dropped
      {"#3@unquoted", 3},
  };
  for (const Case& c : cases) {
    const TSComments list = Parse({{1033, c.text}});
    EXPECT_EQ(list.size(), c.entries) << c.text;
  }
  const TSComments far = Parse({{1033, "|#65535S99999999999P3@last|"}});
  ASSERT_EQ(far.size(), 65535u);
  EXPECT_EQ(far.back().Source, INT32_MAX);
  EXPECT_EQ(far.back().Page, 3);
  ParseComments(nullptr, const_cast<TSComments&>(far));  // a null set reads nothing
}

TEST(CommentParsing, ChainsThatDoNotFitAreCutAtAnItem) {
  TSComments list;
  for (int i = 0; i < 3; ++i) list.push_back(Entry({{1033, std::string(30000, 'x')}}));
  PStringSet set;
  EXPECT_FALSE(BuildComments(list, set));
  TSComments back;
  ParseComments(set.get(), back);
  EXPECT_EQ(back.size(), 2u);
}

}  // namespace
}  // namespace kessaro
