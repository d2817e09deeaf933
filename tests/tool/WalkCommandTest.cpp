// The walk subcommand over a user home built in the test, and info on the sub-net, sub base
// and variations base files of that home.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bases/HolderHome.h"
#include "bases/PositionBase.h"
#include "support/ByteFixtures.h"
#include "support/TestSupport.h"
#include "tool/ToolRun.h"

namespace kessaro::tool {
namespace {

class WalkCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { home_ = test::BuildHolderHome("walkhome"); }
  test::THolderHome home_;
};

TEST_F(WalkCommandTest, ChildrenWithStatisticsAndGameTails) {
  // d3 (Black), then c3 (White) reaches the ring's shared position.
  const ToolRun r = RunCli({"walk", home_.Home, "dc", "cc", "--json"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["path"], nlohmann::json::array({"B[dc]", "W[cc]"}));
  const auto& children = j["children"];
  ASSERT_EQ(children.size(), 3u);
  EXPECT_EQ(children[0]["move"], "B[ee]");
  EXPECT_EQ(children[0]["kind"], "net");
  EXPECT_EQ(children[0]["moveAnnotation"], 2);
  EXPECT_EQ(children[0]["stats"]["Pro"]["moverWins"], 5);
  EXPECT_EQ(children[2]["kind"], "game");
  EXPECT_EQ(children[2]["tail"], nlohmann::json::array({"B[ed]", "W[fe]"}));

  const ToolRun repeat = RunCli({"walk", home_.Home, "B[dc]", "W[cc]", "ee"});
  ASSERT_EQ(repeat.status, kExitOk) << repeat.err;
  EXPECT_NE(repeat.out.find("W[dd] net repeat"), std::string::npos) << repeat.out;

  const ToolRun summed = RunCli({"walk", home_.Home, "dc"});
  EXPECT_NE(summed.out.find("summed: Pro 5/0/0, Kyu 0/0/1"), std::string::npos) << summed.out;
}

// Every file of a folder tree, by path.
std::map<std::string, test::TBytes> TreeBytes(const std::string& root) {
  std::map<std::string, test::TBytes> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[e.path().string()] = test::ReadFileBytes(e.path().string());
  return files;
}

TEST_F(WalkCommandTest, LookingLeavesTheHomeByteIdentical) {
  // Without a position base nothing is created; with one, nothing is rewritten.
  for (const bool withPositionBase : {false, true}) {
    if (withPositionBase) {
      std::filesystem::create_directories(home_.Home + "/User Game Base");
      TPositionBase b;
      b.SetReadOnly(false);
      ASSERT_TRUE(b.Open(home_.Home + "/User Game Base/Data"));
      ASSERT_TRUE(b.StoreMoves(test::Diagram("X..\n...\n...\n", 3, 3),
                               MakeRegion(rkWholeBoard, 3, 3), {{MakeMove(1, 1), 0, 1, 1}}));
      auto comment = std::make_unique<TStringSet>();
      comment->SetText(1033, "kept as it is");
      b.CommentBase().Write(1, comment.get());
    }
    const auto before = TreeBytes(home_.Home);
    EXPECT_EQ(RunCli({"walk", home_.Home, "dc", "cc"}).status, kExitOk);
    EXPECT_EQ(RunCli({"games", home_.Home}).status, kExitOk);
    EXPECT_TRUE(TreeBytes(home_.Home) == before) << "position base: " << withPositionBase;
  }
}

TEST_F(WalkCommandTest, MoveNotInTheNetNamesTheCandidates) {
  const ToolRun r = RunCli({"walk", home_.Home, "aa"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("candidates: B[cc] B[dc]"), std::string::npos) << r.err;
  EXPECT_EQ(RunCli({"walk", home_.Home, "W[cc]"}).status, kExitUsage);  // wrong colour
  EXPECT_EQ(RunCli({"walk", home_.Home, "c"}).status, kExitUsage);
}

TEST_F(WalkCommandTest, NoJosekiSubNetExitsWithOne) {
  const std::string empty = test::TempPath("emptyhome");
  const ToolRun r = RunCli({"walk", empty});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.err.find("no joseki sub-net"), std::string::npos);
}

TEST_F(WalkCommandTest, InfoReportsSubNetsSubBasesAndTheVariationsBase) {
  const ToolRun r = RunCli({"info", "--json", home_.Home + "/Sub Base/joseki.sns",
                            home_.Home + "/Sub Base/vars.sbs", home_.Home + "/Vars Base/Vars.vim"});
  ASSERT_EQ(r.status, kExitOk) << r.out << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[0]["kind"], "sub-net");
  EXPECT_EQ(j[0]["netIdentity"], [&] {
    char b[12];
    std::snprintf(b, sizeof b, "%08X", home_.RingNetIdentity);
    return std::string(b);
  }());
  EXPECT_EQ(j[0]["selectionBits"], 0);
  EXPECT_EQ(j[1]["kind"], "sub base");
  EXPECT_EQ(j[1]["varsBase"]["count"], 0);
  EXPECT_EQ(j[2]["kind"], "variations base");
  EXPECT_EQ(j[2]["variationCount"], 1);
  EXPECT_EQ(j[2]["status"], "ok");

  test::FlipByte(home_.Home + "/Sub Base/a-fuseki.sns", 4 + 1610, 0x01);
  const ToolRun damaged = RunCli({"info", home_.Home + "/Sub Base/a-fuseki.sns"});
  EXPECT_EQ(damaged.status, kExitCheckFailed);
  EXPECT_NE(damaged.out.find("bit fields do not verify"), std::string::npos) << damaged.out;
}

}  // namespace
}  // namespace kessaro::tool
