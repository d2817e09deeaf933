#include "bases/VarsBase.h"

#include <gtest/gtest.h>

#include "board/CheckSum.h"
#include "board/SymmetryFunctions.h"
#include "platform/FileSystem.h"
#include "records/GameFunc.h"
#include "support/ByteFixtures.h"
#include "support/TestSupport.h"

namespace kessaro {
namespace {

constexpr TRegionWord kCentre = MakeRegion(rkCentre, 5, 5);

TMatrix Start() {
  return test::Diagram(
      "X....\n"
      ".O...\n"
      "..X..\n"
      ".....\n"
      "....O\n",
      5, 5);
}

TMatrix Turned(TMatrix m, TSymmetry code) {
  TransformMatrix(m, static_cast<TSymmetry>(code & 7), 5, 5);
  if (code & kSymColours) InvertColours(m);
  return m;
}

const TVarMoves kMovesA = {{MakeMove(1, 2), 3}, {MakeMove(3, 3, true), 0}};
const TVarMoves kMovesB = {{MakeMove(4, 0), 0}};
const TVarMoves kMovesC = {{MakeMove(0, 4), 7}, {MakeMove(2, 1, true), 1}, {MakeMove(2, 0), 0}};

// Variations 1-3 share one start position in three orientations; 4 starts elsewhere.
std::string WriteBase() {
  const std::string base = test::TempPath("Vars");
  for (const char* ext : {".vpb", ".vim", ".vdm"}) test::TempPath(std::string("Vars") + ext);
  TVarsBase vars;
  vars.SetReadOnly(false);
  EXPECT_TRUE(vars.Open(base));
  EXPECT_EQ(vars.AppendVariation(Start(), kCentre, kMovesA), 1u);
  EXPECT_EQ(vars.AppendVariation(Turned(Start(), 3), kCentre, kMovesB), 2u);
  EXPECT_EQ(vars.AppendVariation(Turned(Start(), 8 | 2), kCentre, kMovesC), 3u);
  EXPECT_EQ(vars.AppendVariation(TMatrix(25, 0), kCentre, kMovesB), 4u);
  vars.Close();
  EXPECT_EQ(vars.TakeErrors(), 0u);
  return base;
}

TEST(VarsBase, SharedStartPositionsComeBackInEachVariationsOwnOrientation) {
  const std::string base = WriteBase();
  TVarsBase vars;
  ASSERT_TRUE(vars.Open(base));
  EXPECT_EQ(vars.VariationCount(), 4u);
  struct Case {
    std::uint32_t n;
    TMatrix start;
    TVarMoves moves;
  } cases[] = {{1, Start(), kMovesA},
               {2, Turned(Start(), 3), kMovesB},
               {3, Turned(Start(), 10), kMovesC},
               {4, TMatrix(25, 0), kMovesB}};
  for (const Case& c : cases) {
    TVar v;
    ASSERT_TRUE(vars.ReadVar(c.n, v)) << c.n;
    EXPECT_EQ(v.Id, c.n);
    EXPECT_EQ(v.Region, kCentre);
    EXPECT_EQ(v.StartPosition, c.start) << c.n;
    EXPECT_EQ(v.Moves, c.moves) << c.n;
  }
  // One shared position record, which moved each time it was stored again.
  TVarIndex i1, i2, i3, i4;
  ASSERT_TRUE(vars.ReadIndex(1, i1) && vars.ReadIndex(2, i2) && vars.ReadIndex(3, i3) &&
              vars.ReadIndex(4, i4));
  EXPECT_EQ(i1.PositionWord, i3.PositionWord);
  EXPECT_EQ(i2.PositionWord, i3.PositionWord);
  EXPECT_NE(i4.PositionWord, i3.PositionWord);
  EXPECT_EQ(i3.Next, 2u);
  EXPECT_EQ(i2.Next, 1u);
  EXPECT_EQ(i1.Next, 0u);
  EXPECT_EQ(vars.TakeErrors(), 0u);
  TVar none;
  EXPECT_FALSE(vars.ReadVar(5, none));
  EXPECT_FALSE(vars.ReadVar(0, none));
}

TEST(VarsBase, DamagedVariationsReadAsEmpty) {
  const std::string base = WriteBase();
  // Variation 1's move data: its start position checksum names no orientation of the stored
  // position (the record's own Crc16 is made right again).
  test::TBytes vdm = test::ReadFileBytes(base + ".vdm");
  test::PutLE32(vdm, 4 + 4, 0x12345678);
  std::vector<std::uint8_t> sealed(vdm.begin() + 4, vdm.begin() + 4 + 12 + 6);
  test::PutLE16(vdm, 4 + 10, Crc16Continue(Crc16(sealed.data(), 10), sealed.data() + 12, 6));
  test::WriteFileBytes(base + ".vdm", vdm);
  test::FlipByte(base + ".vim", 4 + 14 + 5);  // variation 2's index record
  TVarsBase vars;
  ASSERT_TRUE(vars.Open(base));
  TVar v;
  EXPECT_FALSE(vars.ReadVar(1, v));
  EXPECT_TRUE(v.Moves.empty());
  EXPECT_TRUE(v.StartPosition.empty());
  EXPECT_FALSE(vars.ReadVar(2, v));
  EXPECT_TRUE(vars.TakeErrors() & ErrCorrupt);
  EXPECT_TRUE(vars.ReadVar(3, v));
}

TEST(VarsBase, MissingFileLeavesTheBaseInactive) {
  const std::string base = WriteBase();
  RemoveFile(base + ".vdm");
  TVarsBase vars;
  EXPECT_FALSE(vars.Open(base));
  EXPECT_EQ(vars.VariationCount(), 4u);  // the files that opened stay readable
  TVar v;
  EXPECT_FALSE(vars.ReadVar(1, v));
}

TEST(VarsBase, TransformVarTurnsMovesInsideTheRegionAndSwapsColours) {
  TVar v;
  v.Region = MakeRegion(rkCorner, 5, 4);
  v.StartPosition = TMatrix(20, 0);
  v.StartPosition[1] = kCellBlack;  // (1, 0)
  v.Moves = {{MakeMove(1, 0), 2}, {MakeMove(0, 3, true), 0}, {kNoMove, 0}, {MakeMove(9, 1), 0}};
  TransformVar(v, kSymMirrorX | kSymMirrorY | kSymColours);
  EXPECT_EQ(v.Moves[0], (TVarMove{MakeMove(3, 3, true), 2}));
  EXPECT_EQ(v.Moves[1].Move, MakeMove(4, 0));
  EXPECT_EQ(v.Moves[2].Move, kNoMove | kWhiteBit);
  EXPECT_EQ(v.Moves[3].Move, MakeMove(9, 1, true));  // outside the region: colour only
  EXPECT_EQ(v.StartPosition[3 + 3 * 5], kCellWhite);
}

TEST(VarsBase, GameAsVarTakesEveryPlayedMoveWithAlternatingColours) {
  TGame game;
  InitGame(game);
  game.GameNo = 42;
  game.BoardSize = 19;
  game.Flags = kGameHasMoves;
  game.NumberOfMoves = 4;
  game.Moves.resize(5);
  game.Moves[1].Point = 0x0303;
  game.Moves[2].Point = kPassPoint;
  game.Moves[3].Point = 0x0F0F;
  game.Moves[3].Marks = 5;
  game.Moves[4].Point = 0x0210;
  TVar v;
  GameAsVar(game, v);
  EXPECT_EQ(v.Id, 42u);
  EXPECT_EQ(v.Region, MakeRegion(rkWholeBoard, 19, 19));
  EXPECT_TRUE(v.StartPosition.empty());
  EXPECT_EQ(v.Moves, (TVarMoves{{0x0303, 0}, {0x0F0F, 5}, {0x8210, 0}}));
  FreeGame(game);
}

}  // namespace
}  // namespace kessaro
