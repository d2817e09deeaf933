#pragma once
// Harnesses whose readers open files by name write each input to one scratch file of their
// process, created on first use and removed at exit.

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline const char* ScratchPath() {
  // A plain array: it must outlive the exit handler that removes the file.
  static char path[] = "/tmp/kessaro-fuzz-XXXXXX";
  static const bool made = [] {
    const int fd = mkstemp(path);
    if (fd < 0) std::abort();
    close(fd);
    std::atexit([] { unlink(path); });
    return true;
  }();
  (void)made;
  return path;
}

inline void WriteScratch(const void* data, std::size_t size) {
  FILE* f = std::fopen(ScratchPath(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

}  // namespace fuzz
