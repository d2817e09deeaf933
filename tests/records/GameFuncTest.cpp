#include "records/GameFunc.h"

#include <gtest/gtest.h>

#include <string>

namespace kessaro {
namespace {

class GameRecord : public ::testing::Test {
 protected:
  void SetUp() override { InitGame(game); }
  void Set(PStringSet& field, TLanguage language, const std::string& text) {
    field->SetText(language, text);
  }
  TGame game;
};

TEST(RankTexts, GameRankCodes) {
  struct Case {
    std::uint8_t code;
    const char *text, *shortText;
  };
  const Case cases[] = {
      {0, "Unknown", "UR"},
      {7, "3 dan", "3d"},
      {0x81, "9 pro dan", "9p"},
      {0x47, "3* dan", "3d*"},
      {14, "5 kyu", "5k"},
      {10, "1 kyu", "1k"},
      {9, "1 dan", "1d"},
      {0x8A, "1 pro kyu", "1pk"},
      {0x4E, "5* kyu", "5k*"},
      {63, "NR", "NR"},
      {0xFF, "NR", "NR"},
      {0x40, "Unknown* dan", "URd*"},
      {0x80, "Unknown pro dan", "URp"},
      {62, "53 kyu", "53k"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GameRankText(c.code), c.text) << int(c.code);
    EXPECT_EQ(GameRankShort(c.code), c.shortText) << int(c.code);
  }
}

TEST(RankTexts, BaseRankCodes) {
  struct Case {
    std::uint8_t code;
    const char* text;
  };
  const Case cases[] = {
      {0, "Unknown"},
      {1, "NR"},
      {0x81, "NR"},
      {2, "117 kyu"},
      {118, "1 kyu"},
      {0x80 | 118, "1 pro kyu"},
      {119, "1 dan"},
      {127, "9 dan"},
      {0x80 | 127, "9 pro dan"},
      {0x80, "Unknown pro kyu"},
  };
  for (const Case& c : cases) EXPECT_EQ(BaseRankText(c.code), c.text) << int(c.code);
}

TEST(RankTexts, CompareGameRanksByStrength) {
  // Sort order, first to last: professionals, unknown, amateurs from 9 dan down, not rated;
  // an uncertain rank just before the certain one.
  const std::uint8_t order[] = {0x81, 0x89, 0x80 | 0x4A, 0, 0x41, 1, 9, 0x4A, 10, 30, 63};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    EXPECT_EQ(CompareGameRanks(order[i], order[i + 1]), -1) << i;
    EXPECT_EQ(CompareGameRanks(order[i + 1], order[i]), 1) << i;
    EXPECT_EQ(CompareGameRanks(order[i], order[i]), 0) << i;
  }
}

TEST_F(GameRecord, FreshRecord) {
  EXPECT_EQ(game.Info.Sources.size(), 1u);
  EXPECT_EQ(ElementText(game, GI_SourcePage), (TLangText{1033, "0"}));
  EXPECT_EQ(ElementText(game, GI_SourceDia).Text, "0");
  EXPECT_EQ(ElementText(game, GI_Charset).Text, "ANSI_CHARSET");
  EXPECT_EQ(ElementText(game, GI_Komi).Text, "0.0");
  EXPECT_EQ(ElementText(game, GI_Date).Text, "");
  EXPECT_EQ(ElementText(game, GI_Black).Text, "UR");
  EXPECT_EQ(ElementText(game, GI_Players).Text, "UR - UR");
  EXPECT_EQ(MainLanguage(game), 0);
  for (int e = 0; e < kGameInfoElementCount; ++e) {
    const auto element = static_cast<TGameInfoElement>(e);
    if (ElementKind(element) == ekText) {
      EXPECT_NE(ElementSet(game, element), nullptr) << e;
    }
  }
}

TEST_F(GameRecord, ValueTexts) {
  struct Komi {
    int value;
    const char* text;
  };
  for (const Komi k : {Komi{650, "6.5"}, Komi{500, "5.0"}, Komi{75, "0.75"}, Komi{-50, "-0.5"},
                       Komi{-5, "-0.05"}, Komi{0, "0.0"}, Komi{12345, "123.45"}}) {
    game.Komi = static_cast<std::int16_t>(k.value);
    EXPECT_EQ(ElementText(game, GI_Komi), (TLangText{1033, k.text}));
    EXPECT_EQ(ElementTextIn(game, GI_Komi, 1041), k.text);
  }
  game.Charset = 128;
  EXPECT_EQ(ElementText(game, GI_Charset).Text, "SHIFTJIS_CHARSET");
  game.Charset = 99;
  EXPECT_EQ(ElementText(game, GI_Charset).Text, "ANSI_CHARSET");
  game.Handicap = -2;
  game.BoardSize = 19;
  game.NumberOfMoves = 211;
  game.NumberOfFixedMoves = 3;
  EXPECT_EQ(ElementText(game, GI_Handicap).Text, "-2");
  EXPECT_EQ(ElementText(game, GI_BoardSize).Text, "19");
  EXPECT_EQ(ElementText(game, GI_NumberOfMoves).Text, "211");
  EXPECT_EQ(ElementText(game, GI_NumberOfFixedMoves).Text, "3");
  game.BlackGameRank = 7;
  game.WhiteBaseRank = 127;
  EXPECT_EQ(ElementText(game, GI_BlackGameRank).Text, "3 dan");
  EXPECT_EQ(ElementText(game, GI_WhiteBaseRank).Text, "9 dan");
  EXPECT_EQ(ElementText(game, GI_BlackGameType), (TLangText{1033, ""}));
  EXPECT_EQ(ElementText(game, GI_GameResult), TLangText{});
  game.Info.Sources.clear();
  EXPECT_EQ(ElementText(game, GI_SourcePage).Text, "");
  EXPECT_EQ(ElementText(game, GI_Source).Text, "");
  EXPECT_EQ(ElementText(game, GI_Sources).Text, "");
}

TEST_F(GameRecord, PlayerTexts) {
  game.BlackGameRank = 7;
  EXPECT_EQ(ElementText(game, GI_Black).Text, "3d");
  Set(game.Info.BlackPlayer, 1033, "Name");
  game.BlackGameRank = 0;
  EXPECT_EQ(ElementText(game, GI_Black), (TLangText{1033, "Name, UR"}));

  Set(game.Info.BlackPlayer, 1033, "A");
  Set(game.Info.WhitePlayer, 1033, "B");
  game.BlackGameRank = 0x81;
  game.WhiteGameRank = 10;
  EXPECT_EQ(ElementText(game, GI_Players), (TLangText{1033, "A, 9p - B, 1k"}));
  EXPECT_EQ(ElementTextIn(game, GI_Players, 1041), "9p - 1k");

  // Both names in the better of the two best languages.
  Set(game.Info.BlackPlayer, 1041, "黒");
  Set(game.Info.WhitePlayer, 1033, "");
  Set(game.Info.WhitePlayer, 1041, "白");
  Set(game.Info.WhitePlayer, 1049, "W");
  EXPECT_EQ(ElementText(game, GI_Players), (TLangText{1033, "A, 9p - 1k"}));
  Set(game.Info.BlackPlayer, 1033, "");
  EXPECT_EQ(ElementText(game, GI_Players), (TLangText{1041, "黒, 9p - 白, 1k"}));
  EXPECT_EQ(ElementTextIn(game, GI_White, 1049), "W, 1k");
}

TEST_F(GameRecord, CombiRankTexts) {
  game.BlackBaseRank = 127;
  EXPECT_EQ(ElementText(game, GI_BlackCombyRank).Text, "(9 dan)");
  Set(game.Info.BlackRank, 1041, "九段");
  EXPECT_EQ(ElementText(game, GI_BlackCombyRank), (TLangText{1041, "九段 (9 dan)"}));
  EXPECT_EQ(ElementTextIn(game, GI_BlackCombyRank, 1033), "(9 dan)");
  EXPECT_EQ(ElementTextIn(game, GI_WhiteCombyRank, 1033), "(Unknown)");
}

TEST_F(GameRecord, SourceTexts) {
  TSource& first = game.Info.Sources[0];
  first.Name->SetText(1033, "Book");
  first.Page = 12;
  first.Dia = 3;
  EXPECT_EQ(ElementText(game, GI_Source), (TLangText{1033, "Book, p.12-3"}));
  EXPECT_EQ(ElementTextIn(game, GI_Source, 1033), "Book, p. 12-3");
  EXPECT_EQ(ElementText(game, GI_SourceName), (TLangText{1033, "Book"}));
  EXPECT_EQ(ElementText(game, GI_SourcePage).Text, "12");
  EXPECT_EQ(ElementText(game, GI_SourceDia).Text, "3");
  first.Page = 0;
  EXPECT_EQ(ElementText(game, GI_Source).Text, "Book");

  // The reference list: the first source, then the others in its language or in English.
  first.Page = 12;
  TSource second{std::make_unique<TStringSet>(), 7, 1};
  second.Name->SetText(1033, "Journal");
  TSource third{std::make_unique<TStringSet>(), 0, 0};
  third.Name->SetText(1041, "雑誌");
  TSource unnamed{std::make_unique<TStringSet>(), 4, 4};
  game.Info.Sources.push_back(std::move(second));
  game.Info.Sources.push_back(std::move(unnamed));
  game.Info.Sources.push_back(std::move(third));
  TSource& head = game.Info.Sources[0];
  EXPECT_EQ(ElementText(game, GI_Sources).Text, "Book, p.12-3; \r\nJournal, p.7-1");
  EXPECT_EQ(ElementTextIn(game, GI_Sources, 1041), "Journal, p.7-1; \r\n雑誌");
  head.Name->SetText(1041, "本");
  EXPECT_EQ(ElementTextIn(game, GI_Sources, 1041), "本, p. 12-3; \r\nJournal, p.7-1; \r\n雑誌");
  // Without a name the first source's page is not shown in the list, but is in GI_Source.
  head.Name->Clear();
  EXPECT_EQ(ElementTextIn(game, GI_Source, 1033), ", p. 12-3");
  EXPECT_EQ(ElementTextIn(game, GI_Sources, 1033), "Journal, p.7-1");
}

TEST_F(GameRecord, DateTexts) {
  Set(game.Info.DateString, 1033, "1995");
  for (double noDate : {0.0, 1.5, 2.0}) {
    game.Date = noDate;
    EXPECT_EQ(ElementText(game, GI_Date), (TLangText{1033, "1995"}));
    EXPECT_EQ(ElementText(game, GI_DateNumeric).Text, "");
  }
  game.Date = 34700;  // 1995-01-01
  EXPECT_EQ(ElementText(game, GI_Date), (TLangText{1033, "1995-01-01"}));
  EXPECT_EQ(ElementTextIn(game, GI_Date, 1041), "1995-01-01");
  EXPECT_EQ(ElementText(game, GI_DateNumeric).Text, "1995-01-01");
  EXPECT_EQ(ElementText(game, GI_DateString).Text, "1995");
}

TEST_F(GameRecord, MainLanguagePrefersTheBestNonEnglishLanguage) {
  Set(game.Info.Event, 1033, "Cup");
  EXPECT_EQ(MainLanguage(game), 0);
  Set(game.Info.Place, 1049, "Москва");
  EXPECT_EQ(MainLanguage(game), 1049);
  Set(game.Info.BlackPlayer, 1041, "名");
  EXPECT_EQ(MainLanguage(game), 1041);
  game.Info.Sources[0].Name->SetText(1042, "책");  // the first source's name counts too
  EXPECT_EQ(MainLanguage(game), 1041);

  TGame plain;
  InitGame(plain);
  Set(plain.Info.Event, 0, "x");
  Set(plain.Info.Rules, 1031, "Regeln");  // unordered languages do not count
  EXPECT_EQ(MainLanguage(plain), 0);
}

TEST_F(GameRecord, CopyIsDeepAndCopiesMovesOnlyWhenFilled) {
  Set(game.Info.BlackPlayer, 1033, "A");
  game.Info.Sources[0].Name->SetText(1033, "S");
  game.Info.Sources[0].Page = 5;
  game.Info.Sources.push_back({std::make_unique<TStringSet>(), 9, 2});
  game.RawInfo = {1, 2, 3};
  game.Komi = 650;
  game.NumberOfMoves = 2;
  game.Flags = kGameHasMoves;
  game.Moves.resize(3);
  game.Moves[1] = {0x0304, 5, 100, std::make_unique<TStringSet>(), 77};
  game.Moves[1].Comment->SetText(1033, "good");
  game.Moves[2] = {kPassPoint, 0, kNoMoveTime, nullptr, 1};

  TGame copy;
  InitGame(copy);
  copy.RawInfo = {9};
  CopyGame(game, copy);
  EXPECT_EQ(copy.Komi, 650);
  EXPECT_TRUE(copy.RawInfo.empty());
  EXPECT_EQ(copy.Info.BlackPlayer->GetText(1033), "A");
  EXPECT_NE(copy.Info.BlackPlayer.get(), game.Info.BlackPlayer.get());
  ASSERT_EQ(copy.Info.Sources.size(), 2u);
  EXPECT_EQ(copy.Info.Sources[0].Name->GetText(1033), "S");
  EXPECT_EQ(copy.Info.Sources[0].Page, 5);
  EXPECT_EQ(copy.Info.Sources[1].Page, 9);
  EXPECT_EQ(copy.Info.Sources[1].Dia, 2);
  ASSERT_EQ(copy.Moves.size(), 3u);
  EXPECT_EQ(copy.Moves[1].Point, 0x0304);
  EXPECT_EQ(copy.Moves[1].Marks, 5);
  EXPECT_EQ(copy.Moves[1].Time, 100);
  EXPECT_EQ(copy.Moves[1].Reserved, 0u);
  EXPECT_EQ(copy.Moves[1].Comment->GetText(1033), "good");
  EXPECT_NE(copy.Moves[1].Comment.get(), game.Moves[1].Comment.get());
  EXPECT_EQ(copy.Moves[2].Comment, nullptr);
  EXPECT_EQ(copy.Moves[2].Reserved, 0u);

  // A record claiming more moves than it holds copies what there is.
  game.NumberOfMoves = 5;
  CopyGame(game, copy);
  ASSERT_EQ(copy.Moves.size(), 6u);
  EXPECT_EQ(copy.Moves[5].Point, kPassPoint);

  game.Flags = 0;
  CopyGame(game, copy);
  EXPECT_TRUE(copy.Moves.empty());

  CopyGame(copy, copy);  // copying onto itself changes nothing
  EXPECT_EQ(copy.Info.BlackPlayer->GetText(1033), "A");

  FreeGame(copy);
  EXPECT_EQ(copy.Info.BlackPlayer, nullptr);
  EXPECT_TRUE(copy.Info.Sources.empty());
  EXPECT_EQ(ElementText(copy, GI_BlackPlayer), TLangText{});
  EXPECT_EQ(ElementText(copy, GI_Players).Text, "UR - UR");
}

TEST_F(GameRecord, TransformMovesOnTheBoard) {
  game.NumberOfMoves = 4;
  game.Moves.resize(5);
  game.Moves[1].Point = 0x0102;  // column 2, row 1
  game.Moves[2].Point = kPassPoint;
  game.Moves[3].Point = 0x0014;  // column 20, row 0: off a 19-line board
  game.Moves[4].Point = 0x1200;  // column 0, row 18
  struct Case {
    int flags;
    std::uint16_t p1, p3, p4;
  };
  const Case cases[] = {
      {1, 0x0201, 0x0014, 0x0012},  // swap only when both fit
      {2, 0x0110, 0x0014, 0x1212},  // mirror the column
      {4, 0x1102, 0x1214, 0x0000},  // mirror the row
      {7, 0x1011, 0x1214, 0x1200},  // swap, then mirror both
  };
  for (const Case& c : cases) {
    TGame g;
    CopyGame(game, g);
    g.Moves.resize(5);
    for (int i = 1; i <= 4; ++i) g.Moves[i].Point = game.Moves[i].Point;
    TransformMoves(g, c.flags, 19);
    EXPECT_EQ(g.Moves[1].Point, c.p1) << c.flags;
    EXPECT_EQ(g.Moves[2].Point, kPassPoint) << c.flags;
    EXPECT_EQ(g.Moves[3].Point, c.p3) << c.flags;
    EXPECT_EQ(g.Moves[4].Point, c.p4) << c.flags;
  }
  game.NumberOfMoves = 50;  // a count beyond the stored moves is bounded by them
  TransformMoves(game, 2, 19);
  EXPECT_EQ(game.Moves[1].Point, 0x0110);
}

TEST(ElementNames, DefaultAndLiveTables) {
  EXPECT_EQ(ElementName(GI_Analysis), "Analyser");
  EXPECT_EQ(ElementName(GI_Sources), "Reference");
  EXPECT_EQ(ElementName(GI_WhiteGameType), "White rank group");
  EXPECT_EQ(ElementName(GI_Rank), "");
  EXPECT_EQ(ElementName(static_cast<TGameInfoElement>(99)), "");
  for (int e = 0; e < kGameInfoElementCount; ++e) EXPECT_EQ(DefaultElementNames()[e].Element, e);
  ElementNames()[GI_Komi].Name = "Komi (translated)";
  EXPECT_EQ(ElementName(GI_Komi), "Komi (translated)");
  EXPECT_EQ(DefaultElementNames()[GI_Komi].Name, "Komi");
  ElementNames() = DefaultElementNames();

  EXPECT_EQ(FullElementOrder().size(), 23u);
  EXPECT_EQ(FullElementOrder().front(), GI_GameName);
  EXPECT_EQ(FullElementOrder().back(), GI_CopyRight);
  EXPECT_EQ(ShortElementOrder(),
            (TGameInfoElementOrder{GI_BlackPlayer, GI_BlackRank, GI_WhitePlayer, GI_WhiteRank,
                                   GI_Result, GI_Date, GI_Handicap, GI_NumberOfMoves}));
}

TEST(Charsets, IdentifiersBothWays) {
  EXPECT_EQ(CharsetIdentifier(0), "ANSI_CHARSET");
  EXPECT_EQ(CharsetIdentifier(204), "RUSSIAN_CHARSET");
  EXPECT_EQ(CharsetIdentifier(134), "GB2312_CHARSET");
  EXPECT_EQ(CharsetIdentifier(-1), "ANSI_CHARSET");
  EXPECT_EQ(CharsetFromIdentifier("SHIFTJIS_CHARSET"), 128);
  EXPECT_EQ(CharsetFromIdentifier("HANGUL_CHARSET"), 129);
  EXPECT_EQ(CharsetFromIdentifier("shiftjis_charset"), std::nullopt);
  for (int c = 0; c < 256; ++c) {
    const std::string id = CharsetIdentifier(c);
    EXPECT_FALSE(id.empty());
    if (id != "ANSI_CHARSET") {
      EXPECT_EQ(CharsetFromIdentifier(id), c);
    }
  }
}

}  // namespace
}  // namespace kessaro
