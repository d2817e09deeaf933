#include "bases/PositionBase.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "board/CheckSum.h"
#include "board/HashFunc.h"
#include "board/PositionFunc.h"
#include "support/ByteFixtures.h"
#include "support/TestSupport.h"

namespace kessaro {
namespace {

using test::TBytes;

constexpr TRegionWord kBoard9 = MakeRegion(rkWholeBoard, 9, 9);
constexpr TRegionWord kCorner7 = MakeRegion(rkCorner, 7, 7);

// No symmetry of its own and no colour symmetry: two black stones, one white.
const char* const kLopsided =
    "X........\n"
    "..O......\n"
    ".........\n"
    ".........\n"
    "....X....\n"
    ".........\n"
    ".........\n"
    ".........\n"
    ".........\n";

TMatrix Lopsided() {
  return test::Diagram(kLopsided, 9, 9);
}

TMatrix Transformed(TMatrix m, TSymmetry code, TRegionWord region) {
  TransformMatrix(m, code & 7, RegionWidth(region), RegionHeight(region));
  if (code & kSymColours) InvertColours(m);
  return m;
}

std::uint64_t FileOffset(std::uint32_t wordIndex) {
  return 4 + std::uint64_t{wordIndex} * 4;
}

struct TOpened {
  TCustomPositionBase base;
  explicit TOpened(const std::string& path, bool create = false) {
    base.SetReadOnly(false);
    EXPECT_TRUE(create ? base.CreateNew(path) : base.Open(path)) << path;
  }
};

std::uint32_t BucketWord(TCustomPositionBase& base, const TMatrix& m, TRegionWord region) {
  for (const auto& t : base.Tables())
    if (t.Region == region) return base.ReadBuckets(t)[PositionHash(m, region).bucket];
  return 0;
}

TPosData Bytes(std::initializer_list<int> values) {
  TPosData d;
  for (int v : values) d.push_back(static_cast<std::uint8_t>(v));
  return d;
}

// ---------------------------------------------------------------------------------------------
// The stored layout, written out by hand for one position.

TEST(PositionBase, OnePositionHasTheDescribedLayout) {
  const std::string path = test::TempPath("layout.pos");
  const TMatrix m = Lopsided();
  const TPosData data = Bytes({1, 2, 3, 4, 5, 6, 7, 8});
  {
    TOpened o(path, true);
    ASSERT_TRUE(o.base.StorePosition(m, kBoard9, data));
  }
  const TBytes file = test::ReadFileBytes(path);
  TBoardPosition pos;
  ASSERT_TRUE(EncodePosition(m, coBest, kBoard9, pos));
  const std::size_t recordAt = 4 + 32 + 32 + kBucketTableSize;  // word 65552
  ASSERT_EQ(file.size(), recordAt + 4 + pos.size() + data.size());

  auto le16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(file[at] | file[at + 1] << 8);
  };
  auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
                                      static_cast<std::uint32_t>(file[at + 3]) << 24);
  };
  // Header: FirstTable 8, FirstFree 0, Crc16 of bytes 0-29.
  EXPECT_EQ(le32(4 + 20), 8u);
  EXPECT_EQ(le32(4 + 24), 0u);
  EXPECT_EQ(le16(4 + 30), Crc16(file.data() + 4, 30));
  // Table record at word 8, buckets at word 16.
  EXPECT_EQ(le32(36), kBoard9);
  EXPECT_EQ(le32(36 + 4), 16u);
  EXPECT_EQ(le32(36 + 8), Crc32(file.data() + 68, kBucketTableSize));
  EXPECT_EQ(le32(36 + 12), 0u);
  EXPECT_EQ(le32(36 + 16), 0u);
  EXPECT_EQ(le16(36 + 22), Crc16(file.data() + 36, 22));
  // The bucket of the hash points at the record; every other bucket is empty.
  const std::uint16_t bucket = PositionHash(m, kBoard9).bucket;
  for (std::uint32_t b = 0; b < kBucketCount; ++b)
    ASSERT_EQ(le32(68 + 4 * b), b == bucket ? 65552u : 0u) << b;
  // The record: Crc16 of everything after it, d, the position, the data.
  EXPECT_EQ(le16(recordAt), Crc16(file.data() + recordAt + 2, file.size() - recordAt - 2));
  EXPECT_EQ(le16(recordAt + 2), data.size());
  EXPECT_EQ(TBytes(file.begin() + static_cast<std::ptrdiff_t>(recordAt + 4),
                   file.begin() + static_cast<std::ptrdiff_t>(recordAt + 4 + pos.size())),
            pos);
  EXPECT_EQ(TBytes(file.end() - 8, file.end()), data);
}

// ---------------------------------------------------------------------------------------------
// Lookup

TEST(PositionBase, TurnedAndColourSwappedLookupReturnsCode11) {
  const std::string path = test::TempPath("turn.pos");
  TOpened o(path, true);
  const TPosData data = Bytes({9, 8, 7});
  ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, data));
  const TMatrix query = Transformed(Lopsided(), 3 | kSymColours, kBoard9);
  TSymmetry code = 0;
  TPosData found;
  ASSERT_TRUE(o.base.FindPosition(query, kBoard9, code, found));
  EXPECT_EQ(code, 11);
  EXPECT_EQ(found, data);
  // The same board in another region kind is another position.
  EXPECT_FALSE(o.base.FindPosition(query, MakeRegion(rkCentre, 9, 9), code, found));
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(o.base.TakeErrors(), 0u);
}

TEST(PositionBase, EveryCodeOfTheRegionIsFoundAndReported) {
  const std::string path = test::TempPath("codes.pos");
  TOpened o(path, true);
  ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({1})));
  for (int c = 0; c < 16; ++c) {
    TSymmetry code = 0xFF;
    TPosData found;
    ASSERT_TRUE(o.base.FindPosition(Transformed(Lopsided(), static_cast<TSymmetry>(c), kBoard9),
                                    kBoard9, code, found))
        << c;
    EXPECT_EQ(code, c);
  }
}

// Finds every bucket that three different positions of a region share, searching random ones.
std::vector<TMatrix> CollidingPositions(TRegionWord region, std::size_t count) {
  std::mt19937 rng(7);
  std::map<std::uint16_t, std::vector<TMatrix>> byBucket;
  for (;;) {
    TMatrix m = test::RandomPosition(rng, RegionWidth(region), RegionHeight(region), 30);
    auto& list = byBucket[PositionHash(m, region).bucket];
    list.push_back(m);
    if (list.size() == count) return list;
  }
}

TEST(PositionBase, BucketCollisionsGrowATagList) {
  const std::string path = test::TempPath("collide.pos");
  const std::vector<TMatrix> same = CollidingPositions(kCorner7, 3);
  {
    TOpened o(path, true);
    for (std::size_t i = 0; i < 3; ++i) {
      ASSERT_TRUE(o.base.StorePosition(same[i], kCorner7, Bytes({static_cast<int>(i), 0, 0, 0})));
      const std::uint32_t word = BucketWord(o.base, same[i], kCorner7);
      TPosTags tags;
      if (i == 0) {
        EXPECT_EQ(word & kTagListBit, 0u);
        continue;
      }
      ASSERT_NE(word & kTagListBit, 0u);
      ASSERT_TRUE(o.base.ReadTagList(word & ~kTagListBit, tags));
      ASSERT_EQ(tags.size(), i + 1);
      for (std::size_t k = 0; k <= i; ++k)
        EXPECT_EQ(tags[k].Tag, PositionHash(same[k], kCorner7).tag);
    }
    // Growing from two items to three released the list of two (4 + 2 * 8 bytes).
    const auto free = o.base.FreeBlocks();
    ASSERT_EQ(free.size(), 1u);
    EXPECT_EQ(free[0].Size, 20u);
  }
  TOpened o(path);
  for (std::size_t i = 0; i < 3; ++i) {
    TSymmetry code = 0;
    TPosData found;
    ASSERT_TRUE(o.base.FindPosition(same[i], kCorner7, code, found)) << i;
    EXPECT_EQ(found, Bytes({static_cast<int>(i), 0, 0, 0}));
  }
  // Replacing the middle one rewrites its item in place.
  const std::uint32_t listWord = BucketWord(o.base, same[1], kCorner7);
  ASSERT_TRUE(o.base.StorePosition(same[1], kCorner7, Bytes({42})));
  EXPECT_EQ(BucketWord(o.base, same[1], kCorner7), listWord);
  TSymmetry code = 0;
  TPosData found;
  ASSERT_TRUE(o.base.FindPosition(same[1], kCorner7, code, found));
  EXPECT_EQ(found, Bytes({42}));
  ASSERT_TRUE(o.base.FindPosition(same[2], kCorner7, code, found));
  EXPECT_EQ(found, Bytes({2, 0, 0, 0}));
  EXPECT_EQ(o.base.TakeErrors(), 0u);
}

TEST(PositionBase, ReplacementFreesTheOldRecordForALaterRecordOfItsSize) {
  const std::string path = test::TempPath("replace.pos");
  TOpened o(path, true);
  const TMatrix p = Lopsided();
  TMatrix q(81, 0);
  q[40] = kCellBlack;
  std::vector<std::pair<std::uint32_t, TPosData>> written;
  o.base.OnWriteRecord = [&](TCustomPositionBase&, std::uint32_t index, const TPosData& d) {
    written.emplace_back(index, d);
  };
  TBoardPosition pp, pq;
  ASSERT_TRUE(EncodePosition(p, coBest, kBoard9, pp));
  ASSERT_TRUE(EncodePosition(q, coBest, kBoard9, pq));

  // A first record whose size is a multiple of 4, so that one byte less rounds the same.
  const std::size_t d1 = 8 + (4 - (4 + pp.size() + 8) % 4) % 4;
  const std::size_t size1 = 4 + pp.size() + d1;
  ASSERT_TRUE(o.base.StorePosition(p, kBoard9, TPosData(d1, 1)));
  const std::uint32_t first = BucketWord(o.base, p, kBoard9);
  // Same rounded size: the released block is taken again at once.
  ASSERT_TRUE(o.base.StorePosition(p, kBoard9, TPosData(d1 - 1, 2)));
  EXPECT_EQ(BucketWord(o.base, p, kBoard9), first);
  EXPECT_TRUE(o.base.FreeBlocks().empty());
  // Larger: the old block goes to the free list ...
  ASSERT_TRUE(o.base.StorePosition(p, kBoard9, TPosData(40, 3)));
  const std::uint32_t moved = BucketWord(o.base, p, kBoard9);
  EXPECT_NE(moved, first);
  const auto free = o.base.FreeBlocks();
  ASSERT_EQ(free.size(), 1u);
  EXPECT_EQ(free[0].Index, first);
  EXPECT_EQ(free[0].Size, size1);
  // ... and a later record of that rounded size reuses it.
  const std::size_t dq = size1 - 4 - pq.size();
  ASSERT_TRUE(o.base.StorePosition(q, kBoard9, TPosData(dq, 4)));
  EXPECT_EQ(BucketWord(o.base, q, kBoard9), first);
  EXPECT_TRUE(o.base.FreeBlocks().empty());

  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[2].first, moved);
  EXPECT_EQ(written[2].second, TPosData(40, 3));
  EXPECT_EQ(written[3].first, first);
  TSymmetry code = 0;
  TPosData found;
  ASSERT_TRUE(o.base.FindPosition(p, kBoard9, code, found));
  EXPECT_EQ(found, TPosData(40, 3));
  ASSERT_TRUE(o.base.FindPosition(q, kBoard9, code, found));
  EXPECT_EQ(found, TPosData(dq, 4));
  EXPECT_EQ(o.base.TakeErrors(), 0u);
}

TEST(PositionBase, TakingAFreeBlockRelinksItsNeighbours) {
  TMatrix q(81, 0);
  q[10] = kCellWhite;
  TBoardPosition pq;
  ASSERT_TRUE(EncodePosition(q, coBest, kBoard9, pq));
  for (std::size_t taken = 0; taken < 3; ++taken) {
    const std::string path = test::TempPath("relink.pos");
    std::vector<TPosFreeBlock> before;
    {
      TOpened o(path, true);
      for (int i = 0; i < 3; ++i) {
        TMatrix m(81, 0);
        m[static_cast<std::size_t>(50 + i)] = kCellBlack;
        ASSERT_TRUE(
            o.base.StorePosition(m, kBoard9, TPosData(8 + 32 * static_cast<std::size_t>(i), 1)));
        ASSERT_TRUE(o.base.StorePosition(m, kBoard9, TPosData(300, 2)));
      }
      before = o.base.FreeBlocks();
      ASSERT_EQ(before.size(), 3u);
      ASSERT_TRUE(
          o.base.StorePosition(q, kBoard9, TPosData(before[taken].Size - 4 - pq.size(), 3)));
      EXPECT_EQ(BucketWord(o.base, q, kBoard9), before[taken].Index);
    }
    TOpened o(path);
    EXPECT_EQ(o.base.TakeErrors(), 0u) << taken;
    std::vector<std::uint32_t> left;
    for (const auto& f : o.base.FreeBlocks()) left.push_back(f.Index);
    std::vector<std::uint32_t> expected;
    for (std::size_t i = 0; i < 3; ++i)
      if (i != taken) expected.push_back(before[i].Index);
    EXPECT_EQ(left, expected) << taken;
  }
}

TEST(PositionBase, EmptyDataForAnUnknownPositionChangesNothing) {
  const std::vector<TMatrix> same = CollidingPositions(kCorner7, 4);
  struct Case {
    const char* name;
    int stored;  // positions of the bucket stored before
  };
  for (const Case c : {Case{"no table", -1}, Case{"empty bucket", 0}, Case{"single record", 1},
                       Case{"tag list", 2}}) {
    const std::string path = test::TempPath("empty.pos");
    TOpened o(path, true);
    TMatrix elsewhere(49, 0);
    elsewhere[8] = kCellBlack;
    ASSERT_NE(PositionHash(elsewhere, kCorner7).bucket, PositionHash(same[3], kCorner7).bucket);
    if (c.stored == 0) {
      ASSERT_TRUE(o.base.StorePosition(elsewhere, kCorner7, Bytes({1})));
    }
    for (int i = 0; i < c.stored; ++i)
      ASSERT_TRUE(o.base.StorePosition(same[static_cast<std::size_t>(i)], kCorner7, Bytes({i})));
    const std::uint32_t size = o.base.LogicalSize();
    const std::size_t pages = o.base.PendingPages();
    const std::size_t tables = o.base.Tables().size();
    ASSERT_TRUE(o.base.StorePosition(same[3], kCorner7, {})) << c.name;
    EXPECT_EQ(o.base.LogicalSize(), size) << c.name;
    EXPECT_EQ(o.base.PendingPages(), pages) << c.name;
    EXPECT_EQ(o.base.Tables().size(), tables) << c.name;
    TSymmetry code = 0;
    TPosData found;
    EXPECT_FALSE(o.base.FindPosition(same[3], kCorner7, code, found)) << c.name;
  }
}

TEST(PositionBase, RefusedStoresLeaveTheFileAlone) {
  const std::string path = test::TempPath("refuse.pos");
  TOpened o(path, true);
  const std::uint32_t size = o.base.LogicalSize();
  EXPECT_FALSE(o.base.StorePosition(Lopsided(), kBoard9, TPosData(kMaxPosData + 1, 1)));
  EXPECT_FALSE(o.base.StorePosition(Lopsided(), MakeRegion(rkWholeBoard, 9, 8), Bytes({1})));
  EXPECT_FALSE(o.base.StorePosition(TMatrix(80, 0), kBoard9, Bytes({1})));  // short matrix
  EXPECT_EQ(o.base.LogicalSize(), size);
  EXPECT_TRUE(o.base.Tables().empty());
  ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, TPosData(kMaxPosData, 1)));
  TSymmetry code = 0;
  TPosData found;
  ASSERT_TRUE(o.base.FindPosition(Lopsided(), kBoard9, code, found));
  EXPECT_EQ(found.size(), kMaxPosData);
  // A reserved byte in the region word does not make another table.
  ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9 | 0x7F000000, Bytes({2})));
  EXPECT_EQ(o.base.Tables().size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Ten thousand positions through a save

struct TStored {
  TRegionWord region;
  TMatrix original;
  TSymmetry shownAs;  // the orientation it was stored in
  TPosData data;
};

TSymmetry RandomCode(std::mt19937& rng, TRegionWord region) {
  const std::uint8_t set = RegionSymmetries(region);
  std::vector<TSymmetry> codes;
  for (int c = 0; c < 8; ++c)
    if (set & (1u << c)) codes.push_back(static_cast<TSymmetry>(c));
  if (codes.empty()) codes.push_back(0);
  TSymmetry c = codes[std::uniform_int_distribution<std::size_t>(0, codes.size() - 1)(rng)];
  if (rng() & 1) c |= kSymColours;
  return c;
}

TEST(PositionBase, TenThousandRandomPositionsSurviveASaveInAnyOrientation) {
  const std::string path = test::TempPath("many.pos");
  const TRegionWord regions[] = {
      MakeRegion(rkWholeBoard, 19, 19), MakeRegion(rkWholeBoard, 9, 9),
      MakeRegion(rkCorner, 7, 7),       MakeRegion(rkCorner, 10, 7),
      MakeRegion(rkUpperPart, 19, 6),   MakeRegion(rkUpperStretch, 11, 6),
      MakeRegion(rkCentre, 7, 7),       MakeRegion(rkCentre, 9, 5),
      MakeRegion(rkBand, 5, 19)};
  std::mt19937 rng(20240501);
  std::vector<TStored> stored;
  {
    TOpened o(path, true);
    while (stored.size() < 10000) {
      TStored s;
      s.region = regions[rng() % std::size(regions)];
      s.original = test::RandomPosition(rng, RegionWidth(s.region), RegionHeight(s.region),
                                        static_cast<int>(rng() % 60));
      s.data.resize(1 + rng() % 40);
      for (auto& b : s.data) b = static_cast<std::uint8_t>(rng());
      s.shownAs = RandomCode(rng, s.region);
      const TMatrix shown = Transformed(s.original, s.shownAs, s.region);
      TSymmetry code = 0;
      TPosData found;
      if (o.base.FindPosition(shown, s.region, code, found)) continue;  // drawn twice
      ASSERT_TRUE(o.base.StorePosition(shown, s.region, s.data));
      stored.push_back(std::move(s));
    }
    ASSERT_EQ(o.base.TakeErrors(), 0u);
  }
  TOpened o(path);
  ASSERT_EQ(o.base.TakeErrors(), 0u);
  ASSERT_EQ(CheckPositionBase(o.base).Positions, stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const TStored& s = stored[i];
    const TMatrix query = Transformed(s.original, RandomCode(rng, s.region), s.region);
    TSymmetry code = 0;
    TPosData found;
    ASSERT_TRUE(o.base.FindPosition(query, s.region, code, found)) << i;
    ASSERT_EQ(found, s.data) << i;
    // The code turns the stored orientation into the query.
    EXPECT_EQ(Transformed(Transformed(s.original, s.shownAs, s.region), code, s.region), query)
        << i;
  }
}

// ---------------------------------------------------------------------------------------------
// Damage

struct TThreeTables {
  std::string path;
  std::vector<TPosTable> tables;
  std::vector<TPosFreeBlock> free;
  const TRegionWord regions[3] = {kBoard9, kCorner7, MakeRegion(rkCentre, 7, 7)};
  TMatrix Position(int i) const {
    std::mt19937 rng(static_cast<unsigned>(100 + i));
    const TRegionWord r = regions[i % 3];
    return test::RandomPosition(rng, RegionWidth(r), RegionHeight(r), 40);
  }
  TRegionWord Region(int i) const { return regions[i % 3]; }
  static constexpr int kCount = 30;

  explicit TThreeTables(const std::string& name) : path(test::TempPath(name)) {
    TOpened o(path, true);
    for (int i = 0; i < kCount; ++i)
      EXPECT_TRUE(o.base.StorePosition(Position(i), Region(i), TPosData(4, 1)));
    // Three replacements by larger data leave three free blocks.
    for (int i = 0; i < 3; ++i)
      EXPECT_TRUE(o.base.StorePosition(Position(i), Region(i), TPosData(200, 2)));
    tables = o.base.Tables();
    free = o.base.FreeBlocks();
  }
  int Found(TCustomPositionBase& base) const {
    int n = 0;
    for (int i = 0; i < kCount; ++i) {
      TSymmetry code = 0;
      TPosData found;
      n += base.FindPosition(Position(i), Region(i), code, found) ? 1 : 0;
    }
    return n;
  }
};

TEST(PositionBase, CorruptTablesAreSkippedAndTheRestStaysUsable) {
  struct Case {
    const char* name;
    int table;        // whose record or buckets are hit; -1: the header
    bool buckets;     // hit the bucket table rather than the record
    int expectFound;  // positions still found
    std::size_t tablesLeft;
    int foundAfterStore;  // position 0 (of the first table) stored again, saved and reopened
  };
  for (const Case c :
       {Case{"header", -1, false, 30, 3, 30}, Case{"first record", 0, false, 20, 2, 21},
        Case{"middle record", 1, false, 20, 2, 20}, Case{"unused bucket", 2, true, 30, 3, 30}}) {
    TThreeTables t("tables.pos");
    const std::uint64_t at =
        c.table < 0 ? 4 + 5
        : c.buckets ? FileOffset(t.tables[static_cast<std::size_t>(c.table)].Buckets) + 8
                    : FileOffset(t.tables[static_cast<std::size_t>(c.table)].Index) + 1;
    test::FlipByte(t.path, at, 0x10);
    {
      TOpened o(t.path);
      EXPECT_TRUE(o.base.TakeErrors() & ErrCorrupt) << c.name;
      EXPECT_EQ(o.base.Tables().size(), c.tablesLeft) << c.name;
      EXPECT_EQ(t.Found(o.base), c.expectFound) << c.name;
      if (c.table == -1) {
        EXPECT_TRUE(o.base.FreeBlocks().empty()) << c.name;
      }
      // Still usable for stores, in the lost region too.
      EXPECT_TRUE(o.base.StorePosition(t.Position(0), t.Region(0), TPosData(4, 9))) << c.name;
    }
    // The save repaired the chains: the next open is clean.
    TOpened o(t.path);
    EXPECT_EQ(o.base.TakeErrors(), 0u) << c.name;
    EXPECT_EQ(t.Found(o.base), c.foundAfterStore) << c.name;
  }
}

TEST(PositionBase, CorruptFreeChainIsCutAfterTheLastGoodBlock) {
  for (std::size_t hit = 0; hit < 3; ++hit) {
    TThreeTables t("free.pos");
    ASSERT_EQ(t.free.size(), 3u);
    test::FlipByte(t.path, FileOffset(t.free[hit].Index) + 9, 0x01);
    {
      TOpened o(t.path);
      EXPECT_TRUE(o.base.TakeErrors() & ErrCorrupt) << hit;
      EXPECT_EQ(o.base.FreeBlocks().size(), hit) << hit;
      EXPECT_EQ(t.Found(o.base), 30) << hit;
    }
    TOpened o(t.path);
    EXPECT_EQ(o.base.TakeErrors(), 0u) << hit;
    EXPECT_EQ(o.base.FreeBlocks().size(), hit) << hit;
  }
}

TEST(PositionBase, CorruptRecordsAndTagListsOnlyLoseThemselves) {
  const std::vector<TMatrix> same = CollidingPositions(kCorner7, 2);
  const std::string path = test::TempPath("records.pos");
  std::uint32_t list = 0, lone = 0;
  {
    TOpened o(path, true);
    ASSERT_TRUE(o.base.StorePosition(same[0], kCorner7, Bytes({1, 1, 1, 1})));
    ASSERT_TRUE(o.base.StorePosition(same[1], kCorner7, Bytes({2, 2, 2, 2})));
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({3, 3, 3, 3})));
    list = BucketWord(o.base, same[0], kCorner7) & ~kTagListBit;
    lone = BucketWord(o.base, Lopsided(), kBoard9);
  }
  const TBytes good = test::ReadFileBytes(path);
  TSymmetry code = 0;
  TPosData found;
  {
    test::FlipByte(path, FileOffset(lone) + 5, 0x40);  // inside the position bytes
    TOpened o(path);
    EXPECT_FALSE(o.base.FindPosition(Lopsided(), kBoard9, code, found));
    EXPECT_TRUE(o.base.TakeErrors() & ErrCorrupt);
    EXPECT_TRUE(o.base.FindPosition(same[1], kCorner7, code, found));
    // Storing it again puts a good record into the bucket.
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({4})));
    ASSERT_TRUE(o.base.FindPosition(Lopsided(), kBoard9, code, found));
    EXPECT_EQ(found, Bytes({4}));
  }
  test::WriteFileBytes(path, good);
  {
    test::FlipByte(path, FileOffset(list) + 6, 0x01);  // a tag of the list
    TOpened o(path);
    EXPECT_FALSE(o.base.FindPosition(same[0], kCorner7, code, found));
    EXPECT_FALSE(o.base.FindPosition(same[1], kCorner7, code, found));
    EXPECT_TRUE(o.base.TakeErrors() & ErrCorrupt);
    EXPECT_TRUE(o.base.FindPosition(Lopsided(), kBoard9, code, found));
    ASSERT_TRUE(o.base.StorePosition(same[1], kCorner7, Bytes({5})));
    ASSERT_TRUE(o.base.FindPosition(same[1], kCorner7, code, found));
    EXPECT_EQ(found, Bytes({5}));
  }
  TOpened o(path);
  EXPECT_EQ(o.base.TakeErrors(), 0u);
  EXPECT_TRUE(CheckPositionBase(o.base).Ok());
}

TEST(PositionBase, HostileIndexesAndLengthsAreRefused) {
  const std::string path = test::TempPath("hostile.pos");
  std::uint32_t record = 0, buckets = 0;
  std::uint16_t bucket = 0;
  {
    TOpened o(path, true);
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({1, 2, 3, 4})));
    record = BucketWord(o.base, Lopsided(), kBoard9);
    buckets = o.base.Tables()[0].Buckets;
    bucket = PositionHash(Lopsided(), kBoard9).bucket;
  }
  const TBytes good = test::ReadFileBytes(path);
  struct Case {
    const char* name;
    std::uint64_t at;
    std::uint32_t value;  // a 32-bit word written there
  };
  for (const Case c : {Case{"bucket into the header", FileOffset(buckets + bucket), 3},
                       Case{"bucket into its own table", FileOffset(buckets + bucket), buckets + 9},
                       Case{"bucket past the end", FileOffset(buckets + bucket), 0x7FFFFFF0},
                       Case{"tag list past the end", FileOffset(buckets + bucket), 0xFFFFFFFF},
                       Case{"data length past the end", FileOffset(record), 0xFFFF0000}}) {
    TBytes bytes = good;
    test::PutLE32(bytes, c.at, c.value);
    test::WriteFileBytes(path, bytes);
    TOpened o(path);
    o.base.TakeErrors();  // the bucket table's checksum no longer matches
    TSymmetry code = 0;
    TPosData found;
    EXPECT_FALSE(o.base.FindPosition(Lopsided(), kBoard9, code, found)) << c.name;
    EXPECT_TRUE(o.base.TakeErrors() & ErrCorrupt) << c.name;
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({7}))) << c.name;
    ASSERT_TRUE(o.base.FindPosition(Lopsided(), kBoard9, code, found)) << c.name;
    EXPECT_EQ(found, Bytes({7})) << c.name;
  }
  // A free chain that loops back on itself.
  {
    TOpened o(path, true);
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, TPosData(8, 1)));
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, TPosData(20, 1)));
    ASSERT_EQ(o.base.FreeBlocks().size(), 1u);
    record = o.base.FreeBlocks()[0].Index;
  }
  TBytes bytes = test::ReadFileBytes(path);
  test::PutLE32(bytes, FileOffset(record) + 8, record);
  test::PutLE16(bytes, FileOffset(record) + 12, Crc16(bytes.data() + FileOffset(record), 12));
  test::WriteFileBytes(path, bytes);
  {
    TOpened o(path);
    EXPECT_TRUE(o.base.TakeErrors() & ErrCorrupt);
    EXPECT_EQ(o.base.FreeBlocks().size(), 1u);
  }
  // A free block grown over the stored record behind it is never handed out.
  bytes = test::ReadFileBytes(path);
  const std::uint32_t size = bytes[FileOffset(record)] | bytes[FileOffset(record) + 1] << 8;
  test::PutLE32(bytes, FileOffset(record), size + 16);
  test::PutLE16(bytes, FileOffset(record) + 12, Crc16(bytes.data() + FileOffset(record), 12));
  test::WriteFileBytes(path, bytes);
  TOpened o(path);
  EXPECT_TRUE(o.base.TakeErrors() & ErrCorrupt);
  EXPECT_TRUE(o.base.FreeBlocks().empty());
  TMatrix other(81, 0);
  other[3] = kCellWhite;
  TBoardPosition po;
  ASSERT_TRUE(EncodePosition(other, coBest, kBoard9, po));
  ASSERT_TRUE(o.base.StorePosition(other, kBoard9, TPosData(size + 16 - 4 - po.size(), 5)));
  TSymmetry code = 0;
  TPosData found;
  ASSERT_TRUE(o.base.FindPosition(Lopsided(), kBoard9, code, found));
  EXPECT_EQ(found, TPosData(20, 1));
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST(PositionBase, FailedSaveLeavesThePreviousFile) {
  const std::string path = test::TempPath("atomic.pos");
  {
    TOpened o(path, true);
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({1})));
  }
  const TBytes before = test::ReadFileBytes(path);
  {
    TOpened o(path);
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, TPosData(30, 2)));
    ASSERT_TRUE(o.base.StorePosition(CollidingPositions(kCorner7, 1)[0], kCorner7, Bytes({3})));
    SetFaultHook([](TFileOp op) { return op == TFileOp::foRename ? EIO : 0; });
    o.base.Close();
    SetFaultHook({});
    EXPECT_TRUE(o.base.TakeErrors() & ErrIO);
  }
  EXPECT_EQ(test::ReadFileBytes(path), before);
  TOpened o(path);
  EXPECT_EQ(o.base.TakeErrors(), 0u);
  TSymmetry code = 0;
  TPosData found;
  ASSERT_TRUE(o.base.FindPosition(Lopsided(), kBoard9, code, found));
  EXPECT_EQ(found, Bytes({1}));
}

TEST(PositionBase, ReadOnlyBaseFindsAndNeverStores) {
  const std::string path = test::TempPath("ro.pos");
  {
    TOpened o(path, true);
    ASSERT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({1})));
  }
  const TBytes before = test::ReadFileBytes(path);
  {
    TCustomPositionBase base;
    ASSERT_TRUE(base.Open(path));
    TSymmetry code = 0;
    TPosData found;
    EXPECT_TRUE(base.FindPosition(Lopsided(), kBoard9, code, found));
    EXPECT_FALSE(base.StorePosition(Lopsided(), kBoard9, Bytes({2})));
  }
  EXPECT_EQ(test::ReadFileBytes(path), before);
  // An empty writable file opens as an empty base; a short one is corrupt.
  const std::string empty = test::TempPath("empty.pos");
  test::WriteFileBytes(empty, {});
  TOpened o(empty);
  EXPECT_EQ(o.base.TakeErrors(), 0u);
  EXPECT_TRUE(o.base.StorePosition(Lopsided(), kBoard9, Bytes({1})));
  const std::string shortFile = test::TempPath("short.pos");
  test::WriteFileBytes(shortFile, {0, 0, 0, 0, 1, 2, 3});
  TOpened s(shortFile);
  EXPECT_TRUE(s.base.TakeErrors() & ErrCorrupt);
  EXPECT_TRUE(s.base.StorePosition(Lopsided(), kBoard9, Bytes({1})));
}

}  // namespace
}  // namespace kessaro

namespace kessaro {
namespace {

// ---------------------------------------------------------------------------------------------
// TPositionBase: the ".pos" file with its two string bases

class TestPositionBase : public TPositionBase {
 public:
  TestPositionBase() { SetReadOnly(false); }
  bool HasFreeSpace() override { return freeSpace; }
  bool freeSpace = true;
};

// A fresh base name: none of the five files exists.
std::string BaseName(const std::string& name) {
  for (const char* ext : {".pos", ".str", ".sid", ".ltr", ".lid"}) test::TempPath(name + ext);
  return test::TempPath(name);
}

TStringSet English(const std::string& text) {
  TStringSet s;
  s.SetText(1033, text);
  return s;
}

TEST(PositionBaseFiles, OpenMakesAllFilesAndFindMovesMapsTheMoves) {
  const std::string name = BaseName("Data");
  const TPosMove stored{static_cast<TMoveWord>(MakeMove(1, 2) | kLadderFlag), 2 * 13 + 1,
                        kPosMoveFromGames, 5};
  {
    TestPositionBase b;
    ASSERT_TRUE(b.Open(name));
    ASSERT_TRUE(b.StoreMoves(Lopsided(), kBoard9, {stored, {MakeMove(8, 8, true), 0, 2, 0}}));
    b.CommentBase().Write(5, std::make_unique<TStringSet>(English("hane")).get());
    b.LetterBase().Write(1, std::make_unique<TStringSet>(English("Kessaro Dictionary")).get());
  }
  for (const char* ext : {".pos", ".str", ".sid", ".ltr", ".lid"})
    EXPECT_TRUE(FileExists(name + ext)) << ext;
  const TBytes pos = test::ReadFileBytes(name + ".pos");
  ASSERT_GE(pos.size(), 4u);
  EXPECT_EQ(TBytes(pos.begin(), pos.begin() + 4), (TBytes{0x13, 0x01, 0x81, 0x19}));

  TestPositionBase b;
  ASSERT_TRUE(b.Open(name + ".pos"));
  EXPECT_EQ(b.TakeErrors(), 0u);
  TPosMoves moves;
  ASSERT_TRUE(b.FindMoves(Transformed(Lopsided(), 3 | kSymColours, kBoard9), kBoard9, moves));
  ASSERT_EQ(moves.size(), 2u);
  // Code 3 on 9 x 9: (1, 2) -> swapped (2, 1) -> mirrored (6, 1); the colour swap makes it White.
  EXPECT_EQ(moves[0].Move, MakeMove(6, 1, true) | kLadderFlag);
  EXPECT_EQ(moves[0].Annotation, stored.Annotation);
  EXPECT_EQ(moves[0].Flags, kPosMoveFromGames);
  EXPECT_EQ(moves[0].Comment, 5u);
  EXPECT_EQ(moves[1].Move, MakeMove(0, 8, false));
  TStringSet comment, source;
  b.CommentBase().Read(5, comment);
  b.LetterBase().Read(1, source);
  EXPECT_EQ(comment.GetText(1033), "hane");
  EXPECT_EQ(source.GetText(1033), "Kessaro Dictionary");
  // Data that is not a list of moves reads as none.
  ASSERT_TRUE(b.StorePosition(Lopsided(), kBoard9, TPosData(7, 1)));
  EXPECT_FALSE(b.FindMoves(Lopsided(), kBoard9, moves));
  EXPECT_TRUE(moves.empty());
}

TEST(PositionBaseFiles, AFailedStringBaseClosesEverythingAndWritesNothing) {
  const std::string name = BaseName("Fails");
  std::filesystem::create_directory(name + ".ltr");  // the letter base cannot be opened
  TestPositionBase b;
  EXPECT_FALSE(b.Open(name));
  EXPECT_FALSE(b.Active());
  EXPECT_FALSE(b.CommentBase().Active());
  EXPECT_FALSE(FileExists(name + ".pos"));
  b.TakeErrors();
  // An existing position file is left exactly as it was.
  std::filesystem::remove(name + ".ltr");
  ASSERT_TRUE(b.Open(name));
  ASSERT_TRUE(b.StoreMoves(Lopsided(), kBoard9, {{MakeMove(1, 1), 0, 1, 0}}));
  b.Close();
  const TBytes before = test::ReadFileBytes(name + ".pos");
  std::filesystem::remove(name + ".ltr");
  std::filesystem::create_directory(name + ".ltr");
  EXPECT_FALSE(b.Open(name));
  EXPECT_EQ(test::ReadFileBytes(name + ".pos"), before);
}

TEST(PositionBaseFiles, SaveSwitchAndReopenCoverAllThreeBases) {
  const std::string name = BaseName("Switch");
  TestPositionBase b;
  ASSERT_TRUE(b.Open(name));
  ASSERT_TRUE(b.StoreMoves(Lopsided(), kBoard9, {{MakeMove(1, 1), 0, 1, 1}}));
  b.CommentBase().Write(1, std::make_unique<TStringSet>(English("kept")).get());
  ASSERT_TRUE(b.Reopen());
  TPosMoves moves;
  EXPECT_TRUE(b.FindMoves(Lopsided(), kBoard9, moves));
  ASSERT_TRUE(b.StoreMoves(Lopsided(), kBoard9, {}));
  b.CommentBase().Write(1, std::make_unique<TStringSet>(English("dropped")).get());
  b.LetterBase().Write(1, std::make_unique<TStringSet>(English("dropped")).get());
  b.SetSaveEnabled(false);
  ASSERT_TRUE(b.Reopen());
  b.SetSaveEnabled(true);
  EXPECT_TRUE(b.FindMoves(Lopsided(), kBoard9, moves));
  EXPECT_EQ(moves.size(), 1u);
  TStringSet s;
  b.CommentBase().Read(1, s);
  EXPECT_EQ(s.GetText(1033), "kept");
  b.LetterBase().Read(1, s);
  EXPECT_EQ(s.Count(), 0);
}

TEST(PositionBaseFiles, DiskFullHandlerDecidesPerFile) {
  const std::string name = BaseName("Full");
  {
    TestPositionBase b;
    ASSERT_TRUE(b.Open(name));
    ASSERT_TRUE(b.StoreMoves(Lopsided(), kBoard9, {{MakeMove(1, 1), 0, 1, 0}}));
  }
  const TBytes before = test::ReadFileBytes(name + ".pos");
  struct Case {
    const char* name;
    int retries;  // OK answers before space appears; -1: Cancel at once
    bool saved;
  };
  for (const Case c : {Case{"cancel", -1, false}, Case{"space after two", 2, true}}) {
    test::WriteFileBytes(name + ".pos", before);
    TestPositionBase b;
    ASSERT_TRUE(b.Open(name));
    ASSERT_TRUE(b.StoreMoves(Lopsided(), kBoard9, {{MakeMove(2, 2), 0, 1, 0}}));
    std::vector<std::string> asked;
    b.SetDiskFullHandler([&](const std::string& file) {
      asked.push_back(file);
      if (c.retries < 0) return false;
      if (static_cast<int>(asked.size()) == c.retries) b.freeSpace = true;
      return true;
    });
    b.freeSpace = false;
    b.Close();
    EXPECT_EQ(test::ReadFileBytes(name + ".pos") == before, !c.saved) << c.name;
    ASSERT_FALSE(asked.empty()) << c.name;
    EXPECT_EQ(asked[0], name + ".pos") << c.name;
    EXPECT_EQ(asked.size(), c.retries < 0 ? 1u : static_cast<std::size_t>(c.retries)) << c.name;
  }
  // A string base file that finds the disk full asks with the base's name; Cancel gives up
  // both of its files.
  TestPositionBase b;
  ASSERT_TRUE(b.Open(name));
  std::string asked;
  b.SetDiskFullHandler([&](const std::string& file) {
    asked = file;
    return false;
  });
  TStringHolderFile& holder = b.LetterBase().HolderFile();
  holder.OnDiskFull(holder);
  EXPECT_EQ(asked, name + ".ltr");
  EXPECT_FALSE(b.LetterBase().SaveEnabled());
  EXPECT_FALSE(b.LetterBase().TagFile().SaveEnabled());
  EXPECT_TRUE(b.CommentBase().SaveEnabled());
  EXPECT_TRUE(b.SaveEnabled());
}

}  // namespace
}  // namespace kessaro
