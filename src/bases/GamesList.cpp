#include "bases/GamesList.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "bases/BaseSorting.h"
#include "records/GameFunc.h"

namespace kessaro {
namespace {

// The text elements the comparisons read, each cached once per game while sorting.
enum TTextSlot : int {
  tsBlack,
  tsWhite,
  tsResult,
  tsEvent,
  tsRound,
  tsSource,
  tsRecorder,
  tsCount
};
constexpr std::array<TGameInfoElement, tsCount> kSlotElement = {
    GI_BlackPlayer, GI_WhitePlayer, GI_Result, GI_Event, GI_Round, GI_SourceName, GI_RecorderName};

struct TTextKey {
  TLanguage Language = kNoLanguage;
  std::string Lower;
  bool Filled = false;
};

// A game with its lower-cased texts, filled on first use.
struct TSortGame {
  const TGame* Game = nullptr;
  mutable std::array<TTextKey, tsCount> Texts;

  const TTextKey& Text(TTextSlot slot) const {
    TTextKey& key = Texts[slot];
    if (!key.Filled) {
      const TLangText t = ElementText(*Game, kSlotElement[slot]);
      key.Language = t.Language;
      key.Lower = LowerText(t.Language, t.Text);
      key.Filled = true;
    }
    return key;
  }
};

int CompareKeys(const TTextKey& a, const TTextKey& b) {
  if (a.Language == b.Language) return CompareInLanguage(a.Language, a.Lower, b.Lower, false);
  const TLanguageOrder& order = LanguageOrder();
  const int ia = order.IndexOf(a.Language), ib = order.IndexOf(b.Language);
  if (ia < 0 || ib < 0) return ia < 0 ? (ib < 0 ? 0 : 1) : -1;
  return ia < ib ? -1 : (ia > ib ? 1 : 0);
}

// Larger values first.
template <class T>
int Descending(T a, T b) {
  return a > b ? -1 : (a < b ? 1 : 0);
}

int CompareDates(const TGame& a, const TGame& b) {
  return Descending(std::floor(a.Date), std::floor(b.Date));
}

int FirstPage(const TGame& g) {
  return g.Info.Sources.empty() ? 0 : g.Info.Sources[0].Page;
}

int FirstDia(const TGame& g) {
  return g.Info.Sources.empty() ? 0 : g.Info.Sources[0].Dia;
}

class TComparer {
 public:
  TComparer(const TSortGame& a, const TSortGame& b) : a_(a), b_(b), ga_(*a.Game), gb_(*b.Game) {}

  int Run(TGameInfoElement element) const {
    switch (element) {
      case GI_BlackPlayer:
      case GI_Black:
        if (int c = Text(tsBlack)) return c;
        if (int c = Text(tsWhite)) return c;
        return CompareDates(ga_, gb_);
      case GI_WhitePlayer:
      case GI_Players:
      case GI_White:
        if (int c = Text(tsWhite)) return c;
        if (int c = Text(tsBlack)) return c;
        return CompareDates(ga_, gb_);
      case GI_BlackRank:
      case GI_BlackCombyRank:
      case GI_BlackBaseRank:
        return BlackRankOrder();
      case GI_WhiteRank:
      case GI_WhiteCombyRank:
      case GI_WhiteBaseRank:
        return WhiteRankOrder();
      case GI_Result:
        if (int c = Text(tsResult)) return c;
        if (int c = Descending(ga_.NumberOfMoves, gb_.NumberOfMoves)) return c;
        return WhiteRankOrder();
      case GI_Event:
        if (int c = Text(tsEvent)) return c;
        if (int c = Text(tsRound)) return c;
        if (int c = CompareDates(ga_, gb_)) return c;
        return WhiteRankOrder();
      case GI_Source:
      case GI_Sources:
        return SourceOrder();
      case GI_Date:
        if (int c = CompareDates(ga_, gb_)) return c;
        return WhiteRankOrder();
      case GI_RecorderName:
        if (int c = Text(tsRecorder)) return c;
        return SourceOrder();
      case GI_Komi:
        if (int c = Descending(ga_.Komi, gb_.Komi)) return c;
        return WhiteRankOrder();
      case GI_Handicap:
        if (int c = Descending(ga_.Handicap, gb_.Handicap)) return c;
        return WhiteRankOrder();
      case GI_BoardSize:
        if (int c = Descending(ga_.BoardSize, gb_.BoardSize)) return c;
        return WhiteRankOrder();
      case GI_NumberOfMoves:
        if (int c = Descending(ga_.NumberOfMoves, gb_.NumberOfMoves)) return c;
        return WhiteRankOrder();
      default:
        return 0;
    }
  }

 private:
  int Text(TTextSlot slot) const { return CompareKeys(a_.Text(slot), b_.Text(slot)); }
  int BlackRankOrder() const {
    if (int c = CompareGameRanks(ga_.BlackGameRank, gb_.BlackGameRank)) return c;
    if (int c = CompareGameRanks(ga_.WhiteGameRank, gb_.WhiteGameRank)) return c;
    if (int c = Text(tsBlack)) return c;
    return Text(tsWhite);
  }
  int WhiteRankOrder() const {
    if (int c = CompareGameRanks(ga_.WhiteGameRank, gb_.WhiteGameRank)) return c;
    if (int c = CompareGameRanks(ga_.BlackGameRank, gb_.BlackGameRank)) return c;
    if (int c = Text(tsWhite)) return c;
    return Text(tsBlack);
  }
  int SourceOrder() const {
    if (int c = Text(tsSource)) return c;
    if (int c = Descending(FirstPage(ga_), FirstPage(gb_))) return c;
    if (int c = Descending(FirstDia(ga_), FirstDia(gb_))) return c;
    if (int c = CompareDates(ga_, gb_)) return c;
    return WhiteRankOrder();
  }

  const TSortGame& a_;
  const TSortGame& b_;
  const TGame& ga_;
  const TGame& gb_;
};

std::string WithoutBreaks(std::string text) {
  std::erase_if(text, [](char c) { return c == '\n' || c == '\r' || c == '\t'; });
  return text;
}

}  // namespace

void TLangListItems::SetItemText(std::uint32_t key, const std::string& text, std::uint16_t style,
                                 TLanguage language) {
  if (text.empty()) return;
  for (auto& item : Items)
    if (item.Key == key) {
      item = {key, language, style, text};
      return;
    }
  Items.push_back({key, language, style, text});
}

const TLangListItem* TLangListItems::Find(std::uint32_t key) const {
  for (const auto& item : Items)
    if (item.Key == key) return &item;
  return nullptr;
}

bool HasGameComparison(TGameInfoElement element) {
  switch (element) {
    case GI_BlackPlayer:
    case GI_Black:
    case GI_WhitePlayer:
    case GI_Players:
    case GI_White:
    case GI_BlackRank:
    case GI_BlackCombyRank:
    case GI_BlackBaseRank:
    case GI_WhiteRank:
    case GI_WhiteCombyRank:
    case GI_WhiteBaseRank:
    case GI_Result:
    case GI_Event:
    case GI_Source:
    case GI_Sources:
    case GI_Date:
    case GI_RecorderName:
    case GI_Komi:
    case GI_Handicap:
    case GI_BoardSize:
    case GI_NumberOfMoves:
      return true;
    default:
      return false;
  }
}

int CompareGames(TGameInfoElement element, const TGame& a, const TGame& b) {
  TSortGame sa{&a, {}}, sb{&b, {}};
  return TComparer(sa, sb).Run(element);
}

int CompareGameTexts(const TGame& a, const TGame& b, TGameInfoElement element) {
  const TLangText ta = ElementText(a, element), tb = ElementText(b, element);
  const TTextKey ka{ta.Language, LowerText(ta.Language, ta.Text), true};
  const TTextKey kb{tb.Language, LowerText(tb.Language, tb.Text), true};
  return CompareKeys(ka, kb);
}

TGamesList::TGamesList() : columns_(ShortElementOrder()) {}

TGamesList::~TGamesList() {
  Clear();
}

int TGamesList::Storage(int i) const {
  if (i < 0 || i >= Count()) return -1;
  return reversed_ ? Count() - 1 - i : i;
}

int TGamesList::Append(TItem item) {
  if (makeRows_) BuildRow(*item.look);
  items_.push_back(std::move(item));
  const int index = Count() - 1;
  if (OnAdded) SetStopped(!OnAdded(*this, Count()));
  return index;
}

int TGamesList::AddGame(const TGame& game) {
  TItem item;
  item.owned = std::make_unique<TGameLook>();
  InitGame(item.owned->Game);
  CopyGame(game, item.owned->Game);
  item.look = item.owned.get();
  return Append(std::move(item));
}

int TGamesList::AddGameRef(TGameLook& look) {
  TItem item;
  item.look = &look;
  return Append(std::move(item));
}

TGameLook* TGamesList::LookAt(int i) {
  const int s = Storage(i);
  return s < 0 ? nullptr : items_[static_cast<std::size_t>(s)].look;
}

TGame* TGamesList::GameAt(int i) {
  TGameLook* look = LookAt(i);
  return look == nullptr ? nullptr : &look->Game;
}

const TLangListItems* TGamesList::RowAt(int i) const {
  const int s = Storage(i);
  return s < 0 ? nullptr : items_[static_cast<std::size_t>(s)].look->Row.get();
}

bool TGamesList::Owned(int i) const {
  const int s = Storage(i);
  return s >= 0 && items_[static_cast<std::size_t>(s)].owned != nullptr;
}

void TGamesList::Delete(int i) {
  const int s = Storage(i);
  if (s < 0) return;
  auto& item = items_[static_cast<std::size_t>(s)];
  if (item.owned) FreeGame(item.owned->Game);
  items_.erase(items_.begin() + s);
}

void TGamesList::Clear() {
  for (auto& item : items_)
    if (item.owned) FreeGame(item.owned->Game);
  items_.clear();
}

void TGamesList::BuildRow(TGameLook& look) const {
  look.Row.reset();
  auto row = std::make_unique<TLangListItems>();
  const std::uint16_t flags = look.Game.Flags;
  std::uint16_t style = kRowNormal;
  if (flags & kGameFlagStyle1) style = 1;
  if (flags & kGameFlagStyle3) style = 3;
  if (flags & kGameFlagStyle2) style = 2;
  for (TGameInfoElement column : columns_) {
    TLangText t = ElementText(look.Game, column);
    // Only player names are shown in their own language; other texts need English. Texts
    // of no language (every text the SGF reader makes) are shown too.
    const bool player = column == GI_BlackPlayer || column == GI_WhitePlayer;
    if (t.Language != kEnglish && t.Language != kNoLanguage && !player) t.Text.clear();
    row->SetItemText(column, WithoutBreaks(std::move(t.Text)), style, t.Language);
  }
  look.Row = std::move(row);
}

void TGamesList::RebuildRows() {
  for (auto& item : items_) {
    if (makeRows_)
      BuildRow(*item.look);
    else
      item.look->Row.reset();
  }
}

void TGamesList::SetMakeRows(bool makeRows) {
  if (makeRows == makeRows_) return;
  makeRows_ = makeRows;
  RebuildRows();
}

void TGamesList::SetColumns(const TGameInfoElementOrder& columns) {
  columns_ = columns;
  RebuildRows();
}

void TGamesList::Renumber() {
  for (int i = 0; i < Count(); ++i) {
    TGameLook* look = LookAt(i);
    if (look == nullptr || !look->Row) continue;
    const std::uint16_t style = look->Row->Items.empty() ? kRowNormal : look->Row->Items[0].Style;
    look->Row->SetItemText(0, std::to_string(i + 1), style, kEnglish);
  }
}

void TGamesList::SortBy(TGameInfoElement element) {
  if (stopped_) return;
  if (element == sortColumn_) {
    reversed_ = !reversed_;
    Renumber();
    return;
  }
  if (!HasGameComparison(element)) {
    sortColumn_ = element;
    return;
  }
  reversed_ = false;
  std::vector<TSortGame> keys(items_.size());
  for (std::size_t i = 0; i < items_.size(); ++i) keys[i].Game = &items_[i].look->Game;
  std::vector<std::size_t> order(items_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    return TComparer(keys[x], keys[y]).Run(element) < 0;
  });
  std::vector<TItem> sorted;
  sorted.reserve(items_.size());
  for (std::size_t i : order) sorted.push_back(std::move(items_[i]));
  items_ = std::move(sorted);
  sortColumn_ = element;
  Renumber();
}

void TGamesList::SetStopped(bool stopped) {
  if (stopped == stopped_) return;
  stopped_ = stopped;
  if (stopped) {
    if (OnStarted) OnStarted(*this);
  } else if (OnResumed) {
    OnResumed(*this, false);
  }
}

}  // namespace kessaro
