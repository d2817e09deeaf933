#pragma once
// The database build's second stage: the net graph. Corner sequences walk from the empty
// corner through positions keyed by their canonical form under the region's symmetries and
// colour inversion, so that move orders and orientations that reach one position share its
// moves; a position that fewer than MinGames sequences reach is not expanded.

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "bases/BuildGames.h"
#include "bases/Statistic.h"
#include "board/PointTypes.h"
#include "board/PositionFunc.h"
#include "board/SymmetryFunctions.h"

namespace kessaro {

// Positions and moves under the region's symmetries.
class TFrames {
 public:
  TFrames(int w, int h) : w_(w), h_(h), region_(MakeRegion(rkCorner, w, h)) {
    const std::uint8_t geometric = RegionSymmetries(region_);
    // Geometric codes first: where a colour swap gives the same image as a turn, the turn
    // is kept, so that a path shows its moves in the colours they were played in.
    for (TSymmetry colours : {TSymmetry{0}, kSymColours})
      for (int c = 0; c < 8; ++c)
        if (geometric & (1u << c)) codes_.push_back(static_cast<TSymmetry>(c | colours));
    // For every code (and the identity, which a region without symmetries does not list),
    // the cell of the position that lands on each cell of the image.
    std::vector<TSymmetry> all = codes_;
    all.push_back(0);
    for (TSymmetry c : all) {
      std::vector<std::uint16_t>& from = sources_[c];
      from.resize(static_cast<std::size_t>(w * h));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          int tx = x, ty = y;
          TransformXY(tx, ty, c, w, h);
          from[static_cast<std::size_t>(tx + ty * w)] = static_cast<std::uint16_t>(x + y * w);
        }
    }
  }

  TRegionWord Region() const { return region_; }
  int Cells() const { return w_ * h_; }
  const std::vector<TSymmetry>& Codes() const { return codes_; }

  TMoveWord Move(TMoveWord m, TSymmetry code) const { return TransformMove(m, code, w_, h_); }

  // Four cells a byte, the first in the high bits, so that packed keys compare as the cells.
  void Pack(const TMatrix& p, std::string& key) const { PackImage(p, 0, key); }
  void Unpack(const std::string& key, TMatrix& p) const {
    p.assign(static_cast<std::size_t>(Cells()), kCellEmpty);
    for (std::size_t i = 0; i < p.size(); ++i)
      p[i] = static_cast<std::uint8_t>(
          (static_cast<unsigned char>(key[i / 4]) >> (6 - 2 * (i % 4))) & 3);
  }
  // The packed canonical form of a position (the smallest image) and the code that gives it.
  // Images are compared cell by cell up to the first difference, without building them.
  TSymmetry Canonical(const TMatrix& p, std::string& canon) const {
    TSymmetry best = 0;
    for (TSymmetry c : codes_) {
      if (c == 0) continue;
      const std::uint16_t* a = sources_[c].data();
      const std::uint16_t* b = sources_[best].data();
      for (std::size_t j = 0, n = p.size(); j < n; ++j) {
        const std::uint8_t va = Cell(p[a[j]], c), vb = Cell(p[b[j]], best);
        if (va != vb) {
          if (va < vb) best = c;
          break;
        }
      }
    }
    PackImage(p, best, canon);
    return best;
  }
  // Codes under which the position is unchanged, as a mask.
  std::uint16_t Stabilizer(const std::string& key) const {
    TMatrix p;
    Unpack(key, p);
    std::uint16_t mask = 0;
    for (TSymmetry c : codes_) {
      const std::uint16_t* from = sources_[c].data();
      bool same = true;
      for (std::size_t j = 0; same && j < p.size(); ++j) same = Cell(p[from[j]], c) == p[j];
      if (same) mask = static_cast<std::uint16_t>(mask | 1u << c);
    }
    return mask;
  }

 private:
  // A cell's value in the image of a code: the colours swap under the colour bit.
  static std::uint8_t Cell(std::uint8_t v, TSymmetry code) {
    v &= 3;
    return (code & kSymColours) && (v == kCellBlack || v == kCellWhite)
               ? static_cast<std::uint8_t>(v ^ 3)
               : v;
  }
  void PackImage(const TMatrix& p, TSymmetry code, std::string& key) const {
    const std::uint16_t* from = sources_[code].data();
    key.assign((p.size() + 3) / 4, '\0');
    for (std::size_t i = 0; i < p.size(); ++i)
      key[i / 4] = static_cast<char>(static_cast<unsigned char>(key[i / 4]) |
                                     Cell(p[from[i]], code) << (6 - 2 * (i % 4)));
  }

  int w_, h_;
  TRegionWord region_;
  std::vector<TSymmetry> codes_;
  std::array<std::vector<std::uint16_t>, 16> sources_;
};

struct TPositionNode {
  const std::string* Key = nullptr;  // the packed canonical form, owned by the index
  std::uint16_t Stabilizer = 0;      // computed once the position is expanded
  bool StabilizerKnown = false;
  std::uint64_t Arrivals = 0;
  bool Expanded = false;
  std::vector<std::uint32_t> Waiting;  // sequences stopped here while not expanded
  // Edges from here with their moves: a short list, found by a scan of one cache line or two
  // where a table of all edges would cost a cache miss or more per move.
  struct TOut {
    TMoveWord Move;
    std::uint32_t Edge;
  };
  std::vector<TOut> Out;
  std::uint32_t FirstChildRecord = 0;
  bool Queued = false;
};

struct TMoveEdge {
  std::uint32_t From = 0, To = 0;
  TMoveWord Move = kNoMove;  // in the frame of the canonical From position
  TSymmetry ChildCode = 0;   // turns the canonical To frame into the canonical From frame
  StatRecord Stats;
  std::uint64_t Count = 0;
  // The first corner sequence (in file order) that played the edge: for a leaf's game
  // reference.
  std::uint32_t FirstSeq = 0;
  std::uint16_t FirstVarIndex = 0;
  TSymmetry FirstCode = 0;  // game corner frame to the canonical From frame
  std::uint32_t Record = 0;
};

// A corner sequence on its way through the positions.
struct TWalker {
  TMatrix Actual;         // in the corner's upper-left frame
  TSymmetry ToCanon = 0;  // turns Actual into the canonical form of Position
  std::uint32_t Position = 0;
  std::uint32_t Step = 0;
};

class TNetGraph {
 public:
  TNetGraph(int w, int h, std::uint32_t minGames, const std::vector<TGameEntry>& games,
            const std::vector<TCornerSeq>& seqs)
      : frames_(w, h),
        minGames_(std::max<std::uint32_t>(minGames, 1)),
        games_(games),
        seqs_(seqs) {}

  // Walks the sequences added since the last call as far as the net expands. Where a walk
  // stops does not depend on the order of the calls: a position expands once MinGames
  // sequences reach it, and every sequence waiting there goes on.
  void AddSequences();

  TFrames& Frames() { return frames_; }
  std::vector<TPositionNode>& Positions() { return positions_; }
  std::vector<TMoveEdge>& Edges() { return edges_; }
  std::uint32_t Root() const { return root_; }
  const StatRecord& RootStats() const { return rootStats_; }

 private:
  std::uint32_t PositionOf(const std::string& key);
  // Moves sequence s on while its position is expanded; it waits at the first one that is not.
  void Advance(std::uint32_t s, std::deque<std::uint32_t>& active);
  static void Finish(TWalker& w);
  std::uint32_t EdgeOf(std::uint32_t from, TMoveWord move);

  TFrames frames_;
  std::uint32_t minGames_;
  const std::vector<TGameEntry>& games_;
  const std::vector<TCornerSeq>& seqs_;
  std::vector<TPositionNode> positions_;
  std::unordered_map<std::string, std::uint32_t> index_;
  std::vector<TMoveEdge> edges_;
  std::vector<TWalker> walkers_;
  std::uint32_t root_ = 0;
  StatRecord rootStats_;
};

}  // namespace kessaro
