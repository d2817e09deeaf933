#include "records/DateReader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace kessaro {
namespace {

constexpr const char* kNoDate = "1900.01.01";
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kMonthsLower = {"jan", "feb", "mar", "apr", "may", "jun",
                                                      "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::size_t kMaxWords = 10;
// Two-digit years fall into the hundred years that end this many years after the current one.
constexpr int kTwoDigitYearWindow = 50;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), IsDigit);
}

bool Contains(std::string_view s, std::string_view part) {
  return s.find(part) != std::string_view::npos;
}

// Drops control characters and spaces at both ends.
std::string Trim(std::string_view s) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// Splits at single spaces (runs count as one) into at most kMaxWords words.
std::vector<std::string> Words(std::string_view s) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < s.size() && words.size() < kMaxWords) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i == s.size()) break;
    const std::size_t start = i;
    while (i < s.size() && s[i] != ' ') ++i;
    words.emplace_back(s.substr(start, i - start));
  }
  return words;
}

std::string Join(const std::string& a, const std::string& b, const std::string& c) {
  return a + "." + b + "." + c;
}

std::string FromNumericWords(const std::vector<std::string>& w) {
  std::string day = "01", month = "01", year = "1900";
  if (w[0].size() == 4) {
    year = w[0];
    month = w[1];
    day = w[2];
  } else if (w[0].size() <= 2) {
    if (std::stoi(w[0]) > 12) {
      day = w[0];
      month = w[1];
    } else {
      month = w[0];
      day = w[1];
    }
    year = w[2];
  }
  return Join(year, month, day);
}

std::string FromNamedWords(const std::vector<std::string>& words) {
  std::string day, month, year = "1900";
  for (const std::string& w : words) {
    if ((w.size() == 1 || w.size() == 2) && AllDigits(w)) {
      day = w;
      continue;
    }
    std::size_t suffix = std::string::npos;
    for (const char* s : {"nd", "st", "th"}) {
      suffix = w.find(s);
      if (suffix != std::string::npos) break;
    }
    if (suffix != std::string::npos && w.size() <= 4) {
      day = w.substr(0, suffix);
      continue;
    }
    // Four digits are a year too, so that years from 2000 on are not lost.
    if (w.size() == 4 && (w[0] == '1' || AllDigits(w))) year = w;
    for (std::size_t m = 0; m < kMonths.size(); ++m) {
      if (Contains(w, kMonths[m]) || Contains(w, kMonthsLower[m])) {
        month = std::to_string(m + 1);
        break;
      }
    }
  }
  if (day.empty()) day = "01";
  if (month.empty()) month = "01";
  return Join(day, month, year);
}

// A part of a normalised date: one to four digits.
std::optional<int> Number(std::string_view s) {
  if (s.empty() || s.size() > 4 || !AllDigits(s)) return std::nullopt;
  int n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

int ExpandYear(int year, std::size_t digits) {
  if (digits > 2) return year;
  const int pivot = DecodeDateTime(Now()).date.year - kTwoDigitYearWindow;
  year += pivot / 100 * 100;
  if (year < pivot) year += 100;
  return year;
}

// Day number of d.m.y, or 0 when the parts are no valid date.
TDateTime Encode(std::string_view day, std::string_view month, std::string_view year) {
  const auto d = Number(day), m = Number(month), y = Number(year);
  if (!d || !m || !y) return 0;
  const TCivilDate date{ExpandYear(*y, year.size()), *m, *d};
  if (date.year < 1 || !IsValidCivilDate(date)) return 0;
  return static_cast<TDateTime>(DaysFromCivil(date));
}

}  // namespace

std::string NormaliseDate(std::string_view text) {
  std::string t = Trim(text);
  if (t.size() <= 3 || Contains(t, "unknown")) return kNoDate;
  if (t.size() > 10 && t[4] == '-' && t[7] == '-') {
    std::string day = t.substr(t.size() - 2);
    if (!IsDigit(day[0])) day.erase(0, 1);
    return Join(t.substr(0, 4), t.substr(5, 2), day);
  }
  for (char& c : t) {
    if ((c == '-' && t.size() <= 10) || c == '.' || c == ',' || c == '/') c = ' ';
  }
  if (const std::size_t of = t.find("of"); of != std::string::npos) t.erase(of, 3);
  t = Trim(t);
  if (t.size() == 4) return AllDigits(t) ? t + ".01.01" : kNoDate;

  std::string reduced;
  for (char c : t)
    if (c != ' ' || reduced.empty() || reduced.back() != ' ') reduced += c;
  std::vector<std::string> words = Words(reduced);
  const bool numeric =
      std::all_of(reduced.begin(), reduced.end(), [](char c) { return IsDigit(c) || c == ' '; });
  if (reduced.size() >= 8 && reduced.size() <= 10 && numeric && words.size() == 3)
    return FromNumericWords(words);
  if (const std::size_t dash = reduced.rfind('-'); dash != std::string::npos)
    words = Words(std::string_view(reduced).substr(dash + 1));
  return FromNamedWords(words);
}

TDateTime DateFromText(std::string_view text) {
  const std::string n = NormaliseDate(text);
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = n.find('.', start);
    parts.push_back(std::string_view(n).substr(start, dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (parts.size() != 3) return 0;
  const TDateTime dayFirst = Encode(parts[0], parts[1], parts[2]);
  if (dayFirst != 0) return dayFirst;
  return Encode(parts[2], parts[1], parts[0]);
}

}  // namespace kessaro
