// kessaro-tool build --out HOME [--name NAME] [--region W[xH]] [--min-games N] [--jobs N]
// INPUT...: builds a joseki database (net, statistic, variations base, sub base and sub-net)
// from SGF files and folders into a user home, with progress on stderr and a summary at the
// end. Exit status 2 on bad usage, no input files or a failed build.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bases/DatabaseBuilder.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

struct TBuildArgs {
  std::string home, name = "Joseki", region = "10";
  unsigned minGames = 2, jobs = 1;
  std::vector<std::string> inputs;
};

bool ParseRegion(const std::string& text, int& w, int& h) {
  unsigned a = 0, b = 0;
  char x = 0, tail = 0;
  const int n = std::sscanf(text.c_str(), "%u%c%u%c", &a, &x, &b, &tail);
  if (n == 1) {
    w = h = static_cast<int>(a);
  } else if (n == 3 && (x == 'x' || x == 'X')) {
    w = static_cast<int>(a);
    h = static_cast<int>(b);
  } else {
    return false;
  }
  return w >= 1 && h >= 1 && w <= 19 && h <= 19;
}

std::string Size(std::uint64_t bytes) {
  char s[32];
  if (bytes >= 10u << 20)
    std::snprintf(s, sizeof s, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  else if (bytes >= 10u << 10)
    std::snprintf(s, sizeof s, "%.1f KiB", static_cast<double>(bytes) / (1 << 10));
  else
    std::snprintf(s, sizeof s, "%llu bytes", static_cast<unsigned long long>(bytes));
  return s;
}

int RunBuild(const ToolIo& io, const TBuildArgs& a) {
  TBuildOptions options;
  options.Name = a.name;
  options.MinGames = a.minGames;
  options.Jobs = a.jobs;
  if (!ParseRegion(a.region, options.RegionWidth, options.RegionHeight)) {
    io.err << "kessaro-tool build: --region wants W or WxH, 1 to 19 lines: " << a.region << "\n";
    return kExitUsage;
  }
  std::vector<std::string> missing;
  const std::vector<std::string> files = CollectInputFiles(a.inputs, missing);
  for (const std::string& m : missing) io.err << "kessaro-tool build: no such input " << m << "\n";
  if (files.empty()) {
    io.err << "kessaro-tool build: no .sgf or .mgt files in the input\n";
    return kExitUsage;
  }
  // A progress line on stderr, redrawn at most every half second, for builds of many files.
  double lastShown = -1;
  bool shown = false;
  options.Progress = [&](const TBuildProgress& p) {
    if (p.FilesTotal < 50 || (p.Seconds - lastShown < 0.5 && p.FilesDone < p.FilesTotal)) return;
    lastShown = p.Seconds;
    shown = true;
    const double rate = p.Seconds > 0 ? static_cast<double>(p.Games) / p.Seconds : 0;
    const double left = p.FilesDone > 0
                            ? p.Seconds * static_cast<double>(p.FilesTotal - p.FilesDone) /
                                  static_cast<double>(p.FilesDone)
                            : 0;
    const int width = 30;
    const int filled = static_cast<int>(width * p.FilesDone / p.FilesTotal);
    char line[160];
    std::snprintf(
        line, sizeof line, "\r[%-*s] %llu/%llu files, %llu games, %.0f games/s, %.0f s left ",
        width, std::string(static_cast<std::size_t>(filled), '#').c_str(),
        static_cast<unsigned long long>(p.FilesDone), static_cast<unsigned long long>(p.FilesTotal),
        static_cast<unsigned long long>(p.Games), rate, left);
    io.err << line << std::flush;
  };
  TBuildSummary s;
  const bool ok = BuildDatabase(files, a.home, options, s);
  if (shown) io.err << "\n";
  if (!ok) {
    io.err << "kessaro-tool build: " << s.Error << "; nothing was written\n";
    return kExitUsage;
  }
  auto& out = io.out;
  out << "Built \"" << a.name << "\" in " << a.home << "\n";
  out << "  files read: " << s.FilesRead << " (rejected by the reader: " << s.FilesRejected
      << ")\n";
  out << "  games: " << s.Games << ", used " << s.GamesUsed << ", skipped not 19 x 19 "
      << s.GamesNotNineteen << ", rejected by the reader " << s.GamesRejected << "\n";
  for (const std::string& note : s.ReaderNotes) out << "  " << note << "\n";
  out << "  corner sequences: " << s.Corners << ", corners skipped for setup stones "
      << s.CornersSetup << "\n";
  out << "  net records: " << s.NetRecords << " (move nodes " << s.MoveNodes << ", game references "
      << s.GameReferences << ")\n";
  out << "  positions: " << s.Positions << ", transpositions joined " << s.Transpositions << "\n";
  out << "  games in the variations base: " << s.Variations << "\n";
  for (const auto& [file, size] : s.Files) out << "  " << file << ": " << Size(size) << "\n";
  char t[32];
  std::snprintf(t, sizeof t, "%.2f s", s.Seconds);
  out << "  time: " << t << "\n";
  return kExitOk;
}

}  // namespace

void AddBuildCommand(CLI::App& app, ToolContext& ctx) {
  auto* cmd = app.add_subcommand("build", "Build a joseki database from SGF collections");
  auto a = std::make_shared<TBuildArgs>();
  cmd->add_option("--out", a->home, "User home to build into")->required();
  cmd->add_option("--name", a->name, "Name of the net and its files (default Joseki)");
  cmd->add_option("--region", a->region, "Corner region W or WxH (default 10)");
  cmd->add_option("--min-games", a->minGames,
                  "Follow a sequence while at least this many games play it (default 2)")
      ->check(CLI::Range(1u, 1000000u));
  cmd->add_option("--jobs", a->jobs,
                  "Threads that read the input files while the net is built (default 1)")
      ->check(CLI::Range(1u, 256u));
  cmd->add_option("INPUT", a->inputs, "SGF files or folders (searched for .sgf and .mgt)")
      ->required();
  cmd->callback([&ctx, a] { ctx.run = [&ctx, a] { return RunBuild(ctx.io, *a); }; });
}

}  // namespace kessaro::tool
