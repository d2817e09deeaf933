#pragma once
// The sort index (".sbx"): the games of one sub base in the order of a key made of up to
// eight game information elements, with a character trie over the keys so that the games
// whose key starts with a typed text are found without reading the games.
//
// Layout (data offsets, little-endian, mapped): a 67-byte header, the index name, the entry
// table (4-byte game identifiers, entry i of 1 to N at EntryTable + 4 i), then the trie
// nodes. A node: count n (2 bytes), n key bytes, n items of 12 bytes (first entry, last
// entry, child node offset relative to TrieBase, 0 for none), and a Crc16 over everything
// before it. Keys begin with their 16-bit language (low byte first).
//
// Every offset and count read from a file is checked against the file before it is used; a
// node whose check value does not match ends a search without a result.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bases/HolderSortIndex.h"
#include "records/GameTypes.h"
#include "storage/Errors.h"
#include "storage/FileMapping.h"
#include "strings/StringSet.h"

namespace kessaro {

constexpr std::uint32_t kSortIndexSignature = 285599489;  // 0x1105E701
static_assert(kSortIndexSignature == 0x1105E701);

// Header fields: offset (width 4 unless said).
constexpr std::uint32_t kSxCreated = 0;       // 8, double
constexpr std::uint32_t kSxModified = 8;      // 8, double
constexpr std::uint32_t kSxKeyElements = 16;  // 8 x 2
constexpr std::uint32_t kSxEntryCount = 32;
constexpr std::uint32_t kSxEntryTable = 36;
constexpr std::uint32_t kSxTrieBase = 40;
constexpr std::uint32_t kSxTrieRoot = 44;
constexpr std::uint32_t kSxOrderKey = 48;
constexpr std::uint32_t kSxNameLength = 52;
constexpr std::uint32_t kSxNameCrc = 56;
constexpr std::uint32_t kSxSubBaseIdentity = 60;
constexpr std::uint32_t kSxReserved = 64;   // 1
constexpr std::uint32_t kSxHeaderCrc = 65;  // 2
constexpr std::uint32_t kSortHeaderSize = kSxHeaderCrc + 2;
static_assert(kSortHeaderSize == 67);
constexpr std::uint32_t kSortKeyElements = 8;
constexpr std::uint32_t kTrieItemSize = 4 + 4 + 4;

struct TSortRange {
  std::uint32_t First = 0, Last = 0;  // (0, 0): nothing
  bool Empty() const { return First == 0; }
  bool operator==(const TSortRange&) const = default;
};

// One node of the stored trie as read.
struct TTrieNode {
  std::string Chars;
  struct TItem {
    std::uint32_t First = 0, Last = 0, Child = 0;
  };
  std::vector<TItem> Items;
};

// The result of checking every reachable trie node.
struct TTrieCheck {
  std::uint64_t nodes = 0;
  std::uint64_t badNodes = 0;   // check value mismatch or node outside the trie area
  std::uint64_t badRanges = 0;  // items whose entry range lies outside 1 to N
  bool truncated = false;       // the walk stopped at its node limit
  bool Ok() const { return badNodes == 0 && badRanges == 0 && !truncated; }
};

// The holder keeps every index it loads and attaches it to the sub base whose identity the
// index records (OpenHolderSortIndex is its factory).
class TBaseSorting : public THolderSortIndex {
 public:
  TBaseSorting();
  ~TBaseSorting() override;
  TBaseSorting* Sorting() override { return this; }
  TBaseSorting(const TBaseSorting&) = delete;
  TBaseSorting& operator=(const TBaseSorting&) = delete;

  // Only while closed; returns the resulting flag.
  bool SetReadOnly(bool readOnly);
  bool Open(const std::string& fileName);
  // A writable index that was given entries or header values (or is new) is written first.
  void Close();
  std::uint32_t TakeErrors();

  bool Active() const { return map_.Active(); }
  bool ReadOnly() const { return readOnly_; }
  const std::string& FileName() const { return map_.FileName(); }

  TGameInfoElement KeyElement(std::uint32_t i) const;
  std::uint32_t EntryCount() const { return U32(kSxEntryCount); }
  // 0 outside 1 to N or when not active.
  std::uint32_t EntryAt(std::uint32_t i);
  // The entries whose keys start with text (a key as FormatKey makes it); the empty text
  // gives 1 to N. (0, 0) when the path is not in the trie, on a corrupt node, and unless the
  // index is read-only and active.
  TSortRange FindRange(std::string_view text);
  bool FindRange(std::string_view text, std::uint32_t& first, std::uint32_t& last);
  // When text leaves the trie: the nearest existing keys below and above it (empty when
  // there is none on that side), the characters ordered by the collation of the key's
  // language. False when text does not leave the trie or cannot be searched.
  bool FindNeighbours(std::string_view text, std::string& lower, std::string& higher);
  // The search key of a text for an element of the given type: the language, then dates as
  // "%.9d.%.7f" of whole days and day fraction, small numbers "%.2d", larger ones "%.5d",
  // everything else (and anything that does not read as its type) lower-cased.
  static std::string FormatKey(TGameInfoElement type, std::string_view text, TLanguage language);

  double Created() const;
  double Modified() const;
  std::uint32_t EntryTable() const { return U32(kSxEntryTable); }
  std::uint32_t TrieBase() const { return U32(kSxTrieBase); }
  std::uint32_t TrieRoot() const { return U32(kSxTrieRoot); }
  std::uint32_t OrderKey() const override { return U32(kSxOrderKey); }
  std::uint32_t SubBaseIdentity() const override { return U32(kSxSubBaseIdentity); }
  const std::string& Name() const { return name_; }
  const std::array<std::uint8_t, kSortHeaderSize>& HeaderBytes() const { return header_; }

  // Reads the node at a relative offset; false (ErrCorrupt on a check value mismatch) when
  // it is outside the trie area or damaged.
  bool ReadNode(std::uint32_t offset, TTrieNode& node);
  // Walks every node reachable from the root, at most maxNodes of them.
  TTrieCheck CheckTrie(std::uint64_t maxNodes = 1u << 22);

  // Writable side. Entries are numbered in the order they are added, so add them in key
  // order: an item's range covers every entry added under its path.
  void SetKeyElements(const std::vector<TGameInfoElement>& elements);
  void SetOrderKey(std::uint32_t key);
  void SetSubBaseIdentity(std::uint32_t identity);
  // Empty: the file name without its folder is stored.
  void SetName(const std::string& name);
  // Returns the new entry's number.
  std::uint32_t AddEntry(std::uint32_t gameId, std::string_view key);

 private:
  struct TMemNode {
    std::string chars;
    std::vector<TTrieNode::TItem> items;  // Child: index into nodes_ + 1, 0 for none
  };

  std::uint32_t U32(std::uint32_t at) const;
  void SetU32(std::uint32_t at, std::uint32_t v);
  bool ReadHeader();
  void FreshHeader();
  void Write();
  // Node index of the child below (node, c), or -1.
  int FindChild(const TTrieNode& node, char c, TTrieNode::TItem& item) const;

  TMap map_;
  std::array<std::uint8_t, kSortHeaderSize> header_{};
  std::string name_;
  bool readOnly_ = true;
  bool dirty_ = false;
  std::uint32_t errors_ = 0;
  std::vector<std::uint32_t> entries_;
  std::vector<TMemNode> nodes_;  // writable side; nodes_[0] is the root
};

// A read-only index opened on fileName, or null when it does not open.
std::unique_ptr<TBaseSorting> OpenSortIndex(const std::string& fileName);
// The same, as the holder's SortIndexFactory takes it.
std::unique_ptr<THolderSortIndex> OpenHolderSortIndex(const std::string& fileName);

// A text lower-cased in the code page of its language.
std::string LowerText(TLanguage language, std::string_view text);

// The key of a game for an index over these elements: the language of the first element's
// text, then each element's text in that language formatted as FormatKey does.
std::string GameSortKey(const TGame& game, const std::vector<TGameInfoElement>& elements);

}  // namespace kessaro
