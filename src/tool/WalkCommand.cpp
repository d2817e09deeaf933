// kessaro-tool walk HOME [MOVE...] [--json]: loads the databases of a user home as the
// desktop program does, walks the joseki sub-net along the given moves and prints the
// children of the node reached with their statistics and game continuations. Moves are SGF
// points in the net's region ("dc"), colours alternating from Black unless written "B[dc]"
// or "W[dc]". Exit status 1 when the holder found no joseki sub-net, 2 on a move that is not
// in the net.

#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bases/BaseHolder.h"
#include "bases/DatabaseBuilder.h"
#include "records/BoardFormFunc.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

using nlohmann::json;

struct TWalkMove {
  int x = 0, y = 0;
  std::optional<bool> white;
};

std::optional<TWalkMove> ParseMove(const std::string& text) {
  TWalkMove m;
  std::string point = text;
  if (text.size() == 5 && (text[0] == 'B' || text[0] == 'W') && text[1] == '[' && text[4] == ']') {
    m.white = text[0] == 'W';
    point = text.substr(2, 2);
  }
  if (point.size() != 2 || point[0] < 'a' || point[0] > 'z' || point[1] < 'a' || point[1] > 'z')
    return std::nullopt;
  m.x = point[0] - 'a';
  m.y = point[1] - 'a';
  return m;
}

bool IsWhite(const TSequence* node) {
  return (node->Flags & sfBlack) == 0;
}

std::string MoveText(const TSequence* node) {
  std::string s = IsWhite(node) ? "W[" : "B[";
  if (IsNoMove(node->Point)) return s + "]";
  s += static_cast<char>('a' + MoveX(node->Point));
  s += static_cast<char>('a' + MoveY(node->Point));
  return s + "]";
}

const char* KindText(std::int32_t kind) {
  switch (kind) {
    case skNetNode:
      return "net";
    case skNetGameNode:
      return "game";
    case skGameMove:
      return "tail";
    default:
      return "other";
  }
}

json StatsJson(const StatRecord& r) {
  json j = json::object();
  for (std::size_t c = 0; c < kStatCategories; ++c)
    j[kStatCategoryNames[c]] = {{"moverWins", r.Triples[c].MoverWins},
                                {"opponentWins", r.Triples[c].OpponentWins},
                                {"unknown", r.Triples[c].Unknown}};
  j["strongest"] = {r.Strongest[0], r.Strongest[1]};
  return j;
}

std::string StatsText(const StatRecord& r) {
  std::string s;
  for (std::size_t c = 0; c < kStatCategories; ++c) {
    const StatTriple& t = r.Triples[c];
    if (t.Games() == 0) continue;
    if (!s.empty()) s += ", ";
    s += std::string(kStatCategoryNames[c]) + " " + std::to_string(t.MoverWins) + "/" +
         std::to_string(t.OpponentWins) + "/" + std::to_string(t.Unknown);
  }
  return s.empty() ? "none" : s;
}

int RunWalk(const ToolIo& io, const std::string& home, const std::vector<std::string>& moves,
            bool asJson) {
  TBaseHolder holder;
  holder.SetReadOnly(true);       // looking never writes
  FinishInterruptedBuilds(home);  // a build stopped while moving its files into place
  holder.ApplyStartDirs(DefaultHolderDirs(home));
  TSubNety* net = holder.JosekiNet();
  if (net == nullptr) {
    io.err << "kessaro-tool walk: no joseki sub-net found under " << home << "\n";
    return kExitCheckFailed;
  }
  TSequence* root = NewNodeUnder(nullptr);
  const auto release = std::unique_ptr<TSequence, void (*)(TSequence*)>(root, ReleaseTree);
  net->ExpandRoot(root);
  TSequence* node = root;
  json path = json::array();
  bool white = false;
  for (const std::string& text : moves) {
    const auto move = ParseMove(text);
    if (!move) {
      io.err << "kessaro-tool walk: not a move: " << text << "\n";
      return kExitUsage;
    }
    const bool colour = move->white.value_or(white);
    TSequence* found = nullptr;
    std::string candidates;
    for (TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling) {
      candidates += " " + MoveText(c);
      if (!IsNoMove(c->Point) && MoveX(c->Point) == move->x && MoveY(c->Point) == move->y &&
          IsWhite(c) == colour && found == nullptr)
        found = c;
    }
    if (found == nullptr) {
      io.err << "kessaro-tool walk: " << text << " is not in the net here; candidates:"
             << (candidates.empty() ? " none" : candidates) << "\n";
      return kExitUsage;
    }
    path.push_back(MoveText(found));
    node = found;
    net->ExpandNode(node);
    white = !colour;
  }
  if (node == root) net->ExpandRoot(root);

  json children = json::array();
  if (!asJson) {
    io.out << "net: " << net->NetName() << " (" << path.size() << " moves)\n";
  }
  for (TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling) {
    json child = {{"move", MoveText(c)},
                  {"kind", KindText(c->Kind)},
                  {"moveAnnotation", c->Annotations[2]},
                  {"positionAnnotation", c->Annotations[3]},
                  {"repeat", (c->Flags & sfRepeat) != 0}};
    std::string line = "  " + MoveText(c) + " " + KindText(c->Kind);
    if (c->Annotations[2] != 0 || c->Annotations[3] != 0)
      line += " annotation " + std::to_string(c->Annotations[2]) + "/" +
              std::to_string(c->Annotations[3]);
    if (c->Flags & sfRepeat) line += " repeat";
    std::vector<std::string> extra;
    if (c->Kind == skNetNode || c->Kind == skNetGameNode) {
      const auto* data = static_cast<const TNetNodeData*>(c->Data);
      child["stats"] = StatsJson(data->Stats);
      child["summed"] = StatsJson(data->SumStats);
      extra.push_back("    own: " + StatsText(data->Stats));
      extra.push_back("    summed: " + StatsText(data->SumStats));
    }
    if (c->Kind == skNetGameNode) {
      net->ExpandNode(c);
      json tail = json::array();
      std::string tailText;
      for (const TSequence* t = c->FirstChild; t != nullptr && t->Kind == skGameMove;
           t = t->FirstChild) {
        tail.push_back(MoveText(t));
        tailText += " " + MoveText(t);
      }
      child["tail"] = tail;
      extra.push_back("    tail:" + (tailText.empty() ? std::string(" none") : tailText));
    }
    children.push_back(std::move(child));
    if (!asJson) {
      io.out << line << "\n";
      for (const std::string& e : extra) io.out << e << "\n";
    }
  }
  if (asJson) {
    const json report = {{"net", net->NetName()}, {"path", path}, {"children", children}};
    io.out << report.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
  } else if (children.empty()) {
    io.out << "  no children\n";
  }
  return kExitOk;
}

}  // namespace

void AddWalkCommand(CLI::App& app, ToolContext& ctx) {
  auto* cmd = app.add_subcommand("walk", "Walk the joseki sub-net of a user home along moves");
  auto home = std::make_shared<std::string>();
  auto moves = std::make_shared<std::vector<std::string>>();
  auto asJson = std::make_shared<bool>(false);
  cmd->add_option("HOME", *home, "User home with the folders Net, Sub Base, Vars Base, Index")
      ->required();
  cmd->add_option("MOVE", *moves, "Moves as SGF points (dc), or B[dc] / W[dc]");
  cmd->add_flag("--json", *asJson, "Write the report as JSON");
  cmd->callback([&ctx, home, moves, asJson] {
    ctx.run = [&ctx, home, moves, asJson] { return RunWalk(ctx.io, *home, *moves, *asJson); };
  });
}

}  // namespace kessaro::tool
