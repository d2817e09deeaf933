#include "bases/GameMask.h"

#include <gtest/gtest.h>

#include "records/GameFunc.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

TEST(GameMask, KeepsTextsAndValuesByElementKindAndClears) {
  TGameMask mask;
  mask.Text = "strong players";
  mask.Template().Info.Event->SetText(kEnglish, "Honinbo");
  mask.AddText(GI_Event, "Honinbo");
  const std::int16_t komi = 650;
  mask.Add(GI_Komi, &komi, sizeof komi);
  ASSERT_EQ(mask.Count(), 2u);
  EXPECT_EQ(mask.ItemAt(0)->Text, "Honinbo");
  EXPECT_TRUE(mask.ItemAt(0)->Value.empty());
  EXPECT_EQ(mask.ItemAt(1)->Value, (std::vector<std::uint8_t>{0x8A, 0x02}));
  EXPECT_TRUE(mask.ItemAt(1)->Text.empty());
  EXPECT_EQ(mask.ItemAt(2), nullptr);
  mask.Clear();
  EXPECT_EQ(mask.Count(), 0u);
  EXPECT_TRUE(mask.Text.empty());
  EXPECT_EQ(mask.Template().Info.Event->GetText(kEnglish), "");
  ASSERT_EQ(mask.Template().Info.Sources.size(), 1u);  // a fresh template again
}

TEST(GameMask, SubBasesWithAMaskCreateOne) {
  const std::string path = test::TempPath("masked.sbs");
  {
    TSubBase sub;
    sub.SetReadOnly(false);
    ASSERT_TRUE(sub.CreateNew(path));
    sub.SetHasMask(true);
  }
  InstallGameMaskFactory();
  TSubBase sub;
  ASSERT_TRUE(sub.Open(path));
  EXPECT_NE(dynamic_cast<TGameMask*>(sub.Mask()), nullptr);
  TSubBase::MaskFactory = nullptr;
}

}  // namespace
}  // namespace kessaro
