#include "records/LoadSequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/BoardFormFunc.h"
#include "records/GameFunc.h"
#include "records/SaveSequence.h"
#include "records/TreeText.h"
#include "storage/LogUnit.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kessaro {
namespace {

std::string TreeText(const TSequence* root) {
  return SgfTreeText(root);
}

struct Read {
  TSequence first;
  bool ok = false;
  std::vector<std::string> log;
  ~Read() { ClearRoot(&first); }
  std::vector<std::string> Trees() const {
    std::vector<std::string> out;
    for (const TSequence* r = &first; r && r->Data; r = r->NextSibling) out.push_back(TreeText(r));
    return out;
  }
  const TGame& Game() const { return *first.Data->Game(); }
};

std::unique_ptr<Read> ReadSgf(const std::string& text, int options = 0) {
  auto r = std::make_unique<Read>();
  r->ok =
      LoadGamesFromBytes(&r->first, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                         options, [&](const std::string& line, bool) { r->log.push_back(line); });
  return r;
}

TEST(SgfReader, TreesOfSmallFiles) {
  struct Case {
    const char* name;
    std::string sgf;
    int options;
    std::vector<std::string> trees;
  };
  const std::vector<Case> cases = {
      {"two moves", "(;GM[1]SZ[19];B[pd];W[dp])", 0, {";B[pd];W[dp]"}},
      {"pass and tt", "(;GM[1];B[];W[tt])", 0, {";B[];W[]"}},
      {"tt is a point on a larger board", "(;SZ[21];B[tt])", 0, {";B[tt]"}},
      {"repeated identifier", "(;AB[aa][bb];W[cc])", 0, {"AB[aa]AB[bb];W[cc]"}},
      {"mixed-case long identifiers",
       "(;AddBlack[aa]PLAYERblack[x];bLaCk[cc])",
       0,
       {"AB[aa];B[cc]"}},
      {"variations in file order", "(;GM[1];B[pd](;W[dp])(;W[dd]))", 0, {";B[pd](;W[dp])(;W[dd])"}},
      {"nested variations",
       "(;;B[aa](;W[bb](;B[cc])(;B[dd]))(;W[ee];B[ff]))",
       8,
       {";B[aa](;W[bb](;B[cc])(;B[dd]))(;W[ee];B[ff])"}},
      {"variation right after the root", "(;GM[1](;B[aa])(;B[bb]))", 0, {"(;B[aa])(;B[bb])"}},
      {"whitespace between tokens",
       " ( ; GM [1] \n ; B [pd] ( ; W[dp] ) ( ;W[dd] ) ) ",
       0,
       {";B[pd](;W[dp])(;W[dd])"}},
      {"comments, names, labels",
       "(;;C[one]C[two]N[node]LB[aa:A]TR[bb]B[aa])",
       0,
       {";B[aa]C[one\r\ntwo\r\nLB[aa:A]\r\nTR[bb]]N[node]"}},
      {"comments ignored", "(;C[root];C[x]B[aa])", IgnoreComments, {";B[aa]"}},
      {"escaped bracket", "(;;C[a\\]b]B[aa])", 0, {";B[aa]C[a]b]"}},
      {"escaped backslash before bracket", "(;;C[a\\\\]b]B[aa])", 0, {";B[aa]C[a\\]b]"}},
      {"node setup", "(;;AW[bb]AE[cc]B[aa])", 0, {";B[aa]AW[bb]AE[cc]"}},
      {"root then one empty node", "(;GM[1];)", 0, {""}},
      {"trailing empty variation ignored", "(;;B[aa](;))", 0, {";B[aa]"}},
      // Regression: a dropped empty variation was still used as the place for the next one.
      {"empty variation before another",
       "(;;B[aa](;)(;W[bb])(;W[cc]))",
       0,
       {";B[aa](;W[bb])(;W[cc])"}},
      {"two games", "(;;B[aa])(;;W[bb])", 0, {";B[aa]", ";W[bb]"}},
      {"broken game then a good one", "(;;B[zzz])(;;W[bb])", 0, {";W[bb]"}},
      {"empty node without the option", "(;;C[c];B[aa])", 0, {}},
      {"empty node as pass", "(;;C[c];B[aa])", EmptyNodeAsPass, {";W[]C[c];B[aa]"}},
      {"root node only", "(;GM[1]SZ[19])", 0, {}},
      {"move in the root", "(;B[aa];W[bb])", 0, {}},
      {"move in the root ignored", "(;B[aa];W[bb])", IgnoreGameInfo, {";W[bb]"}},
      {"two moves in a node", "(;;B[aa]W[bb])", 0, {}},
      {"bad point", "(;;B[A1])", 0, {}},
      {"value without identifier after a node boundary", "(;;[aa])", 0, {}},
      {"text before a token", "(;;B[aa]x;W[bb])", 0, {}},
      // A file cut inside its last game keeps what was read before the end.
      {"unterminated value", "(;;B[aa];C[never", 0, {";B[aa]"}},
      {"unterminated value after a move", "(;;B[aa];W[bb]C[nev", 0, {";B[aa];W[bb]"}},
      {"unterminated game keeps its variations",
       "(;;B[aa](;W[bb];B[cc])(;W[dd];B[ee]",
       0,
       {";B[aa](;W[bb];B[cc])(;W[dd];B[ee])"}},
      {"not go", "(;GM[2];B[aa])", 0, {}},
      {"not go ignored", "(;GM[2];B[aa])", IgnoreGameInfo, {";B[aa]"}},
      {"no games at all", "just text ( ; but no", 0, {}},
      {"escaped parenthesis is no token", "\\(;;B[aa]) (;;B[bb])", 0, {";B[bb]"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = ReadSgf(c.sgf, c.options);
    EXPECT_TRUE(r->ok);
    EXPECT_EQ(r->Trees(), c.trees);
  }
}

TEST(SgfReader, GameInformationFromTheRoot) {
  const auto r = ReadSgf(
      "(;GM[1]FF[4]CA[shiftjis_charset]SZ[13]HA[2]KM[6,5]PB[  Black   Player ]PW[W]BR[3d]"
      "GC[first]C[second]DT[1995]SO[Book]EV[ev]EV[event]RE[B+R]XX[what]AB[aa]AW[bb];B[cc])");
  ASSERT_EQ(r->Trees(), std::vector<std::string>{"AB[aa]AW[bb];B[cc]"});
  const TGame& g = r->Game();
  EXPECT_EQ(g.BoardSize, 13);
  EXPECT_EQ(g.Handicap, 2);
  EXPECT_EQ(g.Komi, 650);
  EXPECT_EQ(g.Charset, 128);
  EXPECT_EQ(g.Flags, kGameFromSgf);
  EXPECT_EQ(g.NumberOfMoves, 1);
  EXPECT_EQ(g.Info.BlackPlayer->GetText(0), "Black Player");
  EXPECT_EQ(g.Info.GameComment->GetText(0), "first\r\nsecond");
  EXPECT_EQ(g.Info.Event->GetText(0), "event");
  EXPECT_EQ(g.Info.Sources.front().Name->GetText(0), "Book");
  EXPECT_EQ(g.Info.DateString->GetText(0), "1995");
  EXPECT_DOUBLE_EQ(g.Date, static_cast<double>(DaysFromCivil({1995, 1, 1})));
  EXPECT_EQ(r->log, std::vector<std::string>{"Unknown Tag: XX[what]"});
  EXPECT_EQ(r->first.Kind, skGameRoot);
  EXPECT_EQ(r->first.FirstChild->Kind, skPathNode);
  EXPECT_EQ(r->first.FirstChild->Data, r->first.Data);
}

TEST(SgfReader, NumbersAndDefaults) {
  struct Case {
    const char* props;
    int size, handicap, komi;
  };
  const Case cases[] = {
      {"", 19, 0, 0},
      {"SZ[x]HA[y]KM[z]", 19, 0, 0},
      {"SZ[275]HA[300]", 19, 44, 0},  // 275 mod 256 = 19; 300 mod 256 = 44
      {"KM[0.125]", 19, 0, 12},       // 12.5 rounds to even
      {"KM[0.375]", 19, 0, 38},
      {"KM[-7.5]", 19, 0, -750},
      {"SZ[9]KM[5]", 9, 0, 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.props);
    const auto r = ReadSgf(std::string("(;") + c.props + ";B[aa])");
    ASSERT_EQ(r->Trees().size(), 1u);
    EXPECT_EQ(r->Game().BoardSize, c.size);
    EXPECT_EQ(r->Game().Handicap, c.handicap);
    EXPECT_EQ(r->Game().Komi, c.komi);
  }
}

TEST(SgfReader, NotGoIsLogged) {
  const auto r = ReadSgf("(;GM[3];B[aa])");
  EXPECT_EQ(r->log, std::vector<std::string>{"The game recorded in file not Go game"});
  EXPECT_EQ(r->first.Data, nullptr);
}

TEST(SgfReader, DeepNestingFailsThatGameOnly) {
  std::string deep = "(;";
  for (int i = 0; i < 100000; ++i) deep += "(;B[aa]";
  for (int i = 0; i < 100000; ++i) deep += ")";
  deep += ")(;;W[bb])";
  const auto r = ReadSgf(deep);
  EXPECT_EQ(r->Trees(), std::vector<std::string>{";W[bb]"});
}

TEST(SgfReader, BrokenGameWithManyVariationsStaysLinear) {
  // Each inner variation of a broken game is tried as a game of its own; without remembering
  // matches the scan would re-walk the rest of the file for every one of them.
  std::string text = "(;";
  for (int i = 0; i < 20000; ++i) text += "(;B[aa](;W[bb];B[cc])";
  text += "x;";  // text outside a value breaks the outer game before the end of the file
  const auto r = ReadSgf(text, IgnoreGameInfo);
  EXPECT_EQ(r->Trees().size(), 20000u);
}

// Every game the reader drops or changes is reported with its reason.
TEST(SgfReader, DroppedAndCutGamesAreReported) {
  struct Case {
    const char* name;
    std::string sgf;
    std::vector<std::string> lines;
  };
  std::string deep = "(;";
  for (int i = 0; i < 10001; ++i) deep += "(;B[aa]";
  for (int i = 0; i < 10001; ++i) deep += ")";
  deep += ")";
  const std::vector<Case> cases = {
      {"good games", "(;;B[aa])(;;W[bb])", {}},
      {"move outside the board",
       "(;SZ[19];B[zz])(;;B[aa])",
       {"game 1 (byte 0) rejected: a move outside the board"}},
      {"setup outside a small board",
       "(;SZ[9]AB[jj];B[aa])",
       {"game 1 (byte 0) rejected: a stone placed outside the board"}},
      {"empty node", "(;;;B[aa])", {"game 1 (byte 0) rejected: a node without a move"}},
      {"text outside a value",
       "(;;B[aa])(;;B[cc]x;W[bb])(;;W[bb])",
       {"game 2 (byte 9) rejected: unreadable text at byte 18"}},
      {"nesting too deep", deep, {"game 1 (byte 0) rejected: variations nested deeper than 10000"}},
      {"cut file",
       "(;;B[aa])(;;B[bb];W[c",
       {"game 2 (byte 9): the file ends inside the game; the moves before the end are kept"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSequence first;
    TSgfReport report;
    EXPECT_TRUE(LoadGamesFromBytes(&first, reinterpret_cast<const std::uint8_t*>(c.sgf.data()),
                                   c.sgf.size(), 0, {}, &report));
    ClearRoot(&first);
    EXPECT_EQ(report.Lines(), c.lines);
  }
}

TEST(SgfReader, LongRootCommentIsCutAtACharacterBoundary) {
  // "é" is two bytes in UTF-8: byte 65,535 is the second byte of one of them.
  std::string comment;
  while (comment.size() < 70000) comment += "\xC3\xA9";
  TSequence first;
  TSgfReport report;
  const std::string sgf = "(;CA[UTF-8]GC[" + comment + "];B[aa])";
  ASSERT_TRUE(LoadGamesFromBytes(&first, reinterpret_cast<const std::uint8_t*>(sgf.data()),
                                 sgf.size(), 0, {}, &report));
  ASSERT_NE(first.Data, nullptr);
  const std::string kept = first.Data->Game()->Info.GameComment->GetText(0);
  ClearRoot(&first);
  EXPECT_EQ(kept.size(), 65534u);
  EXPECT_EQ(kept, comment.substr(0, kept.size()));
  ASSERT_EQ(report.Changed.size(), 1u);
  EXPECT_NE(report.Changed[0].Reason.find("root comment of 70000 bytes cut"), std::string::npos);
}

TEST(SgfReader, CharsetNamesKnownToIcuAreHonoured) {
  struct Case {
    const char* charset;
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {"UTF-8", "caf\xC3\xA9", "caf\xC3\xA9"},
      {"UTF-8", "bad \xFF byte", "bad \xEF\xBF\xBD byte"},
      {"Shift_JIS", "\x8A\xBF", "\xE6\xBC\xA2"},  // U+6F22
      {"EUC-KR", "\xB0\xA1", "\xEA\xB0\x80"},     // U+AC00
      {"GB2312", "\xD6\xD0", "\xE4\xB8\xAD"},     // U+4E2D
      {"GBK", "\xD6\xD0", "\xE4\xB8\xAD"},
      {"GB18030", "\x81\x30\x81\x30", "\xC2\x80"},  // U+0080, four bytes
      {"Big5", "\xA4\xA4", "\xE4\xB8\xAD"},
      {"ISO-8859-1", "caf\xE9", "caf\xC3\xA9"},
      {"Shift_JIS", "\x8A", "\xEF\xBF\xBD"},  // a lead byte alone
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.bytes);
    const auto r = ReadSgf(std::string("(;CA[") + c.charset + "]PB[" + c.bytes + "];C[" + c.bytes +
                           "]N[" + c.bytes + "]B[aa])");
    ASSERT_EQ(r->Trees().size(), 1u);
    EXPECT_EQ(r->Game().Charset, 0);
    EXPECT_EQ(r->Game().Info.BlackPlayer->GetText(0), c.utf8);
    EXPECT_EQ(r->first.FirstChild->Comment, c.utf8);
    EXPECT_EQ(r->first.FirstChild->NodeName, c.utf8);
  }
  // Sets that do not keep ASCII (EBCDIC, UTF-16) cannot be an SGF file's: the bytes stay.
  for (const char* charset : {"37", "IBM037", "UTF-16"}) {
    const auto e = ReadSgf(std::string("(;CA[") + charset + "]PB[2abc];B[aa])");
    EXPECT_EQ(e->Game().Info.BlackPlayer->GetText(0), "2abc") << charset;
  }
  // The Windows names keep the bytes and the charset.
  const auto w = ReadSgf("(;CA[SHIFTJIS_CHARSET]PB[\x8A\xBF];B[aa])");
  EXPECT_EQ(w->Game().Charset, 128);
  EXPECT_EQ(w->Game().Info.BlackPlayer->GetText(0), "\x8A\xBF");
}

std::string HomeFile(const std::string& name) {
  return (std::filesystem::path(std::getenv("KESSARO_HOME")) / name).string();
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(SgfFiles, ReadsThroughTheMappingAndLogs) {
  const std::string path = HomeFile("games.sgf");
  std::ofstream(path, std::ios::binary) << "(;GM[1]ZZ[z];B[pd];W[dp])";
  const std::string logPath = HomeFile("reader.log");
  std::filesystem::remove(logPath);
  TSequence first;
  {
    TLoger log(logPath);
    EXPECT_TRUE(LoadGamesFromFile(&first, path, 0, &log));
    EXPECT_FALSE(LoadGamesFromFile(&first, HomeFile("missing.sgf"), 0, &log));
    EXPECT_EQ(first.Data, nullptr);
    std::ofstream(HomeFile("short.sgf"), std::ios::binary) << "(;)";
    EXPECT_FALSE(LoadGamesFromFile(&first, HomeFile("short.sgf"), 0, &log));
    EXPECT_TRUE(LoadGamesFromFile(&first, path, 0, &log));
  }
  EXPECT_EQ(TreeText(&first), ";B[pd];W[dp]");
  ClearRoot(&first);
  const std::string text = Slurp(logPath);
  EXPECT_NE(text.find("Loading file: " + path + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Unknown Tag: ZZ[z]\n"), std::string::npos);
  EXPECT_NE(text.find("Loading file: " + HomeFile("missing.sgf") + "\nFile couldn't be opened\n"),
            std::string::npos);
  EXPECT_EQ(text.front(), '[');  // the time-stamp line
}

TEST(SgfFiles, WrittenLineReadsBack) {
  const auto r = ReadSgf("(;GM[1]PB[Kitani]KM[5.5];B[pd];W[dp](;B[pp])(;B[dd]))");
  ASSERT_EQ(r->Trees().size(), 1u);
  TSequence* last = r->first.FirstChild;
  while (last->FirstChild) last = last->FirstChild;  // main line to B[pp]
  const std::string path = HomeFile("line.sgf");
  ASSERT_TRUE(SaveSequenceToFile(last, path, 0, WriteGameInfo));
  TSequence again;
  ASSERT_TRUE(LoadGamesFromFile(&again, path, 0, nullptr));
  EXPECT_EQ(TreeText(&again), ";B[pd];W[dp];B[pp]");
  EXPECT_EQ(again.Data->Game()->Info.BlackPlayer->GetText(0), "Kitani");
  EXPECT_EQ(again.Data->Game()->Komi, 550);
  ClearRoot(&again);

  const std::string go = HomeFile("line.go");
  ASSERT_TRUE(SaveSequenceToFile(last, go, 0, WriteGameInfo));
  EXPECT_EQ(Slurp(go), "");
  EXPECT_FALSE(SaveSequenceToFile(nullptr, path, 0, 0));
  // A failed write reports failure and leaves the earlier file whole.
  EXPECT_FALSE(SaveSequenceToFile(last, HomeFile("no/such/folder/x.sgf"), 0, 0));
  EXPECT_NE(Slurp(path).find(";B[pp]"), std::string::npos);
}

}  // namespace
}  // namespace kessaro
