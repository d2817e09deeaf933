#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kessaro::test {

TMatrix Diagram(std::string_view text, int width, int height) {
  if (!text.empty() && text.front() == '\n') text.remove_prefix(1);  // R"(\n...)" literals
  TDiagramResult r = ParseDiagram(text, width, height);
  EXPECT_TRUE(r.ok) << r.error;
  return r.matrix;
}

TMatrix RandomPosition(std::mt19937& rng, int width, int height, int stonePercent) {
  TMatrix m(static_cast<std::size_t>(width * height));
  std::uniform_int_distribution<int> percent(0, 99), colour(1, 2);
  for (auto& c : m) c = percent(rng) < stonePercent ? static_cast<std::uint8_t>(colour(rng)) : 0;
  return m;
}

std::string SourceDir() {
  const char* dir = std::getenv("KESSARO_SOURCE_DIR");
  return dir ? dir : ".";
}

}  // namespace kessaro::test
