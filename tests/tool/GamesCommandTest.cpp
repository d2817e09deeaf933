#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "bases/BaseSorting.h"
#include "bases/HolderHome.h"
#include "tool/ToolRun.h"

namespace kessaro::tool {
namespace {

std::string Key(const std::string& text) {
  return TBaseSorting::FormatKey(GI_BlackPlayer, text, kEnglish);
}

// A user home whose joseki sub base has an index of three entries (two variations and one
// identifier the sub base does not hold).
class ToolGames : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = test::BuildHolderHome("games-home");
    TBaseSorting index;
    index.SetReadOnly(false);
    ASSERT_TRUE(index.Open(home_.Home + "/Index/players.sbx"));
    index.SetSubBaseIdentity(home_.VarsSubBaseIdentity);
    index.SetKeyElements({GI_BlackPlayer, GI_Date});
    index.AddEntry(kVarGameIdFirst + 1, Key("cho"));
    index.AddEntry(kVarGameIdFirst + 2, Key("kitani"));
    index.AddEntry(7, Key("kato"));
    index.Close();
    ASSERT_EQ(index.TakeErrors(), 0u);
  }
  test::THolderHome home_;
};

TEST_F(ToolGames, ListsTheJosekiSubBaseInIndexOrder) {
  const ToolRun r = RunCli({"games", home_.Home});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("index players.sbx, 3 games\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("#\tid\tBlack player\tBlack rank\tWhite player"), std::string::npos);
  EXPECT_NE(r.out.find("1\tD0000001\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3\t00000007\t"), std::string::npos) << r.out;
}

TEST_F(ToolGames, FindsTheRangeOfAKeyPrefix) {
  const ToolRun r =
      RunCli({"games", home_.Home, "--index", "players.sbx", "--find", "K", "--json"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["index"], "players.sbx");
  EXPECT_EQ(j["columns"].size(), 8u);
  ASSERT_EQ(j["games"].size(), 2u);
  EXPECT_EQ(j["games"][0]["id"], "D0000002");
  EXPECT_EQ(j["games"][0]["loaded"], false);  // a variation has no game record
  EXPECT_EQ(j["games"][1]["id"], "00000007");
  const ToolRun none = RunCli({"games", home_.Home, "--find", "zz", "--json"});
  ASSERT_EQ(none.status, kExitOk);
  EXPECT_TRUE(nlohmann::json::parse(none.out)["games"].empty());
}

TEST_F(ToolGames, RefusesAnUnknownIndexAndAHomeWithoutJosekiNet) {
  const ToolRun r = RunCli({"games", home_.Home, "--index", "nothing.sbx"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("no index nothing.sbx"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("players.sbx"), std::string::npos);
  const ToolRun empty = RunCli({"games", test::TempPath("no-home")});
  EXPECT_EQ(empty.status, kExitCheckFailed);
}

TEST_F(ToolGames, InfoReportsASortIndex) {
  const std::string path = home_.Home + "/Index/players.sbx";
  const ToolRun r = RunCli({"info", path});
  ASSERT_EQ(r.status, kExitOk) << r.out << r.err;
  char identity[12];
  std::snprintf(identity, sizeof identity, "%08X", home_.VarsSubBaseIdentity);
  for (const std::string& line : std::vector<std::string>{
           "  kind: sort index\n", "  name: players.sbx\n", "  key elements: Black player, Date\n",
           "  entries: 3\n", std::string("  sub base identity: ") + identity + "\n", "  ok\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  // A damaged trie node fails the check; a layout mismatch does not open.
  test::TBytes bytes = test::ReadFileBytes(path);
  bytes[bytes.size() - 30] ^= 0x40;
  const std::string bad = test::TempPath("bad.sbx");
  test::WriteFileBytes(bad, bytes);
  const ToolRun corrupt = RunCli({"info", bad, "--json"});
  EXPECT_EQ(corrupt.status, kExitCheckFailed);
  const auto j = nlohmann::json::parse(corrupt.out);
  EXPECT_EQ(j[0]["status"], "corrupt");
  EXPECT_GE(j[0]["badNodes"].get<int>(), 1);
  bytes = test::ReadFileBytes(path);
  test::PutLE32(bytes, 4 + 36, 0);
  test::WriteFileBytes(bad, bytes);
  const ToolRun layout = RunCli({"info", bad});
  EXPECT_EQ(layout.status, kExitCheckFailed);
  EXPECT_NE(layout.out.find("unreadable"), std::string::npos) << layout.out;
}

}  // namespace
}  // namespace kessaro::tool
