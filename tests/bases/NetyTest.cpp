#include "bases/Nety.h"

#include <gtest/gtest.h>

#include "bases/NetFixture.h"
#include "board/CheckSum.h"

namespace kessaro {
namespace {

using test::ReadFileBytes;
using test::SmallNet;
using test::TBytes;
using test::TNetBytes;

class NetAccess : public testing::TestWithParam<bool> {
 protected:
  bool OpenNet(TNetyFile& net, const std::string& path) {
    net.SetMapped(GetParam());
    return net.Open(path);
  }
};
std::string AccessName(const testing::TestParamInfo<bool>& p) {
  return p.param ? "mapped" : "unmapped";
}
INSTANTIATE_TEST_SUITE_P(Net, NetAccess, testing::Bool(), AccessName);

TEST_P(NetAccess, OpensAndReadsHeaderAndRecords) {
  const std::string path = SmallNet().Write("small.net");
  TNetyFile net;
  ASSERT_TRUE(OpenNet(net, path));
  EXPECT_EQ(net.NodeCount(), 8u);
  EXPECT_EQ(net.Header().Description(), "corner joseki");
  EXPECT_EQ(net.Header().RegionWord(), MakeRegion(3, 5, 5));
  EXPECT_EQ(net.Header().NetFlags(), netOffered);
  EXPECT_EQ(net.NodeBase() != nullptr, GetParam());
  // Identity: CRC-32/JAMCRC of the 2349 header bytes as stored.
  const TBytes file = ReadFileBytes(path);
  EXPECT_EQ(net.Identity(), Crc32(file.data() + 4, 2349));
  // An empty corner admits the identity and the diagonal.
  EXPECT_EQ(net.StartSymmetry(), 0x03);

  NetRecord r;
  net.ReadNode(6, r);
  EXPECT_EQ(r.Index, 6u);
  EXPECT_EQ(r.Parent(), 4u);
  EXPECT_EQ(r.Next(), 8u);
  EXPECT_EQ(r.Child(), 7u);
  EXPECT_EQ(r.Move(), 0x0404);
  EXPECT_EQ(r.MoveAnnotation(), 2);
  EXPECT_EQ(r.PositionAnnotation(), 1);
  EXPECT_EQ(r.NodeFlags(), nfHasGames);
  net.ReadGameRef(7, r);
  EXPECT_EQ(r.GameId(), 0xD0000005u);
  EXPECT_EQ(r.ContIndex(), 12);
  EXPECT_EQ(r.GameBoardSize(), 19);
  net.ReadJunction(5, r);
  EXPECT_EQ(r.Entry(), 3u);
  EXPECT_EQ(r.SharedChild(), 6u);
  EXPECT_EQ(net.TakeErrors(), 0u);
}

// Offsets fixed by the format: signature bytes C3 6B 5C 02, record i at file offset
// 4 + 2329 + 20 i, so record 1 starts right after the 2349-byte header.
TEST(Net, RecordOneStartsAfterTheHeader) {
  TNetBytes n(1);
  n.Node(1, 0, 0, 0, 0x1234);
  TBytes image = n.Image();
  EXPECT_EQ(TBytes(image.begin(), image.begin() + 4), (TBytes{0xC3, 0x6B, 0x5C, 0x02}));
  EXPECT_EQ(image.size(), 4u + 2349 + 20);
  EXPECT_EQ(image[4 + 2349 + 14], 0x34);
  EXPECT_EQ(image[4 + 2349 + 15], 0x12);
  const std::string path = test::TempPath("one.net");
  test::WriteFileBytes(path, image);
  TNetyFile net;
  ASSERT_TRUE(net.Open(path));
  NetRecord r;
  net.ReadNode(1, r);
  EXPECT_EQ(r.Move(), 0x1234);
  EXPECT_EQ(net.TakeErrors(), 0u);
  net.ReadNode(0, r);  // index 0 means none: it would overlap the header
  EXPECT_EQ(net.TakeErrors(), ErrBrokenLink);
  EXPECT_EQ(r.Bytes, NetRecord{}.Bytes);
}

TEST_P(NetAccess, BadFilesDoNotOpen) {
  struct Case {
    const char* name;
    std::size_t flip;  // file offset to flip, or 0
    std::size_t cut;   // size to cut to, or 0
    std::uint32_t errors;
  };
  const Case cases[] = {
      {"signature", 1, 0, ErrFormat},
      {"header byte", 4 + 100, 0, ErrCorrupt},
      {"header crc", 4 + 2348, 0, ErrCorrupt},
      {"short of the header", 0, 2000, ErrCorrupt},
      {"short of the records", 0, 4 + 2349 + 20 * 7, ErrFormat},
      {"three bytes", 0, 3, ErrFormat},
  };
  for (const Case& c : cases) {
    const std::string path = SmallNet().Write("bad.net");
    if (c.flip) test::FlipByte(path, c.flip);
    if (c.cut) test::CutFile(path, c.cut);
    TNetyFile net;
    EXPECT_FALSE(OpenNet(net, path)) << c.name;
    EXPECT_FALSE(net.Active()) << c.name;
    EXPECT_EQ(net.TakeErrors(), c.errors) << c.name;
  }
}

TEST_P(NetAccess, CheckValuesTellTheKind) {
  const std::string path = SmallNet().Write("kinds.net");
  TNetyFile net;
  ASSERT_TRUE(OpenNet(net, path));
  NetRecord r;
  net.ReadNode(5, r);  // a junction read as a move node
  EXPECT_EQ(net.TakeErrors(), ErrCorrupt);
  EXPECT_EQ(r.Entry(), 3u);  // the bytes are returned all the same
  net.ReadJunction(7, r);
  EXPECT_EQ(net.TakeErrors(), ErrCorrupt);
  net.VerifyRecords = false;
  net.ReadNode(5, r);
  EXPECT_EQ(net.TakeErrors(), 0u);
  net.ReadNode(9, r);  // beyond NodeCount
  EXPECT_EQ(net.TakeErrors(), ErrBrokenLink);
  EXPECT_EQ(r.Bytes, NetRecord{}.Bytes);
}

TEST_P(NetAccess, ResolveChildren) {
  struct Case {
    const char* name;
    std::uint32_t index;
    void (*edit)(TNetBytes&);
    std::uint32_t child;  // expected Child after resolving, 0 when broken
    std::uint8_t flags;   // expected flags after resolving
  };
  const Case cases[] = {
      {"ring member", 3, [](TNetBytes&) {}, 6, 0},
      {"member naming the junction", 4, [](TNetBytes&) {}, 6, 0x01},
      {"not a link", 1, [](TNetBytes&) {}, 3, 0},
      {"games flag of the via member is taken", 3,
       [](TNetBytes& n) { n.Node(4, 2, 0, 5, 0x8303, 0x30 | 0x80); }, 6, 0x80},
      {"ring back to itself", 3, [](TNetBytes& n) { n.Node(4, 2, 0, 3, 0x8303, 0x20); }, 0, 0x20},
      {"ring cycle that misses the start", 3,
       [](TNetBytes& n) {
         n.Node(4, 2, 0, 8, 0x8303, 0x20);
         n.Node(8, 4, 0, 4, 0x0402, 0x20);
       },
       0, 0x20},
      {"ring reaches 0", 3, [](TNetBytes& n) { n.Node(4, 2, 0, 0, 0x8303, 0x20); }, 0, 0x20},
      {"ring leaves the net", 3, [](TNetBytes& n) { n.Node(4, 2, 0, 99, 0x8303, 0x20); }, 0, 0x20},
      {"ring member that is no link", 3, [](TNetBytes& n) { n.Node(3, 1, 0, 8, 0x8202, 0x20); }, 0,
       0x20},
      {"junction without children", 3, [](TNetBytes& n) { n.Junction(5, 3, 0); }, 0, 0x20},
      {"alternate junction ignored without games", 3,
       [](TNetBytes& n) {
         n.Junction(5, 3, 0, 7);
         n.Junction(7, 8, 0);
       },
       0, 0x20},
      {"alternate junction of a link with games", 3,
       [](TNetBytes& n) {
         n.Node(3, 1, 0, 4, 0x8202, 0x20 | 0x80);
         n.Junction(5, 3, 0, 7);
         n.Junction(7, 8, 0);
       },
       8, 0x80},
      {"alternate junction without an entry", 3,
       [](TNetBytes& n) {
         n.Node(3, 1, 0, 4, 0x8202, 0x20 | 0x80);
         n.Junction(5, 3, 0, 7);
         n.Junction(7, 0, 0);
       },
       0, 0xA0},
  };
  for (const Case& c : cases) {
    TNetBytes bytes = SmallNet();
    c.edit(bytes);
    TNetyFile net;
    ASSERT_TRUE(OpenNet(net, bytes.Write("ring.net"))) << c.name;
    NetRecord r;
    net.ReadNode(c.index, r);
    net.TakeErrors();
    const NetRecord before = r;
    NetRecord junction;
    net.ResolveChildrenJunction(r, junction);
    const std::uint32_t errors = net.TakeErrors();
    if (c.child == 0) {
      EXPECT_TRUE(errors & ErrBrokenLink) << c.name;
      EXPECT_EQ(r.Bytes, before.Bytes) << c.name << ": left as it was";
    } else {
      EXPECT_EQ(errors, 0u) << c.name;
      EXPECT_EQ(r.Child(), c.child) << c.name;
      EXPECT_EQ(r.NodeFlags() & 0xF0, c.flags & 0xF0) << c.name;
    }
  }
}

TEST_P(NetAccess, LinkTargetAndChildLists) {
  TNetyFile net;
  ASSERT_TRUE(OpenNet(net, SmallNet().Write("lists.net")));
  NetRecord r;
  net.ReadNode(3, r);
  EXPECT_EQ(net.LinkTarget(r), 4u);
  net.ReadNode(4, r);
  EXPECT_EQ(net.LinkTarget(r), 3u);  // through the junction's entry
  net.ReadNode(1, r);
  EXPECT_EQ(net.LinkTarget(r), 0u);

  ANetyMoves list;
  auto indices = [&] {
    std::vector<std::uint32_t> v;
    for (const auto& m : list) v.push_back(m.Index);
    return v;
  };
  ASSERT_TRUE(net.ListChildren(NetRecord{}, list));
  EXPECT_EQ(indices(), (std::vector<std::uint32_t>{1, 2}));
  net.ReadNode(2, r);
  ASSERT_TRUE(net.ListChildren(r, list));
  EXPECT_EQ(indices(), (std::vector<std::uint32_t>{4}));
  net.ReadNode(4, r);  // a link: the ring's shared children
  ASSERT_TRUE(net.ListChildren(r, list));
  EXPECT_EQ(indices(), (std::vector<std::uint32_t>{6, 8}));
  net.ReadNode(6, r);  // its Child is a game reference, not a child
  ASSERT_TRUE(net.ListChildren(r, list));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(net.TakeErrors(), 0u);
}

TEST(Net, SiblingCycleEndsAsBrokenLink) {
  TNetBytes n = SmallNet();
  n.Node(8, 4, 6, 0, 0x0402);  // 6 -> 8 -> 6 ...
  TNetyFile net;
  ASSERT_TRUE(net.Open(n.Write("cycle.net")));
  NetRecord r;
  net.ReadNode(4, r);
  ANetyMoves list;
  EXPECT_FALSE(net.ListChildren(r, list));
  EXPECT_EQ(net.TakeErrors(), ErrBrokenLink);
  EXPECT_LE(list.size(), net.NodeCount());
}

TEST(Net, TransformMoveWithinTheRegion) {
  TNetBytes n(0, 3, 5, 7);
  TNetyFile net;
  ASSERT_TRUE(net.Open(n.Write("t.net")));
  struct Case {
    TMoveWord in;
    TSymmetry code;
    TMoveWord out;
  };
  const Case cases[] = {
      {MakeMove(1, 2), 0, MakeMove(1, 2)},
      {MakeMove(1, 2), 1, MakeMove(2, 1)},
      {MakeMove(1, 2), 2, MakeMove(3, 2)},
      {MakeMove(1, 2), 4, MakeMove(1, 4)},
      {MakeMove(1, 2) | kLadderFlag | kTenukiFlag, 8,
       MakeMove(1, 2, true) | kLadderFlag | kTenukiFlag},
      {kNoMove, 7, kNoMove},
      {kNoMove, 8 | 6, kNoMove | kWhiteBit},  // a pass keeps x = y = 31
      {MakeMove(5, 0), 2, MakeMove(5, 0)},    // off the region
  };
  for (const Case& c : cases) {
    TMoveWord m = c.in;
    net.TransformMove(m, c.code);
    EXPECT_EQ(m, c.out) << std::hex << c.in << " code " << int(c.code);
  }
}

TEST(Net, StartPositionAndItsSymmetry) {
  TNetBytes n(0, 1, 3, 3);
  n.StartCell(4, 1);  // the centre: every symmetry
  TNetyFile net;
  ASSERT_TRUE(net.Open(n.Write("start.net")));
  TMatrix m;
  net.GetStartPosition(m);
  EXPECT_EQ(m, (TMatrix{0, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(net.StartSymmetry(), 0xFF);
  TNetBytes off(0, 1, 3, 3);
  off.StartCell(1, 2);
  ASSERT_TRUE(net.Open(off.Write("start2.net")));
  EXPECT_EQ(net.StartSymmetry(), 0x05);  // identity and the left-right mirror
}

TEST(Net, WriterProducesWhatTheReaderAndCheckAccept) {
  const std::string path = test::TempPath("built.net");
  {
    TNetyFile net;
    net.SetReadOnly(false);
    ASSERT_TRUE(net.CreateNew(path));
    net.Header().SetRegion(3, 5, 5);
    ASSERT_TRUE(net.Header().SetStartPosition(TMatrix(25, 0)));
    net.Header().SetNetFlags(netOffered);
    net.Header().SetDescription("built");
    // The same records as the byte fixture.
    const TBytes image = SmallNet().Image();
    for (std::uint32_t i = 1; i <= 8; ++i) {
      NetRecord r;
      r.Index = i;
      std::copy_n(image.begin() + static_cast<long>(TNetBytes::Record(i)), 20, r.Bytes.begin());
      const TNetRecordKind kind = i == 5 ? nkJunction : i == 7 ? nkGameRef : nkNode;
      net.WriteRecord(r, kind);
    }
    NetRecord back;
    net.ReadJunction(5, back);  // readable while writing
    EXPECT_EQ(back.SharedChild(), 6u);
    EXPECT_EQ(net.TakeErrors(), 0u);
  }
  TNetyFile net;
  ASSERT_TRUE(net.Open(path));
  EXPECT_EQ(net.NodeCount(), 8u);
  EXPECT_EQ(net.Header().Description(), "built");
  EXPECT_GE(net.Header().Modified(), net.Header().Created());
  EXPECT_GT(net.Header().Created(), 40000.0);
  const TBytes built = ReadFileBytes(path), fixture = SmallNet().Image();
  ASSERT_EQ(built.size(), fixture.size());
  EXPECT_TRUE(std::equal(built.begin() + TNetBytes::Record(1), built.end(),
                         fixture.begin() + TNetBytes::Record(1)));
  const TNetCheck check = CheckNet(net);
  EXPECT_TRUE(check.Ok());
  EXPECT_EQ(check.unreached, 0u);
}

TEST(NetCheck, FindsBadRecordsAndLinks) {
  struct Case {
    const char* name;
    void (*edit)(TNetBytes&, TBytes&);
    std::vector<std::uint32_t> bad;
  };
  const Case cases[] = {
      {"intact", [](TNetBytes&, TBytes&) {}, {}},
      {"flipped record byte", [](TNetBytes&, TBytes& b) { b[TNetBytes::Record(6) + 3] ^= 1; }, {6}},
      {"junction reached as a node",
       [](TNetBytes& n, TBytes& b) {
         n.Node(8, 4, 5, 0, 0x0402);
         b = n.Image();
       },
       {5}},
      {"child outside the net",
       [](TNetBytes& n, TBytes& b) {
         n.Node(8, 4, 0, 40, 0x0402);
         b = n.Image();
       },
       {8}},
      {"broken ring",
       [](TNetBytes& n, TBytes& b) {
         n.Node(4, 2, 0, 3, 0x8303, 0x20);
         b = n.Image();
       },
       {3, 4}},
      {"unreached garbage record",
       [](TNetBytes& n, TBytes& b) {
         n.Node(8, 4, 0, 0, 0x0402);
         n.Node(6, 4, 0, 7, 0x0404, 0x80);
         b = n.Image();
         b[TNetBytes::Record(8) + 19] ^= 0x40;
       },
       {8}},
  };
  for (const Case& c : cases) {
    TNetBytes n = SmallNet();
    TBytes bytes = n.Image();
    c.edit(n, bytes);
    const std::string path = test::TempPath("check.net");
    test::WriteFileBytes(path, bytes);
    TNetyFile net;
    ASSERT_TRUE(net.Open(path)) << c.name;
    const TNetCheck check = CheckNet(net, 10);
    EXPECT_EQ(check.firstBad, c.bad) << c.name;
    EXPECT_EQ(check.badRecords, c.bad.size()) << c.name;
  }
}

// Every single flipped byte of a small net: the header and signature flips fail to open,
// every record flip is found by the check, and nothing reads outside the file.
TEST_P(NetAccess, EveryFlippedByteIsRejectedOrFound) {
  const TBytes image = SmallNet().Image();
  const std::string path = test::TempPath("flip.net");
  for (std::size_t offset = 0; offset < image.size(); ++offset) {
    TBytes bytes = image;
    bytes[offset] ^= 0xFF;
    test::WriteFileBytes(path, bytes);
    TNetyFile net;
    const bool opened = OpenNet(net, path);
    if (offset < TNetBytes::Record(1)) {
      ASSERT_FALSE(opened) << offset;
      continue;
    }
    ASSERT_TRUE(opened) << offset;
    EXPECT_FALSE(CheckNet(net).Ok()) << offset;
    // Walk everything a reader would: each record as every kind, each list, each ring.
    ANetyMoves list;
    NetRecord r, j;
    net.ListChildren(NetRecord{}, list);
    for (std::uint32_t i = 0; i <= net.NodeCount() + 1; ++i) {
      net.ReadNode(i, r);
      net.ListChildren(r, list);
      net.ResolveChildrenJunction(r, j);
      net.LinkTarget(r);
      net.ReadGameRef(i, r);
      net.ReadJunction(i, r);
    }
  }
}

}  // namespace
}  // namespace kessaro
