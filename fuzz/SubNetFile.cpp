// Sub-net files come from outside, and so do the nets they walk. The input is a net and a
// sub-net (a 32-bit length of the net part first); the sub-net's stored identities are made
// to match, so that it binds and every expansion, path and transposition walk is reached.
// Each must stay within the files and end.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "bases/SubNety.h"
#include "board/CheckSum.h"
#include "records/BoardFormFunc.h"

using namespace kessaro;

namespace {

char gNet[] = "/tmp/kessaro-fuzz-snnet-XXXXXX";
char gSub[] = "/tmp/kessaro-fuzz-sns-XXXXXX";

void RemoveInputs() {
  unlink(gNet);
  unlink(gSub);
}

void MakeInputs() {
  static const bool made = [] {
    for (char* p : {gNet, gSub}) {
      const int fd = mkstemp(p);
      if (fd < 0) std::abort();
      close(fd);
    }
    std::atexit(RemoveInputs);
    return true;
  }();
  (void)made;
}

void WriteFile(const char* path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

void PutLE32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MakeInputs();
  if (size < 4) return 0;
  std::size_t netSize = static_cast<std::size_t>(data[0]) | data[1] << 8 | data[2] << 16 |
                        static_cast<std::size_t>(data[3]) << 24;
  if (netSize > size - 4) netSize = size - 4;
  WriteFile(gNet, data + 4, netSize);
  TNetyFile net;
  if (!net.Open(gNet)) return 0;
  TSubBase subBase;
  subBase.Bind(nullptr, nullptr, nullptr);

  std::vector<std::uint8_t> sub(data + 4 + netSize, data + size);
  if (sub.size() >= 4 + kSubNetHeaderSize) {
    PutLE32(sub, 4 + kSnNetIdentity, net.Identity());
    PutLE32(sub, 4 + kSnSubBaseIdentity, subBase.Identity());
    const std::uint16_t crc = Crc16(sub.data() + 4, kSnHeaderCrc);
    sub[4 + kSnHeaderCrc] = static_cast<std::uint8_t>(crc);
    sub[4 + kSnHeaderCrc + 1] = static_cast<std::uint8_t>(crc >> 8);
  }
  WriteFile(gSub, sub.data(), sub.size());
  TSubNety subNet;
  if (!subNet.Open(gSub) || !subNet.Attach(&subBase, &net, nullptr)) return 0;
  subNet.LoadBitFields();

  TSequence* root = NewNodeUnder(nullptr);
  subNet.ExpandRoot(root);
  std::vector<TSequence*> queue{root};
  for (std::size_t i = 0; i < queue.size() && queue.size() < 300; ++i)
    for (TSequence* c = queue[i]->FirstChild; c != nullptr && queue.size() < 300;
         c = c->NextSibling) {
      subNet.ExpandNode(c);
      queue.push_back(c);
    }
  ANetyMoves family;
  for (std::size_t i = 1; i < queue.size() && i < 30; ++i)
    subNet.TranspositionFamily(queue[i], family);
  const std::uint32_t last = net.NodeCount() < 64 ? net.NodeCount() : 64;
  for (std::uint32_t i = 1; i <= last; ++i) {
    APoint moves;
    TSymmetry code;
    subNet.PathToRecord(i, moves, code);
  }
  ReleaseTree(root);
  subNet.SelectedCount();
  subNet.TakeErrors();
  return 0;
}
