// Statistic files come from outside: any bytes must open or fail cleanly, and reading every
// record, mapped or not, must stay inside the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzTarget.h"
#include "bases/Statistic.h"

using namespace kessaro;

namespace {

// One scratch file per process, removed at exit.
char gPath[] = "/tmp/kessaro-fuzz-stc-XXXXXX";

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

void ReadAll(bool mapped) {
  TStatistic s;
  s.Open(InputPath());
  if (!s.Active()) return;
  s.SetMapped(mapped);
  CheckStatistic(s);
  StatRecord r, sum;
  s.ReadRecord(s.RecordCount(), r);
  for (std::uint32_t i = 0; i < s.RecordCount() && i < 100000; ++i) {
    s.ReadRecord(i, r);
    MergeStatRecords(r, sum);
  }
  s.TakeErrors();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(InputPath(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  ReadAll(true);
  ReadAll(false);
  return 0;
}
