#include "display/ProgLoading.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace kessaro {
namespace {

struct RecordingHost : TProgLoadingHost {
  void ShowWindow() override { events.push_back("show"); }
  void ShowText(const std::string& text) override { events.push_back(text); }
  void CloseWindow() override { events.push_back("close"); }
  std::vector<std::string> events;
};

TEST(ProgLoading, KeepUpTimeAfterLoaded) {
  const struct {
    std::int64_t elapsed;
    int keepUp;
  } cases[] = {{-5, 1500},   {0, 1500},    {2000, 1500},  {5000, 1500}, {5001, 1000}, {5999, 1000},
               {6000, 1000}, {8000, 1000}, {10000, 1000}, {10001, 700}, {60000, 700}};
  for (const auto& c : cases) EXPECT_EQ(TProgLoading::KeepUpTime(c.elapsed), c.keepUp) << c.elapsed;
  // A longer start-up never keeps the window up longer.
  for (std::int64_t t = 0; t < 12000; t += 50)
    EXPECT_GE(TProgLoading::KeepUpTime(t), TProgLoading::KeepUpTime(t + 50)) << t;
}

TEST(ProgLoading, ShowsTheLatestTextAndKeepsUpByTheStartUpTime) {
  for (const auto& [loadMs, keepUp] : {std::pair{2000, 1500}, std::pair{8000, 1000}}) {
    std::int64_t now = 1000;
    TProgLoading loading([&now] { return now; });
    RecordingHost host;
    EXPECT_FALSE(loading.Pump());
    loading.Show(host);
    EXPECT_FALSE(loading.Pump());
    loading.SetLoadingText("Loading Position Base");
    loading.SetLoadingText("Loading Vars Base");
    EXPECT_TRUE(loading.Pump());
    EXPECT_FALSE(loading.Pump());
    now += loadMs;
    EXPECT_EQ(loading.Finish(), keepUp);
    loading.Close();
    loading.Close();
    EXPECT_EQ(host.events, (std::vector<std::string>{"show", "Initializing", "Loading Vars Base",
                                                     "Loaded", "close"}));
  }
  TProgLoading never;
  EXPECT_EQ(never.Finish(), 0);
}

TEST(ProgLoading, LongTextsAreCut) {
  TProgLoading loading;
  loading.SetLoadingText(std::string(600, 'x'));
  EXPECT_EQ(loading.TakeText(), std::string(511, 'x'));
  // A two-byte character across the limit is left out whole.
  loading.SetLoadingText(std::string(510, 'x') + "\xc3\xa9" + "tail");
  EXPECT_EQ(loading.TakeText(), std::string(510, 'x'));
}

TEST(ProgLoading, TextsCrossThreadsWhole) {
  TProgLoading loading;
  std::atomic<bool> done = false;
  std::thread writer([&] {
    for (int i = 0; i < 3000; ++i)
      loading.SetLoadingText(std::string(100 + i % 300, static_cast<char>('a' + i % 26)));
    done = true;
  });
  int seen = 0;
  while (!done || seen == 0) {
    if (const auto text = loading.TakeText()) {
      ++seen;
      ASSERT_FALSE(text->empty());
      EXPECT_EQ(*text, std::string(text->size(), text->front()));
    }
  }
  writer.join();
}

TEST(ProgLoading, WindowTextsComeFromTheInterfaceStrings) {
  TStringsHolder strings;
  EXPECT_EQ(TProgLoading::VersionText(strings), "Version 0.1 (Build 1)");
  EXPECT_EQ(TProgLoading::Caption(strings), " Loading Kessaro Full Edition");
  strings.LoadLanguageText("[Output]\r\n\"Loading\" = \"Laden\"\r\n\"Build\" = \"Bau\"\r\n");
  EXPECT_EQ(TProgLoading::VersionText(strings), "Version 0.1 (Bau 1)");
  EXPECT_EQ(TProgLoading::Caption(strings), " Laden Kessaro Full Edition");
}

}  // namespace
}  // namespace kessaro
