// Sort index files come from outside: any bytes must open or fail cleanly, and searching an
// opened index for fuzzed text must end without reading outside the file. The input's first
// byte splits it: the text to search, then the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzTarget.h"
#include "bases/BaseSorting.h"

using namespace kessaro;

namespace {

char gPath[] = "/tmp/kessaro-fuzz-sbx-XXXXXX";

void RemoveInput() {
  unlink(gPath);
}

const char* InputPath() {
  static const bool made = [] {
    const int fd = mkstemp(gPath);
    if (fd < 0) std::abort();
    close(fd);
    std::atexit(RemoveInput);
    return true;
  }();
  (void)made;
  return gPath;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t textLength = std::min<std::size_t>(data[0], size - 1);
  const std::string text(reinterpret_cast<const char*>(data + 1), textLength);
  const std::uint8_t* file = data + 1 + textLength;
  const std::size_t fileSize = size - 1 - textLength;
  FILE* f = std::fopen(InputPath(), "wb");
  if (f == nullptr) std::abort();
  if (fileSize > 0 && std::fwrite(file, 1, fileSize, f) != fileSize) std::abort();
  std::fclose(f);
  TBaseSorting index;
  if (!index.Open(InputPath())) return 0;
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
