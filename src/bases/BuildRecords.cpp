#include "bases/BuildRecords.h"

#include <algorithm>
#include <deque>

#include "bases/SubNety.h"

namespace kessaro {

namespace {

// The record number of each edge, breadth first from the empty corner; each expanded
// position gets its first child record, and `parentRecord` the record that first reaches it.
void NumberMoves(TNetGraph& graph, TNetLayout& layout, std::vector<std::uint32_t>& parentRecord) {
  auto& positions = graph.Positions();
  auto& edges = graph.Edges();
  std::deque<std::uint32_t> queue{graph.Root()};
  positions[graph.Root()].Queued = true;
  while (!queue.empty()) {
    const std::uint32_t p = queue.front();
    queue.pop_front();
    std::vector<std::uint32_t> out;
    for (const TPositionNode::TOut& o : positions[p].Out)
      if (edges[o.Edge].Count > 0) out.push_back(o.Edge);
    std::sort(out.begin(), out.end(), [&](std::uint32_t a, std::uint32_t b) {
      if (edges[a].Count != edges[b].Count) return edges[a].Count > edges[b].Count;
      return edges[a].Move < edges[b].Move;
    });
    if (!out.empty())
      positions[p].FirstChildRecord = static_cast<std::uint32_t>(layout.RecordEdge.size() + 1);
    for (std::uint32_t e : out) {
      layout.RecordEdge.push_back(e);
      edges[e].Record = static_cast<std::uint32_t>(layout.RecordEdge.size());
      TPositionNode& to = positions[edges[e].To];
      if (to.Expanded && !to.Queued) {
        to.Queued = true;
        parentRecord[edges[e].To] = edges[e].Record;
        queue.push_back(edges[e].To);
      }
    }
  }
}

// The move records with their parents, moves and next siblings.
void MakeMoveRecords(TNetGraph& graph, TNetLayout& layout,
                     const std::vector<std::uint32_t>& parentRecord) {
  const auto& edges = graph.Edges();
  const auto moveNodes = static_cast<std::uint32_t>(layout.RecordEdge.size());
  layout.Nodes.resize(moveNodes);
  for (std::uint32_t r = 1; r <= moveNodes; ++r) {
    const TMoveEdge& e = edges[layout.RecordEdge[r - 1]];
    NetRecord& n = layout.Nodes[r - 1];
    n.Index = r;
    n.SetParent(e.From == graph.Root() ? 0 : parentRecord[e.From]);
    n.SetMove(e.Move);
    std::uint32_t nextSibling = 0;
    if (r < moveNodes && edges[layout.RecordEdge[r]].From == e.From) nextSibling = r + 1;
    n.SetNext(nextSibling);
  }
}

std::uint32_t NextExtraRecord(const TNetLayout& layout) {
  return static_cast<std::uint32_t>(layout.Nodes.size() + layout.Extra.size() + 1);
}

// The moves into each expanded position lead to its first child; where several moves reach
// it, they form a ring: each links to the next, the last through a junction to the children.
void JoinRings(TNetGraph& graph, TNetLayout& layout) {
  const auto& positions = graph.Positions();
  const auto& edges = graph.Edges();
  std::vector<std::vector<std::uint32_t>> inRecords(positions.size());
  for (std::uint32_t r = 1; r <= layout.MoveNodes(); ++r)
    inRecords[edges[layout.RecordEdge[r - 1]].To].push_back(r);
  for (std::uint32_t p = 0; p < positions.size(); ++p) {
    const TPositionNode& pos = positions[p];
    if (pos.Expanded && pos.Queued) ++layout.Expanded;
    const auto& in = inRecords[p];
    if (in.empty()) continue;
    if (!pos.Expanded) continue;  // leaves: game references
    if (in.size() == 1) {
      NetRecord& n = layout.Nodes[in[0] - 1];
      n.SetChild(pos.FirstChildRecord);
      n.SetNodeFlags(edges[layout.RecordEdge[in[0] - 1]].ChildCode & nfSymmetryMask);
      continue;
    }
    ++layout.Rings;
    NetRecord junction;
    junction.Index = NextExtraRecord(layout);
    junction.SetEntry(in[0]);
    junction.SetSharedChild(pos.FirstChildRecord);
    for (std::size_t i = 0; i < in.size(); ++i) {
      NetRecord& n = layout.Nodes[in[i] - 1];
      std::uint8_t flags =
          nfLink | (edges[layout.RecordEdge[in[i] - 1]].ChildCode & nfSymmetryMask);
      if (i + 1 < in.size()) {
        n.SetChild(in[i + 1]);
      } else {
        flags |= nfViaJunction;
        n.SetChild(junction.Index);
      }
      n.SetNodeFlags(flags);
    }
    layout.Extra.emplace_back(junction, nkJunction);
  }
}

// Leaves: a reference to the first game that played the move.
void AddGameReferences(TNetGraph& graph, TNetLayout& layout, const std::vector<TCornerSeq>& seqs,
                       std::vector<TGameEntry>& games) {
  const auto& positions = graph.Positions();
  const auto& edges = graph.Edges();
  for (std::uint32_t r = 1; r <= layout.MoveNodes(); ++r) {
    const TMoveEdge& e = edges[layout.RecordEdge[r - 1]];
    if (positions[e.To].Expanded) continue;
    const TCornerSeq& seq = seqs[e.FirstSeq];
    if (games[seq.Game].VarNumber == 0) {
      layout.Referenced.push_back(seq.Game);
      games[seq.Game].VarNumber = static_cast<std::uint32_t>(layout.Referenced.size());
    }
    NetRecord ref;
    ref.Index = NextExtraRecord(layout);
    ref.SetGameId(kVarGameIdFirst + games[seq.Game].VarNumber);
    ref.SetContMove(kNoMove);
    ref.SetContIndex(static_cast<std::int16_t>(e.FirstVarIndex + 1));
    ref.SetContLast(-1);
    ref.SetOrigin(0, 0);
    ref.SetGameBoardSize(19);
    ref.SetGameSymmetry(static_cast<std::uint8_t>((seq.Corner & 7) | (e.FirstCode & 0x0F) << 4));
    NetRecord& n = layout.Nodes[r - 1];
    n.SetChild(ref.Index);
    n.SetNodeFlags(nfHasGames);
    layout.Extra.emplace_back(ref, nkGameRef);
    ++layout.GameRefs;
  }
}

}  // namespace

TNetLayout LayOutNet(TNetGraph& graph, const std::vector<TCornerSeq>& seqs,
                     std::vector<TGameEntry>& games) {
  TNetLayout layout;
  std::vector<std::uint32_t> parentRecord(graph.Positions().size(), 0);
  NumberMoves(graph, layout, parentRecord);
  MakeMoveRecords(graph, layout, parentRecord);
  JoinRings(graph, layout);
  AddGameReferences(graph, layout, seqs, games);
  return layout;
}

}  // namespace kessaro
