#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bases/NetFixture.h"
#include "strings/StringBase.h"
#include "support/ByteFixtures.h"
#include "tool/ToolRun.h"

namespace kessaro::tool {
namespace {

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
  const ToolRun r = RunInfo({net, stc});
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
  ToolRun r = RunInfo({bad});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("  corrupt: 2 bad records (first: 6, 8)\n"), std::string::npos) << r.out;

  const std::string badStat = StatPath("bad.stc", 0x800003);  // overflow entry 3 of none
  r = RunInfo({badStat});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("corrupt: 1 bad records (first: 0)"), std::string::npos) << r.out;

  const std::string header = test::SmallNet().Write("header.net");
  test::FlipByte(header, 10);
  const std::string other = test::TempPath("notes.txt");
  test::WriteFileBytes(other, {'h', 'i'});
  r = RunInfo({header, other, "/nonexistent/x.net"});
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
  const ToolRun r = RunInfo({net, stc, "--json"});
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

// A string base with a Japanese and English text, a Russian one with a line break, and one
// freed block; returns the ".str" path.
std::string SmallStringBase(const std::string& name, const std::string& holderExt = ".str",
                            const std::string& tagExt = ".sid") {
  const std::string stem = test::TempPath(name);
  TStringBase base;
  base.SetHolderExt(holderExt);
  base.SetTagExt(tagExt);
  EXPECT_TRUE(base.CreateNew(stem));
  TStringSet a, b, gone;
  a.SetText(kJapanese, "\x92\xe8\x90\xce");  // "定石" in Shift_JIS
  a.SetText(kEnglish, "joseki");
  b.SetText(kRussian, "\xc4\xe0\r\n\x1b[2J");  // "Да", a line break and an escape sequence
  gone.SetText(kEnglish, "gone");
  base.Write(1, &a);
  base.Write(2, &gone);
  base.Write(3, &b);
  base.Delete(2);
  base.Close();
  EXPECT_EQ(base.TakeErrors(), 0u);
  return stem + holderExt;
}

TEST(ToolInfo, StringBaseRecordsAndDump) {
  const std::string str = SmallStringBase("texts");
  ToolRun r = RunInfo({str});
  EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
  for (const char* line : {"  kind: string base\n", "  string count: 2\n", "  max ID: 3\n",
                           "  free blocks: 1\n", "  ok\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  EXPECT_NE(r.out.find("    unit 8: id 1, length 18, header checksum "), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(": free, length 8, next 0, header checksum "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\xe5\xae\x9a"), std::string::npos);  // texts only with --dump

  // Given by its tag file, with the texts in UTF-8 and control characters escaped.
  r = RunInfo({test::TempPath("texts") + ".sid", "--dump"});
  EXPECT_EQ(r.status, kExitOk) << r.out;
  for (const char* line :
       {"  id 1:\n    1041 Japanese: \xe5\xae\x9a\xe7\x9f\xb3\n    1033 English: joseki\n",
        "  id 3:\n    1049 Russian: \xd0\x94\xd0\xb0\\r\\n\\x1B[2J\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  EXPECT_EQ(r.out.find("  id 2:"), std::string::npos);

  // JSON, and the letters pair of extensions.
  const std::string ltr = SmallStringBase("Data", ".ltr", ".lid");
  r = RunInfo({ltr, "--json", "--dump"});
  ASSERT_EQ(r.status, kExitOk) << r.out;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 1u);
  EXPECT_EQ(j[0]["kind"], "string base");
  EXPECT_EQ(j[0]["tagFile"], test::TempPath("Data") + ".lid");
  EXPECT_EQ(j[0]["stringCount"], 2);
  EXPECT_EQ(j[0]["freeBlocks"].size(), 1u);
  ASSERT_EQ(j[0]["records"].size(), 3u);
  EXPECT_EQ(j[0]["records"][0]["state"], "used");
  EXPECT_EQ(j[0]["records"][0]["dataOk"], true);
  EXPECT_EQ(j[0]["records"][1]["state"], "free");
  EXPECT_EQ(j[0]["strings"][1]["id"], 3);
  EXPECT_EQ(j[0]["strings"][1]["texts"][0]["text"], "\xd0\x94\xd0\xb0\r\n\x1b[2J");
}

TEST(ToolInfo, DamagedStringBaseIsReportedRecordByRecord) {
  const std::string str = SmallStringBase("damaged");
  test::FlipByte(str, 4 + 32 + 20);  // a text byte of ID 1
  ToolRun r = RunInfo({str});
  EXPECT_EQ(r.status, kExitCheckFailed) << r.out;
  EXPECT_NE(r.out.find("id 1, length 18"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(computed "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  corrupt: 1 bad records (first units: 8), tag entries that lead nowhere "
                       "or to damaged texts (IDs: 1)"),
            std::string::npos)
      << r.out;

  // A damaged record header: the walk skips it and still finds the records after it.
  test::FlipByte(str, 4 + 32 + 20);
  test::FlipByte(str, 4 + 32 + 2);
  r = RunInfo({str});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("    unit 8: damaged"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("id 3, length"), std::string::npos) << r.out;

  std::filesystem::remove(test::TempPath("damaged") + ".sid");
  r = RunInfo({str});
  EXPECT_EQ(r.status, kExitCheckFailed);
  EXPECT_NE(r.out.find("unreadable: cannot open: the tag file"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kessaro::tool
