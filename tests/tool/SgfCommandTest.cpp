#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tool/ToolRun.h"

namespace kessaro::tool {
namespace {

std::string Write(const std::string& name, const std::string& text) {
  const auto path = (std::filesystem::path(std::getenv("KESSARO_HOME")) / name).string();
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(ToolSgf, JsonHoldsInformationAndTree) {
  // Shift_JIS player name, made known by CA; a broken game in between is skipped.
  const std::string file = Write(
      "j.sgf",
      "(;GM[1]CA[SHIFTJIS_CHARSET]PB[\x96\x7B\x88\xF6];B[pd]C[c1];W[dp](;B[pp])(;B[dd]AB[aa]))"
      "(;;B[A])(;GM[1];;W[])");
  const ToolRun r = RunCli({"sgf", file, "--json", "--empty-node-as-pass"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["games"].size(), 2u);
  EXPECT_EQ(j["games"][0]["info"]["Black player"], "\xE6\x9C\xAC\xE5\x9B\xA0");  // UTF-8
  const auto& root = j["games"][0]["root"];
  EXPECT_TRUE(root["move"].is_null());
  const auto& b = root["children"][0];
  EXPECT_EQ(b["move"], "B[pd]");
  EXPECT_EQ(b["comment"], "c1");
  EXPECT_FALSE(b.contains("setup"));
  const auto& w = b["children"][0];
  ASSERT_EQ(w["children"].size(), 2u);
  EXPECT_EQ(w["children"][1]["setup"][0], "AB[aa]");
  EXPECT_FALSE(w["children"][0].contains("children"));
  EXPECT_EQ(j["games"][1]["root"]["children"][0]["move"], "W[]");  // the empty node as pass
}

TEST(ToolSgf, TextOutputWriteAndErrors) {
  const std::string file = Write("t.sgf", "(;GM[1]PB[Go Seigen];B[pd];W[dp](;B[pp])(;B[dd]))");
  ToolRun r = RunCli({"sgf", file});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Black player: Go Seigen\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(";B[pd];W[dp](;B[pp])(;B[dd])\n"), std::string::npos);

  const std::string out = Write("out.sgf", "");
  r = RunCli({"sgf", "--write", out, file});
  EXPECT_EQ(r.status, 0) << r.err;
  r = RunCli({"sgf", out});
  EXPECT_NE(r.out.find(";B[pd];W[dp];B[pp]\n"), std::string::npos) << r.out;

  EXPECT_EQ(RunCli({"sgf", "/no/such.sgf"}).status, 1);
  EXPECT_EQ(RunCli({"sgf"}).status, 2);
  r = RunCli({"sgf", Write("none.sgf", "no games here")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("no game"), std::string::npos);
}

}  // namespace
}  // namespace kessaro::tool
