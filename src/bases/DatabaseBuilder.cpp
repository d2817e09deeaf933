#include "bases/DatabaseBuilder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "bases/BuildCommit.h"
#include "bases/BuildFiles.h"
#include "bases/BuildGames.h"
#include "bases/BuildNetGraph.h"
#include "bases/BuildRecords.h"

// The build runs in stages, each in a unit of its own: the games read in file order
// (BuildGames), the net graph (BuildNetGraph), the records and rings numbered (BuildRecords),
// the files written into a temporary folder (BuildFiles), and the files moved into place
// (BuildCommit).

namespace kessaro {

namespace fs = std::filesystem;

namespace {

bool Fail(TBuildSummary& summary, const std::string& text) {
  summary.Error = text;
  return false;
}

class TStopwatch {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  }

 private:
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// The options' own faults, before anything is touched; empty when there is none.
std::string CheckOptions(const TBuildOptions& options) {
  const int w = options.RegionWidth, h = options.RegionHeight;
  if (w < 1 || h < 1 || w > 19 || h > 19 || !IsValidRegion(MakeRegion(rkCorner, w, h)))
    return "the region must be a corner of 1 to 19 lines each way";
  if (options.Name.empty() || options.Name.find_first_of("/\\") != std::string::npos ||
      options.Name == "." || options.Name == "..")
    return "the name must be a plain file name";
  return {};
}

// The games, taken into the net file by file in file order, with the reading counts of the
// summary and a progress report after every file.
void ReadIntoNet(const std::vector<std::string>& files, const TBuildOptions& options,
                 std::vector<TGameEntry>& games, std::vector<TCornerSeq>& seqs, TNetGraph& graph,
                 TBuildSummary& summary, const TStopwatch& clock) {
  TBuildProgress progress;
  progress.FilesTotal = files.size();
  auto take = [&](TFilePart& part) {
    const auto offset = static_cast<std::uint32_t>(games.size());
    for (TCornerSeq& seq : part.Seqs) {
      seq.Game += offset;
      seqs.push_back(std::move(seq));
    }
    for (TGameEntry& g : part.Games) games.push_back(std::move(g));
    const TBuildSummary& c = part.Counts;
    summary.FilesRejected += c.FilesRejected;
    summary.GamesRejected += c.GamesRejected;
    summary.ReaderNotes.insert(summary.ReaderNotes.end(), c.ReaderNotes.begin(),
                               c.ReaderNotes.end());
    summary.Games += c.Games;
    summary.GamesUsed += c.GamesUsed;
    summary.GamesNotNineteen += c.GamesNotNineteen;
    summary.Corners += c.Corners;
    summary.CornersSetup += c.CornersSetup;
    graph.AddSequences();
    ++progress.FilesDone;
    progress.Games = summary.Games;
    progress.Seconds = clock.Seconds();
    if (options.Progress) options.Progress(progress);
  };
  ReadFilesInOrder(files, options.RegionWidth, options.RegionHeight, options.Jobs, take);
  summary.FilesRead = files.size();
  if (files.empty()) graph.AddSequences();  // the empty corner alone
}

}  // namespace

const std::vector<TGameInfoElement>& BuildSortIndexElements(std::size_t i) {
  static const std::vector<TGameInfoElement> elements[kBuildSortIndexes] = {
      {GI_BlackPlayer, GI_Date},
      {GI_WhitePlayer, GI_Date},
      {GI_Date, GI_Event},
      {GI_Event, GI_Date}};
  return elements[std::min(i, kBuildSortIndexes - 1)];
}

std::string BuildSortIndexFile(const std::string& name, std::size_t i) {
  static const char* const by[kBuildSortIndexes] = {"Black", "White", "Date", "Event"};
  return "Index/" + name + " by " + by[std::min(i, kBuildSortIndexes - 1)] + ".sbx";
}

bool BuildDatabase(const std::vector<std::string>& files, const std::string& homeIn,
                   const TBuildOptions& options, TBuildSummary& summary) {
  const TStopwatch clock;
  summary = TBuildSummary{};
  if (std::string fault = CheckOptions(options); !fault.empty()) return Fail(summary, fault);

  // The home, locked for this build, with what earlier builds left finished first.
  const std::string home = HomeFolder(homeIn);
  std::error_code ec;
  fs::create_directories(home, ec);
  if (!fs::is_directory(home, ec)) return Fail(summary, "cannot create the home folder " + homeIn);
  // One build at a time in a home: the lock is held until the files are in place.
  const THomeLock lock(home);
  if (!lock.Held()) {
    if (errno == EWOULDBLOCK) return Fail(summary, "another build is writing into " + homeIn);
    std::string why = std::strerror(errno);
    if (!why.empty()) why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    return Fail(summary, "cannot write " + homeIn + ": " + why);
  }
  FinishBuildsLocked(home);

  std::vector<TGameEntry> games;
  std::vector<TCornerSeq> seqs;
  TNetGraph graph(options.RegionWidth, options.RegionHeight, options.MinGames, games, seqs);
  ReadIntoNet(files, options, games, seqs, graph, summary, clock);
  const TNetLayout layout = LayOutNet(graph, seqs, games);

  // Nothing of the folder stays unless its files are complete and listed.
  TBuildFolder folder(home, options.Name);
  TWrittenFiles written;
  std::string error;
  if (!WriteBuildFiles(folder.Path(), homeIn, {options, graph, layout, games, seqs, summary},
                       written, error) ||
      !MoveIntoPlace(home, homeIn, folder, written.Files, error))
    return Fail(summary, error);
  for (const std::string& f : written.Files)
    summary.Files.emplace_back(f, fs::file_size(home + f, ec));

  summary.NetRecords = written.NetRecords;
  summary.MoveNodes = layout.MoveNodes();
  summary.Positions = layout.Expanded;
  summary.Transpositions = layout.Rings;
  summary.GameReferences = layout.GameRefs;
  summary.Variations = layout.Referenced.size();
  summary.Seconds = clock.Seconds();
  return true;
}

}  // namespace kessaro
