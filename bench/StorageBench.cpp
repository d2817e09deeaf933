// Net file costs, each beside its baseline in one run:
//   OpenNet/1MiB vs OpenNet/256MiB   opening maps the file and reads only the header
//   CheckNet (bytes/s of file)        vs Crc16OfEveryRecord, the least an integrity check does
//   ListChildren (per child listed)   vs ReadNode, one plain record read
// Run: build/default/bench/StorageBench --benchmark_repetitions=5
//        --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bases/Nety.h"
#include "board/CheckSum.h"
#include "platform/FileSystem.h"

using namespace kessaro;

namespace {

std::string BenchFolder() {
  static const std::string folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kessaro-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

// A net of about `records` records: a tree of three children per node in heap order, with
// every 20th inner node joined into a transposition ring through a junction.
std::string BuildNet(const std::string& name, std::uint32_t records) {
  const std::string path = BenchFolder() + "/" + name;
  TNetyFile net;
  net.SetReadOnly(false);
  if (!net.CreateNew(path)) std::abort();
  net.Header().SetRegion(3, 19, 19);
  net.Header().SetStartPosition(TMatrix(19 * 19, 0));
  net.Header().SetNetFlags(netOffered);
  const std::uint32_t junctions = records / 60;
  const std::uint32_t tree = records - junctions;
  std::vector<NetRecord> nodes(tree + 1);
  for (std::uint32_t i = 1; i <= tree; ++i) {
    NetRecord& r = nodes[i];
    r.Index = i;
    r.SetParent(i <= 3 ? 0 : (i - 1) / 3);
    r.SetNext(i % 3 != 0 && i + 1 <= tree ? i + 1 : 0);
    const std::uint64_t child = 3ull * i + 1;
    r.SetChild(child <= tree ? static_cast<std::uint32_t>(child) : 0);
    r.SetMove(MakeMove(static_cast<int>(i % 19), static_cast<int>(i / 19 % 19), i % 2 == 0));
  }
  std::uint32_t nextJunction = tree + 1;
  for (std::uint32_t i = 5; i + 1 <= tree && nextJunction <= records; i += 20) {
    if (nodes[i].Child() == 0 || nodes[i + 1].Child() == 0) continue;
    NetRecord j;
    j.Index = nextJunction++;
    j.SetEntry(i);
    j.SetSharedChild(nodes[i].Child());
    nodes[i].SetNodeFlags(nfLink);
    nodes[i].SetChild(i + 1);
    nodes[i + 1].SetNodeFlags(nfLink | nfViaJunction);
    nodes[i + 1].SetChild(j.Index);
    net.WriteJunction(j);
  }
  for (std::uint32_t i = 1; i <= tree; ++i) net.WriteNode(nodes[i]);
  net.Close();
  if (net.TakeErrors() != 0) std::abort();
  return path;
}

// A header that counts as many records as fit in `bytes`, over a sparse file of that size.
std::string SparseNet(const std::string& name, std::uint64_t bytes) {
  const std::string path = BenchFolder() + "/" + name;
  TNetHeader h;
  h.SetRegion(3, 19, 19);
  h.SetStartPosition(TMatrix(19 * 19, 0));
  h.SetNodeCount(static_cast<std::uint32_t>((bytes - 4 - kNetHeaderSize) / kNetRecordSize));
  h.Seal();
  const TFileHandle fd = OpenFile(path, TFileAccess::faReadWrite, TFileCreation::fcCreateAlways,
                                  TFileShare::fsExclusive);
  const std::uint8_t sig[4] = {0xC3, 0x6B, 0x5C, 0x02};
  if (fd == kInvalidHandle || !WriteAt(fd, sig, 4, 0) ||
      !WriteAt(fd, h.Bytes.data(), kNetHeaderSize, 4) || !SetEndOfFile(fd, bytes))
    std::abort();
  CloseFile(fd);
  return path;
}

const std::string& MillionNet() {
  static const std::string path = BuildNet("million.net", 1000000);
  return path;
}

void OpenNet(benchmark::State& state) {
  const auto mib = static_cast<std::uint64_t>(state.range(0));
  const std::string path = SparseNet("open" + std::to_string(mib) + ".net", mib << 20);
  for (auto _ : state) {
    TNetyFile net;
    if (!net.Open(path)) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(net.Identity());
  }
  state.SetLabel(std::to_string(mib) + " MiB");
}
BENCHMARK(OpenNet)->Arg(1)->Arg(256)->Unit(benchmark::kMicrosecond);

void CheckWholeNet(benchmark::State& state) {
  const std::string& path = MillionNet();
  const auto size = std::filesystem::file_size(path);
  for (auto _ : state) {
    TNetyFile net;
    if (!net.Open(path)) state.SkipWithError("open failed");
    const TNetCheck check = CheckNet(net);
    if (!check.Ok()) state.SkipWithError("net reported corrupt");
    benchmark::DoNotOptimize(check.badRecords);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(CheckWholeNet)->Unit(benchmark::kMillisecond);

void Crc16OfEveryRecord(benchmark::State& state) {
  const std::string& path = MillionNet();
  const auto size = std::filesystem::file_size(path);
  TNetyFile net;
  if (!net.Open(path)) state.SkipWithError("open failed");
  for (auto _ : state) {
    std::uint32_t sum = 0;
    const std::uint8_t* base = net.NodeBase();
    for (std::uint32_t i = 1; i <= net.NodeCount(); ++i)
      sum += Crc16(base + std::size_t{kNetRecordSize} * i, kNetRecordSize - 2);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(Crc16OfEveryRecord)->Unit(benchmark::kMillisecond);

// Children of 10000 inner nodes (every 20th is a ring link), counted per child listed.
void ListChildren(benchmark::State& state) {
  TNetyFile net;
  if (!net.Open(MillionNet())) state.SkipWithError("open failed");
  std::vector<NetRecord> parents;
  for (std::uint32_t i = 1; parents.size() < 10000; ++i) {
    NetRecord r;
    net.ReadNode(i, r);
    parents.push_back(r);
  }
  ANetyMoves list;
  std::int64_t listed = 0;
  for (auto _ : state) {
    for (const NetRecord& p : parents) {
      net.ListChildren(p, list);
      listed += static_cast<std::int64_t>(list.size());
    }
  }
  if (net.TakeErrors() != 0) state.SkipWithError("errors while listing");
  state.SetItemsProcessed(listed);
}
BENCHMARK(ListChildren)->Unit(benchmark::kMicrosecond);

void ReadNode(benchmark::State& state) {
  TNetyFile net;
  if (!net.Open(MillionNet())) state.SkipWithError("open failed");
  NetRecord r;
  std::int64_t read = 0;
  for (auto _ : state) {
    for (std::uint32_t i = 1; i <= 30000; ++i) {
      net.ReadNode(i, r);
      benchmark::DoNotOptimize(r);
    }
    read += 30000;
  }
  state.SetItemsProcessed(read);
}
BENCHMARK(ReadNode)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(BenchFolder(), ec);
  return 0;
}
