#pragma once
// The SGF reader: a lenient scanner over the bytes of a file that finds every game, builds one
// move tree per game, skips a game it cannot read and logs what it did not understand.
// Property values keep the file's bytes; no character set conversion takes place.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

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

// Reads every game of data[0, size) into First (cleared first) and further roots chained
// through NextSibling. Returns false only when an exception was raised (games read before it
// stay attached).
bool LoadGamesFromBytes(TSequence* First, const std::uint8_t* data, std::size_t size, int options,
                        const TSgfLog& log);

// Reads a file through a read-only mapping, logging to "GameLoad.log" in the user home.
// False when the file cannot be opened (or is shorter than 4 bytes) or reading raised an
// exception; true otherwise, even when no game was found (then First has no data).
bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options);
// The same with a logger of the caller's (the tests point it at their own file).
bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options, TLoger* log);

}  // namespace kessaro
