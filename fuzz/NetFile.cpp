// Net files come from outside: any bytes must open or fail cleanly, and every walk a reader
// makes over an opened net (records of each kind, child lists, rings, the whole check) must
// stay inside the file and end.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzTarget.h"
#include "ScratchFile.h"
#include "bases/Nety.h"

using namespace kessaro;

namespace {

void Walk(bool mapped) {
  TNetyFile net;
  net.SetMapped(mapped);
  if (!net.Open(fuzz::ScratchPath())) return;
  CheckNet(net);
  ANetyMoves list;
  NetRecord r, junction;
  net.ListChildren(NetRecord{}, list);
  const std::uint32_t last = net.NodeCount() < 4096 ? net.NodeCount() + 1 : 4096;
  for (std::uint32_t i = 0; i <= last; ++i) {
    net.ReadNode(i, r);
    net.ListChildren(r, list);
    net.ResolveChildrenJunction(r, junction);
    net.LinkTarget(r);
    TMoveWord m = r.Move();
    net.TransformMove(m, static_cast<TSymmetry>(i & 15));
    net.ReadGameRef(i, r);
    net.ReadJunction(i, r);
  }
  TMatrix start;
  net.GetStartPosition(start);
  net.Identity();
  net.TakeErrors();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WriteScratch(data, size);
  Walk(true);
  Walk(false);
  return 0;
}
