#include "strings/StringBase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "board/CheckSum.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

using test::ReadFileBytes;
using test::TBytes;

// Stored bytes are decoded here on their own, so that the base and the test cannot share a
// mistake about the layout.
std::uint16_t U16(const TBytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
std::uint32_t U32(const TBytes& b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

struct DiskHeader {
  std::int32_t stringCount;
  std::uint32_t freeHead, maxID;
  bool checkOk;
};

DiskHeader HolderHeader(const TBytes& file) {
  const std::uint16_t check = Crc16(file.data() + 4, 30);
  return {static_cast<std::int32_t>(U32(file, 4 + 16)), U32(file, 4 + 20), U32(file, 4 + 24),
          U16(file, 4 + 30) == check && U16(file, 4 + 28) == 0};
}

struct DiskRecord {
  std::uint16_t length;
  std::uint32_t link;
  bool headOk;
  TBytes data;
  bool dataOk;
};

DiskRecord RecordAt(const TBytes& file, std::uint32_t unit) {
  const std::size_t at = 4 + 4 * std::size_t{unit};
  DiskRecord r{U16(file, at + 2), U32(file, at + 4), false, {}, false};
  r.headOk = U16(file, at) == Crc16(file.data() + at + 2, 6);
  if (at + 10 + r.length <= file.size()) {
    r.data.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 10),
                  file.begin() + static_cast<std::ptrdiff_t>(at + 10 + r.length));
    r.dataOk = U16(file, at + 8) == Crc16(r.data.data(), r.data.size());
  }
  return r;
}

// The tag entry of an ID: (length, unit), checksum checked.
std::pair<std::uint16_t, std::uint32_t> TagAt(const TBytes& file, std::uint32_t id) {
  const std::size_t at = 4 + 8 * std::size_t{id};
  if (at + 8 > file.size()) return {0, 0};
  if (U16(file, at + 2) == 0 && U32(file, at + 4) == 0) return {0, 0};  // empty: no checksum
  EXPECT_EQ(U16(file, at), Crc16(file.data() + at + 2, 6)) << "tag of " << id;
  return {U16(file, at + 2), U32(file, at + 4)};
}

TStringSet Set(TLanguage language, const std::string& text) {
  TStringSet s;
  s.SetText(language, text);
  return s;
}

std::string TextOf(TStringBase& base, std::uint32_t id, TLanguage language = kEnglish) {
  TStringSet s;
  base.Read(id, s);
  return s.GetText(language);
}

// A writable base over "<name>.str" and "<name>.sid" in the test's home.
struct BaseFiles {
  std::string stem, str, sid, sbk;
  explicit BaseFiles(const std::string& name)
      : stem(test::TempPath(name)),
        str(test::TempPath(name + ".str")),
        sid(test::TempPath(name + ".sid")),
        sbk(test::TempPath(name + ".sbk")) {}
};

TEST(StringBase, StoresTheDocumentedLayoutAndReadsItBack) {
  const BaseFiles f("layout");
  {
    TStringBase base;
    ASSERT_TRUE(base.Open(f.stem + ".anything"));
    EXPECT_EQ(base.FileName(), f.str);
    TStringSet two = Set(kEnglish, "abc");
    two.SetText(kJapanese, "\x93\xfa");
    const TStringSet one = Set(kRussian, "x");
    base.Write(3, &two);
    base.Write(1, &one);
    EXPECT_EQ(base.StringCount(), 2);
    EXPECT_EQ(base.MaxID(), 3u);
    base.Close();
    EXPECT_EQ(base.TakeErrors(), 0u);
  }
  const TBytes str = ReadFileBytes(f.str);
  ASSERT_GE(str.size(), 4u + 32);
  EXPECT_EQ(U32(str, 0), 0xF3F00DA9u);
  const DiskHeader h = HolderHeader(str);
  EXPECT_TRUE(h.checkOk);
  EXPECT_EQ(h.stringCount, 2);
  EXPECT_EQ(h.freeHead, 0u);
  EXPECT_EQ(h.maxID, 3u);
  // ID 3: two entries of 4 + 3 and 4 + 2 bytes, 13 bytes: floor(14 / 4) + 3 = 6 units from 8.
  const DiskRecord r3 = RecordAt(str, 8);
  EXPECT_TRUE(r3.headOk && r3.dataOk);
  EXPECT_EQ(r3.length, 13u);
  EXPECT_EQ(r3.link, 3u);
  EXPECT_EQ(r3.data, (TBytes{3, 0, 0x09, 0x04, 'a', 'b', 'c', 2, 0, 0x11, 0x04, 0x93, 0xfa}));
  const DiskRecord r1 = RecordAt(str, 14);
  EXPECT_TRUE(r1.headOk && r1.dataOk);
  EXPECT_EQ(r1.link, 1u);
  EXPECT_EQ(str.size(), 4u + 14 * 4 + 10 + 5);

  const TBytes sid = ReadFileBytes(f.sid);
  EXPECT_EQ(U32(sid, 0), 0x02111825u);
  EXPECT_EQ(sid.size(), 4u + 8 * 4);
  EXPECT_EQ(TagAt(sid, 3), (std::pair<std::uint16_t, std::uint32_t>{13, 8}));
  EXPECT_EQ(TagAt(sid, 1), (std::pair<std::uint16_t, std::uint32_t>{5, 14}));
  EXPECT_EQ(TagAt(sid, 2), (std::pair<std::uint16_t, std::uint32_t>{0, 0}));

  TStringBase again;
  again.SetReadOnly(true);
  ASSERT_TRUE(again.Open(f.str));
  EXPECT_EQ(TextOf(again, 3), "abc");
  EXPECT_EQ(TextOf(again, 3, kJapanese), "\x93\xfa");
  EXPECT_EQ(TextOf(again, 1, kRussian), "x");
  std::unique_ptr<TStringSet> absent;
  again.Read(2, absent);
  EXPECT_EQ(absent, nullptr);  // no set for the ID: an absent set stays absent
  auto present = std::make_unique<TStringSet>(Set(kEnglish, "old"));
  again.Read(2, present);
  ASSERT_NE(present, nullptr);
  EXPECT_TRUE(present->Empty());
  again.Read(3, absent);
  ASSERT_NE(absent, nullptr);
  EXPECT_EQ(absent->GetText(kEnglish), "abc");
  EXPECT_EQ(again.TakeErrors(), 0u);
}

TEST(StringBase, RewritesBySizeClassAndChainsFreedBlocks) {
  const BaseFiles f("classes");
  TStringBase base;
  ASSERT_TRUE(base.Open(f.str));
  // Set sizes are the text length + 4: 5 and 6 share class 1, 9 is class 2.
  const TStringSet five = Set(kEnglish, "a"), six = Set(kEnglish, "ab"),
                   nine = Set(kEnglish, "abcde");
  base.Write(1, &five);
  base.Write(2, &five);
  TStringTagEntry before;
  ASSERT_TRUE(base.TagFile().ReadEntry(1, before));
  base.Write(1, &six);
  TStringTagEntry after;
  ASSERT_TRUE(base.TagFile().ReadEntry(1, after));
  EXPECT_EQ(after.Unit, before.Unit);  // rewritten in place
  EXPECT_EQ(after.Length, 6u);
  EXPECT_TRUE(base.FreeList().empty());

  base.Write(1, &nine);
  ASSERT_TRUE(base.TagFile().ReadEntry(1, after));
  EXPECT_NE(after.Unit, before.Unit);
  EXPECT_EQ(base.HolderFile().FreeHead, before.Unit);
  ASSERT_EQ(base.FreeList().size(), 1u);
  EXPECT_EQ(base.FreeList()[0].Unit, before.Unit);
  EXPECT_EQ(base.StringCount(), 2);

  // A new ID of class 1 takes the freed block; one of another class is appended.
  const std::uint32_t end = base.HolderFile().EndUnit();
  base.Write(7, &five);
  TStringTagEntry seven;
  ASSERT_TRUE(base.TagFile().ReadEntry(7, seven));
  EXPECT_EQ(seven.Unit, before.Unit);
  EXPECT_TRUE(base.FreeList().empty());
  EXPECT_EQ(base.HolderFile().FreeHead, 0u);
  const TStringSet big = Set(kEnglish, std::string(40, 'z'));
  base.Write(8, &big);
  ASSERT_TRUE(base.TagFile().ReadEntry(8, seven));
  EXPECT_EQ(seven.Unit, end);
  EXPECT_EQ(TextOf(base, 1), "abcde");
  EXPECT_EQ(TextOf(base, 2), "a");
  EXPECT_EQ(TextOf(base, 7), "a");
  EXPECT_EQ(base.StringCount(), 4);
  EXPECT_EQ(base.TakeErrors(), 0u);
}

TEST(StringBase, DeletingEverythingKeepsTheFileAndReusesFromTheChain) {
  const BaseFiles f("deleteall");
  const std::vector<std::string> texts = {"a", "abcde", "ab", "abcdefghij", "abcdefghijklmn"};
  {
    TStringBase base;
    ASSERT_TRUE(base.Open(f.str));
    for (std::uint32_t id = 1; id <= texts.size(); ++id) {
      const TStringSet s = Set(kEnglish, texts[id - 1]);
      base.Write(id, &s);
    }
  }
  const std::size_t fullSize = ReadFileBytes(f.str).size();
  {
    TStringBase base;
    ASSERT_TRUE(base.Open(f.str));
    for (std::uint32_t id = 1; id <= texts.size(); ++id) base.Write(id, nullptr);
    EXPECT_EQ(base.StringCount(), 0);
    EXPECT_EQ(base.FreeList().size(), texts.size());
    EXPECT_EQ(TextOf(base, 3), "");
  }
  const TBytes str = ReadFileBytes(f.str);
  EXPECT_EQ(str.size(), fullSize);
  // The chain on disk runs from the last freed block back to the first.
  std::vector<std::uint32_t> chain;
  for (std::uint32_t u = HolderHeader(str).freeHead; u != 0 && chain.size() < 10;) {
    chain.push_back(u);
    ASSERT_TRUE(RecordAt(str, u).headOk);
    u = RecordAt(str, u).link;
  }
  ASSERT_EQ(chain.size(), texts.size());
  EXPECT_EQ(chain.back(), 8u);
  EXPECT_EQ(HolderHeader(str).stringCount, 0);

  // Reopened, the chain is loaded; taking a block from its middle relinks its neighbours.
  TStringBase base;
  ASSERT_TRUE(base.Open(f.str));
  ASSERT_EQ(base.FreeList().size(), texts.size());
  EXPECT_EQ(base.FreeList()[0].Unit, chain[0]);
  const TStringSet nine = Set(kEnglish, "12345");  // the class of ID 2's block
  base.Write(9, &nine);
  TStringTagEntry e;
  ASSERT_TRUE(base.TagFile().ReadEntry(9, e));
  EXPECT_EQ(e.Unit, chain[3]);  // ID 2 was freed second, so it is fourth in the chain
  base.Close();
  const TBytes later = ReadFileBytes(f.str);
  EXPECT_EQ(later.size(), fullSize);
  EXPECT_EQ(RecordAt(later, chain[2]).link, chain[4]);
  EXPECT_EQ(RecordAt(later, chain[3]).link, 9u);
  EXPECT_EQ(HolderHeader(later).stringCount, 1);
}

TEST(StringBase, MissingOrEmptyTagFileIsRebuilt) {
  const BaseFiles f("rebuild");
  {
    TStringBase base;
    ASSERT_TRUE(base.Open(f.str));
    for (std::uint32_t id : {4u, 2u, 9u}) {
      const TStringSet s = Set(kEnglish, "text " + std::to_string(id));
      base.Write(id, &s);
    }
    base.Write(2, nullptr);
  }
  const TBytes original = ReadFileBytes(f.sid);
  for (const bool missing : {true, false}) {
    if (missing)
      std::filesystem::remove(f.sid);
    else
      test::WriteFileBytes(f.sid, {});
    TStringBase base;
    ASSERT_TRUE(base.Open(f.str)) << missing;
    EXPECT_EQ(TextOf(base, 4), "text 4");
    EXPECT_EQ(TextOf(base, 9), "text 9");
    EXPECT_EQ(TextOf(base, 2), "");  // its block is free, not a record
    EXPECT_EQ(base.TakeErrors(), 0u);
    base.Close();
    EXPECT_EQ(ReadFileBytes(f.sid), original);
  }
  // A header that counts differently from the records is reported.
  TBytes str = ReadFileBytes(f.str);
  test::PutLE32(str, 4 + 16, 5);
  test::PutLE16(str, 4 + 30, Crc16(str.data() + 4, 30));
  test::WriteFileBytes(f.str, str);
  std::filesystem::remove(f.sid);
  TStringBase base;
  ASSERT_TRUE(base.Open(f.str));
  EXPECT_EQ(base.TakeErrors(), ErrCountMismatch);
  EXPECT_EQ(TextOf(base, 9), "text 9");
}

TEST(StringBase, BackupIsRestoredOnlyWhenTheOwnerSaysSo) {
  const BaseFiles f("backup");
  {
    TStringBase base;
    ASSERT_TRUE(base.Open(f.str));
    const TStringSet s = Set(kEnglish, "kept");
    base.Write(1, &s);
  }
  std::filesystem::rename(f.str, f.sbk);
  std::filesystem::remove(f.sid);
  const TBytes backup = ReadFileBytes(f.sbk);

  struct Case {
    bool hook, answer, restored;
  };
  for (const Case c :
       {Case{false, false, false}, Case{true, false, false}, Case{true, true, true}}) {
    std::filesystem::remove(f.str);
    std::filesystem::remove(f.sid);
    TStringBase base;
    int asked = 0;
    std::string question;
    if (c.hook) {
      base.OnAskRestore = [&](TStringBase& sender, const std::string& text) {
        EXPECT_EQ(&sender, &base);
        ++asked;
        question = text;
        return c.answer;
      };
    }
    ASSERT_TRUE(base.Open(f.stem));
    EXPECT_EQ(asked, c.hook ? 1 : 0);
    if (c.hook) {
      EXPECT_EQ(question, "File: " + f.str +
                              " doesn't exist, but Backuped file exists.\r\nRestore it from the "
                              "Backup?");
    }
    EXPECT_EQ(TextOf(base, 1), c.restored ? "kept" : "");
    EXPECT_EQ(base.StringCount(), c.restored ? 1 : 0);
    base.Close();
    EXPECT_EQ(ReadFileBytes(f.sbk), backup);  // the backup itself is never written
  }

  // A read-only base without the file opens nothing, restored or not.
  std::filesystem::remove(f.str);
  std::filesystem::remove(f.sid);
  TStringBase reader;
  reader.SetReadOnly(true);
  reader.OnAskRestore = [](TStringBase&, const std::string&) { return false; };
  EXPECT_FALSE(reader.Open(f.str));
  EXPECT_EQ(reader.TakeErrors() & ErrOpenFailed, ErrOpenFailed);
  EXPECT_FALSE(std::filesystem::exists(f.str));

  // A restore that cannot copy fails the open.
  SetFaultHook([](TFileOp op) { return op == TFileOp::foWrite ? EIO : 0; });
  TStringBase failing;
  failing.OnAskRestore = [](TStringBase&, const std::string&) { return true; };
  EXPECT_FALSE(failing.Open(f.str));
  SetFaultHook({});
  EXPECT_EQ(failing.TakeErrors(), ErrOpenFailed);
  EXPECT_FALSE(failing.Active());
}

TEST(StringBase, IgnoredWritesAndSettings) {
  const BaseFiles f("ignored");
  TStringBase base;
  ASSERT_TRUE(base.Open(f.str));
  const TStringSet s = Set(kEnglish, "x");
  base.Write(0, &s);
  EXPECT_EQ(base.StringCount(), 0);
  EXPECT_EQ(base.MaxID(), 0u);
  TStringSet huge;
  for (TLanguage l : {kEnglish, kJapanese}) huge.SetText(l, std::string(40000, 'q'));
  base.Write(5, &huge);
  EXPECT_EQ(base.TakeErrors(), ErrTooLong);
  EXPECT_EQ(base.StringCount(), 0);
  EXPECT_EQ(base.MaxID(), 5u);  // raised before the set is looked at
  base.SetReadOnly(true);       // only while closed
  EXPECT_FALSE(base.ReadOnly());
  base.Write(2, &s);
  base.SetSaveEnabled(false);
  base.Close();
  // Nothing saved: the files this open created are not left behind as unopenable stubs.
  EXPECT_FALSE(std::filesystem::exists(f.str));
  EXPECT_FALSE(std::filesystem::exists(f.sid));

  // A read-only base writes and deletes nothing.
  base.SetSaveEnabled(true);
  ASSERT_TRUE(base.Open(f.str));
  base.Write(2, &s);
  base.Close();
  base.SetReadOnly(true);
  ASSERT_TRUE(base.Open(f.str));
  const TBytes before = ReadFileBytes(f.str);
  base.Delete(2);
  base.Write(3, &s);
  EXPECT_EQ(base.StringCount(), 1);
  base.Close();
  EXPECT_EQ(ReadFileBytes(f.str), before);
}

TEST(StringBase, SettableExtensions) {
  const std::string stem = test::TempPath("Data");
  TStringBase letters;
  letters.SetHolderExt(".ltr");
  letters.SetTagExt(".lid");
  letters.SetBackupExt(".lbk");
  ASSERT_TRUE(letters.Open(stem + ".pos"));
  EXPECT_EQ(letters.FileName(), stem + ".ltr");
  const TStringSet s = Set(kNoLanguage, "A");
  letters.Write(1, &s);
  letters.Close();
  EXPECT_TRUE(std::filesystem::exists(stem + ".ltr"));
  EXPECT_TRUE(std::filesystem::exists(stem + ".lid"));
  EXPECT_FALSE(std::filesystem::exists(stem + ".str"));

  std::filesystem::rename(stem + ".ltr", stem + ".lbk");
  int asked = 0;
  letters.OnAskRestore = [&](TStringBase&, const std::string&) { return ++asked > 0; };
  ASSERT_TRUE(letters.Open(stem + ".pos"));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(TextOf(letters, 1, kNoLanguage), "A");
}

// Damage in the files: every record that is still sound stays readable, writes never touch
// another record, and a failed open leaves the files as they were.
class StringBaseDamage : public testing::Test {
 protected:
  void SetUp() override {
    TStringBase base;
    ASSERT_TRUE(base.Open(f.str));
    for (std::uint32_t id = 1; id <= 3; ++id) {
      const TStringSet s = Set(kEnglish, "record " + std::to_string(id));
      base.Write(id, &s);
    }
    const TStringSet gone = Set(kEnglish, "gone");
    base.Write(4, &gone);
    base.Write(4, nullptr);
    base.Close();
    str = ReadFileBytes(f.str);
    sid = ReadFileBytes(f.sid);
  }
  // File offset of a record's unit.
  static std::size_t At(std::uint32_t unit) { return 4 + 4 * std::size_t{unit}; }
  std::uint32_t UnitOf(std::uint32_t id) const { return U32(sid, 4 + 8 * id + 4); }

  BaseFiles f{"damage"};
  TBytes str, sid;
};

TEST_F(StringBaseDamage, DamagedTextIsReportedAndTheOthersStayReadable) {
  test::FlipByte(f.str, At(UnitOf(2)) + 16);  // a text byte
  TStringBase base;
  ASSERT_TRUE(base.Open(f.str));
  EXPECT_EQ(TextOf(base, 1), "record 1");
  EXPECT_EQ(base.TakeErrors(), 0u);
  EXPECT_EQ(TextOf(base, 2).size(), 8u);  // kept as read
  EXPECT_EQ(base.TakeErrors(), ErrCorrupt);
  EXPECT_EQ(TextOf(base, 3), "record 3");

  // A damaged record header: the ID reads as empty, and writing it appends a new record.
  base.Close();
  test::FlipByte(f.str, At(UnitOf(3)) + 3);
  ASSERT_TRUE(base.Open(f.str));
  EXPECT_EQ(TextOf(base, 3), "");
  EXPECT_EQ(base.TakeErrors(), ErrCorrupt);
  const TStringSet s = Set(kEnglish, "record 9");  // the size class of the damaged record
  base.Write(3, &s);
  EXPECT_EQ(TextOf(base, 3), "record 9");
  EXPECT_EQ(TextOf(base, 1), "record 1");
  EXPECT_EQ(base.StringCount(), 3);
}

TEST_F(StringBaseDamage, ForgedTagEntryNeverLetsAWriteOverwriteAnotherRecord) {
  // ID 3's entry leads to ID 1's record with a valid checksum.
  TBytes forged = sid;
  std::copy(sid.begin() + 4 + 8, sid.begin() + 4 + 16, forged.begin() + 4 + 24);
  test::WriteFileBytes(f.sid, forged);
  TStringBase base;
  ASSERT_TRUE(base.Open(f.str));
  EXPECT_EQ(TextOf(base, 3), "");
  EXPECT_EQ(base.TakeErrors(), ErrCorrupt);
  const TStringSet s = Set(kEnglish, "new three");
  base.Write(3, &s);
  base.Write(2, nullptr);
  base.Delete(3);
  base.Write(3, &s);
  EXPECT_EQ(TextOf(base, 1), "record 1");
  EXPECT_EQ(TextOf(base, 3), "new three");
  base.Close();
  const DiskRecord one = RecordAt(ReadFileBytes(f.str), UnitOf(1));
  EXPECT_TRUE(one.headOk && one.dataOk);
  EXPECT_EQ(one.link, 1u);
}

TEST_F(StringBaseDamage, FailedOpensLeaveTheFilesUntouched) {
  struct Case {
    const char* what;
    std::size_t offset;  // in the holder file
    std::uint8_t mask;
  };
  // The free chain's head is ID 4's old block; pointing it at ID 1's record must not offer
  // that record for reuse.
  const std::uint32_t freeHead = U32(str, 4 + 20);
  ASSERT_NE(freeHead, 0u);
  const auto toRecord1 = static_cast<std::uint8_t>(freeHead ^ UnitOf(1));
  for (const Case c :
       {Case{"header checksum", 4 + 30, 0x01}, Case{"free block header", At(freeHead) + 4, 0x01},
        Case{"free head into a record", 4 + 20, toRecord1}}) {
    TBytes damaged = str;
    damaged[c.offset] ^= c.mask;
    if (c.offset == 4 + 20) test::PutLE16(damaged, 4 + 30, Crc16(damaged.data() + 4, 30));
    test::WriteFileBytes(f.str, damaged);
    TStringBase base;
    EXPECT_FALSE(base.Open(f.str)) << c.what;
    EXPECT_EQ(base.TakeErrors(), ErrOpenFailed | ErrCorrupt) << c.what;
    EXPECT_EQ(ReadFileBytes(f.str), damaged) << c.what;
    EXPECT_EQ(ReadFileBytes(f.sid), sid) << c.what;
  }
  // A well-formed free block forged inside ID 1's record.
  TBytes forged = str;
  const std::uint32_t inside = UnitOf(1) + 3;  // over its text, its header intact
  test::PutLE16(forged, At(inside) + 2, 1);
  test::PutLE32(forged, At(inside) + 4, 0);
  test::PutLE16(forged, At(inside), Crc16(forged.data() + At(inside) + 2, 6));
  test::PutLE32(forged, 4 + 20, inside);
  test::PutLE16(forged, 4 + 30, Crc16(forged.data() + 4, 30));
  test::WriteFileBytes(f.str, forged);
  {
    TStringBase base;
    EXPECT_FALSE(base.Open(f.str));
    EXPECT_EQ(base.TakeErrors(), ErrOpenFailed | ErrCorrupt);
    EXPECT_EQ(ReadFileBytes(f.str), forged);
  }

  // A tag file that cannot be opened: the holder this open created is removed again.
  std::filesystem::remove(f.str);
  std::filesystem::remove(f.sid);
  std::filesystem::create_directory(f.sid);
  TStringBase base;
  EXPECT_FALSE(base.Open(f.str));
  EXPECT_EQ(base.TakeErrors() & ErrOpenFailed, ErrOpenFailed);
  EXPECT_FALSE(std::filesystem::exists(f.str));
  std::filesystem::remove(f.sid);
}

TEST_F(StringBaseDamage, RebuildSkipsADamagedRecordAndFindsTheNext) {
  test::FlipByte(f.str, At(UnitOf(2)) + 2);  // its length: the walk must resynchronise
  std::filesystem::remove(f.sid);
  TStringBase base;
  EXPECT_FALSE(base.Open(f.str));  // damage found while opening fails the open
  EXPECT_EQ(base.TakeErrors(), ErrOpenFailed | ErrCorrupt | ErrCountMismatch);
  EXPECT_FALSE(std::filesystem::exists(f.sid));

  // The walk itself still reports the records after the damage.
  TStringBase reader;
  reader.SetReadOnly(true);
  test::WriteFileBytes(f.sid, {0x25, 0x18, 0x11, 0x02});  // a tag file with no entries
  ASSERT_TRUE(reader.Open(f.str));
  std::vector<std::uint32_t> sound, freeBlocks, damagedAt;
  reader.ForEachRecord([&](const TStringRecordInfo& r) {
    if (!r.HeadOk)
      damagedAt.push_back(r.Unit);
    else
      (r.Free ? freeBlocks : sound).push_back(r.Free ? r.Unit : r.Head.Link);
  });
  EXPECT_EQ(sound, (std::vector<std::uint32_t>{1, 3}));
  EXPECT_EQ(freeBlocks, (std::vector<std::uint32_t>{U32(str, 4 + 20)}));  // 4's old block
  EXPECT_EQ(damagedAt, (std::vector<std::uint32_t>{UnitOf(2)}));
}

}  // namespace
}  // namespace kessaro
