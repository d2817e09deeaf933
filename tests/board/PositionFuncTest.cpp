#include "board/PositionFunc.h"

#include <gtest/gtest.h>

#include <random>

#include "board/Diagram.h"
#include "support/TestSupport.h"

namespace kessaro {
namespace {

using test::Diagram;

std::string Play(std::string_view before, int kind, int w, int h, int colour, int x, int y) {
  TMatrix m = Diagram(before, w, h);
  PlaceStone(m, kind, w, colour, y, x, h);
  return FormatDiagram(m, w, h);
}

TEST(PlaceStone, CapturesAndLiberties) {
  struct Case {
    const char* name;
    int kind;
    const char* before;
    int colour, x, y;
    const char* after;
  };
  const Case cases[] = {
      {"pass changes nothing", 1, ".X..\nXO..\n....\n....\n", 1, 31, 31,
       ".X..\nXO..\n....\n....\n"},
      {"corner stone captured", 1, ".X..\nXO..\n.X..\n....\n", 1, 2, 1, ".X..\nX.X.\n.X..\n....\n"},
      {"two-stone group captured", 1, "OX..\nOX..\n....\n....\n", 1, 0, 2,
       ".X..\n.X..\nX...\n....\n"},
      {"group on the real edge captured", 1, "OO..\nXX..\n....\n....\n", 1, 2, 0,
       "..X.\nXX..\n....\n....\n"},
      {"open right edge is a liberty", 3, "..XO\n..XO\n....\n....\n", 1, 3, 2,
       "..XO\n..XO\n...X\n....\n"},
      {"open bottom edge is a liberty", 3, "....\n....\nX...\nO...\n", 1, 1, 3,
       "....\n....\nX...\nOX..\n"},
      {"suicide stone stays", 1, ".X..\nX...\n....\n....\n", 2, 0, 0, "OX..\nX...\n....\n....\n"},
      {"outside cell is no liberty", 1, "#X..\nO...\nX...\n....\n", 1, 1, 1,
       "#X..\n.X..\nX...\n....\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Play(c.before, c.kind, 4, 4, c.colour, c.x, c.y), c.after);
  }
}

TEST(PlaceStone, LongSnakeGroupIsRemovedWithoutRecursion) {
  // A white snake filling most of a 31 x 31 board, surrounded by black: one capture removes it.
  const int n = 31;
  TMatrix m(n * n, kCellWhite);
  for (int x = 0; x < n; ++x) m[static_cast<std::size_t>(x)] = kCellBlack;
  m[static_cast<std::size_t>(n + 5)] = kCellEmpty;
  PlaceStone(m, rkWholeBoard, n, kCellBlack, 1, 5, n);
  int white = 0;
  for (auto c : m) white += c == kCellWhite;
  EXPECT_EQ(white, 0);
}

TEST(PlayMoves, ReplayRules) {
  // Corner region 4 x 4 whose start position marks (3,0) as outside the region.
  const TMatrix start = Diagram("...#\n....\n....\n....\n", 4, 4);
  const TRegionWord region = MakeRegion(rkCorner, 4, 4);
  TMatrix result;
  struct Case {
    const char* name;
    std::vector<TMoveWord> moves;
    bool ok;
    const char* after;
  };
  const Case cases[] = {
      {"alternating play with a pass",
       {MakeMove(1, 0), kNoMove, MakeMove(0, 1, true)},
       true,
       ".X..\nO...\n....\n....\n"},
      {"move onto an outside cell is skipped",
       {MakeMove(3, 0), MakeMove(2, 2, true)},
       true,
       "....\n....\n..O.\n....\n"},
      {"occupied cell ends the replay", {MakeMove(1, 1), MakeMove(1, 1, true)}, false, nullptr},
      {"lone suicide stone is removed",
       {MakeMove(1, 0), MakeMove(0, 1), MakeMove(0, 0, true)},
       true,
       ".X..\nX...\n....\n....\n"},
      {"capture is kept",
       {MakeMove(1, 0), MakeMove(0, 0, true), MakeMove(0, 1)},
       true,
       ".X..\nX...\n....\n....\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool ok =
        PlayMoves(result, start, region, c.moves.data(), sizeof(TMoveWord), c.moves.size());
    EXPECT_EQ(ok, c.ok);
    if (c.after) {
      EXPECT_EQ(FormatDiagram(result, 4, 4), c.after);
    }
  }
}

TEST(PlayMoves, SuicideOnOpenEdgeIsKept) {
  const TMatrix start(16, kCellEmpty);
  TMatrix result;
  // White at (3,3): the open right and bottom edges of the corner are liberties.
  const std::vector<TMoveWord> moves = {MakeMove(2, 3), MakeMove(3, 2), MakeMove(3, 3, true)};
  ASSERT_TRUE(PlayMoves(result, start, MakeRegion(rkCorner, 4, 4), moves.data(), 2, moves.size()));
  EXPECT_EQ(FormatDiagram(result, 4, 4), "....\n....\n...X\n..XO\n");
}

std::string Hex(const TBoardPosition& p) {
  std::string s;
  char b[3];
  for (auto v : p) {
    std::snprintf(b, sizeof b, "%02X", v);
    s += b;
  }
  return s;
}

TEST(EncodePosition, FixedFigures) {
  TBoardPosition p;
  const TRegionWord board = MakeRegion(rkWholeBoard, 19, 19);
  ASSERT_TRUE(EncodePosition(TMatrix(361, 0), coBest, board, p));
  EXPECT_EQ(Hex(p), "0440131301FFFFFF6A");  // 255 empty cells, then 106

  ASSERT_TRUE(EncodePosition(TMatrix(361, kCellWhite), coBest, board, p));
  ASSERT_EQ(p.size(), 5u + 73u);
  EXPECT_EQ(p[0] | (p[1] << 8), 73 | (1 << 14));
  for (int i = 0; i < 72; ++i) EXPECT_EQ(p[5 + static_cast<std::size_t>(i)], 242);
  EXPECT_EQ(p.back(), 2);
}

TEST(EncodePosition, RunMarkersAndOrders) {
  // Six empty cells then black: group 0 with one further empty -> 243, then the black group.
  TMatrix row(10, 0);
  row[6] = kCellBlack;
  TBoardPosition p;
  ASSERT_TRUE(EncodePosition(row, coRows, MakeRegion(rkCorner, 10, 1), p));
  EXPECT_EQ(Hex(p), "02400A0103F301");  // 243 then (X,.,.,.)=1

  // A vertical line of stones is shorter column by column.
  const TMatrix vertical = test::Diagram(
      "X.........\nX.........\nX.........\nX.........\nX.........\n"
      "..........\n..........\n..........\n..........\n..........\n",
      10, 10);
  ASSERT_TRUE(EncodePosition(vertical, coBest, MakeRegion(rkCorner, 10, 10), p));
  EXPECT_EQ(p[1] >> 6, coColumns);
  // Rows and columns of equal length keep rows.
  ASSERT_TRUE(EncodePosition(TMatrix(100, 0), coBest, MakeRegion(rkCorner, 10, 10), p));
  EXPECT_EQ(p[1] >> 6, coRows);

  EXPECT_FALSE(EncodePosition(TMatrix(99, 0), coBest, MakeRegion(rkCorner, 10, 10), p));
  EXPECT_FALSE(EncodePosition(TMatrix(100, 0), coBest, MakeRegion(8, 10, 10), p));
}

TEST(EncodePosition, RoundTripsRandomPositionsOfEveryKindAndOrder) {
  std::mt19937 rng(7);
  const TRegionWord regions[] = {MakeRegion(1, 19, 19), MakeRegion(2, 19, 7), MakeRegion(3, 10, 10),
                                 MakeRegion(3, 31, 2),  MakeRegion(4, 13, 6), MakeRegion(5, 7, 9),
                                 MakeRegion(6, 5, 19),  MakeRegion(1, 31, 31)};
  for (TRegionWord region : regions) {
    const int w = RegionWidth(region), h = RegionHeight(region);
    for (int density : {0, 3, 40, 100}) {
      const TMatrix m = test::RandomPosition(rng, w, h, density);
      for (int order : {coBest, coRows, coColumns}) {
        TBoardPosition p;
        ASSERT_TRUE(EncodePosition(m, order, region, p));
        TMatrix back;
        TRegionWord decodedRegion = 0;
        ASSERT_TRUE(DecodePosition(p, back, decodedRegion));
        EXPECT_EQ(decodedRegion, region);
        EXPECT_EQ(back, m) << w << "x" << h << " density " << density << " order " << order;
      }
    }
  }
}

TEST(DecodePosition, RejectsBrokenStreams) {
  TBoardPosition good;
  TMatrix m(100, 0);
  m[57] = kCellWhite;
  ASSERT_TRUE(EncodePosition(m, coRows, MakeRegion(rkCorner, 10, 10), good));
  struct Case {
    const char* name;
    TBoardPosition bytes;
  };
  auto with = [&](auto edit) {
    TBoardPosition p = good;
    edit(p);
    return p;
  };
  const Case cases[] = {
      {"stream ends early", with([](TBoardPosition& p) { p.pop_back(); })},
      {"length beyond the array",
       with([](TBoardPosition& p) { p[0] = static_cast<std::uint8_t>(p[0] + 1); })},
      {"bytes remain after the matrix is full", with([](TBoardPosition& p) {
         p.push_back(0);
         p[0] = static_cast<std::uint8_t>(p[0] + 1);
       })},
      {"255 as the last byte", {0x01, 0x40, 10, 10, 3, 255}},
      {"too few cells", {0x01, 0x40, 10, 10, 3, 250}},
      {"skip beyond the matrix", {0x03, 0x40, 2, 2, 3, 0, 255, 200}},
      {"invalid region", with([](TBoardPosition& p) { p[4] = 9; })},
      {"order 0 stored", with([](TBoardPosition& p) { p[1] &= 0x3F; })},
      {"order 3 stored", with([](TBoardPosition& p) { p[1] |= 0xC0; })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TMatrix out(5, 1);
    TRegionWord region = 0;
    EXPECT_FALSE(DecodePosition(c.bytes, out, region));
    EXPECT_EQ(out, TMatrix(static_cast<std::size_t>(c.bytes[2] * c.bytes[3]), 0));
  }
  TMatrix out(5, 1);
  TRegionWord region = 0;
  EXPECT_FALSE(DecodePosition({1, 2, 3, 4}, out, region));
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace kessaro
