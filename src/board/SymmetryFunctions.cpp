#include "board/SymmetryFunctions.h"

#include <utility>

namespace kessaro {

TSymmetry ComposeSymmetry(TSymmetry a, TSymmetry b) {
  // A transposition moved in front of a single mirror turns a left-right mirror into a
  // top-bottom one and back.
  if ((b & kSymSwapXY) && ((a & 6) == 2 || (a & 6) == 4)) a ^= 6;
  return static_cast<TSymmetry>((a ^ b) & 0x0F);
}

TSymmetry InverseSymmetry(TSymmetry a) {
  const int geo = a & 7;
  return (geo == 3 || geo == 5) ? static_cast<TSymmetry>(a ^ 6) : a;
}

TSymmetry RelativeSymmetry(TSymmetry from, TSymmetry to) {
  return ComposeSymmetry(InverseSymmetry(from), to);
}

TSymmetry SymmetryThenInverse(TSymmetry f, TSymmetry a) {
  return ComposeSymmetry(f, InverseSymmetry(a));
}

void TransformXY(int& x, int& y, TSymmetry code, int w, int h) {
  if (code & kSymSwapXY) std::swap(x, y);
  if (code & kSymMirrorX) x = w - 1 - x;
  if (code & kSymMirrorY) y = h - 1 - y;
}

TMoveWord TransformMove(TMoveWord move, TSymmetry code, int w, int h) {
  if (code & kSymColours) move ^= kWhiteBit;
  int x = MoveX(move);
  int y = MoveY(move);
  if (x > w - 1 || y > h - 1) return move;
  TransformXY(x, y, code, w, h);
  return static_cast<TMoveWord>((move & ~kPointMask) | (x & 0x1F) | ((y & 0x1F) << 8));
}

TMoveWord TransformMoveWord(TMoveWord move, TSymmetry code, TRegionWord region) {
  return TransformMove(move, code, RegionWidth(region), RegionHeight(region));
}

std::uint16_t TransformBytePoint(std::uint16_t point, TSymmetry code, int n) {
  int x = point & 0xFF;
  int y = point >> 8;
  if (x > n - 1 || y > n - 1) return point;
  TransformXY(x, y, code, n, n);
  return static_cast<std::uint16_t>((x & 0xFF) | ((y & 0xFF) << 8));
}

void TransformMatrix(TMatrix& m, TSymmetry code, int w, int h) {
  if (w <= 0 || h <= 0 || m.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
    return;
  auto at = [&](int x, int y) -> std::uint8_t& { return m[static_cast<std::size_t>(x + y * w)]; };
  if (code & kSymSwapXY)
    for (int i = 0; i < w; ++i)
      for (int j = i + 1; j < h && j < w && i < h; ++j) std::swap(at(i, j), at(j, i));
  if (code & kSymMirrorX)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w / 2; ++x) std::swap(at(x, y), at(w - 1 - x, y));
  if (code & kSymMirrorY)
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h / 2; ++y) std::swap(at(x, y), at(x, h - 1 - y));
}

std::uint8_t SymmetryMask(const TMatrix& matrix, TRegionWord region) {
  std::uint8_t set = RegionSymmetries(region);
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  if (set == 0 || matrix.size() < static_cast<std::size_t>(w * h)) return set;
  // With the full set the codes are visited so that each is one mirror or swap from the last.
  static constexpr TSymmetry kAscending[] = {1, 2, 3, 4, 5, 6, 7};
  static constexpr TSymmetry kSingleSteps[] = {2, 6, 4, 3, 7, 5, 1};
  const TSymmetry* order = set == 0xFF ? kSingleSteps : kAscending;
  TMatrix copy(matrix.begin(), matrix.begin() + w * h);
  TSymmetry previous = 0;
  for (int k = 0; k < 7; ++k) {
    const TSymmetry c = order[k];
    if (!(set & (1u << c))) continue;
    TransformMatrix(copy, RelativeSymmetry(previous, c), w, h);
    previous = c;
    for (int i = 0; i < w * h; ++i) {
      if (copy[static_cast<std::size_t>(i)] != matrix[static_cast<std::size_t>(i)]) {
        set = static_cast<std::uint8_t>(set & ~(1u << c));
        break;
      }
    }
  }
  return set;
}

std::uint8_t Octants(int x, int y, int n) {
  const int m = n - 1;
  const int h = m / 2;
  std::uint8_t r = 0;
  if (0 <= x && x <= h && y <= x) r |= 0x01;
  if (0 <= y && y <= h && x <= y) r |= 0x02;
  if (m - h <= x && x <= m && y <= m - x) r |= 0x04;
  if (0 <= y && y <= h && x >= m - y) r |= 0x08;
  if (0 <= x && x <= h && y >= m - x) r |= 0x10;
  if (m - h <= y && y <= m && x <= m - y) r |= 0x20;
  if (m - h <= x && x <= m && y >= x) r |= 0x40;
  if (m - h <= y && y <= m && x >= y) r |= 0x80;
  return r;
}

}  // namespace kessaro
