#pragma once
// Operations on move trees. Nodes are allocated with new and released only through these
// operations, which work without recursion so that trees millions of nodes deep are safe.

#include <string>

#include "records/BoardFormTypes.h"

namespace kessaro {

// A fresh node (no move, symmetry dirty, no move number). Under a parent it takes over all of
// the parent's children and becomes its only child.
TSequence* NewNodeUnder(TSequence* parent);
// newNode becomes node's next sibling (taking over node's former one) under node's parent.
TSequence* InsertAfter(TSequence* node, TSequence* newNode);

TSequence* AddMove(TSequence* parent, TMoveWord moveWord, std::uint8_t annotationByte,
                   std::int32_t kind, TNodeData* data);
TSequence* AddMoveAfter(TSequence* sibling, TMoveWord moveWord, std::uint8_t annotationByte,
                        std::int32_t kind, TNodeData* data);
TSequence* AddNode(TSequence* parent, std::uint16_t point, const std::string& comment,
                   std::int32_t kind, TNodeData* data, const APositionModifier& setup);
TSequence* AddNodeAfter(TSequence* sibling, std::uint16_t point, const std::string& comment,
                        std::int32_t kind, TNodeData* data, const APositionModifier& setup);

// Frees node and the chain of its following siblings (with their subtrees); node's children
// take its place under its parent. A caller that keeps the following siblings cuts node out
// of the chain first.
void ReleaseNode(TSequence* node);
// Frees node, its subtree and its following siblings with theirs, and unlinks it.
void ReleaseTree(TSequence* node);
// Takes child (with its subtree) out of its parent's list of children, keeping its siblings.
void CutChild(TSequence* child);
// Cuts child out and frees it with its subtree.
void ReleaseChild(TSequence* child);
// Frees everything below and beside the root and its own data; the record itself stays.
void ClearRoot(TSequence* root);

// The annotation byte of the position base and the nets: move annotation * 13 + position
// annotation (0-16 and 0-12). A byte past the largest pair (a damaged file) means none.
constexpr int kPositionAnnotations = 13;
constexpr int kMoveAnnotations = 17;
struct TAnnotationPair {
  std::uint8_t Move = 0;
  std::uint8_t Position = 0;
  friend bool operator==(const TAnnotationPair&, const TAnnotationPair&) = default;
};
constexpr TAnnotationPair SplitAnnotationByte(std::uint8_t byte) {
  if (byte >= kMoveAnnotations * kPositionAnnotations) return {};
  return {static_cast<std::uint8_t>(byte / kPositionAnnotations),
          static_cast<std::uint8_t>(byte % kPositionAnnotations)};
}
constexpr std::uint8_t JoinAnnotationByte(TAnnotationPair pair) {
  if (pair.Move >= kMoveAnnotations || pair.Position >= kPositionAnnotations) return 0;
  return static_cast<std::uint8_t>(pair.Move * kPositionAnnotations + pair.Position);
}
// A node's move and position annotations (Annotations[2] and [3]) to and from the byte.
std::uint8_t NodeAnnotationByte(const TSequence& node);
void SetNodeAnnotationByte(TSequence& node, std::uint8_t byte);

// Keeps, for each point, only the last item that names it, in the order of those items.
void RemoveDuplicateModifiers(APositionModifier& list);

void CopyNodeContents(const TSequence* source, TSequence* target);
// Replaces target (and its children and siblings) with a copy of source's tree.
void CopyTree(const TSequence* source, TSequence* target, TSequence* parent);
// Replaces target with the single line from the root to node (path nodes).
void CopyPath(const TSequence* node, TSequence* target);

// The position after node's move and setup, on an empty region.
TMatrix PositionAt(const TSequence* node, TRegionWord region);
// Symmetry mask of that position; 1 (identity only) without a node.
std::uint8_t SymmetryAt(const TSequence* node, TRegionWord region);

// Makes root a game root owning a copy of game, with the fixed moves as setup stones and the
// remaining moves as a chain of kind 6 nodes. False when the game has no move list.
bool LoadGameTree(const TGame& game, TSequence* root);

// The root of node's tree.
TSequence* RootOf(TSequence* node);
const TSequence* RootOf(const TSequence* node);

}  // namespace kessaro
