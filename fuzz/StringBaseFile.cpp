// String base files are user data from disk: any pair of holder and tag files must open or
// fail cleanly, every ID must read without leaving the files, and writes on a base that opened
// must never change another ID's text.
//
// Input: a 4-byte little-endian length n, n bytes of the ".str" file, the rest the ".sid"
// file (a shorter input is all holder file and no tag file).

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "FuzzTarget.h"
#include "strings/StringBase.h"

using namespace kessaro;

namespace {

char gFolder[] = "/tmp/kessaro-fuzz-strbase-XXXXXX";

std::string Stem() {
  static const std::string stem = [] {
    if (mkdtemp(gFolder) == nullptr) std::abort();
    std::atexit([] {
      for (const char* ext : {".str", ".sid", ".str.saving", ".sid.saving"})
        unlink((std::string(gFolder) + "/base" + ext).c_str());
      rmdir(gFolder);
    });
    return std::string(gFolder) + "/base";
  }();
  return stem;
}

void Put(const std::string& path, const std::uint8_t* data, std::size_t size, bool present) {
  unlink(path.c_str());
  if (!present) return;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

constexpr std::uint32_t kIdLimit = 2000;

// The text of every ID that reads without an error.
std::map<std::uint32_t, TStringSet> ReadAll(TStringBase& base) {
  std::map<std::uint32_t, TStringSet> sound;
  base.TakeErrors();
  const std::uint32_t last = std::min(base.MaxID(), kIdLimit);
  for (std::uint32_t id = 0; id <= last + 1; ++id) {
    TStringSet s;
    base.Read(id, s);
    s.BestText();
    s.GetLanguages();
    if (base.TakeErrors() == 0) sound[id] = s;
  }
  base.ForEachRecord([](const TStringRecordInfo&) {});
  return sound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 20) return 0;
  const std::string stem = Stem();
  std::size_t strSize = size;
  bool haveTags = false;
  if (size >= 4) {
    const std::uint32_t n =
        data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    if (n <= size - 4) {
      strSize = n;
      haveTags = true;
      data += 4;
      size -= 4;
    }
  }
  const std::uint8_t* tags = data + strSize;
  const std::size_t tagSize = size - strSize;

  for (const bool mapped : {true, false}) {
    Put(stem + ".str", data, strSize, true);
    Put(stem + ".sid", tags, tagSize, haveTags);
    {
      TStringBase reader;
      reader.SetReadOnly(true);
      reader.SetMappedTags(mapped);
      if (reader.Open(stem)) ReadAll(reader);
      reader.TakeErrors();
    }

    // Writable: rewrite a few IDs with texts of varied sizes, delete one, save, and check that
    // every other sound ID still reads as before.
    std::map<std::uint32_t, TStringSet> before, changed;
    {
      TStringBase writer;
      writer.SetMappedTags(mapped);
      if (!writer.Open(stem)) continue;
      before = ReadAll(writer);
      const std::uint32_t top = std::min(writer.MaxID(), kIdLimit);
      for (std::uint32_t k = 0; k < 6; ++k) {
        const std::uint32_t id = 1 + (k * 7 + static_cast<std::uint32_t>(size)) % (top + 3);
        TStringSet s;
        s.SetText(kEnglish, std::string(1 + (k * 5 + size) % 23, static_cast<char>('a' + k)));
        if (k == 4) s.Clear();
        writer.Write(id, &s);
        changed[id] = s;
      }
      writer.TakeErrors();
    }
    TStringBase check;
    check.SetReadOnly(true);
    check.SetMappedTags(mapped);
    if (!check.Open(stem)) std::abort();  // a base that opened and saved must open again
    for (const auto& [id, set] : before) {
      if (changed.count(id) != 0) continue;
      TStringSet now;
      check.Read(id, now);
      if (!(now == set)) std::abort();
    }
    for (const auto& [id, set] : changed) {
      TStringSet now;
      check.Read(id, now);
      if (!(now == set)) std::abort();
    }
  }
  return 0;
}
