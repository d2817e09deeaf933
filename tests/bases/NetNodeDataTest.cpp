// The net node kinds of the move tree: copies own their data, releasing either tree leaves the
// other intact (the sanitizer build checks that nothing leaks or is freed twice).
#include <gtest/gtest.h>

#include "bases/NetNodeData.h"
#include "records/BoardFormFunc.h"
#include "records/GameFunc.h"

namespace kessaro {
namespace {

TEST(NetNodeData, TreesWithNetKindsCopyAndRelease) {
  TSequence* root = NewNodeUnder(nullptr);
  auto* rootData = new TNetRootData();
  rootData->GameRecord.BoardSize = 19;
  rootData->Stats.Triples[scPro].MoverWins = 4;
  root->Data = rootData;
  root->Kind = skNetRoot;

  auto* node = new TNetNodeData();
  node->Node.Index = 12;
  node->SumStats.Triples[scKyu].Unknown = 3;
  TSequence* a = AddMove(root, 0x0303, 0, skNetNode, node);
  auto* gameNode = new TNetGameNodeData();
  gameNode->GameRef.SetGameId(0xD0000001);
  gameNode->LoadedGame = &rootData->GameRecord;
  TSequence* b = AddMoveAfter(a, 0x8404, 0, skNetGameNode, gameNode);
  AddMove(b, 0x0505, 0, skGameMove, rootData);

  TSequence* copy = NewNodeUnder(nullptr);
  CopyTree(root, copy, nullptr);
  ReleaseTree(root);

  ASSERT_EQ(copy->Kind, skNetRoot);
  auto* copiedRoot = static_cast<TNetRootData*>(copy->Data);
  EXPECT_EQ(copiedRoot->GameRecord.BoardSize, 19);
  EXPECT_EQ(copiedRoot->Stats.Triples[scPro].MoverWins, 4u);
  ASSERT_NE(copy->FirstChild, nullptr);
  EXPECT_EQ(static_cast<TNetNodeData*>(copy->FirstChild->Data)->Node.Index, 12u);
  EXPECT_EQ(static_cast<TNetNodeData*>(copy->FirstChild->Data)->SumStats.Triples[scKyu].Unknown,
            3u);
  TSequence* copiedB = copy->FirstChild->NextSibling;
  ASSERT_NE(copiedB, nullptr);
  ASSERT_EQ(copiedB->Kind, skNetGameNode);
  auto* copiedGame = static_cast<TNetGameNodeData*>(copiedB->Data);
  EXPECT_EQ(copiedGame->GameRef.GameId(), 0xD0000001u);
  EXPECT_EQ(copiedGame->LoadedGame, nullptr);
  ASSERT_NE(copiedB->FirstChild, nullptr);
  EXPECT_EQ(copiedB->FirstChild->Data, copy->Data);

  TSequence* path = NewNodeUnder(nullptr);
  CopyPath(copiedB->FirstChild, path);
  EXPECT_EQ(path->Kind, skGameRoot);
  ReleaseTree(path);
  ReleaseTree(copy);
}

}  // namespace
}  // namespace kessaro
