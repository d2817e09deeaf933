// Stored positions come from position and variations base files: decoding any bytes must be
// safe, and whatever decodes must encode and decode back to the same cells.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzTarget.h"
#include "board/HashFunc.h"
#include "board/PositionFunc.h"
#include "board/SymmetryFunctions.h"

using namespace kessaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TBoardPosition stored(data, data + size);
  TMatrix m;
  TRegionWord region = 0;
  if (!DecodePosition(stored, m, region)) return 0;
  TBoardPosition again;
  if (!EncodePosition(m, coBest, region, again)) std::abort();
  TMatrix back;
  TRegionWord region2 = 0;
  if (!DecodePosition(again, back, region2) || back != m || region2 != region) std::abort();
  PositionHash(m, region);
  SymmetryMask(m, region);
  const int w = RegionWidth(region), h = RegionHeight(region);
  for (int i = 0; i < 4 && i < static_cast<int>(size); ++i)
    PlaceStone(m, RegionKind(region), w, 1 + (data[i] & 1), data[i] % (h + 1),
               data[i] / 8 % (w + 1), h);
  return 0;
}
