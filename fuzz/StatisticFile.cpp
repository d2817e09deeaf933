// Statistic files come from outside: any bytes must open or fail cleanly, and reading every
// record, mapped or not, must stay inside the file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzTarget.h"
#include "ScratchFile.h"
#include "bases/Statistic.h"

using namespace kessaro;

namespace {

void ReadAll(bool mapped) {
  TStatistic s;
  s.Open(fuzz::ScratchPath());
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
  fuzz::WriteScratch(data, size);
  ReadAll(true);
  ReadAll(false);
  return 0;
}
