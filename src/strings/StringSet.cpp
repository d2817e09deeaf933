#include "strings/StringSet.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "platform/CodePage.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

constexpr std::size_t kEntryHeader = 4;  // length u16, language u16

void AppendEntry(std::vector<std::uint8_t>& out, TLanguage language, std::string_view text) {
  const auto length = static_cast<std::uint16_t>(text.size());
  AppendLE16(out, length);
  AppendLE16(out, language);
  out.insert(out.end(), text.begin(), text.end());
}

// The ICU locale of a language identifier; empty when ICU does not know it.
std::string LocaleOfLanguage(TLanguage language) {
  char buf[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = uloc_getLocaleForLCID(language, buf, sizeof buf - 1, &status);
  if (U_FAILURE(status) || n <= 0) return {};
  return std::string(buf, static_cast<std::size_t>(n));
}

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

// ICU collators are opened once per language and case switch and kept per thread (a collator
// is not shared between threads). Language 0, "no language", takes the default locale, as does
// every identifier ICU does not know; null when no collator could be opened.
UCollator* Collator(TLanguage language, bool ignoreCase) {
  thread_local std::map<std::pair<TLanguage, bool>, CollatorPtr> cache;
  const auto key = std::make_pair(language, ignoreCase);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.get();
  CollatorPtr collator;
  const std::string locale = language == kNoLanguage ? std::string() : LocaleOfLanguage(language);
  UErrorCode status = U_ZERO_ERROR;
  if (!locale.empty()) collator.reset(ucol_open(locale.c_str(), &status));
  if (!collator || U_FAILURE(status)) {
    // The default locale; without one (LANG=C gives ICU's POSIX locale, which sorts like
    // bytes) the language-neutral root collation.
    const std::string_view fallback = uloc_getDefault();
    status = U_ZERO_ERROR;
    collator.reset(ucol_open(fallback.starts_with("en_US_POSIX") ? "" : nullptr, &status));
    if (U_FAILURE(status)) collator.reset();
  }
  if (collator && ignoreCase) ucol_setStrength(collator.get(), UCOL_SECONDARY);
  return cache.emplace(key, std::move(collator)).first->second.get();
}

}  // namespace

std::vector<TStringSet::Entry> TStringSet::Entries() const {
  std::vector<Entry> entries;
  std::size_t at = 0;
  while (buffer_.size() - at >= kEntryHeader) {
    const std::size_t length = LoadLE16(&buffer_[at]);
    if (buffer_.size() - at - kEntryHeader < length) break;  // truncated tail
    entries.push_back({at, length, LoadLE16(&buffer_[at + 2])});
    at += kEntryHeader + length;
  }
  return entries;
}

std::string TStringSet::TextOf(const Entry& e) const {
  const auto* first = buffer_.data() + e.offset + kEntryHeader;
  return std::string(reinterpret_cast<const char*>(first), e.length);
}

std::string TStringSet::GetText(TLanguage language) const {
  for (const Entry& e : Entries())
    if (e.language == language) return TextOf(e);
  return {};
}

bool TStringSet::SetText(TLanguage language, std::string_view text) {
  if (text.size() > kMaxTextLength) return false;
  const std::vector<Entry> entries = Entries();
  bool found = false;
  for (const Entry& e : entries) {
    if (e.language == language) {
      if (TextOf(e) == text) return true;
      found = true;
      break;
    }
  }
  if (!found && text.empty()) return true;
  // Rebuild: replaces the entry in place (dropping any duplicate of the language a foreign
  // buffer may hold), removes it for an empty text, or appends the new language last.
  std::vector<std::uint8_t> out;
  out.reserve(buffer_.size() + kEntryHeader + text.size());
  bool written = false;
  for (const Entry& e : entries) {
    if (e.language != language) {
      const auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(e.offset);
      out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(kEntryHeader + e.length));
    } else if (!written && !text.empty()) {
      AppendEntry(out, language, text);
      written = true;
    } else {
      written = true;
    }
  }
  if (!written && !text.empty()) AppendEntry(out, language, text);
  buffer_ = std::move(out);
  return true;
}

int TStringSet::Count() const {
  return static_cast<int>(Entries().size());
}

TLangText TStringSet::GetEntry(int index) const {
  const std::vector<Entry> entries = Entries();
  if (index < 0 || index >= static_cast<int>(entries.size())) return {};
  const Entry& e = entries[static_cast<std::size_t>(index)];
  return {e.language, TextOf(e)};
}

TIDs TStringSet::GetLanguages() const {
  TIDs ids;
  for (const Entry& e : Entries()) ids.push_back(e.language);
  return ids;
}

void TStringSet::Assign(const TStringSet* source) {
  if (!source) {
    buffer_.clear();
  } else if (source != this) {
    buffer_ = source->buffer_;
  }
}

TLangText TStringSet::BestText() const {
  const TLanguageOrder& order = LanguageOrder();
  const Entry* best = nullptr;
  int bestPos = order.Count();
  const std::vector<Entry> entries = Entries();
  for (const Entry& e : entries) {
    if (e.length == 0) continue;
    const int pos = order.IndexOf(e.language);
    if (pos >= 0 && pos < bestPos) {
      best = &e;
      bestPos = pos;
    }
  }
  if (!best) return {};
  return {best->language, TextOf(*best)};
}

TLangText TStringSet::PreferredText() const {
  const TLanguageOrder& order = LanguageOrder();
  TLanguage best = kLanguageMinus1;
  for (const Entry& e : Entries())
    if (e.length != 0) best = order.Better(e.language, best);
  if (!order.Contains(best)) return {kLanguageMinus1, {}};
  return {best, GetText(best)};
}

bool TStringSet::IsContainedIn(const TStringSet* other) const {
  if (!other) return false;
  for (const Entry& e : Entries()) {
    if (e.length == 0) return false;
    if (other->GetText(e.language) != TextOf(e)) return false;
  }
  return true;
}

void TStringSet::RemoveEqualTexts(const TStringSet& other) {
  TIDs equal;
  for (const Entry& e : Entries())
    if (other.GetText(e.language) == TextOf(e)) equal.push_back(e.language);
  for (TLanguage language : equal) SetText(language, {});
}

bool IsContainedIn(const TStringSet* set, const TStringSet* other) {
  return !set || set->IsContainedIn(other);
}

std::uint32_t LocaleAvailability(TLanguage language) {
  if (language == kNoLanguage) return kLocaleInstalled | kLocaleSupported;
  const std::string locale = LocaleOfLanguage(language);
  if (locale.empty() || locale == "root") return 0;
  std::uint32_t bits = kLocaleSupported;
  char lang[ULOC_LANG_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLanguage(locale.c_str(), lang, sizeof lang - 1, &status);
  const std::string_view langPart = U_SUCCESS(status) ? lang : "";
  const int32_t n = uloc_countAvailable();
  for (int32_t i = 0; i < n; ++i) {
    const std::string_view have = uloc_getAvailable(i);
    if (have == locale || (!langPart.empty() && have == langPart)) {
      bits |= kLocaleInstalled;
      break;
    }
  }
  return bits;
}

const std::array<TLangInfo, kLanguageTableSize>& LanguageTable() {
  static const std::array<TLangInfo, kLanguageTableSize> table = [] {
    std::array<TLangInfo, kLanguageTableSize> t = {{
        {0, 1, 0, "Unknown"},
        {1033, 0, 0, "English"},
        {1041, 128, 0, "Japanese"},
        {1042, 129, 0, "Korean"},
        {1028, 134, 0, "Chinese"},
        {1049, 204, 0, "Russian"},
        {0, 1, 0, "Unknown"},
    }};
    for (TLangInfo& info : t) info.Available = LocaleAvailability(info.LangID);
    return t;
  }();
  return table;
}

TLanguage TLanguageOrder::Get(int position) const {
  if (position < 0 || position >= Count()) return kLanguageMinus1;
  return ids_[static_cast<std::size_t>(position)];
}

int TLanguageOrder::IndexOf(TLanguage language) const {
  const auto it = std::find(ids_.begin(), ids_.end(), language);
  return it == ids_.end() ? -1 : static_cast<int>(it - ids_.begin());
}

TLanguage TLanguageOrder::Better(TLanguage a, TLanguage b) const {
  const int pa = IndexOf(a);
  if (pa < 0) return b;
  const int pb = IndexOf(b);
  return pb < 0 || pa <= pb ? a : b;
}

void TLanguageOrder::SetAt(int position, TLanguage language) {
  if (position < 0) return;
  const auto p = static_cast<std::size_t>(position);
  if (ids_.size() <= p) ids_.resize(p + 1, kNoLanguage);
  ids_[p] = language;
}

const TLanguageOrder& LanguageOrder() {
  // Fixed identifiers of table entries 1 to 6, so that building the order needs no ICU query.
  static const TLanguageOrder order = [] {
    TLanguageOrder o;
    const TLanguage ids[] = {kEnglish, kJapanese, kKorean, kChinese, kRussian, kNoLanguage};
    for (int i = 0; i < 6; ++i) o.SetAt(i, ids[i]);
    return o;
  }();
  return order;
}

int LangIndex(TLanguage language) {
  switch (language) {
    case kEnglish:
      return 0;
    case kJapanese:
      return 1;
    case kKorean:
      return 2;
    case kChinese:
      return 3;
    case kRussian:
      return 4;
    case kNoLanguage:
      return 5;
    default:
      return -1;
  }
}

int CompareInLanguage(TLanguage language, std::string_view a, std::string_view b, bool ignoreCase) {
  if (UCollator* collator = Collator(language, ignoreCase)) {
    const std::u16string ua = ToUtf16(language, a);
    const std::u16string ub = ToUtf16(language, b);
    switch (ucol_strcoll(collator, ua.data(), static_cast<int32_t>(ua.size()), ub.data(),
                         static_cast<int32_t>(ub.size()))) {
      case UCOL_LESS:
        return -1;
      case UCOL_GREATER:
        return 1;
      default:
        return 0;
    }
  }
  // No collator at all: byte order, with ASCII letters folded when case is ignored.
  const auto fold = [ignoreCase](char c) {
    const auto u = static_cast<unsigned char>(c);
    return ignoreCase && u >= 'A' && u <= 'Z' ? u + 32 : u;
  };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool IsPlainAscii(std::string_view text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) >= 128; });
}

}  // namespace kessaro
