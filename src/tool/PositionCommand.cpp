// kessaro-tool position: hash, symmetry mask and stored encoding of a diagram read from stdin.

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "board/Diagram.h"
#include "board/HashFunc.h"
#include "board/PositionFunc.h"
#include "board/SymmetryFunctions.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

std::optional<TRegionWord> ParseRegion(const std::string& text, std::string& error) {
  int values[3];
  const char* p = text.data();
  const char* end = p + text.size();
  for (int i = 0; i < 3; ++i) {
    const auto [next, ec] = std::from_chars(p, end, values[i]);
    if (ec != std::errc() || (i < 2 && (next == end || *next != ',')) || (i == 2 && next != end)) {
      error = "--region must be KIND,WIDTH,HEIGHT (three integers), got '" + text + "'";
      return std::nullopt;
    }
    p = next + 1;
  }
  if (values[0] < 0 || values[0] > 255 || values[1] < 0 || values[1] > 255 || values[2] < 0 ||
      values[2] > 255) {
    error = "--region values must lie in 0..255";
    return std::nullopt;
  }
  const TRegionWord region = MakeRegion(values[0], values[1], values[2]);
  if (!IsValidRegion(region)) {
    error = "invalid region " + text +
            ": kind 1 square, 2 height < width, 3-5 any, 6 width < height - 1; sides 1..31";
    return std::nullopt;
  }
  return region;
}

int RunPosition(const ToolIo& io, const std::string& regionText, int order) {
  std::string error;
  const auto region = ParseRegion(regionText, error);
  if (!region) {
    io.err << "kessaro-tool position: " << error << "\n";
    return kExitUsage;
  }
  const std::string text{std::istreambuf_iterator<char>(io.in), std::istreambuf_iterator<char>()};
  const int w = RegionWidth(*region);
  const int h = RegionHeight(*region);
  const TDiagramResult diagram = ParseDiagram(text, w, h);
  if (!diagram.ok) {
    io.err << "kessaro-tool position: diagram: " << diagram.error << "\n";
    return kExitUsage;
  }
  const TPositionHash hash = PositionHash(diagram.matrix, *region);
  TBoardPosition encoded;
  EncodePosition(diagram.matrix, order, *region, encoded);
  char line[64];
  std::snprintf(line, sizeof line, "bucket=%04X\ntag=%08X\nsymmetry=%02X\n",
                static_cast<unsigned>(hash.bucket), static_cast<unsigned>(hash.tag),
                static_cast<unsigned>(SymmetryMask(diagram.matrix, *region)));
  io.out << line << "encoded=";
  for (const std::uint8_t b : encoded) {
    std::snprintf(line, sizeof line, "%02X", static_cast<unsigned>(b));
    io.out << line;
  }
  io.out << "\n";
  return kExitOk;
}

}  // namespace

void AddPositionCommand(CLI::App& app, ToolContext& ctx) {
  auto* cmd = app.add_subcommand(
      "position",
      "Read a diagram from stdin (. empty, X black, O white, # outside the region) and print its "
      "hash bucket and tag, symmetry mask and stored encoding");
  struct Options {
    std::string region;
    int order = 0;
  };
  auto opts = std::make_shared<Options>();
  cmd->add_option("--region", opts->region, "KIND,WIDTH,HEIGHT of the region")->required();
  cmd->add_option("--order", opts->order, "Cell order: 0 shorter, 1 rows, 2 columns")
      ->check(CLI::Range(0, 2));
  cmd->callback([&ctx, opts] {
    ctx.run = [&ctx, opts] { return RunPosition(ctx.io, opts->region, opts->order); };
  });
}

}  // namespace kessaro::tool
