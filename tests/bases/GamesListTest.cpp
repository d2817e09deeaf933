#include "bases/GamesList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/GameFunc.h"

namespace kessaro {
namespace {

struct TGameSpec {
  std::string black{}, white{};
  double date = 0;
  std::uint8_t blackRank = 0, whiteRank = 0;
  std::string event{}, round{}, result{}, source{}, recorder{};
  std::uint16_t page = 0;
  std::uint8_t dia = 0;
  std::uint16_t moves = 0;
  std::int16_t komi = 0;
  std::int8_t handicap = 0;
  std::uint8_t boardSize = 19;
  TLanguage language = kEnglish;
};

// Owns the records it makes.
class TGames {
 public:
  ~TGames() {
    for (auto& g : games_) FreeGame(*g);
  }
  TGame& Make(const TGameSpec& s, std::int32_t number) {
    games_.push_back(std::make_unique<TGame>());
    TGame& g = *games_.back();
    InitGame(g);
    g.GameNo = number;
    const auto set = [&s](PStringSet& field, const std::string& text) {
      if (!text.empty()) field->SetText(s.language, text);
    };
    set(g.Info.BlackPlayer, s.black);
    set(g.Info.WhitePlayer, s.white);
    set(g.Info.Event, s.event);
    set(g.Info.Round, s.round);
    set(g.Info.Result, s.result);
    set(g.Info.RecorderName, s.recorder);
    set(g.Info.Sources[0].Name, s.source);
    g.Info.Sources[0].Page = s.page;
    g.Info.Sources[0].Dia = s.dia;
    g.Date = s.date;
    g.BlackGameRank = s.blackRank;
    g.WhiteGameRank = s.whiteRank;
    g.NumberOfMoves = s.moves;
    g.Komi = s.komi;
    g.Handicap = s.handicap;
    g.BoardSize = s.boardSize;
    return g;
  }

 private:
  std::vector<std::unique_ptr<TGame>> games_;
};

std::vector<std::int32_t> Order(TGamesList& list) {
  std::vector<std::int32_t> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.GameAt(i)->GameNo);
  return out;
}

// Each case: two games that tie on every key before the one named, and differ there; the
// first game must come first.
TEST(GamesList, EveryComparisonOrdersByItsKeysInTurn) {
  constexpr std::uint8_t k3d = 7, k5d = 5, k1k = 10;
  const TGameSpec base{.black = "b",
                       .white = "w",
                       .date = 36000,
                       .blackRank = k3d,
                       .whiteRank = k3d,
                       .event = "e",
                       .round = "r",
                       .result = "B+R",
                       .source = "s",
                       .page = 5,
                       .dia = 2,
                       .moves = 100,
                       .komi = 650,
                       .handicap = 0};
  struct Case {
    const char* what;
    TGameInfoElement element;
    TGameSpec first, second;
  };
  const auto with = [&base](auto change) {
    TGameSpec s = base;
    change(s);
    return s;
  };
  const std::vector<Case> cases = {
      {"black name", GI_BlackPlayer, with([](auto& s) { s.black = "a"; }), base},
      {"then white name", GI_BlackPlayer, with([](auto& s) { s.white = "v"; }), base},
      {"then later date", GI_Black, with([](auto& s) { s.date = 36001; }), base},
      {"white name", GI_WhitePlayer, with([](auto& s) { s.white = "v"; }), base},
      {"then black name", GI_Players, with([](auto& s) { s.black = "a"; }), base},
      {"then later date", GI_White, with([](auto& s) { s.date = 36001.2; }), base},
      {"black rank", GI_BlackRank, with([](auto& s) { s.blackRank = k5d; }), base},
      {"then white rank", GI_BlackCombyRank, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"then black name", GI_BlackBaseRank, with([](auto& s) { s.black = "a"; }), base},
      {"then white name", GI_BlackRank, with([](auto& s) { s.white = "a"; }), base},
      {"white rank", GI_WhiteRank, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"then black rank", GI_WhiteCombyRank, with([](auto& s) { s.blackRank = k5d; }), base},
      {"then white name", GI_WhiteBaseRank, with([](auto& s) { s.white = "a"; }), base},
      {"then black name", GI_WhiteRank, with([](auto& s) { s.black = "a"; }), base},
      {"result", GI_Result, with([](auto& s) { s.result = "B+1.5"; }), base},
      {"then more moves", GI_Result, with([](auto& s) { s.moves = 200; }), base},
      {"then white rank", GI_Result, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"event", GI_Event, with([](auto& s) { s.event = "d"; }), base},
      {"then round", GI_Event, with([](auto& s) { s.round = "q"; }), base},
      {"then later date", GI_Event, with([](auto& s) { s.date = 36001; }), base},
      {"then white rank", GI_Event, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"source name", GI_Source, with([](auto& s) { s.source = "a"; }), base},
      {"then larger page", GI_Sources, with([](auto& s) { s.page = 6; }), base},
      {"then larger diagram", GI_Source, with([](auto& s) { s.dia = 3; }), base},
      {"then later date", GI_Sources, with([](auto& s) { s.date = 36001; }), base},
      {"then white rank", GI_Source, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"later date", GI_Date, with([](auto& s) { s.date = 36001; }), base},
      {"then white rank", GI_Date, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"then black rank", GI_Date, with([](auto& s) { s.blackRank = k5d; }), base},
      {"recorder", GI_RecorderName, with([](auto& s) { s.recorder = "a"; }),
       with([](auto& s) { s.recorder = "b"; })},
      {"then source order", GI_RecorderName, with([](auto& s) { s.page = 6; }), base},
      {"larger komi", GI_Komi, with([](auto& s) { s.komi = 750; }), base},
      {"then white rank", GI_Komi, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"larger handicap", GI_Handicap, with([](auto& s) { s.handicap = 2; }), base},
      {"then white rank", GI_Handicap, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"larger board", GI_BoardSize, with([](auto& s) { s.boardSize = 19; }),
       with([](auto& s) { s.boardSize = 13; })},
      {"more moves", GI_NumberOfMoves, with([](auto& s) { s.moves = 101; }), base},
      {"then white rank", GI_NumberOfMoves, with([](auto& s) { s.whiteRank = k5d; }), base},
      {"stronger before weaker kyu", GI_WhiteRank, base, with([](auto& s) { s.whiteRank = k1k; })},
  };
  for (const auto& c : cases) {
    TGames games;
    const TGame& a = games.Make(c.first, 1);
    const TGame& b = games.Make(c.second, 2);
    EXPECT_LT(CompareGames(c.element, a, b), 0) << c.what << " / " << c.element;
    EXPECT_GT(CompareGames(c.element, b, a), 0) << c.what << " / " << c.element;
    EXPECT_EQ(CompareGames(c.element, a, a), 0) << c.what;
    // The list sorts the same way, whatever the insertion order.
    TGamesList list;
    list.AddGame(b);
    list.AddGame(a);
    list.SortBy(c.element);
    EXPECT_EQ(Order(list), (std::vector<std::int32_t>{1, 2})) << c.what;
  }
}

// Dates compare by day: two games of one day, at different hours, are equal on the date and
// ordered by the keys after it.
TEST(GamesList, TimesOfOneDayCompareEqual) {
  constexpr std::uint8_t k3d = 7, k5d = 5;
  const TGameSpec morning{.black = "b", .white = "w", .date = 36000.1, .whiteRank = k5d};
  const TGameSpec evening{.black = "b", .white = "w", .date = 36000.9, .whiteRank = k3d};
  for (const TGameInfoElement element :
       {GI_BlackPlayer, GI_WhitePlayer, GI_Event, GI_Source, GI_Date, GI_RecorderName}) {
    TGames games;
    const TGame& a = games.Make(morning, 1);
    const TGame& b = games.Make(evening, 2);
    // By names alone nothing follows the date; elsewhere the stronger white player comes first.
    const bool byName = element == GI_BlackPlayer || element == GI_WhitePlayer;
    if (byName) {
      EXPECT_EQ(CompareGames(element, b, a), 0) << element;
      EXPECT_EQ(CompareGames(element, a, b), 0) << element;
    } else {
      EXPECT_LT(CompareGames(element, a, b), 0) << element;
      EXPECT_GT(CompareGames(element, b, a), 0) << element;
    }
  }
  // A day later is later, whatever the hour.
  TGames games;
  EXPECT_LT(
      CompareGames(GI_Date, games.Make({.date = 36001.0}, 1), games.Make({.date = 36000.99}, 2)),
      0);
}

TEST(GamesList, TextsCompareByCollationThenByLanguageOrder) {
  TGames games;
  const TGame& upper = games.Make({.black = "Zed"}, 1);
  const TGame& lower = games.Make({.black = "adam"}, 2);
  const TGame& accent = games.Make({.black = "\xC9mile"}, 3);  // E-acute in Windows-1252
  const TGame& japanese = games.Make({.black = "Go", .language = kJapanese}, 4);
  const TGame& none = games.Make({.black = "Abe", .language = kNoLanguage}, 5);
  EXPECT_LT(CompareGameTexts(lower, upper, GI_BlackPlayer), 0);   // case does not count
  EXPECT_LT(CompareGameTexts(accent, upper, GI_BlackPlayer), 0);  // collation, not bytes
  EXPECT_LT(CompareGameTexts(upper, japanese, GI_BlackPlayer), 0);
  EXPECT_LT(CompareGameTexts(japanese, none, GI_BlackPlayer), 0);
}

TEST(GamesList, SortingTwiceReversesWithoutResorting) {
  TGames games;
  TGamesList list;
  list.SetMakeRows(true);
  list.AddGame(games.Make({.black = "b", .date = 1000}, 1));
  list.AddGame(games.Make({.black = "a", .date = 3000}, 2));
  list.AddGame(games.Make({.black = "c", .date = 2000}, 3));
  list.SortBy(GI_BlackPlayer);
  EXPECT_EQ(Order(list), (std::vector<std::int32_t>{2, 1, 3}));
  EXPECT_FALSE(list.Reversed());
  // Changing a game behind the list shows that the second click does not sort again.
  list.GameAt(0)->Info.BlackPlayer->SetText(kEnglish, "z");
  list.SortBy(GI_BlackPlayer);
  EXPECT_TRUE(list.Reversed());
  EXPECT_EQ(Order(list), (std::vector<std::int32_t>{3, 1, 2}));
  EXPECT_EQ(list.RowAt(0)->Find(0)->Text, "1");  // renumbered in presentation order
  EXPECT_EQ(list.RowAt(2)->Find(0)->Text, "3");
  EXPECT_EQ(list.GameAt(3), nullptr);
  EXPECT_EQ(list.GameAt(-1), nullptr);
  // A new column starts unreversed: later dates first.
  list.SortBy(GI_Date);
  EXPECT_FALSE(list.Reversed());
  EXPECT_EQ(list.SortColumn(), GI_Date);
  EXPECT_EQ(Order(list), (std::vector<std::int32_t>{2, 3, 1}));
  // An element without a comparison only becomes the sort column.
  list.SortBy(GI_Place);
  EXPECT_EQ(list.SortColumn(), GI_Place);
  EXPECT_EQ(Order(list), (std::vector<std::int32_t>{2, 3, 1}));
}

TEST(GamesList, RowsShowEnglishTextsAndPlayerNamesInTheirLanguage) {
  TGames games;
  TGame& game = games.Make(
      {.black = "\x8C\xE3", .white = "Sakata", .event = "\x96\x7B", .language = kJapanese}, 1);
  game.Info.Result->SetText(kEnglish, "W+\r\n2.5\t");
  game.Info.Round->SetText(kNoLanguage, "Final");
  game.Date = 36526;
  game.Flags = kGameFlagStyle1;
  TGamesList list;
  list.SetColumns({GI_BlackPlayer, GI_WhitePlayer, GI_Event, GI_Result, GI_Round});
  list.AddGame(game);
  EXPECT_EQ(list.RowAt(0), nullptr);  // rows only when asked for
  list.SetMakeRows(true);
  const TLangListItems* row = list.RowAt(0);
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->Find(GI_BlackPlayer), nullptr);
  EXPECT_EQ(*row->Find(GI_BlackPlayer), (TLangListItem{GI_BlackPlayer, kJapanese, 1, "\x8C\xE3"}));
  EXPECT_EQ(row->Find(GI_WhitePlayer)->Language, kJapanese);
  EXPECT_EQ(row->Find(GI_Event), nullptr);  // Japanese event: empty cell
  EXPECT_EQ(*row->Find(GI_Result), (TLangListItem{GI_Result, kEnglish, 1, "W+2.5"}));
  EXPECT_EQ(row->Find(GI_Round)->Text, "Final");
  list.SetColumns({GI_Event});
  EXPECT_EQ(list.RowAt(0)->Find(GI_BlackPlayer), nullptr);
  list.SetMakeRows(false);
  EXPECT_EQ(list.RowAt(0), nullptr);
}

TEST(GamesList, RowStyleFollowsTheGameFlags) {
  struct Case {
    std::uint16_t flags, style;
  } cases[] = {{0, 0},
               {kGameFlagStyle1, 1},
               {kGameFlagStyle3, 3},
               {kGameFlagStyle1 | kGameFlagStyle3, 3},
               {kGameFlagStyle2 | kGameFlagStyle3, 2},
               {kGameFlagStyle2 | kGameFlagStyle1, 2}};
  for (const auto& c : cases) {
    TGames games;
    TGame& game = games.Make({.black = "a"}, 1);
    game.Flags = c.flags;
    TGamesList list;
    list.SetMakeRows(true);
    list.AddGame(game);
    list.Renumber();
    EXPECT_EQ(list.RowAt(0)->Find(GI_BlackPlayer)->Style, c.style) << c.flags;
    EXPECT_EQ(list.RowAt(0)->Find(0)->Style, c.style) << c.flags;
  }
}

TEST(GamesList, StoppedListsRefuseSortingUntilResumed) {
  TGames games;
  TGamesList list;
  int started = 0, resumed = 0;
  list.OnStarted = [&](TGamesList&) { ++started; };
  list.OnResumed = [&](TGamesList&, bool) { ++resumed; };
  list.OnAdded = [](TGamesList&, int count) { return count < 2; };
  list.AddGame(games.Make({.black = "b"}, 1));
  EXPECT_FALSE(list.Stopped());
  list.AddGame(games.Make({.black = "a"}, 2));
  EXPECT_TRUE(list.Stopped());
  EXPECT_EQ(started, 1);
  list.SortBy(GI_BlackPlayer);
  EXPECT_EQ(list.SortColumn(), GI_Empty);
  EXPECT_EQ(Order(list), (std::vector<std::int32_t>{1, 2}));
  list.SetStopped(true);  // no change, no hook
  EXPECT_EQ(started, 1);
  list.SetStopped(false);
  EXPECT_EQ(resumed, 1);
  list.SortBy(GI_BlackPlayer);
  EXPECT_EQ(Order(list), (std::vector<std::int32_t>{2, 1}));
}

TEST(GamesList, OwnsCopiesButNotReferencedGames) {
  TGames games;
  TGame& original = games.Make({.black = "a"}, 1);
  TGameLook outside;
  InitGame(outside.Game);
  outside.Game.GameNo = 2;
  outside.Game.Info.BlackPlayer->SetText(kEnglish, "kept");
  {
    TGamesList list;
    list.AddGame(original);
    list.AddGameRef(outside);
    original.Info.BlackPlayer->SetText(kEnglish, "changed");
    EXPECT_EQ(list.GameAt(0)->Info.BlackPlayer->GetText(kEnglish), "a");  // a deep copy
    EXPECT_TRUE(list.Owned(0));
    EXPECT_FALSE(list.Owned(1));
    EXPECT_EQ(list.GameAt(1), &outside.Game);
    list.Delete(1);
    EXPECT_EQ(list.Count(), 1);
    list.AddGameRef(outside);
  }
  // The list is gone; the game it referred to is intact.
  EXPECT_EQ(outside.Game.Info.BlackPlayer->GetText(kEnglish), "kept");
  FreeGame(outside.Game);
}

}  // namespace
}  // namespace kessaro
