#include "tool/Tool.h"

#include <CLI/CLI.hpp>
#include <iostream>

namespace kessaro::tool {

int RunTool(int argc, const char* const* argv, ToolIo io) {
  CLI::App app{"kessaro-tool: build, inspect and check Kessaro joseki databases", "kessaro-tool"};
  app.require_subcommand(1);
  ToolContext ctx{io, {}};
  AddChecksumCommand(app, ctx);
  AddPositionCommand(app, ctx);
  AddInfoCommand(app, ctx);
  AddSgfCommand(app, ctx);
  AddWalkCommand(app, ctx);
  AddGamesCommand(app, ctx);
  AddBuildCommand(app, ctx);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, io.out, io.err);
    return code == 0 ? kExitOk : kExitUsage;
  }
  return ctx.run ? ctx.run() : kExitUsage;
}

}  // namespace kessaro::tool
