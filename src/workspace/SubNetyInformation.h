#pragma once
// The sub-net information pane: facts about the sub-net at the root of a net window.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/DateTime.h"

namespace kessaro {

class TSubNety;

// What the pane shows of a sub-net and its sub base.
struct TSubNetSummary {
  std::string NetName;
  std::int64_t OriginalVariations = 0;  // the sub base's three source counts
  TDateTime BaseModified = 0;
  std::int64_t TotalVariations = 0, TotalGames = 0, TotalMoves = 0;
  TDateTime TreeModified = 0;
};

using TInfoLines = std::vector<std::pair<std::string, std::string>>;

// The pane's lines (caption, value); an empty pair is a blank line. Every figure that cannot be
// computed reads "Unknown": the average also when there are games but no variations.
TInfoLines SubNetInformationLines(const TSubNetSummary& s);
TSubNetSummary SummaryOf(const TSubNety& net);

class TSubNetyInformation {
 public:
  void SetNet(const TSubNety* net);
  const TSubNety* Net() const { return net_; }
  TInfoLines Lines;

 private:
  const TSubNety* net_ = nullptr;
};

}  // namespace kessaro
