#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tool/ToolRun.h"

namespace kessaro::tool {
namespace {

std::string TempFile(const std::string& name, const std::string& contents) {
  const auto path = std::filesystem::path(std::getenv("KESSARO_HOME")) / name;
  std::ofstream(path, std::ios::binary) << contents;
  return path.string();
}

TEST(ToolChecksum, PrintsBothChecksumsPerFile) {
  const std::string a = TempFile("digits", "123456789");
  const std::string b = TempFile("empty", "");
  const ToolRun r = RunCli({"checksum", a, b});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out, "crc16=4B37 crc32=340BC6D9  " + a + "\ncrc16=FFFF crc32=FFFFFFFF  " + b + "\n");
}

TEST(ToolChecksum, UnreadableFileIsReportedAndOthersStillPrinted) {
  const std::string a = TempFile("digits", "123456789");
  const ToolRun r = RunCli({"checksum", "/nonexistent/file", a});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("/nonexistent/file"), std::string::npos);
  EXPECT_NE(r.out.find(a), std::string::npos);
}

TEST(ToolPosition, PrintsHashMaskAndEncoding) {
  std::string board;
  for (int y = 0; y < 19; ++y) board += std::string(19, '.') + "\n";
  ToolRun r = RunCli({"position", "--region", "1,19,19"}, board);
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("symmetry=FF\nencoded=0440131301FFFFFF6A\n"), std::string::npos) << r.out;

  board[3 * 20 + 3] = 'X';  // the 4-4 point
  r = RunCli({"position", "--region", "1,19,19"}, board);
  EXPECT_NE(r.out.find("symmetry=03\n"), std::string::npos) << r.out;
  // Same position mirrored and colour-swapped: same bucket and tag.
  std::string other = board;
  other[3 * 20 + 3] = '.';
  other[3 * 20 + 15] = 'O';
  const ToolRun s = RunCli({"position", "--region", "1,19,19", "--order", "1"}, other);
  EXPECT_EQ(r.out.substr(0, 25), s.out.substr(0, 25));
  EXPECT_EQ(r.out.substr(0, 7), "bucket=");
}

TEST(ToolPosition, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string input, message;
  };
  const Case cases[] = {
      {{"position", "--region", "3,4,4"}, "....\n....\n....\n", "expected 4 lines"},
      {{"position", "--region", "3,4,4"}, "....\n...\n....\n....\n", "line 2"},
      {{"position", "--region", "3,4,4"}, "....\n..a.\n....\n....\n", "unexpected character"},
      {{"position", "--region", "1,4,5"}, "", "invalid region"},
      {{"position", "--region", "3,4"}, "", "KIND,WIDTH,HEIGHT"},
      {{"position", "--region", "3,4,4", "--order", "3"}, "", "order"},
      {{"position"}, "", "region"},
      {{"frobnicate"}, "", "ubcommand is required"},
      {{}, "", "ubcommand is required"},
  };
  for (const auto& c : cases) {
    const ToolRun r = RunCli(c.args, c.input);
    EXPECT_EQ(r.status, kExitUsage) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

TEST(Tool, HelpForEverySubcommandSucceeds) {
  for (const char* sub : {"checksum", "position"}) {
    const ToolRun r = RunCli({sub, "--help"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.find(sub), std::string::npos);
  }
}

TEST(Tool, BinaryRunsFromTheShell) {
  const std::string cmd =
      std::string(KESSARO_TOOL_PATH) + " position --region 3,2,2 <<< $'X.\\n.O'";
  FILE* p = popen(("bash -c \"" + cmd + "\"").c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[256] = {};
  std::string out;
  while (fgets(buf, sizeof buf, p)) out += buf;
  EXPECT_EQ(pclose(p), 0);
  EXPECT_NE(out.find("symmetry=03\nencoded=014002020337"), std::string::npos) << out;
}

}  // namespace
}  // namespace kessaro::tool
