#include "strings/StringsHolder.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <utility>

#include "platform/AtomicWrite.h"
#include "platform/CodePage.h"
#include "platform/UserHome.h"
#include "strings/StringSet.h"

namespace kessaro {

namespace {

#define KESSARO_ID_NAME(name) #name,
constexpr const char* kControlNames[] = {KESSARO_CONTROL_IDS(KESSARO_ID_NAME)};
constexpr const char* kOutputNames[] = {KESSARO_OUTPUT_IDS(KESSARO_ID_NAME)};
#undef KESSARO_ID_NAME
static_assert(std::size(kControlNames) == kControlIDCount);
static_assert(std::size(kOutputNames) == kOutputIDCount);

// The outputs with texts of their own; the others show their words.
constexpr std::pair<TOutputID, const char*> kBuiltInOutputs[] = {
    {errWhileBuildingIndex, "Error while building index"},
    {errCannotOpenRegistry, "Cann't open registry"},
    {outSpaceTenuki, "Space - tenuki"},
    {outEndOfVar, "End of var."},
    {outNoTenuki, "no tenuki"},
    {outGamesFound, "games found"},
    {outCm, "cm"},
    {outInch, "inch"},
};

constexpr std::array<TSectionElement, kSectionCount> kSections = {{
    {"", "Language"},
    {"btn", "Button"},
    {"frm", "Form"},
    {"act", "Action"},
    {"mi", "MenuItem"},
    {"tb", "Toolbar"},
    {"lb", "Label"},
    {"gb", "Group Box"},
    {"cb", "Check Box"},
    {"cmb", "Combo Box"},
    {"rg", "Radio Group"},
    {"rbtn", "Radio Button"},
    {"err", "Error"},
    {"msg", "Message"},
    {"out", "Output"},
    {"", "Game Info Field"},
    {"", "Dictionary"},
}};
constexpr int kLanguageSection = 0;
constexpr int kFirstControlSection = 1;
constexpr int kLastControlSection = 11;
constexpr int kFirstOutputSection = 12;
constexpr int kLastOutputSection = 14;
constexpr int kGameInfoSection = 15;
constexpr int kDictionarySection = 16;

const std::string kCrLf = "\r\n";
const std::string kHintSuffix = " Hint";

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return LowerCase(haystack).find(LowerCase(needle)) != std::string::npos;
}

// What a key of a control or output section sets.
struct KeyTarget {
  int id;
  bool hint;
};

// Per section, the keys that the section's identifiers answer to.
const std::array<std::multimap<std::string, KeyTarget, std::less<>>, kSectionCount>& KeyTable() {
  static const auto table = [] {
    std::array<std::multimap<std::string, KeyTarget, std::less<>>, kSectionCount> t;
    for (int s = kFirstControlSection; s <= kLastControlSection; ++s)
      for (int id = 0; id < kControlIDCount; ++id)
        if (NamePrefix(kControlNames[id]) == kSections[s].Prefix) {
          const std::string words = ControlWords(static_cast<TControlID>(id));
          t[s].emplace(words, KeyTarget{id, false});
          t[s].emplace(words + kHintSuffix, KeyTarget{id, true});
        }
    for (int s = kFirstOutputSection; s <= kLastOutputSection; ++s)
      for (int id = 0; id < kOutputIDCount; ++id)
        if (NamePrefix(kOutputNames[id]) == kSections[s].Prefix)
          t[s].emplace(OutputWords(static_cast<TOutputID>(id)), KeyTarget{id, false});
    return t;
  }();
  return table;
}

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A text that begins with a double quote is the quoted string up to its closing quote (a
// doubled quote standing for one); a quote that never closes takes the rest of the text.
std::string Unquote(std::string_view s) {
  if (s.empty() || s.front() != '"') return std::string(s);
  std::string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    if (s[i] != '"') {
      out += s[i];
    } else if (i + 1 < s.size() && s[i + 1] == '"') {
      out += '"';
      ++i;
    } else {
      break;
    }
  }
  return out;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

// Every line break (CR LF, CR or LF) becomes CR LF.
std::string NormaliseBreaks(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += kCrLf;
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else if (s[i] == '\n') {
      out += kCrLf;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Line breaks written as backslash-n, the file's one-line form of a text.
std::string EncodeBreaks(std::string_view s) {
  const std::string normal = NormaliseBreaks(s);
  std::string out;
  for (std::size_t i = 0; i < normal.size(); ++i) {
    if (normal[i] == '\r' && i + 1 < normal.size() && normal[i + 1] == '\n') {
      out += "\\n";
      ++i;
    } else {
      out += normal[i];
    }
  }
  return out;
}

std::string DecodeBreaks(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      out += kCrLf;
      ++i;
    } else {
      out += s[i];
    }
  }
  return NormaliseBreaks(out);
}

// A text that would show as garbage: control characters other than tab and line breaks, or
// bytes that the interface language's code page does not map.
bool IsUnreadable(std::uint16_t language, const std::string& text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t' && c != '\r' && c != '\n') || u == 0x7F) return true;
  }
  if (IsPlainAscii(text)) return false;
  static const std::string replacement = "\xEF\xBF\xBD";
  return ToUtf8(language, text).find(replacement) != std::string::npos &&
         text.find(replacement) == std::string::npos;
}

std::uint16_t ParseLanguageID(std::string_view s) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || value > 0xFFFF) return 0;
  return static_cast<std::uint16_t>(value);
}

// The component tree walked without recursion: Enter on the way down, Leave once a
// component's children are done.
template <typename Enter, typename Leave>
void WalkComponents(TLanguageComponent& form, Enter enter, Leave leave) {
  struct Frame {
    TLanguageComponent* component;
    int next;
  };
  std::vector<Frame> stack{{&form, 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.component->ChildCount()) {
      TLanguageComponent* child = top.component->Child(top.next++);
      if (child == nullptr) continue;
      enter(*child);
      stack.push_back({child, 0});
    } else {
      TLanguageComponent* done = top.component;
      stack.pop_back();
      if (!stack.empty()) leave(*done);
    }
  }
}

// A component's text as the tables hold it.
std::string TextOf(const TLanguageComponent& c) {
  switch (c.Kind()) {
    case TComponentKind::ComboBox:
      return JoinLines(c.Items());
    case TComponentKind::RadioGroup:
      return c.Caption() + "|" + JoinLines(c.Items());
    default:
      return c.Caption();
  }
}

void SetTextOf(TLanguageComponent& c, const std::string& text) {
  switch (c.Kind()) {
    case TComponentKind::ComboBox:
      c.SetItems(SplitLines(text));
      break;
    case TComponentKind::RadioGroup: {
      const auto bar = text.find('|');
      c.SetCaption(text.substr(0, bar));
      if (bar != std::string::npos) c.SetItems(SplitLines(std::string_view(text).substr(bar + 1)));
      break;
    }
    default:
      c.SetCaption(text);
      break;
  }
}

bool CarriesText(TComponentKind kind) {
  return kind != TComponentKind::Other;
}

}  // namespace

const char* ControlName(TControlID id) {
  return id >= 0 && id < kControlIDCount ? kControlNames[id] : "";
}

const char* OutputName(TOutputID id) {
  return id >= 0 && id < kOutputIDCount ? kOutputNames[id] : "";
}

std::optional<TControlID> FindControlID(std::string_view componentName) {
  static const auto byName = [] {
    std::map<std::string, TControlID, std::less<>> m;
    for (int id = 0; id < kControlIDCount; ++id)
      m.emplace(LowerCase(kControlNames[id]), static_cast<TControlID>(id));
    return m;
  }();
  if (componentName.empty() || componentName.size() > 64) return std::nullopt;
  const auto it = byName.find(LowerCase(componentName));
  if (it == byName.end()) return std::nullopt;
  return it->second;
}

std::string_view NamePrefix(std::string_view name) {
  std::size_t n = 0;
  while (n < name.size() && name[n] >= 'a' && name[n] <= 'z') ++n;
  return name.substr(0, n);
}

std::string NameWords(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '_') {
      out += ' ';
      continue;
    }
    if (i > 0 && (IsDigit(c) || IsUpper(c))) {
      const char prev = name[i - 1];
      if (!IsDigit(prev) && !IsUpper(prev) && prev != '_') out += ' ';
    }
    out += c;
  }
  return out;
}

std::string ControlWords(TControlID id) {
  const std::string_view name = ControlName(id);
  return NameWords(name.substr(NamePrefix(name).size()));
}

std::string OutputWords(TOutputID id) {
  const std::string_view name = OutputName(id);
  return NameWords(name.substr(NamePrefix(name).size()));
}

const std::array<TSectionElement, kSectionCount>& Sections() {
  return kSections;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += kCrLf;
    out += lines[i];
  }
  return out;
}

TStringsHolder::TStringsHolder() {
  ResetLanguage();
  CurrentCaptions[actGamesList] = "Games List";
  for (const auto& [id, text] : kBuiltInOutputs) CurrentOutputs[id] = text;
  for (int id = 0; id < kOutputIDCount; ++id)
    if (CurrentOutputs[id].empty())
      CurrentOutputs[id] = NameWords(std::string_view(kOutputNames[id]).substr(3));
  DefaultCaptions = CurrentCaptions;
  DefaultOutputs = CurrentOutputs;
}

const std::string& TStringsHolder::GameInfoFieldName(int element) const {
  static const std::string none;
  if (element < 0 || element >= static_cast<int>(GameInfoFieldNames.size())) return none;
  return GameInfoFieldNames[static_cast<std::size_t>(element)].Name;
}

void TStringsHolder::SetGameInfoFieldNames(const std::vector<std::string>& englishNames) {
  GameInfoFieldNames.clear();
  for (const std::string& name : englishNames) GameInfoFieldNames.push_back({name, name});
}

void TStringsHolder::ResetLanguage() {
  LanguageID = 0;
  LanguageCharset = 0;
  LanguageFontName = kDefaultFontName;
  for (auto& s : CurrentCaptions) s.clear();
  for (auto& s : CurrentHints) s.clear();
  for (auto& s : CurrentOutputs) s.clear();
  for (TDictionaryWord& w : Dictionary) w.Translation.clear();
}

std::string TStringsHolder::TranslateWord(std::string_view word) {
  for (const TDictionaryWord& w : Dictionary)
    if (w.Word == word) return w.Translation.empty() ? std::string(word) : w.Translation;
  // A word with a line break could not be written as one line of the file.
  if (word.find_first_of("\r\n") == std::string_view::npos)
    Dictionary.push_back({std::string(word), ""});
  return std::string(word);
}

void TStringsHolder::FillFromDefaults() {
  for (int id = 0; id < kControlIDCount; ++id) {
    if (CurrentCaptions[id].empty()) CurrentCaptions[id] = DefaultCaptions[id];
    if (CurrentHints[id].empty()) CurrentHints[id] = DefaultHints[id];
  }
  for (int id = 0; id < kOutputIDCount; ++id)
    if (CurrentOutputs[id].empty()) CurrentOutputs[id] = DefaultOutputs[id];
  for (TGameInfoFieldName& f : GameInfoFieldNames)
    if (f.Name.empty()) f.Name = f.English;
}

void TStringsHolder::DropUnreadableTexts() {
  auto drop = [this](std::string& text) {
    if (IsUnreadable(LanguageID, text)) text.clear();
  };
  for (auto& s : CurrentCaptions) drop(s);
  for (auto& s : CurrentHints) drop(s);
  for (auto& s : CurrentOutputs) drop(s);
  for (TGameInfoFieldName& f : GameInfoFieldNames) drop(f.Name);
  for (TDictionaryWord& w : Dictionary) drop(w.Translation);
  if (IsUnreadable(LanguageID, LanguageFontName)) LanguageFontName = kDefaultFontName;
}

bool TStringsHolder::LoadLanguageFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ResetLanguage();
    for (TGameInfoFieldName& f : GameInfoFieldNames) f.Name.clear();
    FillFromDefaults();
    return false;
  }
  std::string bytes(kMaxLanguageFileSize, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  LoadLanguageText(bytes);
  return true;
}

void TStringsHolder::LoadLanguageText(std::string_view bytes) {
  ResetLanguage();
  // Names of an earlier language that this file does not give fall back to English too.
  for (TGameInfoFieldName& f : GameInfoFieldNames) f.Name.clear();
  const auto& keys = KeyTable();
  int section = -1;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find_first_of("\r\n", pos);
    std::string_view line = bytes.substr(pos, end == std::string_view::npos ? end : end - pos);
    pos = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end != std::string_view::npos && bytes[end] == '\r' && pos < bytes.size() &&
        bytes[pos] == '\n')
      ++pos;

    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    // Only a whole bracketed line opens a section, so a "[" inside a text does not.
    if (line.front() == '[' && line.back() == ']') {
      const std::string_view name = line.substr(1, line.find(']') - 1);
      section = -1;
      for (int s = 0; s < kSectionCount; ++s)
        if (name == kSections[s].Name) section = s;
      continue;
    }
    if (section < 0) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string key = Unquote(Trim(line.substr(0, eq)));
    const std::string value = Unquote(Trim(line.substr(eq + 1)));
    if (key == "\"\"" || key == "\"" || value == "\"\"" || value == "\"") continue;
    if (value.size() > kMaxLanguageText) continue;

    if (section == kLanguageSection) {
      if (key == "ID") LanguageID = ParseLanguageID(value);
      if (key == "FONT NAME") LanguageFontName = value;
    } else if (section <= kLastOutputSection) {
      const std::string text = DecodeBreaks(value);
      const auto [first, last] = keys[section].equal_range(key);
      for (auto it = first; it != last; ++it) {
        const KeyTarget t = it->second;
        if (section >= kFirstOutputSection)
          CurrentOutputs[t.id] = text;
        else if (t.hint)
          CurrentHints[t.id] = text;
        else
          CurrentCaptions[t.id] = text;
      }
    } else if (section == kGameInfoSection) {
      for (TGameInfoFieldName& f : GameInfoFieldNames)
        if (!f.English.empty() && f.English == key) f.Name = DecodeBreaks(value);
    } else if (section == kDictionarySection) {
      for (TDictionaryWord& w : Dictionary)
        if (w.Word == key) w.Translation = value;
    }
  }
  if (LanguageFontName.empty()) LanguageFontName = kDefaultFontName;
  DropUnreadableTexts();
  FillFromDefaults();
  LanguageCharset = LanguageTable()[0].Charset;
  for (const TLangInfo& info : LanguageTable())
    if (info.LangID == LanguageID && LanguageID != 0) LanguageCharset = info.Charset;
}

std::string TStringsHolder::LanguageFileText() const {
  std::string out;
  auto section = [&out](int s) { out += "[" + std::string(kSections[s].Name) + "]" + kCrLf; };
  auto pair = [&out](std::string_view key, std::string_view value) {
    out += Quote(key) + " = " + Quote(value) + kCrLf;
  };
  section(kLanguageSection);
  pair("ID", std::to_string(LanguageID));
  pair("FONT NAME", LanguageFontName);
  for (int s = kFirstControlSection; s <= kLastControlSection; ++s) {
    section(s);
    for (int id = 0; id < kControlIDCount; ++id) {
      if (NamePrefix(kControlNames[id]) != kSections[s].Prefix) continue;
      const std::string words = ControlWords(static_cast<TControlID>(id));
      pair(words, EncodeBreaks(CurrentCaptions[id]));
      if (!CurrentHints[id].empty()) pair(words + kHintSuffix, EncodeBreaks(CurrentHints[id]));
    }
  }
  for (int s = kFirstOutputSection; s <= kLastOutputSection; ++s) {
    section(s);
    for (int id = 0; id < kOutputIDCount; ++id)
      if (NamePrefix(kOutputNames[id]) == kSections[s].Prefix)
        pair(OutputWords(static_cast<TOutputID>(id)), EncodeBreaks(CurrentOutputs[id]));
  }
  section(kGameInfoSection);
  for (const TGameInfoFieldName& f : GameInfoFieldNames)
    if (!f.English.empty()) pair(f.English, EncodeBreaks(f.Name));
  section(kDictionarySection);
  for (const TDictionaryWord& w : Dictionary) pair(w.Word, w.Translation);
  return out;
}

bool TStringsHolder::SaveLanguageFile(const std::string& path) const {
  const std::string text = LanguageFileText();
  return WriteFileAtomically(path, text.data(), text.size());
}

void TStringsHolder::ApplyLanguage(TLanguageComponent& form, bool atConstruction) {
  const std::string formName = form.Name();
  auto frmMatches = [&formName](int id) {
    const std::string_view name = kControlNames[id];
    return NamePrefix(name) == "frm" && name.size() > 3 && ContainsNoCase(formName, name.substr(3));
  };

  if (atConstruction) {
    for (int id = 0; id < kControlIDCount; ++id)
      if (frmMatches(id) && DefaultCaptions[id].empty()) DefaultCaptions[id] = form.Caption();
    // Children before their parent: the first component that carries a name decides.
    WalkComponents(
        form, [](TLanguageComponent&) {},
        [this](TLanguageComponent& c) {
          if (!CarriesText(c.Kind())) return;
          const auto id = FindControlID(c.Name());
          if (!id) return;
          if (DefaultCaptions[*id].empty()) DefaultCaptions[*id] = TextOf(c);
          if (DefaultHints[*id].empty()) DefaultHints[*id] = c.Hint();
        });
    for (int id = 0; id < kControlIDCount; ++id) {
      if (CurrentCaptions[id].empty()) CurrentCaptions[id] = DefaultCaptions[id];
      if (CurrentHints[id].empty()) CurrentHints[id] = DefaultHints[id];
    }
    if (LanguageID == 0) return;
  }

  for (int id = 0; id < kControlIDCount; ++id) {
    if (!frmMatches(id)) continue;
    form.SetCaption(CurrentCaptions[id]);
    break;
  }
  form.SetFont(LanguageCharset, LanguageFontName);
  WalkComponents(
      form,
      [this](TLanguageComponent& c) {
        if (c.HasOwnFont()) c.SetFont(LanguageCharset, LanguageFontName);
      },
      [this](TLanguageComponent& c) {
        if (!CarriesText(c.Kind())) return;
        const auto id = FindControlID(c.Name());
        if (!id) return;
        SetTextOf(c, CurrentCaptions[*id]);
        c.SetHint(CurrentHints[*id]);
      });
}

void TStringsHolder::RegisterForm(TLanguageComponent* form) {
  if (form != nullptr && std::find(forms_.begin(), forms_.end(), form) == forms_.end())
    forms_.push_back(form);
}

void TStringsHolder::UnregisterForm(TLanguageComponent* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
}

void TStringsHolder::ApplyLanguageToAllForms() {
  // A copy: labelling a window must not be disturbed by windows that register meanwhile.
  const std::vector<TLanguageComponent*> forms = forms_;
  for (TLanguageComponent* form : forms) ApplyLanguage(*form, false);
}

TStringsHolder& Strings() {
  static TStringsHolder holder;
  return holder;
}

std::string LanguageFilePath() {
  return UserHomePath("Test.lng");
}

}  // namespace kessaro
