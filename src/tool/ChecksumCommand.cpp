// kessaro-tool checksum FILE...: both file checksums, streamed so that any size works.

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <string>
#include <vector>

#include "board/CheckSum.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

int RunChecksum(const ToolIo& io, const std::vector<std::string>& files) {
  int status = kExitOk;
  std::vector<char> buffer(1 << 20);
  for (const auto& name : files) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
      io.err << "kessaro-tool checksum: cannot open " << name << ": " << std::strerror(errno)
             << "\n";
      status = kExitUsage;
      continue;
    }
    std::uint16_t crc16 = kCrc16Init;
    std::uint32_t crc32 = kCrc32Init;
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      const auto got = static_cast<std::size_t>(in.gcount());
      crc16 = Crc16Continue(crc16, buffer.data(), got);
      crc32 = Crc32Continue(crc32, buffer.data(), got);
    }
    if (in.bad()) {
      io.err << "kessaro-tool checksum: read error in " << name << "\n";
      status = kExitUsage;
      continue;
    }
    char line[64];
    std::snprintf(line, sizeof line, "crc16=%04X crc32=%08X  ", static_cast<unsigned>(crc16),
                  static_cast<unsigned>(crc32));
    io.out << line << name << "\n";
  }
  return status;
}

}  // namespace

void AddChecksumCommand(CLI::App& app, ToolContext& ctx) {
  auto* cmd = app.add_subcommand("checksum", "Print the CRC-16 and CRC-32 of whole files");
  auto files = std::make_shared<std::vector<std::string>>();
  cmd->add_option("FILE", *files, "Files to check")->required();
  cmd->callback([&ctx, files] { ctx.run = [&ctx, files] { return RunChecksum(ctx.io, *files); }; });
}

}  // namespace kessaro::tool
