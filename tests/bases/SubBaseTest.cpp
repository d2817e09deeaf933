#include "bases/SubBase.h"

#include <gtest/gtest.h>

#include <vector>

#include "bases/FakeSources.h"
#include "board/CheckSum.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

using test::TFakeGameSource;
using test::TFakeVarsSource;

std::vector<std::uint32_t> Forward(TSubBase& sub) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t id = sub.FirstGame(); id != 0 && ids.size() < 100; id = sub.NextGame(id))
    ids.push_back(id);
  return ids;
}

std::vector<std::uint32_t> Backward(TSubBase& sub) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t id = sub.LastGame(); id != 0 && ids.size() < 100; id = sub.PriorGame(id))
    ids.push_back(id);
  return ids;
}

// A stored sub base over a game base of 6 games (2 and 5 selected) and a user base of 4.
std::string WriteGameSubBase(TFakeGameSource& games, TFakeGameSource& users) {
  const std::string path = test::TempPath("games.sbs");
  TSubBase sub;
  sub.SetReadOnly(false);
  EXPECT_TRUE(sub.CreateNew(path));
  EXPECT_TRUE(sub.Bind(&games, &users, nullptr));
  sub.SelectGame(spGame, 2);
  sub.SelectGame(spGame, 5);
  sub.SelectGame(spUser, 1);
  sub.SelectGame(spUser, 4);
  sub.SetOrderKey(7);
  sub.SetMenuName("Pro\\Title games");
  sub.Close();
  EXPECT_EQ(sub.TakeErrors(), 0u);
  return path;
}

TEST(SubBase, StoredSelectionBindsAndEnumeratesBothWays) {
  TFakeGameSource games(6, 0x1111), users(4, 0x2222);
  const std::string path = WriteGameSubBase(games, users);

  TSubBase sub;
  ASSERT_TRUE(sub.Open(path));
  EXPECT_EQ(sub.OrderKey(), 7u);
  EXPECT_EQ(sub.MenuName(), "Pro\\Title games");
  EXPECT_EQ(sub.BitCount(spGame), 6u);
  EXPECT_EQ(sub.FieldOffset(spGame), 1624u);
  EXPECT_EQ(sub.FieldOffset(spUser), 1624u + 4);
  EXPECT_TRUE(sub.Bind(&games, &users, nullptr));
  EXPECT_EQ(Forward(sub), (std::vector<std::uint32_t>{2, 5, ~1u, ~4u}));
  EXPECT_EQ(Backward(sub), (std::vector<std::uint32_t>{~4u, ~1u, 5, 2}));
  EXPECT_EQ(sub.Identity(), Crc32(sub.HeaderBytes().data(), 1624));
}

TEST(SubBase, BindRefusesOtherOrMissingSources) {
  TFakeGameSource games(6, 0x1111), users(4, 0x2222);
  const std::string path = WriteGameSubBase(games, users);
  TFakeGameSource otherCount(7, 0x1111), otherIdentity(6, 0x1112);
  struct Case {
    TGameSource* games;
    TGameSource* users;
  } cases[] = {
      {&otherCount, &users}, {&otherIdentity, &users}, {nullptr, &users}, {&games, nullptr}};
  for (const Case& c : cases) {
    TSubBase sub;
    ASSERT_TRUE(sub.Open(path));
    EXPECT_FALSE(sub.Bind(c.games, c.users, nullptr));
  }
}

TEST(SubBase, StoredVarsSubBaseMadeForAnotherVarsBaseDoesNotBind) {
  TFakeVarsSource vars(12, 0xABCD, 77);
  const std::string path = test::TempPath("vars.sbs");
  {
    TSubBase sub;
    sub.SetReadOnly(false);
    ASSERT_TRUE(sub.CreateNew(path));
    ASSERT_TRUE(sub.Bind(nullptr, nullptr, &vars));
    sub.SelectGame(spVars, 3);
    sub.Close();
  }
  TSubBase sub;
  ASSERT_TRUE(sub.Open(path));
  EXPECT_TRUE(sub.OverVarsOnly());
  EXPECT_EQ(sub.RecordedCount(spVars), 77u);
  TFakeVarsSource other(12, 0xABCE, 77), otherRecorded(12, 0xABCD, 78);
  EXPECT_FALSE(sub.Bind(nullptr, nullptr, &other));
  EXPECT_FALSE(sub.Bind(nullptr, nullptr, &otherRecorded));
  EXPECT_TRUE(sub.Bind(nullptr, nullptr, &vars));
  EXPECT_EQ(sub.FirstGame(), 3u);
  EXPECT_TRUE(sub.Selected(spVars, 3));
  EXPECT_FALSE(sub.Selected(spVars, 4));
}

TEST(SubBase, InMemorySubBases) {
  TSubBase none;
  EXPECT_TRUE(none.Bind(nullptr, nullptr, nullptr));
  EXPECT_EQ(none.FirstGame(), 0u);
  EXPECT_EQ(none.LastGame(), 0u);
  EXPECT_EQ(none.SourceFlags(), sbRecorded);

  TFakeGameSource games(3, 1);
  TFakeVarsSource vars(2, 9);
  TSubBase all;
  EXPECT_TRUE(all.Bind(&games, nullptr, &vars));
  EXPECT_EQ(Forward(all), (std::vector<std::uint32_t>{1, 2, 3}));  // variations only via First
  EXPECT_NE(all.Identity(), none.Identity());
  TSubBase varsOnly;
  varsOnly.Bind(nullptr, nullptr, &vars);
  EXPECT_EQ(varsOnly.FirstGame(), 1u);
  EXPECT_TRUE(varsOnly.OverVarsOnly());
  EXPECT_FALSE(all.OverVarsOnly());
}

TEST(SubBase, LoadGameChecksPartAndSelection) {
  TFakeGameSource games(6, 0x1111), users(4, 0x2222);
  const std::string path = WriteGameSubBase(games, users);
  TSubBase sub;
  ASSERT_TRUE(sub.Open(path));
  ASSERT_TRUE(sub.Bind(&games, &users, nullptr));
  struct Case {
    std::uint32_t id;
    bool loads;
  } cases[] = {{2, true},    {3, false}, {~1u, true}, {~2u, false},
               {~9u, false}, {0, false}, {99, false}};
  for (const Case& c : cases) {
    TGame game;
    game.GameNo = static_cast<std::int32_t>(c.id);
    sub.LoadGame(game);
    EXPECT_EQ(static_cast<std::uint32_t>(game.GameNo), c.loads ? c.id : 0u) << c.id;
  }
  games.failing = true;
  TGame game;
  game.GameNo = 5;
  sub.LoadGame(game);
  EXPECT_EQ(game.GameNo, 0);
  EXPECT_EQ(sub.TakeErrors() & ErrIO, ErrIO);
}

TEST(SubBase, DamagedFilesDoNotOpen) {
  TFakeGameSource games(6, 0x1111), users(4, 0x2222);
  const std::string good = WriteGameSubBase(games, users);
  const test::TBytes image = test::ReadFileBytes(good);
  ASSERT_EQ(image.size(), 4u + 1624 + 4 + 4);

  const auto reseal = [](test::TBytes& b) {
    test::PutLE16(b, 4 + 1622, Crc16(b.data() + 4, 1622));
  };
  struct Case {
    const char* what;
    std::function<void(test::TBytes&)> damage;
  } cases[] = {
      {"header byte", [](test::TBytes& b) { b[4 + 200] ^= 1; }},
      {"field byte", [](test::TBytes& b) { b[4 + 1624] ^= 0x10; }},
      {"cut", [](test::TBytes& b) { b.resize(4 + 1000); }},
      {"field offset",
       [&](test::TBytes& b) {
         test::PutLE32(b, 4 + 64, 1628);
         reseal(b);
       }},
      {"huge bit count",
       [&](test::TBytes& b) {
         test::PutLE32(b, 4 + 44, 0xFFFFFFFF);
         reseal(b);
       }},
  };
  for (const Case& c : cases) {
    test::TBytes b = image;
    c.damage(b);
    const std::string path = test::TempPath("damaged.sbs");
    test::WriteFileBytes(path, b);
    TSubBase sub;
    EXPECT_FALSE(sub.Open(path)) << c.what;
    EXPECT_NE(sub.TakeErrors(), 0u) << c.what;
  }
}

}  // namespace
}  // namespace kessaro
