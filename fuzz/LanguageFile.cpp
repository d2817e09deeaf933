// Language files are edited by translators: any bytes must load without harm, leave no text
// that would show as garbage, and a file saved after the load must load back and save to the
// same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzTarget.h"
#include "strings/StringsHolder.h"

using namespace kessaro;

namespace {

TStringsHolder FreshHolder() {
  TStringsHolder s;
  s.SetGameInfoFieldNames({"", "Black Player", "White Player", "Komi"});
  s.TranslateWord("Komi");
  s.TranslateWord("Handicap");
  return s;
}

bool Clean(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t' && c != '\r' && c != '\n') || u == 0x7F) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TStringsHolder first = FreshHolder();
  first.LoadLanguageText(std::string_view(reinterpret_cast<const char*>(data), size));
  for (int id = 0; id < kControlIDCount; ++id)
    if (!Clean(first.CurrentCaptions[id]) || !Clean(first.CurrentHints[id])) std::abort();
  for (const std::string& text : first.CurrentOutputs)
    if (text.empty() || !Clean(text)) std::abort();

  const std::string saved = first.LanguageFileText();
  TStringsHolder second = FreshHolder();
  second.LoadLanguageText(saved);
  if (second.LanguageID != first.LanguageID) std::abort();
  if (second.CurrentCaptions != first.CurrentCaptions) std::abort();
  if (second.CurrentHints != first.CurrentHints) std::abort();
  if (second.CurrentOutputs != first.CurrentOutputs) std::abort();
  if (second.LanguageFileText() != saved) std::abort();
  return 0;
}
