#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "bases/PositionBase.h"
#include "support/ByteFixtures.h"
#include "support/TestSupport.h"
#include "tool/ToolRun.h"

namespace kessaro::tool {
namespace {

constexpr TRegionWord kCorner = MakeRegion(rkCorner, 5, 5);

// A base with one corner position, two moves (one with a comment) and a source name.
std::string MakeBase(const std::string& name, std::uint32_t& record) {
  const std::string base = test::TempPath(name);
  for (const char* ext : {".pos", ".str", ".sid", ".ltr", ".lid"}) test::TempPath(name + ext);
  TPositionBase b;
  b.SetReadOnly(false);
  EXPECT_TRUE(b.Open(base));
  const TMatrix m = test::Diagram(
      "X....\n"
      "..O..\n"
      ".....\n"
      ".....\n"
      ".....\n",
      5, 5);
  EXPECT_TRUE(b.StoreMoves(m, kCorner,
                           {{MakeMove(2, 3), 2 * 13 + 1, kPosMoveFromGames, 7},
                            {MakeMove(4, 0, true) | kLadderFlag, 0, kPosMoveFromVars, 0}}));
  TStringSet comment, source;
  comment.SetText(1033, "a good hane");
  comment.SetText(1049, "khane");
  source.SetText(1033, "Dictionary");
  b.CommentBase().Write(7, &comment);
  b.LetterBase().Write(1, &source);
  record = b.Tables().at(0).Buckets + kBucketCount;  // the first record follows the table
  return base + ".pos";
}

TEST(ToolInfoPositionBase, ReportsTablesStringBasesAndDumpsPositions) {
  std::uint32_t record = 0;
  const std::string path = MakeBase("UserMoves", record);
  const ToolRun r = RunInfo({path, "--dump"});
  EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
  for (const char* line :
       {"  kind: position base\n", "  positions stored: 1\n", "  free blocks: 0 (0 bytes)\n",
        "  comment base: 1 strings, max ID 7, 0 free blocks, ok\n",
        "  letter base: 1 strings, max ID 1, 0 free blocks, ok\n",
        "    X....\n    ..O..\n    .....\n",
        "    move B 2,3, annotation 2/1, flags 01, comment 7: 1033: a good "
        "hane | 1049: khane\n",
        "    move W 4,0 ladder, annotation 0/0, flags 02\n", "  ok\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  EXPECT_NE(r.out.find("  table kind 3, 5 x 5: 1 positions, 0 tag lists, buckets "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  header checksum: "), std::string::npos);

  const ToolRun j = RunInfo({path, "--json"});
  ASSERT_EQ(j.status, kExitOk);
  const auto doc = nlohmann::json::parse(j.out);
  ASSERT_EQ(doc.size(), 1u);
  EXPECT_EQ(doc[0]["kind"], "position base");
  EXPECT_EQ(doc[0]["positionCount"], 1);
  EXPECT_EQ(doc[0]["tables"][0]["region"], "kind 3, 5 x 5");
  EXPECT_EQ(doc[0]["commentBase"]["strings"], 1);
  EXPECT_FALSE(doc[0].contains("positions"));  // only with --dump
}

TEST(ToolInfoPositionBase, DamageFailsTheCheck) {
  std::uint32_t record = 0;
  const std::string path = MakeBase("Damaged", record);
  test::FlipByte(path, 4 + 4 * std::size_t{record} + 6);  // a position byte of the record
  ToolRun r = RunInfo({path});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("  positions stored: 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  corrupt: 1 bad records\n"), std::string::npos) << r.out;

  const std::string other = MakeBase("Strings", record);
  test::FlipByte(other.substr(0, other.size() - 4) + ".str", 4 + 32 + 12);  // comment text
  r = RunInfo({other});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("  comment base: 1 strings, max ID 7, 0 free blocks, corrupt: 1 bad "
                       "records\n"),
            std::string::npos)
      << r.out;
  // A tag file of an older save beside the holder file of a newer one (a kill between their
  // renames once did that): every comment is unreadable, and info says so.
  const std::string stale = MakeBase("Stale", record);
  const std::string staleStem = stale.substr(0, stale.size() - 4);
  const test::TBytes oldTags = test::ReadFileBytes(staleStem + ".sid");
  {
    TPositionBase b;
    b.SetReadOnly(false);
    ASSERT_TRUE(b.Open(stale));
    TStringSet longer;
    longer.SetText(1033, "a much longer comment that moves the record elsewhere");
    b.CommentBase().Write(7, &longer);
    b.CommentBase().Write(2, &longer);
  }
  test::WriteFileBytes(staleStem + ".sid", oldTags);
  r = RunInfo({stale});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("  comment base: 2 strings, max ID 7, 1 free blocks, corrupt: "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  corrupt: a string base is damaged\n"), std::string::npos) << r.out;

  test::FlipByte(other, 4 + 3);  // the header
  r = RunInfo({other});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find(" mismatch\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  positions stored: 1\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kessaro::tool
