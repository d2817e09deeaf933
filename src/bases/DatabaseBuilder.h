#pragma once
// Builds a complete joseki database from SGF game collections: the corner net with its
// transpositions joined, the statistic of every net record by player category and result,
// the variations base with the games the net's ends refer to, a sub base over the variations
// base alone and the sub-net that binds them.
//
// Every corner of every 19 x 19 game is turned into the frame of the upper-left corner; the
// moves inside the region, in order, are that corner's sequence (moves elsewhere are tenuki).
// Positions are keyed by their canonical form under the region's symmetries and colour
// inversion, so that move orders and orientations that reach one position share one list of
// children. A position that fewer than MinGames corner sequences reach is not expanded: the
// moves into it are leaves with a reference to the first game that played them.
//
// The files are written into a temporary folder inside the home (".build-NAME"). Once every
// file is complete, a list of them ("commit") is written there and synced; only then are the
// files renamed into place. A build interrupted before the list exists leaves the home as it
// was; one interrupted after it is completed by FinishInterruptedBuilds, which every build
// (and every holder that opens the home through the tool) runs first. A failure leaves
// nothing of the build behind.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bases/Statistic.h"
#include "records/GameTypes.h"

namespace kessaro {

struct TBuildProgress {
  std::uint64_t FilesDone = 0, FilesTotal = 0;
  std::uint64_t Games = 0;
  double Seconds = 0;
};

struct TBuildOptions {
  std::string Name = "Joseki";
  int RegionWidth = 10, RegionHeight = 10;
  std::uint32_t MinGames = 2;
  // Threads that read the files (1 to 256). With more than one, the net is built on the
  // calling thread while they read ahead, so reading and building overlap.
  unsigned Jobs = 1;
  // Called on the calling thread after every file taken into the net.
  std::function<void(const TBuildProgress&)> Progress;
};

struct TBuildSummary {
  std::uint64_t FilesRead = 0;
  std::uint64_t FilesRejected = 0;  // the reader could not open or read the file
  std::uint64_t Games = 0;          // games the reader found
  std::uint64_t GamesRejected = 0;  // games the reader dropped (their reasons in ReaderNotes)
  // What the reader dropped or cut, one line each: "FILE: game N (byte B) rejected: REASON".
  std::vector<std::string> ReaderNotes;
  std::uint64_t GamesUsed = 0;  // games with at least one corner sequence
  std::uint64_t GamesNotNineteen = 0;
  std::uint64_t Corners = 0;         // corner sequences with at least one move
  std::uint64_t CornersSetup = 0;    // corners skipped for setup stones inside the region
  std::uint64_t NetRecords = 0;      // NodeCount of the net
  std::uint64_t MoveNodes = 0;       // of which move nodes
  std::uint64_t Positions = 0;       // expanded positions (with the empty corner)
  std::uint64_t Transpositions = 0;  // rings joined (positions reached by several moves)
  std::uint64_t GameReferences = 0;  // leaves with a game reference
  std::uint64_t Variations = 0;      // games stored in the variations base
  std::vector<std::pair<std::string, std::uint64_t>> Files;  // path inside the home, size
  double Seconds = 0;
  std::string Error;  // empty on success
};

// The sort indexes written over the built sub base, in their order keys 1 to 4: by black
// player, white player, date and event, each with the date (or the event) as second key.
constexpr std::size_t kBuildSortIndexes = 4;
const std::vector<TGameInfoElement>& BuildSortIndexElements(std::size_t i);
// "Index/NAME by Black.sbx", "... by White.sbx", "... by Date.sbx", "... by Event.sbx".
std::string BuildSortIndexFile(const std::string& name, std::size_t i);

// Base-rank code of a rank text (0 when not recognised). Recognised, in any letter case and
// with or without a space: "9p", "9 pro", "9 dan pro", "pro 9 dan" (professional dan); "7d",
// "7 dan", "7d*", "7 dan ama" (amateur dan); "5k", "5 kyu", "5k*" (kyu); "insei" counts as
// amateur 7 dan; the titles "Honinbo", "Meijin", "Kisei", "Judan", "Tengen", "Oza" and
// "Gosei" count as professional 9 dan; "NR" is not rated (level 1). "9 dan" without "pro"
// is an amateur rank.
std::uint8_t RankTextToBaseRank(const std::string& text);
// The player category of a game from the two base-rank codes: a rank missing (0 or not
// rated) gives scUnknown; both professional scPro, one professional scProSemiPro; either kyu
// scKyu; both amateur dan of 5 dan or more scStrongAma, else scAmaDan.
TStatCategory RankCategory(std::uint8_t black, std::uint8_t white);
// 1 Black won, 2 White won, 0 unknown ("B+R", "W+3.5", "b+", anything else unknown).
int ResultWinner(const std::string& text);

// The SGF files of the inputs: files as given, folders searched recursively for ".sgf" and
// ".mgt" in any letter case, sorted by path. Inputs that do not exist go to `missing`.
std::vector<std::string> CollectInputFiles(const std::vector<std::string>& inputs,
                                           std::vector<std::string>& missing);

// Completes the builds of the home that were interrupted after their files were complete,
// and removes the temporary folders of those that were not. Returns the number completed.
int FinishInterruptedBuilds(const std::string& home);

// Builds the database of the files into `home`, replacing what an earlier build of the same
// name wrote there. False with summary.Error set on failure; the home is then unchanged,
// except when the files were complete but could not all be moved into place: the next
// build, or FinishInterruptedBuilds, moves the rest.
bool BuildDatabase(const std::vector<std::string>& files, const std::string& home,
                   const TBuildOptions& options, TBuildSummary& summary);

}  // namespace kessaro
