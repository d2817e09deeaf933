#include "workspace/SubNetyInformation.h"

#include <cstdio>

#include "bases/SubBase.h"
#include "bases/SubNety.h"

namespace kessaro {

TInfoLines SubNetInformationLines(const TSubNetSummary& s) {
  const std::string unknown = "Unknown";
  TInfoLines lines;
  lines.emplace_back("Name", s.NetName.substr(0, s.NetName.find('\0')));
  lines.emplace_back();
  lines.emplace_back("Original variations", std::to_string(s.OriginalVariations));
  lines.emplace_back("Base modification date", FormatIsoDate(s.BaseModified));
  lines.emplace_back();
  std::string average = unknown;
  if (s.TotalGames > 0 && s.TotalVariations > 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f",
                  static_cast<double>(s.TotalMoves) / static_cast<double>(s.TotalVariations));
    average = buffer;
  }
  lines.emplace_back("Average variation length", average);
  lines.emplace_back("Total variations",
                     s.TotalVariations > 0 ? std::to_string(s.TotalVariations) : unknown);
  lines.emplace_back("Total moves number",
                     s.TotalGames > 0 ? std::to_string(s.TotalMoves) : unknown);
  lines.emplace_back("Tree modification date", FormatIsoDate(s.TreeModified));
  return lines;
}

TSubNetSummary SummaryOf(const TSubNety& net) {
  TSubNetSummary s;
  s.NetName = net.NetName();
  if (const TSubBase* base = net.SubBase()) {
    for (TSubBasePart part : {spGame, spUser, spVars})
      s.OriginalVariations += base->RecordedCount(part);
    s.BaseModified = base->Modified();
  }
  s.TotalVariations = net.TotalVariations();
  s.TotalGames = net.TotalGames();
  s.TotalMoves = net.TotalMoves();
  s.TreeModified = net.Modified();
  return s;
}

void TSubNetyInformation::SetNet(const TSubNety* net) {
  if (net == net_) return;
  net_ = net;
  Lines.clear();
  if (net != nullptr) Lines = SubNetInformationLines(SummaryOf(*net));
}

}  // namespace kessaro
