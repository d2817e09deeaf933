#include "bases/Statistic.h"

#include <gtest/gtest.h>

#include "storage/FileMapping.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

using test::PutLE32;
using test::TBytes;

// A statistic file: header, then records of 2 + 3K bytes, then 12-byte overflow entries.
TBytes StatFile(std::uint32_t owner, std::uint32_t k, const std::vector<TBytes>& records,
                const std::vector<std::array<std::uint32_t, 3>>& overflow) {
  TBytes b;
  PutLE32(b, 0, owner);
  PutLE32(b, 4, k);
  PutLE32(b, 8, static_cast<std::uint32_t>(records.size()));
  PutLE32(b, 12, static_cast<std::uint32_t>(overflow.size()));
  for (const auto& r : records) b.insert(b.end(), r.begin(), r.end());
  for (const auto& e : overflow)
    for (std::uint32_t v : e) {
      const std::size_t at = b.size();
      PutLE32(b, at, v);
    }
  return b;
}

TBytes Record(std::uint8_t s0, std::uint8_t s1, const std::vector<std::uint32_t>& cells) {
  TBytes r = {s0, s1};
  for (std::uint32_t c : cells) {
    r.push_back(static_cast<std::uint8_t>(c));
    r.push_back(static_cast<std::uint8_t>(c >> 8));
    r.push_back(static_cast<std::uint8_t>(c >> 16));
  }
  return r;
}

class StatAccess : public testing::TestWithParam<bool> {
 protected:
  void OpenStat(TStatistic& s, const std::string& path) {
    s.Open(path);
    s.SetMapped(GetParam());
  }
};
std::string AccessName(const testing::TestParamInfo<bool>& p) {
  return p.param ? "mapped" : "unmapped";
}
INSTANTIATE_TEST_SUITE_P(Statistic, StatAccess, testing::Bool(), AccessName);

// Cell figures: bits 0-22 all set with bit 23 clear is 1023 / 1023 / 7; bit 23 with 5 names
// overflow entry 5.
TEST_P(StatAccess, DecodesInlineCellsAndOverflowEntries) {
  std::vector<std::array<std::uint32_t, 3>> overflow(6, {0, 0, 0});
  overflow[5] = {5000, 70000, 9};
  const TBytes file = StatFile(0xCAFE0001, 6,
                               {Record(3, 4, {0, 0, 0, 0, 0, 0}),
                                Record(9, 2, {0x7FFFFF, 0x800005, 1 | 2 << 10 | 3 << 20, 0, 0, 7})},
                               overflow);
  EXPECT_EQ(file[16 + 20 + 2], 0xFF);  // the first cell of record 1 is FF FF 7F
  EXPECT_EQ(file[16 + 20 + 4], 0x7F);
  const std::string path = test::TempPath("cells.stc");
  test::WriteFileBytes(path, file);
  TStatistic s;
  OpenStat(s, path);
  ASSERT_TRUE(s.Active());
  EXPECT_EQ(s.Mapped(), GetParam());
  EXPECT_EQ(s.OwnerIdentity(), 0xCAFE0001u);
  EXPECT_EQ(s.RecordCount(), 2u);
  StatRecord r;
  s.ReadRecord(1, r);
  EXPECT_EQ(r.Strongest, (std::array<std::uint8_t, 2>{9, 2}));
  EXPECT_EQ(r.Triples[0], (StatTriple{1023, 1023, 7}));
  EXPECT_EQ(r.Triples[1], (StatTriple{5000, 70000, 9}));
  EXPECT_EQ(r.Triples[2], (StatTriple{1, 2, 3}));
  EXPECT_EQ(r.Triples[5], (StatTriple{7, 0, 0}));
  EXPECT_EQ(r.Triples[2].Games(), 6u);
  s.ReadRecord(2, r);  // index N
  EXPECT_EQ(r, StatRecord{});
  EXPECT_EQ(s.TakeErrors(), 0u);
  EXPECT_TRUE(CheckStatistic(s).Ok());
}

TEST_P(StatAccess, HostileCountsAndReferences) {
  // Overflow reference beyond M: that triple reads as zero and the record is reported.
  const std::string path = test::TempPath("bad.stc");
  test::WriteFileBytes(path,
                       StatFile(1, 6, {Record(0, 0, {0x800001, 5, 0, 0, 0, 0})}, {{1, 2, 3}}));
  TStatistic s;
  OpenStat(s, path);
  ASSERT_TRUE(s.Active());
  StatRecord r;
  s.ReadRecord(0, r);
  EXPECT_EQ(r.Triples[0], StatTriple{});
  EXPECT_EQ(r.Triples[1], (StatTriple{5, 0, 0}));
  EXPECT_EQ(s.TakeErrors(), ErrCorrupt);
  const TStatCheck check = CheckStatistic(s);
  EXPECT_EQ(check.firstBad, std::vector<std::uint32_t>{0});

  struct Case {
    const char* name;
    TBytes bytes;
  };
  TBytes huge = StatFile(1, 6, {Record(0, 0, {0, 0, 0, 0, 0, 0})}, {});
  PutLE32(huge, 8, 0xFFFFFFFF);  // N far beyond the file
  TBytes hugeK = StatFile(1, 6, {}, {});
  PutLE32(hugeK, 4, 0xFFFFFFFF);
  PutLE32(hugeK, 8, 3);
  TBytes hugeM = StatFile(1, 6, {}, {});
  PutLE32(hugeM, 12, 0x40000000);
  for (const Case& c : {Case{"short header", TBytes(15, 0)}, Case{"records beyond", huge},
                        Case{"cells beyond", hugeK}, Case{"overflow beyond", hugeM}}) {
    test::WriteFileBytes(path, c.bytes);
    TStatistic t;
    OpenStat(t, path);
    EXPECT_FALSE(t.Active()) << c.name;
    EXPECT_EQ(t.TakeErrors(), ErrFormat) << c.name;
    t.ReadRecord(0, r);
    EXPECT_EQ(r, StatRecord{}) << c.name;
  }
}

TEST(Statistic, ReaderTakesAtMostSixCells) {
  const std::string path = test::TempPath("eight.stc");
  test::WriteFileBytes(path, StatFile(1, 8,
                                      {Record(1, 1, {1, 2, 3, 4, 5, 6, 7, 8}),
                                       Record(2, 2, {9, 0, 0, 0, 0, 0, 0, 0})},
                                      {}));
  TStatistic s;
  s.Open(path);
  StatRecord r;
  s.ReadRecord(1, r);  // found through the stride of 8 cells
  EXPECT_EQ(r.Strongest[0], 2);
  EXPECT_EQ(r.Triples[0].MoverWins, 9u);
  s.ReadRecord(0, r);
  EXPECT_EQ(r.Triples[5].MoverWins, 6u);
}

TEST(Statistic, MergeAndCompare) {
  StatRecord a;
  a.Strongest = {5, 1};
  a.Triples[0] = {1, 2, 3};
  a.Triples[5] = {10, 0, 1};
  StatRecord doubled = a;
  MergeStatRecords(a, doubled);
  EXPECT_EQ(doubled.Triples[0], (StatTriple{2, 4, 6}));
  EXPECT_EQ(doubled.Triples[5], (StatTriple{20, 0, 2}));
  EXPECT_EQ(doubled.Strongest, a.Strongest);
  StatRecord b;
  b.Strongest = {2, 7};
  MergeStatRecords(b, a);
  EXPECT_EQ(a.Strongest, (std::array<std::uint8_t, 2>{5, 7}));
  EXPECT_TRUE(SameStatRecords(a, a));
  EXPECT_FALSE(SameStatRecords(a, doubled));
}

TEST_P(StatAccess, WriterRoundTripWithOverflow) {
  const std::string path = test::TempPath("written.stc");
  StatRecord big;
  big.Strongest = {30, 31};
  big.Triples[0] = {1024, 0, 0};  // mover's wins need 11 bits
  big.Triples[1] = {1, 1, 8};     // unknown needs 4 bits
  big.Triples[2] = {1023, 1023, 7};
  StatRecord small;
  small.Triples[4] = {3, 2, 1};
  {
    TStatistic s;
    s.SetReadOnly(false);
    s.Open(path);
    ASSERT_TRUE(s.Active());
    s.SetMapped(GetParam());
    s.SetOwnerIdentity(0x12345678);
    ASSERT_TRUE(s.SetCounterCount(6));
    s.WriteRecord(3, big);  // records 0-2 are skipped: zero
    s.WriteRecord(0, small);
    EXPECT_FALSE(s.SetCounterCount(5));
    StatRecord back;
    s.ReadRecord(3, back);
    EXPECT_EQ(back, big);
    EXPECT_EQ(s.TakeErrors(), 0u);
  }
  EXPECT_EQ(test::ReadFileBytes(path).size(), 16u + 4 * 20 + 2 * 12);
  TStatistic s;
  s.Open(path);
  s.SetMapped(GetParam());
  EXPECT_EQ(s.OwnerIdentity(), 0x12345678u);
  EXPECT_EQ(s.RecordCount(), 4u);
  EXPECT_EQ(s.OverflowCount(), 2u);
  StatRecord r;
  s.ReadRecord(3, r);
  EXPECT_EQ(r, big);
  s.ReadRecord(0, r);
  EXPECT_EQ(r, small);
  s.ReadRecord(1, r);
  EXPECT_EQ(r, StatRecord{});
  EXPECT_TRUE(CheckStatistic(s).Ok());
  EXPECT_EQ(s.TakeErrors(), 0u);
}

TEST(Statistic, WritableReopenKeepsOverflowAndAppends) {
  const std::string path = test::TempPath("append.stc");
  StatRecord big;
  big.Triples[0] = {5000, 1, 1};
  {
    TStatistic s;
    s.SetReadOnly(false);
    s.Open(path);
    s.SetCounterCount(6);
    s.WriteRecord(0, big);
  }
  {
    TStatistic s;
    s.SetReadOnly(false);
    s.Open(path);
    EXPECT_EQ(s.OverflowCount(), 1u);
    s.WriteRecord(1, big);  // over the old overflow bytes
  }
  TStatistic s;
  s.Open(path);
  StatRecord r;
  for (std::uint32_t i = 0; i < 2; ++i) {
    s.ReadRecord(i, r);
    EXPECT_EQ(r, big) << i;
  }
  EXPECT_TRUE(CheckStatistic(s).Ok());
}

TEST(Statistic, WriterIsExclusive) {
  const std::string path = test::TempPath("excl.stc");
  TStatistic w, other;
  w.SetReadOnly(false);
  other.SetReadOnly(false);
  w.Open(path);
  ASSERT_TRUE(w.Active());
  other.Open(path);
  EXPECT_FALSE(other.Active());
  TStatistic reader;
  reader.Open(path);
  EXPECT_FALSE(reader.Active());
}

}  // namespace
}  // namespace kessaro
