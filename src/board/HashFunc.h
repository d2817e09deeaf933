#pragma once
// The position hash: independent of the region's symmetries and of the colours, it keys the
// position base. Each region is read as 1, 2, 4 or 8 sector readings that are images of one
// another; the readings' Zobrist hashes form a cyclic sequence that is made canonical.

#include <cstddef>
#include <cstdint>

#include "board/PointTypes.h"

namespace kessaro {

constexpr int kPositionKeyCount = 512;
extern const std::uint32_t BlackKeys[kPositionKeyCount];
extern const std::uint32_t WhiteKeys[kPositionKeyCount];

// Four blocks of 512 keys indexed by the cell state (value and 3), stored flat.
struct TKeyArrangement {
  std::uint32_t keys[4 * kPositionKeyCount];
};
// (zeros, BlackKeys, WhiteKeys, zeros) and the colour-swapped (zeros, WhiteKeys, BlackKeys, zeros).
const TKeyArrangement& NormalArrangement();
const TKeyArrangement& SwappedArrangement();

// XOR over i of key[state of cell i][i]. Cells beyond the 512th of a reading (only a large
// non-square corner has such readings) reuse the keys from the start of the state's block.
std::uint32_t ZobristHash(const std::uint8_t* cells, std::size_t count,
                          const TKeyArrangement& arrangement);

struct TPositionHash {
  std::uint16_t bucket = 0;
  std::uint32_t tag = 0;
  friend bool operator==(const TPositionHash&, const TPositionHash&) = default;
};

// Number of sector readings of a region, 0 when it has no hash.
int SectorReadingCount(TRegionWord region);

// Both parts are zero when the region has no hash or the matrix is too small for it.
TPositionHash PositionHash(const TMatrix& matrix, TRegionWord region);

}  // namespace kessaro
