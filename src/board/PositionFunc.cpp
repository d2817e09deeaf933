#include "board/PositionFunc.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kessaro {
namespace {

// Flood fill over one group, bounded by the region (at most 31 x 31 cells), without recursion.
class GroupWalker {
 public:
  GroupWalker(TMatrix& m, int w, int h, const TOpenEdges& open)
      : m_(m), w_(w), h_(h), open_(open) {}

  // True when the group at (x, y) has a liberty: an empty neighbour inside the matrix or a
  // stone on an open edge. The walk stops at the first liberty and clears its marks.
  bool HasLiberty(int x, int y) {
    const std::uint8_t colour = Cell(x, y);
    int top = 0;
    Visit(x, y, top);
    bool found = false;
    while (top > 0 && !found) {
      const int p = stack_[--top];
      const int px = p % w_;
      const int py = p / w_;
      if ((px == 0 && open_[edLeft]) || (px == w_ - 1 && open_[edRight]) ||
          (py == 0 && open_[edTop]) || (py == h_ - 1 && open_[edBottom])) {
        found = true;
        break;
      }
      const int nx[4] = {px - 1, px + 1, px, px};
      const int ny[4] = {py, py, py - 1, py + 1};
      for (int k = 0; k < 4 && !found; ++k) {
        if (!Inside(nx[k], ny[k])) continue;
        const std::uint8_t c = Cell(nx[k], ny[k]);
        if (c == kCellEmpty)
          found = true;
        else if (c == colour && !visited_[Index(nx[k], ny[k])])
          Visit(nx[k], ny[k], top);
      }
    }
    for (int i = 0; i < marked_; ++i) visited_[marks_[i]] = 0;
    marked_ = 0;
    return found;
  }

  // Empties the group at (x, y); returns the number of stones removed.
  int Remove(int x, int y) {
    const std::uint8_t colour = Cell(x, y);
    int removed = 0;
    int top = 0;
    stack_[top++] = Index(x, y);
    m_[static_cast<std::size_t>(Index(x, y))] = kCellEmpty;
    while (top > 0) {
      const int p = stack_[--top];
      ++removed;
      const int px = p % w_;
      const int py = p / w_;
      const int nx[4] = {px - 1, px + 1, px, px};
      const int ny[4] = {py, py, py - 1, py + 1};
      for (int k = 0; k < 4; ++k) {
        if (Inside(nx[k], ny[k]) && Cell(nx[k], ny[k]) == colour) {
          m_[static_cast<std::size_t>(Index(nx[k], ny[k]))] = kCellEmpty;
          stack_[top++] = Index(nx[k], ny[k]);
        }
      }
    }
    return removed;
  }

  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
  std::uint8_t Cell(int x, int y) const { return m_[static_cast<std::size_t>(Index(x, y))]; }

 private:
  int Index(int x, int y) const { return x + y * w_; }
  void Visit(int x, int y, int& top) {
    const int i = Index(x, y);
    visited_[i] = 1;
    marks_[marked_++] = i;
    stack_[top++] = i;
  }

  TMatrix& m_;
  int w_, h_;
  TOpenEdges open_;
  std::array<std::uint8_t, kMaxRegionCells> visited_{};
  std::array<int, kMaxRegionCells> marks_;  // cells marked visited, for clearing
  std::array<int, kMaxRegionCells> stack_;
  int marked_ = 0;
};

bool MatrixFits(const TMatrix& m, int w, int h) {
  return w >= 1 && h >= 1 && w <= kMaxRegionSide && h <= kMaxRegionSide &&
         m.size() >= static_cast<std::size_t>(w * h);
}

// Captures the opposing neighbour groups of the stone just placed at (x, y).
int CaptureAround(GroupWalker& g, int x, int y, std::uint8_t colour, int& opposingNeighbours,
                  int& existingNeighbours) {
  const std::uint8_t enemy = colour == kCellBlack ? kCellWhite : kCellBlack;
  const int nx[4] = {x - 1, x + 1, x, x};
  const int ny[4] = {y, y, y - 1, y + 1};
  int removed = 0;
  for (int k = 0; k < 4; ++k) {
    if (!g.Inside(nx[k], ny[k])) continue;
    ++existingNeighbours;
    if (g.Cell(nx[k], ny[k]) != enemy) continue;
    ++opposingNeighbours;
    if (!g.HasLiberty(nx[k], ny[k])) removed += g.Remove(nx[k], ny[k]);
  }
  return removed;
}

void EncodeCells(const std::uint8_t* cells, int count, TBoardPosition& out) {
  int i = 0;
  while (i < count) {
    const int n = std::min(5, count - i);
    int value = 0;
    for (int k = n - 1; k >= 0; --k) value = value * 3 + cells[i + k];
    i += n;
    if (value == 0 && n == 5) {
      int k = 0;
      while (i + k < count && cells[i + k] == 0) ++k;
      if (k >= 1 && k <= 29) {
        const int extra = std::min(k, 12);
        out.push_back(static_cast<std::uint8_t>(242 + extra));
        i += extra;
        continue;
      }
      if (k > 29) {
        const int extra = std::min(k, 250);
        out.push_back(255);
        out.push_back(static_cast<std::uint8_t>(5 + extra));
        i += extra;
        continue;
      }
    }
    out.push_back(static_cast<std::uint8_t>(value));
  }
}

}  // namespace

void PlaceStone(TMatrix& matrix, int kind, int width, int colour, int y, int x, int height) {
  if (x < 0 || y < 0 || x > width - 1 || y > height - 1) return;
  if (!MatrixFits(matrix, width, height)) return;
  GroupWalker g(matrix, width, height, OpenEdges(kind));
  const auto c = static_cast<std::uint8_t>(colour);
  matrix[static_cast<std::size_t>(x + y * width)] = c;
  int opposing = 0, existing = 0;
  CaptureAround(g, x, y, c, opposing, existing);
}

bool PlayMoves(TMatrix& result, const TMatrix& start, TRegionWord region, const void* firstMove,
               std::size_t strideBytes, std::size_t count) {
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  if (!MatrixFits(start, w, h)) return false;
  result.assign(start.begin(), start.begin() + w * h);
  for (auto& c : result)
    if (c == kCellOutside) c = kCellEmpty;
  GroupWalker g(result, w, h, OpenEdges(RegionKind(region)));
  const auto* p = static_cast<const std::uint8_t*>(firstMove);
  for (std::size_t i = 0; i < count; ++i, p += strideBytes) {
    TMoveWord move;
    std::memcpy(&move, p, sizeof move);
    if (IsNoMove(move)) continue;
    const int x = MoveX(move);
    const int y = MoveY(move);
    if (x >= w || y >= h) continue;
    const std::size_t at = static_cast<std::size_t>(x + y * w);
    if (start[at] == kCellOutside) continue;
    if (result[at] != kCellEmpty) return false;
    const std::uint8_t colour = (move & kWhiteBit) ? kCellWhite : kCellBlack;
    result[at] = colour;
    int opposing = 0, existing = 0;
    const int removed = CaptureAround(g, x, y, colour, opposing, existing);
    if (opposing == existing && removed == 0 && !g.HasLiberty(x, y)) result[at] = kCellEmpty;
  }
  return true;
}

bool EncodePosition(const TMatrix& matrix, int order, TRegionWord region, TBoardPosition& out) {
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  if (!IsValidRegion(region) || matrix.size() < static_cast<std::size_t>(w * h)) return false;
  if (order != coBest && order != coRows && order != coColumns) return false;
  std::array<std::uint8_t, kMaxRegionCells> rows{}, cols{};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t c = matrix[static_cast<std::size_t>(x + y * w)];
      if (c > 2) c = static_cast<std::uint8_t>((c & 3) % 3);
      rows[static_cast<std::size_t>(x + y * w)] = c;
      cols[static_cast<std::size_t>(y + x * h)] = c;
    }
  TBoardPosition byRows, byCols;
  if (order != coColumns) EncodeCells(rows.data(), w * h, byRows);
  if (order != coRows) EncodeCells(cols.data(), w * h, byCols);
  int chosen = order;
  if (order == coBest) chosen = byCols.size() < byRows.size() ? coColumns : coRows;
  const TBoardPosition& body = chosen == coColumns ? byCols : byRows;
  const auto header = static_cast<std::uint16_t>((body.size() & 0x3FFF) | (chosen << 14));
  out.clear();
  out.reserve(kBoardPositionHeaderSize + body.size());
  out.push_back(static_cast<std::uint8_t>(header & 0xFF));
  out.push_back(static_cast<std::uint8_t>(header >> 8));
  out.push_back(static_cast<std::uint8_t>(w));
  out.push_back(static_cast<std::uint8_t>(h));
  out.push_back(static_cast<std::uint8_t>(RegionKind(region)));
  out.insert(out.end(), body.begin(), body.end());
  return true;
}

bool DecodePosition(const TBoardPosition& pos, TMatrix& matrix, TRegionWord& region) {
  if (pos.size() <= 4) {
    matrix.clear();
    return false;
  }
  const int header = pos[0] | (pos[1] << 8);
  const std::size_t length = static_cast<std::size_t>(header & 0x3FFF);
  const int order = header >> 14;
  const int w = pos[2];
  const int h = pos[3];
  region = MakeRegion(pos[4], w, h);
  const std::size_t cells = static_cast<std::size_t>(w * h);
  matrix.assign(cells, kCellEmpty);
  if (pos.size() < kBoardPositionHeaderSize + length || !IsValidRegion(region)) return false;
  // A stored order other than rows or columns is a corrupt record, not an empty board.
  if (order != coRows && order != coColumns) return false;

  std::array<std::uint8_t, kMaxRegionCells> seq{};
  std::size_t n = 0;
  const std::uint8_t* p = pos.data() + kBoardPositionHeaderSize;
  const std::uint8_t* end = p + length;
  while (p < end) {
    if (n >= cells) return false;  // bytes remain after the matrix is full
    const std::uint8_t b = *p++;
    if (b < 243) {
      int v = b;
      for (int k = 0; k < 5 && n < cells; ++k) {
        seq[n++] = static_cast<std::uint8_t>(v % 3);
        v /= 3;
      }
    } else {
      std::size_t skip = b - 237u;
      if (b == 255) {
        if (p == end) return false;
        skip = *p++;
      }
      if (n + skip > cells) return false;
      n += skip;  // seq is zero-filled
    }
  }
  if (n != cells) return false;
  if (order == coRows) {
    std::copy(seq.begin(), seq.begin() + static_cast<std::ptrdiff_t>(cells), matrix.begin());
  } else {
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        matrix[static_cast<std::size_t>(x + y * w)] = seq[static_cast<std::size_t>(y + x * h)];
  }
  return true;
}

}  // namespace kessaro
