#include "storage/BitsField.h"

#include <gtest/gtest.h>

#include <random>

namespace kessaro {
namespace {

TEST(BitsField, BitsAreStoredLittleEndianInWords) {
  TBitsField f(40);
  EXPECT_EQ(f.ByteSize(), 8u);
  f.SetBit(0);
  f.SetBit(9);
  f.SetBit(39);
  EXPECT_EQ(f.Bits()[0], 0x01);
  EXPECT_EQ(f.Bits()[1], 0x02);
  EXPECT_EQ(f.Bits()[4], 0x80);
  EXPECT_EQ(f.GetBit(9), 1);
  EXPECT_EQ(f.GetBit(10), 0);
  EXPECT_EQ(f.TakeErrors(), 0u);
  EXPECT_EQ(f.GetBit(40), 0);
  EXPECT_EQ(f.TakeErrors(), ErrBitsRange);
}

TEST(BitsField, NextAndPreviousSetBit) {
  TBitsField f(100);
  for (std::uint32_t i : {3u, 8u, 64u, 99u}) f.SetBit(i);
  struct Case {
    std::uint32_t from, next, prev;
  };
  for (const Case c : {Case{0, 3, 100}, Case{3, 8, 100}, Case{8, 64, 3}, Case{9, 64, 8},
                       Case{64, 99, 8}, Case{98, 99, 64}, Case{99, 100, 64}, Case{150, 100, 99}}) {
    EXPECT_EQ(f.NextSetBit(c.from), c.next) << c.from;
    EXPECT_EQ(f.PrevSetBit(c.from), c.prev) << c.from;
  }
  TBitsField empty(0);
  EXPECT_EQ(empty.NextSetBit(0), 0u);
  EXPECT_EQ(empty.PrevSetBit(5), 0u);
}

TEST(BitsField, GrowingKeepsBitsAndAddsClearOnes) {
  TBitsField f(10);
  f.SetBit(2);
  f.SetBit(9);
  f.SetCount(5);  // drops bit 9
  f.SetCount(3000);
  EXPECT_EQ(f.GetBit(2), 1);
  EXPECT_EQ(f.GetBit(9), 0);
  EXPECT_EQ(f.NextSetBit(2), 3000u);
}

TEST(BitsIndexedField, RankCountsSetBitsBelowAcrossBlocks) {
  TBitsIndexedField f(1025);
  EXPECT_EQ(f.BlockCounts().size(), 2u);
  for (std::uint32_t i = 0; i < 1025; i += 3) f.SetBit(i);
  f.BuildIndex();
  EXPECT_EQ(f.Rank(0), 1u);  // the lowest set bit
  EXPECT_EQ(f.Rank(1), 0u);  // a clear bit
  EXPECT_EQ(f.Rank(1023), 342u);
  EXPECT_EQ(f.Rank(1024), 0u);
  f.SetBit(1024);
  f.BuildIndex();
  EXPECT_EQ(f.Rank(1024), 342u + 1);  // counts every set bit of the first block
  EXPECT_EQ(f.TotalSetBits(), 343u);
  TBitsIndexedField one(1024);
  EXPECT_EQ(one.BlockCounts().size(), 1u);
  EXPECT_EQ(TBitsIndexedField().TotalSetBits(), 0u);
}

TEST(BitsIndexedField, RankAgreesWithCountingOnRandomFields) {
  std::mt19937 rng(3);
  for (std::uint32_t count : {1u, 31u, 1024u, 5000u}) {
    TBitsIndexedField f(count);
    for (std::uint32_t i = 0; i < count; ++i)
      if (rng() % 3 == 0) f.SetBit(i);
    f.BuildIndex();
    std::uint32_t seen = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (f.GetBit(i)) {
        ++seen;
        ASSERT_EQ(f.Rank(i), seen) << count << " " << i;
      } else {
        ASSERT_EQ(f.Rank(i), 0u);
      }
    }
    EXPECT_EQ(f.TotalSetBits(), seen);
  }
}

}  // namespace
}  // namespace kessaro
