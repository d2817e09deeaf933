// Sub-net and holder costs:
//   ExpandNode/30         a node with 30 children on a net of a million records, with a
//                         selection and statistics (each child read, ranked, its statistic
//                         and transposition sum read, turned and added); the children are
//                         released again inside the timing
//   ReleaseChildren/30    the release alone, the part of the figure above that is not expansion
//   Analyze/20            a fresh holder loading a folder of 20 nets, their sub-nets and
//                         statistics over a variations base, and analysing it; freeing it
//                         is not timed
//   FreeHolder/20         freeing such a holder (closing, and saving, what it holds)
// Run: build/default/bench/HolderBench --benchmark_repetitions=5
//        --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bases/BaseHolder.h"
#include "records/BoardFormFunc.h"

using namespace kessaro;

namespace {

std::string BenchFolder() {
  static const std::string folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kessaro-holder-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

struct TFolderCleanup {
  ~TFolderCleanup() {
    std::error_code ec;
    std::filesystem::remove_all(BenchFolder(), ec);
  }
} gCleanup;

// A net of `records` records in which every node has 30 children (heap order), the first
// level being record 1 alone.
void BuildNet(const std::string& path, std::uint32_t records, int kind) {
  TNetyFile net;
  net.SetReadOnly(false);
  if (!net.CreateNew(path)) std::abort();
  net.Header().SetRegion(kind, 19, 19);
  net.Header().SetStartPosition(TMatrix(19 * 19, 0));
  net.Header().SetNetFlags(netOffered);
  for (std::uint32_t i = 1; i <= records; ++i) {
    NetRecord r;
    r.Index = i;
    const std::uint32_t parent = i == 1 ? 0 : (i - 2) / 30 + 1;
    r.SetParent(parent);
    r.SetNext(i != 1 && (i - 1) % 30 != 0 && i < records ? i + 1 : 0);
    const std::uint64_t child = 30ull * (i - 1) + 2;
    r.SetChild(child <= records ? static_cast<std::uint32_t>(child) : 0);
    r.SetMove(MakeMove(static_cast<int>(i % 19), static_cast<int>(i / 19 % 19), i % 2 == 0));
    net.WriteNode(r);
  }
  net.Close();
}

struct TBenchNet {
  TNetyFile net;
  TSubBase subBase;
  TStatistic stats;
  TSubNety subNet;
};

void BuildSubNet(TNetyFile& net, TSubBase& subBase, const std::string& subPath,
                 const std::string& statPath, bool allSelected) {
  std::uint32_t identity = 0;
  {
    TSubNety sub;
    sub.SetReadOnly(false);
    if (!sub.CreateNew(subPath)) std::abort();
    sub.Attach(&subBase, &net, nullptr);
    if (allSelected) {
      for (std::uint32_t i = 1; i <= net.NodeCount(); ++i) sub.Selection()->SetBit(i);
    } else {
      sub.DropSelection();
    }
    sub.SetMenuPath("Bench\\Net");
    sub.Close();
  }
  {
    TSubNety sub;
    sub.Open(subPath);
    identity = sub.Identity();
  }
  TStatistic s;
  s.SetReadOnly(false);
  s.Open(statPath);
  s.SetOwnerIdentity(identity);
  s.SetCounterCount(6);
  StatRecord r;
  r.Triples[scPro].MoverWins = 3;
  const std::uint32_t records = net.NodeCount() < 2000 ? net.NodeCount() : 2000;
  for (std::uint32_t i = 0; i <= records; ++i) s.WriteRecord(i, r);
  s.Close();
}

TBenchNet& MillionNet() {
  static TBenchNet* bench = [] {
    auto* b = new TBenchNet;
    const std::string folder = BenchFolder();
    BuildNet(folder + "/million.net", 1000000, 3);
    if (!b->net.Open(folder + "/million.net")) std::abort();
    b->subBase.Bind(nullptr, nullptr, nullptr);
    BuildSubNet(b->net, b->subBase, folder + "/million.sns", folder + "/million.stc", true);
    b->stats.Open(folder + "/million.stc");
    b->stats.SetMapped(true);
    if (!b->subNet.Open(folder + "/million.sns") ||
        !b->subNet.Attach(&b->subBase, &b->net, &b->stats) || !b->subNet.LoadBitFields())
      std::abort();
    return b;
  }();
  return *bench;
}

void ExpandNode(benchmark::State& state) {
  TBenchNet& b = MillionNet();
  TSequence* root = NewNodeUnder(nullptr);
  b.subNet.ExpandRoot(root);
  TSequence* node = root->FirstChild;
  for (auto _ : state) {
    b.subNet.ExpandNode(node);
    benchmark::DoNotOptimize(node->FirstChild);
    ReleaseTree(node->FirstChild);
  }
  ReleaseTree(root);
}
BENCHMARK(ExpandNode)->Name("ExpandNode/30")->Unit(benchmark::kMicrosecond);

void ReleaseChildren(benchmark::State& state) {
  TBenchNet& b = MillionNet();
  TSequence* root = NewNodeUnder(nullptr);
  b.subNet.ExpandRoot(root);
  TSequence* node = root->FirstChild;
  for (auto _ : state) {
    state.PauseTiming();
    b.subNet.ExpandNode(node);
    state.ResumeTiming();
    ReleaseTree(node->FirstChild);
  }
  ReleaseTree(root);
}
BENCHMARK(ReleaseChildren)->Name("ReleaseChildren/30")->Unit(benchmark::kMicrosecond);

const std::string& TwentyNetHome() {
  static const std::string home = [] {
    namespace fs = std::filesystem;
    const std::string h = BenchFolder() + "/home";
    for (const char* dir : {"Net", "Sub Base", "Vars Base", "Index", "User Game Base"})
      fs::create_directories(h + "/" + dir);
    {
      TVarsBase vars;
      vars.SetReadOnly(false);
      vars.Open(h + "/Vars Base/Vars");
      vars.AppendVariation(TMatrix(361, 0), MakeRegion(rkWholeBoard, 19, 19),
                           {{MakeMove(3, 3), 0}});
    }
    TVarsBase vars;
    vars.Open(h + "/Vars Base/Vars");
    {
      TSubBase sub;
      sub.SetReadOnly(false);
      sub.CreateNew(h + "/Sub Base/vars.sbs");
      sub.Bind(nullptr, nullptr, &vars);
      sub.Close();
    }
    TSubBase varsSub;
    varsSub.Open(h + "/Sub Base/vars.sbs");
    for (int i = 0; i < 20; ++i) {
      const std::string name = "/net" + std::to_string(i);
      BuildNet(h + "/Net" + name + ".net", 20000 + static_cast<std::uint32_t>(i), i % 2 ? 3 : 1);
      TNetyFile net;
      net.Open(h + "/Net" + name + ".net");
      BuildSubNet(net, varsSub, h + "/Sub Base" + name + ".sns", h + "/Sub Base" + name + ".stc",
                  i % 2 == 0);
    }
    return h;
  }();
  return home;
}

// The holder's loading and analysis alone: freeing it is left out of the timing, since it
// also saves the files it holds.
void Analyze(benchmark::State& state) {
  const std::string& home = TwentyNetHome();
  for (auto _ : state) {
    auto holder = std::make_unique<TBaseHolder>();
    holder->ApplyStartDirs(DefaultHolderDirs(home));
    if (holder->SubNetCount() != 20 || holder->JosekiNet() == nullptr) std::abort();
    benchmark::DoNotOptimize(holder->FusekiNet());
    state.PauseTiming();
    holder.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(Analyze)->Name("Analyze/20")->Unit(benchmark::kMillisecond);

// Freeing the analysed holder alone, the part of a holder's life the figure above leaves out.
void FreeHolder(benchmark::State& state) {
  const std::string& home = TwentyNetHome();
  for (auto _ : state) {
    state.PauseTiming();
    auto holder = std::make_unique<TBaseHolder>();
    holder->ApplyStartDirs(DefaultHolderDirs(home));
    if (holder->SubNetCount() != 20) std::abort();
    state.ResumeTiming();
    holder.reset();
  }
}
BENCHMARK(FreeHolder)->Name("FreeHolder/20")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
