#include "board/PointTypes.h"

#include <cstring>

namespace kessaro {

bool IsValidRegion(TRegionWord region) {
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  if (w < 1 || h < 1 || w > kMaxRegionSide || h > kMaxRegionSide) return false;
  switch (RegionKind(region)) {
    case rkWholeBoard:
      return w == h;
    case rkUpperPart:
      return h < w;
    case rkCorner:
    case rkUpperStretch:
    case rkCentre:
      return true;
    case rkBand:
      return w < h - 1;
    default:
      return false;
  }
}

bool RegionFitsBoard(TRegionWord region, int n) {
  if (!IsValidRegion(region)) return false;
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  switch (RegionKind(region)) {
    case rkWholeBoard:
      return w == n && h == n;
    case rkUpperPart:
      return w == n && h < n;
    case rkCorner:
      return w < n && h < n;
    case rkUpperStretch:
      return w < n - 1 && h < n;
    case rkCentre:
      return w < n - 1 && h < n - 1;
    case rkBand:
      return w < h - 1 && h == n;
    default:
      return false;
  }
}

TOpenEdges OpenEdges(int kind) {
  switch (kind) {
    case rkUpperPart:
      return {0, 0, 0, 1};
    case rkCorner:
      return {0, 0, 1, 1};
    case rkUpperStretch:
      return {0, 1, 1, 1};
    case rkCentre:
      return {1, 1, 1, 1};
    case rkBand:
      return {0, 1, 1, 0};
    default:
      return {0, 0, 0, 0};
  }
}

std::uint8_t RegionSymmetries(TRegionWord region) {
  if (!IsValidRegion(region)) return 0;
  const bool square = RegionWidth(region) == RegionHeight(region);
  switch (RegionKind(region)) {
    case rkWholeBoard:
      return 0xFF;
    case rkUpperPart:
    case rkUpperStretch:
      return 0x05;
    case rkBand:
      return 0x55;
    case rkCorner:
      return square ? 0x03 : 0x00;
    case rkCentre:
      return square ? 0xFF : 0x55;
    default:
      return 0;
  }
}

void NormalizeCells(TMatrix& matrix) {
  for (auto& c : matrix)
    if (c > 2) c = static_cast<std::uint8_t>((c & 3) % 3);
}

void InvertColours(TMatrix& matrix) {
  for (auto& c : matrix) c = static_cast<std::uint8_t>(((~c) & 3) % 3);
}

void ClearBytes(void* buffer, std::size_t count) {
  if (count > 0) std::memset(buffer, 0, count);
}

void CopyBytes(const void* source, void* destination, std::size_t count) {
  if (count > 0) std::memmove(destination, source, count);
}

}  // namespace kessaro
