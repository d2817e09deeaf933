#pragma once
// kessaro-tool: subcommands registered on one CLI11 application. Exit status 0 on success,
// 1 on a failed check, 2 on bad usage or unreadable input.

#include <functional>
#include <iosfwd>

namespace CLI {
class App;
}

namespace kessaro::tool {

constexpr int kExitOk = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsage = 2;

struct ToolIo {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

// What the parsed subcommand runs; each Add...Command sets it from its callback.
struct ToolContext {
  ToolIo io;
  std::function<int()> run;
};

void AddChecksumCommand(CLI::App& app, ToolContext& ctx);
void AddPositionCommand(CLI::App& app, ToolContext& ctx);
void AddInfoCommand(CLI::App& app, ToolContext& ctx);
void AddSgfCommand(CLI::App& app, ToolContext& ctx);
void AddWalkCommand(CLI::App& app, ToolContext& ctx);
void AddGamesCommand(CLI::App& app, ToolContext& ctx);
void AddBuildCommand(CLI::App& app, ToolContext& ctx);

int RunTool(int argc, const char* const* argv, ToolIo io);

}  // namespace kessaro::tool
