#pragma once
// The SGF writer: one line of play from the root of a tree down to a node, with the game
// information of the tree's game record. No variations, no setup stones.

#include <string>

#include "records/BoardFormTypes.h"

namespace kessaro {

// Writer options (a set).
constexpr int WriteGameInfo = 1;
constexpr int WriteComments = 4;
constexpr int ToEndOfLine = 8;
constexpr int KeepSourceAndUser = 16;

// Output formats: 0 SGF, 1 SGF without output (never chosen by extension), 2 ".go" (empty).
constexpr int kSgfFormatCount = 3;

// The format the file name's extension selects (case-sensitive), else `format`.
int SgfFormatFor(const std::string& fileName, int format);

// The whole text the writer produces for node in that format.
std::string BuildSequenceText(const TSequence* node, int format, int options);

// Writes BuildSequenceText to the file, replacing it atomically. False when node is absent or
// the file cannot be written completely (the old file is then left as it was).
bool SaveSequenceToFile(const TSequence* node, const std::string& fileName, int format,
                        int options);

}  // namespace kessaro
