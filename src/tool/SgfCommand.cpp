// kessaro-tool sgf FILE: reads an SGF file exactly as the reader does and prints, per game, its
// game information and its tree; --json prints the same as one object; --write OUT.sgf saves
// the main line of the first game with its game information.

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "records/BoardFormFunc.h"
#include "records/GameFunc.h"
#include "records/LoadSequence.h"
#include "records/SaveSequence.h"
#include "records/TreeText.h"
#include "tool/Tool.h"

namespace kessaro::tool {
namespace {

struct SgfOptions {
  std::string file;
  std::string write;
  bool ignoreGameInfo = false;
  bool ignoreComments = false;
  bool emptyNodeAsPass = false;
  bool json = false;
};

// The language whose code page the reader's language-0 texts are in: the one of the game's
// CA charset when the language table knows it.
TLanguage TextLanguage(const TGame& game) {
  if (game.Charset != 0)
    for (const auto& lang : LanguageTable())
      if (lang.Charset == game.Charset && lang.LangID != kNoLanguage) return lang.LangID;
  return kNoLanguage;
}

std::string Utf8(const TGame* game, const std::string& bytes) {
  return ToUtf8(game ? TextLanguage(*game) : kNoLanguage, bytes);
}

std::string Quoted(const std::string& utf8) {
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Writes NODE objects without recursion, so that games thousands of moves long are safe.
void WriteJsonTree(std::ostream& out, const TSequence* root, const TGame* game) {
  struct Frame {
    const TSequence* node;
    const TSequence* nextChild;
    bool first;
  };
  auto open = [&](const TSequence* n, bool isRoot) {
    out << "{\"move\":";
    const std::string move = isRoot ? "" : SgfMove(n);
    if (move.empty())
      out << "null";
    else
      out << Quoted(move);
    if (!n->Setup.empty()) {
      out << ",\"setup\":[";
      for (std::size_t i = 0; i < n->Setup.size(); ++i) {
        const auto& s = n->Setup[i];
        const char* id = s.Value == 1 ? "AB[" : s.Value == 2 ? "AW[" : "AE[";
        out << (i ? "," : "") << Quoted(id + SgfPoint(s.Point) + "]");
      }
      out << "]";
    }
    if (!n->NodeName.empty()) out << ",\"name\":" << Quoted(Utf8(game, n->NodeName));
    if (!n->Comment.empty()) out << ",\"comment\":" << Quoted(Utf8(game, n->Comment));
    if (n->FirstChild) out << ",\"children\":[";
  };
  std::vector<Frame> stack;
  open(root, true);
  stack.push_back({root, root->FirstChild, true});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (!f.nextChild) {
      if (f.node->FirstChild) out << "]";
      out << "}";
      stack.pop_back();
      continue;
    }
    const TSequence* child = f.nextChild;
    if (!f.first) out << ",";
    f.first = false;
    f.nextChild = child->NextSibling;
    open(child, false);
    stack.push_back({child, child->FirstChild, true});
  }
}

std::vector<std::pair<std::string, std::string>> InfoLines(const TGame& game) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const TGameInfoElement e : FullElementOrder()) {
    const std::string& name = ElementName(e);
    if (name.empty()) continue;
    const TLangText t = ElementText(game, e);
    if (t.Text.empty()) continue;
    lines.emplace_back(name,
                       ToUtf8(t.Language != kNoLanguage ? t.Language : TextLanguage(game), t.Text));
  }
  return lines;
}

int RunSgf(const ToolIo& io, const SgfOptions& o) {
  const int options = (o.ignoreGameInfo ? IgnoreGameInfo : 0) |
                      (o.ignoreComments ? IgnoreComments : 0) |
                      (o.emptyNodeAsPass ? EmptyNodeAsPass : 0);
  TSequence first;
  struct Release {
    TSequence* root;
    ~Release() { ClearRoot(root); }
  } release{&first};
  TSgfReport report;
  if (!LoadGamesFromFile(&first, o.file, options, report)) {
    io.err << "kessaro-tool sgf: cannot read " << o.file << "\n";
    return kExitCheckFailed;
  }
  // What the reader dropped or cut is said, never passed over.
  for (const std::string& line : report.Lines())
    io.err << "kessaro-tool sgf: " << o.file << ": " << line << "\n";
  if (!o.write.empty()) {
    if (!first.Data) {
      io.err << "kessaro-tool sgf: " << o.file << " holds no game that could be read\n";
      return kExitCheckFailed;
    }
    const TSequence* last = &first;
    while (last->FirstChild) last = last->FirstChild;
    if (!SaveSequenceToFile(last, o.write, 0, WriteGameInfo)) {
      io.err << "kessaro-tool sgf: cannot write " << o.write << "\n";
      return kExitCheckFailed;
    }
    return kExitOk;
  }
  if (o.json) io.out << "{\"games\":[";
  int index = 0;
  for (const TSequence* root = &first; root && root->Data; root = root->NextSibling, ++index) {
    const TGame* game = root->Data->Game();
    if (o.json) {
      io.out << (index ? "," : "") << "{\"info\":{";
      bool firstLine = true;
      if (game)
        for (const auto& [name, text] : InfoLines(*game)) {
          io.out << (firstLine ? "" : ",") << Quoted(name) << ":" << Quoted(text);
          firstLine = false;
        }
      io.out << "},\"root\":";
      WriteJsonTree(io.out, root, game);
      io.out << "}";
    } else {
      io.out << "Game " << index + 1 << "\n";
      if (game)
        for (const auto& [name, text] : InfoLines(*game))
          io.out << "  " << name << ": " << text << "\n";
      io.out << "  " << Utf8(game, SgfTreeText(root)) << "\n";
    }
  }
  if (o.json)
    io.out << "]}\n";
  else if (index == 0)
    io.out << "no game could be read\n";
  return kExitOk;
}

}  // namespace

void AddSgfCommand(CLI::App& app, ToolContext& ctx) {
  auto* cmd = app.add_subcommand(
      "sgf", "Read an SGF file as the program does and print each game's information and tree");
  auto o = std::make_shared<SgfOptions>();
  cmd->add_option("FILE", o->file, "SGF file")->required();
  cmd->add_flag("--ignore-game-info", o->ignoreGameInfo, "Skip the root properties");
  cmd->add_flag("--ignore-comments", o->ignoreComments, "Skip comments");
  cmd->add_flag("--empty-node-as-pass", o->emptyNodeAsPass, "Read a moveless node as a pass");
  cmd->add_flag("--json", o->json, "Print one JSON object");
  cmd->add_option("--write", o->write, "Write the main line of the first game to this SGF file");
  cmd->callback([&ctx, o] { ctx.run = [&ctx, o] { return RunSgf(ctx.io, *o); }; });
}

}  // namespace kessaro::tool
