// String base costs for short texts (one English entry of 8 to 24 bytes), target 100,000 of
// each operation a second, each beside its baseline in one run:
//   StringBaseWrite/0 (same size class, rewritten in place) and /1 (the class changes every
//   time: the old block is freed and one is taken from the free chain)
//     vs SaveMapWrite, the record and tag bytes written straight into the two save maps
//   StringBaseRead vs SaveMapRead, the same bytes read back with the text checksum
// Run: build/default/bench/StringBaseBench --benchmark_repetitions=5
//        --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "board/CheckSum.h"
#include "strings/StringBase.h"

using namespace kessaro;

namespace {

constexpr std::uint32_t kIds = 20000;

std::string BenchStem(const std::string& name) {
  static const std::string folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kessaro-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return pattern;
  }();
  return folder + "/" + name;
}

std::vector<TStringSet> Texts() {
  std::vector<TStringSet> texts;
  for (int i = 0; i < 64; ++i) {
    TStringSet s;
    s.SetText(kEnglish, "joseki note " + std::string(static_cast<std::size_t>(i % 13), 'x'));
    texts.push_back(s);
  }
  return texts;
}

// A base of kIds short texts, open and writable; nothing is saved at the end.
struct Base {
  TStringBase base;
  std::vector<TStringSet> texts = Texts();
  explicit Base(const std::string& name) {
    if (!base.CreateNew(BenchStem(name))) std::abort();
    for (std::uint32_t id = 1; id <= kIds; ++id) base.Write(id, &texts[id % texts.size()]);
  }
  ~Base() { base.SetSaveEnabled(false); }
};

void StringBaseWrite(benchmark::State& state) {
  Base b("write" + std::to_string(state.range(0)));
  const bool moving = state.range(0) != 0;
  TStringSet sameClass[2], otherClass[2];
  sameClass[0].SetText(kEnglish, "joseki n1");           // 13 bytes: class 3
  sameClass[1].SetText(kEnglish, "joseki n12");          // 14 bytes: class 3
  otherClass[0].SetText(kEnglish, "joseki note");        // 15 bytes: class 4
  otherClass[1].SetText(kEnglish, "joseki note 12345");  // 21 bytes: class 5
  std::uint32_t i = 0;
  for (auto _ : state) {
    const std::uint32_t id = 1 + i % kIds;
    const TStringSet& s = moving ? otherClass[(i / kIds) % 2] : sameClass[i % 2];
    b.base.Write(id, &s);
    ++i;
  }
  if (b.base.TakeErrors() != 0) state.SkipWithError("write failed");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(StringBaseWrite)->Arg(0)->Arg(1);

void StringBaseRead(benchmark::State& state) {
  Base b("read");
  TStringSet s;
  std::uint32_t i = 0;
  for (auto _ : state) {
    b.base.Read(1 + i % kIds, s);
    benchmark::DoNotOptimize(s.Size());
    ++i;
  }
  if (b.base.TakeErrors() != 0) state.SkipWithError("read failed");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(StringBaseRead);

// The baselines: the same bytes through the save maps alone, without the index lookup, the
// record checks or the free chain.
struct Maps {
  TSaveMap holder, tags;
  std::uint32_t recordBytes = 10 + 16;
  explicit Maps(const std::string& name) {
    holder.SetReadOnly(false);
    tags.SetReadOnly(false);
    if (!holder.CreateNew(BenchStem(name + ".str")) || !tags.CreateNew(BenchStem(name + ".sid")))
      std::abort();
    const std::vector<std::uint8_t> record(recordBytes, 7);
    for (std::uint32_t id = 1; id <= kIds; ++id) {
      holder.Write(record.data(), 32 + std::int64_t{id} * 28, recordBytes);
      tags.Write(record.data(), std::int64_t{id} * 8, 8);
    }
  }
  ~Maps() {
    holder.SetSaveEnabled(false);
    tags.SetSaveEnabled(false);
  }
};

void SaveMapWrite(benchmark::State& state) {
  Maps m("mapwrite");
  std::vector<std::uint8_t> record(m.recordBytes, 9);
  std::uint32_t i = 0;
  for (auto _ : state) {
    const std::uint32_t id = 1 + i % kIds;
    record[0] = static_cast<std::uint8_t>(Crc16(record.data() + 10, m.recordBytes - 10));
    m.holder.Write(record.data(), 32 + std::int64_t{id} * 28, m.recordBytes);
    m.tags.Write(record.data(), std::int64_t{id} * 8, 8);
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SaveMapWrite);

void SaveMapRead(benchmark::State& state) {
  Maps m("mapread");
  std::vector<std::uint8_t> record(m.recordBytes), tag(8);
  std::uint32_t i = 0;
  for (auto _ : state) {
    const std::uint32_t id = 1 + i % kIds;
    m.tags.Read(tag.data(), std::int64_t{id} * 8, 8);
    m.holder.Read(record.data(), 32 + std::int64_t{id} * 28, m.recordBytes);
    benchmark::DoNotOptimize(Crc16(record.data() + 10, m.recordBytes - 10));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SaveMapRead);

}  // namespace

BENCHMARK_MAIN();
