// The list of complete files that an interrupted build leaves in its folder: whatever it
// says, finishing the build moves only regular files of the build folder to the same place
// inside the home, and never a folder.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzTarget.h"
#include "bases/DatabaseBuilder.h"

using namespace kessaro;
namespace fs = std::filesystem;

namespace {

char gRoot[] = "/tmp/kessaro-fuzz-commit-XXXXXX";

void RemoveRoot() {
  std::error_code ec;
  fs::remove_all(gRoot, ec);
}

const std::string& Root() {
  static const std::string root = [] {
    if (mkdtemp(gRoot) == nullptr) std::abort();
    std::atexit(RemoveRoot);
    return std::string(gRoot);
  }();
  return root;
}

void Touch(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fputs("x", f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string home = Root() + "/home";
  std::error_code ec;
  fs::remove_all(Root(), ec);
  fs::create_directories(home + "/.build-a/Net/deep", ec);
  fs::create_directories(home + "/Net", ec);
  Touch(home + "/.build-a/Net/a.net");
  Touch(home + "/.build-a/Net/deep/b.net");
  Touch(home + "/Net/old.net");
  FILE* f = std::fopen((home + "/.build-a/commit").c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  FinishInterruptedBuilds(home);

  // Nothing left the home, no folder was moved, and the build folder is gone unless a
  // rename failed.
  for (const auto& e : fs::directory_iterator(Root(), ec))
    if (e.path().filename() != "home") std::abort();
  if (!fs::is_directory(home + "/Net") || !fs::exists(home + "/Net/old.net")) std::abort();
  if (fs::exists(home + "/.build-a/Net") && !fs::is_directory(home + "/.build-a/Net")) std::abort();
  return 0;
}
