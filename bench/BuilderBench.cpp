// Database build speed and peak memory on a synthetic collection: games that recombine the
// corner sequences of the real professional games (goban-original-games, installed by
// scripts/setup) under random turns, one per corner, their moves interleaved. Counters: games
// per second of the whole build (reading included) and the process's peak resident memory;
// the second argument is the number of reading threads. The baseline reads the same files
// with the SGF reader alone. The peak is the process's: run one case per process
// (--benchmark_filter) to see its own.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bases/DatabaseBuilder.h"
#include "board/SymmetryFunctions.h"
#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"

using namespace kessaro;

namespace {

namespace fs = std::filesystem;

using TCornerMoves = std::vector<std::pair<int, int>>;  // upper-left frame

std::vector<TCornerMoves> SampleCorners() {
  std::vector<TCornerMoves> out;
  const std::array<TSymmetry, 4> corners = {0, kSymMirrorX, kSymMirrorY, kSymMirrorX | kSymMirrorY};
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/usr/share/goban", ec)) {
    TSequence first;
    LoadGamesFromFile(&first, e.path().string(), 0, nullptr);
    for (const TSequence* r = &first; first.Data != nullptr && r != nullptr; r = r->NextSibling)
      for (TSymmetry c : corners) {
        TCornerMoves m;
        for (const TSequence* n = r->FirstChild; n != nullptr; n = n->FirstChild) {
          int x = n->Point & 0x1F, y = (n->Point >> 8) & 0x1F;
          if (x >= 19 || y >= 19) continue;
          TransformXY(x, y, c, 19, 19);
          if (x < 10 && y < 10) m.emplace_back(x, y);
        }
        if (!m.empty()) out.push_back(std::move(m));
      }
    ClearRoot(&first);
  }
  if (out.empty())  // a few fixed corners when the package is missing
    out = {{{3, 3}, {5, 2}, {2, 5}}, {{3, 2}, {2, 4}, {4, 2}}, {{2, 2}, {3, 2}, {2, 3}}};
  return out;
}

// Writes `games` games into files of 1000 under dir; returns the file names.
std::vector<std::string> Synthetic(const std::string& dir, int games) {
  const std::vector<TCornerMoves> corners = SampleCorners();
  std::mt19937 random(20261210);
  const char* ranks[] = {"9p", "7p", "1p", "6d", "3d", "1k", "5k", ""};
  const char* results[] = {"B+R", "W+R", "B+2.5", "W+0.5", ""};
  std::vector<std::string> files;
  fs::create_directories(dir);
  std::ofstream out;
  for (int g = 0; g < games; ++g) {
    if (g % 1000 == 0) {
      files.push_back(dir + "/games" + std::to_string(g / 1000) + ".sgf");
      out = std::ofstream(files.back(), std::ios::binary);
    }
    std::array<std::vector<std::pair<int, int>>, 4> moves;
    for (int c = 0; c < 4; ++c) {
      const TCornerMoves& source = corners[random() % corners.size()];
      const auto code = static_cast<TSymmetry>(random() % 2);  // turn inside the corner
      for (auto [x, y] : source) {
        TransformXY(x, y, code, 10, 10);
        if (c & 1) x = 18 - x;
        if (c & 2) y = 18 - y;
        moves[static_cast<std::size_t>(c)].emplace_back(x, y);
      }
    }
    out << "(;GM[1]SZ[19]BR[" << ranks[random() % 8] << "]WR[" << ranks[random() % 8] << "]RE["
        << results[random() % 5] << "]";
    bool white = false;
    for (std::size_t i = 0;; ++i) {
      bool any = false;
      for (const auto& m : moves) {
        if (i >= m.size()) continue;
        any = true;
        out << ';' << (white ? 'W' : 'B') << '[' << static_cast<char>('a' + m[i].first)
            << static_cast<char>('a' + m[i].second) << ']';
        white = !white;
      }
      if (!any) break;
    }
    out << ")\n";
  }
  return files;
}

void BM_BuildDatabase(benchmark::State& state) {
  const int games = static_cast<int>(state.range(0));
  TBuildOptions options;
  options.Jobs = static_cast<unsigned>(state.range(1));
  const std::string dir = (fs::temp_directory_path() / "kessaro-builder-bench").string();
  fs::remove_all(dir);
  const std::vector<std::string> files = Synthetic(dir + "/input", games);
  TBuildSummary summary;
  for (auto _ : state) {
    fs::remove_all(dir + "/home");
    if (!BuildDatabase(files, dir + "/home", options, summary))
      state.SkipWithError(summary.Error.c_str());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["games/s"] = benchmark::Counter(static_cast<double>(games) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
  state.counters["peakMiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["netRecords"] = static_cast<double>(summary.NetRecords);
  fs::remove_all(dir);
}
void BM_ReadOnlyBaseline(benchmark::State& state) {
  const int games = static_cast<int>(state.range(0));
  const std::string dir = (fs::temp_directory_path() / "kessaro-builder-read").string();
  fs::remove_all(dir);
  const std::vector<std::string> files = Synthetic(dir + "/input", games);
  for (auto _ : state)
    for (const std::string& file : files) {
      TSequence first;
      LoadGamesFromFile(&first, file, 0, nullptr);
      ClearRoot(&first);
    }
  state.counters["games/s"] = benchmark::Counter(static_cast<double>(games) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
  fs::remove_all(dir);
}
BENCHMARK(BM_ReadOnlyBaseline)->Arg(100000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

BENCHMARK(BM_BuildDatabase)
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Args({100000, 2})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
