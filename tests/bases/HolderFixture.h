#pragma once
// Small joseki databases built in the test through the writers: nets, sub-nets, statistics
// and sub bases.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bases/Nety.h"
#include "bases/Statistic.h"
#include "bases/SubBase.h"
#include "bases/SubNety.h"

namespace kessaro::test {

struct TNetItem {
  NetRecord Record;
  TNetRecordKind Kind = nkNode;
};
using TNetItems = std::vector<TNetItem>;

inline TNetItem Node(std::uint32_t i, std::uint32_t parent, std::uint32_t next, std::uint32_t child,
                     TMoveWord move, std::uint8_t flags = 0, std::uint8_t annotation = 0) {
  TNetItem item;
  item.Record.Index = i;
  item.Record.SetParent(parent);
  item.Record.SetNext(next);
  item.Record.SetChild(child);
  item.Record.SetMove(move);
  item.Record.SetNodeFlags(flags);
  item.Record.SetAnnotation(annotation);
  return item;
}

struct TGameRefFields {
  std::uint32_t GameId = 0;
  std::int16_t ContIndex = -1;
  std::int16_t ContLast = -1;
  std::uint8_t OriginX = 0, OriginY = 0, BoardSize = 19, Symmetry = 0;
};

inline TNetItem GameRef(std::uint32_t i, const TGameRefFields& f) {
  TNetItem item;
  item.Kind = nkGameRef;
  item.Record.Index = i;
  item.Record.SetGameId(f.GameId);
  item.Record.SetContMove(kNoMove);
  item.Record.SetContIndex(f.ContIndex);
  item.Record.SetContLast(f.ContLast);
  item.Record.SetOrigin(f.OriginX, f.OriginY);
  item.Record.SetGameBoardSize(f.BoardSize);
  item.Record.SetGameSymmetry(f.Symmetry);
  return item;
}

inline TNetItem Junction(std::uint32_t i, std::uint32_t entry, std::uint32_t shared,
                         std::uint32_t alternate = 0) {
  TNetItem item;
  item.Kind = nkJunction;
  item.Record.Index = i;
  item.Record.SetEntry(entry);
  item.Record.SetSharedChild(shared);
  item.Record.SetAlternate(alternate);
  return item;
}

struct TNetSpec {
  TNetItems Items;
  int Kind = 3, Width = 7, Height = 7;
  std::uint8_t Flags = netOffered;
  std::string Description = "test net";
  double Created = 45000.25;
  TMatrix Start;  // empty: an all-empty region
};

// Writes the net; returns its identity as the reader sees it.
inline std::uint32_t WriteNet(const std::string& path, const TNetSpec& shape) {
  {
    TNetyFile net;
    net.SetReadOnly(false);
    if (!net.CreateNew(path)) return 0;
    net.Header().SetCreated(shape.Created);
    net.Header().SetRegion(shape.Kind, shape.Width, shape.Height);
    net.Header().SetStartPosition(
        shape.Start.empty() ? TMatrix(static_cast<std::size_t>(shape.Width * shape.Height), 0)
                            : shape.Start);
    net.Header().SetNetFlags(shape.Flags);
    net.Header().SetDescription(shape.Description);
    for (const TNetItem& item : shape.Items) net.WriteRecord(item.Record, item.Kind);
    net.Close();
  }
  TNetyFile net;
  return net.Open(path) ? net.Identity() : 0;
}

// A corner net with every link the sub-net walks:
//   root list 1 (B c3), 2 (B d3); node 1 turns its children by code 1 (swap x and y).
//   3 (W under 1) and 4 (W under 2) transpose: 3 -> 4 -> junction 5 -> shared children 6.
//   6, 7, 8 share the position; 8 has games (reference 9). 10 under 6 leads back to the
//   position of 6 through junction 11 (a repeat).
inline TNetSpec RingNet() {
  TNetSpec shape;
  shape.Items = {
      Node(1, 0, 2, 3, MakeMove(2, 2), 0x01),
      Node(2, 0, 0, 4, MakeMove(3, 2)),
      Node(3, 1, 0, 4, MakeMove(2, 3, true), nfLink),
      Node(4, 2, 0, 5, MakeMove(2, 2, true), nfLink | nfViaJunction),
      Junction(5, 3, 6),
      Node(6, 4, 7, 10, MakeMove(4, 4), 0, 2 * 13 + 1),
      Node(7, 4, 8, 0, MakeMove(5, 4)),
      Node(8, 4, 0, 9, MakeMove(4, 5), nfHasGames),
      GameRef(9, {.GameId = kVarGameIdFirst + 1}),
      Node(10, 6, 0, 11, MakeMove(3, 3, true), nfLink | nfViaJunction),
      Junction(11, 10, 6),
  };
  return shape;
}

struct TSubNetSpec {
  std::uint32_t NetIdentity = 0, SubBaseIdentity = 0;
  std::uint32_t NodeCount = 0;
  std::vector<std::uint32_t> Selected;  // empty with UseSelection false: no selection
  bool UseSelection = false;
  std::vector<std::uint32_t> GameEndRanks;
  std::uint32_t OrderKey = 0;
  std::string MenuPath = "Joseki\\Corner";
  std::string Name = "Corner joseki";
};

// Writes a sub-net bound to a net and sub base by identity; returns its identity.
inline std::uint32_t WriteSubNet(const std::string& path, TNetyFile& net, TSubBase& subBase,
                                 const TSubNetSpec& shape) {
  {
    TSubNety sub;
    sub.SetReadOnly(false);
    if (!sub.CreateNew(path)) return 0;
    sub.Attach(&subBase, &net, nullptr);
    if (shape.UseSelection) {
      for (std::uint32_t i : shape.Selected) sub.Select(i);
      for (std::uint32_t r : shape.GameEndRanks) sub.MarkGameEnd(r);
    } else {
      sub.DropSelection();  // every record belongs: the file carries no fields
    }
    sub.SetOrderKey(shape.OrderKey);
    sub.SetMenuPath(shape.MenuPath);
    sub.SetNetName(shape.Name);
    sub.SetTotals(10, 4, 55);
    sub.Close();
  }
  TSubNety sub;
  return sub.Open(path) ? sub.Identity() : 0;
}

inline StatRecord Stat(std::uint32_t proWins, std::uint32_t kyuUnknown = 0,
                       std::uint8_t strongest = 0) {
  StatRecord r;
  r.Strongest = {strongest, 0};
  r.Triples[scPro].MoverWins = proWins;
  r.Triples[scKyu].Unknown = kyuUnknown;
  return r;
}

inline void WriteStats(const std::string& path, std::uint32_t owner,
                       const std::map<std::uint32_t, StatRecord>& records) {
  TStatistic s;
  s.SetReadOnly(false);
  s.Open(path);
  s.SetOwnerIdentity(owner);
  s.SetCounterCount(6);
  for (const auto& [index, record] : records) s.WriteRecord(index, record);
  s.Close();
}

}  // namespace kessaro::test
