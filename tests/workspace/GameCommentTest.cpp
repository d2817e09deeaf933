#include "workspace/GameComment.h"

#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "records/GameFunc.h"

namespace kessaro {
namespace {

PStringSet Set(TLanguage language, const char* text) {
  auto s = std::make_unique<TStringSet>();
  s->SetText(language, text);
  return s;
}

struct GameFixture : ::testing::Test {
  TGameRootData data;
  TSequence root;
  TGameComment pane;
  void SetUp() override {
    root.Kind = skGameRoot;
    root.Data = &data;
    root.Comment = "first line\r\nsecond";
    TGame& g = data.GameRecord;
    g.Info.BlackPlayer = Set(kJapanese, "\x8d\x72\x97\x5c");  // only in Japanese
    g.Info.WhitePlayer = Set(kEnglish, "Honinbo\tShusaku\r\n");
    g.Info.Event = Set(kJapanese, "\x96\x7b\x88\xf6");  // no English text: not listed
    g.Info.GameName = Set(kEnglish, "Ear-reddening game");
  }
  void TearDown() override { root.Data = nullptr; }
};

TEST_F(GameFixture, FieldsInOrderWithPlayerFallbacksAndBreaksRemoved) {
  pane.SetNode(&root);
  EXPECT_EQ(pane.LongComment, "first line\r\nsecond");
  std::vector<std::string> names, texts;
  for (const auto& l : pane.Lines) {
    names.push_back(l.Name);
    texts.push_back(l.Text);
  }
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], ElementName(GI_GameName));
  EXPECT_EQ(names[1], ElementName(GI_BlackPlayer));
  EXPECT_EQ(texts[1], "\x8d\x72\x97\x5c");
  EXPECT_EQ(names[2], ElementName(GI_WhitePlayer));
  EXPECT_EQ(texts[2], "HoninboShusaku");
  EXPECT_EQ(std::count(names.begin(), names.end(), ElementName(GI_Event)), 0);
  EXPECT_EQ(pane.ListCharset, 128);

  pane.SetInfoOrder({GI_WhitePlayer, GI_Empty, GI_GameName});
  ASSERT_EQ(pane.Lines.size(), 2u);
  EXPECT_EQ(pane.Lines[0].Name, ElementName(GI_WhitePlayer));
}

TEST_F(GameFixture, SameRecordAgainSkipsTheRebuild) {
  pane.SetNode(&root);
  EXPECT_EQ(pane.Rebuilds, 1);
  TSequence move;
  move.Kind = skGameMove;
  move.Data = &data;
  move.Comment = "move comment";
  pane.SetNode(&move);
  EXPECT_EQ(pane.Rebuilds, 1);
  EXPECT_EQ(pane.LongComment, "move comment");
  data.GameRecord.Info.GameName = Set(kEnglish, "Another");
  pane.SetNode(&move);
  EXPECT_EQ(pane.Rebuilds, 2);
  pane.SetNode(nullptr);  // clears the checksum, keeps the list
  EXPECT_FALSE(pane.Lines.empty());
  pane.SetNode(&move);
  EXPECT_EQ(pane.Rebuilds, 3);
  move.Data = nullptr;
}

TEST(GameCommentSettings, StoredOrderIsCheckedBeforeUse) {
  TMemoryRegistry reg;
  TGameComment pane;
  pane.SetInfoOrder({GI_Result, GI_Komi});
  pane.MemoHeight = 77;
  pane.SaveSettings(reg, "Game Comment");
  TGameComment loaded;
  loaded.LoadSettings(reg, "Game Comment");
  EXPECT_EQ(loaded.InfoOrder(), (TGameInfoElementOrder{GI_Result, GI_Komi}));
  EXPECT_EQ(loaded.MemoHeight, 77);

  auto key = OpenKeyForWrite(reg, "Game Comment");
  struct Case {
    const char* what;
    std::uint32_t count, marker;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"marker 53", 2, 53, {GI_Result, 0, GI_Komi, 0}},
      {"count beyond the value", 3, 54, {GI_Result, 0, GI_Komi, 0}},
      {"huge count", 0x7FFFFFFF, 54, {GI_Result, 0, GI_Komi, 0}},
      {"element out of range", 2, 54, {GI_Result, 0, 200, 0}},
  };
  for (const Case& c : cases) {
    WriteInteger(*key, "Count", c.count);
    WriteInteger(*key, "Count ", c.marker);
    WriteBinary(*key, "Info Order", c.bytes.data(), c.bytes.size());
    TGameComment fresh;
    fresh.LoadSettings(reg, "Game Comment");
    EXPECT_EQ(fresh.InfoOrder(), DefaultInfoOrder()) << c.what;
  }
  WriteInteger(*key, "", 0);
  TGameComment fresh;
  fresh.LoadSettings(reg, "Game Comment");
  EXPECT_EQ(fresh.MemoHeight, 30);
}

std::vector<TGameInfoElement> Elements(const std::vector<TGameCommentOptionsFrame::Line>& lines) {
  std::vector<TGameInfoElement> out;
  for (const auto& l : lines) out.push_back(l.Element);
  return out;
}

TEST(GameCommentOptions, MovesBetweenAndWithinTheLists) {
  TGameCommentOptionsFrame f;
  f.SetOrder({GI_Result, GI_Komi, GI_Date});
  EXPECT_EQ(Elements(f.Dst), (std::vector<TGameInfoElement>{GI_Result, GI_Komi, GI_Date}));
  ASSERT_FALSE(f.Src.empty());
  EXPECT_TRUE(std::is_sorted(f.Src.begin(), f.Src.end(),
                             [](const auto& a, const auto& b) { return a.Element < b.Element; }));
  const std::size_t hidden = f.Src.size();

  // ">" takes the selected source lines, last first, and selects the line at the first position.
  f.Src[0].Selected = f.Src[2].Selected = true;
  TGameInfoElement a = f.Src[0].Element, c = f.Src[2].Element, b = f.Src[1].Element;
  f.MoveRight();
  EXPECT_EQ(f.Dst.size(), 5u);
  EXPECT_EQ(f.Dst[3].Element, c);
  EXPECT_EQ(f.Dst[4].Element, a);
  EXPECT_EQ(f.Src.size(), hidden - 2);
  EXPECT_TRUE(f.Src[0].Selected);
  EXPECT_EQ(f.Src[0].Element, b);

  // "<" with the last line selected.
  f.Dst[4].Selected = true;
  f.MoveLeft();
  EXPECT_EQ(f.Src.back().Element, a);
  EXPECT_TRUE(f.Dst[3].Selected);  // the position was past the end: the last line

  // Up and down: a selected line stacked against the edge stays.
  for (auto& l : f.Dst) l.Selected = false;
  f.Dst[0].Selected = f.Dst[2].Selected = true;
  f.MoveUp();
  EXPECT_EQ(Elements(f.Dst), (std::vector<TGameInfoElement>{GI_Result, GI_Date, GI_Komi, c}));
  f.MoveDown();  // Result and Date are selected now
  EXPECT_EQ(Elements(f.Dst), (std::vector<TGameInfoElement>{GI_Komi, GI_Result, GI_Date, c}));
  f.MoveDown();
  f.MoveDown();  // Date at the edge and Result stacked against it stay
  EXPECT_EQ(Elements(f.Dst), (std::vector<TGameInfoElement>{GI_Komi, c, GI_Result, GI_Date}));

  f.MoveAllLeft();
  EXPECT_TRUE(f.Dst.empty());
  EXPECT_FALSE(f.LeftEnabled());
  EXPECT_EQ(f.GetOrder(), DefaultInfoOrder());
  f.MoveAllRight();  // on an empty shown list: the default 23 fields
  EXPECT_EQ(f.GetOrder(), DefaultInfoOrder());
  EXPECT_EQ(f.Dst.size(), 23u);
  f.MoveAllRight();
  EXPECT_TRUE(f.Src.empty());
  EXPECT_FALSE(f.RightEnabled());
}

}  // namespace
}  // namespace kessaro
