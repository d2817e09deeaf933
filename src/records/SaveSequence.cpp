#include "records/SaveSequence.h"

#include <vector>

#include "platform/AtomicWrite.h"
#include "records/GameFunc.h"

namespace kessaro {
namespace {

constexpr const char* kLineBreak = "\r\n";

// Writer settings; nothing in the product assigns them.
const std::string kApplicationName;
constexpr int kApplicationVersion = 0;

struct TFormatExtension {
  const char* Extension;
  int Format;
};
constexpr TFormatExtension kFormatExtensions[] = {{".sgf", 0}, {".sgf", 1}, {".go", 2}};

struct TElementProperty {
  TGameInfoElement Element;
  const char* Identifier;
};
// The game information written in format 0, in element order.
constexpr TElementProperty kElementProperties[] = {
    {GI_Charset, "CA"},     {GI_Analysis, "AN"},    {GI_GameName, "GN"},     {GI_GameComment, "GC"},
    {GI_BlackPlayer, "PB"}, {GI_WhitePlayer, "PW"}, {GI_BlackRank, "BR"},    {GI_WhiteRank, "WR"},
    {GI_BlackTeam, "BT"},   {GI_WhiteTeam, "WT"},   {GI_Result, "RE"},       {GI_Event, "EV"},
    {GI_Place, "PC"},       {GI_Round, "RO"},       {GI_Rules, "RU"},        {GI_Source, "SO"},
    {GI_Date, "DT"},        {GI_OverTime, "OT"},    {GI_RecorderName, "US"}, {GI_Komi, "KM"},
    {GI_Handicap, "HA"},    {GI_BoardSize, "SZ"},   {GI_CopyRight, "CP"},
};

// Every "]" gets a backslash. A text ending in a backslash would turn the closing bracket into
// an escaped one and run the value on, so a space is put before the bracket (readers trim it).
std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 1);
  for (const char c : text) {
    if (c == ']') out += '\\';
    out += c;
  }
  if (!out.empty() && out.back() == '\\') out += ' ';
  return out;
}

void Property(std::string& out, const char* id, const std::string& value) {
  out += id;
  out += '[';
  out += Escaped(value);
  out += ']';
  out += kLineBreak;
}

// The game record of a node by its kind.
const TGame* GameOf(const TSequence* node) {
  if (!node->Data) return nullptr;
  switch (node->Kind) {
    case skGameRoot:
    case skNetRoot:
    case skPathNode:
    case skGameMove:
    case skNetGameNode:
      return node->Data->Game();
    default:
      return nullptr;
  }
}

void WriteInformation(std::string& out, const TGame& game, int options) {
  const TLanguage main = MainLanguage(game);
  for (const auto& p : kElementProperties) {
    if (ElementName(p.Element).empty()) continue;
    if (!(options & KeepSourceAndUser) && (p.Element == GI_Source || p.Element == GI_RecorderName))
      continue;
    if (p.Element == GI_Charset) {
      if (main == kNoLanguage) continue;
      for (const auto& lang : LanguageTable()) {
        if (lang.LangID != main) continue;
        const std::string id = CharsetIdentifier(lang.Charset);
        if (!id.empty()) Property(out, p.Identifier, id);
      }
      continue;
    }
    std::string text = ElementTextIn(game, p.Element, kEnglish);
    if (text.empty()) text = ElementTextIn(game, p.Element, main);
    if (!text.empty()) Property(out, p.Identifier, text);
  }
}

}  // namespace

int SgfFormatFor(const std::string& fileName, int format) {
  for (const auto& f : kFormatExtensions) {
    const std::string ext = f.Extension;
    if (fileName.size() >= ext.size() &&
        fileName.compare(fileName.size() - ext.size(), ext.size(), ext) == 0)
      return f.Format;
  }
  return format;
}

std::string BuildSequenceText(const TSequence* node, int format, int options) {
  std::string out;
  if (!node || format != 0) return out;  // formats 1 and 2 write nothing
  out += "(;";
  out += kLineBreak;
  out += "FF[4]";
  out += kLineBreak;
  out += "GM[1]";
  out += kLineBreak;
  out += "AP[" + kApplicationName + ": 0." + std::to_string(kApplicationVersion) + "]";
  out += kLineBreak;
  if (options & WriteGameInfo) {
    if (const TGame* game = GameOf(node)) WriteInformation(out, *game, options);
  }
  if (!(options & KeepSourceAndUser)) {
    Property(out, "SO", kApplicationName);
    Property(out, "US", kApplicationName);
  }
  const TSequence* last = node;
  if (options & ToEndOfLine)
    while (last->FirstChild) last = last->FirstChild;
  std::vector<const TSequence*> path;
  for (const TSequence* n = last; n; n = n->ParentNode) path.push_back(n);
  for (auto it = path.rbegin() + 1; it < path.rend(); ++it) {
    const TSequence* n = *it;
    out += ';';
    out += (n->Flags & sfBlack) ? "B[" : "W[";
    if ((n->Point & kPointMask) != kNoMove) {
      out += static_cast<char>('a' + MoveX(n->Point));
      out += static_cast<char>('a' + MoveY(n->Point));
    }
    out += ']';
    if ((options & WriteComments) && !n->Comment.empty()) out += "C[" + Escaped(n->Comment) + "]";
    out += kLineBreak;
  }
  out += ')';
  out += kLineBreak;
  return out;
}

bool SaveSequenceToFile(const TSequence* node, const std::string& fileName, int format,
                        int options) {
  if (!node) return false;
  // The text is built whole and replaces the file in one step; a failed write is reported.
  const std::string text = BuildSequenceText(node, SgfFormatFor(fileName, format), options);
  return WriteFileAtomically(fileName, text.data(), text.size());
}

}  // namespace kessaro
