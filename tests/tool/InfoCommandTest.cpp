#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "bases/NetFixture.h"
#include "support/ByteFixtures.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

struct InfoRun {
  int status;
  std::string out, err;
};

InfoRun Info(std::vector<std::string> args) {
  args.insert(args.begin(), {"kessaro-tool", "info"});
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::istringstream in;
  std::ostringstream out, err;
  const int status = RunTool(static_cast<int>(argv.size()), argv.data(), {in, out, err});
  return {status, out.str(), err.str()};
}

std::string StatPath(const std::string& name, std::uint32_t overflowRef) {
  test::TBytes b;
  test::PutLE32(b, 0, 0xABCDEF01);
  test::PutLE32(b, 4, 6);
  test::PutLE32(b, 8, 1);
  test::PutLE32(b, 12, 0);
  b.resize(16 + 20, 0);
  b[18] = static_cast<std::uint8_t>(overflowRef);
  b[20] = static_cast<std::uint8_t>(overflowRef >> 16);
  const std::string path = test::TempPath(name);
  test::WriteFileBytes(path, b);
  return path;
}

TEST(ToolInfo, IntactNetAndStatisticFile) {
  const std::string net = test::SmallNet().Write("good.net");
  const std::string stc = StatPath("good.stc", 0);
  const InfoRun r = Info({net, stc});
  EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
  for (const char* line :
       {"  kind: net\n", "  node count: 8\n", "  flags: 01 (offered)\n",
        "  region: kind 3, 5 x 5\n", "  description: corner joseki\n", "  created: 1899-12-30\n",
        "  ok\n", "  kind: statistic\n", "  owner identity: ABCDEF01\n", "  records: 1\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  EXPECT_NE(r.out.find("  identity: "), std::string::npos);
}

TEST(ToolInfo, CorruptAndUnreadableFilesFailTheCheck) {
  test::TNetBytes n = test::SmallNet();
  test::TBytes bytes = n.Image();
  bytes[test::TNetBytes::Record(6) + 2] ^= 4;
  bytes[test::TNetBytes::Record(8) + 2] ^= 4;
  const std::string bad = test::TempPath("bad.net");
  test::WriteFileBytes(bad, bytes);
  InfoRun r = Info({bad});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("  corrupt: 2 bad records (first: 6, 8)\n"), std::string::npos) << r.out;

  const std::string badStat = StatPath("bad.stc", 0x800003);  // overflow entry 3 of none
  r = Info({badStat});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("corrupt: 1 bad records (first: 0)"), std::string::npos) << r.out;

  const std::string header = test::SmallNet().Write("header.net");
  test::FlipByte(header, 10);
  const std::string other = test::TempPath("notes.txt");
  test::WriteFileBytes(other, {'h', 'i'});
  r = Info({header, other, "/nonexistent/x.net"});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("unreadable: header checksum mismatch"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("unreadable: unknown file format"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("unreadable: cannot open"), std::string::npos) << r.out;
}

TEST(ToolInfo, JsonReport) {
  test::TNetBytes n = test::SmallNet();
  n.Description("caf\xe9");  // a code-page byte string, not UTF-8
  const std::string net = n.Write("json.net");
  const std::string stc = StatPath("json.stc", 0);
  const InfoRun r = Info({net, stc, "--json"});
  ASSERT_EQ(r.status, kExitOk) << r.out;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["kind"], "net");
  EXPECT_EQ(j[0]["file"], net);
  EXPECT_EQ(j[0]["nodeCount"], 8);
  EXPECT_EQ(j[0]["region"]["width"], 5);
  EXPECT_EQ(j[0]["status"], "ok");
  EXPECT_EQ(j[0]["badRecords"], 0);
  EXPECT_EQ(j[0]["identity"].get<std::string>().size(), 8u);
  EXPECT_EQ(j[1]["kind"], "statistic");
  EXPECT_EQ(j[1]["ownerIdentity"], "ABCDEF01");
}

}  // namespace
}  // namespace kessaro::tool
