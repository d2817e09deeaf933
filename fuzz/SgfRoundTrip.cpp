// What the reader read, the writer writes and the reader reads again: the main line of every
// game must come back move for move, with the players' names. A game without moves is written
// as a root node alone, which the reader rejects by design, so those are not compared.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"
#include "records/SaveSequence.h"

using namespace kessaro;

namespace {

std::vector<std::pair<std::uint16_t, bool>> MainLine(const TSequence* root) {
  std::vector<std::pair<std::uint16_t, bool>> moves;
  for (const TSequence* n = root->FirstChild; n; n = n->FirstChild)
    moves.emplace_back(n->Point, (n->Flags & sfBlack) != 0);
  return moves;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TSequence first;
  LoadGamesFromBytes(&first, data, size, EmptyNodeAsPass, {});
  for (const TSequence* root = &first; root && root->Data; root = root->NextSibling) {
    if (!root->FirstChild) continue;
    const TSequence* last = root;
    while (last->FirstChild) last = last->FirstChild;
    const std::string text = BuildSequenceText(last, 0, WriteGameInfo | KeepSourceAndUser);
    TSequence again;
    LoadGamesFromBytes(&again, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0,
                       {});
    if (!again.Data || again.NextSibling || MainLine(&again) != MainLine(root)) std::abort();
    const TGame* a = root->Data->Game();
    const TGame* b = again.Data->Game();
    if (a->Info.BlackPlayer->GetText(0) != b->Info.BlackPlayer->GetText(0)) std::abort();
    ClearRoot(&again);
  }
  ClearRoot(&first);
  return 0;
}
