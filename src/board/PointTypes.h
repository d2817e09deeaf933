#pragma once
// Value types every part of the system speaks in: the 16-bit move word, the packed region
// word, the position matrix (one byte per cell) and the compact stored position.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kessaro {

// Move word: x in bits 0-4, tenuki flag bit 5, ladder flag bit 7, y in bits 8-12,
// colour in bit 15 (set = white). Point part 0x1F1F (x = y = 31) is a pass / no move.
using TMoveWord = std::uint16_t;
using APoint = std::vector<std::uint16_t>;

constexpr TMoveWord kPointMask = 0x1F1F;
constexpr TMoveWord kNoMove = 0x1F1F;
// The pass as a point of a game move or of the board control (column low, row high byte).
constexpr std::uint16_t kPassPoint = 0x1F1F;
constexpr TMoveWord kTenukiFlag = 0x0020;
constexpr TMoveWord kLadderFlag = 0x0080;
constexpr TMoveWord kWhiteBit = 0x8000;

constexpr int MoveX(TMoveWord m) {
  return m & 0x1F;
}
constexpr int MoveY(TMoveWord m) {
  return (m >> 8) & 0x1F;
}
constexpr bool IsNoMove(TMoveWord m) {
  return (m & kPointMask) == kNoMove;
}
constexpr TMoveWord MakeMove(int x, int y, bool white = false) {
  return static_cast<TMoveWord>((x & 0x1F) | ((y & 0x1F) << 8) | (white ? kWhiteBit : 0));
}
constexpr TMoveWord InvertMoveColour(TMoveWord m) {
  return m ^ kWhiteBit;
}

// Region word: byte 0 kind (1-6), byte 1 width, byte 2 height, byte 3 reserved.
using TRegionWord = std::uint32_t;

enum TRegionKind : std::uint8_t {
  rkWholeBoard = 1,    // no open edge
  rkUpperPart = 2,     // full width, bottom open
  rkCorner = 3,        // upper-left corner, right and bottom open
  rkUpperStretch = 4,  // left, right and bottom open
  rkCentre = 5,        // all four edges open
  rkBand = 6,          // full height, left and right open
};

// The widest region: move words hold x and y in five bits, and 31 is the pass value.
constexpr int kMaxRegionSide = 31;
constexpr int kMaxRegionCells = kMaxRegionSide * kMaxRegionSide;

constexpr TRegionWord MakeRegion(int kind, int width, int height) {
  return static_cast<TRegionWord>((kind & 0xFF) | ((width & 0xFF) << 8) | ((height & 0xFF) << 16));
}
constexpr int RegionKind(TRegionWord r) {
  return static_cast<int>(r & 0xFF);
}
constexpr int RegionWidth(TRegionWord r) {
  return static_cast<int>((r >> 8) & 0xFF);
}
constexpr int RegionHeight(TRegionWord r) {
  return static_cast<int>((r >> 16) & 0xFF);
}

// Validity of a region word. Beyond the conditions of each kind, width and height must lie in
// 1..31: a move word cannot address a larger region, and the hash scratch buffer holds 31 x 31.
bool IsValidRegion(TRegionWord region);
bool RegionFitsBoard(TRegionWord region, int boardSize);

// Open edges: index 0 top, 1 left, 2 right, 3 bottom; 1 when the board continues there.
using TOpenEdges = std::array<std::uint8_t, 4>;
enum TEdge { edTop = 0, edLeft = 1, edRight = 2, edBottom = 3 };
TOpenEdges OpenEdges(int kind);

// Mask of the geometric symmetry codes the region admits (bit c = code c).
std::uint8_t RegionSymmetries(TRegionWord region);

// Position matrix: width x height cells, row-major, (x, y) at x + y * width.
// 0 empty, 1 black, 2 white, 255 not part of the region (net start positions only).
using TMatrix = std::vector<std::uint8_t>;
constexpr std::uint8_t kCellEmpty = 0;
constexpr std::uint8_t kCellBlack = 1;
constexpr std::uint8_t kCellWhite = 2;
constexpr std::uint8_t kCellOutside = 255;

void NormalizeCells(TMatrix& matrix);
void InvertColours(TMatrix& matrix);

// Compact stored position: a 5-byte header (length and cell order, width, height, kind)
// followed by the encoded cells.
using TBoardPosition = std::vector<std::uint8_t>;
constexpr std::size_t kBoardPositionHeaderSize = 2 + 1 + 1 + 1;
enum TCellOrder : int { coBest = 0, coRows = 1, coColumns = 2 };

void ClearBytes(void* buffer, std::size_t count);
void CopyBytes(const void* source, void* destination, std::size_t count);

}  // namespace kessaro
