#include "board/HashFunc.h"

#include <algorithm>
#include <array>

#include "board/CheckSum.h"
#include "board/SymmetryFunctions.h"

namespace kessaro {

#include "board/PositionKeys.inc"

namespace {

TKeyArrangement MakeArrangement(const std::uint32_t* first, const std::uint32_t* second) {
  TKeyArrangement a{};
  std::copy(first, first + kPositionKeyCount, a.keys + kPositionKeyCount);
  std::copy(second, second + kPositionKeyCount, a.keys + 2 * kPositionKeyCount);
  return a;
}

// The matrix indexes of every sector reading, in reading order. Reading k is the image of
// reading 0 under codes[k].
struct TReadings {
  int count = 0;
  std::array<std::uint8_t, 8> codes{};
  int length = 0;
  std::array<std::array<std::uint16_t, kMaxRegionCells>, 8> cells{};
};

void BuildReadings(TRegionWord region, TReadings& r) {
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  r.count = SectorReadingCount(region);
  r.length = 0;
  auto add = [&](int x, int y) {
    for (int k = 0; k < r.count; ++k) {
      int tx = x, ty = y;
      TransformXY(tx, ty, r.codes[static_cast<std::size_t>(k)], w, h);
      r.cells[static_cast<std::size_t>(k)][static_cast<std::size_t>(r.length)] =
          static_cast<std::uint16_t>(tx + ty * w);
    }
    ++r.length;
  };
  const int hw = (w + 1) / 2;
  const int hh = (h + 1) / 2;
  switch (r.count) {
    case 1:
      r.codes = {0};
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) add(x, y);
      break;
    case 2:
      if (RegionKind(region) == rkCorner) {
        r.codes = {0, 1};
        for (int y = 0; y < h; ++y)
          for (int x = y; x < w; ++x) add(x, y);
      } else {
        r.codes = {0, 2};
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < hw; ++x) add(x, y);
      }
      break;
    case 4:
      r.codes = {0, 2, 6, 4};
      for (int y = 0; y < hh; ++y)
        for (int x = 0; x < hw; ++x) add(x, y);
      break;
    case 8: {
      // Eight sectors clockwise around the board, starting with the triangle along the upper
      // edge left of the middle.
      r.codes = {0, 2, 3, 7, 6, 4, 5, 1};
      const int c = (w + 1) / 2;
      for (int y = 0; y < c; ++y)
        for (int x = y; x < c; ++x) add(x, y);
      break;
    }
    default:
      break;
  }
}

// Readings depend only on the region word; the last one used is kept per thread.
const TReadings& ReadingsFor(TRegionWord region) {
  thread_local TRegionWord cached = 0;
  thread_local TReadings readings;
  if (cached != region || readings.count == 0) {
    BuildReadings(region, readings);
    cached = region;
  }
  return readings;
}

// Lexicographically greatest rotation of a cyclic sequence, kept in `best` when greater.
void ConsiderRotations(const std::uint32_t* seq, int k, std::array<std::uint32_t, 8>& best,
                       bool& haveBest) {
  for (int start = 0; start < k; ++start) {
    bool greater = !haveBest;
    if (haveBest) {
      for (int i = 0; i < k; ++i) {
        const std::uint32_t v = seq[(start + i) % k];
        if (v != best[static_cast<std::size_t>(i)]) {
          greater = v > best[static_cast<std::size_t>(i)];
          break;
        }
      }
    }
    if (greater) {
      for (int i = 0; i < k; ++i) best[static_cast<std::size_t>(i)] = seq[(start + i) % k];
      haveBest = true;
    }
  }
}

}  // namespace

const TKeyArrangement& NormalArrangement() {
  static const TKeyArrangement a = MakeArrangement(BlackKeys, WhiteKeys);
  return a;
}

const TKeyArrangement& SwappedArrangement() {
  static const TKeyArrangement a = MakeArrangement(WhiteKeys, BlackKeys);
  return a;
}

std::uint32_t ZobristHash(const std::uint8_t* cells, std::size_t count,
                          const TKeyArrangement& arrangement) {
  std::uint32_t h = 0;
  for (std::size_t i = 0; i < count; ++i)
    h ^= arrangement.keys[(cells[i] & 3u) * kPositionKeyCount + i % kPositionKeyCount];
  return h;
}

int SectorReadingCount(TRegionWord region) {
  if (!IsValidRegion(region)) return 0;
  const bool square = RegionWidth(region) == RegionHeight(region);
  switch (RegionKind(region)) {
    case rkWholeBoard:
      return square ? 8 : 0;
    case rkUpperPart:
      return square ? 0 : 2;
    case rkCorner:
      return square ? 2 : 1;
    case rkUpperStretch:
      return 2;
    case rkCentre:
      return square ? 8 : 4;
    case rkBand:
      return square ? 0 : 4;
    default:
      return 0;
  }
}

TPositionHash PositionHash(const TMatrix& matrix, TRegionWord region) {
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  const TReadings& r = ReadingsFor(region);
  if (r.count == 0 || matrix.size() < static_cast<std::size_t>(w * h)) return {};

  const TKeyArrangement& normal = NormalArrangement();
  const TKeyArrangement& swapped = SwappedArrangement();
  std::uint32_t hn[8] = {}, hs[8] = {};
  for (int k = 0; k < r.count; ++k) {
    const auto& cells = r.cells[static_cast<std::size_t>(k)];
    std::uint32_t a = 0, b = 0;
    for (int i = 0; i < r.length; ++i) {
      const std::size_t state = matrix[cells[static_cast<std::size_t>(i)]] & 3u;
      const std::size_t at =
          state * kPositionKeyCount + static_cast<std::size_t>(i % kPositionKeyCount);
      a ^= normal.keys[at];
      b ^= swapped.keys[at];
    }
    hn[k] = a;
    hs[k] = b;
  }

  std::array<std::uint32_t, 8> best{};
  int words = r.count;
  if (r.count == 1) {
    best[0] = std::max(hn[0], hs[0]);
    best[1] = std::min(hn[0], hs[0]);
    words = 2;
  } else {
    std::uint32_t rn[8] = {}, rs[8] = {};
    for (int k = 0; k < r.count; ++k) {
      rn[k] = hn[r.count - 1 - k];
      rs[k] = hs[r.count - 1 - k];
    }
    bool have = false;
    ConsiderRotations(hn, r.count, best, have);
    ConsiderRotations(rn, r.count, best, have);
    ConsiderRotations(hs, r.count, best, have);
    ConsiderRotations(rs, r.count, best, have);
  }

  std::uint8_t bytes[32];
  for (int i = 0; i < words; ++i)
    for (int j = 0; j < 4; ++j)
      bytes[4 * i + j] = static_cast<std::uint8_t>(best[static_cast<std::size_t>(i)] >> (8 * j));
  const auto n = static_cast<std::size_t>(4 * words);
  return {Crc16(bytes, n), Crc32(bytes, n)};
}

}  // namespace kessaro
