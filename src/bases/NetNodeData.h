#pragma once
// The net node kinds of the move tree: a net window's root (the game being replayed with the
// root position's statistics), its net nodes and the net nodes that continue into a game.

#include <memory>

#include "bases/Nety.h"
#include "bases/Statistic.h"
#include "records/BoardFormTypes.h"

namespace kessaro {

// Kind 3: the game being replayed in a net window and the statistics of the root position.
class TNetRootData : public TNodeData {
 public:
  TNetRootData();
  ~TNetRootData() override;
  TNetRootData(const TNetRootData&) = delete;
  TNetRootData& operator=(const TNetRootData&) = delete;
  std::unique_ptr<TNodeData> Clone() const override;
  TGame* Game() override { return &GameRecord; }

  TGameRoot GameRecord;
  StatRecord Stats;
};

// Kind 5: a net node, its own statistics and the statistics summed over its transpositions.
class TNetNodeData : public TNodeData {
 public:
  std::unique_ptr<TNodeData> Clone() const override {
    return std::make_unique<TNetNodeData>(*this);
  }

  NetRecord Node;
  StatRecord Stats;
  StatRecord SumStats;
};

// Kind 7: a net node with a game continuation: the game reference and the game record it
// was loaded into (the root's, not owned; null while not loaded).
class TNetGameNodeData : public TNetNodeData {
 public:
  std::unique_ptr<TNodeData> Clone() const override {
    auto copy = std::make_unique<TNetGameNodeData>(*this);
    copy->LoadedGame = nullptr;  // the copy's tree has a root of its own
    return copy;
  }

  NetRecord GameRef;
  TGame* LoadedGame = nullptr;
};

}  // namespace kessaro
