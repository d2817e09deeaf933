#include "board/HashFunc.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "board/CheckSum.h"
#include "board/SymmetryFunctions.h"
#include "support/TestSupport.h"

namespace kessaro {
namespace {

TEST(PositionKeys, TableIsPinned) {
  // The keys are part of the position base format: a changed table orphans every stored base.
  std::vector<std::uint8_t> bytes;
  for (const auto* table : {BlackKeys, WhiteKeys})
    for (int i = 0; i < kPositionKeyCount; ++i)
      for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<std::uint8_t>(table[i] >> (8 * b)));
  EXPECT_EQ(Crc32(bytes.data(), bytes.size()), 0x5EBC68A6u);
}

TEST(PositionKeys, TableIsTheSeededGenerator) {
  // splitmix64 seeded with "Kessaro1", upper 32 bits of each output (scripts/gen-position-keys).
  std::uint64_t state = 0x4B65737361726F31ull;
  auto next = [&state] {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
  };
  for (int i = 0; i < kPositionKeyCount; ++i) ASSERT_EQ(BlackKeys[i], next()) << i;
  for (int i = 0; i < kPositionKeyCount; ++i) ASSERT_EQ(WhiteKeys[i], next()) << i;
}

const TRegionWord kHashable[] = {
    MakeRegion(1, 19, 19), MakeRegion(1, 9, 9),   MakeRegion(1, 8, 8),  MakeRegion(2, 19, 8),
    MakeRegion(2, 12, 7),  MakeRegion(3, 10, 10), MakeRegion(3, 9, 9),  MakeRegion(3, 10, 7),
    MakeRegion(3, 30, 20), MakeRegion(4, 13, 7),  MakeRegion(5, 9, 9),  MakeRegion(5, 8, 8),
    MakeRegion(5, 9, 6),   MakeRegion(5, 8, 5),   MakeRegion(6, 7, 19), MakeRegion(6, 6, 15),
};

TEST(PositionHash, InvariantUnderRegionSymmetriesAndColourSwap) {
  std::mt19937 rng(19);
  for (TRegionWord region : kHashable) {
    const int w = RegionWidth(region), h = RegionHeight(region);
    const std::uint8_t codes = RegionSymmetries(region);
    for (int trial = 0; trial < 20; ++trial) {
      const TMatrix m = test::RandomPosition(rng, w, h, trial * 5);
      const TPositionHash base = PositionHash(m, region);
      for (int c = 0; c < 8; ++c) {
        if (c != 0 && !(codes & (1 << c))) continue;
        for (bool swap : {false, true}) {
          TMatrix t = m;
          TransformMatrix(t, static_cast<TSymmetry>(c), w, h);
          if (swap) InvertColours(t);
          ASSERT_EQ(PositionHash(t, region), base)
              << "region " << std::hex << region << " code " << c << " swap " << swap;
        }
      }
    }
  }
}

TEST(PositionHash, DistinguishesPositions) {
  std::mt19937 rng(5);
  for (TRegionWord region : kHashable) {
    const int w = RegionWidth(region), h = RegionHeight(region);
    std::set<std::uint32_t> tags;
    // Single stones on distinct orbits of one point each, plus random positions.
    for (int trial = 0; trial < 50; ++trial)
      tags.insert(PositionHash(test::RandomPosition(rng, w, h, 30), region).tag);
    EXPECT_EQ(tags.size(), 50u) << std::hex << region;
  }
}

TEST(PositionHash, EmptyRegionReadingsHashToZero) {
  for (TRegionWord region : kHashable) {
    const int words = std::max(2, SectorReadingCount(region));
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(4 * words), 0);
    const TPositionHash h = PositionHash(
        TMatrix(static_cast<std::size_t>(RegionWidth(region) * RegionHeight(region)), 0), region);
    EXPECT_EQ(h.bucket, Crc16(zeros.data(), zeros.size())) << std::hex << region;
    EXPECT_EQ(h.tag, Crc32(zeros.data(), zeros.size()));
  }
}

TEST(PositionHash, ReadingCountsAndRegionsWithoutHash) {
  EXPECT_EQ(SectorReadingCount(MakeRegion(1, 19, 19)), 8);
  EXPECT_EQ(SectorReadingCount(MakeRegion(2, 19, 8)), 2);
  EXPECT_EQ(SectorReadingCount(MakeRegion(3, 10, 10)), 2);
  EXPECT_EQ(SectorReadingCount(MakeRegion(3, 10, 9)), 1);
  EXPECT_EQ(SectorReadingCount(MakeRegion(4, 10, 9)), 2);
  EXPECT_EQ(SectorReadingCount(MakeRegion(5, 9, 9)), 8);
  EXPECT_EQ(SectorReadingCount(MakeRegion(5, 9, 8)), 4);
  EXPECT_EQ(SectorReadingCount(MakeRegion(6, 7, 19)), 4);
  for (TRegionWord region : {MakeRegion(1, 19, 18), MakeRegion(7, 9, 9), MakeRegion(2, 9, 9)}) {
    EXPECT_EQ(PositionHash(TMatrix(400, 1), region), TPositionHash{}) << std::hex << region;
  }
  EXPECT_EQ(PositionHash(TMatrix(10, 1), MakeRegion(1, 19, 19)), TPositionHash{});
}

// Bucket and tag of fixed positions, computed apart from this code by
// scripts/gen-position-hash-pins. Stored position bases are keyed by them: any change of the
// readings, the keys, the canonical order or the checksums fails here.
struct TPinnedHash {
  int kind, width, height;
  std::uint16_t bucket;
  std::uint32_t tag;
  const char* cells;  // rows of ". X O #" (# outside the region)
};

const TPinnedHash kPinned[] = {
#include "PositionHashPins.inc"
};

TEST(PositionHash, PinnedValuesOfEveryReadingKind) {
  ASSERT_GE(std::size(kPinned), 48u);
  for (const TPinnedHash& p : kPinned) {
    const TRegionWord region = MakeRegion(p.kind, p.width, p.height);
    const std::string cells = p.cells;
    ASSERT_EQ(cells.size(), static_cast<std::size_t>(p.width * p.height));
    TMatrix m(cells.size(), 0);
    for (std::size_t i = 0; i < cells.size(); ++i)
      m[i] = cells[i] == 'X'   ? kCellBlack
             : cells[i] == 'O' ? kCellWhite
             : cells[i] == '#' ? kCellOutside
                               : 0;
    const TPositionHash h = PositionHash(m, region);
    EXPECT_EQ(h.bucket, p.bucket) << "region " << std::hex << region << "\n" << cells;
    EXPECT_EQ(h.tag, p.tag) << "region " << std::hex << region << "\n" << cells;
  }
}

TEST(PositionHash, StonesOutsideTheRegionCountAsEmpty) {
  // 255 cells (state 3) use the zero block, like empty cells.
  const TRegionWord region = MakeRegion(3, 6, 6);
  TMatrix a(36, 0), b(36, 0);
  a[7] = b[7] = kCellBlack;
  b[35] = kCellOutside;
  EXPECT_EQ(PositionHash(a, region), PositionHash(b, region));
}

}  // namespace
}  // namespace kessaro
