#pragma once
// The database build's third stage: the net graph laid out as net records. Move records are
// numbered breadth first from the empty corner, each expanded position's list of moves
// contiguous (most played first, then by move word); then come the junctions of the rings
// (expanded positions reached by several moves), then the game references of the leaves.

#include <cstdint>
#include <utility>
#include <vector>

#include "bases/BuildGames.h"
#include "bases/BuildNetGraph.h"
#include "bases/Nety.h"

namespace kessaro {

struct TNetLayout {
  std::vector<std::uint32_t> RecordEdge;                    // record - 1 -> edge
  std::vector<NetRecord> Nodes;                             // the move records, record r at r - 1
  std::vector<std::pair<NetRecord, TNetRecordKind>> Extra;  // junctions, then game references
  std::vector<std::uint32_t> Referenced;  // the games of the variations base, in their order
  std::uint64_t Rings = 0;                // junctions
  std::uint64_t Expanded = 0;             // expanded positions reached from the empty corner
  std::uint64_t GameRefs = 0;

  std::uint32_t MoveNodes() const { return static_cast<std::uint32_t>(Nodes.size()); }
};

// Numbers the records of the graph and links them. Every game a leaf refers to gets its
// VarNumber, in the order of the leaves.
TNetLayout LayOutNet(TNetGraph& graph, const std::vector<TCornerSeq>& seqs,
                     std::vector<TGameEntry>& games);

}  // namespace kessaro
