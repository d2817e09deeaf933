// kessaro-tool info FILE... [--json] [--dump]: recognises each database file by its signature
// (or by its extension for a format without one), prints its kind, identity and main header
// fields, and checks every record and link. A string base is given by either of its files
// (".str"/".sid", or ".ltr"/".lid"); --dump adds its texts, converted to UTF-8 by the code
// page of their language. A position base (".pos") is reported with its two string bases;
// --dump lists its positions with their moves and comments. Exit status 1 when any file is
// corrupt or unreadable.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "bases/BaseSorting.h"
#include "bases/Nety.h"
#include "bases/PositionBase.h"
#include "bases/Statistic.h"
#include "bases/SubBase.h"
#include "bases/SubNety.h"
#include "bases/VarsBase.h"
#include "board/Diagram.h"
#include "board/PositionFunc.h"
#include "platform/CodePage.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "records/GameFunc.h"
#include "storage/ByteOrder.h"
#include "strings/StringBase.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

using nlohmann::json;

constexpr std::size_t kReportedBad = 10;

std::string Hex8(std::uint32_t v) {
  char buffer[12];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(v));
  return buffer;
}

std::string Hex4(unsigned v) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%04X", v & 0xFFFF);
  return buffer;
}

std::string Hex2(unsigned v) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02X", v & 0xFF);
  return buffer;
}

std::string Extension(const std::string& name) {
  const auto slash = name.find_last_of('/');
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

// Why an open failed: the error bits in words, or errno when none is set (the system refused
// the file). `verified` names what the kind's Open checks, so that a checksum failure says
// which checksum it was.
std::string OpenFailure(std::uint32_t errors, int savedErrno, const std::string& verified,
                        TErrorOwner owner = eoFile) {
  if (errors == 0)
    return std::string("cannot open: ") + std::strerror(savedErrno != 0 ? savedErrno : EIO);
  std::string text = errors & ErrCorrupt ? verified + " checksum mismatch" : "";
  const std::uint32_t rest = errors & ~ErrCorrupt;
  if (rest != 0) text += (text.empty() ? "" : "; ") + ErrorText(rest, owner);
  return text;
}

std::string Summary(std::uint64_t bad, const std::vector<std::uint32_t>& first, bool sizeOk) {
  if (bad == 0 && sizeOk) return "ok";
  std::string s = "corrupt: " + std::to_string(bad) + " bad records";
  if (!first.empty()) {
    s += " (first:";
    for (std::size_t i = 0; i < first.size(); ++i) s += (i ? ", " : " ") + std::to_string(first[i]);
    s += ")";
  }
  if (!sizeOk) s += ", file size does not match its layout";
  return s;
}

// One file's report, in both forms.
struct TReport {
  json fields = json::object();
  std::vector<std::string> lines;
  bool intact = false;
};

void Field(TReport& r, const std::string& key, const json& value, const std::string& label,
           const std::string& text) {
  r.fields[key] = value;
  r.lines.push_back("  " + label + ": " + text);
}

void Unreadable(TReport& r, const std::string& kind, const std::string& why) {
  r.fields["kind"] = kind;
  r.fields["status"] = "unreadable";
  r.fields["error"] = why;
  r.lines.push_back("  unreadable: " + why);
}

void ReportNet(const std::string& name, TReport& r) {
  TNetyFile net;
  net.SetReadOnly(true);
  errno = 0;
  if (!net.Open(name)) {
    const int saved = errno;
    Unreadable(r, "net", OpenFailure(net.TakeErrors(), saved, "header"));
    return;
  }
  const TNetHeader& h = net.Header();
  r.fields["kind"] = "net";
  r.lines.push_back("  kind: net");
  Field(r, "identity", Hex8(net.Identity()), "identity", Hex8(net.Identity()));
  Field(r, "created", FormatIsoDate(h.Created()), "created", FormatIsoDate(h.Created()));
  Field(r, "modified", FormatIsoDate(h.Modified()), "modified", FormatIsoDate(h.Modified()));
  Field(r, "nodeCount", h.NodeCount(), "node count", std::to_string(h.NodeCount()));
  std::string flags = Hex2(h.NetFlags());
  std::vector<std::string> meaning;
  if (h.NetFlags() & netOffered) meaning.push_back("offered");
  if (h.NetFlags() & netColourInversion) meaning.push_back("colour inversion");
  if (!meaning.empty()) {
    flags += " (";
    for (std::size_t i = 0; i < meaning.size(); ++i) flags += (i ? ", " : "") + meaning[i];
    flags += ")";
  }
  Field(r, "flags", h.NetFlags(), "flags", flags);
  const TRegionWord region = MakeRegion(h.RegionKind(), h.RegionWidth(), h.RegionHeight());
  std::string regionText = "kind " + std::to_string(h.RegionKind()) + ", " +
                           std::to_string(h.RegionWidth()) + " x " +
                           std::to_string(h.RegionHeight());
  if (!IsValidRegion(region)) regionText += " (invalid)";
  Field(r, "region",
        {{"kind", h.RegionKind()}, {"width", h.RegionWidth()}, {"height", h.RegionHeight()}},
        "region", regionText);
  Field(r, "description", h.Description(), "description", h.Description());

  const TNetCheck check = CheckNet(net, kReportedBad);
  r.fields["unreached"] = check.unreached;
  r.fields["badRecords"] = check.badRecords;
  r.fields["firstBad"] = check.firstBad;
  r.intact = check.Ok();
  r.fields["status"] = r.intact ? "ok" : "corrupt";
  r.lines.push_back("  " + Summary(check.badRecords, check.firstBad, true));
}

void ReportStatistic(const std::string& name, TReport& r) {
  TStatistic stat;
  stat.SetReadOnly(true);
  errno = 0;
  stat.Open(name);
  if (!stat.Active()) {
    const int saved = errno;
    Unreadable(r, "statistic", OpenFailure(stat.TakeErrors(), saved, "record"));
    return;
  }
  stat.SetMapped(true);
  stat.TakeErrors();  // a failed mapping leaves positioned reads
  r.fields["kind"] = "statistic";
  r.lines.push_back("  kind: statistic");
  Field(r, "ownerIdentity", Hex8(stat.OwnerIdentity()), "owner identity",
        Hex8(stat.OwnerIdentity()));
  Field(r, "counterCount", stat.CounterCount(), "counters", std::to_string(stat.CounterCount()));
  Field(r, "recordCount", stat.RecordCount(), "records", std::to_string(stat.RecordCount()));
  Field(r, "overflowCount", stat.OverflowCount(), "overflow entries",
        std::to_string(stat.OverflowCount()));
  const TStatCheck check = CheckStatistic(stat, kReportedBad);
  r.fields["badRecords"] = check.badRecords;
  r.fields["firstBad"] = check.firstBad;
  r.fields["sizeMatches"] = check.sizeMatches;
  r.intact = check.Ok();
  r.fields["status"] = r.intact ? "ok" : "corrupt";
  r.lines.push_back("  " + Summary(check.badRecords, check.firstBad, check.sizeMatches));
}

// ---------------------------------------------------------------------------------------------
// Sub-nets, sub bases and the variations base

std::string CheckText(bool ok) {
  return ok ? "ok" : "mismatch";
}

void ReportSubNet(const std::string& name, TReport& r) {
  TSubNety sub;
  sub.SetReadOnly(true);
  errno = 0;
  if (!sub.Open(name)) {
    const int saved = errno;
    Unreadable(r, "sub-net", OpenFailure(sub.TakeErrors(), saved, "header"));
    return;
  }
  r.fields["kind"] = "sub-net";
  r.lines.push_back("  kind: sub-net");
  Field(r, "identity", Hex8(sub.Identity()), "identity", Hex8(sub.Identity()));
  Field(r, "name", sub.NetName(), "name", sub.NetName());
  Field(r, "menuPath", sub.MenuPath(), "menu path", sub.MenuPath());
  Field(r, "created", FormatIsoDate(sub.Created()), "created", FormatIsoDate(sub.Created()));
  Field(r, "modified", FormatIsoDate(sub.Modified()), "tree modification date",
        FormatIsoDate(sub.Modified()));
  Field(r, "netIdentity", Hex8(sub.NetIdentity()), "net identity", Hex8(sub.NetIdentity()));
  Field(r, "subBaseIdentity", Hex8(sub.SubBaseIdentity()), "sub base identity",
        Hex8(sub.SubBaseIdentity()));
  Field(r, "orderKey", sub.OrderKey(), "order key", std::to_string(sub.OrderKey()));
  Field(r, "totalVariations", sub.TotalVariations(), "total variations",
        std::to_string(sub.TotalVariations()));
  if (sub.TotalGames() > 0) {
    Field(r, "totalMoves", sub.TotalMoves(), "total moves number",
          std::to_string(sub.TotalMoves()));
    if (sub.TotalVariations() > 0) {
      const double average =
          static_cast<double>(sub.TotalMoves()) / static_cast<double>(sub.TotalVariations());
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.2f", average);
      Field(r, "averageVariationLength", average, "average variation length", buffer);
    }
  }
  Field(r, "selectionBits", sub.SelectionBits(), "selection bits",
        sub.SelectionBits() == 0
            ? std::string("none (every record)")
            : std::to_string(sub.SelectionBits()) + " at " + std::to_string(sub.SelectionOffset()) +
                  ", crc " + Hex8(sub.SelectionCrc()));
  Field(r, "gameEndBits", sub.GameEndBits(), "game-end bits",
        sub.GameEndBits() == 0
            ? std::string("none")
            : std::to_string(sub.GameEndBits()) + " at " + std::to_string(sub.GameEndOffset()) +
                  ", crc " + Hex8(sub.GameEndCrc()));
  const bool fieldsOk = sub.LoadBitFields();
  if (fieldsOk && sub.Selection() != nullptr)
    Field(r, "selected", sub.SelectedCount(), "selected records",
          std::to_string(sub.SelectedCount()));
  r.fields["bitFields"] = CheckText(fieldsOk);
  r.intact = fieldsOk;
  r.fields["status"] = r.intact ? "ok" : "corrupt";
  r.lines.push_back(std::string("  ") + (fieldsOk ? "ok" : "corrupt: bit fields do not verify"));
}

void ReportSubBase(const std::string& name, TReport& r) {
  TSubBase sub;
  sub.SetReadOnly(true);
  errno = 0;
  if (!sub.Open(name)) {
    const int saved = errno;
    Unreadable(r, "sub base", OpenFailure(sub.TakeErrors(), saved, "header or bit field"));
    return;
  }
  r.fields["kind"] = "sub base";
  r.lines.push_back("  kind: sub base");
  Field(r, "identity", Hex8(sub.Identity()), "identity", Hex8(sub.Identity()));
  Field(r, "menuName", sub.MenuName(), "menu name", sub.MenuName());
  Field(r, "created", FormatIsoDate(sub.Created()), "created", FormatIsoDate(sub.Created()));
  Field(r, "modified", FormatIsoDate(sub.Modified()), "base modification date",
        FormatIsoDate(sub.Modified()));
  Field(r, "orderKey", sub.OrderKey(), "order key", std::to_string(sub.OrderKey()));
  Field(r, "sourceFlags", sub.SourceFlags(), "source flags", Hex2(sub.SourceFlags()));
  Field(r, "hasMask", sub.HasMask(), "game mask", sub.HasMask() ? "yes" : "no");
  const struct {
    TSubBasePart part;
    std::uint8_t flag;
    const char* key;
    const char* label;
  } parts[] = {{spGame, sbGameBase, "gameBase", "game base"},
               {spUser, sbUserBase, "userBase", "user base"},
               {spVars, sbVarsBase, "varsBase", "variations base"}};
  for (const auto& p : parts) {
    if (!(sub.SourceFlags() & p.flag)) continue;
    const TBitsField* field = sub.Field(p.part);
    std::string text = "identity " + Hex8(sub.RecordedIdentity(p.part)) + ", count " +
                       std::to_string(sub.RecordedCount(p.part)) + ", ";
    text += field == nullptr ? std::string("all games")
                             : std::to_string(sub.BitCount(p.part)) + " bits at " +
                                   std::to_string(sub.FieldOffset(p.part)) + ", crc " +
                                   Hex8(sub.FieldCrc(p.part));
    Field(r, p.key,
          {{"identity", Hex8(sub.RecordedIdentity(p.part))},
           {"count", sub.RecordedCount(p.part)},
           {"bits", sub.BitCount(p.part)}},
          p.label, text);
  }
  r.intact = true;
  r.fields["status"] = "ok";
  r.lines.push_back("  ok");
}

void ReportVarsBase(const std::string& name, TReport& r) {
  const std::string base = name.substr(0, name.size() - Extension(name).size());
  TVarsBase vars;
  vars.SetReadOnly(true);
  errno = 0;
  if (!vars.Open(base)) {
    const int saved = errno;
    Unreadable(r, "variations base", OpenFailure(vars.TakeErrors(), saved, "header"));
    return;
  }
  r.fields["kind"] = "variations base";
  r.lines.push_back("  kind: variations base (" + base + ".vpb, .vim, .vdm)");
  Field(r, "identity", Hex8(vars.Identity()), "identity", Hex8(vars.Identity()));
  Field(r, "variationCount", vars.VariationCount(), "variations",
        std::to_string(vars.VariationCount()));
  const TPosBaseCheck positions = CheckPositionBase(vars.Positions());
  Field(r, "positions", positions.Positions, "start positions",
        std::to_string(positions.Positions));
  std::uint64_t bad = 0;
  std::vector<std::uint32_t> firstBad;
  for (std::uint32_t n = 1; n <= vars.VariationCount(); ++n) {
    TVar v;
    if (vars.ReadVar(n, v)) continue;
    ++bad;
    if (firstBad.size() < kReportedBad) firstBad.push_back(n);
  }
  vars.TakeErrors();
  r.fields["badVariations"] = bad;
  r.fields["firstBad"] = firstBad;
  r.fields["positionStore"] = CheckText(positions.Ok());
  r.intact = bad == 0 && positions.Ok();
  r.fields["status"] = r.intact ? "ok" : "corrupt";
  std::string summary = Summary(bad, firstBad, true);
  if (!positions.Ok()) summary = "corrupt: position store does not verify; " + summary;
  r.lines.push_back("  " + summary);
}

// A sort index: its key elements, entries, the sub base it belongs to, and every trie node
// checked.
void ReportSortIndex(const std::string& name, TReport& r) {
  TBaseSorting index;
  index.SetReadOnly(true);
  errno = 0;
  if (!index.Open(name)) {
    const int saved = errno;
    Unreadable(r, "sort index",
               OpenFailure(index.TakeErrors(), saved, "header or name", eoSortIndex));
    return;
  }
  r.fields["kind"] = "sort index";
  r.lines.push_back("  kind: sort index");
  Field(r, "name", index.Name(), "name", index.Name());
  Field(r, "created", FormatIsoDate(index.Created()), "created", FormatIsoDate(index.Created()));
  Field(r, "modified", FormatIsoDate(index.Modified()), "modified",
        FormatIsoDate(index.Modified()));
  json elements = json::array();
  std::string elementText;
  for (std::uint32_t i = 0; i < kSortKeyElements && index.KeyElement(i) != GI_Empty; ++i) {
    const TGameInfoElement e = index.KeyElement(i);
    const std::string& shown = e < kGameInfoElementCount && !ElementName(e).empty()
                                   ? ElementName(e)
                                   : "element " + std::to_string(e);
    elements.push_back(shown);
    elementText += (i ? ", " : "") + shown;
  }
  Field(r, "keyElements", elements, "key elements", elementText.empty() ? "none" : elementText);
  Field(r, "entryCount", index.EntryCount(), "entries", std::to_string(index.EntryCount()));
  Field(r, "subBaseIdentity", Hex8(index.SubBaseIdentity()), "sub base identity",
        Hex8(index.SubBaseIdentity()));
  Field(r, "orderKey", index.OrderKey(), "order key", std::to_string(index.OrderKey()));
  const TTrieCheck check = index.CheckTrie();
  r.fields["trieNodes"] = check.nodes;
  r.fields["badNodes"] = check.badNodes;
  r.fields["badRanges"] = check.badRanges;
  r.intact = check.Ok();
  r.fields["status"] = r.intact ? "ok" : "corrupt";
  r.lines.push_back("  trie nodes: " + std::to_string(check.nodes));
  if (r.intact) {
    r.lines.push_back("  ok");
  } else {
    r.lines.push_back("  corrupt: " + std::to_string(check.badNodes) + " bad trie nodes, " +
                      std::to_string(check.badRanges) + " bad entry ranges" +
                      (check.truncated ? ", walk stopped at its node limit" : ""));
  }
}

// Texts from a file go to a terminal: control characters and backslashes are escaped.
std::string Printable(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    const auto u = static_cast<unsigned char>(c);
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
    if (u == 0xC2 && next >= 0x80 && next < 0xA0) {  // C1 controls (U+0080 to U+009F)
      out += "\\u00" + Hex2(next);
      ++i;
    } else if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (u < 0x20 || u == 0x7F)
      out += "\\x" + Hex2(u);
    else
      out += c;
  }
  return out;
}

std::string LanguageName(TLanguage language) {
  for (const TLangInfo& info : LanguageTable())
    if (info.LangID == language) return info.Name;
  return "Unknown";
}

// The two files of a string base: ".ltr" pairs with ".lid", everything else with ".sid".
struct TStringBaseNames {
  std::string holderExt, tagExt, tagFile;
};
TStringBaseNames StringBaseNames(const std::string& name, bool givenTagFile) {
  const std::string ext = Extension(name);
  const bool letters = ext == ".ltr" || ext == ".lid";
  TStringBaseNames n;
  n.holderExt = letters ? ".ltr" : ".str";
  n.tagExt = letters ? ".lid" : ".sid";
  if (!givenTagFile && ext != n.holderExt) n.holderExt = ext.empty() ? n.holderExt : ext;
  n.tagFile = ChangeFileExt(name, n.tagExt);
  return n;
}

void ReportStringBase(const std::string& name, bool givenTagFile, bool dump, TReport& r) {
  const TStringBaseNames names = StringBaseNames(name, givenTagFile);
  TStringBase base;
  base.SetReadOnly(true);
  base.SetHolderExt(names.holderExt);
  base.SetTagExt(names.tagExt);
  errno = 0;
  if (!base.Open(name)) {
    const int saved = errno;
    const std::uint32_t errors = base.TakeErrors();
    std::string why;
    if (!FileExists(base.FileName()))
      why = "cannot open: the holder file " + base.FileName() + " is missing";
    else if (!FileExists(names.tagFile))
      why = "cannot open: the tag file " + names.tagFile + " is missing";
    else
      why = OpenFailure(errors & ~ErrOpenFailed, saved, "header or free chain", eoStringBase);
    Unreadable(r, "string base", why);
    return;
  }
  TStringHolderFile& holder = base.HolderFile();
  r.fields["kind"] = "string base";
  r.lines.push_back("  kind: string base");
  Field(r, "holderFile", base.FileName(), "holder file", base.FileName());
  Field(r, "tagFile", names.tagFile, "tag file", names.tagFile);
  Field(r, "created", FormatIsoDateTime(holder.CreatedTime), "created",
        FormatIsoDateTime(holder.CreatedTime));
  Field(r, "lastSaved", FormatIsoDateTime(holder.LastSaved), "last saved",
        FormatIsoDateTime(holder.LastSaved));
  Field(r, "stringCount", base.StringCount(), "string count", std::to_string(base.StringCount()));
  Field(r, "maxID", base.MaxID(), "max ID", std::to_string(base.MaxID()));
  const auto freeList = base.FreeList();
  json freeBlocks = json::array();
  for (const TStringFreeBlock& b : freeList)
    freeBlocks.push_back({{"unit", b.Unit}, {"length", b.Length}});
  r.fields["freeBlocks"] = freeBlocks;
  r.lines.push_back("  free blocks: " + std::to_string(freeList.size()));

  // Every record with its two checksums, stored and computed.
  json records = json::array();
  std::uint64_t bad = 0, used = 0;
  std::vector<std::uint32_t> firstBad;
  auto badAt = [&](std::uint32_t unit) {
    ++bad;
    if (firstBad.size() < kReportedBad) firstBad.push_back(unit);
  };
  r.lines.push_back("  records:");
  base.ForEachRecord([&](const TStringRecordInfo& rec) {
    json j = {{"unit", rec.Unit},
              {"length", rec.Head.Length},
              {"headerChecksum", Hex4(rec.StoredHeadCheck)},
              {"headerOk", rec.HeadOk}};
    std::string line = "    unit " + std::to_string(rec.Unit) + ": ";
    const std::string headCheck = "header checksum " + Hex4(rec.StoredHeadCheck);
    if (!rec.HeadOk) {
      j["state"] = "damaged";
      j["computedHeaderChecksum"] = Hex4(rec.HeadCheck);
      line += "damaged, " + headCheck +
              (rec.StoredHeadCheck == rec.HeadCheck ? " ok but data mismatch"
                                                    : " (computed " + Hex4(rec.HeadCheck) + ")") +
              "; skipped to the next sound record";
      badAt(rec.Unit);
    } else if (rec.Free) {
      j["state"] = "free";
      j["next"] = rec.Head.Link;
      line += "free, length " + std::to_string(rec.Head.Length) + ", next " +
              std::to_string(rec.Head.Link) + ", " + headCheck + " ok";
    } else {
      ++used;
      j["state"] = "used";
      j["id"] = rec.Head.Link;
      j["dataChecksum"] = Hex4(rec.StoredDataCheck);
      j["dataOk"] = rec.DataOk;
      j["indexed"] = rec.Indexed;
      line += "id " + std::to_string(rec.Head.Link) + ", length " +
              std::to_string(rec.Head.Length) + ", " + headCheck + " ok, data checksum " +
              Hex4(rec.StoredDataCheck);
      if (rec.DataOk) {
        line += " ok";
      } else {
        j["computedDataChecksum"] = Hex4(rec.DataCheck);
        line += " (computed " + Hex4(rec.DataCheck) + ")";
      }
      if (!rec.Indexed) line += ", not in the tag file";
      if (!rec.DataOk || !rec.Indexed) badAt(rec.Unit);
    }
    records.push_back(std::move(j));
    r.lines.push_back(std::move(line));
  });
  r.fields["records"] = std::move(records);

  // Every tag entry the tag file holds must lead to its record; with --dump, the texts.
  json strings = json::array();
  std::vector<std::uint32_t> badIds;
  const std::uint32_t entries = base.TagFile().EntryCount();
  base.TakeErrors();
  for (std::uint32_t id = 1; id < entries; ++id) {
    TStringSet set;
    base.Read(id, set);
    if (base.TakeErrors() != 0 && badIds.size() < kReportedBad) badIds.push_back(id);
    if (!dump || set.Empty()) continue;
    json texts = json::array();
    r.lines.push_back("  id " + std::to_string(id) + ":");
    for (int i = 0; i < set.Count(); ++i) {
      const TLangText e = set.GetEntry(i);
      const std::string utf8 = ToUtf8(e.Language, e.Text);
      texts.push_back(
          {{"language", e.Language}, {"name", LanguageName(e.Language)}, {"text", utf8}});
      r.lines.push_back("    " + std::to_string(e.Language) + " " + LanguageName(e.Language) +
                        ": " + Printable(utf8));
    }
    strings.push_back({{"id", id}, {"texts", std::move(texts)}});
  }
  if (dump) r.fields["strings"] = std::move(strings);
  const bool countOk = used == static_cast<std::uint64_t>(std::max(base.StringCount(), 0)) &&
                       base.StringCount() >= 0;
  r.fields["badRecords"] = bad;
  r.fields["firstBad"] = firstBad;
  r.fields["badIds"] = badIds;
  r.fields["countMatches"] = countOk;
  r.intact = bad == 0 && badIds.empty() && countOk;
  r.fields["status"] = r.intact ? "ok" : "corrupt";
  if (r.intact) {
    r.lines.push_back("  ok");
    return;
  }
  std::string summary = "  corrupt: " + std::to_string(bad) + " bad records";
  if (!firstBad.empty()) {
    summary += " (first units:";
    for (std::size_t i = 0; i < firstBad.size(); ++i)
      summary += (i ? ", " : " ") + std::to_string(firstBad[i]);
    summary += ")";
  }
  if (!badIds.empty()) {
    summary += ", tag entries that lead nowhere or to damaged texts (IDs:";
    for (std::size_t i = 0; i < badIds.size(); ++i)
      summary += (i ? ", " : " ") + std::to_string(badIds[i]);
    summary += ")";
  }
  if (!countOk)
    summary += ", string count does not match the records (" + std::to_string(used) + ")";
  r.lines.push_back(summary);
}

// ---------------------------------------------------------------------------------------------
// Position base

std::string RegionText(TRegionWord region) {
  return "kind " + std::to_string(RegionKind(region)) + ", " + std::to_string(RegionWidth(region)) +
         " x " + std::to_string(RegionHeight(region));
}

std::string PointText(TMoveWord move) {
  if (IsNoMove(move)) return std::string(move & kWhiteBit ? "W" : "B") + " pass";
  std::string s = std::string(move & kWhiteBit ? "W" : "B") + " " + std::to_string(MoveX(move)) +
                  "," + std::to_string(MoveY(move));
  if (move & kLadderFlag) s += " ladder";
  if (move & kTenukiFlag) s += " tenuki";
  return s;
}

// The string set of an ID as (language, text) pairs.
json StringSetJson(TStringBase& base, std::uint32_t id, std::string& text) {
  json entries = json::array();
  TStringSet set;
  base.Read(id, set);
  for (int i = 0; i < set.Count(); ++i) {
    const TLangText e = set.GetEntry(i);
    const std::string utf8 = ToUtf8(e.Language, e.Text);
    entries.push_back({{"language", e.Language}, {"text", utf8}});
    text += (i ? " | " : "") + std::to_string(e.Language) + ": " + Printable(utf8);
  }
  return entries;
}

// One string base of a position base: its counts and the checksums of every record.
json ReportPosStrings(TStringBase& base, const std::string& label, const std::string& name,
                      TReport& r, bool& intact) {
  json f = json::object();
  base.SetReadOnly(true);
  errno = 0;
  if (!base.Open(name)) {
    const int saved = errno;
    const std::string why = OpenFailure(base.TakeErrors() & ~ErrOpenFailed, saved,
                                        "header or free chain", eoStringBase);
    f["status"] = "unreadable";
    f["error"] = why;
    r.lines.push_back("  " + label + ": unreadable: " + why);
    intact = false;
    return f;
  }
  std::uint64_t records = 0, freeBlocks = 0, bad = 0, unindexed = 0;
  base.ForEachRecord([&](const TStringRecordInfo& info) {
    if (info.Free) {
      ++freeBlocks;
      bad += info.HeadOk ? 0 : 1;
    } else {
      ++records;
      bad += info.HeadOk && info.DataOk ? 0 : 1;
      unindexed += info.HeadOk && info.DataOk && !info.Indexed ? 1 : 0;
    }
  });
  // The tag file must lead every sound record's ID to it, and its entries must be whole: a
  // tag file of another save (a kill between the renames of the two files) makes every text
  // unreadable.
  std::uint64_t badEntries = 0;
  const std::uint32_t entries = base.TagFile().EntryCount();
  for (std::uint32_t id = 0; id < entries; ++id) {
    TStringTagEntry entry;
    if (!base.TagFile().ReadEntry(id, entry)) ++badEntries;
  }
  bad += unindexed + badEntries;
  const bool ok = bad == 0 && base.TakeErrors() == 0;
  intact = intact && ok;
  f = {{"file", base.FileName()},        {"strings", base.StringCount()},
       {"maxId", base.MaxID()},          {"records", records},
       {"freeBlocks", freeBlocks},       {"badRecords", bad},
       {"status", ok ? "ok" : "corrupt"}};
  r.lines.push_back("  " + label + ": " + std::to_string(base.StringCount()) + " strings, max ID " +
                    std::to_string(base.MaxID()) + ", " + std::to_string(freeBlocks) +
                    " free blocks, " +
                    (ok ? "ok" : "corrupt: " + std::to_string(bad) + " bad records"));
  return f;
}

// Every stored position as a diagram with its moves, their annotations and comment texts.
void DumpPositions(TCustomPositionBase& pos, TStringBase* comments, TReport& r) {
  json list = json::array();
  ForEachPosition(pos, [&](const TPosTable& t, const TPosRecord& record) {
    TMatrix m;
    TRegionWord region = 0;
    json item = {{"record", record.Index}, {"region", RegionText(t.Region)}};
    r.lines.push_back("  position at word " + std::to_string(record.Index) + ", region " +
                      RegionText(t.Region) + ":");
    if (!DecodePosition(record.Position, m, region)) {
      item["error"] = "position does not decode";
      r.lines.push_back("    (position does not decode)");
      list.push_back(std::move(item));
      return;
    }
    const std::string diagram = FormatDiagram(m, RegionWidth(region), RegionHeight(region));
    item["diagram"] = diagram;
    std::size_t from = 0;
    while (from < diagram.size()) {
      const auto nl = diagram.find('\n', from);
      r.lines.push_back("    " + diagram.substr(from, nl - from));
      if (nl == std::string::npos) break;
      from = nl + 1;
    }
    TPosMoves moves;
    json movesJson = json::array();
    if (!DecodePosMoves(record.Data, moves)) {
      item["data"] = record.Data;
      r.lines.push_back("    data of " + std::to_string(record.Data.size()) +
                        " bytes (not a list of moves)");
    }
    for (const auto& mv : moves) {
      std::string line = "    move " + PointText(mv.Move) + ", annotation " +
                         std::to_string(mv.Annotation / 13) + "/" +
                         std::to_string(mv.Annotation % 13) + ", flags " + Hex2(mv.Flags);
      json mj = {{"move", PointText(mv.Move)},
                 {"moveAnnotation", mv.Annotation / 13},
                 {"positionAnnotation", mv.Annotation % 13},
                 {"flags", mv.Flags},
                 {"comment", mv.Comment}};
      if (mv.Comment != 0) {
        std::string text;
        if (comments != nullptr) mj["commentTexts"] = StringSetJson(*comments, mv.Comment, text);
        line += ", comment " + std::to_string(mv.Comment) + (text.empty() ? "" : ": " + text);
      }
      r.lines.push_back(line);
      movesJson.push_back(std::move(mj));
    }
    item["moves"] = std::move(movesJson);
    list.push_back(std::move(item));
  });
  r.fields["positions"] = std::move(list);
}

void ReportPositionBase(const std::string& name, TReport& r, bool dump) {
  TCustomPositionBase pos;
  pos.SetSignature(kPositionBaseSignature);
  pos.SetReadOnly(true);
  errno = 0;
  if (!pos.Open(name)) {
    const int saved = errno;
    Unreadable(r, "position base", OpenFailure(pos.TakeErrors(), saved, "header"));
    return;
  }
  pos.TakeErrors();  // what the open found is reported by the check below
  r.fields["kind"] = "position base";
  r.lines.push_back("  kind: position base");
  const TPosHeader& h = pos.Header();
  Field(r, "created", FormatIsoDateTime(h.Created), "created", FormatIsoDateTime(h.Created));
  Field(r, "modified", FormatIsoDateTime(h.Modified), "modified", FormatIsoDateTime(h.Modified));
  Field(r, "headerCrc", {{"stored", Hex8(h.HeaderCrc).substr(4)}, {"ok", pos.HeaderIntact()}},
        "header checksum",
        Hex8(h.HeaderCrc).substr(4) + (pos.HeaderIntact() ? " ok" : " mismatch"));

  const TPosBaseCheck check = CheckPositionBase(pos);
  json tables = json::array();
  for (const auto& t : check.Tables) {
    std::uint32_t crc = 0;
    for (const auto& loaded : pos.Tables())
      if (loaded.Index == t.Index) crc = loaded.Crc;
    tables.push_back({{"region", RegionText(t.Region)},
                      {"record", t.Index},
                      {"positions", t.Positions},
                      {"tagLists", t.TagLists},
                      {"badRecords", t.BadRecords},
                      {"bucketCrc", Hex8(crc)},
                      {"bucketCrcOk", !t.Damaged}});
    r.lines.push_back("  table " + RegionText(t.Region) + ": " + std::to_string(t.Positions) +
                      " positions, " + std::to_string(t.TagLists) + " tag lists, buckets " +
                      Hex8(crc) + (t.Damaged ? " mismatch" : " ok") +
                      (t.BadRecords ? ", " + std::to_string(t.BadRecords) + " bad records" : ""));
  }
  r.fields["tables"] = std::move(tables);
  Field(r, "positionCount", check.Positions, "positions stored", std::to_string(check.Positions));
  Field(r, "freeBlocks", {{"count", check.FreeBlocks}, {"bytes", check.FreeBytes}}, "free blocks",
        std::to_string(check.FreeBlocks) + " (" + std::to_string(check.FreeBytes) + " bytes)");
  if (!check.ChainsOk) r.lines.push_back("  a table or free chain is broken");
  r.fields["chainsOk"] = check.ChainsOk;

  bool stringsIntact = true;
  TStringBase comments, letters;
  letters.SetHolderExt(".ltr");
  letters.SetBackupExt(".lbk");
  letters.SetTagExt(".lid");
  r.fields["commentBase"] = ReportPosStrings(comments, "comment base", name, r, stringsIntact);
  r.fields["letterBase"] = ReportPosStrings(letters, "letter base", name, r, stringsIntact);
  if (dump) DumpPositions(pos, comments.Active() ? &comments : nullptr, r);

  r.intact = check.Ok() && stringsIntact;
  r.fields["status"] = r.intact ? "ok" : "corrupt";
  r.lines.push_back(std::string("  ") +
                    (r.intact ? "ok"
                     : check.Ok()
                         ? "corrupt: a string base is damaged"
                         : "corrupt: " + std::to_string(check.BadRecords) + " bad records"));
}

TReport ReportFile(const std::string& name, bool dump) {
  TReport r;
  r.fields["file"] = name;
  const TFileHandle fd =
      OpenFile(name, TFileAccess::faRead, TFileCreation::fcOpenExisting, TFileShare::fsShareRead);
  if (fd == kInvalidHandle) {
    Unreadable(r, "unknown", std::string("cannot open: ") + std::strerror(errno));
    return r;
  }
  std::uint8_t sig[4] = {};
  const bool haveSig = ReadAt(fd, sig, 4, 0);
  CloseFile(fd);
  const std::uint32_t signature = LoadLE32(sig);
  if (haveSig && signature == kNetSignature)
    ReportNet(name, r);
  else if (haveSig && signature == kSubNetSignature)
    ReportSubNet(name, r);
  else if (haveSig && signature == kSubBaseSignature)
    ReportSubBase(name, r);
  else if (haveSig && (signature == kPosVarsSignature || signature == kVarsInfoSignature ||
                       signature == kVarsDataSignature))
    ReportVarsBase(name, r);
  else if (haveSig && signature == kSortIndexSignature)
    ReportSortIndex(name, r);
  else if (haveSig && signature == kPositionBaseSignature)
    ReportPositionBase(name, r, dump);
  else if (haveSig && (signature == kStringHolderSignature || signature == kStringTagSignature))
    ReportStringBase(name, signature == kStringTagSignature, dump, r);
  else if (Extension(name) == ".stc")
    ReportStatistic(name, r);
  else
    Unreadable(r, "unknown", "unknown file format");
  return r;
}

int RunInfo(const ToolIo& io, const std::vector<std::string>& files, bool asJson, bool dump) {
  bool allIntact = true;
  json all = json::array();
  for (const auto& name : files) {
    TReport r = ReportFile(name, dump);
    allIntact = allIntact && r.intact;
    if (asJson) {
      all.push_back(std::move(r.fields));
    } else {
      io.out << name << "\n";
      for (const auto& line : r.lines) io.out << line << "\n";
    }
  }
  // Descriptions are byte strings in their language's code page: invalid UTF-8 is replaced
  // rather than failing the whole report.
  if (asJson) io.out << all.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
  return allIntact ? kExitOk : kExitCheckFailed;
}

}  // namespace

void AddInfoCommand(CLI::App& app, ToolContext& ctx) {
  auto* cmd = app.add_subcommand(
      "info", "Show the kind and header of database files and check every record and link");
  auto files = std::make_shared<std::vector<std::string>>();
  auto asJson = std::make_shared<bool>(false);
  auto dump = std::make_shared<bool>(false);
  cmd->add_option(
         "FILE", *files,
         "Database files (.net, .stc, .str/.sid, .ltr/.lid, .pos, .sns, .sbs, .vpb/.vim/.vdm)")
      ->required();
  cmd->add_flag("--json", *asJson, "Write the report as JSON");
  cmd->add_flag("--dump", *dump,
                "Also print every text of a string base, or every position of a position base");
  cmd->callback([&ctx, files, asJson, dump] {
    ctx.run = [&ctx, files, asJson, dump] { return RunInfo(ctx.io, *files, *asJson, *dump); };
  });
}

}  // namespace kessaro::tool
