#include "bases/NetNodeData.h"

#include "records/GameFunc.h"

namespace kessaro {

TNetRootData::TNetRootData() {
  InitGame(GameRecord);
}
TNetRootData::~TNetRootData() {
  FreeGame(GameRecord);
}

std::unique_ptr<TNodeData> TNetRootData::Clone() const {
  auto copy = std::make_unique<TNetRootData>();
  CopyGame(GameRecord, copy->GameRecord);
  copy->Stats = Stats;
  return copy;
}

}  // namespace kessaro
