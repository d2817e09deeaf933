// The whole position base as the program opens it: the ".pos" file, its comment and source
// name bases, their backups and a commit record a kill may have left. Any set of files must
// open or fail cleanly (the backup restore and the commit recovery included), every listed
// move's comment must read, and a move stored with a comment must be found again with it
// after the save.
//
// Input: a byte whose bits say which of the eight files exist, then per existing file a
// 16-bit little-endian length and that many bytes (fewer when the input ends). Files, in bit
// order: .pos, .str, .sid, .ltr, .lid, .sbk, .lbk, .pos.commit.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "FuzzTarget.h"
#include "bases/PositionBase.h"
#include "board/PositionFunc.h"

using namespace kessaro;

namespace {

const char* const kExts[] = {".pos", ".str", ".sid", ".ltr", ".lid", ".sbk", ".lbk", ".pos.commit"};
char gFolder[] = "/tmp/kessaro-fuzz-posset-XXXXXX";

std::string Stem() {
  static const std::string stem = [] {
    if (mkdtemp(gFolder) == nullptr) std::abort();
    std::atexit([] {
      for (const char* ext : kExts) {
        unlink((std::string(gFolder) + "/Data" + ext).c_str());
        unlink((std::string(gFolder) + "/Data" + ext + ".saving").c_str());
      }
      rmdir(gFolder);
    });
    return std::string(gFolder) + "/Data";
  }();
  return stem;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

TMatrix Board(int seed) {
  TMatrix m(81, 0);
  m[static_cast<std::size_t>(seed % 81)] = 1;
  m[static_cast<std::size_t>((seed * 7 + 3) % 81)] = 2;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string stem = Stem();
  for (const char* ext : kExts) {
    unlink((stem + ext).c_str());
    unlink((stem + ext + ".saving").c_str());
  }
  const std::uint8_t present = data[0];
  std::size_t at = 1;
  for (int i = 0; i < 8; ++i) {
    if (!(present & (1u << i))) continue;
    std::size_t n = 0;
    if (at + 2 <= size) n = data[at] | data[at + 1] << 8;
    at = std::min(size, at + 2);
    n = std::min(n, size - at);
    Put(stem + kExts[i], data + at, n);
    at += n;
  }

  const TRegionWord region = MakeRegion(rkWholeBoard, 9, 9);
  const TMatrix board = Board(static_cast<int>(size));
  const bool save = size % 4 == 0;  // a save syncs: one input in four
  bool stored = false;
  {
    TPositionBase base;
    base.SetReadOnly(false);
    base.CommentBase().OnAskRestore = [](TStringBase&, const std::string&) { return true; };
    base.LetterBase().OnAskRestore = [](TStringBase&, const std::string&) { return true; };
    if (!base.Open(stem)) return 0;
    CheckPositionBase(base);
    int listed = 0;
    ForEachPosition(base, [&](const TPosTable&, const TPosRecord& r) {
      TPosMoves moves;
      if (++listed > 100 || !DecodePosMoves(r.Data, moves)) return;
      for (const auto& m : moves) {
        TStringSet s;
        base.CommentBase().Read(m.Comment, s);
        s.BestText();
      }
    });
    for (std::uint32_t id = 0; id < 8; ++id) {
      TStringSet s;
      base.LetterBase().Read(id, s);
    }
    base.TakeErrors();
    if (save && base.CommentBase().MaxID() < kMaxStringID) {
      auto comment = std::make_unique<TStringSet>();
      comment->SetText(1033, "fuzz");
      const std::uint32_t id = base.CommentBase().MaxID() + 1;
      base.CommentBase().Write(id, comment.get());
      stored = base.StoreMoves(board, region, {{MakeMove(4, 4), 0, kPosMoveFromGames, id}}) &&
               base.TakeErrors() == 0;
    } else {
      base.SetSaveEnabled(false);
    }
    base.Close();
    stored = stored && base.TakeErrors() == 0;
  }
  if (!stored) return 0;
  TPositionBase again;
  again.SetReadOnly(true);
  Check(again.Open(stem), "a saved base does not open");
  TPosMoves moves;
  Check(again.FindMoves(board, region, moves) && moves.size() == 1, "stored move lost");
  TStringSet s;
  again.CommentBase().Read(moves[0].Comment, s);
  Check(s.GetText(1033) == "fuzz", "stored comment lost");
  return 0;
}
