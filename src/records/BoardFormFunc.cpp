#include "records/BoardFormFunc.h"

#include <unordered_map>
#include <utility>
#include <vector>

#include "board/PositionFunc.h"
#include "board/SymmetryFunctions.h"
#include "records/GameFunc.h"

namespace kessaro {

TGameRootData::TGameRootData() {
  InitGame(GameRecord);
}
TGameRootData::~TGameRootData() {
  FreeGame(GameRecord);
}

std::unique_ptr<TNodeData> TGameRootData::Clone() const {
  auto copy = std::make_unique<TGameRootData>();
  CopyGame(GameRecord, copy->GameRecord);
  return copy;
}

namespace {

// Releases the lists, texts and owned data of one node; the links stay.
void ReleaseContents(TSequence* node) {
  node->Setup.clear();
  node->SetupAlt.clear();
  node->Marks.clear();
  node->MarksAlt.clear();
  node->NodeName.clear();
  node->Comment.clear();
  node->CommentSet.reset();
  if (KindOwnsData(node->Kind)) delete node->Data;
  node->Data = nullptr;
}

// Frees start and everything reachable from it through FirstChild and NextSibling, without
// touching the links that lead to start.
void FreeReachable(TSequence* start) {
  std::vector<TSequence*> pending;
  if (start) pending.push_back(start);
  while (!pending.empty()) {
    TSequence* n = pending.back();
    pending.pop_back();
    if (n->FirstChild) pending.push_back(n->FirstChild);
    if (n->NextSibling) pending.push_back(n->NextSibling);
    ReleaseContents(n);
    delete n;
  }
}

void ReleaseChildrenAndSiblings(TSequence* node) {
  TSequence* child = std::exchange(node->FirstChild, nullptr);
  TSequence* sibling = std::exchange(node->NextSibling, nullptr);
  FreeReachable(sibling);
  FreeReachable(child);
}

// The data a kind 4 or 6 node shares: its root's.
TNodeData* SharedDataFor(std::int32_t kind, TSequence* root, TNodeData* sourceData) {
  if (kind == skPathNode || kind == skGameMove) return root ? root->Data : nullptr;
  return sourceData;
}

void CopyContentsWithRoot(const TSequence* source, TSequence* target, TSequence* targetRoot) {
  target->Point = source->Point;
  target->CaptureFlags = source->CaptureFlags;
  target->Flags = source->Flags;
  target->PositionSymmetry = source->PositionSymmetry;
  target->SymmetryDirty = source->SymmetryDirty;
  target->CapturedBlack = source->CapturedBlack;
  target->CapturedWhite = source->CapturedWhite;
  target->Annotations = source->Annotations;
  target->Setup = source->Setup;
  target->Marks = source->Marks;
  target->NodeName = source->NodeName;
  target->Comment = source->Comment;
  target->MoveNumber = source->MoveNumber;
  if (KindOwnsData(target->Kind)) delete target->Data;
  target->Data = nullptr;
  target->Kind = source->Kind;
  if (KindOwnsData(source->Kind)) {
    if (source->Data) target->Data = source->Data->Clone().release();
  } else {
    target->Data = SharedDataFor(source->Kind, targetRoot, source->Data);
  }
}

TSequence* NewDetachedNode() {
  return NewNodeUnder(nullptr);
}

// One node of a path copy.
void CopyAsPathNode(const TSequence* source, TSequence* target, TSequence* targetRoot) {
  target->Point = source->Point;
  target->CaptureFlags = source->CaptureFlags;
  target->Flags = static_cast<std::uint8_t>(source->Flags & ~(sfInverted | sfTestMove));
  target->PositionSymmetry = source->PositionSymmetry;
  target->SymmetryDirty = source->SymmetryDirty;
  target->CapturedBlack = source->CapturedBlack;
  target->CapturedWhite = source->CapturedWhite;
  target->Annotations = source->Annotations;
  target->NodeName = source->NodeName;
  target->Comment = source->Comment;
  target->MoveNumber = source->MoveNumber;
  target->Setup.clear();
  target->Marks.clear();
  if (KindOwnsData(target->Kind)) delete target->Data;
  target->Data = nullptr;
  if (source->Kind == skGameRoot || source->Kind == skNetRoot) {
    auto root = std::make_unique<TGameRootData>();
    if (source->Data && source->Data->Game()) CopyGame(*source->Data->Game(), root->GameRecord);
    target->Data = root.release();
    target->Kind = skGameRoot;
  } else {
    target->Kind = skPathNode;
    target->Data = targetRoot ? targetRoot->Data : nullptr;
  }
}

}  // namespace

TSequence* RootOf(TSequence* node) {
  while (node && node->ParentNode) node = node->ParentNode;
  return node;
}

const TSequence* RootOf(const TSequence* node) {
  while (node && node->ParentNode) node = node->ParentNode;
  return node;
}

TSequence* NewNodeUnder(TSequence* parent) {
  auto* node = new TSequence;
  if (parent) {
    node->FirstChild = parent->FirstChild;
    for (TSequence* c = node->FirstChild; c; c = c->NextSibling) c->ParentNode = node;
    parent->FirstChild = node;
    node->ParentNode = parent;
  }
  return node;
}

TSequence* InsertAfter(TSequence* node, TSequence* newNode) {
  newNode->NextSibling = node->NextSibling;
  node->NextSibling = newNode;
  newNode->ParentNode = node->ParentNode;
  return node;
}

namespace {

void SetMove(TSequence* node, TMoveWord moveWord, std::uint8_t annotationByte, std::int32_t kind,
             TNodeData* data) {
  node->Point = moveWord & kPointMask;
  node->Annotations = {static_cast<std::uint8_t>((moveWord & kLadderFlag) ? 1 : 0),
                       static_cast<std::uint8_t>((moveWord & kTenukiFlag) ? 1 : 0), 0, 0};
  SetNodeAnnotationByte(*node, annotationByte);
  node->Data = data;
  node->Kind = kind;
  if (!(moveWord & kWhiteBit)) node->Flags |= sfBlack;
}

void SetNode(TSequence* node, std::uint16_t point, const std::string& comment, std::int32_t kind,
             TNodeData* data, const APositionModifier& setup) {
  node->Point = point;
  if (!setup.empty()) node->Setup = setup;
  node->Comment = comment;
  node->Data = data;
  node->Kind = kind;
}

}  // namespace

TSequence* AddMove(TSequence* parent, TMoveWord moveWord, std::uint8_t annotationByte,
                   std::int32_t kind, TNodeData* data) {
  TSequence* node = NewNodeUnder(parent);
  SetMove(node, moveWord, annotationByte, kind, data);
  return node;
}

TSequence* AddMoveAfter(TSequence* sibling, TMoveWord moveWord, std::uint8_t annotationByte,
                        std::int32_t kind, TNodeData* data) {
  TSequence* node = NewDetachedNode();
  SetMove(node, moveWord, annotationByte, kind, data);
  InsertAfter(sibling, node);
  return node;
}

TSequence* AddNode(TSequence* parent, std::uint16_t point, const std::string& comment,
                   std::int32_t kind, TNodeData* data, const APositionModifier& setup) {
  TSequence* node = NewNodeUnder(parent);
  SetNode(node, point, comment, kind, data, setup);
  return node;
}

TSequence* AddNodeAfter(TSequence* sibling, std::uint16_t point, const std::string& comment,
                        std::int32_t kind, TNodeData* data, const APositionModifier& setup) {
  TSequence* node = NewDetachedNode();
  SetNode(node, point, comment, kind, data, setup);
  InsertAfter(sibling, node);
  return node;
}

void ReleaseNode(TSequence* node) {
  if (!node) return;
  TSequence* parent = node->ParentNode;
  TSequence* children = std::exchange(node->FirstChild, nullptr);
  for (TSequence* c = children; c; c = c->NextSibling) c->ParentNode = parent;
  // The children take the place of node (and of the siblings after it, which are freed).
  if (parent) {
    if (parent->FirstChild == node) {
      parent->FirstChild = children;
    } else {
      TSequence* before = parent->FirstChild;
      while (before && before->NextSibling != node) before = before->NextSibling;
      if (before) before->NextSibling = children;
    }
  } else {
    FreeReachable(children);  // nothing else could reach them
  }
  ReleaseContents(node);
  FreeReachable(std::exchange(node->NextSibling, nullptr));
  delete node;
}

void ReleaseTree(TSequence* node) {
  if (!node) return;
  ReleaseChildrenAndSiblings(node);
  ReleaseNode(node);
}

void CutChild(TSequence* child) {
  if (!child) return;
  if (TSequence* parent = child->ParentNode) {
    TSequence** link = &parent->FirstChild;
    while (*link && *link != child) link = &(*link)->NextSibling;
    if (*link) *link = child->NextSibling;
  }
  child->NextSibling = nullptr;
  child->ParentNode = nullptr;
}

void ReleaseChild(TSequence* child) {
  CutChild(child);
  ReleaseTree(child);
}

std::uint8_t NodeAnnotationByte(const TSequence& node) {
  return JoinAnnotationByte({node.Annotations[2], node.Annotations[3]});
}

void SetNodeAnnotationByte(TSequence& node, std::uint8_t byte) {
  const TAnnotationPair pair = SplitAnnotationByte(byte);
  node.Annotations[2] = pair.Move;
  node.Annotations[3] = pair.Position;
}

void ClearRoot(TSequence* root) {
  if (!root) return;
  ReleaseChildrenAndSiblings(root);
  root->ParentNode = nullptr;
  ReleaseContents(root);
}

void RemoveDuplicateModifiers(APositionModifier& list) {
  std::unordered_map<std::uint16_t, std::size_t> last;
  for (std::size_t i = 0; i < list.size(); ++i) last[list[i].Point] = i;
  APositionModifier kept;
  kept.reserve(last.size());
  for (std::size_t i = 0; i < list.size(); ++i)
    if (last[list[i].Point] == i) kept.push_back(list[i]);
  list = std::move(kept);
}

void CopyNodeContents(const TSequence* source, TSequence* target) {
  if (!source || !target || source == target) return;
  // A sharing node shares the data of its own root, which may be target itself.
  CopyContentsWithRoot(source, target, RootOf(target));
}

void CopyTree(const TSequence* source, TSequence* target, TSequence* parent) {
  if (!source || !target || source == target) return;
  ReleaseChildrenAndSiblings(target);
  target->ParentNode = parent;
  TSequence* root = RootOf(target);
  std::vector<std::pair<const TSequence*, TSequence*>> pending{{source, target}};
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    CopyContentsWithRoot(from, to, root);
    if (from->NextSibling) {
      TSequence* sibling = NewDetachedNode();
      sibling->ParentNode = to->ParentNode;
      to->NextSibling = sibling;
      pending.emplace_back(from->NextSibling, sibling);
    }
    // Children are pushed last so that they are copied before the siblings: a copy of a
    // sharing node then always finds its root's data in place.
    if (from->FirstChild) {
      TSequence* child = NewDetachedNode();
      child->ParentNode = to;
      to->FirstChild = child;
      pending.emplace_back(from->FirstChild, child);
    }
  }
}

void CopyPath(const TSequence* node, TSequence* target) {
  if (!node || !target) return;
  ReleaseChildrenAndSiblings(target);
  const TSequence* root = RootOf(node);
  CopyAsPathNode(root, target, nullptr);
  target->ParentNode = nullptr;
  // Copy from node upwards; each copy becomes the only child of the one copied after it.
  TSequence* below = nullptr;
  for (const TSequence* n = node; n && n != root; n = n->ParentNode) {
    TSequence* copy = NewDetachedNode();
    CopyAsPathNode(n, copy, target);
    if (below) {
      copy->FirstChild = below;
      below->ParentNode = copy;
    }
    below = copy;
  }
  if (below) {
    target->FirstChild = below;
    below->ParentNode = target;
  }
}

TMatrix PositionAt(const TSequence* node, TRegionWord region) {
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  TMatrix m(static_cast<std::size_t>(w * h), kCellEmpty);
  std::vector<const TSequence*> path;
  for (const TSequence* n = node; n; n = n->ParentNode) path.push_back(n);
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    const TSequence* n = *it;
    PlaceStone(m, RegionKind(region), w, (n->Flags & sfBlack) ? kCellBlack : kCellWhite,
               MoveY(n->Point), MoveX(n->Point), h);
    for (const auto& item : n->Setup) {
      const int x = item.Point & 0xFF;
      const int y = item.Point >> 8;
      if (x < w && y < h && item.Value < 3)
        m[static_cast<std::size_t>(x + y * w)] = static_cast<std::uint8_t>(item.Value);
    }
  }
  return m;
}

std::uint8_t SymmetryAt(const TSequence* node, TRegionWord region) {
  if (!node) return 1;
  return SymmetryMask(PositionAt(node, region), region);
}

bool LoadGameTree(const TGame& game, TSequence* root) {
  if (!root) return false;
  ReleaseChildrenAndSiblings(root);
  if (KindOwnsData(root->Kind)) delete root->Data;
  auto data = std::make_unique<TGameRootData>();
  CopyGame(game, data->GameRecord);
  root->Data = data.release();
  root->Kind = skGameRoot;
  root->PositionSymmetry = 0;
  root->SymmetryDirty = 1;
  if (!(game.Flags & kGameHasMoves) || game.Moves.empty()) return false;

  // Moves 1..NumberOfMoves; a count beyond what the list holds is not trusted.
  const std::size_t count = std::min<std::size_t>(game.NumberOfMoves, game.Moves.size() - 1);
  const std::size_t fixed = std::min<std::size_t>(game.NumberOfFixedMoves, count);
  for (std::size_t j = 0; j < fixed; ++j) {
    const std::uint16_t p = game.Moves[j + 1].Point;
    if ((p & kPointMask) == kNoMove) continue;
    root->Setup.push_back({p, j % 2 == 0 ? 1u : 2u});
  }
  TSequence* previous = root;
  for (std::size_t j = fixed + 1; j <= count; ++j) {
    previous = AddNode(previous, game.Moves[j].Point, std::string(), skGameMove, root->Data, {});
    if (j % 2 == 1) previous->Flags |= sfBlack;
  }
  return true;
}

}  // namespace kessaro
