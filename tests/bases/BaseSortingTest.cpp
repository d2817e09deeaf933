#include "bases/BaseSorting.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "bases/BaseHolder.h"
#include "bases/HolderHome.h"
#include "board/CheckSum.h"
#include "records/GameFunc.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

std::string En(const std::string& text) {
  return TBaseSorting::FormatKey(GI_BlackPlayer, text, kEnglish);
}

// An index over black player names, the keys added in key order.
std::string WriteIndex(const std::string& file, const std::vector<std::string>& names,
                       std::uint32_t subBase = 0xC0FFEE01) {
  const std::string path = test::TempPath(file);
  TBaseSorting index;
  index.SetReadOnly(false);
  EXPECT_TRUE(index.Open(path));
  index.SetKeyElements({GI_BlackPlayer, GI_Date});
  index.SetOrderKey(7);
  index.SetSubBaseIdentity(subBase);
  std::uint32_t id = 100;
  for (const auto& name : names) index.AddEntry(id++, En(name));
  index.Close();
  EXPECT_EQ(index.TakeErrors(), 0u);
  return path;
}

const std::vector<std::string> kNames = {"cho chikun", "cho hunhyun", "go seigen", "kato",
                                         "kitani"};

TEST(BaseSorting, WrittenIndexReadsBackWithItsHeaderAndEntries) {
  const std::string path = WriteIndex("players.sbx", kNames);
  TBaseSorting index;
  ASSERT_TRUE(index.Open(path));
  EXPECT_EQ(index.KeyElement(0), GI_BlackPlayer);
  EXPECT_EQ(index.KeyElement(1), GI_Date);
  EXPECT_EQ(index.KeyElement(2), GI_Empty);
  EXPECT_EQ(index.KeyElement(9), GI_Empty);
  EXPECT_EQ(index.EntryCount(), 5u);
  EXPECT_EQ(index.OrderKey(), 7u);
  EXPECT_EQ(index.SubBaseIdentity(), 0xC0FFEE01u);
  EXPECT_EQ(index.Name(), "players.sbx");
  EXPECT_EQ(index.EntryTable(), 67u + 11u);
  EXPECT_EQ(index.TrieBase(), index.EntryTable() + 4 * 5 + 4);
  EXPECT_EQ(index.EntryAt(1), 100u);
  EXPECT_EQ(index.EntryAt(5), 104u);
  EXPECT_EQ(index.EntryAt(0), 0u);
  EXPECT_EQ(index.EntryAt(6), 0u);
  EXPECT_TRUE(index.CheckTrie().Ok());
  EXPECT_GT(index.Created(), 40000.0);
  EXPECT_GE(index.Modified(), index.Created());
}

TEST(BaseSorting, FindRangeFollowsTheTrie) {
  const std::string path = WriteIndex("range.sbx", kNames);
  TBaseSorting index;
  ASSERT_TRUE(index.Open(path));
  struct Case {
    std::string text;
    TSortRange range;
  } cases[] = {
      {"", {1, 5}},
      {En("c"), {1, 2}},
      {En("cho "), {1, 2}},
      {En("cho h"), {2, 2}},
      {En("k"), {4, 5}},
      {En("kitani"), {5, 5}},
      {En("kitanix"), {0, 0}},  // past the end of a key
      {En("b"), {0, 0}},        // not in the node
      {En("q"), {0, 0}},
      {TBaseSorting::FormatKey(GI_BlackPlayer, "go", kJapanese), {0, 0}},  // first character
      {std::string("z"), {0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(index.FindRange(c.text), c.range) << c.text.substr(2);
  std::uint32_t first = 9, last = 9;
  EXPECT_TRUE(index.FindRange(En("go"), first, last));
  EXPECT_EQ(first, 3u);
  EXPECT_EQ(last, 3u);
}

TEST(BaseSorting, FindRangeNeedsAReadOnlyActiveIndex) {
  const std::string path = test::TempPath("writable.sbx");
  TBaseSorting index;
  index.SetReadOnly(false);
  ASSERT_TRUE(index.Open(path));
  index.AddEntry(1, En("a"));
  EXPECT_EQ(index.FindRange(""), TSortRange{});
  EXPECT_EQ(index.FindRange(En("a")), TSortRange{});
  index.Close();
  EXPECT_EQ(index.FindRange(""), TSortRange{});
  EXPECT_EQ(index.EntryAt(1), 0u);
}

TEST(BaseSorting, AnEmptyIndexHasNothingToFind) {
  const std::string path = WriteIndex("empty.sbx", {});
  TBaseSorting index;
  ASSERT_TRUE(index.Open(path));
  EXPECT_EQ(index.EntryCount(), 0u);
  EXPECT_EQ(index.FindRange(""), TSortRange{});
  EXPECT_EQ(index.FindRange(En("a")), TSortRange{});
  std::string lower, higher;
  EXPECT_TRUE(index.FindNeighbours(En("a"), lower, higher));
  EXPECT_EQ(lower, "");
  EXPECT_EQ(higher, "");
}

// A file assembled byte by byte from the format description: the reader and the writer
// must not share one mistake.
test::TBytes HandMadeIndex() {
  const std::string name = "x.sbx";
  test::TBytes b(4 + 67, 0);
  test::PutLE32(b, 0, kSortIndexSignature);
  test::PutLE16(b, 4 + 16, GI_Event);
  test::PutLE32(b, 4 + 32, 2);               // N
  test::PutLE32(b, 4 + 36, 67 + 5);          // EntryTable
  test::PutLE32(b, 4 + 40, 67 + 5 + 8 + 4);  // TrieBase
  test::PutLE32(b, 4 + 52, 5);
  test::PutLE32(b, 4 + 56, Crc32(name.data(), name.size()));
  b.insert(b.end(), name.begin(), name.end());
  for (std::uint32_t v : {0u, 0xAAu, 0xBBu}) {
    b.resize(b.size() + 4);
    test::PutLE32(b, b.size() - 4, v);
  }
  // Trie area: an empty node at 0 (never a child), node "b" at 4, root "a" at 21: "a" covers
  // entries 1-2, "ab" entry 1.
  const std::size_t trie = b.size();
  const auto node = [&b](const std::string& chars,
                         const std::vector<std::array<std::uint32_t, 3>>& items) {
    const std::size_t start = b.size();
    b.resize(start + 2);
    test::PutLE16(b, start, static_cast<std::uint16_t>(chars.size()));
    b.insert(b.end(), chars.begin(), chars.end());
    for (const auto& item : items)
      for (std::uint32_t v : item) {
        b.resize(b.size() + 4);
        test::PutLE32(b, b.size() - 4, v);
      }
    const std::uint16_t crc = Crc16(b.data() + start, b.size() - start);
    b.resize(b.size() + 2);
    test::PutLE16(b, b.size() - 2, crc);
  };
  node("", {});
  node("b", {{1, 1, 0}});
  const std::size_t root = b.size() - trie;
  node("a", {{1, 2, 4}});
  test::PutLE32(b, 4 + 44, static_cast<std::uint32_t>(root));
  test::PutLE16(b, 4 + 65, Crc16(b.data() + 4, 65));
  return b;
}

TEST(BaseSorting, ReadsAFileMadeFromTheFormatDescription) {
  const std::string path = test::TempPath("hand.sbx");
  test::WriteFileBytes(path, HandMadeIndex());
  TBaseSorting index;
  ASSERT_TRUE(index.Open(path)) << std::hex << index.TakeErrors();
  EXPECT_EQ(index.KeyElement(0), GI_Event);
  EXPECT_EQ(index.EntryAt(2), 0xBBu);
  EXPECT_EQ(index.FindRange("a"), (TSortRange{1, 2}));
  EXPECT_EQ(index.FindRange("ab"), (TSortRange{1, 1}));
  EXPECT_EQ(index.FindRange("ac"), TSortRange{});
  EXPECT_EQ(index.CheckTrie().nodes, 2u);
}

TEST(BaseSorting, DamagedHeadersFailToOpen) {
  const test::TBytes good = HandMadeIndex();
  const auto withHeaderCrc = [](test::TBytes b) {
    test::PutLE16(b, 4 + 65, Crc16(b.data() + 4, 65));
    return b;
  };
  struct Case {
    const char* what;
    test::TBytes bytes;
    std::uint32_t error;
  };
  std::vector<Case> cases;
  {
    test::TBytes b = good;
    b[4 + 32] ^= 1;
    cases.push_back({"header checksum", b, ErrCorrupt});
  }
  {
    test::TBytes b = good;
    test::PutLE32(b, 4 + 36, 67 + 4);
    cases.push_back({"entry table beside the name", withHeaderCrc(b), ErrSortLayout});
  }
  {
    test::TBytes b = good;
    test::PutLE32(b, 4 + 40, 67 + 5 + 12 + 4);
    cases.push_back({"trie base beside the entries", withHeaderCrc(b), ErrSortLayout});
  }
  {
    test::TBytes b = good;
    test::PutLE32(b, 4 + 52, 4);
    test::PutLE32(b, 4 + 56, Crc32("x.sb", 4));
    cases.push_back({"name length beside the layout", withHeaderCrc(b), ErrSortLayout});
  }
  {
    test::TBytes b = good;
    b[4 + 67] = 'y';
    cases.push_back({"name checksum", b, ErrCorrupt});
  }
  {
    test::TBytes b = good;
    test::PutLE32(b, 4 + 32, 0x10000000);
    test::PutLE32(b, 4 + 40, 67 + 5 + 4 * 0x10000000u + 4);
    cases.push_back({"entry count beyond the file", withHeaderCrc(b), ErrFormat});
  }
  {
    test::TBytes b = good;
    test::PutLE32(b, 4 + 52, 0xFFFFFFFF);
    cases.push_back({"name beyond the file", withHeaderCrc(b), ErrFormat});
  }
  {
    test::TBytes b = good;
    b.resize(4 + 60);
    cases.push_back({"short file", b, ErrFormat});
  }
  {
    test::TBytes b = good;
    b[0] ^= 1;
    cases.push_back({"signature", b, ErrFormat});
  }
  for (const auto& c : cases) {
    const std::string path = test::TempPath("damaged.sbx");
    test::WriteFileBytes(path, c.bytes);
    TBaseSorting index;
    EXPECT_FALSE(index.Open(path)) << c.what;
    EXPECT_FALSE(index.Active()) << c.what;
    EXPECT_TRUE(index.TakeErrors() & c.error) << c.what;
    EXPECT_EQ(OpenSortIndex(path), nullptr) << c.what;
  }
}

TEST(BaseSorting, ACorruptNodeEndsTheSearchWithoutAResult) {
  const std::string path = test::TempPath("badnode.sbx");
  test::TBytes b = HandMadeIndex();
  const std::size_t trie = 4 + 67 + 5 + 12;
  b[trie + 4 + 2] = 'c';  // the "b" of node 1, its check value unchanged
  test::WriteFileBytes(path, b);
  TBaseSorting index;
  ASSERT_TRUE(index.Open(path));
  EXPECT_EQ(index.FindRange("a"), (TSortRange{1, 2}));
  EXPECT_EQ(index.FindRange("ab"), TSortRange{});
  EXPECT_EQ(index.FindRange("ac"), TSortRange{});
  EXPECT_TRUE(index.TakeErrors() & ErrCorrupt);
  const TTrieCheck check = index.CheckTrie();
  EXPECT_EQ(check.badNodes, 1u);
  EXPECT_FALSE(check.Ok());
}

TEST(BaseSorting, HostileChildLinksStayBounded) {
  // The root's child points back at the root: a search consumes one character per step and
  // the check stops at its node limit.
  const std::string path = test::TempPath("loop.sbx");
  test::TBytes b = HandMadeIndex();
  const std::size_t trie = 4 + 67 + 5 + 12;
  const std::size_t root = trie + 21;
  test::PutLE32(b, root + 3 + 8, 21);
  test::PutLE16(b, root + 3 + 12, Crc16(b.data() + root, 3 + 12));
  test::WriteFileBytes(path, b);
  TBaseSorting index;
  ASSERT_TRUE(index.Open(path));
  EXPECT_EQ(index.FindRange(std::string(5000, 'a')), (TSortRange{1, 2}));
  std::string lower, higher;
  EXPECT_TRUE(index.FindNeighbours("b", lower, higher));
  EXPECT_LE(lower.size(), 4096u);
  EXPECT_TRUE(index.CheckTrie(1000).truncated);
}

TEST(BaseSorting, NeighboursAreFoundByCollation) {
  // In Windows-1252 "\xE9" is e-acute: byte order puts it after "z", collation between "e"
  // and "f".
  const std::string path = WriteIndex("accents.sbx", {"eb", "ec", "fa", "za"});
  TBaseSorting index;
  ASSERT_TRUE(index.Open(path));
  std::string lower, higher;
  EXPECT_TRUE(index.FindNeighbours(En("\xE9"), lower, higher));
  EXPECT_EQ(lower, En("ec"));
  EXPECT_EQ(higher, En("fa"));
  EXPECT_TRUE(index.FindNeighbours(En("ed"), lower, higher));
  EXPECT_EQ(lower, En("ec"));
  EXPECT_EQ(higher, En("fa"));
  EXPECT_TRUE(index.FindNeighbours(En("a"), lower, higher));
  EXPECT_EQ(lower, "");
  EXPECT_EQ(higher, En("eb"));
  EXPECT_TRUE(index.FindNeighbours(En("zz"), lower, higher));
  EXPECT_EQ(lower, En("za"));
  EXPECT_EQ(higher, "");
  EXPECT_TRUE(index.FindNeighbours(En("fab"), lower, higher));  // a key is a prefix
  EXPECT_EQ(lower, En("fa"));
  EXPECT_EQ(higher, En("za"));
  EXPECT_FALSE(index.FindNeighbours(En("e"), lower, higher));  // inside the trie
  EXPECT_FALSE(index.FindNeighbours(En("ec"), lower, higher));
}

TEST(BaseSorting, FormatKeyByElementType) {
  const std::string en = std::string("\x09\x04", 2);
  struct Case {
    TGameInfoElement type;
    std::string text, key;
  } cases[] = {
      {GI_BlackPlayer, "Go Seigen", en + "go seigen"},
      {GI_Date, "2000-01-01", en + "000036526.0.0000000"},
      {GI_Date, "sometime", en + "sometime"},  // no date: the text, lower-cased
      {GI_Handicap, "3", en + "03"},
      {GI_NumberOfMoves, "123", en + "00123"},
      {GI_Handicap, "Three", en + "three"},
      {GI_Event, "Honinbo\tSen", en + "honinbo\tsen"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TBaseSorting::FormatKey(c.type, c.text, kEnglish), c.key) << c.text;
  EXPECT_EQ(TBaseSorting::FormatKey(GI_Event, "A", kJapanese), std::string("\x11\x04", 2) + "a");
}

TEST(BaseSorting, LowerTextKeepsMultiByteCodePages) {
  // In Shift_JIS the trail byte of a katakana may be an ASCII capital.
  EXPECT_EQ(LowerText(kJapanese, "AB\x83\x41"), "ab\x83\x41");
  EXPECT_EQ(LowerText(kRussian, "\xC0\xC1"), "\xE0\xE1");    // Windows-1251 capitals
  EXPECT_EQ(LowerText(kEnglish, "\xC9T\xC9"), "\xE9t\xE9");  // Windows-1252 stays 1252
  EXPECT_EQ(LowerText(kEnglish, "\xC3\x89"), "\xC3\xA9");    // UTF-8 stays UTF-8
}

TEST(BaseSorting, GameSortKeyTakesTheFirstElementsLanguage) {
  TGame game;
  InitGame(game);
  game.Info.BlackPlayer->SetText(kJapanese, "Go");
  game.Info.Event->SetText(kJapanese, "Kisei");
  game.Info.Event->SetText(kEnglish, "Other");
  game.Date = 36526.5;
  EXPECT_EQ(GameSortKey(game, {GI_BlackPlayer, GI_Event, GI_Date}),
            std::string("\x11\x04", 2) + "go" + "kisei" + "000036526.0.5000000");
  FreeGame(game);
}

TEST(BaseSorting, AWritableOpenWithoutChangesLeavesTheFileAlone) {
  const std::string path = WriteIndex("keep.sbx", kNames);
  const test::TBytes before = test::ReadFileBytes(path);
  {
    TBaseSorting index;
    index.SetReadOnly(false);
    ASSERT_TRUE(index.Open(path));
    EXPECT_EQ(index.EntryCount(), 5u);
  }
  EXPECT_EQ(test::ReadFileBytes(path), before);
}

}  // namespace
}  // namespace kessaro

namespace kessaro {
namespace {

TEST(BaseSorting, TheHolderAttachesRealIndexesToTheirSubBase) {
  const test::THolderHome home = test::BuildHolderHome("sorting-home");
  const std::string dir = home.Home + "/Index/";
  for (const auto& [file, identity, key] :
       {std::tuple{"by-player.sbx", home.VarsSubBaseIdentity, 2u},
        std::tuple{"by-date.sbx", home.VarsSubBaseIdentity, 1u},
        std::tuple{"orphan.sbx", 0x12345678u, 0u}}) {
    TBaseSorting index;
    index.SetReadOnly(false);
    ASSERT_TRUE(index.Open(dir + file));
    index.SetSubBaseIdentity(identity);
    index.SetOrderKey(key);
    index.SetKeyElements({GI_BlackPlayer});
    index.AddEntry(kVarGameIdFirst + 1, En("kitani"));
  }
  test::WriteFileBytes(dir + "broken.sbx", test::TBytes(100, 0x11));
  TBaseHolder holder;
  holder.SortIndexFactory = OpenHolderSortIndex;
  THolderDirs dirs = DefaultHolderDirs(home.Home);
  holder.ApplyStartDirs(dirs);
  std::size_t vars = holder.SubBaseCount();
  for (std::size_t i = 0; i < holder.SubBaseCount(); ++i)
    if (holder.SubBaseAt(i)->Identity() == home.VarsSubBaseIdentity) vars = i;
  ASSERT_LT(vars, holder.SubBaseCount());
  const auto check = [&] {
    // The typed accessor gives the same indexes in the same order.
    const auto indexes = holder.SortingsOf(vars);
    ASSERT_EQ(indexes.size(), 2u);
    ASSERT_EQ(holder.SortIndexesOf(vars)[1], indexes[1]);
    EXPECT_EQ(indexes[0]->Name(), "by-date.sbx");
    EXPECT_EQ(indexes[1]->Name(), "by-player.sbx");
    EXPECT_EQ(indexes[1]->FindRange(En("ki")), (TSortRange{1, 1}));
    EXPECT_EQ(indexes[1]->EntryAt(1), kVarGameIdFirst + 1);
  };
  check();
  // Only the net folder changes: the nets reload, Analyze runs again, the indexes stay.
  dirs.NetDirs += ";";
  holder.ApplyOptionsDirs(dirs);
  check();
}

}  // namespace
}  // namespace kessaro
