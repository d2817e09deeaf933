// Board model speed: the position hash of a full board against a single CRC-32 pass over the
// same cells (the cost of reading the board once), and stone placement with and without a
// capture.

#include <benchmark/benchmark.h>

#include <random>

#include "board/CheckSum.h"
#include "board/HashFunc.h"
#include "board/PositionFunc.h"

using namespace kessaro;

namespace {

TMatrix RandomBoard(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> cell(0, 9);
  TMatrix m(static_cast<std::size_t>(n * n));
  for (auto& c : m) {
    const int v = cell(rng);
    c = v < 3 ? kCellBlack : v < 6 ? kCellWhite : kCellEmpty;
  }
  return m;
}

void BM_Crc32Of361Cells(benchmark::State& state) {
  const TMatrix m = RandomBoard(19, 1);
  for (auto _ : state) benchmark::DoNotOptimize(Crc32(m.data(), m.size()));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Crc32Of361Cells);

void BM_PositionHash19(benchmark::State& state) {
  std::vector<TMatrix> boards;
  for (unsigned s = 0; s < 64; ++s) boards.push_back(RandomBoard(19, s));
  const TRegionWord region = MakeRegion(rkWholeBoard, 19, 19);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(PositionHash(boards[i++ & 63], region));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PositionHash19);

void BM_PositionHashCorner10(benchmark::State& state) {
  TMatrix m = RandomBoard(10, 3);
  const TRegionWord region = MakeRegion(rkCorner, 10, 10);
  for (auto _ : state) benchmark::DoNotOptimize(PositionHash(m, region));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PositionHashCorner10);

// Black closes the last liberty of a 10-stone white group on a crowded 19 x 19 board.
void BM_PlaceStoneCapture(benchmark::State& state) {
  TMatrix board(361, kCellEmpty);
  for (int x = 0; x < 10; ++x) {
    board[static_cast<std::size_t>(x + 19)] = kCellWhite;
    board[static_cast<std::size_t>(x)] = kCellBlack;
    board[static_cast<std::size_t>(x + 38)] = kCellBlack;
  }
  board[10] = kCellBlack;
  board[10 + 38] = kCellBlack;
  for (auto _ : state) {
    TMatrix m = board;
    PlaceStone(m, rkWholeBoard, 19, kCellBlack, 1, 10, 19);
    benchmark::DoNotOptimize(m.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlaceStoneCapture);

void BM_PlaceStoneQuiet(benchmark::State& state) {
  const TMatrix board = RandomBoard(19, 9);
  for (auto _ : state) {
    TMatrix m = board;
    PlaceStone(m, rkWholeBoard, 19, kCellBlack, 9, 9, 19);
    benchmark::DoNotOptimize(m.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlaceStoneQuiet);

}  // namespace

BENCHMARK_MAIN();
