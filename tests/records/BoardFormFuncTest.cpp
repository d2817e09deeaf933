#include "records/BoardFormFunc.h"

#include <gtest/gtest.h>

#include "board/Diagram.h"
#include "records/GameFunc.h"

namespace kessaro {
namespace {

// Children of a node as a list of their points, for comparing shapes.
std::vector<TMoveWord> ChildPoints(const TSequence* n) {
  std::vector<TMoveWord> out;
  for (const TSequence* c = n->FirstChild; c; c = c->NextSibling) {
    EXPECT_EQ(c->ParentNode, n);
    out.push_back(c->Point);
  }
  return out;
}

struct Tree {
  TSequence* root = NewNodeUnder(nullptr);
  ~Tree() { ReleaseTree(root); }
};

TEST(MoveTree, NewNodeUnderAParentWithChildrenGoesBetween) {
  Tree t;
  AddMove(t.root, MakeMove(3, 3), 0, skPlain, nullptr);
  AddMoveAfter(t.root->FirstChild, MakeMove(4, 4, true), 0, skPlain, nullptr);
  TSequence* middle = NewNodeUnder(t.root);
  EXPECT_EQ(ChildPoints(t.root), std::vector<TMoveWord>{kNoMove});
  EXPECT_EQ(ChildPoints(middle), (std::vector<TMoveWord>{MakeMove(3, 3), MakeMove(4, 4)}));
  EXPECT_EQ(middle->MoveNumber, kNoMoveNumber);
  EXPECT_EQ(middle->SymmetryDirty, 1);
}

TEST(MoveTree, AddMoveSplitsTheMoveWord) {
  Tree t;
  const TMoveWord word = static_cast<TMoveWord>(MakeMove(2, 5) | kLadderFlag | kTenukiFlag);
  TSequence* black = AddMove(t.root, word, 2 * 13 + 7, skPlain, nullptr);
  EXPECT_EQ(black->Point, MakeMove(2, 5));
  EXPECT_EQ(black->Annotations, (std::array<std::uint8_t, 4>{1, 1, 2, 7}));
  EXPECT_TRUE(black->Flags & sfBlack);
  TSequence* white = AddMoveAfter(black, MakeMove(6, 6, true), 0, skPlain, nullptr);
  EXPECT_FALSE(white->Flags & sfBlack);
  EXPECT_EQ(white->ParentNode, t.root);
  EXPECT_EQ(black->NextSibling, white);
}

TEST(MoveTree, ReleaseNodeLetsItsChildrenTakeItsPlace) {
  for (bool first : {true, false}) {
    Tree t;
    TSequence* a = AddMove(t.root, MakeMove(1, 1), 0, skPlain, nullptr);
    TSequence* target = first ? a : AddMoveAfter(a, MakeMove(2, 2), 0, skPlain, nullptr);
    AddMove(target, MakeMove(5, 5), 0, skPlain, nullptr);
    AddMoveAfter(target->FirstChild, MakeMove(6, 6), 0, skPlain, nullptr);
    ReleaseNode(target);
    const std::vector<TMoveWord> expected =
        first ? std::vector<TMoveWord>{MakeMove(5, 5), MakeMove(6, 6)}
              : std::vector<TMoveWord>{MakeMove(1, 1), MakeMove(5, 5), MakeMove(6, 6)};
    EXPECT_EQ(ChildPoints(t.root), expected) << first;
  }
}

TEST(MoveTree, ReleaseChildDropsOneChildAndKeepsItsSiblings) {
  // First, middle and last child; each drop leaves the others linked in order.
  for (int drop = 0; drop < 3; ++drop) {
    Tree t;
    TSequence* kids[3];
    kids[0] = AddMove(t.root, MakeMove(1, 1), 0, skPlain, nullptr);
    kids[1] = AddMoveAfter(kids[0], MakeMove(2, 2), 0, skPlain, nullptr);
    kids[2] = AddMoveAfter(kids[1], MakeMove(3, 3), 0, skPlain, nullptr);
    AddMove(AddMove(kids[drop], MakeMove(7, 7), 0, skPlain, nullptr), MakeMove(8, 8), 0, skPlain,
            nullptr);
    ReleaseChild(kids[drop]);
    std::vector<TMoveWord> expected;
    for (int i = 0; i < 3; ++i)
      if (i != drop) expected.push_back(MakeMove(i + 1, i + 1));
    EXPECT_EQ(ChildPoints(t.root), expected) << drop;
  }
  Tree t;
  ReleaseChild(AddMove(t.root, MakeMove(1, 1), 0, skPlain, nullptr));
  EXPECT_EQ(t.root->FirstChild, nullptr) << "an only child";
  ReleaseChild(nullptr);
}

TEST(MoveTree, AnnotationByteRoundTripsThroughTheNode) {
  TSequence node;
  for (int move = 0; move < kMoveAnnotations; ++move)
    for (int position = 0; position < kPositionAnnotations; ++position) {
      const auto byte = static_cast<std::uint8_t>(move * 13 + position);
      SetNodeAnnotationByte(node, byte);
      EXPECT_EQ(node.Annotations[2], move);
      EXPECT_EQ(node.Annotations[3], position);
      EXPECT_EQ(NodeAnnotationByte(node), byte);
    }
  // A damaged byte past 16 * 13 + 12 is no annotation rather than a move annotation past 16.
  for (int byte : {221, 255}) {
    SetNodeAnnotationByte(node, static_cast<std::uint8_t>(byte));
    EXPECT_EQ(NodeAnnotationByte(node), 0) << byte;
  }
  node.Annotations[2] = 17;
  EXPECT_EQ(NodeAnnotationByte(node), 0) << "an impossible pair is not stored";
}

TEST(MoveTree, RemoveDuplicateModifiersKeepsTheLastOfEachPoint) {
  APositionModifier list = {{0x0101, 1}, {0x0202, 2}, {0x0101, 0}};
  RemoveDuplicateModifiers(list);
  EXPECT_EQ(list, (APositionModifier{{0x0202, 2}, {0x0101, 0}}));
}

TEST(MoveTree, PositionAtPlaysMovesThenSetup) {
  const TRegionWord region = MakeRegion(rkWholeBoard, 4, 4);
  Tree t;
  // White at b1 is captured by Black's third move; then a setup at c3 overrides the stone
  // just played there, and value 3 and marks change nothing.
  TSequence* n = AddMove(t.root, MakeMove(1, 0, true), 0, skPlain, nullptr);
  n = AddMove(n, MakeMove(0, 0), 0, skPlain, nullptr);
  n = AddMove(n, MakeMove(2, 0), 0, skPlain, nullptr);
  n = AddMove(n, MakeMove(3, 3, true), 0, skPlain, nullptr);
  n = AddMove(n, MakeMove(1, 1), 0, skPlain, nullptr);
  EXPECT_EQ(FormatDiagram(PositionAt(n, region), 4, 4), "X.X.\n.X..\n....\n...O\n");
  n = AddMove(n, MakeMove(2, 2), 0, skPlain, nullptr);
  n->Setup = {{0x0202, 2}, {0x0000, 3}, {0x0303, kModifierMarkBit | 1}, {0x0107, 1}};
  EXPECT_EQ(FormatDiagram(PositionAt(n, region), 4, 4), "X.X.\n.X..\n..O.\n...O\n");
  EXPECT_EQ(SymmetryAt(nullptr, region), 1);
  EXPECT_EQ(SymmetryAt(t.root, region), 0xFF);
}

TGame GameWithMoves(std::vector<std::uint16_t> points, int fixed) {
  TGame g;
  InitGame(g);
  g.Info.BlackPlayer->SetText(0, "Honinbo");
  g.Flags |= kGameHasMoves;
  g.Moves.resize(points.size() + 1);
  for (std::size_t i = 0; i < points.size(); ++i) g.Moves[i + 1].Point = points[i];
  g.NumberOfMoves = static_cast<std::uint16_t>(points.size());
  g.NumberOfFixedMoves = static_cast<std::uint8_t>(fixed);
  return g;
}

TEST(MoveTree, LoadGameTreeMakesFixedMovesSetupStones) {
  TGame g = GameWithMoves({0x0303, 0x0F0F, 0x0310, 0x1003, kNoMove}, 2);
  Tree t;
  ASSERT_TRUE(LoadGameTree(g, t.root));
  EXPECT_EQ(t.root->Kind, skGameRoot);
  EXPECT_EQ(t.root->Setup, (APositionModifier{{0x0303, 1}, {0x0F0F, 2}}));
  std::vector<std::pair<std::uint16_t, bool>> chain;
  for (const TSequence* n = t.root->FirstChild; n; n = n->FirstChild) {
    EXPECT_EQ(n->Kind, skGameMove);
    EXPECT_EQ(n->Data, t.root->Data);
    chain.emplace_back(n->Point, (n->Flags & sfBlack) != 0);
  }
  EXPECT_EQ(chain, (std::vector<std::pair<std::uint16_t, bool>>{
                       {0x0310, true}, {0x1003, false}, {kNoMove, true}}));
  FreeGame(g);

  TGame none;
  InitGame(none);
  EXPECT_FALSE(LoadGameTree(none, t.root));
  EXPECT_EQ(t.root->FirstChild, nullptr);
  FreeGame(none);
}

TEST(MoveTree, CopiedTreeSurvivesItsSource) {
  TGame g = GameWithMoves({0x0303, 0x0F0F, 0x0310}, 0);
  auto* source = NewNodeUnder(nullptr);
  ASSERT_TRUE(LoadGameTree(g, source));
  FreeGame(g);
  AddMoveAfter(source->FirstChild, MakeMove(9, 9, true), 0, skGameMove, source->Data);
  source->FirstChild->Comment = "first";
  Tree copy;
  CopyTree(source, copy.root, nullptr);
  ReleaseTree(source);
  ASSERT_NE(copy.root->Data, nullptr);
  EXPECT_EQ(copy.root->Data->Game()->Info.BlackPlayer->GetText(0), "Honinbo");
  EXPECT_EQ(ChildPoints(copy.root), (std::vector<TMoveWord>{0x0303, MakeMove(9, 9)}));
  EXPECT_EQ(copy.root->FirstChild->Comment, "first");
  int nodes = 0;
  for (const TSequence* n = copy.root->FirstChild; n; n = n->FirstChild, ++nodes)
    EXPECT_EQ(n->Data, copy.root->Data);
  EXPECT_EQ(nodes, 3);
  EXPECT_EQ(copy.root->FirstChild->NextSibling->Data, copy.root->Data);
}

TEST(MoveTree, CopyPathMakesASingleLineOfPathNodes) {
  TGame g = GameWithMoves({0x0303, 0x0F0F, 0x0310}, 0);
  Tree source;
  ASSERT_TRUE(LoadGameTree(g, source.root));
  FreeGame(g);
  TSequence* second = source.root->FirstChild->FirstChild;
  AddMoveAfter(source.root->FirstChild, MakeMove(9, 9, true), 0, skGameMove, source.root->Data);
  second->Flags |= sfInverted | sfTestMove;
  second->Setup = {{0x0000, 1}};
  Tree path;
  CopyPath(second, path.root);
  EXPECT_EQ(path.root->Kind, skGameRoot);
  EXPECT_NE(path.root->Data, source.root->Data);
  const TSequence* first = path.root->FirstChild;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->NextSibling, nullptr);
  EXPECT_EQ(first->Point, 0x0303);
  ASSERT_NE(first->FirstChild, nullptr);
  const TSequence* copied = first->FirstChild;
  EXPECT_EQ(copied->Point, 0x0F0F);
  EXPECT_EQ(copied->Kind, skPathNode);
  EXPECT_EQ(copied->Data, path.root->Data);
  EXPECT_EQ(copied->Flags & (sfInverted | sfTestMove), 0);
  EXPECT_TRUE(copied->Setup.empty());
  EXPECT_EQ(copied->FirstChild, nullptr);
}

TEST(MoveTree, MillionNodeChainIsCopiedAndReleasedWithoutRecursion) {
  Tree t;
  TSequence* n = t.root;
  for (int i = 0; i < 1000000; ++i)
    n = AddMove(n, MakeMove(i % 19, i / 19 % 19), 0, skPlain, nullptr);
  Tree copy;
  CopyTree(t.root, copy.root, nullptr);
  int depth = 0;
  for (const TSequence* c = copy.root->FirstChild; c; c = c->FirstChild) ++depth;
  EXPECT_EQ(depth, 1000000);
}

}  // namespace
}  // namespace kessaro
