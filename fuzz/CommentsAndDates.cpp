// Comment sets come from string base records and SGF files, dates from SGF DT values: any
// bytes must be safe. The bytes are read both as a stored string set and as a date text;
// parsed comments must build and parse back to the same entries.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "FuzzTarget.h"
#include "records/CommentParsing.h"
#include "records/DateReader.h"

using namespace kessaro;

namespace {

// Equal entries, with a page that has no source counting as no page (it is not stored).
bool SameEntries(const TSComments& a, const TSComments& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!a[i].Texts != !b[i].Texts) return false;
    if (!a[i].Texts) continue;
    if (a[i].Source != b[i].Source) return false;
    if (a[i].Source != 0 && a[i].Page != b[i].Page) return false;
    const TStringSet &x = *a[i].Texts, &y = *b[i].Texts;
    if (x.Count() != y.Count()) return false;
    for (int e = 0; e < x.Count(); ++e) {
      const TLangText t = x.GetEntry(e);
      if (y.GetText(t.Language) != t.Text) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TStringSet stored;
  stored.SetBuffer(data, size);
  TSComments first;
  ParseComments(&stored, first);
  PStringSet built = std::make_unique<TStringSet>(stored);
  if (BuildComments(first, built)) {
    TSComments second;
    ParseComments(built.get(), second);
    if (!SameEntries(first, second)) std::abort();
  }
  if (built->GetText(kLanguageMinus1) != stored.GetText(kLanguageMinus1)) std::abort();

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  NormaliseDate(text);
  const double date = DateFromText(text);
  if (!std::isfinite(date) || std::fabs(date) > 3e6) std::abort();
  return 0;
}
