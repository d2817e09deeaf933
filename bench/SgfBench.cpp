// SGF reading speed on a large multi-game collection: the real professional games of the
// goban-original-games package (installed by scripts/setup), concatenated until the file
// reaches the size asked for. The baseline is one memchr pass counting '[' over the same
// bytes, the least any reader must do. Reading must be linear: compare the 32 MiB and 64 MiB
// rows. "cold_ms", shown beside every row, is the first read of that size in the process (for
// the first size, the process's first read), timed like the Time column.
// Run: build/default/bench/SgfBench --benchmark_repetitions=5

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"

using namespace kessaro;

namespace {

const std::string& Collection() {
  static const std::string games = [] {
    std::string all;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/usr/share/goban", ec)) {
      std::ifstream in(e.path(), std::ios::binary);
      all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      all += "\n";
    }
    if (all.empty()) {  // a synthetic game when the package is missing
      all = "(;GM[1]SZ[19]PB[Black]PW[White]KM[6.5]";
      for (int i = 0; i < 250; ++i)
        all += std::string(";") + (i % 2 ? "W[" : "B[") + static_cast<char>('a' + i % 19) +
               static_cast<char>('a' + i / 19 % 19) + "]";
      all += ")\n";
    }
    return all;
  }();
  return games;
}

std::string FileOf(std::size_t bytes) {
  std::string file;
  file.reserve(bytes + Collection().size());
  while (file.size() < bytes) file += Collection();
  return file;
}

// The first read of each size in the process, in milliseconds of wall time: a read before the
// allocator holds any freed nodes to reuse, what a user opening one collection meets.
std::map<std::int64_t, double>& ColdReads() {
  static std::map<std::int64_t, double> reads;
  return reads;
}

void BM_ReadCollection(benchmark::State& state) {
  const std::string file = FileOf(static_cast<std::size_t>(state.range(0)) << 20);
  std::size_t games = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    TSequence first;
    LoadGamesFromBytes(&first, reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), 0,
                       {});
    games = 0;
    for (const TSequence* r = &first; r && r->Data; r = r->NextSibling) ++games;
    ClearRoot(&first);
    ColdReads().try_emplace(state.range(0), std::chrono::duration<double, std::milli>(
                                                std::chrono::steady_clock::now() - start)
                                                .count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
  state.counters["games"] = static_cast<double>(games);
  state.counters["cold_ms"] = ColdReads()[state.range(0)];
}
BENCHMARK(BM_ReadCollection)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_BaselineBracketScan(benchmark::State& state) {
  const std::string file = FileOf(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    std::size_t n = 0;
    const char* p = file.data();
    const char* end = p + file.size();
    while ((p = static_cast<const char*>(std::memchr(p, '[', static_cast<std::size_t>(end - p))))) {
      ++n;
      ++p;
    }
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_BaselineBracketScan)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
