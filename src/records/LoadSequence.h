#pragma once
// The SGF reader: a lenient scanner over the bytes of a file that finds every game, builds one
// move tree per game, skips a game it cannot read and logs what it did not understand.
// Property values keep the file's bytes unless the game names a character set that is not a
// Windows charset (see LoadGamesFromBytes).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "records/BoardFormTypes.h"

namespace kessaro {

class TLoger;

// Reader options (a set).
constexpr int IgnoreGameInfo = 1;   // root properties are recognised and skipped
constexpr int IgnoreComments = 4;   // C is skipped in the root and the nodes
constexpr int EmptyNodeAsPass = 8;  // a moveless node becomes a pass instead of failing the game

// Variations nested deeper than this fail their game (the tree is walked without recursion,
// but a bound keeps a hostile file from building absurd trees).
constexpr int kMaxVariationDepth = 10000;

// Where the reader's log lines go: the text, and whether it follows a time stamp.
using TSgfLog = std::function<void(const std::string& text, bool withTime)>;

// What a read dropped or changed, game by game, so that nothing vanishes without a word.
// Games are numbered from 1 in the order their '(' appears in the file.
struct TSgfReportEntry {
  std::size_t Game = 0;
  std::size_t Offset = 0;  // of the game's '('
  std::string Reason;
};
struct TSgfReport {
  std::vector<TSgfReportEntry> Rejected;  // games dropped whole
  std::vector<TSgfReportEntry> Changed;   // games kept with a loss: a cut comment, a cut file
  // One line per entry: "game N (byte B) rejected: REASON" or "game N (byte B): REASON".
  std::vector<std::string> Lines() const;
};

// Root comments (GC and C together) are cut to this many bytes, at a character boundary.
constexpr std::size_t kMaxRootComment = 65535;

// Reads every game of data[0, size) into First (cleared first) and further roots chained
// through NextSibling. Returns false only when an exception was raised (games read before it
// stay attached). A game is dropped whole when its text breaks the syntax, nests deeper than
// kMaxVariationDepth, puts a move in its root or outside the board, or has an empty node
// (unless EmptyNodeAsPass); a file that ends inside a game keeps what was read before the
// end. A move "tt" on a board of 19 lines or fewer is a pass, as is an empty value. The
// root's CA names either a Windows charset (kept in TGame::Charset, texts keep their bytes)
// or a character set ICU knows (texts are converted to UTF-8 and Charset stays 0).
bool LoadGamesFromBytes(TSequence* First, const std::uint8_t* data, std::size_t size, int options,
                        const TSgfLog& log, TSgfReport* report = nullptr);

// Reads a file through a read-only mapping, logging to "GameLoad.log" in the user home.
// False when the file cannot be opened (or is shorter than 4 bytes) or reading raised an
// exception; true otherwise, even when no game was found (then First has no data).
bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options);
bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options,
                       TSgfReport& report);
// The same with a logger of the caller's (the tests point it at their own file).
bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options, TLoger* log,
                       TSgfReport* report = nullptr);

}  // namespace kessaro
