// The build subcommand: a database built from SGF files, walked and checked with the walk and
// info subcommands; usage errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/FileSystem.h"
#include "support/ByteFixtures.h"
#include "tool/ToolRun.h"

namespace kessaro::tool {
namespace {

namespace fs = std::filesystem;

// Two games reach one position in two move orders (d4 c6 f3 and c6 f3 d4, mirrored at the
// first move); one game goes on alone; a capture in the corner.
std::string WriteInput(const std::string& name) {
  const std::string dir = test::TempPath(name);
  fs::remove_all(dir);
  fs::create_directories(dir + "/sub");
  std::ofstream(dir + "/a.sgf", std::ios::binary)
      << "(;GM[1]SZ[19]BR[9p]WR[9p]RE[B+R];B[dd];W[fc];B[cf];W[ci];B[eg])"
         "(;GM[1]SZ[19]BR[9p]WR[9p]RE[W+R];B[dd];W[fc];B[cf])";
  std::ofstream(dir + "/sub/t.MGT", std::ios::binary)
      << "(;GM[1]SZ[19]BR[3k]WR[2k];B[cf];W[fc];B[dd])(;GM[1]SZ[19];B[cf];W[fc];B[dd])"
         "(;GM[1]SZ[19];B[ba];W[aa];B[ab];W[dd];B[aa])(;GM[1]SZ[19];B[ba];W[aa];B[ab];W[dd];B[aa])";
  return dir;
}

TEST(BuildCommand, BuildsADatabaseThatWalkAndInfoRead) {
  const std::string input = WriteInput("build-input");
  const std::string home = test::TempPath("build-home");
  fs::remove_all(home);
  const ToolRun b = RunCli({"build", "--out", home, "--name", "Corners", input});
  ASSERT_EQ(b.status, kExitOk) << b.err;
  EXPECT_NE(b.out.find("games: 6, used 6"), std::string::npos) << b.out;
  EXPECT_NE(b.out.find("transpositions joined 1"), std::string::npos) << b.out;
  EXPECT_NE(b.out.find("Net/Corners.net"), std::string::npos) << b.out;

  const ToolRun root = RunCli({"walk", home, "--json"});
  ASSERT_EQ(root.status, kExitOk) << root.err;
  const auto r = nlohmann::json::parse(root.out);
  EXPECT_EQ(r["net"], "Corners");
  ASSERT_EQ(r["children"].size(), 3u);
  // Equal counts: by point.
  EXPECT_EQ(r["children"][0]["move"], "B[ba]");
  EXPECT_EQ(r["children"][1]["move"], "B[fc]");
  EXPECT_EQ(r["children"][1]["stats"]["Kyu"]["unknown"], 1);
  EXPECT_EQ(r["children"][1]["stats"]["Unknown"]["unknown"], 1);
  EXPECT_EQ(r["children"][2]["move"], "B[dd]");
  EXPECT_EQ(r["children"][2]["stats"]["Pro"]["moverWins"], 1);
  EXPECT_EQ(r["children"][2]["stats"]["Pro"]["opponentWins"], 1);

  // The ring: own counts 2 each, summed 4, from both sides.
  const ToolRun a = RunCli({"walk", home, "dd", "fc", "cf", "--json"});
  ASSERT_EQ(a.status, kExitOk) << a.err;
  const auto ja = nlohmann::json::parse(a.out);
  ASSERT_EQ(ja["children"].size(), 1u);
  EXPECT_EQ(ja["children"][0]["move"], "W[ci]");
  EXPECT_EQ(ja["children"][0]["kind"], "game");
  EXPECT_EQ(ja["children"][0]["tail"], nlohmann::json::array({"B[eg]"}));
  const ToolRun t = RunCli({"walk", home, "fc", "cf", "dd"});
  ASSERT_EQ(t.status, kExitOk) << t.err;
  EXPECT_NE(t.out.find("W[ic] game"), std::string::npos) << t.out;
  EXPECT_NE(t.out.find("tail: B[ge]"), std::string::npos) << t.out;
  const ToolRun sums = RunCli({"walk", home, "fc", "cf"});
  EXPECT_NE(sums.out.find("summed: Pro 1/1/0, Kyu 0/0/1, Unknown 0/0/1"), std::string::npos)
      << sums.out;
  // The capture.
  EXPECT_EQ(RunCli({"walk", home, "ba", "aa", "ab", "W[dd]", "B[aa]"}).status, kExitOk);

  std::vector<std::string> files = {"info"};
  for (const char* f : {"/Net/Corners.net", "/Sub Base/Corners.sbs", "/Sub Base/Corners.sns",
                        "/Sub Base/Corners.stc", "/Vars Base/Vars.vpb"})
    files.push_back(home + f);
  const ToolRun info = RunCli(files);
  EXPECT_EQ(info.status, kExitOk) << info.out << info.err;
  files.insert(files.begin() + 1, "--json");
  const auto ji = nlohmann::json::parse(RunCli(files).out);
  ASSERT_EQ(ji.size(), 5u);
  for (const auto& f : ji) EXPECT_EQ(f["status"], "ok") << f.dump();
}

TEST(BuildCommand, OptionsAndUsageErrors) {
  const std::string input = WriteInput("build-input2");
  const std::string home = test::TempPath("build-home2");
  fs::remove_all(home);
  // Region 3 x 4 and min-games 1: every sequence is followed to its end.
  const ToolRun b = RunCli({"build", "--out", home, "--region", "3x4", "--min-games", "1", "--jobs",
                            "2", input + "/a.sgf"});
  ASSERT_EQ(b.status, kExitOk) << b.err;
  const ToolRun info = RunCli({"info", "--json", home + "/Net/Joseki.net"});
  const auto j = nlohmann::json::parse(info.out);
  EXPECT_EQ(j[0]["region"]["width"], 3);
  EXPECT_EQ(j[0]["region"]["height"], 4);
  const ToolRun w = RunCli({"walk", home, "dd"});
  EXPECT_EQ(w.status, kExitUsage);  // d4 is outside a 3 x 4 corner

  EXPECT_EQ(RunCli({"build", "--out", home, "--region", "0", input}).status, kExitUsage);
  EXPECT_EQ(RunCli({"build", "--out", home, "--region", "20x3", input}).status, kExitUsage);
  EXPECT_EQ(RunCli({"build", "--out", home, "--region", "4y4", input}).status, kExitUsage);
  EXPECT_EQ(RunCli({"build", "--out", home, "--min-games", "0", input}).status, kExitUsage);
  EXPECT_EQ(RunCli({"build", input}).status, kExitUsage);  // no --out
  const ToolRun none = RunCli({"build", "--out", home, home + "/Net"});
  EXPECT_EQ(none.status, kExitUsage);
  EXPECT_NE(none.err.find("no .sgf or .mgt files"), std::string::npos) << none.err;
  const ToolRun missing = RunCli({"build", "--out", home, input + "/nothing.sgf", input});
  EXPECT_EQ(missing.status, kExitOk);
  EXPECT_NE(missing.err.find("no such input"), std::string::npos) << missing.err;
  const ToolRun badHome = RunCli({"build", "--out", input + "/a.sgf/home", input});
  EXPECT_EQ(badHome.status, kExitUsage);
  EXPECT_NE(badHome.err.find("nothing was written"), std::string::npos) << badHome.err;
}

TEST(BuildCommand, DroppedGamesAreCountedWithTheirReasons) {
  const std::string input = test::TempPath("build-dropped");
  fs::remove_all(input);
  fs::create_directories(input);
  std::ofstream(input + "/d.sgf", std::ios::binary)
      << "(;GM[1]SZ[19];B[dd];W[fc])(;GM[1]SZ[19];B[zz])(;GM[1]SZ[19];B[cf];W[fc";
  const std::string home = test::TempPath("build-dropped-home");
  fs::remove_all(home);
  const ToolRun b = RunCli({"build", "--out", home, input});
  ASSERT_EQ(b.status, kExitOk) << b.err;
  EXPECT_NE(b.out.find("games: 2, used 2, skipped not 19 x 19 0, rejected by the reader 1"),
            std::string::npos)
      << b.out;
  EXPECT_NE(b.out.find("d.sgf: game 2 (byte 26) rejected: a move outside the board"),
            std::string::npos)
      << b.out;
  EXPECT_NE(b.out.find("d.sgf: game 3 (byte 46): the file ends inside the game"), std::string::npos)
      << b.out;
}

TEST(BuildCommand, ReadOnlyHomeSaysSo) {
  const std::string input = WriteInput("build-input3");
  const std::string home = test::TempPath("build-readonly-home");
  fs::remove_all(home);
  fs::create_directories(home);
  fs::permissions(home, fs::perms::owner_read | fs::perms::owner_exec);
  // Root writes into any folder: there the refusal of the first file created is injected.
  if (geteuid() == 0)
    SetFaultHook(
        [n = 0](TFileOp op) mutable { return op == TFileOp::foOpen && ++n == 1 ? EACCES : 0; });
  const ToolRun b = RunCli({"build", "--out", home, input});
  SetFaultHook({});
  fs::permissions(home, fs::perms::owner_all);
  EXPECT_EQ(b.status, kExitUsage);
  EXPECT_NE(b.err.find("cannot write " + home + ": permission denied"), std::string::npos) << b.err;
}

}  // namespace
}  // namespace kessaro::tool
