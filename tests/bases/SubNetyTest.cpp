#include "bases/SubNety.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bases/FakeSources.h"
#include "bases/HolderFixture.h"
#include "bases/VarsBase.h"
#include "records/BoardFormFunc.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

using test::Node;
using test::Stat;

std::vector<TSequence*> Children(TSequence* node) {
  std::vector<TSequence*> out;
  for (TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling) out.push_back(c);
  return out;
}

std::uint32_t IndexOf(const TSequence* node) {
  return static_cast<const TNetNodeData*>(node->Data)->Node.Index;
}

const TNetNodeData& DataOf(const TSequence* node) {
  return *static_cast<const TNetNodeData*>(node->Data);
}

TMoveWord ColouredMove(const TSequence* node) {
  return static_cast<TMoveWord>(node->Point | ((node->Flags & sfBlack) ? 0 : kWhiteBit));
}

class SubNetyTest : public ::testing::Test {
 protected:
  void Build(const test::TNetSpec& shape, test::TSubNetSpec subSpec,
             const std::map<std::uint32_t, StatRecord>& stats) {
    netPath_ = test::TempPath("ring.net");
    test::WriteNet(netPath_, shape);
    ASSERT_TRUE(net_.Open(netPath_));
    subBase_.Bind(nullptr, nullptr, nullptr);
    const std::string subPath = test::TempPath("ring.sns");
    const std::uint32_t identity = test::WriteSubNet(subPath, net_, subBase_, subSpec);
    ASSERT_NE(identity, 0u);
    const std::string statPath = test::TempPath("ring.stc");
    test::WriteStats(statPath, identity, stats);
    stats_.Open(statPath);
    stats_.SetMapped(true);
    ASSERT_TRUE(stats_.Active());
    ASSERT_TRUE(sub_.Open(subPath));
    ASSERT_TRUE(sub_.Attach(&subBase_, &net_, &stats_));
    root_ = NewNodeUnder(nullptr);
    root_->Kind = skNetRoot;
  }
  void TearDown() override {
    if (root_ != nullptr) ReleaseTree(root_);
  }

  std::string netPath_;
  TNetyFile net_;
  TSubBase subBase_;
  TStatistic stats_;
  TSubNety sub_;
  TSequence* root_ = nullptr;
};

TEST_F(SubNetyTest, WithoutSelectionEveryRecordShowsTurnedWithStatsAndRepeats) {
  Build(test::RingNet(), {}, {{0, Stat(9)}, {3, Stat(2, 1, 5)}, {4, Stat(3, 0, 7)}, {6, Stat(1)}});
  sub_.ExpandRoot(root_);
  EXPECT_EQ(static_cast<TNetRootData*>(root_->Data)->Stats, Stat(9));
  auto level1 = Children(root_);
  ASSERT_EQ(level1.size(), 2u);
  EXPECT_EQ(ColouredMove(level1[0]), MakeMove(2, 2));
  EXPECT_EQ(ColouredMove(level1[1]), MakeMove(3, 2));

  sub_.ExpandNode(level1[0]);
  auto level2 = Children(level1[0]);
  ASSERT_EQ(level2.size(), 1u);
  // Node 1 turns its children by swapping x and y.
  EXPECT_EQ(ColouredMove(level2[0]), MakeMove(3, 2, true));
  EXPECT_EQ(DataOf(level2[0]).Stats, Stat(2, 1, 5));
  StatRecord sum = Stat(5, 1, 7);  // 3 and 4 reach the same position
  EXPECT_EQ(DataOf(level2[0]).SumStats, sum);

  sub_.ExpandNode(level2[0]);
  auto level3 = Children(level2[0]);
  ASSERT_EQ(level3.size(), 3u);  // the ring's shared children 6, 7, 8
  EXPECT_EQ(IndexOf(level3[0]), 6u);
  EXPECT_EQ(ColouredMove(level3[1]), MakeMove(4, 5));  // (5, 4) turned
  EXPECT_EQ(level3[0]->Kind, skNetNode);
  EXPECT_EQ(level3[2]->Kind, skNetGameNode);
  EXPECT_EQ(level3[0]->Annotations[2], 2);
  EXPECT_EQ(level3[0]->Annotations[3], 1);
  EXPECT_EQ(sub_.CombinedSymmetry(level3[0]), 1);

  sub_.ExpandNode(level3[0]);
  auto level4 = Children(level3[0]);
  ASSERT_EQ(level4.size(), 1u);
  EXPECT_TRUE(level4[0]->Flags & sfRepeat);
  EXPECT_FALSE(level3[0]->Flags & sfRepeat);
  EXPECT_EQ(sub_.TakeErrors(), 0u);

  sub_.CollapseSiblings(level3[0]);
  EXPECT_EQ(level3[0]->FirstChild, nullptr);
  EXPECT_EQ(Children(level2[0]).size(), 3u);
}

TEST_F(SubNetyTest, SelectionHidesSiblingsAndAddressesStatsAndGameEndsByRank) {
  test::TSubNetSpec shape;
  shape.UseSelection = true;
  shape.Selected = {1, 2, 3, 4, 6, 8, 10};  // ranks 1-7; 7 is left out
  shape.GameEndRanks = {5};                 // node 6
  Build(test::RingNet(), shape, {{5, Stat(4)}, {6, Stat(6)}, {7, Stat(8)}});
  EXPECT_EQ(sub_.SelectedCount(), 7u);
  sub_.ExpandRoot(root_);
  TSequence* n1 = root_->FirstChild;
  sub_.ExpandNode(n1);
  sub_.ExpandNode(n1->FirstChild);
  auto shared = Children(n1->FirstChild);
  ASSERT_EQ(shared.size(), 2u);
  EXPECT_EQ(IndexOf(shared[0]), 6u);
  EXPECT_EQ(IndexOf(shared[1]), 8u);
  EXPECT_EQ(shared[0]->Kind, skNetGameNode);
  EXPECT_EQ(DataOf(shared[0]).Stats, Stat(4));
  EXPECT_EQ(DataOf(shared[1]).Stats, Stat(6));
  EXPECT_EQ(sub_.TakeErrors(), 0u);
}

TEST_F(SubNetyTest, PathToRecordFollowsParentsAndRingsIntoTheSelection) {
  Build(test::RingNet(), {}, {});
  APoint moves;
  TSymmetry code = 99;
  ASSERT_TRUE(sub_.PathToRecord(6, moves, code));
  EXPECT_EQ(moves, (APoint{MakeMove(3, 2), MakeMove(2, 2, true), MakeMove(4, 4)}));
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(sub_.PathToRecord(5, moves, code));  // a junction is no node of a path
  EXPECT_TRUE(moves.empty());
}

TEST_F(SubNetyTest, PathToRecordSwitchesToARingMemberWithASelectedParent) {
  test::TSubNetSpec shape;
  shape.UseSelection = true;
  shape.Selected = {1, 3, 4, 6, 7, 8, 10};  // not 2: node 4 is reached through 3
  Build(test::RingNet(), shape, {});
  APoint moves;
  TSymmetry code = 0;
  ASSERT_TRUE(sub_.PathToRecord(6, moves, code));
  EXPECT_EQ(moves, (APoint{MakeMove(2, 2), MakeMove(3, 2, true), MakeMove(4, 4)}));
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(sub_.PathToRecord(2, moves, code));
}

TEST_F(SubNetyTest, TranspositionFamilyListsRingMovesOnce) {
  Build(test::RingNet(), {}, {});
  sub_.ExpandRoot(root_);
  sub_.ExpandNode(root_->FirstChild);
  ANetyMoves family;
  sub_.TranspositionFamily(root_->FirstChild->FirstChild, family);
  ASSERT_EQ(family.size(), 2u);
  EXPECT_EQ(family[0].Index, 3u);
  EXPECT_EQ(family[1].Index, 4u);
}

TEST_F(SubNetyTest, HostileLinksEndEveryWalk) {
  test::TNetSpec shape;
  shape.Items = {
      Node(1, 0, 2, 3, MakeMove(1, 1)),
      Node(2, 0, 1, 0, MakeMove(2, 1)),                // sibling list cycles back to 1
      Node(3, 4, 0, 4, MakeMove(1, 2, true), nfLink),  // a ring without a junction
      Node(4, 3, 0, 3, MakeMove(2, 2, true), nfLink),  // parents 3 and 4 cycle
  };
  Build(shape, {}, {});
  sub_.ExpandRoot(root_);
  EXPECT_LE(Children(root_).size(), 5u);
  sub_.ExpandNode(root_->FirstChild);
  EXPECT_EQ(root_->FirstChild->FirstChild, nullptr);
  EXPECT_TRUE(sub_.TakeErrors() & ErrBrokenLink);
  APoint moves;
  TSymmetry code;
  EXPECT_FALSE(sub_.PathToRecord(4, moves, code));
}

TEST_F(SubNetyTest, RewindDropsStaleErrorsAndReloadsTheSelection) {
  test::TSubNetSpec shape;
  shape.UseSelection = true;
  shape.Selected = {1, 2, 3, 4, 6, 8, 10};
  Build(test::RingNet(), shape, {});
  sub_.ExpandRoot(root_);
  const auto before = Children(root_).size();
  NetRecord stale;
  net_.ReadNode(0, stale);  // record 0 is no node: a stale error bit
  ASSERT_TRUE(sub_.Rewind());
  EXPECT_NE(sub_.Selection(), nullptr);
  EXPECT_EQ(sub_.TakeErrors(), 0u);
  ClearRoot(root_);
  root_->Kind = skNetRoot;
  sub_.ExpandRoot(root_);
  EXPECT_EQ(Children(root_).size(), before);
  EXPECT_FALSE(TSubNety().Rewind()) << "not open";
}

TEST(SubNety, AttachChecksEveryIdentity) {
  const std::string netPath = test::TempPath("a.net");
  test::WriteNet(netPath, test::RingNet());
  test::TNetSpec otherSpec = test::RingNet();
  otherSpec.Description = "other";
  const std::string otherPath = test::TempPath("b.net");
  test::WriteNet(otherPath, otherSpec);
  TNetyFile net, other;
  ASSERT_TRUE(net.Open(netPath));
  ASSERT_TRUE(other.Open(otherPath));
  TSubBase subBase, otherBase;
  subBase.Bind(nullptr, nullptr, nullptr);
  test::TFakeVarsSource vars(3, 4);
  otherBase.Bind(nullptr, nullptr, &vars);
  const std::string subPath = test::TempPath("a.sns");
  test::TSubNetSpec shape;
  shape.UseSelection = true;
  shape.Selected = {1, 2};
  const std::uint32_t identity = test::WriteSubNet(subPath, net, subBase, shape);
  const std::string statPath = test::TempPath("a.stc");
  test::WriteStats(statPath, identity + 1, {});
  TStatistic wrongOwner;
  wrongOwner.Open(statPath);

  TSubNety sub;
  ASSERT_TRUE(sub.Open(subPath));
  EXPECT_FALSE(sub.Attach(&subBase, &other, nullptr));
  EXPECT_FALSE(sub.Attach(&otherBase, &net, nullptr));
  EXPECT_FALSE(sub.Attach(&subBase, &net, &wrongOwner));
  EXPECT_TRUE(sub.Attach(&subBase, &net, nullptr));
  EXPECT_TRUE(sub.LoadBitFields());
  EXPECT_EQ(sub.SelectionOffset(), 1610u);
  EXPECT_EQ(sub.MenuPath(), "Joseki\\Corner");
  EXPECT_EQ(sub.TotalMoves(), 55);
  sub.ReleaseBitFields();
  EXPECT_EQ(sub.Selection(), nullptr);

  // A damaged selection field closes the sub-net when it is loaded.
  test::FlipByte(subPath, 4 + 1610, 0x02);
  TSubNety damaged;
  ASSERT_TRUE(damaged.Open(subPath));
  ASSERT_TRUE(damaged.Attach(&subBase, &net, nullptr));
  EXPECT_FALSE(damaged.LoadBitFields());
  EXPECT_FALSE(damaged.Active());
  EXPECT_TRUE(damaged.TakeErrors() & ErrCorrupt);
}

}  // namespace
}  // namespace kessaro

namespace kessaro {
namespace {

// Game tails: a corner net over a variations base whose variation 1 continues the games.
class GameTailTest : public ::testing::Test {
 protected:
  void Build(const test::TNetSpec& shape, const TVarMoves& moves, test::TSubNetSpec subSpec = {}) {
    const std::string base = test::TempPath("TailVars");
    for (const char* ext : {".vpb", ".vim", ".vdm"}) test::TempPath(std::string("TailVars") + ext);
    {
      TVarsBase writer;
      writer.SetReadOnly(false);
      ASSERT_TRUE(writer.Open(base));
      ASSERT_EQ(writer.AppendVariation(TMatrix(361, 0), MakeRegion(rkWholeBoard, 19, 19), moves),
                1u);
    }
    ASSERT_TRUE(vars_.Open(base));
    const std::string netPath = test::TempPath("tail.net");
    test::WriteNet(netPath, shape);
    ASSERT_TRUE(net_.Open(netPath));
    subBase_.Bind(nullptr, nullptr, &vars_);
    const std::string subPath = test::TempPath("tail.sns");
    ASSERT_NE(test::WriteSubNet(subPath, net_, subBase_, subSpec), 0u);
    ASSERT_TRUE(sub_.Open(subPath));
    ASSERT_TRUE(sub_.Attach(&subBase_, &net_, nullptr));
    sub_.SetVarsBase(&vars_);
    root_ = NewNodeUnder(nullptr);
    root_->Kind = skNetRoot;
    sub_.ExpandRoot(root_);
  }
  void TearDown() override {
    if (root_ != nullptr) ReleaseTree(root_);
  }
  static std::vector<TMoveWord> Tail(TSequence* node) {
    std::vector<TMoveWord> out;
    for (TSequence* n = node->FirstChild; n != nullptr; n = n->FirstChild) {
      EXPECT_EQ(n->Kind, skGameMove);
      EXPECT_EQ(n->NextSibling, nullptr);
      out.push_back(ColouredMove(n));
    }
    return out;
  }

  TVarsBase vars_;
  TNetyFile net_;
  TSubBase subBase_;
  TSubNety sub_;
  TSequence* root_ = nullptr;
};

TEST_F(GameTailTest, TailSkipsMovesOutsideTheRegionAndOnMaskedCells) {
  test::TNetSpec shape = test::RingNet();
  shape.Start = TMatrix(49, 0);
  shape.Start[6 + 6 * 7] = kCellOutside;
  shape.Items[8] = test::GameRef(9, {.GameId = kVarGameIdFirst + 1, .ContIndex = 2});
  Build(shape, {{MakeMove(3, 2), 0},
                {MakeMove(2, 2, true), 0},
                {MakeMove(4, 3), 4},
                {MakeMove(15, 15, true), 0},  // outside the region
                {MakeMove(6, 6), 0},          // a masked cell
                {MakeMove(5, 4, true), 0}});
  // Through 2 and 4 the path is not turned; through 1 and 3 it swaps x and y.
  TSequence* n2 = root_->FirstChild->NextSibling;
  sub_.ExpandNode(n2);
  sub_.ExpandNode(n2->FirstChild);
  TSequence* games = n2->FirstChild->FirstChild->NextSibling->NextSibling;
  ASSERT_EQ(games->Kind, skNetGameNode);
  sub_.ExpandNode(games);
  EXPECT_EQ(Tail(games), (std::vector<TMoveWord>{MakeMove(4, 3), MakeMove(5, 4, true)}));
  EXPECT_EQ(games->FirstChild->Annotations[2], 0);
  EXPECT_EQ(games->FirstChild->Annotations[3], 4);
  EXPECT_EQ(static_cast<TNetRootData*>(root_->Data)->GameRecord.GameNo,
            static_cast<std::int32_t>(kVarGameIdFirst + 1));

  TSequence* n1 = root_->FirstChild;
  sub_.ExpandNode(n1);
  sub_.ExpandNode(n1->FirstChild);
  TSequence* turned = n1->FirstChild->FirstChild->NextSibling->NextSibling;
  sub_.ExpandNode(turned);
  EXPECT_EQ(Tail(turned), (std::vector<TMoveWord>{MakeMove(3, 4), MakeMove(4, 5, true)}));
  EXPECT_EQ(sub_.TakeErrors(), 0u);
}

TEST_F(GameTailTest, GameEndAboveASingleLineStepsBackOverTheLine) {
  test::TNetSpec shape;
  shape.Items = {Node(1, 0, 0, 2, MakeMove(1, 1)), Node(2, 1, 0, 3, MakeMove(2, 2, true)),
                 Node(3, 2, 0, 4, MakeMove(3, 3), nfHasGames),
                 test::GameRef(4, {.GameId = kVarGameIdFirst + 1, .ContIndex = 3})};
  test::TSubNetSpec sub;
  sub.UseSelection = true;
  sub.Selected = {1, 2, 3, 4};
  sub.GameEndRanks = {1};
  Build(shape,
        {{MakeMove(1, 1), 0},
         {MakeMove(2, 2, true), 0},
         {MakeMove(3, 3), 0},
         {MakeMove(4, 4, true), 0},
         {MakeMove(5, 5), 0}},
        sub);
  TSequence* n1 = root_->FirstChild;
  ASSERT_EQ(n1->Kind, skNetGameNode);
  sub_.ExpandNode(n1);
  EXPECT_EQ(Tail(n1), (std::vector<TMoveWord>{MakeMove(2, 2, true), MakeMove(3, 3),
                                              MakeMove(4, 4, true), MakeMove(5, 5)}));
}

TEST_F(GameTailTest, SearchFindsWhereTheGameReachesTheStartPosition) {
  test::TNetSpec shape;
  shape.Start = TMatrix(49, 0);
  shape.Start[1 + 1 * 7] = kCellBlack;
  shape.Items = {Node(1, 0, 0, 2, MakeMove(2, 2, true), nfHasGames),
                 test::GameRef(2, {.GameId = kVarGameIdFirst + 1, .ContIndex = -2, .ContLast = 3})};
  Build(shape, {{MakeMove(1, 1), 0},
                {MakeMove(2, 2, true), 0},
                {MakeMove(3, 2), 0},
                {MakeMove(3, 3, true), 0},
                {MakeMove(4, 4), 0}});  // beyond ContLast
  sub_.ExpandNode(root_->FirstChild);
  EXPECT_EQ(Tail(root_->FirstChild),
            (std::vector<TMoveWord>{MakeMove(2, 2, true), MakeMove(3, 2), MakeMove(3, 3, true)}));
}

TEST_F(GameTailTest, GamesOfARingMemberAreFoundThroughAnAlternateJunction) {
  test::TNetSpec shape;
  shape.Items = {Node(1, 0, 0, 2, MakeMove(3, 2), nfLink | nfViaJunction | nfHasGames),
                 test::Junction(2, 1, 0, 3), test::Junction(3, 4, 0),
                 test::GameRef(4, {.GameId = kVarGameIdFirst + 1, .ContIndex = 1})};
  Build(shape, {{MakeMove(3, 2), 0}, {MakeMove(4, 4, true), 0}});
  TSequence* n1 = root_->FirstChild;
  ASSERT_EQ(n1->Kind, skNetGameNode);
  sub_.ExpandNode(n1);
  EXPECT_EQ(Tail(n1), (std::vector<TMoveWord>{MakeMove(4, 4, true)}));
  EXPECT_EQ(sub_.TakeErrors(), 0u);
}

TEST_F(GameTailTest, MissingOrForkedContinuationsYieldNothing) {
  test::TNetSpec shape;
  shape.Items = {Node(1, 0, 2, 0, MakeMove(1, 1), nfHasGames),  // names no game reference
                 Node(2, 0, 0, 3, MakeMove(2, 1), 0), Node(3, 2, 4, 0, MakeMove(3, 1, true)),
                 Node(4, 2, 0, 0, MakeMove(4, 1, true))};
  test::TSubNetSpec sub;
  sub.UseSelection = true;
  sub.Selected = {1, 2, 3, 4};
  sub.GameEndRanks = {2};  // node 2 forks below
  Build(shape, {{MakeMove(1, 1), 0}}, sub);
  for (TSequence* n = root_->FirstChild; n != nullptr; n = n->NextSibling) {
    ASSERT_EQ(n->Kind, skNetGameNode);
    sub_.ExpandNode(n);
    EXPECT_EQ(n->FirstChild, nullptr);
  }
}

}  // namespace
}  // namespace kessaro
