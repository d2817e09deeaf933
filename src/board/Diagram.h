#pragma once
// Positions as ASCII diagrams, one line per row: '.' empty, 'X' black, 'O' white,
// '#' a cell outside the region (255). Used by the tool and the tests.

#include <string>
#include <string_view>

#include "board/PointTypes.h"

namespace kessaro {

struct TDiagramResult {
  bool ok = false;
  TMatrix matrix;
  std::string error;  // what is wrong with the diagram when !ok
};

// Lines are separated by '\n' (a trailing '\r' and a final empty line are ignored).
TDiagramResult ParseDiagram(std::string_view text, int width, int height);
std::string FormatDiagram(const TMatrix& matrix, int width, int height);

}  // namespace kessaro
