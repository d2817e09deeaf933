#pragma once
// The database build's first stage: the SGF files read into games and their corner
// sequences, in file order whatever the number of reading threads.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bases/DatabaseBuilder.h"
#include "bases/VarsBase.h"
#include "board/PointTypes.h"

namespace kessaro {

struct TGameEntry {
  TVarMoves Moves;  // every move of the main line but passes, in the game's own frame
  std::array<std::string, kBuildSortIndexes> SortKeys;  // one per sort index
  std::uint8_t BlackRank = 0, WhiteRank = 0;
  TStatCategory Category = scUnknown;
  int Winner = 0;               // 1 Black, 2 White
  std::uint32_t VarNumber = 0;  // in the variations base, 0 while not referenced
};

// One corner of one game: its moves in the upper-left frame of the board, with the index of
// each in the game's move list.
struct TCornerSeq {
  std::uint32_t Game = 0;
  std::uint8_t Corner = 0;  // geometric code that brings the corner to the upper left
  std::vector<TMoveWord> Moves;
  std::vector<std::uint16_t> VarIndex;
};

// What one file gave: its games that have a corner sequence, their sequences (Game counts
// from 0 within the part) and the reading counts of the summary.
struct TFilePart {
  std::vector<TGameEntry> Games;
  std::vector<TCornerSeq> Seqs;
  TBuildSummary Counts;
};

// Reads the files with `jobs` threads (1 to 256), each file into a part of its own, at most
// a few files per thread ahead of `take`; `take` gets the parts on the calling thread in file
// order, so that the result does not depend on the number of threads.
void ReadFilesInOrder(const std::vector<std::string>& files, int width, int height, unsigned jobs,
                      const std::function<void(TFilePart&)>& take);

}  // namespace kessaro
