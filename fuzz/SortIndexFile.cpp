// Sort index files come from outside: any bytes must open or fail cleanly, and searching an
// opened index for fuzzed text must end without reading outside the file. The input's first
// byte splits it: the text to search, then the file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzTarget.h"
#include "ScratchFile.h"
#include "bases/BaseSorting.h"

using namespace kessaro;

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t textLength = std::min<std::size_t>(data[0], size - 1);
  const std::string text(reinterpret_cast<const char*>(data + 1), textLength);
  const std::uint8_t* file = data + 1 + textLength;
  const std::size_t fileSize = size - 1 - textLength;
  fuzz::WriteScratch(file, fileSize);
  TBaseSorting index;
  if (!index.Open(fuzz::ScratchPath())) return 0;
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    const TSortRange r = index.FindRange(text.substr(0, cut));
    if (!r.Empty()) index.EntryAt(r.First);
  }
  std::string lower, higher;
  index.FindNeighbours(text, lower, higher);
  index.FindRange(lower);
  index.FindRange(higher);
  index.CheckTrie(20000);
  index.EntryAt(index.EntryCount());
  index.TakeErrors();
  return 0;
}
