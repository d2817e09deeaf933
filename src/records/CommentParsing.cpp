#include "records/CommentParsing.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace kessaro {
namespace {

constexpr char kQuote = '|';

std::string Quote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += kQuote;
  for (char c : text) {
    out += c;
    if (c == kQuote) out += kQuote;
  }
  out += kQuote;
  return out;
}

// A text that does not start with the quote stays as it is; otherwise the quoted part with
// doubled quotes made single, dropping what follows the closing quote. Without a closing quote
// the text is returned unchanged.
std::string Unquote(std::string_view text) {
  if (text.empty() || text[0] != kQuote) return std::string(text);
  std::string out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] != kQuote) {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == kQuote) {
      out += kQuote;
      ++i;
    } else {
      return out;
    }
  }
  return std::string(text);
}

// Reads a run of digits from the front of s (none gives 0), saturating at the largest int32.
std::int32_t TakeNumber(std::string_view& s) {
  std::int64_t n = 0;
  std::size_t i = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
    n = std::min<std::int64_t>(n * 10 + (s[i] - '0'), INT32_MAX);
  s.remove_prefix(i);
  return static_cast<std::int32_t>(n);
}

std::string Item(std::size_t number, const TSComment& entry, std::string_view text) {
  std::string s = "#" + std::to_string(number);
  if (entry.Source != 0) {
    s += "S" + std::to_string(entry.Source);
    if (entry.Page != 0) s += "P" + std::to_string(entry.Page);
  }
  s += "@";
  s += text;
  return s;
}

void ParseItem(std::string_view item, TLanguage language, TSComments& list) {
  if (item.empty() || item[0] != '#') return;
  item.remove_prefix(1);
  const std::int32_t number = TakeNumber(item);
  std::int32_t source = 0, page = 0;
  if (!item.empty() && item[0] == 'S') {
    item.remove_prefix(1);
    source = TakeNumber(item);
    if (!item.empty() && item[0] == 'P') {
      item.remove_prefix(1);
      page = TakeNumber(item);
    }
  }
  if (item.empty() || item[0] != '@') return;  // no text
  item.remove_prefix(1);
  if (item.empty() || number < 1 || number > kMaxCommentEntries) return;
  const auto index = static_cast<std::size_t>(number - 1);
  if (list.size() <= index) list.resize(index + 1);
  TSComment& entry = list[index];
  if (!entry.Texts) entry.Texts = std::make_unique<TStringSet>();
  entry.Texts->SetText(language, item);
  entry.Source = source;
  entry.Page = page;
}

}  // namespace

void ParseComments(const TStringSet* set, TSComments& list) {
  if (!set) return;
  for (int e = 0; e < set->Count(); ++e) {
    const TLangText entry = set->GetEntry(e);
    if (entry.Language == kLanguageMinus1) continue;
    std::string_view t = entry.Text;
    while (!t.empty()) {
      const std::size_t found = t.find("|v|#");
      if (found == 0) {  // a stray separator at the front
        t.remove_prefix(2);
        continue;
      }
      // The item runs to the closing quote; the "v" after it is dropped by unquoting.
      const std::string_view item = found == std::string_view::npos ? t : t.substr(0, found + 2);
      ParseItem(Unquote(item), entry.Language, list);
      if (found == std::string_view::npos) break;
      t.remove_prefix(found + 2);
    }
  }
}

bool BuildComments(const TSComments& list, PStringSet& set) {
  if (!set) set = std::make_unique<TStringSet>();
  const std::string kept = set->GetText(kLanguageMinus1);
  // Chains per language in the order languages first appear.
  std::vector<std::pair<TLanguage, std::string>> chains;
  bool fits = true;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const TSComment& entry = list[i];
    if (!entry.Texts) continue;
    for (int e = 0; e < entry.Texts->Count(); ++e) {
      const TLangText t = entry.Texts->GetEntry(e);
      // Language -1 is the set's private text, never part of a chain.
      if (t.Language == kLanguageMinus1 || t.Text.empty()) continue;
      const std::string item = Quote(Item(i + 1, entry, t.Text));
      auto chain = chains.begin();
      while (chain != chains.end() && chain->first != t.Language) ++chain;
      if (chain == chains.end()) chain = chains.insert(chains.end(), {t.Language, {}});
      const std::size_t grown =
          chain->second.size() + (chain->second.empty() ? 0 : 1) + item.size();
      if (grown > TStringSet::kMaxTextLength) {
        fits = false;
        continue;
      }
      if (!chain->second.empty()) chain->second += 'v';
      chain->second += item;
    }
  }
  set->Clear();
  set->SetText(kLanguageMinus1, kept);
  for (const auto& [language, chain] : chains) set->SetText(language, chain);
  return fits;
}

void FreeComments(TSComments& list) {
  list.clear();
}

}  // namespace kessaro
