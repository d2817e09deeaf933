#include "storage/LogUnit.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

std::string FileText(const std::string& path) {
  const auto b = test::ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

TEST(Loger, TwoRunsAppendToTheSameFile) {
  const std::string path = test::TempPath("GameLoad.log");
  {
    TLoger log(path);
    EXPECT_FALSE(log.Opened());  // opened at the first line
    log.Log("first");
    EXPECT_TRUE(log.Opened());
  }
  {
    TLoger log(path);
    std::string seen;
    log.OnLog = [&](TLoger&, const std::string& line) { seen = line; };
    log.Log("second", true);
    log.Flush();
    EXPECT_TRUE(
        std::regex_match(seen, std::regex(R"(\[\d\d/\d\d/\d{4} \d\d:\d\d:\d\d:\d{3}\] second)")))
        << seen;
    EXPECT_EQ(log.LogError(), 0);
  }
  const std::string text = FileText(path);
  EXPECT_EQ(text.substr(0, 6), "first\n");
  EXPECT_EQ(text.substr(text.size() - 7), "second\n");
}

TEST(Loger, MissingFolderWritesNothingAndStopsLogging) {
  TLoger log(test::TempPath("no-such-folder") + "/GameLoad.log");
  int calls = 0;
  log.OnLog = [&](TLoger&, const std::string&) { ++calls; };
  log.Log("lost");
  log.Log("lost too", true);
  log.Flush();
  EXPECT_NE(log.LogError(), 0);
  EXPECT_EQ(calls, 0);
  LogLine(nullptr, "no logger");
}

TEST(Loger, TimeStampFormat) {
  // 2024-02-29 13:05:09.042 as a stored day count.
  const double t = 45351.0 + (13 * 3600 + 5 * 60 + 9 + 0.042) / 86400.0;
  EXPECT_EQ(LogTimeStamp(t), "[29/02/2024 13:05:09:042] ");
}

}  // namespace
}  // namespace kessaro
