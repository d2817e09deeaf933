// Variations base files come from outside: the input holds the three files (".vpb", ".vim",
// ".vdm"), the first two behind 32-bit lengths. Opening and reading every variation must
// stay within the files and end.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzTarget.h"
#include "bases/VarsBase.h"

using namespace kessaro;

namespace {

char gBase[] = "/tmp/kessaro-fuzz-vars-XXXXXX";

void RemoveInputs() {
  for (const char* ext : {".vpb", ".vim", ".vdm"}) unlink((std::string(gBase) + ext).c_str());
  unlink(gBase);
}

const std::string& Base() {
  static const std::string base = [] {
    const int fd = mkstemp(gBase);
    if (fd < 0) std::abort();
    close(fd);
    std::atexit(RemoveInputs);
    return std::string(gBase);
  }();
  return base;
}

std::size_t Part(const std::uint8_t* data, std::size_t size, std::size_t& at, const char* ext) {
  std::size_t length = size - at;
  if (ext != nullptr && std::string(ext) != ".vdm") {
    if (at + 4 > size) return 0;
    length = static_cast<std::size_t>(data[at]) | data[at + 1] << 8 | data[at + 2] << 16 |
             static_cast<std::size_t>(data[at + 3]) << 24;
    at += 4;
    if (length > size - at) length = size - at;
  }
  FILE* f = std::fopen((Base() + ext).c_str(), "wb");
  if (f == nullptr) std::abort();
  if (length > 0 && std::fwrite(data + at, 1, length, f) != length) std::abort();
  std::fclose(f);
  at += length;
  return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  for (const char* ext : {".vpb", ".vim", ".vdm"}) Part(data, size, at, ext);
  for (bool mapped : {true, false}) {
    TVarsBase vars;
    vars.SetMapped(mapped);
    if (!vars.Open(Base())) continue;
    const std::uint32_t count = vars.VariationCount() < 2000 ? vars.VariationCount() : 2000;
    for (std::uint32_t n = 0; n <= count + 1; ++n) {
      TVar v;
      if (vars.ReadVar(n, v)) TransformVar(v, static_cast<TSymmetry>(n & 15));
    }
    vars.Identity();
    vars.RecordedCount();
    vars.TakeErrors();
  }
  return 0;
}
