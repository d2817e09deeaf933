#pragma once
// Helpers shared by the test executables.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "board/Diagram.h"
#include "board/PointTypes.h"

namespace kessaro::test {

// Parses a diagram that the test wrote; fails the test on a malformed one.
TMatrix Diagram(std::string_view text, int width, int height);

// A random position of the given region: each cell empty, black or white.
TMatrix RandomPosition(std::mt19937& rng, int width, int height, int stonePercent = 40);

// The folder of the source tree (for fixtures kept in the repository).
std::string SourceDir();

}  // namespace kessaro::test
