#pragma once
// The in-memory list of game records behind every game list window: it owns a copy of each
// added game (or refers to a game it does not own), builds the cells of each row for the
// owner-drawn list view, sorts by a game information column with fixed secondary keys and
// can present its items in reverse order without resorting.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "records/GameTypes.h"
#include "strings/StringSet.h"

namespace kessaro {

// One cell of a list view row: the column key (a game information element, 0 for the
// number column), the language that chooses the font, the style that chooses the colour.
struct TLangListItem {
  std::uint32_t Key = 0;
  TLanguage Language = kNoLanguage;
  std::uint16_t Style = 0;
  std::string Text;
  bool operator==(const TLangListItem&) const = default;
};

struct TLangListItems {
  std::uint32_t Tag = 0;
  std::vector<TLangListItem> Items;
  // Replaces the cell with that key or appends one; an empty text is ignored.
  void SetItemText(std::uint32_t key, const std::string& text, std::uint16_t style,
                   TLanguage language);
  // Null when the row has no cell for the key.
  const TLangListItem* Find(std::uint32_t key) const;
};

struct TGameLook {
  TGame Game;
  std::uint16_t Extra1 = 0, Extra2 = 0;
  std::unique_ptr<TLangListItems> Row;
};

// Row styles.
constexpr std::uint16_t kRowNormal = 0;
// TGame.Flags bits that pick a row style.
constexpr std::uint16_t kGameFlagStyle1 = 0x20;
constexpr std::uint16_t kGameFlagStyle3 = 0x100;  // bit 0 of the second flags byte
constexpr std::uint16_t kGameFlagStyle2 = 0x01;

class TGamesList {
 public:
  using TStartedHook = std::function<void(TGamesList& sender)>;
  using TResumedHook = std::function<void(TGamesList& sender, bool value)>;
  using TAddedHook = std::function<bool(TGamesList& sender, int count)>;

  TGamesList();
  ~TGamesList();
  TGamesList(const TGamesList&) = delete;
  TGamesList& operator=(const TGamesList&) = delete;

  // Appends a deep copy; returns its index in storage order.
  int AddGame(const TGame& game);
  // Appends a game the list does not own: it is neither released nor freed when removed.
  int AddGameRef(TGameLook& look);
  int Count() const { return static_cast<int>(items_.size()); }
  // Null outside 0 to Count() - 1; with Reversed the index counts from the end.
  TGame* GameAt(int i);
  TGameLook* LookAt(int i);
  // The row of presentation index i, or null (no row built, or i outside the list).
  const TLangListItems* RowAt(int i) const;
  bool Owned(int i) const;
  void Delete(int i);
  void Clear();

  bool MakeRows() const { return makeRows_; }
  // On: every row is built; off: every row is released.
  void SetMakeRows(bool makeRows);
  const TGameInfoElementOrder& Columns() const { return columns_; }
  void SetColumns(const TGameInfoElementOrder& columns);
  // Column 0 of each row gets its 1-based position in presentation order.
  void Renumber();

  bool Reversed() const { return reversed_; }
  TGameInfoElement SortColumn() const { return sortColumn_; }
  // Refused while Stopped. The same element again reverses the presentation; a new element
  // sorts unreversed; an element without a comparison only becomes the sort column.
  void SortBy(TGameInfoElement element);

  bool Stopped() const { return stopped_; }
  void SetStopped(bool stopped);

  TStartedHook OnStarted;
  TResumedHook OnResumed;
  TAddedHook OnAdded;

 private:
  struct TItem {
    std::unique_ptr<TGameLook> owned;
    TGameLook* look = nullptr;
  };
  int Storage(int i) const;
  void BuildRow(TGameLook& look) const;
  void RebuildRows();
  int Append(TItem item);

  std::vector<TItem> items_;
  bool makeRows_ = false;
  bool reversed_ = false;
  bool stopped_ = false;
  TGameInfoElement sortColumn_ = GI_Empty;
  TGameInfoElementOrder columns_;
};

// Whether SortBy has a comparison for the element.
bool HasGameComparison(TGameInfoElement element);
// The comparison SortBy uses: negative when a comes first.
int CompareGames(TGameInfoElement element, const TGame& a, const TGame& b);
// One text element of two games: the same language compares lower-cased in its collation,
// different languages by their place in the language order, unknown languages last.
int CompareGameTexts(const TGame& a, const TGame& b, TGameInfoElement element);

}  // namespace kessaro
