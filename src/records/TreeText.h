#pragma once
// A move tree written compactly in SGF notation, for the tool and for tests: ";B[pd];W[dp]",
// variations in parentheses, setup as AB/AW/AE, then C[...] and N[...] when present. Nodes
// whose move was never read show no move. Written without recursion.

#include <string>

#include "records/BoardFormTypes.h"

namespace kessaro {

// The SGF letters of a point ("" for the pass point).
std::string SgfPoint(std::uint16_t point);
// "B[pd]" or "W[]" for a node with a move, "" for one without.
std::string SgfMove(const TSequence* node);

std::string SgfTreeText(const TSequence* root);

}  // namespace kessaro
