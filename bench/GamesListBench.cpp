// Games list and sort index costs, each beside its baseline in one run:
//   SortByPlayer/100000 and SortByDate/100000   vs SortIdentifiers/100000, std::sort of
//                                               plain numbers (the floor of any sort)
//   FindRange (10,000 prefix lookups per iteration) vs EntryAt (10,000 entry reads)
// Run: build/default/bench/GamesListBench --benchmark_repetitions=5
//        --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bases/BaseSorting.h"
#include "bases/GamesList.h"
#include "records/GameFunc.h"

using namespace kessaro;

namespace {

constexpr int kLookups = 10000;

std::string Name(std::mt19937& random) {
  static const char* const syllables[] = {"cho", "go", "ki", "ta", "ni", "sa", "ka", "shi",
                                          "ro",  "mi", "yo", "ha", "ru", "to", "ke", "ma"};
  std::string s;
  const int n = 2 + static_cast<int>(random() % 3);
  for (int i = 0; i < n; ++i) s += syllables[random() % 16];
  s[0] = static_cast<char>(s[0] - 32);
  return s + " " + syllables[random() % 16];
}

// n games with names, dates and ranks drawn from a fixed seed, in drawing order.
std::vector<std::unique_ptr<TGameLook>> MakeGames(int n) {
  std::mt19937 random(42);
  std::vector<std::unique_ptr<TGameLook>> games;
  for (int i = 0; i < n; ++i) {
    auto look = std::make_unique<TGameLook>();
    TGame& game = look->Game;
    InitGame(game);
    game.GameNo = i + 1;
    game.Info.BlackPlayer->SetText(kEnglish, Name(random));
    game.Info.WhitePlayer->SetText(kEnglish, Name(random));
    game.Date = 20000 + static_cast<double>(random() % 30000);
    game.BlackGameRank = static_cast<std::uint8_t>(1 + random() % 20);
    game.WhiteGameRank = static_cast<std::uint8_t>(1 + random() % 20);
    games.push_back(std::move(look));
  }
  return games;
}

void FreeGames(std::vector<std::unique_ptr<TGameLook>>& games) {
  for (auto& look : games) FreeGame(look->Game);
}

// Every iteration sorts the same unsorted list: the list is refilled, untimed, with the
// games in drawing order, since a sort leaves the list sorted.
void SortBy(benchmark::State& state, TGameInfoElement element) {
  auto games = MakeGames(static_cast<int>(state.range(0)));
  TGamesList list;
  for (auto _ : state) {
    state.PauseTiming();
    list.Clear();
    for (auto& look : games) list.AddGameRef(*look);
    list.SortBy(GI_NumberOfFixedMoves);  // not a sort: the next SortBy sorts afresh
    state.ResumeTiming();
    list.SortBy(element);
    benchmark::DoNotOptimize(list.GameAt(0));
  }
  list.Clear();
  FreeGames(games);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void SortByPlayer(benchmark::State& state) {
  SortBy(state, GI_BlackPlayer);
}
BENCHMARK(SortByPlayer)->Arg(100000)->Unit(benchmark::kMillisecond);

void SortByDate(benchmark::State& state) {
  SortBy(state, GI_Date);
}
BENCHMARK(SortByDate)->Arg(100000)->Unit(benchmark::kMillisecond);

void SortIdentifiers(benchmark::State& state) {
  std::mt19937 random(42);
  std::vector<std::uint32_t> ids(static_cast<std::size_t>(state.range(0)));
  for (auto& id : ids) id = random();
  for (auto _ : state) {
    std::vector<std::uint32_t> copy = ids;
    std::sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(SortIdentifiers)->Arg(100000)->Unit(benchmark::kMillisecond);

// An index of 100,000 player keys and the prefixes to look up.
struct TIndexFixture {
  std::string path;
  std::vector<std::string> prefixes;
  TIndexFixture() {
    std::string folder = (std::filesystem::temp_directory_path() / "kessaro-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    path = folder + "/players.sbx";
    std::mt19937 random(7);
    std::vector<std::string> keys;
    for (int i = 0; i < 100000; ++i)
      keys.push_back(TBaseSorting::FormatKey(GI_BlackPlayer, Name(random), kEnglish));
    std::sort(keys.begin(), keys.end());
    TBaseSorting index;
    index.SetReadOnly(false);
    if (!index.Open(path)) std::abort();
    for (std::size_t i = 0; i < keys.size(); ++i)
      index.AddEntry(static_cast<std::uint32_t>(i + 1), keys[i]);
    index.Close();
    for (int i = 0; i < kLookups; ++i) {
      const std::string& k = keys[random() % keys.size()];
      prefixes.push_back(k.substr(0, 2 + 1 + random() % (k.size() - 2)));
    }
  }
  ~TIndexFixture() { std::filesystem::remove_all(std::filesystem::path(path).parent_path()); }
};

TIndexFixture& Index() {
  static TIndexFixture fixture;
  return fixture;
}

void FindRange(benchmark::State& state) {
  TBaseSorting index;
  if (!index.Open(Index().path)) std::abort();
  for (auto _ : state) {
    std::uint64_t found = 0;
    for (const std::string& p : Index().prefixes) found += index.FindRange(p).First;
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(FindRange)->Unit(benchmark::kMillisecond);

void EntryAt(benchmark::State& state) {
  TBaseSorting index;
  if (!index.Open(Index().path)) std::abort();
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (std::uint32_t i = 1; i <= kLookups; ++i) sum += index.EntryAt(i * 7);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(EntryAt)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
