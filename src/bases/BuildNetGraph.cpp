#include "bases/BuildNetGraph.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kessaro {

namespace {

void CountGame(StatRecord& r, const TGameEntry& g, bool moverWhite) {
  StatTriple& t = r.Triples[static_cast<std::size_t>(g.Category)];
  const int mover = moverWhite ? 2 : 1;
  if (g.Winner == 0)
    ++t.Unknown;
  else if (g.Winner == mover)
    ++t.MoverWins;
  else
    ++t.OpponentWins;
  const std::uint8_t own = moverWhite ? g.WhiteRank : g.BlackRank;
  const std::uint8_t other = moverWhite ? g.BlackRank : g.WhiteRank;
  r.Strongest[0] = std::max(r.Strongest[0], own);
  r.Strongest[1] = std::max(r.Strongest[1], other);
}

}  // namespace

void TNetGraph::AddSequences() {
  TMatrix empty(static_cast<std::size_t>(frames_.Cells()), kCellEmpty);
  if (positions_.empty()) {
    std::string key;
    frames_.Pack(empty, key);
    root_ = PositionOf(key);
    positions_[root_].Expanded = true;
  }
  const auto first = static_cast<std::uint32_t>(walkers_.size());
  walkers_.resize(seqs_.size());
  std::deque<std::uint32_t> active;
  for (std::uint32_t s = first; s < seqs_.size(); ++s) {
    walkers_[s].Actual = empty;
    walkers_[s].Position = root_;
    CountGame(rootStats_, games_[seqs_[s].Game], false);
    active.push_back(s);
  }
  while (!active.empty()) {
    const std::uint32_t s = active.front();
    active.pop_front();
    Advance(s, active);
  }
}

std::uint32_t TNetGraph::PositionOf(const std::string& key) {
  auto [it, inserted] = index_.try_emplace(key, static_cast<std::uint32_t>(positions_.size()));
  if (inserted) {
    TPositionNode p;
    p.Key = &it->first;  // nodes of the map stay where they are
    positions_.push_back(std::move(p));
  }
  return it->second;
}

void TNetGraph::Advance(std::uint32_t s, std::deque<std::uint32_t>& active) {
  TWalker& w = walkers_[s];
  const TCornerSeq& seq = seqs_[s];
  const TGameEntry& game = games_[seq.Game];
  const int width = RegionWidth(frames_.Region()), height = RegionHeight(frames_.Region());
  while (positions_[w.Position].Expanded) {
    if (w.Step >= seq.Moves.size()) return Finish(w);
    const TMoveWord m = seq.Moves[w.Step];
    const int x = MoveX(m), y = MoveY(m);
    // A stone removed by a capture from outside the region cannot be followed.
    if (w.Actual[static_cast<std::size_t>(x + y * width)] != kCellEmpty) return Finish(w);
    // The move in the canonical frame; under a symmetric position the smallest image.
    TSymmetry code = w.ToCanon;
    TMoveWord best = frames_.Move(m, code);
    TPositionNode& at = positions_[w.Position];
    if (!at.StabilizerKnown) {
      at.Stabilizer = frames_.Stabilizer(*at.Key);
      at.StabilizerKnown = true;
    }
    for (TSymmetry st : frames_.Codes()) {
      if (!(at.Stabilizer & (1u << st))) continue;
      const TSymmetry c = ComposeSymmetry(w.ToCanon, st);
      const TMoveWord image = frames_.Move(m, c);
      if (image < best) {
        best = image;
        code = c;
      }
    }
    const std::uint32_t e = EdgeOf(w.Position, best);
    TMoveEdge& edge = edges_[e];
    if (edge.Count == 0 || s < edge.FirstSeq) {
      edge.FirstSeq = s;
      edge.FirstVarIndex = seq.VarIndex[w.Step];
      edge.FirstCode = code;
    }
    ++edge.Count;
    CountGame(edge.Stats, game, (m & kWhiteBit) != 0);
    PlaceStone(w.Actual, rkCorner, width, (m & kWhiteBit) ? kCellWhite : kCellBlack, y, x, height);
    // The canonical From frame turns into the canonical To frame by the inverse child code.
    w.ToCanon = ComposeSymmetry(code, InverseSymmetry(edge.ChildCode));
    w.Position = edge.To;
    ++w.Step;
    TPositionNode& to = positions_[edge.To];
    ++to.Arrivals;
    if (!to.Expanded && to.Arrivals >= minGames_) {
      to.Expanded = true;
      for (std::uint32_t other : to.Waiting) active.push_back(other);
      to.Waiting.clear();
      to.Waiting.shrink_to_fit();
    } else if (!to.Expanded) {
      to.Waiting.push_back(s);
    }
  }
}

void TNetGraph::Finish(TWalker& w) {
  TMatrix().swap(w.Actual);
  w.Step = std::numeric_limits<std::uint32_t>::max();
}

std::uint32_t TNetGraph::EdgeOf(std::uint32_t from, TMoveWord move) {
  for (const TPositionNode::TOut& out : positions_[from].Out)
    if (out.Move == move) return out.Edge;
  const int width = RegionWidth(frames_.Region()), height = RegionHeight(frames_.Region());
  TMatrix q;
  frames_.Unpack(*positions_[from].Key, q);
  PlaceStone(q, rkCorner, width, (move & kWhiteBit) ? kCellWhite : kCellBlack, MoveY(move),
             MoveX(move), height);
  std::string canon;
  const TSymmetry toCanon = frames_.Canonical(q, canon);
  TMoveEdge edge;
  edge.From = from;
  edge.Move = move;
  edge.ChildCode = InverseSymmetry(toCanon);
  edge.To = PositionOf(canon);
  const auto id = static_cast<std::uint32_t>(edges_.size());
  edges_.push_back(edge);
  positions_[from].Out.push_back({move, id});
  return id;
}

}  // namespace kessaro
