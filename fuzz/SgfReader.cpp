// SGF files come from anywhere: any bytes must read without a crash, a hang or a leak, under
// every combination of the reader's options (taken from the first byte).

#include <cstddef>
#include <cstdint>

#include "FuzzTarget.h"
#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"

using namespace kessaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int options = (data[0] & 1 ? IgnoreGameInfo : 0) | (data[0] & 2 ? IgnoreComments : 0) |
                      (data[0] & 4 ? EmptyNodeAsPass : 0);
  TSequence first;
  LoadGamesFromBytes(&first, data + 1, size - 1, options, {});
  ClearRoot(&first);
  return 0;
}
