#include "board/Diagram.h"

#include <vector>

namespace kessaro {

TDiagramResult ParseDiagram(std::string_view text, int width, int height) {
  TDiagramResult r;
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  if (static_cast<int>(lines.size()) != height) {
    r.error = "expected " + std::to_string(height) + " lines, got " + std::to_string(lines.size());
    return r;
  }
  r.matrix.reserve(static_cast<std::size_t>(width * height));
  for (int y = 0; y < height; ++y) {
    const auto& line = lines[static_cast<std::size_t>(y)];
    if (static_cast<int>(line.size()) != width) {
      r.error = "line " + std::to_string(y + 1) + ": expected " + std::to_string(width) +
                " characters, got " + std::to_string(line.size());
      return r;
    }
    for (int x = 0; x < width; ++x) {
      switch (line[static_cast<std::size_t>(x)]) {
        case '.':
          r.matrix.push_back(kCellEmpty);
          break;
        case 'X':
          r.matrix.push_back(kCellBlack);
          break;
        case 'O':
          r.matrix.push_back(kCellWhite);
          break;
        case '#':
          r.matrix.push_back(kCellOutside);
          break;
        default:
          r.error = "line " + std::to_string(y + 1) + ", column " + std::to_string(x + 1) +
                    ": unexpected character '" + std::string(1, line[static_cast<std::size_t>(x)]) +
                    "' (use . X O #)";
          return r;
      }
    }
  }
  r.ok = true;
  return r;
}

std::string FormatDiagram(const TMatrix& matrix, int width, int height) {
  std::string out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t i = static_cast<std::size_t>(x + y * width);
      const std::uint8_t c = i < matrix.size() ? matrix[i] : kCellOutside;
      out += c == kCellEmpty ? '.' : c == kCellBlack ? 'X' : c == kCellWhite ? 'O' : '#';
    }
    out += '\n';
  }
  return out;
}

}  // namespace kessaro
