#include "board/PointTypes.h"

#include <gtest/gtest.h>

namespace kessaro {
namespace {

struct RegionCase {
  int kind, w, h;
  bool valid;
  bool fits19;
  std::uint8_t symmetries;
};

TEST(PointTypes, RegionValidityFitAndSymmetries) {
  const RegionCase cases[] = {
      {1, 19, 19, true, true, 0xFF},   {1, 13, 13, true, false, 0xFF},
      {1, 19, 18, false, false, 0x00}, {2, 19, 10, true, true, 0x05},
      {2, 10, 10, false, false, 0x00}, {2, 18, 10, true, false, 0x05},
      {3, 10, 10, true, true, 0x03},   {3, 10, 8, true, true, 0x00},
      {3, 19, 10, true, false, 0x00},  {4, 17, 9, true, true, 0x05},
      {4, 18, 9, true, false, 0x05},   {5, 9, 9, true, true, 0xFF},
      {5, 9, 7, true, true, 0x55},     {5, 18, 9, true, false, 0x55},
      {6, 9, 19, true, true, 0x55},    {6, 18, 19, false, false, 0x00},
      {6, 9, 18, true, false, 0x55},   {0, 9, 9, false, false, 0x00},
      {7, 9, 9, false, false, 0x00},   {3, 0, 5, false, false, 0x00},
      {3, 32, 5, false, false, 0x00},  {1, 31, 31, true, false, 0xFF},
  };
  for (const auto& c : cases) {
    const TRegionWord r = MakeRegion(c.kind, c.w, c.h);
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " " << c.w << "x" << c.h);
    EXPECT_EQ(IsValidRegion(r), c.valid);
    EXPECT_EQ(RegionFitsBoard(r, 19), c.fits19);
    EXPECT_EQ(RegionSymmetries(r), c.symmetries);
  }
}

TEST(PointTypes, RegionWordLayout) {
  const TRegionWord r = MakeRegion(3, 10, 12);
  EXPECT_EQ(r, 0x000C0A03u);
  EXPECT_EQ(RegionKind(r), 3);
  EXPECT_EQ(RegionWidth(r), 10);
  EXPECT_EQ(RegionHeight(r), 12);
}

TEST(PointTypes, OpenEdgesPerKind) {
  EXPECT_EQ(OpenEdges(1), (TOpenEdges{0, 0, 0, 0}));
  EXPECT_EQ(OpenEdges(2), (TOpenEdges{0, 0, 0, 1}));
  EXPECT_EQ(OpenEdges(3), (TOpenEdges{0, 0, 1, 1}));
  EXPECT_EQ(OpenEdges(4), (TOpenEdges{0, 1, 1, 1}));
  EXPECT_EQ(OpenEdges(5), (TOpenEdges{1, 1, 1, 1}));
  EXPECT_EQ(OpenEdges(6), (TOpenEdges{0, 1, 1, 0}));
  EXPECT_EQ(OpenEdges(9), (TOpenEdges{0, 0, 0, 0}));
}

TEST(PointTypes, NormalizeAndInvertCells) {
  TMatrix m = {0, 1, 2, 3, 4, 5, 6, 255};
  NormalizeCells(m);
  EXPECT_EQ(m, (TMatrix{0, 1, 2, 0, 0, 1, 2, 0}));
  TMatrix n = {0, 1, 2, 0};
  InvertColours(n);
  EXPECT_EQ(n, (TMatrix{0, 2, 1, 0}));
}

TEST(PointTypes, MoveWordFields) {
  const TMoveWord m = MakeMove(3, 15, true);
  EXPECT_EQ(m, 0x8F03);
  EXPECT_EQ(MoveX(m), 3);
  EXPECT_EQ(MoveY(m), 15);
  EXPECT_TRUE(IsNoMove(0x9F1F | kTenukiFlag));
  EXPECT_EQ(InvertMoveColour(m), 0x0F03);
}

}  // namespace
}  // namespace kessaro
