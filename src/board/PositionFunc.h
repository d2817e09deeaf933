#pragma once
// Playing stones on a position matrix, and the compact stored form of a position.

#include <cstddef>

#include "board/PointTypes.h"

namespace kessaro {

// Plays one stone (colour 1 black, 2 white) and removes the opposing groups left without a
// liberty. A point outside the region is a pass. No suicide rule, no ko rule: a stone without
// liberties stays. Open edges of the region kind count as liberties; 255 cells do not.
void PlaceStone(TMatrix& matrix, int kind, int width, int colour, int y, int x, int height);

// Replays a game's moves inside a net's region, as used for the continuation after the point
// where a game leaves the net. `result` starts as `startPosition` with 255 cells emptied.
// Moves are read as 16-bit words at `firstMove`, `strideBytes` apart. No-moves and moves onto
// cells outside the region are skipped; a lone stone without liberties that captured nothing
// is removed again. Returns false when a move lands on an occupied cell.
bool PlayMoves(TMatrix& result, const TMatrix& startPosition, TRegionWord region,
               const void* firstMove, std::size_t strideBytes, std::size_t count);

// Encodes the first width x height cells of `matrix`. Order coBest tries rows and columns
// and keeps columns only when strictly shorter. False on an invalid region or a short matrix.
bool EncodePosition(const TMatrix& matrix, int order, TRegionWord region, TBoardPosition& out);

// Decodes a stored position. On failure the matrix is left with all cells empty (or cleared
// when the header is incomplete) and the result is false.
bool DecodePosition(const TBoardPosition& position, TMatrix& matrix, TRegionWord& region);

}  // namespace kessaro
