// A folder of hostile database files: the input packs up to a dozen files (a kind byte, a
// 32-bit length, the bytes) that are written into the standard folders of a user home. The
// holder must load, drop or bind them without crashing, and every walk over the sub-nets it
// offers must end.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "bases/BaseHolder.h"
#include "records/BoardFormFunc.h"

using namespace kessaro;

namespace {

char gHome[] = "/tmp/kessaro-fuzz-home-XXXXXX";

void RemoveHome() {
  std::error_code ec;
  std::filesystem::remove_all(gHome, ec);
}

const std::string& Home() {
  static const std::string home = [] {
    if (mkdtemp(gHome) == nullptr) std::abort();
    std::atexit(RemoveHome);
    return std::string(gHome);
  }();
  return home;
}

const char* const kNames[] = {"Net/a.net",          "Net/b.net",          "Net/deep/c.net",
                              "Sub Base/a.sns",     "Sub Base/b.sns",     "Sub Base/a.sbs",
                              "Sub Base/b.sbs",     "Sub Base/a.stc",     "Net/b.stc",
                              "Vars Base/Vars.vpb", "Vars Base/Vars.vim", "Vars Base/Vars.vdm"};
constexpr std::size_t kKinds = sizeof kNames / sizeof kNames[0];

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// Expands a bounded number of nodes breadth first, game tails included.
void Walk(TSubNety* net) {
  if (net == nullptr) return;
  TSequence* root = NewNodeUnder(nullptr);
  net->ExpandRoot(root);
  std::vector<TSequence*> queue{root};
  for (std::size_t i = 0; i < queue.size() && queue.size() < 400; ++i) {
    for (TSequence* c = queue[i]->FirstChild; c != nullptr && queue.size() < 400;
         c = c->NextSibling) {
      net->ExpandNode(c);
      queue.push_back(c);
    }
  }
  ANetyMoves family;
  for (std::size_t i = 1; i < queue.size() && i < 40; ++i) {
    net->TranspositionFamily(queue[i], family);
    if (queue[i]->Data != nullptr && queue[i]->Kind == skNetNode) {
      APoint moves;
      TSymmetry code;
      net->PathToRecord(static_cast<TNetNodeData*>(queue[i]->Data)->Node.Index, moves, code);
    }
  }
  net->CollapseSiblings(root->FirstChild);
  ReleaseTree(root);
  net->TakeErrors();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  const std::string& home = Home();
  std::error_code ec;
  for (const char* dir : {"Net", "Sub Base", "Vars Base", "Index", "User Game Base"})
    fs::remove_all(home + "/" + dir, ec);
  for (const char* dir : {"Net/deep", "Sub Base", "Vars Base", "Index", "User Game Base"})
    fs::create_directories(home + "/" + dir, ec);
  std::size_t at = 0;
  for (int files = 0; files < 12 && at + 5 <= size; ++files) {
    const std::size_t kind = data[at] % kKinds;
    std::size_t length = static_cast<std::size_t>(data[at + 1]) | data[at + 2] << 8 |
                         data[at + 3] << 16 | static_cast<std::size_t>(data[at + 4]) << 24;
    at += 5;
    if (length > size - at) length = size - at;
    WriteFile(home + "/" + kNames[kind], data + at, length);
    at += length;
  }
  TBaseHolder holder;
  holder.ApplyStartDirs(DefaultHolderDirs(home));
  Walk(holder.JosekiNet());
  Walk(holder.FusekiNet());
  for (std::size_t i = 0; i < holder.SubNetCount() && i < 4; ++i) Walk(holder.SubNetAt(i));
  holder.BuildMenu({}, {});
  return 0;
}
