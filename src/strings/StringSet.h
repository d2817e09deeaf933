#pragma once
// Multilingual data texts: the packed string set, the table of supported languages with their
// fixed priority order, and comparison of texts in the collation of a language.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kessaro {

// A Windows language identifier; 0 is no language.
using TLanguage = std::uint16_t;
constexpr TLanguage kNoLanguage = 0;
constexpr TLanguage kEnglish = 1033;
constexpr TLanguage kJapanese = 1041;
constexpr TLanguage kKorean = 1042;
constexpr TLanguage kChinese = 1028;
constexpr TLanguage kRussian = 1049;
// Language -1: "no language of the order" in results, and the private entry of a comment set.
constexpr TLanguage kLanguageMinus1 = 0xFFFF;

using TIDs = std::vector<TLanguage>;

struct TLangText {
  TLanguage Language = kNoLanguage;
  std::string Text;
  bool operator==(const TLangText&) const = default;
};

// One text per language, packed as entries of (length u16, language u16, bytes) back to back,
// little-endian. The buffer is also the stored form, so it may arrive from a file: every reader
// walks it defensively and ignores a truncated tail; the first modification drops that tail.
class TStringSet {
 public:
  // Longest text one entry can hold (the length field has 16 bits).
  static constexpr std::size_t kMaxTextLength = 0xFFFF;

  std::string GetText(TLanguage language) const;
  // Sets, replaces in place or (empty text) removes the language's entry; a new language goes
  // last. Returns false, leaving the set unchanged, for a text longer than kMaxTextLength.
  bool SetText(TLanguage language, std::string_view text);

  int Count() const;
  // Language 0 and an empty text when index is out of range.
  TLangText GetEntry(int index) const;
  TIDs GetLanguages() const;

  // Copies the buffer; an absent source clears.
  void Assign(const TStringSet* source);
  void Clear() { buffer_.clear(); }
  bool Empty() const { return buffer_.empty(); }

  // The non-empty entry whose language has the best position in LanguageOrder; language 0 and
  // an empty text when there is none.
  TLangText BestText() const;
  TLanguage BestLanguage() const { return BestText().Language; }
  // The same choice, but language -1 and an empty text when no entry's language is ordered.
  TLangText PreferredText() const;

  // Every entry has an entry of the same language in other with the same non-empty text.
  bool IsContainedIn(const TStringSet* other) const;
  // Removes every language whose text equals the text of the same language in other.
  void RemoveEqualTexts(const TStringSet& other);

  const std::vector<std::uint8_t>& Buffer() const { return buffer_; }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(buffer_.size()); }
  // Takes stored bytes as they are (see the class comment).
  void SetBuffer(const std::uint8_t* data, std::size_t size) { buffer_.assign(data, data + size); }

  bool operator==(const TStringSet&) const = default;

 private:
  struct Entry {
    std::size_t offset;  // of the entry header
    std::size_t length;  // of the text
    TLanguage language;
  };
  std::vector<Entry> Entries() const;
  std::string TextOf(const Entry& e) const;

  std::vector<std::uint8_t> buffer_;
};

// An absent set is contained in anything; a present one is never contained in an absent one.
bool IsContainedIn(const TStringSet* set, const TStringSet* other);

// Bit 0: the locale is installed (collation data present); bit 1: the locale is supported (the
// identifier names a known locale).
constexpr std::uint32_t kLocaleInstalled = 1;
constexpr std::uint32_t kLocaleSupported = 2;

struct TLangInfo {
  TLanguage LangID;
  std::uint8_t Charset;  // font charset number
  std::uint32_t Available;
  const char* Name;
};

constexpr int kLanguageTableSize = 7;
// The table of supported languages; Available is computed from ICU on first use.
const std::array<TLangInfo, kLanguageTableSize>& LanguageTable();
// What ICU offers for a language identifier (language 0 counts as both).
std::uint32_t LocaleAvailability(TLanguage language);

// Priority order of languages: position 0 is the most preferred.
class TLanguageOrder {
 public:
  int Count() const { return static_cast<int>(ids_.size()); }
  // kLanguageMinus1 when position is out of range.
  TLanguage Get(int position) const;
  int IndexOf(TLanguage language) const;
  bool Contains(TLanguage language) const { return IndexOf(language) >= 0; }
  // a when a is ordered and its position is not worse than b's, else b.
  TLanguage Better(TLanguage a, TLanguage b) const;
  void SetAt(int position, TLanguage language);

 private:
  std::vector<TLanguage> ids_;
};

// The global order: table entries 1 to 6, that is 1033, 1041, 1042, 1028, 1049, 0. Built on
// first use, so that it is ready for any other unit's start-up code; never changed.
const TLanguageOrder& LanguageOrder();

// 0 to 5 for the languages of table entries 1 to 6, -1 otherwise.
int LangIndex(TLanguage language);

// Compares two stored texts (bytes in the language's code page) in the collation of the
// language; falls back to the default locale's collation and then to byte order. -1, 0 or 1.
int CompareInLanguage(TLanguage language, std::string_view a, std::string_view b, bool ignoreCase);

bool IsPlainAscii(std::string_view text);

}  // namespace kessaro
