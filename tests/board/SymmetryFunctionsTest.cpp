#include "board/SymmetryFunctions.h"

#include <gtest/gtest.h>

#include <random>

#include "support/TestSupport.h"

namespace kessaro {
namespace {

TEST(Symmetry, CompositionFigures) {
  EXPECT_EQ(ComposeSymmetry(3, 3), 6);
  EXPECT_EQ(ComposeSymmetry(3, 5), 0);
  EXPECT_EQ(InverseSymmetry(3), 5);
  EXPECT_EQ(InverseSymmetry(13), 11);
  EXPECT_EQ(ComposeSymmetry(8, 8), 0);
  EXPECT_EQ(RelativeSymmetry(3, 3), 0);
  EXPECT_EQ(SymmetryThenInverse(6, 6), 0);
}

TEST(Symmetry, TableOfGeometricCodes) {
  const int n = 19;
  const int x = 3, y = 5;
  const int expected[8][2] = {
      {x, y},         {y, x},         {n - 1 - x, y},         {n - 1 - y, x},
      {x, n - 1 - y}, {y, n - 1 - x}, {n - 1 - x, n - 1 - y}, {n - 1 - y, n - 1 - x}};
  for (int c = 0; c < 8; ++c) {
    int tx = x, ty = y;
    TransformXY(tx, ty, static_cast<TSymmetry>(c), n, n);
    EXPECT_EQ(tx, expected[c][0]) << c;
    EXPECT_EQ(ty, expected[c][1]) << c;
  }
}

TEST(Symmetry, ComposeInverseAndRelativeAgreeWithPointTransforms) {
  const TRegionWord region = MakeRegion(rkWholeBoard, 19, 19);
  const TMoveWord moves[] = {MakeMove(3, 5), MakeMove(0, 18, true), MakeMove(9, 9),
                             static_cast<TMoveWord>(MakeMove(16, 2) | kTenukiFlag | kLadderFlag)};
  for (int a = 0; a < 16; ++a) {
    for (int b = 0; b < 16; ++b) {
      const auto sa = static_cast<TSymmetry>(a), sb = static_cast<TSymmetry>(b);
      for (TMoveWord m : moves) {
        const TMoveWord twice = TransformMoveWord(TransformMoveWord(m, sa, region), sb, region);
        EXPECT_EQ(twice, TransformMoveWord(m, ComposeSymmetry(sa, sb), region)) << a << "," << b;
        EXPECT_EQ(
            TransformMoveWord(TransformMoveWord(m, sa, region), RelativeSymmetry(sa, sb), region),
            TransformMoveWord(m, sb, region));
      }
    }
    for (TMoveWord m : moves) {
      const auto sa = static_cast<TSymmetry>(a);
      EXPECT_EQ(TransformMoveWord(TransformMoveWord(m, sa, region), InverseSymmetry(sa), region),
                m);
    }
  }
}

TEST(Symmetry, PassAndOutsidePointsKeepTheirPlace) {
  for (int c = 0; c < 16; ++c) {
    const auto code = static_cast<TSymmetry>(c);
    const TMoveWord pass = TransformMove(kNoMove, code, 19, 19);
    EXPECT_EQ(pass & kPointMask, kNoMove);
    EXPECT_EQ((pass & kWhiteBit) != 0, (c & 8) != 0);
    // x = 12 is outside a 10 x 10 corner.
    EXPECT_EQ(TransformMove(MakeMove(12, 2), code, 10, 10) & kPointMask, MakeMove(12, 2));
    EXPECT_EQ(TransformBytePoint(0x0214, code, 19), 0x0214);  // x = 20
  }
  EXPECT_EQ(TransformBytePoint(0x0503, 3, 19), 0x030D);  // (3,5) -> (13,3)
}

TEST(Symmetry, TransformMatrixMatchesPointTransform) {
  std::mt19937 rng(3);
  struct Shape {
    int w, h;
    std::vector<int> codes;
  };
  const Shape shapes[] = {{7, 7, {0, 1, 2, 3, 4, 5, 6, 7}}, {8, 5, {0, 2, 4, 6}}};
  for (const auto& s : shapes) {
    const TMatrix m = test::RandomPosition(rng, s.w, s.h);
    for (int c : s.codes) {
      TMatrix t = m;
      TransformMatrix(t, static_cast<TSymmetry>(c), s.w, s.h);
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
          int tx = x, ty = y;
          TransformXY(tx, ty, static_cast<TSymmetry>(c), s.w, s.h);
          ASSERT_EQ(t[static_cast<std::size_t>(tx + ty * s.w)],
                    m[static_cast<std::size_t>(x + y * s.w)])
              << "code " << c;
        }
    }
  }
}

TEST(Symmetry, MaskFigures) {
  const TRegionWord board = MakeRegion(rkWholeBoard, 19, 19);
  TMatrix m(361, 0);
  EXPECT_EQ(SymmetryMask(m, board), 0xFF);
  m[3 + 3 * 19] = kCellBlack;  // 4-4 point of the upper-left corner
  EXPECT_EQ(SymmetryMask(m, board), 0x03);
  m[15 + 15 * 19] = kCellBlack;             // and the opposite 4-4 point
  EXPECT_EQ(SymmetryMask(m, board), 0xC3);  // identity, both diagonals, half turn
  EXPECT_EQ(SymmetryMask(TMatrix(100, 0), MakeRegion(rkCorner, 10, 10)), 0x03);
  EXPECT_EQ(SymmetryMask(TMatrix(80, 0), MakeRegion(rkCorner, 10, 8)), 0x00);
}

TEST(Symmetry, MaskAgreesWithBruteForce) {
  std::mt19937 rng(11);
  const TRegionWord regions[] = {MakeRegion(1, 9, 9), MakeRegion(5, 8, 6), MakeRegion(3, 6, 6),
                                 MakeRegion(2, 9, 4)};
  for (TRegionWord region : regions) {
    const int w = RegionWidth(region), h = RegionHeight(region);
    for (int trial = 0; trial < 200; ++trial) {
      TMatrix m = test::RandomPosition(rng, w, h, trial % 2 ? 10 : 60);
      // Make some positions symmetric under one admitted code.
      if (trial % 3 == 0) {
        for (int c = 1; c < 8; ++c) {
          if (!(RegionSymmetries(region) & (1 << c))) continue;
          TMatrix t = m;
          TransformMatrix(t, static_cast<TSymmetry>(c), w, h);
          for (std::size_t i = 0; i < m.size(); ++i) m[i] = std::max(m[i], t[i]) == 0 ? 0 : 1;
          break;
        }
      }
      std::uint8_t expected = 0;
      for (int c = 0; c < 8; ++c) {
        if (!(RegionSymmetries(region) & (1 << c))) continue;
        TMatrix t = m;
        TransformMatrix(t, static_cast<TSymmetry>(c), w, h);
        if (t == m) expected = static_cast<std::uint8_t>(expected | (1 << c));
      }
      ASSERT_EQ(SymmetryMask(m, region), expected);
    }
  }
}

TEST(Symmetry, Octants) {
  EXPECT_EQ(Octants(9, 9, 19), 0xFF);
  EXPECT_EQ(Octants(3, 1, 19), 0x01);
  EXPECT_EQ(Octants(1, 3, 19), 0x02);
  EXPECT_EQ(Octants(3, 3, 19), 0x03);
  EXPECT_EQ(Octants(15, 1, 19), 0x04);
  EXPECT_EQ(Octants(17, 3, 19), 0x08);
  EXPECT_EQ(Octants(3, 17, 19), 0x10);
  EXPECT_EQ(Octants(1, 15, 19), 0x20);
  EXPECT_EQ(Octants(15, 17, 19), 0x40);
  EXPECT_EQ(Octants(17, 15, 19), 0x80);
  // Every point of the board lies in at least one sector.
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 19; ++x) EXPECT_NE(Octants(x, y, 19), 0) << x << "," << y;
}

}  // namespace
}  // namespace kessaro
