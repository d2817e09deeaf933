#include "platform/UserHome.h"

#include <cstdlib>
#include <filesystem>

namespace kessaro {

std::string UserHomeDir() {
  if (const char* home = std::getenv("KESSARO_HOME"); home && *home) return home;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
    return (std::filesystem::path(xdg) / "Kessaro").string();
  const char* user = std::getenv("HOME");
  return (std::filesystem::path(user && *user ? user : ".") / ".local/share/Kessaro").string();
}

std::string UserHomePath(const std::string& relative) {
  return (std::filesystem::path(UserHomeDir()) / relative).string();
}

std::string ProgramDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  const auto dir = exe.parent_path();
  if (std::filesystem::is_directory(dir / "share")) return (dir / "share").string();
  return dir.string();
}

}  // namespace kessaro
