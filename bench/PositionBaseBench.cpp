// Position base costs over 100,000 distinct positions of a 19 x 19 board (Arg 0) and of a
// 10 x 10 corner (Arg 1), each beside its baseline in one run:
//   StorePosition (per position, into a fresh base)  vs EncodeAndHash, the work no store avoids
//   FindPosition (per find, in a random orientation)  vs HashAndMapLookup, an in-memory index
//   SaveAfterStores: what one save writes after 1,000 stores into the saved base; the counters
//     give the bytes written (from /proc/self/io), the file size and the pages the stores
//     touched. The save writes the whole new image beside the old one and renames it over it.
// Run: build/default/bench/PositionBaseBench --benchmark_repetitions=5
//        --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "bases/PositionBase.h"
#include "board/HashFunc.h"
#include "board/PositionFunc.h"

using namespace kessaro;

namespace {

constexpr std::size_t kPositions = 100000;

std::string BenchFolder() {
  static const std::string folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kessaro-posbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

TRegionWord RegionOf(std::int64_t arg) {
  return arg == 0 ? MakeRegion(rkWholeBoard, 19, 19) : MakeRegion(rkCorner, 10, 10);
}

// Joseki-like positions: 2 to 40 stones, distinct under every symmetry and colour swap.
struct TSet {
  TRegionWord region = 0;
  std::vector<TMatrix> stored;
  std::vector<TMatrix> queries;  // the same positions turned and colour-swapped at random
  std::vector<TPosData> data;
};

const TSet& Positions(std::int64_t arg) {
  static TSet sets[2];
  TSet& s = sets[arg];
  if (!s.stored.empty()) return s;
  s.region = RegionOf(arg);
  const int w = RegionWidth(s.region), h = RegionHeight(s.region);
  const std::uint8_t codes = RegionSymmetries(s.region);
  std::mt19937 rng(static_cast<unsigned>(11 + arg));
  // Distinct by the stored form of their canonical image: the smallest encoding over all
  // symmetries and colour swaps.
  std::unordered_map<std::string, int> seen;
  while (s.stored.size() < kPositions) {
    TMatrix m(static_cast<std::size_t>(w * h), 0);
    const int stones = 2 + static_cast<int>(rng() % 39);
    for (int i = 0; i < stones; ++i) m[rng() % m.size()] = static_cast<std::uint8_t>(1 + i % 2);
    std::string key;
    for (int c = 0; c < 16; ++c) {
      if (!(codes & (1u << (c & 7)))) continue;
      TMatrix t = m;
      TransformMatrix(t, static_cast<TSymmetry>(c & 7), w, h);
      if (c & 8) InvertColours(t);
      const std::string k(t.begin(), t.end());
      if (key.empty() || k < key) key = k;
    }
    if (!seen.emplace(key, 0).second) continue;
    TMatrix q = m;
    TSymmetry c = static_cast<TSymmetry>(rng() & 7);
    if (!(codes & (1u << c))) c = 0;
    TransformMatrix(q, c, w, h);
    if (rng() & 1) InvertColours(q);
    s.stored.push_back(std::move(m));
    s.queries.push_back(std::move(q));
    s.data.emplace_back(8 * (1 + rng() % 3), static_cast<std::uint8_t>(rng()));
  }
  return s;
}

// A saved base holding every position of a set.
const std::string& SavedBase(std::int64_t arg) {
  static std::string paths[2];
  std::string& path = paths[arg];
  if (!path.empty()) return path;
  path = BenchFolder() + "/saved" + std::to_string(arg) + ".pos";
  const TSet& s = Positions(arg);
  TCustomPositionBase base;
  base.SetReadOnly(false);
  if (!base.CreateNew(path)) std::abort();
  for (std::size_t i = 0; i < kPositions; ++i)
    if (!base.StorePosition(s.stored[i], s.region, s.data[i])) std::abort();
  base.Close();
  if (base.TakeErrors() != 0) std::abort();
  return path;
}

std::uint64_t BytesWritten() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value)
    if (key == "wchar:") return value;
  return 0;
}

void StorePosition(benchmark::State& state) {
  const TSet& s = Positions(state.range(0));
  const std::string path = BenchFolder() + "/store.pos";
  for (auto _ : state) {
    state.PauseTiming();
    TCustomPositionBase base;
    base.SetReadOnly(false);
    if (!base.CreateNew(path)) state.SkipWithError("create failed");
    state.ResumeTiming();
    for (std::size_t i = 0; i < kPositions; ++i)
      benchmark::DoNotOptimize(base.StorePosition(s.stored[i], s.region, s.data[i]));
    state.PauseTiming();
    base.SetSaveEnabled(false);
    base.Close();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPositions));
}
BENCHMARK(StorePosition)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void EncodeAndHash(benchmark::State& state) {
  const TSet& s = Positions(state.range(0));
  TBoardPosition pos;
  for (auto _ : state) {
    for (std::size_t i = 0; i < kPositions; ++i) {
      EncodePosition(s.stored[i], coBest, s.region, pos);
      benchmark::DoNotOptimize(PositionHash(s.stored[i], s.region));
      benchmark::DoNotOptimize(pos.data());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPositions));
}
BENCHMARK(EncodeAndHash)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void FindPosition(benchmark::State& state) {
  const TSet& s = Positions(state.range(0));
  TCustomPositionBase base;
  base.SetReadOnly(false);
  if (!base.Open(SavedBase(state.range(0)))) state.SkipWithError("open failed");
  std::size_t i = 0, missed = 0;
  TSymmetry code = 0;
  TPosData found;
  for (auto _ : state) {
    missed += base.FindPosition(s.queries[i], s.region, code, found) ? 0 : 1;
    if (++i == kPositions) i = 0;
  }
  if (missed != 0) state.SkipWithError("a stored position was not found");
  base.SetSaveEnabled(false);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(FindPosition)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The floor of an orientation-free lookup: the hash, then an in-memory map from the hash to
// the data (no position comparison, no file).
void HashAndMapLookup(benchmark::State& state) {
  const TSet& s = Positions(state.range(0));
  std::unordered_map<std::uint64_t, TPosData> index;
  for (std::size_t k = 0; k < kPositions; ++k) {
    const TPositionHash h = PositionHash(s.stored[k], s.region);
    index.emplace(std::uint64_t{h.bucket} << 32 | h.tag, s.data[k]);
  }
  std::size_t i = 0;
  TPosData found;
  for (auto _ : state) {
    const TPositionHash h = PositionHash(s.queries[i], s.region);
    const auto it = index.find(std::uint64_t{h.bucket} << 32 | h.tag);
    if (it != index.end()) found = it->second;
    benchmark::DoNotOptimize(found.data());
    if (++i == kPositions) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(HashAndMapLookup)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void SaveAfterStores(benchmark::State& state) {
  const TSet& s = Positions(state.range(0));
  const std::string source = SavedBase(state.range(0));
  const std::string path = BenchFolder() + "/save.pos";
  std::uint64_t written = 0, pages = 0, size = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
    TCustomPositionBase base;
    base.SetReadOnly(false);
    if (!base.Open(path)) state.SkipWithError("open failed");
    for (std::size_t i = 0; i < 1000; ++i)
      base.StorePosition(s.stored[i * 97], s.region, TPosData(8 * (1 + i % 4), 7));
    pages = base.PendingPages();
    const std::uint64_t before = BytesWritten();
    state.ResumeTiming();
    base.Close();
    state.PauseTiming();
    written = BytesWritten() - before;
    size = std::filesystem::file_size(path);
    state.ResumeTiming();
  }
  state.counters["bytes_written"] = static_cast<double>(written);
  state.counters["file_size"] = static_cast<double>(size);
  state.counters["pages_touched"] = static_cast<double>(pages);
}
BENCHMARK(SaveAfterStores)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
