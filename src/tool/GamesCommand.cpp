// kessaro-tool games HOME [--index NAME] [--find TEXT] [--json]: loads the user home through
// the base holder and lists the games of the joseki sub base, in the order of a sort index
// (the first of the sub base unless one is named) or of the sub base itself, optionally only
// the entries whose key starts with TEXT; one row of the default games list columns per game.
// A variation has no game record: its row holds only its number and identifier.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "bases/BaseHolder.h"
#include "bases/BaseSorting.h"
#include "bases/DatabaseBuilder.h"
#include "bases/GamesList.h"
#include "platform/CodePage.h"
#include "records/GameFunc.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

using nlohmann::json;

std::string Hex8(std::uint32_t v) {
  char buffer[12];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(v));
  return buffer;
}

// The entry ranges whose keys start with the text: a plain ASCII text in each language of
// the language table, any other in English; overlapping ranges are merged.
std::vector<TSortRange> SearchRanges(TBaseSorting& index, const std::string& utf8) {
  std::vector<TLanguage> languages;
  if (IsPlainAscii(utf8)) {
    for (int i = 1; i < kLanguageTableSize; ++i) languages.push_back(LanguageTable()[i].LangID);
  } else {
    languages.push_back(kEnglish);
  }
  std::vector<TSortRange> ranges;
  for (TLanguage language : languages) {
    const std::string text = FromUtf8(language, utf8);
    const TSortRange r =
        index.FindRange(TBaseSorting::FormatKey(index.KeyElement(0), text, language));
    if (!r.Empty()) ranges.push_back(r);
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const TSortRange& a, const TSortRange& b) { return a.First < b.First; });
  std::vector<TSortRange> merged;
  for (const TSortRange& r : ranges) {
    if (!merged.empty() && r.First <= merged.back().Last + 1)
      merged.back().Last = std::max(merged.back().Last, r.Last);
    else
      merged.push_back(r);
  }
  return merged;
}

int RunGames(const ToolIo& io, const std::string& home, const std::string& indexName,
             const std::string* find, bool asJson) {
  TBaseHolder holder;
  holder.SetReadOnly(true);       // looking never writes
  FinishInterruptedBuilds(home);  // a build stopped while moving its files into place
  holder.ApplyStartDirs(DefaultHolderDirs(home));
  TSubNety* net = holder.JosekiNet();
  TSubBase* subBase = net == nullptr ? nullptr : net->SubBase();
  if (subBase == nullptr) {
    io.err << "kessaro-tool games: no joseki sub base found under " << home << "\n";
    return kExitCheckFailed;
  }
  std::vector<TBaseSorting*> indexes;
  for (std::size_t i = 0; i < holder.SubBaseCount(); ++i)
    if (holder.SubBaseAt(i) == subBase)
      for (TBaseSorting* sorting : holder.SortingsOf(i)) indexes.push_back(sorting);
  TBaseSorting* index = indexes.empty() ? nullptr : indexes.front();
  if (!indexName.empty()) {
    const auto named = std::find_if(indexes.begin(), indexes.end(),
                                    [&](TBaseSorting* s) { return s->Name() == indexName; });
    if (named == indexes.end()) {
      io.err << "kessaro-tool games: no index " << indexName << " for the joseki sub base;";
      for (TBaseSorting* s : indexes) io.err << " " << s->Name();
      if (indexes.empty()) io.err << " it has none";
      io.err << "\n";
      return kExitUsage;
    }
    index = *named;
  }
  if (find != nullptr && index == nullptr) {
    io.err << "kessaro-tool games: --find needs a sort index; the joseki sub base has none\n";
    return kExitUsage;
  }

  // The identifiers in list order.
  std::vector<std::uint32_t> ids;
  if (index == nullptr) {
    for (std::uint32_t id = subBase->FirstGame(); id != 0; id = subBase->NextGame(id)) {
      ids.push_back(id);
      if (ids.size() > 0xFFFFFF) break;  // a hostile enumeration cannot run away
    }
  } else {
    const std::vector<TSortRange> ranges = find != nullptr
                                               ? SearchRanges(*index, *find)
                                               : std::vector<TSortRange>{index->FindRange("")};
    for (const TSortRange& r : ranges)
      for (std::uint32_t p = r.First; p != 0 && p <= r.Last; ++p) ids.push_back(index->EntryAt(p));
  }

  TGamesList list;
  list.SetMakeRows(true);
  std::vector<int> rowOf(ids.size(), -1);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    TGame game;
    InitGame(game);
    game.GameNo = static_cast<std::int32_t>(ids[i]);
    subBase->LoadGame(game);
    if (game.GameNo != 0)
      rowOf[i] = list.AddGame(game);
    else
      subBase->TakeErrors();
    FreeGame(game);
  }

  const TGameInfoElementOrder& columns = list.Columns();
  json games = json::array();
  if (!asJson) {
    io.out << "sub base " << Hex8(subBase->Identity()) << ", "
           << (index == nullptr ? std::string("no index") : "index " + index->Name()) << ", "
           << ids.size() << " games\n";
    io.out << "#\tid";
    for (TGameInfoElement c : columns) io.out << "\t" << ElementName(c);
    io.out << "\n";
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const TLangListItems* row = rowOf[i] < 0 ? nullptr : list.RowAt(rowOf[i]);
    json cells = json::object();
    std::string line = std::to_string(i + 1) + "\t" + Hex8(ids[i]);
    for (TGameInfoElement c : columns) {
      const TLangListItem* cell = row == nullptr ? nullptr : row->Find(c);
      const std::string text = cell == nullptr ? "" : ToUtf8(cell->Language, cell->Text);
      if (cell != nullptr) cells[ElementName(c)] = text;
      line += "\t" + text;
    }
    if (asJson)
      games.push_back(
          {{"number", i + 1}, {"id", Hex8(ids[i])}, {"loaded", row != nullptr}, {"cells", cells}});
    else
      io.out << line << "\n";
  }
  if (asJson) {
    json names = json::array();
    for (TGameInfoElement c : columns) names.push_back(ElementName(c));
    json indexNames = json::array();
    for (TBaseSorting* s : indexes) indexNames.push_back(s->Name());
    const json report = {{"subBase", Hex8(subBase->Identity())},
                         {"index", index == nullptr ? json() : json(index->Name())},
                         {"indexes", indexNames},
                         {"find", find == nullptr ? json() : json(*find)},
                         {"columns", names},
                         {"games", games}};
    io.out << report.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
  }
  return kExitOk;
}

}  // namespace

void AddGamesCommand(CLI::App& app, ToolContext& ctx) {
  auto* cmd = app.add_subcommand("games", "List the games of the joseki sub base of a user home");
  auto home = std::make_shared<std::string>();
  auto indexName = std::make_shared<std::string>();
  auto find = std::make_shared<std::string>();
  auto asJson = std::make_shared<bool>(false);
  cmd->add_option("HOME", *home, "User home with the folders Net, Sub Base, Vars Base, Index")
      ->required();
  cmd->add_option("--index", *indexName, "Name of the sort index to list in (default: the first)");
  auto* findOption =
      cmd->add_option("--find", *find, "List only the games whose index key starts with TEXT");
  cmd->add_flag("--json", *asJson, "Write the list as JSON");
  cmd->callback([&ctx, home, indexName, find, asJson, findOption] {
    const bool hasFind = findOption->count() > 0;
    ctx.run = [&ctx, home, indexName, find, asJson, hasFind] {
      return RunGames(ctx.io, *home, *indexName, hasFind ? find.get() : nullptr, *asJson);
    };
  });
}

}  // namespace kessaro::tool
