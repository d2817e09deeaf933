#pragma once
// Several numbered comments, each multilingual and tied to a source and page, kept in one
// string set: per language a chain of quoted items |#n[Ss[Pp]]@text| joined by "v".

#include <cstdint>
#include <vector>

#include "records/GameTypes.h"

namespace kessaro {

struct TSComment {
  PStringSet Texts;  // null: no entry with this number
  std::int32_t Source = 0;
  std::int32_t Page = 0;
};
// Entry number n is at index n - 1.
using TSComments = std::vector<TSComment>;

// Highest entry number read; items with larger numbers are skipped, so that a stored text can
// never make the list grow beyond this.
constexpr std::int32_t kMaxCommentEntries = 0xFFFF;

// Reads the chains of every language of set except -1 into list (which may already hold
// entries: texts are set per language, source and page overwritten). A null set reads nothing.
void ParseComments(const TStringSet* set, TSComments& list);
// Creates set when absent, keeps its language -1 text, and replaces everything else by the
// chains of list. False when a language's chain would exceed the longest text a set holds; the
// items that fit are kept.
bool BuildComments(const TSComments& list, PStringSet& set);
void FreeComments(TSComments& list);

}  // namespace kessaro
