#pragma once
// Runs kessaro-tool in-process with the given arguments and standard input, for the tool
// tests.

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tool/Tool.h"

namespace kessaro::tool {

struct ToolRun {
  int status;
  std::string out, err;
};

inline ToolRun RunCli(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), "kessaro-tool");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = RunTool(static_cast<int>(argv.size()), argv.data(), {in, out, err});
  return {status, out.str(), err.str()};
}

inline ToolRun RunInfo(std::vector<std::string> args) {
  args.insert(args.begin(), "info");
  return RunCli(std::move(args));
}

}  // namespace kessaro::tool
