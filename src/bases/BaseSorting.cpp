#include "bases/BaseSorting.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "board/CheckSum.h"
#include "board/SealedHeader.h"
#include "platform/CodePage.h"
#include "platform/DateTime.h"
#include "records/DateReader.h"
#include "records/GameFunc.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

// Longest key a neighbour search builds; keys are short texts, so this only bounds a walk
// over a hostile trie.
constexpr std::size_t kMaxKeyLength = 4096;
// Offsets are 32-bit: the whole file must stay below 4 GiB.
constexpr std::uint64_t kMaxIndexSize = 0xFFFFFFFFu;

std::string LanguagePrefix(TLanguage language) {
  std::uint8_t bytes[2];
  StoreLE16(bytes, language);
  return std::string(reinterpret_cast<const char*>(bytes), 2);
}

bool IsDateElement(TGameInfoElement e) {
  return e == GI_Date || e == GI_DateNumeric;
}

bool IsSmallNumber(TGameInfoElement e) {
  return e == GI_Handicap || e == GI_BoardSize || e == GI_NumberOfFixedMoves || e == GI_SourceDia ||
         e == GI_Charset;
}

bool IsLargeNumber(TGameInfoElement e) {
  return e == GI_NumberOfMoves || e == GI_SourcePage || e == GI_Komi;
}

std::string DateKey(TDateTime date) {
  const double days = std::floor(date);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9d.%.7f", static_cast<int>(days), date - days);
  return buffer;
}

// A whole decimal number, optionally negative, that fits an int.
bool ParseInt(std::string_view text, int& value) {
  if (text.empty() || text.size() > 10) return false;
  std::size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  if (text[0] == '-') v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

std::string FormatValue(TGameInfoElement type, std::string_view text, TLanguage language) {
  if (IsDateElement(type)) {
    const TDateTime d = DateFromText(text);
    if (HasNumericDate(d)) return DateKey(d);
  } else if (IsSmallNumber(type) || IsLargeNumber(type)) {
    int v = 0;
    if (ParseInt(text, v)) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, IsSmallNumber(type) ? "%.2d" : "%.5d", v);
      return buffer;
    }
  }
  return LowerText(language, text);
}

}  // namespace

std::string LowerText(TLanguage language, std::string_view text) {
  if (IsPlainAscii(text)) {
    std::string s(text);
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
  }
  const std::u16string wide = ToUtf16(language, text);
  if (wide.empty()) return std::string(text);
  std::u16string lower(wide.size() + 16, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = u_strToLower(lower.data(), static_cast<int32_t>(lower.size()), wide.data(),
                                static_cast<int32_t>(wide.size()), "", &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    lower.assign(static_cast<std::size_t>(length) + 1, u'\0');
    status = U_ZERO_ERROR;
    length = u_strToLower(lower.data(), static_cast<int32_t>(lower.size()), wide.data(),
                          static_cast<int32_t>(wide.size()), "", &status);
  }
  if (U_FAILURE(status)) return std::string(text);
  lower.resize(static_cast<std::size_t>(length));
  // Back into the bytes the text came in: UTF-8 stays UTF-8, a code page stays that page.
  const bool utf8 = std::string_view(CodePageName(language)) == "windows-1252" && IsValidUtf8(text);
  const char* target = utf8 ? "UTF-8" : CodePageName(language);
  status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(target, &status);
  if (U_FAILURE(status)) return std::string(text);
  std::string out(lower.size() * 4 + 4, '\0');
  status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                    lower.data(), static_cast<int32_t>(lower.size()), &status);
  ucnv_close(converter);
  if (U_FAILURE(status)) return std::string(text);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string GameSortKey(const TGame& game, const std::vector<TGameInfoElement>& elements) {
  if (elements.empty()) return LanguagePrefix(kNoLanguage);
  const TLanguage language = ElementText(game, elements[0]).Language;
  std::string key = LanguagePrefix(language);
  for (TGameInfoElement e : elements) {
    if (IsDateElement(e) && HasNumericDate(game.Date)) {
      key += DateKey(game.Date);
    } else {
      const std::string text =
          ElementKind(e) == ekText ? ElementTextIn(game, e, language) : ElementText(game, e).Text;
      key += FormatValue(e, text, language);
    }
  }
  return key;
}

std::string TBaseSorting::FormatKey(TGameInfoElement type, std::string_view text,
                                    TLanguage language) {
  return LanguagePrefix(language) + FormatValue(type, text, language);
}

TBaseSorting::TBaseSorting() {
  map_.SetSignature(kSortIndexSignature);
}

TBaseSorting::~TBaseSorting() {
  Close();
}

bool TBaseSorting::SetReadOnly(bool readOnly) {
  if (!Active()) readOnly_ = readOnly;
  return readOnly_;
}

std::uint32_t TBaseSorting::TakeErrors() {
  const std::uint32_t e = errors_ | map_.TakeErrors();
  errors_ = 0;
  return e;
}

std::uint32_t TBaseSorting::U32(std::uint32_t at) const {
  return LoadLE32(header_.data() + at);
}

void TBaseSorting::SetU32(std::uint32_t at, std::uint32_t v) {
  StoreLE32(header_.data() + at, v);
}

double TBaseSorting::Created() const {
  return LoadDouble(header_.data() + kSxCreated);
}

double TBaseSorting::Modified() const {
  return LoadDouble(header_.data() + kSxModified);
}

TGameInfoElement TBaseSorting::KeyElement(std::uint32_t i) const {
  if (i >= kSortKeyElements) return GI_Empty;
  return static_cast<TGameInfoElement>(LoadLE16(header_.data() + kSxKeyElements + 2 * i));
}

bool TBaseSorting::Open(const std::string& fileName) {
  Close();
  errors_ = 0;
  header_.fill(0);
  name_.clear();
  entries_.clear();
  nodes_.clear();
  dirty_ = false;
  map_.SetReadOnly(readOnly_);
  // The writer builds everything in memory and writes it once: positioned writes will do.
  map_.SetMapped(readOnly_);
  if (!map_.Open(fileName)) {
    errors_ |= map_.TakeErrors();
    return false;
  }
  if (map_.DataSize() >= kSortHeaderSize) {
    if (!ReadHeader()) {
      errors_ |= map_.TakeErrors();
      map_.Close();
      map_.TakeErrors();
      return false;
    }
  } else if (readOnly_) {
    errors_ |= ErrFormat;
    map_.Close();
    return false;
  } else {
    FreshHeader();
  }
  if (!readOnly_) nodes_.emplace_back();
  return true;
}

void TBaseSorting::FreshHeader() {
  header_.fill(0);
  const double now = Now();
  StoreDouble(header_.data() + kSxCreated, now);
  StoreDouble(header_.data() + kSxModified, now);
  name_.clear();
  dirty_ = true;
}

bool TBaseSorting::ReadHeader() {
  const bool intact = ReadSealedHeader(map_, header_);
  if (map_.Errors() != 0) return false;
  if (!intact) {
    errors_ |= ErrCorrupt;
    return false;
  }
  const std::uint64_t size = map_.DataSize();
  const std::uint32_t nameLength = U32(kSxNameLength);
  if (kSortHeaderSize + std::uint64_t{nameLength} > size) {
    errors_ |= ErrFormat;
    return false;
  }
  name_.assign(nameLength, '\0');
  map_.Read(name_.data(), kSortHeaderSize, nameLength);
  if (Crc32(name_.data(), name_.size()) != U32(kSxNameCrc)) {
    errors_ |= ErrCorrupt;
    return false;
  }
  const std::uint64_t entryTable = kSortHeaderSize + std::uint64_t{nameLength};
  const std::uint64_t trieBase = entryTable + 4 * std::uint64_t{EntryCount()} + 4;
  if (EntryTable() != entryTable || TrieBase() != trieBase) {
    errors_ |= ErrSortLayout;
    return false;
  }
  // The entry count is hostile: the table must lie inside the file.
  if (trieBase > size) {
    errors_ |= ErrFormat;
    return false;
  }
  return true;
}

void TBaseSorting::Close() {
  if (Active() && !readOnly_ && dirty_ && errors_ == 0 && map_.Errors() == 0) Write();
  map_.Close();
  errors_ |= map_.TakeErrors();
  entries_.clear();
  nodes_.clear();
  dirty_ = false;
}

std::uint32_t TBaseSorting::EntryAt(std::uint32_t i) {
  if (!Active() || i == 0 || i > EntryCount()) return 0;
  if (!readOnly_) return i <= entries_.size() ? entries_[i - 1] : 0;
  std::uint8_t bytes[4];
  map_.Read(bytes, std::int64_t{EntryTable()} + 4 * std::int64_t{i}, 4);
  return LoadLE32(bytes);
}

bool TBaseSorting::ReadNode(std::uint32_t offset, TTrieNode& node) {
  node.Chars.clear();
  node.Items.clear();
  if (!Active()) return false;
  const std::uint64_t size = map_.DataSize();
  const std::uint64_t at = std::uint64_t{TrieBase()} + offset;
  if (at + 4 > size) {
    errors_ |= ErrCorrupt;
    return false;
  }
  std::uint8_t countBytes[2];
  map_.Read(countBytes, static_cast<std::int64_t>(at), 2);
  const std::uint32_t n = LoadLE16(countBytes);
  const std::uint64_t body = 2 + std::uint64_t{n} * (1 + kTrieItemSize);
  if (at + body + 2 > size) {
    errors_ |= ErrCorrupt;
    return false;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(body + 2));
  map_.Read(bytes.data(), static_cast<std::int64_t>(at), static_cast<std::uint32_t>(bytes.size()));
  if (Crc16(bytes.data(), body) != LoadLE16(bytes.data() + body)) {
    errors_ |= ErrCorrupt;
    return false;
  }
  node.Chars.assign(reinterpret_cast<const char*>(bytes.data() + 2), n);
  node.Items.resize(n);
  const std::uint8_t* p = bytes.data() + 2 + n;
  for (std::uint32_t i = 0; i < n; ++i, p += kTrieItemSize)
    node.Items[i] = {LoadLE32(p), LoadLE32(p + 4), LoadLE32(p + 8)};
  return true;
}

int TBaseSorting::FindChild(const TTrieNode& node, char c, TTrieNode::TItem& item) const {
  for (std::size_t i = 0; i < node.Chars.size(); ++i)
    if (node.Chars[i] == c) {
      item = node.Items[i];
      return static_cast<int>(i);
    }
  return -1;
}

TSortRange TBaseSorting::FindRange(std::string_view text) {
  if (!readOnly_ || !Active()) return {};
  const std::uint32_t n = EntryCount();
  if (text.empty()) return n == 0 ? TSortRange{} : TSortRange{1, n};
  TTrieNode node;
  TTrieNode::TItem item;
  std::uint32_t offset = TrieRoot();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!ReadNode(offset, node) || FindChild(node, text[i], item) < 0) return {};
    if (i + 1 < text.size()) {
      if (item.Child == 0) return {};
      offset = item.Child;
    }
  }
  if (item.First == 0 || item.First > item.Last || item.Last > n) {
    errors_ |= ErrCorrupt;
    return {};
  }
  return {item.First, item.Last};
}

bool TBaseSorting::FindRange(std::string_view text, std::uint32_t& first, std::uint32_t& last) {
  const TSortRange r = FindRange(text);
  first = r.First;
  last = r.Last;
  return !r.Empty();
}

bool TBaseSorting::FindNeighbours(std::string_view text, std::string& lower, std::string& higher) {
  lower.clear();
  higher.clear();
  if (!readOnly_ || !Active() || text.empty()) return false;
  const TLanguage language =
      text.size() >= 2 ? LoadLE16(reinterpret_cast<const std::uint8_t*>(text.data())) : 0;
  // The first two key bytes are the language: they order by value, the rest by collation.
  const auto less = [language](std::size_t depth, char a, char b) {
    if (depth >= 2) {
      const int c =
          CompareInLanguage(language, std::string_view(&a, 1), std::string_view(&b, 1), false);
      if (c != 0) return c < 0;
    }
    return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
  };
  // Index of the best character of a node on one side of c (or of all when c is absent).
  const auto pick = [&](const TTrieNode& node, std::size_t depth, const char* c, bool below) {
    int best = -1;
    for (std::size_t i = 0; i < node.Chars.size(); ++i) {
      const char x = node.Chars[i];
      if (c != nullptr && x == *c) continue;
      if (c != nullptr && (below ? !less(depth, x, *c) : !less(depth, *c, x))) continue;
      if (best < 0 || (below ? less(depth, node.Chars[static_cast<std::size_t>(best)], x)
                             : less(depth, x, node.Chars[static_cast<std::size_t>(best)])))
        best = static_cast<int>(i);
    }
    return best;
  };
  // Extends a key through the greatest (below) or smallest (above) characters to a leaf.
  const auto extend = [&](std::string& key, std::uint32_t child, bool below) {
    TTrieNode node;
    while (child != 0 && key.size() < kMaxKeyLength && ReadNode(child, node)) {
      const int i = pick(node, key.size(), nullptr, below);
      if (i < 0) break;
      key += node.Chars[static_cast<std::size_t>(i)];
      child = node.Items[static_cast<std::size_t>(i)].Child;
    }
  };

  // Walk down as far as the text stays in the trie, keeping the nodes passed.
  std::vector<TTrieNode> path;
  std::uint32_t offset = TrieRoot();
  std::size_t depth = 0;
  bool prefixIsKey = false;  // the text continues past an item without child
  for (;;) {
    path.emplace_back();
    if (!ReadNode(offset, path.back())) return false;
    TTrieNode::TItem item;
    if (FindChild(path.back(), text[depth], item) < 0) break;
    if (depth + 1 == text.size()) return false;  // the whole text is in the trie
    if (item.Child == 0) {
      prefixIsKey = true;
      break;
    }
    offset = item.Child;
    ++depth;
  }
  // path[k] is the node at depth k; the text leaves the trie at depth `depth`.
  const std::size_t leave = depth;
  if (prefixIsKey) lower = std::string(text.substr(0, leave + 1));
  for (std::size_t k = leave + 1; k-- > 0;) {
    const TTrieNode& node = path[k];
    if (lower.empty() && !(prefixIsKey && k == leave)) {
      const int i = pick(node, k, &text[k], true);
      if (i >= 0) {
        lower = std::string(text.substr(0, k)) + node.Chars[static_cast<std::size_t>(i)];
        extend(lower, node.Items[static_cast<std::size_t>(i)].Child, true);
      }
    }
    if (higher.empty()) {
      const int i = pick(node, k, &text[k], false);
      if (i >= 0) {
        higher = std::string(text.substr(0, k)) + node.Chars[static_cast<std::size_t>(i)];
        extend(higher, node.Items[static_cast<std::size_t>(i)].Child, false);
      }
    }
    if (!lower.empty() && !higher.empty()) break;
  }
  return true;
}

TTrieCheck TBaseSorting::CheckTrie(std::uint64_t maxNodes) {
  TTrieCheck check;
  if (!Active()) return check;
  const std::uint32_t n = EntryCount();
  // Children are written before their parents, so a well-formed child lies below its parent;
  // the walk stays bounded on a hostile file by the node limit alone.
  std::vector<std::uint32_t> stack{TrieRoot()};
  TTrieNode node;
  while (!stack.empty()) {
    if (check.nodes >= maxNodes) {
      check.truncated = true;
      break;
    }
    const std::uint32_t offset = stack.back();
    stack.pop_back();
    ++check.nodes;
    if (!ReadNode(offset, node)) {
      ++check.badNodes;
      continue;
    }
    for (const auto& item : node.Items) {
      if (item.First == 0 || item.First > item.Last || item.Last > n) ++check.badRanges;
      if (item.Child != 0) stack.push_back(item.Child);
    }
  }
  errors_ &= ~ErrCorrupt;  // a check reports, it does not mark the index
  return check;
}

void TBaseSorting::SetKeyElements(const std::vector<TGameInfoElement>& elements) {
  for (std::uint32_t i = 0; i < kSortKeyElements; ++i)
    StoreLE16(header_.data() + kSxKeyElements + 2 * i,
              i < elements.size() ? static_cast<std::uint16_t>(elements[i]) : 0);
  dirty_ = true;
}

void TBaseSorting::SetOrderKey(std::uint32_t key) {
  SetU32(kSxOrderKey, key);
  dirty_ = true;
}

void TBaseSorting::SetSubBaseIdentity(std::uint32_t identity) {
  SetU32(kSxSubBaseIdentity, identity);
  dirty_ = true;
}

void TBaseSorting::SetName(const std::string& name) {
  name_ = name;
  dirty_ = true;
}

std::uint32_t TBaseSorting::AddEntry(std::uint32_t gameId, std::string_view key) {
  if (!Active() || readOnly_ || nodes_.empty()) return 0;
  entries_.push_back(gameId);
  const auto number = static_cast<std::uint32_t>(entries_.size());
  SetU32(kSxEntryCount, number);
  dirty_ = true;
  std::size_t node = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    TMemNode& current = nodes_[node];
    // Characters stay in byte order within a node.
    const auto at =
        std::lower_bound(current.chars.begin(), current.chars.end(), key[i], [](char a, char b) {
          return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
        });
    const auto index = static_cast<std::size_t>(at - current.chars.begin());
    if (at == current.chars.end() || *at != key[i]) {
      current.chars.insert(at, key[i]);
      current.items.insert(current.items.begin() + static_cast<std::ptrdiff_t>(index),
                           TTrieNode::TItem{number, number, 0});
    }
    TTrieNode::TItem& item = nodes_[node].items[index];
    item.First = std::min(item.First, number);
    item.Last = std::max(item.Last, number);
    if (i + 1 == key.size()) break;
    if (item.Child == 0) {
      nodes_.emplace_back();
      nodes_[node].items[index].Child = static_cast<std::uint32_t>(nodes_.size());
    }
    node = nodes_[node].items[index].Child - 1;
  }
  return number;
}

void TBaseSorting::Write() {
  map_.SetDataSize(kSortHeaderSize);
  std::string name = name_;
  if (name.empty()) {
    const auto slash = FileName().find_last_of('/');
    name = slash == std::string::npos ? FileName() : FileName().substr(slash + 1);
  }
  const auto nameLength = static_cast<std::uint32_t>(name.size());
  map_.Write(name.data(), kSortHeaderSize, nameLength);
  SetU32(kSxNameLength, nameLength);
  SetU32(kSxNameCrc, Crc32(name.data(), name.size()));
  const std::uint32_t entryTable = kSortHeaderSize + nameLength;
  SetU32(kSxEntryTable, entryTable);
  const auto n = static_cast<std::uint32_t>(entries_.size());
  SetU32(kSxEntryCount, n);
  std::vector<std::uint8_t> table;
  table.reserve(4 * (std::size_t{n} + 1));
  AppendLE32(table, 0);  // entry 0 does not exist
  for (std::uint32_t id : entries_) AppendLE32(table, id);
  map_.Write(table.data(), entryTable, static_cast<std::uint32_t>(table.size()));
  const std::uint64_t trieBase = std::uint64_t{entryTable} + 4 * std::uint64_t{n} + 4;
  SetU32(kSxTrieBase, static_cast<std::uint32_t>(trieBase));

  // The trie, each node after all of its children. A child offset of 0 means "none", so an
  // empty node fills offset 0 and no real node is ever written there.
  std::vector<std::uint8_t> trie;
  AppendLE16(trie, 0);
  AppendLE16(trie, Crc16(trie.data(), 2));
  std::vector<std::uint32_t> written(nodes_.size(), 0);
  struct TFrame {
    std::size_t node, next;
  };
  std::vector<TFrame> stack{{0, 0}};
  while (!stack.empty()) {
    TFrame& top = stack.back();
    const TMemNode& node = nodes_[top.node];
    if (top.next < node.items.size()) {
      const std::uint32_t child = node.items[top.next++].Child;
      if (child != 0) stack.push_back({child - 1, 0});
      continue;
    }
    const std::size_t start = trie.size();
    written[top.node] = static_cast<std::uint32_t>(start);
    AppendLE16(trie, static_cast<std::uint16_t>(node.chars.size()));
    trie.insert(trie.end(), node.chars.begin(), node.chars.end());
    for (const auto& item : node.items) {
      AppendLE32(trie, item.First);
      AppendLE32(trie, item.Last);
      AppendLE32(trie, item.Child == 0 ? 0 : written[item.Child - 1]);
    }
    AppendLE16(trie, Crc16(trie.data() + start, trie.size() - start));
    stack.pop_back();
  }
  if (trieBase + trie.size() > kMaxIndexSize - 4) {
    errors_ |= ErrIO;
    return;
  }
  map_.Write(trie.data(), static_cast<std::int64_t>(trieBase),
             static_cast<std::uint32_t>(trie.size()));
  SetU32(kSxTrieRoot, written[0]);
  StoreDouble(header_.data() + kSxModified, Now());
  header_[kSxReserved] = 0;
  WriteSealedHeader(map_, header_);
  name_ = name;
}

std::unique_ptr<TBaseSorting> OpenSortIndex(const std::string& fileName) {
  auto index = std::make_unique<TBaseSorting>();
  index->SetReadOnly(true);
  if (!index->Open(fileName)) return nullptr;
  return index;
}

std::unique_ptr<THolderSortIndex> OpenHolderSortIndex(const std::string& fileName) {
  return OpenSortIndex(fileName);
}

}  // namespace kessaro
