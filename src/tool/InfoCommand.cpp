// kessaro-tool info FILE... [--json]: recognises each database file by its signature (or by
// its extension for a format without one), prints its kind, identity and main header
// fields, and checks every record and link. Exit status 1 when any file is corrupt or
// unreadable.

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
#include "bases/Statistic.h"
#include "bases/SubBase.h"
#include "bases/SubNety.h"
#include "bases/VarsBase.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "records/GameFunc.h"
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

// Why an open failed, from the error bits and errno.
std::string OpenFailure(std::uint32_t errors, int savedErrno) {
  if (errors & ErrIO) return "read error";
  if (errors & ErrCorrupt) return "header checksum mismatch";
  if (errors & ErrFormat) return "not a valid file of its kind (wrong signature or truncated)";
  if (errors & ErrMapping) return "cannot map the file";
  return std::string("cannot open: ") + std::strerror(savedErrno != 0 ? savedErrno : EIO);
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
    Unreadable(r, "net", OpenFailure(net.TakeErrors(), saved));
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
    Unreadable(r, "statistic", OpenFailure(stat.TakeErrors(), saved));
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
    Unreadable(r, "sub-net", OpenFailure(sub.TakeErrors(), saved));
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
    const std::uint32_t errors = sub.TakeErrors();
    Unreadable(r, "sub base",
               errors & ErrLayout ? std::string("bit field offsets disagree with the header")
                                  : OpenFailure(errors, saved));
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
    Unreadable(r, "variations base", OpenFailure(vars.TakeErrors(), saved));
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
    const std::uint32_t errors = index.TakeErrors();
    Unreadable(r, "sort index",
               errors & ErrSortLayout ? "layout offsets disagree with the name and entry count"
                                      : OpenFailure(errors, saved));
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

TReport ReportFile(const std::string& name) {
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
  const std::uint32_t signature = static_cast<std::uint32_t>(sig[0]) | sig[1] << 8 | sig[2] << 16 |
                                  static_cast<std::uint32_t>(sig[3]) << 24;
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
  else if (Extension(name) == ".stc")
    ReportStatistic(name, r);
  else
    Unreadable(r, "unknown", "unknown file format");
  return r;
}

int RunInfo(const ToolIo& io, const std::vector<std::string>& files, bool asJson) {
  bool allIntact = true;
  json all = json::array();
  for (const auto& name : files) {
    TReport r = ReportFile(name);
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
  cmd->add_option("FILE", *files, "Database files (.net, .stc, .sns, .sbs, .vpb/.vim/.vdm)")
      ->required();
  cmd->add_flag("--json", *asJson, "Write the report as JSON");
  cmd->callback([&ctx, files, asJson] {
    ctx.run = [&ctx, files, asJson] { return RunInfo(ctx.io, *files, *asJson); };
  });
}

}  // namespace kessaro::tool
