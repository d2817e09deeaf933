#pragma once
// The database build's fourth stage: the files of the database written into the build's
// temporary folder. The net with its records; the statistic of every record, whose owner
// (the sub-net) is known only at the end; the variations base with the referenced games (on
// a thread of its own when the build reads with several threads); the sub base over the
// variations base alone, the sub-net that binds it to the net, and the sort indexes.

#include <cstdint>
#include <string>
#include <vector>

#include "bases/BuildGames.h"
#include "bases/BuildNetGraph.h"
#include "bases/BuildRecords.h"
#include "bases/DatabaseBuilder.h"

namespace kessaro {

struct TBuildContents {
  const TBuildOptions& Options;
  TNetGraph& Graph;
  const TNetLayout& Layout;
  const std::vector<TGameEntry>& Games;
  const std::vector<TCornerSeq>& Seqs;
  const TBuildSummary& Counts;  // of the reading stage
};

struct TWrittenFiles {
  std::vector<std::string> Files;  // paths inside the folder, in the order they are listed
  std::uint32_t NetRecords = 0;
};

// Writes every file into `folder` (with a trailing slash). False with `error` set on failure,
// the folder then holding what was written so far. `homeText` is the home as the user gave
// it, for messages.
bool WriteBuildFiles(const std::string& folder, const std::string& homeText,
                     const TBuildContents& contents, TWrittenFiles& written, std::string& error);

}  // namespace kessaro
