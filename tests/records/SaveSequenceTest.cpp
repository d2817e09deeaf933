#include "records/SaveSequence.h"

#include <gtest/gtest.h>

#include "records/BoardFormFunc.h"
#include "records/GameFunc.h"

namespace kessaro {
namespace {

// A game window's tree: a game root with the given texts and moves.
struct GameTree {
  TSequence* root = NewNodeUnder(nullptr);
  GameTree() {
    auto data = std::make_unique<TGameRootData>();
    root->Data = data.release();
    root->Kind = skGameRoot;
  }
  ~GameTree() { ReleaseTree(root); }
  TGame& Game() { return *root->Data->Game(); }
  TSequence* Play(TSequence* after, TMoveWord move) {
    return AddMove(after, move, 0, skGameMove, root->Data);
  }
};

TEST(SgfWriter, ExampleGameByteForByte) {
  GameTree t;
  t.Game().Info.BlackPlayer->SetText(kEnglish, "Black A");
  t.Game().Info.WhitePlayer->SetText(kEnglish, "White B");
  t.Game().Komi = 650;
  t.Game().BoardSize = 19;
  TSequence* last = t.Play(t.Play(t.root, MakeMove(15, 3)), MakeMove(3, 15, true));
  EXPECT_EQ(BuildSequenceText(last, SgfFormatFor("game.sgf", 1), WriteGameInfo),
            "(;\r\nFF[4]\r\nGM[1]\r\nAP[: 0.0]\r\nPB[Black A]\r\nPW[White B]\r\nKM[6.5]\r\n"
            "HA[0]\r\nSZ[19]\r\nSO[]\r\nUS[]\r\n;B[pd]\r\n;W[dp]\r\n)\r\n");
}

TEST(SgfWriter, MovesCommentsAndPath) {
  GameTree t;
  t.root->Setup = {{0x0303, 1}};
  TSequence* a = t.Play(t.root, MakeMove(2, 2));
  a->Comment = "see [this] \\ too";
  a->Setup = {{0x0404, 2}};
  TSequence* b = t.Play(a, kNoMove | kWhiteBit);
  t.Play(b, MakeMove(5, 5));
  const std::string head = "(;\r\nFF[4]\r\nGM[1]\r\nAP[: 0.0]\r\nSO[]\r\nUS[]\r\n";
  EXPECT_EQ(BuildSequenceText(a, 0, 0), head + ";B[cc]\r\n)\r\n");
  EXPECT_EQ(BuildSequenceText(a, 0, WriteComments), head + ";B[cc]C[see [this\\] \\ too]\r\n)\r\n");
  EXPECT_EQ(BuildSequenceText(a, 0, ToEndOfLine), head + ";B[cc]\r\n;W[]\r\n;B[ff]\r\n)\r\n");
  EXPECT_EQ(BuildSequenceText(t.root, 0, 0), head + ")\r\n");
  // A text ending in a backslash must not escape the closing bracket.
  a->Comment = "path C:\\";
  EXPECT_EQ(BuildSequenceText(a, 0, WriteComments), head + ";B[cc]C[path C:\\ ]\r\n)\r\n");
  EXPECT_EQ(BuildSequenceText(nullptr, 0, 0), "");
}

TEST(SgfWriter, FormatsByExtension) {
  EXPECT_EQ(SgfFormatFor("a.sgf", 2), 0);
  EXPECT_EQ(SgfFormatFor("a.go", 0), 2);
  EXPECT_EQ(SgfFormatFor("a.SGF", 0), 0);  // case-sensitive: falls back to the caller's
  EXPECT_EQ(SgfFormatFor("a.SGF", 2), 2);
  GameTree t;
  EXPECT_EQ(BuildSequenceText(t.root, 2, WriteGameInfo), "");
  EXPECT_EQ(BuildSequenceText(t.root, 1, WriteGameInfo), "");
}

TEST(SgfWriter, LanguagesOfTheInformation) {
  GameTree t;
  t.Game().Info.Event->SetText(kJapanese, "\x96\x7B\x88\xF6\x96\x56");  // Shift_JIS bytes
  t.Game().Info.Place->SetText(kNoLanguage, "Tokyo");
  t.Game().Info.Result->SetText(kEnglish, "B+R");
  t.Game().Info.Result->SetText(kJapanese, "x");
  t.Game().Info.RecorderName->SetText(kEnglish, "me");
  const std::string text = BuildSequenceText(t.root, 0, WriteGameInfo);
  EXPECT_NE(text.find("CA[SHIFTJIS_CHARSET]\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("EV[\x96\x7B\x88\xF6\x96\x56]\r\n"), std::string::npos);
  EXPECT_NE(text.find("RE[B+R]\r\n"), std::string::npos);
  EXPECT_EQ(text.find("PC[Tokyo]"), std::string::npos);  // language 0 is not the main language
  EXPECT_NE(text.find("SO[]\r\nUS[]\r\n"), std::string::npos);

  GameTree plain;
  plain.Game().Info.Place->SetText(kNoLanguage, "Tokyo");
  plain.Game().Info.RecorderName->SetText(kEnglish, "me");
  const std::string kept = BuildSequenceText(plain.root, 0, WriteGameInfo | KeepSourceAndUser);
  EXPECT_EQ(kept.find("CA["), std::string::npos);
  EXPECT_NE(kept.find("PC[Tokyo]\r\n"), std::string::npos) << kept;
  EXPECT_NE(kept.find("US[me]\r\n"), std::string::npos);
  EXPECT_EQ(kept.find("SO[]"), std::string::npos);
}

}  // namespace
}  // namespace kessaro
