#include "bases/DatabaseBuilder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "bases/BaseSorting.h"
#include "bases/Nety.h"
#include "bases/SubBase.h"
#include "bases/SubNety.h"
#include "bases/VarsBase.h"
#include "board/PositionFunc.h"
#include "board/SymmetryFunctions.h"
#include "platform/AtomicWrite.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"

namespace kessaro {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

constexpr std::uint8_t kBaseRankPro = 0x80;
constexpr std::uint8_t kBaseRankNotRated = 1;

std::uint8_t DanCode(int dan) {
  return static_cast<std::uint8_t>(118 + dan);
}

bool IsPro(std::uint8_t code) {
  return (code & kBaseRankPro) != 0;
}
int Level(std::uint8_t code) {
  return code & 0x7F;
}

// ---------------------------------------------------------------------------------------------
// Game reading

struct TGameEntry {
  TVarMoves Moves;  // every move of the main line but passes, in the game's own frame
  std::array<std::string, kBuildSortIndexes> SortKeys;  // one per sort index
  std::uint8_t BlackRank = 0, WhiteRank = 0;
  TStatCategory Category = scUnknown;
  int Winner = 0;               // 1 Black, 2 White
  std::uint32_t VarNumber = 0;  // in the variations base, 0 while not referenced
};

// One corner of one game: its moves in the upper-left frame of the board, with the index of
// each in the game's move list.
struct TCornerSeq {
  std::uint32_t Game = 0;
  std::uint8_t Corner = 0;  // geometric code that brings the corner to the upper left
  std::vector<TMoveWord> Moves;
  std::vector<std::uint16_t> VarIndex;
};

std::string FirstText(const PStringSet& set) {
  return set == nullptr ? std::string() : set->GetText(0);
}

// Symmetry codes that bring each corner of the board to the upper left.
constexpr std::uint8_t kCornerCodes[4] = {0, kSymMirrorX, kSymMirrorY, kSymMirrorX | kSymMirrorY};

void ReadGame(const TSequence* root, int width, int height, std::vector<TGameEntry>& games,
              std::vector<TCornerSeq>& corners, TBuildSummary& summary) {
  ++summary.Games;
  const TGame* game = root->Data != nullptr ? root->Data->Game() : nullptr;
  if (game == nullptr || game->BoardSize != 19) {
    ++summary.GamesNotNineteen;
    return;
  }
  TGameEntry entry;
  entry.BlackRank = RankTextToBaseRank(FirstText(game->Info.BlackRank));
  entry.WhiteRank = RankTextToBaseRank(FirstText(game->Info.WhiteRank));
  entry.Category = RankCategory(entry.BlackRank, entry.WhiteRank);
  entry.Winner = ResultWinner(FirstText(game->Info.Result));
  for (std::size_t i = 0; i < kBuildSortIndexes; ++i)
    entry.SortKeys[i] = GameSortKey(*game, BuildSortIndexElements(i));

  std::array<bool, 4> setup{};
  auto markSetup = [&](const APositionModifier& items) {
    for (const TPositionModifierItem& item : items) {
      if (item.Value & kModifierMarkBit) continue;
      for (int c = 0; c < 4; ++c) {
        int x = item.Point & 0xFF, y = item.Point >> 8;
        if (x >= 19 || y >= 19) continue;
        TransformXY(x, y, kCornerCodes[c], 19, 19);
        if (x < width && y < height) setup[static_cast<std::size_t>(c)] = true;
      }
    }
  };
  std::array<TCornerSeq, 4> seqs;
  const auto gameIndex = static_cast<std::uint32_t>(games.size());
  for (int c = 0; c < 4; ++c) {
    seqs[static_cast<std::size_t>(c)].Game = gameIndex;
    seqs[static_cast<std::size_t>(c)].Corner = kCornerCodes[c];
  }
  markSetup(root->Setup);
  for (const TSequence* n = root->FirstChild; n != nullptr; n = n->FirstChild) {
    markSetup(n->Setup);
    if (IsNoMove(n->Point)) continue;
    const int px = n->Point & 0x1F, py = (n->Point >> 8) & 0x1F;
    if (px >= 19 || py >= 19) continue;
    const bool white = (n->Flags & sfBlack) == 0;
    if (entry.Moves.size() >= 0x7FFF) break;  // a game reference counts moves in 15 bits
    const auto index = static_cast<std::uint16_t>(entry.Moves.size());
    entry.Moves.push_back({MakeMove(px, py, white), 0});
    for (int c = 0; c < 4; ++c) {
      int x = px, y = py;
      TransformXY(x, y, kCornerCodes[c], 19, 19);
      if (x >= width || y >= height) continue;
      TCornerSeq& s = seqs[static_cast<std::size_t>(c)];
      s.Moves.push_back(MakeMove(x, y, white));
      s.VarIndex.push_back(index);
    }
  }
  bool used = false;
  for (int c = 0; c < 4; ++c) {
    TCornerSeq& s = seqs[static_cast<std::size_t>(c)];
    if (setup[static_cast<std::size_t>(c)]) {
      ++summary.CornersSetup;
      continue;
    }
    if (s.Moves.empty()) continue;
    used = true;
    ++summary.Corners;
    corners.push_back(std::move(s));
  }
  if (!used) return;
  ++summary.GamesUsed;
  games.push_back(std::move(entry));
}

// ---------------------------------------------------------------------------------------------
// Positions and moves under the region's symmetries

class TFrames {
 public:
  TFrames(int w, int h) : w_(w), h_(h), region_(MakeRegion(rkCorner, w, h)) {
    const std::uint8_t geometric = RegionSymmetries(region_);
    // Geometric codes first: where a colour swap gives the same image as a turn, the turn
    // is kept, so that a path shows its moves in the colours they were played in.
    for (TSymmetry colours : {TSymmetry{0}, kSymColours})
      for (int c = 0; c < 8; ++c)
        if (geometric & (1u << c)) codes_.push_back(static_cast<TSymmetry>(c | colours));
    // For every code (and the identity, which a region without symmetries does not list),
    // the cell of the position that lands on each cell of the image.
    std::vector<TSymmetry> all = codes_;
    all.push_back(0);
    for (TSymmetry c : all) {
      std::vector<std::uint16_t>& from = sources_[c];
      from.resize(static_cast<std::size_t>(w * h));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          int tx = x, ty = y;
          TransformXY(tx, ty, c, w, h);
          from[static_cast<std::size_t>(tx + ty * w)] = static_cast<std::uint16_t>(x + y * w);
        }
    }
  }

  TRegionWord Region() const { return region_; }
  int Cells() const { return w_ * h_; }
  const std::vector<TSymmetry>& Codes() const { return codes_; }

  TMoveWord Move(TMoveWord m, TSymmetry code) const { return TransformMove(m, code, w_, h_); }

  // Four cells a byte, the first in the high bits, so that packed keys compare as the cells.
  void Pack(const TMatrix& p, std::string& key) const { PackImage(p, 0, key); }
  void Unpack(const std::string& key, TMatrix& p) const {
    p.assign(static_cast<std::size_t>(Cells()), kCellEmpty);
    for (std::size_t i = 0; i < p.size(); ++i)
      p[i] = static_cast<std::uint8_t>(
          (static_cast<unsigned char>(key[i / 4]) >> (6 - 2 * (i % 4))) & 3);
  }
  // The packed canonical form of a position (the smallest image) and the code that gives it.
  // Images are compared cell by cell up to the first difference, without building them.
  TSymmetry Canonical(const TMatrix& p, std::string& canon) const {
    TSymmetry best = 0;
    for (TSymmetry c : codes_) {
      if (c == 0) continue;
      const std::uint16_t* a = sources_[c].data();
      const std::uint16_t* b = sources_[best].data();
      for (std::size_t j = 0, n = p.size(); j < n; ++j) {
        const std::uint8_t va = Cell(p[a[j]], c), vb = Cell(p[b[j]], best);
        if (va != vb) {
          if (va < vb) best = c;
          break;
        }
      }
    }
    PackImage(p, best, canon);
    return best;
  }
  // Codes under which the position is unchanged, as a mask.
  std::uint16_t Stabilizer(const std::string& key) const {
    TMatrix p;
    Unpack(key, p);
    std::uint16_t mask = 0;
    for (TSymmetry c : codes_) {
      const std::uint16_t* from = sources_[c].data();
      bool same = true;
      for (std::size_t j = 0; same && j < p.size(); ++j) same = Cell(p[from[j]], c) == p[j];
      if (same) mask = static_cast<std::uint16_t>(mask | 1u << c);
    }
    return mask;
  }

 private:
  // A cell's value in the image of a code: the colours swap under the colour bit.
  static std::uint8_t Cell(std::uint8_t v, TSymmetry code) {
    v &= 3;
    return (code & kSymColours) && (v == kCellBlack || v == kCellWhite)
               ? static_cast<std::uint8_t>(v ^ 3)
               : v;
  }
  void PackImage(const TMatrix& p, TSymmetry code, std::string& key) const {
    const std::uint16_t* from = sources_[code].data();
    key.assign((p.size() + 3) / 4, '\0');
    for (std::size_t i = 0; i < p.size(); ++i)
      key[i / 4] = static_cast<char>(static_cast<unsigned char>(key[i / 4]) |
                                     Cell(p[from[i]], code) << (6 - 2 * (i % 4)));
  }

  int w_, h_;
  TRegionWord region_;
  std::vector<TSymmetry> codes_;
  std::array<std::vector<std::uint16_t>, 16> sources_;
};

struct TPositionNode {
  const std::string* Key = nullptr;  // the packed canonical form, owned by the index
  std::uint16_t Stabilizer = 0;      // computed once the position is expanded
  bool StabilizerKnown = false;
  std::uint64_t Arrivals = 0;
  bool Expanded = false;
  std::vector<std::uint32_t> Waiting;  // sequences stopped here while not expanded
  // Edges from here with their moves: a short list, found by a scan of one cache line or two
  // where a table of all edges would cost a cache miss or more per move.
  struct TOut {
    TMoveWord Move;
    std::uint32_t Edge;
  };
  std::vector<TOut> Out;
  std::uint32_t FirstChildRecord = 0;
  bool Queued = false;
};

struct TMoveEdge {
  std::uint32_t From = 0, To = 0;
  TMoveWord Move = kNoMove;  // in the frame of the canonical From position
  TSymmetry ChildCode = 0;   // turns the canonical To frame into the canonical From frame
  StatRecord Stats;
  std::uint64_t Count = 0;
  // The first corner sequence (in file order) that played the edge: for a leaf's game
  // reference.
  std::uint32_t FirstSeq = 0;
  std::uint16_t FirstVarIndex = 0;
  TSymmetry FirstCode = 0;  // game corner frame to the canonical From frame
  std::uint32_t Record = 0;
};

// A corner sequence on its way through the positions.
struct TWalker {
  TMatrix Actual;         // in the corner's upper-left frame
  TSymmetry ToCanon = 0;  // turns Actual into the canonical form of Position
  std::uint32_t Position = 0;
  std::uint32_t Step = 0;
};

void CountGame(StatRecord& r, const TGameEntry& g, bool moverWhite) {
  StatTriple& t = r.Triples[static_cast<std::size_t>(g.Category)];
  const int mover = moverWhite ? 2 : 1;
  if (g.Winner == 0)
    ++t.Unknown;
  else if (g.Winner == mover)
    ++t.MoverWins;
  else
    ++t.OpponentWins;
  const std::uint8_t own = moverWhite ? g.WhiteRank : g.BlackRank;
  const std::uint8_t other = moverWhite ? g.BlackRank : g.WhiteRank;
  r.Strongest[0] = std::max(r.Strongest[0], own);
  r.Strongest[1] = std::max(r.Strongest[1], other);
}

class TNetGraph {
 public:
  TNetGraph(int w, int h, std::uint32_t minGames, const std::vector<TGameEntry>& games,
            const std::vector<TCornerSeq>& seqs)
      : frames_(w, h),
        minGames_(std::max<std::uint32_t>(minGames, 1)),
        games_(games),
        seqs_(seqs) {}

  // Walks the sequences added since the last call as far as the net expands. Where a walk
  // stops does not depend on the order of the calls: a position expands once MinGames
  // sequences reach it, and every sequence waiting there goes on.
  void AddSequences() {
    TMatrix empty(static_cast<std::size_t>(frames_.Cells()), kCellEmpty);
    if (positions_.empty()) {
      std::string key;
      frames_.Pack(empty, key);
      root_ = PositionOf(key);
      positions_[root_].Expanded = true;
    }
    const auto first = static_cast<std::uint32_t>(walkers_.size());
    walkers_.resize(seqs_.size());
    std::deque<std::uint32_t> active;
    for (std::uint32_t s = first; s < seqs_.size(); ++s) {
      walkers_[s].Actual = empty;
      walkers_[s].Position = root_;
      CountGame(rootStats_, games_[seqs_[s].Game], false);
      active.push_back(s);
    }
    while (!active.empty()) {
      const std::uint32_t s = active.front();
      active.pop_front();
      Advance(s, active);
    }
  }

  TFrames& Frames() { return frames_; }
  std::vector<TPositionNode>& Positions() { return positions_; }
  std::vector<TMoveEdge>& Edges() { return edges_; }
  std::uint32_t Root() const { return root_; }
  const StatRecord& RootStats() const { return rootStats_; }

 private:
  std::uint32_t PositionOf(const std::string& key) {
    auto [it, inserted] = index_.try_emplace(key, static_cast<std::uint32_t>(positions_.size()));
    if (inserted) {
      TPositionNode p;
      p.Key = &it->first;  // nodes of the map stay where they are
      positions_.push_back(std::move(p));
    }
    return it->second;
  }

  // Moves sequence s on while its position is expanded; it waits at the first one that is not.
  void Advance(std::uint32_t s, std::deque<std::uint32_t>& active) {
    TWalker& w = walkers_[s];
    const TCornerSeq& seq = seqs_[s];
    const TGameEntry& game = games_[seq.Game];
    const int width = RegionWidth(frames_.Region()), height = RegionHeight(frames_.Region());
    while (positions_[w.Position].Expanded) {
      if (w.Step >= seq.Moves.size()) return Finish(w);
      const TMoveWord m = seq.Moves[w.Step];
      const int x = MoveX(m), y = MoveY(m);
      // A stone removed by a capture from outside the region cannot be followed.
      if (w.Actual[static_cast<std::size_t>(x + y * width)] != kCellEmpty) return Finish(w);
      // The move in the canonical frame; under a symmetric position the smallest image.
      TSymmetry code = w.ToCanon;
      TMoveWord best = frames_.Move(m, code);
      TPositionNode& at = positions_[w.Position];
      if (!at.StabilizerKnown) {
        at.Stabilizer = frames_.Stabilizer(*at.Key);
        at.StabilizerKnown = true;
      }
      for (TSymmetry st : frames_.Codes()) {
        if (!(at.Stabilizer & (1u << st))) continue;
        const TSymmetry c = ComposeSymmetry(w.ToCanon, st);
        const TMoveWord image = frames_.Move(m, c);
        if (image < best) {
          best = image;
          code = c;
        }
      }
      const std::uint32_t e = EdgeOf(w.Position, best);
      TMoveEdge& edge = edges_[e];
      if (edge.Count == 0 || s < edge.FirstSeq) {
        edge.FirstSeq = s;
        edge.FirstVarIndex = seq.VarIndex[w.Step];
        edge.FirstCode = code;
      }
      ++edge.Count;
      CountGame(edge.Stats, game, (m & kWhiteBit) != 0);
      PlaceStone(w.Actual, rkCorner, width, (m & kWhiteBit) ? kCellWhite : kCellBlack, y, x,
                 height);
      // The canonical From frame turns into the canonical To frame by the inverse child code.
      w.ToCanon = ComposeSymmetry(code, InverseSymmetry(edge.ChildCode));
      w.Position = edge.To;
      ++w.Step;
      TPositionNode& to = positions_[edge.To];
      ++to.Arrivals;
      if (!to.Expanded && to.Arrivals >= minGames_) {
        to.Expanded = true;
        for (std::uint32_t other : to.Waiting) active.push_back(other);
        to.Waiting.clear();
        to.Waiting.shrink_to_fit();
      } else if (!to.Expanded) {
        to.Waiting.push_back(s);
      }
    }
  }

  static void Finish(TWalker& w) {
    TMatrix().swap(w.Actual);
    w.Step = std::numeric_limits<std::uint32_t>::max();
  }

  std::uint32_t EdgeOf(std::uint32_t from, TMoveWord move) {
    for (const TPositionNode::TOut& out : positions_[from].Out)
      if (out.Move == move) return out.Edge;
    const int width = RegionWidth(frames_.Region()), height = RegionHeight(frames_.Region());
    TMatrix q;
    frames_.Unpack(*positions_[from].Key, q);
    PlaceStone(q, rkCorner, width, (move & kWhiteBit) ? kCellWhite : kCellBlack, MoveY(move),
               MoveX(move), height);
    std::string canon;
    const TSymmetry toCanon = frames_.Canonical(q, canon);
    TMoveEdge edge;
    edge.From = from;
    edge.Move = move;
    edge.ChildCode = InverseSymmetry(toCanon);
    edge.To = PositionOf(canon);
    const auto id = static_cast<std::uint32_t>(edges_.size());
    edges_.push_back(edge);
    positions_[from].Out.push_back({move, id});
    return id;
  }

  TFrames frames_;
  std::uint32_t minGames_;
  const std::vector<TGameEntry>& games_;
  const std::vector<TCornerSeq>& seqs_;
  std::vector<TPositionNode> positions_;
  std::unordered_map<std::string, std::uint32_t> index_;
  std::vector<TMoveEdge> edges_;
  std::vector<TWalker> walkers_;
  std::uint32_t root_ = 0;
  StatRecord rootStats_;
};

// ---------------------------------------------------------------------------------------------
// Writing

bool Fail(TBuildSummary& summary, const std::string& text) {
  summary.Error = text;
  return false;
}

std::string Slash(const std::string& home) {
  return home.empty() || home.back() == '/' ? home : home + "/";
}

constexpr const char* kBuildLockName = ".build.lock";
constexpr const char* kBuildFolderPrefix = ".build-";
constexpr const char* kBuildCommitName = "commit";

// Renames the listed files of a complete build (those still in its folder) into the home and
// removes the folder. Renaming again after an interruption is harmless: a file already moved
// is no longer in the folder.
bool CommitBuild(const std::string& home, const std::string& temp,
                 const std::vector<std::string>& files) {
  std::error_code ec;
  bool ok = true;
  for (const std::string& f : files) {
    // Only files: a list naming a folder would move the folder.
    if (!fs::is_regular_file(fs::symlink_status(temp + f, ec))) continue;
    fs::create_directories(fs::path(home + f).parent_path(), ec);
    if (!RenameFile(temp + f, home + f) || !SyncFolderOf(home + f)) ok = false;
  }
  if (ok) fs::remove_all(temp, ec);
  return ok;
}

// FinishInterruptedBuilds with the home's build lock held.
int FinishBuildsLocked(const std::string& home) {
  int finished = 0;
  std::error_code ec;
  std::vector<fs::path> folders;
  for (fs::directory_iterator it(home, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().rfind(kBuildFolderPrefix, 0) == 0 && it->is_directory(ec))
      folders.push_back(it->path());
  for (const fs::path& folder : folders) {
    const std::string temp = folder.string() + "/";
    std::ifstream in(temp + kBuildCommitName, std::ios::binary);
    std::vector<std::string> files;
    bool valid = static_cast<bool>(in);
    for (std::string line; valid && std::getline(in, line);) {
      // Only plain relative paths inside the home, as a build writes them.
      if (line.empty() || line[0] == '/' || line.find("..") != std::string::npos) valid = false;
      files.push_back(line);
    }
    if (valid && !files.empty()) {
      if (CommitBuild(home, temp, files)) ++finished;
    } else {
      fs::remove_all(folder, ec);
    }
  }
  return finished;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

std::uint8_t RankTextToBaseRank(const std::string& raw) {
  std::string t = Lower(Trim(raw));
  if (t.empty()) return 0;
  if (t == "nr" || t == "not rated" || t == "ur") return kBaseRankNotRated;
  if (t == "insei") return DanCode(7);
  // Title holders of professional collections.
  for (const char* title : {"honinbo", "meijin", "kisei", "judan", "tengen", "oza", "gosei"})
    if (t == title) return static_cast<std::uint8_t>(kBaseRankPro | DanCode(9));
  std::size_t i = 0;
  bool proFirst = false;
  if (t.rfind("pro", 0) == 0) {
    proFirst = true;
    i = 3;
  }
  while (i < t.size() && t[i] == ' ') ++i;
  std::size_t digits = i;
  int n = 0;
  while (digits < t.size() && std::isdigit(static_cast<unsigned char>(t[digits])) && n < 1000)
    n = n * 10 + (t[digits++] - '0');
  if (digits == i) return 0;
  std::string rest = Trim(std::string_view(t).substr(digits));
  while (!rest.empty() && rest.back() == '*') rest.pop_back();
  rest = Trim(rest);
  if (proFirst) {
    if ((rest == "d" || rest == "dan" || rest.empty()) && n >= 1 && n <= 9)
      return static_cast<std::uint8_t>(kBaseRankPro | DanCode(n));
    return 0;
  }
  if (rest == "p" || rest == "pro" || rest == "dan pro" || rest == "d pro" || rest == "pd") {
    if (n >= 1 && n <= 9) return static_cast<std::uint8_t>(kBaseRankPro | DanCode(n));
    return 0;
  }
  if (rest == "d" || rest == "dan" || rest == "dan ama" || rest == "d ama" || rest == "a" ||
      rest == "ad") {
    if (n >= 1 && n <= 9) return DanCode(n);
    return 0;
  }
  if (rest == "k" || rest == "kyu" || rest == "kyu ama") {
    if (n >= 1 && n <= 117) return static_cast<std::uint8_t>(119 - n);
    return 0;
  }
  return 0;
}

TStatCategory RankCategory(std::uint8_t black, std::uint8_t white) {
  if (Level(black) <= kBaseRankNotRated || Level(white) <= kBaseRankNotRated) return scUnknown;
  if (IsPro(black) && IsPro(white)) return scPro;
  if (IsPro(black) || IsPro(white)) return scProSemiPro;
  if (Level(black) < DanCode(1) || Level(white) < DanCode(1)) return scKyu;
  if (Level(black) >= DanCode(5) && Level(white) >= DanCode(5)) return scStrongAma;
  return scAmaDan;
}

int ResultWinner(const std::string& raw) {
  const std::string t = Lower(Trim(raw));
  if (t.size() >= 2 && t[1] == '+') {
    if (t[0] == 'b') return 1;
    if (t[0] == 'w') return 2;
  }
  return 0;
}

const std::vector<TGameInfoElement>& BuildSortIndexElements(std::size_t i) {
  static const std::vector<TGameInfoElement> elements[kBuildSortIndexes] = {
      {GI_BlackPlayer, GI_Date},
      {GI_WhitePlayer, GI_Date},
      {GI_Date, GI_Event},
      {GI_Event, GI_Date}};
  return elements[std::min(i, kBuildSortIndexes - 1)];
}

std::string BuildSortIndexFile(const std::string& name, std::size_t i) {
  static const char* const by[kBuildSortIndexes] = {"Black", "White", "Date", "Event"};
  return "Index/" + name + " by " + by[std::min(i, kBuildSortIndexes - 1)] + ".sbx";
}

int FinishInterruptedBuilds(const std::string& homeIn) {
  const std::string home = Slash(homeIn);
  std::error_code ec;
  bool any = false;
  for (fs::directory_iterator it(home, ec), end; !any && !ec && it != end; it.increment(ec))
    any = it->path().filename().string().rfind(kBuildFolderPrefix, 0) == 0;
  if (!any) return 0;
  // A build that is running holds the lock; its folder is its own.
  const TFileHandle lock = OpenFile(home + kBuildLockName, TFileAccess::faReadWrite,
                                    TFileCreation::fcOpenAlways, TFileShare::fsExclusive);
  if (lock == kInvalidHandle) return 0;
  const int finished = FinishBuildsLocked(home);
  RemoveFile(home + kBuildLockName);
  CloseFile(lock);
  return finished;
}

std::vector<std::string> CollectInputFiles(const std::vector<std::string>& inputs,
                                           std::vector<std::string>& missing) {
  std::vector<std::string> files;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (fs::is_directory(input, ec)) {
      fs::recursive_directory_iterator it(input, fs::directory_options::skip_permission_denied, ec),
          end;
      for (; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        if (!it->is_regular_file(fec)) continue;
        const std::string ext = Lower(it->path().extension().string());
        if (ext == ".sgf" || ext == ".mgt") files.push_back(it->path().string());
      }
    } else if (fs::is_regular_file(input, ec)) {
      files.push_back(input);
    } else {
      missing.push_back(input);
    }
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

bool BuildDatabase(const std::vector<std::string>& files, const std::string& homeIn,
                   const TBuildOptions& options, TBuildSummary& summary) {
  const auto started = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  };
  summary = TBuildSummary{};
  const int w = options.RegionWidth, h = options.RegionHeight;
  if (w < 1 || h < 1 || w > 19 || h > 19 || !IsValidRegion(MakeRegion(rkCorner, w, h)))
    return Fail(summary, "the region must be a corner of 1 to 19 lines each way");
  if (options.Name.empty() || options.Name.find_first_of("/\\") != std::string::npos ||
      options.Name == "." || options.Name == "..")
    return Fail(summary, "the name must be a plain file name");

  // The home, locked for this build, with what earlier builds left finished first.
  const std::string home = Slash(homeIn);
  std::error_code ec;
  fs::create_directories(home, ec);
  if (!fs::is_directory(home, ec)) return Fail(summary, "cannot create the home folder " + homeIn);
  // One build at a time in a home: the lock is held until the files are in place.
  const TFileHandle homeLock = OpenFile(home + kBuildLockName, TFileAccess::faReadWrite,
                                        TFileCreation::fcOpenAlways, TFileShare::fsExclusive);
  if (homeLock == kInvalidHandle) return Fail(summary, "another build is writing into " + homeIn);
  struct TUnlock {
    TFileHandle handle;
    std::string path;
    ~TUnlock() {
      RemoveFile(path);  // while still held, so that it never removes another build's lock
      CloseFile(handle);
    }
  } unlock{homeLock, home + kBuildLockName};
  FinishBuildsLocked(home);

  // 1. The games, taken into the net file by file. Files are read by the workers in any
  // order, each into a part of its own, at most `window` files ahead of the net; the parts
  // are taken in file order, so that the result does not depend on the number of workers.
  std::vector<TGameEntry> games;
  std::vector<TCornerSeq> seqs;
  TNetGraph graph(w, h, options.MinGames, games, seqs);
  TBuildProgress progress;
  progress.FilesTotal = files.size();
  struct TFilePart {
    std::vector<TGameEntry> Games;
    std::vector<TCornerSeq> Seqs;
    TBuildSummary Counts;
  };
  auto readOne = [&](std::size_t i, TFilePart& part) {
    TSequence first;
    if (!LoadGamesFromFile(&first, files[i], 0, nullptr)) ++part.Counts.FilesRejected;
    if (first.Data != nullptr)
      for (const TSequence* r = &first; r != nullptr; r = r->NextSibling)
        ReadGame(r, w, h, part.Games, part.Seqs, part.Counts);
    ClearRoot(&first);
  };
  auto take = [&](TFilePart& part) {
    const auto offset = static_cast<std::uint32_t>(games.size());
    for (TCornerSeq& seq : part.Seqs) {
      seq.Game += offset;
      seqs.push_back(std::move(seq));
    }
    for (TGameEntry& g : part.Games) games.push_back(std::move(g));
    const TBuildSummary& c = part.Counts;
    summary.FilesRejected += c.FilesRejected;
    summary.Games += c.Games;
    summary.GamesUsed += c.GamesUsed;
    summary.GamesNotNineteen += c.GamesNotNineteen;
    summary.Corners += c.Corners;
    summary.CornersSetup += c.CornersSetup;
    graph.AddSequences();
    ++progress.FilesDone;
    progress.Games = summary.Games;
    progress.Seconds = elapsed();
    if (options.Progress) options.Progress(progress);
  };
  const unsigned jobs = std::clamp(options.Jobs, 1u, 256u);
  if (jobs == 1) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      TFilePart part;
      readOne(i, part);
      take(part);
    }
  } else {
    const std::size_t window = 4 * std::size_t{jobs};
    std::vector<TFilePart> slots(window);  // file i waits in slot i % window
    std::vector<char> filled(window, 0);
    std::mutex mutex;
    std::condition_variable partReady, slotFree;
    std::size_t nextFile = 0, taken = 0;
    auto work = [&] {
      for (;;) {
        std::size_t i = 0;
        {
          std::unique_lock lock(mutex);
          if (nextFile >= files.size()) return;
          i = nextFile++;
          slotFree.wait(lock, [&] { return i < taken + window; });
        }
        TFilePart part;
        readOne(i, part);
        {
          std::lock_guard lock(mutex);
          slots[i % window] = std::move(part);
          filled[i % window] = 1;
        }
        partReady.notify_one();
      }
    };
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(work);
    for (std::size_t i = 0; i < files.size(); ++i) {
      TFilePart part;
      {
        std::unique_lock lock(mutex);
        partReady.wait(lock, [&] { return filled[i % window] != 0; });
        part = std::move(slots[i % window]);
        slots[i % window] = TFilePart{};
        filled[i % window] = 0;
        taken = i + 1;
      }
      slotFree.notify_all();
      take(part);
    }
    for (std::thread& t : workers) t.join();
  }
  summary.FilesRead = files.size();
  if (files.empty()) graph.AddSequences();  // the empty corner alone

  // 2. The positions and moves.
  auto& positions = graph.Positions();
  auto& edges = graph.Edges();

  // 3. Record numbers: breadth first from the empty corner, each expanded position's list of
  // moves contiguous (most played first, then by move word), then junctions, then game
  // references.
  std::vector<std::uint32_t> recordEdge;  // record - 1 -> edge
  std::vector<std::uint32_t> parentRecord(positions.size(), 0);
  {
    std::deque<std::uint32_t> queue{graph.Root()};
    positions[graph.Root()].Queued = true;
    while (!queue.empty()) {
      const std::uint32_t p = queue.front();
      queue.pop_front();
      std::vector<std::uint32_t> out;
      for (const TPositionNode::TOut& o : positions[p].Out)
        if (edges[o.Edge].Count > 0) out.push_back(o.Edge);
      std::sort(out.begin(), out.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (edges[a].Count != edges[b].Count) return edges[a].Count > edges[b].Count;
        return edges[a].Move < edges[b].Move;
      });
      if (!out.empty())
        positions[p].FirstChildRecord = static_cast<std::uint32_t>(recordEdge.size() + 1);
      for (std::uint32_t e : out) {
        recordEdge.push_back(e);
        edges[e].Record = static_cast<std::uint32_t>(recordEdge.size());
        TPositionNode& to = positions[edges[e].To];
        if (to.Expanded && !to.Queued) {
          to.Queued = true;
          parentRecord[edges[e].To] = edges[e].Record;
          queue.push_back(edges[e].To);
        }
      }
    }
  }
  const auto moveNodes = static_cast<std::uint32_t>(recordEdge.size());
  std::uint32_t next = moveNodes + 1;
  std::vector<NetRecord> nodes(moveNodes);
  std::vector<std::pair<NetRecord, TNetRecordKind>> extra;
  // Expanded positions reached by several moves form rings.
  std::vector<std::vector<std::uint32_t>> inRecords(positions.size());
  for (std::uint32_t r = 1; r <= moveNodes; ++r)
    inRecords[edges[recordEdge[r - 1]].To].push_back(r);
  for (std::uint32_t r = 1; r <= moveNodes; ++r) {
    const TMoveEdge& e = edges[recordEdge[r - 1]];
    NetRecord& n = nodes[r - 1];
    n.Index = r;
    n.SetParent(e.From == graph.Root() ? 0 : parentRecord[e.From]);
    n.SetMove(e.Move);
    std::uint32_t nextSibling = 0;
    if (r < moveNodes && edges[recordEdge[r]].From == e.From) nextSibling = r + 1;
    n.SetNext(nextSibling);
  }
  std::uint64_t rings = 0, expanded = 0;
  for (std::uint32_t p = 0; p < positions.size(); ++p) {
    const TPositionNode& pos = positions[p];
    if (pos.Expanded && pos.Queued) ++expanded;
    const auto& in = inRecords[p];
    if (in.empty()) continue;
    if (!pos.Expanded) continue;  // leaves: game references below
    if (in.size() == 1) {
      NetRecord& n = nodes[in[0] - 1];
      n.SetChild(pos.FirstChildRecord);
      n.SetNodeFlags(edges[recordEdge[in[0] - 1]].ChildCode & nfSymmetryMask);
      continue;
    }
    ++rings;
    NetRecord junction;
    junction.Index = next++;
    junction.SetEntry(in[0]);
    junction.SetSharedChild(pos.FirstChildRecord);
    for (std::size_t i = 0; i < in.size(); ++i) {
      NetRecord& n = nodes[in[i] - 1];
      std::uint8_t flags = nfLink | (edges[recordEdge[in[i] - 1]].ChildCode & nfSymmetryMask);
      if (i + 1 < in.size()) {
        n.SetChild(in[i + 1]);
      } else {
        flags |= nfViaJunction;
        n.SetChild(junction.Index);
      }
      n.SetNodeFlags(flags);
    }
    extra.emplace_back(junction, nkJunction);
  }
  // Leaves: a reference to the first game that played the move.
  std::vector<std::uint32_t> referenced;
  std::uint64_t gameRefs = 0;
  for (std::uint32_t r = 1; r <= moveNodes; ++r) {
    const TMoveEdge& e = edges[recordEdge[r - 1]];
    if (positions[e.To].Expanded) continue;
    const TCornerSeq& seq = seqs[e.FirstSeq];
    if (games[seq.Game].VarNumber == 0) {
      referenced.push_back(seq.Game);
      games[seq.Game].VarNumber = static_cast<std::uint32_t>(referenced.size());
    }
    NetRecord ref;
    ref.Index = next++;
    ref.SetGameId(kVarGameIdFirst + games[seq.Game].VarNumber);
    ref.SetContMove(kNoMove);
    ref.SetContIndex(static_cast<std::int16_t>(e.FirstVarIndex + 1));
    ref.SetContLast(-1);
    ref.SetOrigin(0, 0);
    ref.SetGameBoardSize(19);
    ref.SetGameSymmetry(static_cast<std::uint8_t>((seq.Corner & 7) | (e.FirstCode & 0x0F) << 4));
    NetRecord& n = nodes[r - 1];
    n.SetChild(ref.Index);
    n.SetNodeFlags(nfHasGames);
    extra.emplace_back(ref, nkGameRef);
    ++gameRefs;
  }

  // 4. The files, into a temporary folder of the home.
  const std::string temp = home + kBuildFolderPrefix + options.Name + "/";
  // With several jobs the variations base is written on a thread of its own beside the net
  // and the statistic.
  std::thread varsWriter;
  std::string varsError;
  auto cleanup = [&] {
    if (varsWriter.joinable()) varsWriter.join();
    std::error_code rec;
    fs::remove_all(temp, rec);
  };
  for (const char* dir : {"Net", "Sub Base", "Vars Base", "Index", "User Game Base"}) {
    fs::create_directories(temp + dir, ec);
    if (ec) {
      cleanup();
      return Fail(summary, "cannot write into " + homeIn + ": " + ec.message());
    }
  }
  const std::string netFile = "Net/" + options.Name + ".net";
  const std::string sbsFile = "Sub Base/" + options.Name + ".sbs";
  const std::string snsFile = "Sub Base/" + options.Name + ".sns";
  const std::string stcFile = "Sub Base/" + options.Name + ".stc";
  const std::vector<std::string> varsFiles = {"Vars Base/Vars.vpb", "Vars Base/Vars.vim",
                                              "Vars Base/Vars.vdm"};
  const TDateTime now = Now();
  auto writeVars = [&] {
    TVarsBase vars;
    vars.SetReadOnly(false);
    if (!vars.Open(temp + "Vars Base/Vars")) {
      varsError = "cannot create the variations base";
      return;
    }
    const TMatrix empty(361, kCellEmpty);
    for (std::uint32_t g : referenced) {
      if (vars.AppendVariation(empty, MakeRegion(rkWholeBoard, 19, 19), games[g].Moves) == 0) {
        varsError = "cannot write the variations base";
        return;
      }
    }
    vars.Close();
  };
  if (jobs > 1)
    varsWriter = std::thread(writeVars);
  else
    writeVars();
  std::uint32_t netRecords = 0;
  {
    TNetyFile net;
    net.SetReadOnly(false);
    if (!net.CreateNew(temp + netFile)) {
      cleanup();
      return Fail(summary, "cannot create " + netFile);
    }
    net.Header().SetCreated(now);
    net.Header().SetRegion(rkCorner, w, h);
    net.Header().SetStartPosition(TMatrix(static_cast<std::size_t>(w * h), kCellEmpty));
    net.Header().SetNetFlags(netOffered | netColourInversion);
    net.Header().SetDescription("Corner joseki of " + std::to_string(summary.GamesUsed) +
                                " games (" + std::to_string(summary.Corners) + " corners of " +
                                std::to_string(w) + " x " + std::to_string(h) + ") from " +
                                std::to_string(files.size()) +
                                " SGF files; followed while at least " +
                                std::to_string(options.MinGames) + " games play on");
    net.ComputeStartSymmetry();
    for (const NetRecord& n : nodes) net.WriteNode(n);
    for (const auto& [record, kind] : extra) net.WriteRecord(record, kind);
    netRecords = net.NodeCount();
    const std::uint32_t errors = net.TakeErrors();
    net.Close();
    if (errors != 0) {
      cleanup();
      return Fail(summary, "cannot write " + netFile);
    }
  }
  // The statistic, whose owner (the sub-net) is known only at the end.
  TStatistic stats;
  stats.SetReadOnly(false);
  stats.Open(temp + stcFile);
  if (!stats.Active()) {
    cleanup();
    return Fail(summary, "cannot create " + stcFile);
  }
  stats.SetCounterCount(kStatCategories);
  stats.WriteRecord(0, graph.RootStats());
  for (std::uint32_t r = 1; r <= moveNodes; ++r)
    stats.WriteRecord(r, edges[recordEdge[r - 1]].Stats);
  // Junctions and game references count nothing, but every record has its entry.
  if (netRecords > moveNodes) stats.WriteRecord(netRecords, StatRecord{});
  if (varsWriter.joinable()) varsWriter.join();
  if (!varsError.empty()) {
    cleanup();
    return Fail(summary, varsError);
  }
  std::uint32_t subNetIdentity = 0, subBaseIdentity = 0;
  {
    TVarsBase vars;
    TNetyFile net;
    if (!vars.Open(temp + "Vars Base/Vars") || !net.Open(temp + netFile)) {
      cleanup();
      return Fail(summary, "cannot read back the net and the variations base");
    }
    {
      TSubBase sub;
      sub.SetReadOnly(false);
      if (!sub.CreateNew(temp + sbsFile) || !sub.Bind(nullptr, nullptr, &vars)) {
        cleanup();
        return Fail(summary, "cannot create " + sbsFile);
      }
      sub.SetMenuName("Variations\\" + options.Name);
      sub.Close();
    }
    TSubBase sub;
    if (!sub.Open(temp + sbsFile)) {
      cleanup();
      return Fail(summary, "cannot read back " + sbsFile);
    }
    subBaseIdentity = sub.Identity();
    std::int64_t totalMoves = 0;
    for (const TCornerSeq& s : seqs) totalMoves += static_cast<std::int64_t>(s.Moves.size());
    {
      TSubNety subNet;
      subNet.SetReadOnly(false);
      if (!subNet.CreateNew(temp + snsFile) || !subNet.Attach(&sub, &net, nullptr)) {
        cleanup();
        return Fail(summary, "cannot create " + snsFile);
      }
      subNet.DropSelection();
      subNet.SetMenuPath("Joseki\\" + options.Name);
      subNet.SetNetName(options.Name);
      subNet.SetTotals(static_cast<std::int64_t>(seqs.size()),
                       static_cast<std::int64_t>(summary.GamesUsed), totalMoves);
      subNet.Close();
    }
    TSubNety subNet;
    if (!subNet.Open(temp + snsFile)) {
      cleanup();
      return Fail(summary, "cannot read back " + snsFile);
    }
    subNetIdentity = subNet.Identity();
  }
  {
    stats.SetOwnerIdentity(subNetIdentity);
    const std::uint32_t errors = stats.TakeErrors();
    stats.Close();
    if (errors != 0) {
      cleanup();
      return Fail(summary, "cannot write " + stcFile);
    }
  }

  // The sort indexes: the games of the variations base in key order (the same keys in the
  // order of their variation numbers).
  std::vector<std::string> indexFiles;
  for (std::size_t i = 0; i < kBuildSortIndexes; ++i) {
    std::vector<std::uint32_t> order(referenced.size());
    for (std::uint32_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return games[referenced[a]].SortKeys[i] < games[referenced[b]].SortKeys[i];
    });
    indexFiles.push_back(BuildSortIndexFile(options.Name, i));
    TBaseSorting index;
    index.SetReadOnly(false);
    if (!index.Open(temp + indexFiles.back())) {
      cleanup();
      return Fail(summary, "cannot create " + indexFiles.back());
    }
    index.SetKeyElements(BuildSortIndexElements(i));
    index.SetOrderKey(static_cast<std::uint32_t>(i + 1));
    index.SetSubBaseIdentity(subBaseIdentity);
    for (std::uint32_t k : order)
      index.AddEntry(kVarGameIdFirst + k + 1, games[referenced[k]].SortKeys[i]);
    index.Close();
    if (index.TakeErrors() != 0) {
      cleanup();
      return Fail(summary, "cannot write " + indexFiles.back());
    }
  }

  // 5. Into place: the list of the complete files first, then the renames.
  std::vector<std::string> built = {netFile, sbsFile, snsFile, stcFile};
  built.insert(built.end(), varsFiles.begin(), varsFiles.end());
  built.insert(built.end(), indexFiles.begin(), indexFiles.end());
  for (const char* dir : {"Net", "Sub Base", "Vars Base", "Index", "User Game Base"}) {
    fs::create_directories(home + dir, ec);
    if (ec) {
      cleanup();
      return Fail(summary, "cannot write into " + homeIn + ": " + ec.message());
    }
  }
  // A target that cannot be replaced fails the build before anything is moved.
  for (const std::string& f : built) {
    if (fs::is_directory(home + f, ec)) {
      cleanup();
      return Fail(summary, "cannot replace " + f + ": it is a folder");
    }
  }
  std::string list;
  for (const std::string& f : built) list += f + "\n";
  if (!WriteFileAtomically(temp + kBuildCommitName, list.data(), list.size())) {
    cleanup();
    return Fail(summary, "cannot write into " + homeIn);
  }
  // From here on the build is complete on disk: a failure of a rename leaves it to be
  // finished by the next build.
  if (!CommitBuild(home, temp, built))
    return Fail(summary, "cannot move the files into place; the next build finishes it");
  for (const std::string& f : built) summary.Files.emplace_back(f, fs::file_size(home + f, ec));

  summary.NetRecords = netRecords;
  summary.MoveNodes = moveNodes;
  summary.Positions = expanded;
  summary.Transpositions = rings;
  summary.GameReferences = gameRefs;
  summary.Variations = referenced.size();
  summary.Seconds = elapsed();
  return true;
}

}  // namespace kessaro
