// The database builder: a hand-made collection whose net is known, checked through the base
// holder's joseki sub-net, and a real collection whose every corner sequence is walked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bases/BaseHolder.h"
#include "bases/BaseSorting.h"
#include "bases/DatabaseBuilder.h"
#include "board/PositionFunc.h"
#include "board/SymmetryFunctions.h"
#include "platform/FileSystem.h"
#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TBytes;
using test::TempPath;

std::string MoveText(const TSequence* n) {
  std::string s = (n->Flags & sfBlack) ? "B[" : "W[";
  s += static_cast<char>('a' + MoveX(n->Point));
  s += static_cast<char>('a' + MoveY(n->Point));
  return s + "]";
}

std::vector<std::string> ChildTexts(const TSequence* node) {
  std::vector<std::string> out;
  for (const TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling)
    if (c->Kind == skNetNode || c->Kind == skNetGameNode) out.push_back(MoveText(c));
  return out;
}

std::vector<std::string> TailTexts(const TSequence* node) {
  std::vector<std::string> out;
  for (const TSequence* t = node->FirstChild; t != nullptr && t->Kind == skGameMove;
       t = t->FirstChild)
    out.push_back(MoveText(t));
  return out;
}

std::uint32_t Games(const StatRecord& r) {
  std::uint32_t n = 0;
  for (const StatTriple& t : r.Triples) n += t.Games();
  return n;
}

// A database home opened as the desktop program opens it, with one expanded root.
struct TOpenHome {
  explicit TOpenHome(const std::string& home) {
    holder.ApplyStartDirs(DefaultHolderDirs(home));
    net = holder.JosekiNet();
    root = NewNodeUnder(nullptr);
    if (net != nullptr) net->ExpandRoot(root);
  }
  ~TOpenHome() { ReleaseTree(root); }
  TOpenHome(const TOpenHome&) = delete;
  TOpenHome& operator=(const TOpenHome&) = delete;

  // The node reached along displayed moves ("B[dd]"), null when one is missing.
  TSequence* At(const std::vector<std::string>& path) {
    TSequence* node = root;
    for (const std::string& m : path) {
      TSequence* found = nullptr;
      for (TSequence* c = node->FirstChild; c != nullptr && found == nullptr; c = c->NextSibling)
        if ((c->Kind == skNetNode || c->Kind == skNetGameNode) && MoveText(c) == m) found = c;
      if (found == nullptr) return nullptr;
      net->ExpandNode(found);
      node = found;
    }
    return node;
  }
  const TNetNodeData* Data(const std::vector<std::string>& path) {
    TSequence* n = At(path);
    return n == nullptr ? nullptr : static_cast<const TNetNodeData*>(n->Data);
  }

  TBaseHolder holder;
  TSubNety* net = nullptr;
  TSequence* root = nullptr;
};

TEST(BuilderTexts, RanksCategoriesAndResults) {
  const std::uint8_t pro9 = 0x80 | 127, pro1 = 0x80 | 119;
  struct Case {
    const char* text;
    std::uint8_t code;
  };
  const Case ranks[] = {
      {"9p", pro9},        {"9 P", pro9},  {"9 pro", pro9},   {"9 dan pro", pro9},
      {"Pro 1 dan", pro1}, {"7 dan", 125}, {"7d*", 125},      {" 1d ", 119},
      {"5k", 114},         {"5 kyu", 114}, {"30k*", 89},      {"insei", 125},
      {"NR", 1},           {"", 0},        {"?", 0},          {"10d", 0},
      {"0k", 0},           {"9x", 0},      {"Honinbo", pro9}, {"Meijin", pro9},
  };
  for (const Case& c : ranks) EXPECT_EQ(RankTextToBaseRank(c.text), c.code) << c.text;

  struct CategoryCase {
    std::uint8_t black, white;
    TStatCategory category;
  };
  const CategoryCase categories[] = {
      {pro9, pro1, scPro},     {pro9, 125, scProSemiPro}, {114, pro9, scProSemiPro},
      {123, 127, scStrongAma}, {122, 127, scAmaDan},      {119, 114, scKyu},
      {0, pro9, scUnknown},    {pro9, 1, scUnknown},      {121, 121, scAmaDan},
  };
  for (const CategoryCase& c : categories)
    EXPECT_EQ(RankCategory(c.black, c.white), c.category) << int(c.black) << " " << int(c.white);

  EXPECT_EQ(ResultWinner("B+R"), 1);
  EXPECT_EQ(ResultWinner("w+3.5"), 2);
  EXPECT_EQ(ResultWinner("0"), 0);
  EXPECT_EQ(ResultWinner("Void"), 0);
  EXPECT_EQ(ResultWinner(""), 0);
}

// The categories at the edges of every kind of rank, from the rank texts of game records.
TEST(BuilderTexts, CategoryBoundariesOfEveryRankKind) {
  struct Case {
    const char *black, *white;
    TStatCategory category;
  };
  const Case cases[] = {
      // Professionals: both, or one of them whatever the other's rank.
      {"1p", "9p", scPro},
      {"Meijin", "1 dan pro", scPro},
      {"1p", "9d", scProSemiPro},
      {"30k", "9p", scProSemiPro},
      // Strong amateurs: both 5 dan or more; an insei counts as 7 dan.
      {"5d", "5d", scStrongAma},
      {"9d", "insei", scStrongAma},
      {"4d", "9d", scAmaDan},
      {"9d", "4d", scAmaDan},
      // Amateur dan down to 1 dan; one kyu player makes the game a kyu game.
      {"1d", "1d", scAmaDan},
      {"1d", "4d", scAmaDan},
      {"1k", "1d", scKyu},
      {"1d", "1k", scKyu},
      {"1k", "1k", scKyu},
      {"30k", "9d", scKyu},
      // Missing or unrated ranks, even beside a professional.
      {"NR", "1p", scUnknown},
      {"1p", "NR", scUnknown},
      {"1d", "", scUnknown},
      {"?", "5d", scUnknown},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RankCategory(RankTextToBaseRank(c.black), RankTextToBaseRank(c.white)), c.category)
        << c.black << " / " << c.white;
}

// Two builds of one collection hold the same records byte for byte: the files differ only in
// their headers (times, and the identities that depend on them).
void ExpectSameDatabase(const std::string& one, const std::string& other) {
  auto same = [&](const std::string& file, std::size_t header) {
    const TBytes a = ReadFileBytes(one + "/" + file);
    const TBytes b = ReadFileBytes(other + "/" + file);
    ASSERT_EQ(a.size(), b.size()) << file;
    ASSERT_GE(a.size(), header) << file;
    EXPECT_TRUE(std::equal(a.begin() + static_cast<std::ptrdiff_t>(header), a.end(),
                           b.begin() + static_cast<std::ptrdiff_t>(header)))
        << file;
  };
  same("Net/Joseki.net", 4 + kNetHeaderSize);
  same("Sub Base/Joseki.stc", 4);  // after the owner
  same("Vars Base/Vars.vdm", 4);
  for (std::size_t i = 0; i < kBuildSortIndexes; ++i)
    same(BuildSortIndexFile("Joseki", i), 4 + kSortHeaderSize);
}

// The collection (upper-left corner unless said; region 10 x 10, min-games 2):
//   A1, A2  B dd, W fc, B cf; A1 goes on W ci, B eg, W bh (a game followed alone)
//   M1, M2  the same moves mirrored along the diagonal, in the lower-right corner
//   X1, X2  B dd, W fc, then a tenuki (B qd, in the upper-right corner), then W cf
//   T1, T2  B cf, W fc, B dd: another order to the position of A; T1 goes on W hc
// (A1 and T1 carry players, dates and events for the sort indexes)
//   C1, C2  B ba, W aa, B ab (captures), W dd, B aa
// and a 13 x 13 game, a game with a handicap stone in the upper-left corner and a file the
// reader cannot read.
class HandMadeDatabase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    input_ = TempPath("builder-input");
    home_ = TempPath("builder-home");
    fs::remove_all(input_);
    fs::remove_all(home_);
    fs::create_directories(input_ + "/more");
    auto write = [](const std::string& path, const std::string& text) {
      std::ofstream(path, std::ios::binary) << text;
    };
    write(input_ + "/a.sgf",
          "(;GM[1]SZ[19]PB[Kitani]PW[Go]BR[9p]WR[8p]RE[B+R]DT[1933-10-16]EV[Oteai]"
          ";B[dd];W[fc];B[cf];W[ci];B[eg];W[bh])"
          "(;GM[1]SZ[19]BR[3d]WR[6d]RE[W+2.5];B[dd];W[fc];B[cf])");
    write(input_ + "/more/m.SGF",
          "(;GM[1]SZ[19]BR[5d]WR[6d]RE[B+R];B[pp];W[qn];B[nq])"
          "(;GM[1]SZ[19]BR[2k]WR[1d];B[pp];W[qn];B[nq])");
    write(input_ + "/more/x.mgt",
          "(;GM[1]SZ[19];B[dd];W[fc];B[qd];W[cf])(;GM[1]SZ[19];B[dd];W[fc];B[qd];W[cf])");
    write(input_ + "/t.sgf",
          "(;GM[1]SZ[19]PB[Cho]PW[Abe]BR[9p]WR[3d]RE[B+R]DT[1980-01-01]EV[Meijin]"
          ";B[cf];W[fc];B[dd];W[hc])"
          "(;GM[1]SZ[19];B[cf];W[fc];B[dd])");
    write(input_ + "/c.sgf",
          "(;GM[1]SZ[19];B[ba];W[aa];B[ab];W[dd];B[aa])(;GM[1]SZ[19];B[ba];W[aa];B[ab];W[dd];B[aa])"
          "(;GM[1]SZ[13];B[dd];W[fc])(;GM[1]SZ[19]HA[2]AB[dd][pp];W[ob])");
    write(input_ + "/broken.sgf", "");
    write(input_ + "/notes.txt", "(;GM[1]SZ[19];B[aa])");
    std::vector<std::string> missing;
    const auto files = CollectInputFiles({input_}, missing);
    files_ = files.size();
    ASSERT_TRUE(BuildDatabase(files, home_, TBuildOptions{}, summary_)) << summary_.Error;
  }

  static std::string input_, home_;
  static std::size_t files_;
  static TBuildSummary summary_;
};
std::string HandMadeDatabase::input_, HandMadeDatabase::home_;
std::size_t HandMadeDatabase::files_ = 0;
TBuildSummary HandMadeDatabase::summary_;

TEST_F(HandMadeDatabase, SummaryCountsWhatWasSkipped) {
  EXPECT_EQ(files_, 6u);  // .sgf, .SGF and .mgt in the folders, no .txt
  EXPECT_EQ(summary_.FilesRejected, 1u);
  EXPECT_EQ(summary_.Games, 12u);
  EXPECT_EQ(summary_.GamesNotNineteen, 1u);
  EXPECT_EQ(summary_.CornersSetup, 2u);  // the handicap game's two corners
  EXPECT_EQ(summary_.GamesUsed, 11u);    // the handicap game keeps its upper-right corner
  EXPECT_EQ(summary_.Corners, 13u);      // ten games, X's and the handicap's upper right
  EXPECT_EQ(summary_.Transpositions, 1u);
  for (const char* f :
       {"Net/Joseki.net", "Sub Base/Joseki.sbs", "Sub Base/Joseki.sns", "Sub Base/Joseki.stc",
        "Vars Base/Vars.vpb", "Vars Base/Vars.vim", "Vars Base/Vars.vdm"})
    EXPECT_TRUE(fs::is_regular_file(home_ + "/" + f)) << f;
  EXPECT_TRUE(fs::is_directory(home_ + "/User Game Base"));
  EXPECT_TRUE(fs::is_directory(home_ + "/Index"));
  for (const auto& entry : fs::directory_iterator(home_))
    EXPECT_NE(entry.path().filename().string().rfind(".build", 0), 0u) << entry.path();
}

TEST_F(HandMadeDatabase, HolderPicksTheJosekiNetWithCountsPerMove) {
  TOpenHome h(home_);
  ASSERT_NE(h.net, nullptr);
  EXPECT_EQ(h.net->NetName(), "Joseki");
  EXPECT_TRUE(h.net->SubBase()->OverVarsOnly());
  EXPECT_EQ(h.net->Net()->Header().NetFlags(), netOffered | netColourInversion);
  // The most played first, then by point; B cf of T shows as its mirror image, the handicap
  // game's lone W ob in the upper right (W eb there) as B eb under colour inversion.
  EXPECT_EQ(ChildTexts(h.root),
            (std::vector<std::string>{"B[dd]", "B[ba]", "B[dc]", "B[fc]", "B[eb]"}));
  const auto* dd = h.Data({"B[dd]"});
  ASSERT_NE(dd, nullptr);
  // Mover Black: A1 Pro won, A2 Ama Dan lost, M1 Strong Ama won, M2 Kyu and X unknown.
  EXPECT_EQ(dd->Stats.Triples[scPro], (StatTriple{1, 0, 0}));
  EXPECT_EQ(dd->Stats.Triples[scAmaDan], (StatTriple{0, 1, 0}));
  EXPECT_EQ(dd->Stats.Triples[scStrongAma], (StatTriple{1, 0, 0}));
  EXPECT_EQ(dd->Stats.Triples[scKyu], (StatTriple{0, 0, 1}));
  EXPECT_EQ(dd->Stats.Triples[scUnknown], (StatTriple{0, 0, 2}));
  EXPECT_EQ(dd->Stats.Strongest, (std::array<std::uint8_t, 2>{0x80 | 127, 0x80 | 126}));
  // The mirrored sequence joins A at the symmetric position: W cf is W fc.
  const auto* fc = h.Data({"B[dd]", "W[fc]"});
  ASSERT_NE(fc, nullptr);
  EXPECT_EQ(Games(fc->Stats), 6u);
  EXPECT_EQ(fc->Stats.Triples[scPro], (StatTriple{0, 1, 0}));  // mover White lost
  EXPECT_EQ(fc->Stats.Triples[scAmaDan], (StatTriple{1, 0, 0}));
  // The tenuki: White plays twice in the corner.
  EXPECT_EQ(ChildTexts(h.At({"B[dd]", "W[fc]"})), (std::vector<std::string>{"B[cf]", "W[cf]"}));
  EXPECT_EQ(Games(h.Data({"B[dd]", "W[fc]", "W[cf]"})->Stats), 2u);
  // The capture empties a-a for Black's stone.
  const auto* capture = h.Data({"B[ba]", "W[aa]", "B[ab]", "W[dd]", "B[aa]"});
  ASSERT_NE(capture, nullptr);
  EXPECT_EQ(Games(capture->Stats), 2u);
  StatRecord rootStats;
  h.net->Stats()->ReadRecord(0, rootStats);
  EXPECT_EQ(Games(rootStats), summary_.Corners);
}

TEST_F(HandMadeDatabase, TwoMoveOrdersShareOnePositionThroughTheRing) {
  TOpenHome h(home_);
  ASSERT_NE(h.net, nullptr);
  TSequence* viaA = h.At({"B[dd]", "W[fc]", "B[cf]"});
  TSequence* viaT = h.At({"B[fc]", "W[cf]", "B[dd]"});
  ASSERT_NE(viaA, nullptr);
  ASSERT_NE(viaT, nullptr);
  const auto* a = static_cast<const TNetNodeData*>(viaA->Data);
  const auto* t = static_cast<const TNetNodeData*>(viaT->Data);
  EXPECT_EQ(Games(a->Stats), 4u);
  EXPECT_EQ(Games(t->Stats), 2u);
  EXPECT_EQ(Games(a->SumStats), 6u);
  EXPECT_EQ(Games(t->SumStats), 6u);
  EXPECT_EQ(a->SumStats.Triples[scProSemiPro], (StatTriple{1, 0, 0}));

  // In the net: both are ring members, one names the junction, whose shared child both
  // resolve to; the two reach the position in different orientations.
  TNetyFile& net = *h.net->Net();
  NetRecord ra, rt;
  net.ReadNode(a->Node.Index, ra);
  net.ReadNode(t->Node.Index, rt);
  EXPECT_TRUE(ra.NodeFlags() & nfLink);
  EXPECT_TRUE(rt.NodeFlags() & nfLink);
  EXPECT_NE((ra.NodeFlags() | rt.NodeFlags()) & nfViaJunction, 0);
  const NetRecord& last = (ra.NodeFlags() & nfViaJunction) ? ra : rt;
  const NetRecord& first = (ra.NodeFlags() & nfViaJunction) ? rt : ra;
  EXPECT_EQ(first.Child(), last.Index);
  NetRecord junction;
  net.ReadJunction(last.Child(), junction);
  EXPECT_EQ(junction.Entry(), first.Index);
  EXPECT_EQ(a->Node.Child(), junction.SharedChild());
  EXPECT_EQ(t->Node.Child(), junction.SharedChild());
  // T's first move, B cf, is stored as B fc with the swap code that turns what follows
  // back; so the two paths see the shared position in orientations a swap apart.
  EXPECT_EQ(h.Data({"B[fc]"})->Node.ChildSymmetry(), kSymSwapXY);
  EXPECT_EQ(h.net->CombinedSymmetry(viaA) ^ h.net->CombinedSymmetry(viaT), kSymSwapXY);
  EXPECT_EQ(net.TakeErrors(), 0u);
  ANetyMoves family;
  h.net->TranspositionFamily(viaA, family);
  EXPECT_EQ(family.size(), 2u);

  // The shared children, each in its path's orientation (T's moves show mirrored on its own
  // path, as they were played on A's).
  auto sorted = [](std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  EXPECT_EQ(sorted(ChildTexts(viaA)), (std::vector<std::string>{"W[ci]", "W[hc]"}));
  EXPECT_EQ(sorted(ChildTexts(viaT)), (std::vector<std::string>{"W[ch]", "W[ic]"}));
}

TEST_F(HandMadeDatabase, AGameFollowedAloneShowsItsOwnContinuation) {
  TOpenHome h(home_);
  ASSERT_NE(h.net, nullptr);
  TSequence* leaf = h.At({"B[dd]", "W[fc]", "B[cf]", "W[ci]"});
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->Kind, skNetGameNode);
  EXPECT_EQ(TailTexts(leaf), (std::vector<std::string>{"B[eg]", "W[bh]"}));
  const auto* data = static_cast<const TNetGameNodeData*>(leaf->Data);
  EXPECT_GE(data->GameRef.GameId(), kVarGameIdFirst);
  TSequence* mirrored = h.At({"B[fc]", "W[cf]", "B[dd]", "W[ic]"});
  ASSERT_NE(mirrored, nullptr);
  EXPECT_EQ(TailTexts(mirrored), (std::vector<std::string>{"B[ge]", "W[hb]"}));
  TSequence* ended = h.At({"B[fc]", "W[cf]", "B[dd]", "W[ch]"});
  ASSERT_NE(ended, nullptr);
  EXPECT_EQ(ended->Kind, skNetGameNode);
  EXPECT_TRUE(TailTexts(ended).empty());
  EXPECT_EQ(h.net->TakeErrors(), 0u);
}

TEST_F(HandMadeDatabase, EveryFileIsIntactAndTheBuildIsRepeatable) {
  TNetyFile net;
  ASSERT_TRUE(net.Open(home_ + "/Net/Joseki.net"));
  EXPECT_TRUE(CheckNet(net).Ok());
  TStatistic stats;
  stats.Open(home_ + "/Sub Base/Joseki.stc");
  ASSERT_TRUE(stats.Active());
  EXPECT_TRUE(CheckStatistic(stats).Ok());
  EXPECT_EQ(stats.RecordCount(), net.NodeCount() + 1);

  // A second build elsewhere, reading with three threads: the same records byte for byte.
  const std::string again = TempPath("builder-again");
  fs::remove_all(again);
  std::vector<std::string> missing;
  TBuildSummary s;
  TBuildOptions threads;
  threads.Jobs = 3;
  ASSERT_TRUE(BuildDatabase(CollectInputFiles({input_}, missing), again, threads, s));
  EXPECT_EQ(s.Corners, summary_.Corners);
  EXPECT_EQ(s.FilesRejected, summary_.FilesRejected);
  ExpectSameDatabase(home_, again);
}

TEST_F(HandMadeDatabase, SortIndexesListTheVariationsByPlayersDateAndEvent) {
  TOpenHome h(home_);
  ASSERT_NE(h.net, nullptr);
  std::size_t sub = 0;
  while (sub < h.holder.SubBaseCount() && h.holder.SubBaseAt(sub) != h.net->SubBase()) ++sub;
  const std::vector<TBaseSorting*> indexes = h.holder.SortingsOf(sub);
  ASSERT_EQ(indexes.size(), kBuildSortIndexes);
  // The variation of a game by its first moves (A1 starts at dd, T1 at cf).
  auto firstMove = [&](std::uint32_t id) {
    TVar var;
    if (id <= kVarGameIdFirst || !h.holder.VarsBase()->ReadVar(id - kVarGameIdFirst, var) ||
        var.Moves.empty())
      return std::string();
    return std::string{static_cast<char>('a' + MoveX(var.Moves[0].Move)),
                       static_cast<char>('a' + MoveY(var.Moves[0].Move))};
  };
  // The start of a game's key for one element, in the language the reader gave its texts.
  auto keyStart = [&](const char* file, TGameInfoElement element, std::size_t chars) {
    TSequence first;
    EXPECT_TRUE(LoadGamesFromFile(&first, input_ + "/" + file, 0, nullptr));
    const TGame* game = first.Data != nullptr ? first.Data->Game() : nullptr;
    std::string key = game != nullptr ? GameSortKey(*game, {element}) : std::string();
    ClearRoot(&first);
    return key.substr(0, 2 + chars);
  };
  struct Case {
    TGameInfoElement element;
    const char* file;  // whose first game to look for
    std::size_t chars;
    const char* firstMove;
  };
  const Case finds[kBuildSortIndexes] = {{GI_BlackPlayer, "a.sgf", 3, "dd"},  // "kit"
                                         {GI_WhitePlayer, "t.sgf", 2, "cf"},  // "ab"
                                         {GI_Date, "", 0, ""},                // below
                                         {GI_Event, "t.sgf", 3, "cf"}};       // "mei"
  for (std::size_t i = 0; i < kBuildSortIndexes; ++i) {
    TBaseSorting* index = indexes[i];
    SCOPED_TRACE(index->Name());
    EXPECT_EQ(index->Name(), fs::path(BuildSortIndexFile("Joseki", i)).filename().string());
    EXPECT_EQ(index->OrderKey(), i + 1);
    EXPECT_EQ(index->KeyElement(0), BuildSortIndexElements(i)[0]);
    EXPECT_EQ(index->EntryCount(), summary_.Variations);
    EXPECT_TRUE(index->CheckTrie().Ok());
    std::set<std::uint32_t> ids;
    for (std::uint32_t e = 1; e <= index->EntryCount(); ++e) ids.insert(index->EntryAt(e));
    EXPECT_EQ(ids.size(), summary_.Variations);  // every variation once
    if (finds[i].chars == 0) continue;
    const TSortRange r =
        index->FindRange(keyStart(finds[i].file, finds[i].element, finds[i].chars));
    ASSERT_FALSE(r.Empty());
    EXPECT_EQ(r.First, r.Last);
    EXPECT_EQ(firstMove(index->EntryAt(r.First)), finds[i].firstMove);
  }
  // By date the two dated games come last, the older first; undated games sort before them.
  TBaseSorting* byDate = indexes[2];
  const std::uint32_t n = byDate->EntryCount();
  ASSERT_GE(n, 2u);
  EXPECT_EQ(firstMove(byDate->EntryAt(n - 1)), "dd");
  EXPECT_EQ(firstMove(byDate->EntryAt(n)), "cf");
}

TEST(DatabaseBuilder, AnInterruptedMoveIntoPlaceIsFinishedLater) {
  const std::string input = TempPath("builder-commit.sgf");
  std::ofstream(input, std::ios::binary) << "(;GM[1]SZ[19];B[dd];W[fc])(;GM[1]SZ[19];B[dd])";
  const std::string home = TempPath("builder-commit-home");
  fs::remove_all(home);
  TBuildSummary s;
  ASSERT_TRUE(BuildDatabase({input}, home, {}, s)) << s.Error;
  std::ofstream(input, std::ios::binary) << "(;GM[1]SZ[19];B[cc])(;GM[1]SZ[19];B[cc])";
  // The third rename into place fails: the files are complete, some old ones are replaced.
  int renames = 0;
  const std::string commit = home + "/.build-Joseki/commit";
  SetFaultHook([&](TFileOp op) {
    return op == TFileOp::foRename && fs::exists(commit) && ++renames == 3 ? EIO : 0;
  });
  const bool built = BuildDatabase({input}, home, {}, s);
  SetFaultHook(nullptr);
  EXPECT_FALSE(built);
  EXPECT_NE(s.Error.find("next build"), std::string::npos) << s.Error;
  // The next holder of the home finishes the move before it loads anything: the new
  // database, whole.
  {
    TBaseHolder holder;
    holder.SetReadOnly(true);
    holder.ApplyStartDirs(DefaultHolderDirs(home));
    EXPECT_NE(holder.JosekiNet(), nullptr);
  }
  EXPECT_EQ(FinishInterruptedBuilds(home), 0);
  for (const auto& entry : fs::directory_iterator(home))
    EXPECT_NE(entry.path().filename().string().rfind(".build", 0), 0u) << entry.path();
  TOpenHome h(home);
  ASSERT_NE(h.net, nullptr);
  EXPECT_EQ(ChildTexts(h.root), std::vector<std::string>{"B[cc]"});
  EXPECT_EQ(h.net->TakeErrors(), 0u);
  // A build folder without its list of complete files is an unfinished build: removed.
  fs::create_directories(home + "/.build-Other/Net");
  std::ofstream(home + "/.build-Other/Net/Other.net") << "partial";
  EXPECT_EQ(FinishInterruptedBuilds(home), 0);
  EXPECT_FALSE(fs::exists(home + "/.build-Other"));
  EXPECT_FALSE(fs::exists(home + "/Net/Other.net"));
}

TEST(DatabaseBuilder, AFailedBuildLeavesTheHomeAsItWas) {
  const std::string input = TempPath("builder-fail.sgf");
  std::ofstream(input, std::ios::binary) << "(;GM[1]SZ[19];B[dd];W[fc])(;GM[1]SZ[19];B[dd])";
  TBuildSummary s;
  // A home below a plain file cannot be created.
  EXPECT_FALSE(BuildDatabase({input}, input + "/home", {}, s));
  EXPECT_FALSE(s.Error.empty());
  // A target that cannot be replaced: nothing is moved, no temporary folder stays.
  const std::string home = TempPath("builder-fail-home");
  fs::remove_all(home);
  fs::create_directories(home + "/Sub Base/Joseki.sns");
  EXPECT_FALSE(BuildDatabase({input}, home, {}, s));
  EXPECT_FALSE(fs::exists(home + "/Net/Joseki.net"));
  EXPECT_FALSE(fs::exists(home + "/Vars Base/Vars.vpb"));
  for (const auto& entry : fs::directory_iterator(home))
    EXPECT_NE(entry.path().filename().string().rfind(".build", 0), 0u) << entry.path();
  // Bad options.
  TBuildOptions bad;
  bad.Name = "../x";
  EXPECT_FALSE(BuildDatabase({input}, home, bad, s));
  bad = {};
  bad.RegionWidth = 0;
  EXPECT_FALSE(BuildDatabase({input}, home, bad, s));
  // A rebuild replaces the earlier database.
  fs::remove_all(home);
  ASSERT_TRUE(BuildDatabase({input}, home, {}, s)) << s.Error;
  std::ofstream(input, std::ios::binary) << "(;GM[1]SZ[19];B[cc])(;GM[1]SZ[19];B[cc])";
  ASSERT_TRUE(BuildDatabase({input}, home, {}, s)) << s.Error;
  TOpenHome h(home);
  ASSERT_NE(h.net, nullptr);
  EXPECT_EQ(ChildTexts(h.root), std::vector<std::string>{"B[cc]"});
}

// ---------------------------------------------------------------------------------------------
// A real collection: every corner sequence walks through the net, and each node's counts are
// the sequences through it.

struct TCorner {
  std::vector<TMoveWord> Moves;
};

std::vector<TCorner> CornersOf(const std::vector<std::string>& files, int w, int h) {
  std::vector<TCorner> out;
  const std::uint8_t codes[4] = {0, kSymMirrorX, kSymMirrorY, kSymMirrorX | kSymMirrorY};
  for (const std::string& file : files) {
    TSequence first;
    LoadGamesFromFile(&first, file, 0, nullptr);
    for (const TSequence* r = &first; first.Data != nullptr && r != nullptr; r = r->NextSibling) {
      const TGame* g = r->Data != nullptr ? r->Data->Game() : nullptr;
      if (g == nullptr || g->BoardSize != 19) continue;
      for (std::uint8_t code : codes) {
        TCorner c;
        bool setup = false;
        auto check = [&](const APositionModifier& items) {
          for (const auto& item : items) {
            int x = item.Point & 0xFF, y = item.Point >> 8;
            if (x >= 19 || y >= 19 || (item.Value & kModifierMarkBit)) continue;
            TransformXY(x, y, code, 19, 19);
            if (x < w && y < h) setup = true;
          }
        };
        check(r->Setup);
        for (const TSequence* n = r->FirstChild; n != nullptr; n = n->FirstChild) {
          check(n->Setup);
          if (IsNoMove(n->Point)) continue;
          int x = n->Point & 0x1F, y = (n->Point >> 8) & 0x1F;
          if (x >= 19 || y >= 19) continue;
          TransformXY(x, y, code, 19, 19);
          if (x < w && y < h) c.Moves.push_back(MakeMove(x, y, (n->Flags & sfBlack) == 0));
        }
        if (!setup && !c.Moves.empty()) out.push_back(std::move(c));
      }
    }
    ClearRoot(&first);
  }
  return out;
}

TMatrix Image(const TMatrix& m, TSymmetry code, int w, int h) {
  TMatrix out(m.size(), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t v = m[static_cast<std::size_t>(x + y * w)];
      if ((code & kSymColours) && v != 0) v ^= 3;
      int tx = x, ty = y;
      TransformXY(tx, ty, code, w, h);
      out[static_cast<std::size_t>(tx + ty * w)] = v;
    }
  return out;
}

TEST(DatabaseBuilderReal, EveryCornerWalksAndCountsAddUp) {
  const std::string sample = "/usr/share/goban";
  if (!fs::is_directory(sample)) GTEST_SKIP() << "no sample collection in " << sample;
  std::vector<std::string> missing;
  std::vector<std::string> files = CollectInputFiles({sample}, missing);
  if (files.size() > 300) files.resize(300);
  const std::string home = TempPath("builder-real");
  fs::remove_all(home);
  const int w = 10, h = 10;
  TBuildSummary summary;
  ASSERT_TRUE(BuildDatabase(files, home, {}, summary)) << summary.Error;
  {
    // Two reading threads, taking the files into the net while they read ahead.
    const std::string again = TempPath("builder-real-jobs");
    fs::remove_all(again);
    TBuildOptions jobs;
    jobs.Jobs = 2;
    TBuildSummary s;
    ASSERT_TRUE(BuildDatabase(files, again, jobs, s)) << s.Error;
    ExpectSameDatabase(home, again);
    fs::remove_all(again);
  }
  const std::vector<TCorner> corners = CornersOf(files, w, h);
  ASSERT_EQ(corners.size(), summary.Corners);
  ASSERT_GT(corners.size(), 500u);

  TOpenHome open(home);
  ASSERT_NE(open.net, nullptr);
  const std::vector<TSymmetry> codes = {0, 1, 8, 9};
  std::map<std::uint32_t, std::uint32_t> through;  // record -> sequences through it
  std::size_t tails = 0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    SCOPED_TRACE("corner sequence " + std::to_string(i));
    const auto& moves = corners[i].Moves;
    TMatrix actual(static_cast<std::size_t>(w * h), 0), shown = actual;
    TSymmetry frame = 0;  // game frame to the shown frame
    TSequence* node = open.root;
    for (std::size_t k = 0; k < moves.size(); ++k) {
      const TMoveWord m = moves[k];
      if (actual[static_cast<std::size_t>(MoveX(m) + MoveY(m) * w)] != 0) break;
      TSequence* found = nullptr;
      for (TSymmetry s : codes) {
        if (Image(shown, s, w, h) != shown) continue;
        const TSymmetry f = ComposeSymmetry(frame, s);
        const TMoveWord want = TransformMove(m, f, w, h);
        for (TSequence* c = node->FirstChild; c != nullptr && found == nullptr; c = c->NextSibling)
          if ((c->Kind == skNetNode || c->Kind == skNetGameNode) &&
              (c->Point & kPointMask) == (want & kPointMask) &&
              ((c->Flags & sfBlack) != 0) == ((want & kWhiteBit) == 0)) {
            found = c;
            frame = f;
          }
        if (found != nullptr) break;
      }
      ASSERT_NE(found, nullptr) << "move " << k;
      const auto* data = static_cast<const TNetNodeData*>(found->Data);
      ++through[data->Node.Index];
      const TMoveWord shownMove = TransformMove(m, frame, w, h);
      PlaceStone(actual, rkCorner, w, (m & kWhiteBit) ? 2 : 1, MoveY(m), MoveX(m), h);
      PlaceStone(shown, rkCorner, w, (shownMove & kWhiteBit) ? 2 : 1, MoveY(shownMove),
                 MoveX(shownMove), h);
      open.net->ExpandNode(found);
      if (found->Kind == skNetGameNode) {
        // A game followed alone: the tail is the rest of this very sequence.
        if (Games(data->Stats) == 1) {
          const auto tail = TailTexts(found);
          std::vector<std::string> rest;
          for (std::size_t j = k + 1; j < moves.size() && rest.size() < tail.size(); ++j) {
            const TMoveWord t = TransformMove(moves[j], frame, w, h);
            TSequence probe;
            probe.Point = t & kPointMask;
            probe.Flags = (t & kWhiteBit) ? 0 : sfBlack;
            rest.push_back(MoveText(&probe));
          }
          EXPECT_EQ(tail, rest);
          ++tails;
        }
        break;
      }
      node = found;
    }
    open.net->CollapseSiblings(open.root->FirstChild);
  }
  EXPECT_GT(tails, 100u);
  // Every move node is passed by some sequence, and holds exactly the sequences through it.
  EXPECT_EQ(through.size(), summary.MoveNodes);
  for (const auto& [index, count] : through) {
    StatRecord r;
    open.net->ReadStats(index, r);
    ASSERT_EQ(Games(r), count) << "record " << index;
  }
  EXPECT_EQ(open.net->TakeErrors(), 0u);
}

}  // namespace
}  // namespace kessaro
