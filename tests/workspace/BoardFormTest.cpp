// The board window and game window logic, driven with a recording host on the null canvas.
#include "workspace/BoardForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "board/SymmetryFunctions.h"
#include "display/NullGraphics.h"
#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"
#include "strings/StringsHolder.h"
#include "workspace/GameForm.h"
#include "workspace/RecordingBoardHost.h"

namespace kessaro {
namespace {

TBoardPoint P(int x, int y) {
  return MakeBoardPoint(x, y);
}

// A game window on SGF text, as a creator makes it (an editable test board by default).
struct Window {
  explicit Window(const std::string& sgf, bool testBoard = true, bool initialize = true) {
    EXPECT_TRUE(form->LoadText(sgf)) << sgf;
    if (!initialize) return;
    form->Initialize();
    form->TestBoard = testBoard;
  }
  TSequence* Cur() const { return form->Current(); }
  int Number() const { return form->MoveNumber(); }
  std::string Panel(TStatusPanel p) const { return host.Panels[p]; }
  // The board as rows of ". X O" in the tree's coordinates.
  std::vector<std::string> Stones() {
    std::vector<std::string> rows;
    const int n = form->Board().BoardSize();
    for (int y = 0; y < n; ++y) {
      std::string row;
      for (int x = 0; x < n; ++x) {
        const std::uint32_t c = ColourCode(form->Board().GetValue(x, y));
        row += c == kColourBlack ? 'X' : c == kColourWhite ? 'O' : '.';
      }
      rows.push_back(row);
    }
    return rows;
  }
  std::uint32_t Value(int x, int y) { return form->Board().GetValue(x, y); }

  test::TRecordingBoardHost host;
  TNullGraphics graphics;
  std::unique_ptr<TGameForm> form = std::make_unique<TGameForm>(host, graphics);
};

int ChildCount(const TSequence* node) {
  int n = 0;
  for (const TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling) ++n;
  return n;
}

std::uint32_t Label(const std::string& text) {
  return kModifierMarkBit | TextLabel(text);
}

// root - B cc - W gg -+- B cg - W gc - B ee
//                     +- B gc
constexpr const char* kBranchy = "(;SZ[9];B[cc];W[gg](;B[cg];W[gc];B[ee])(;B[gc]))";

TEST(BoardForm, EveryNavigationReachesItsNodeAndMoveNumber) {
  Window w(kBranchy);
  EXPECT_EQ(w.Number(), 0);
  EXPECT_EQ(w.Panel(spNumber), "0");
  EXPECT_EQ(w.Panel(spPass), "no tenuki");
  EXPECT_EQ(w.Panel(spCaptured), "Dead B:0, W:0");
  struct Step {
    const char* what;
    std::function<void(TBoardForm&)> action;
    int number;
    TBoardPoint point;
  };
  const Step steps[] = {
      {"Forward 1", [](TBoardForm& f) { f.Forward(1); }, 1, P(2, 2)},
      {"Forward 0", [](TBoardForm& f) { f.Forward(0); }, 5, P(4, 4)},
      {"Back 2", [](TBoardForm& f) { f.Back(2); }, 3, P(2, 6)},
      {"PriorNode", [](TBoardForm& f) { f.PriorNode(); }, 2, P(6, 6)},
      {"NextNode", [](TBoardForm& f) { f.NextNode(); }, 5, P(4, 4)},
      {"Back 0", [](TBoardForm& f) { f.Back(0); }, 0, kPassPoint},
      {"Back at the root", [](TBoardForm& f) { f.Back(1); }, 0, kPassPoint},
      {"PlayMove cc", [](TBoardForm& f) { EXPECT_EQ(f.PlayMove(P(2, 2)), 1); }, 1, P(2, 2)},
      {"PlayMove gg", [](TBoardForm& f) { EXPECT_EQ(f.PlayMove(P(6, 6)), 1); }, 2, P(6, 6)},
      {"PlayMove gc", [](TBoardForm& f) { EXPECT_EQ(f.PlayMove(P(6, 2)), 1); }, 3, P(6, 2)},
      {"no child", [](TBoardForm& f) { EXPECT_EQ(f.PlayMove(P(0, 0)), -1); }, 3, P(6, 2)},
      {"Forward at the end", [](TBoardForm& f) { f.Forward(1); }, 3, P(6, 2)},
      {"Home", [](TBoardForm& f) { f.KeyNavigate(vkHome); }, 0, kPassPoint},
      {"Down", [](TBoardForm& f) { f.KeyNavigate(vkDown); }, 1, P(2, 2)},
      {"End", [](TBoardForm& f) { f.KeyNavigate(vkEnd); }, 5, P(4, 4)},
      {"Up", [](TBoardForm& f) { f.KeyNavigate(vkUp); }, 4, P(6, 2)},
      {"Left", [](TBoardForm& f) { f.KeyNavigate(vkLeft); }, 0, kPassPoint},
      {"Right", [](TBoardForm& f) { f.KeyNavigate(vkRight); }, 5, P(4, 4)},
      {"Page up", [](TBoardForm& f) { f.KeyNavigate(vkPageUp); }, 2, P(6, 6)},
      {"Page down", [](TBoardForm& f) { f.KeyNavigate(vkPageDown); }, 5, P(4, 4)},
      {"wheel 60", [](TBoardForm& f) { f.WheelScroll(60); }, 5, P(4, 4)},
      {"wheel 60 more", [](TBoardForm& f) { f.WheelScroll(60); }, 4, P(6, 2)},
      {"wheel 360", [](TBoardForm& f) { f.WheelScroll(360); }, 1, P(2, 2)},
      {"wheel -120", [](TBoardForm& f) { f.WheelScroll(-120); }, 2, P(6, 6)},
  };
  for (const Step& s : steps) {
    s.action(*w.form);
    EXPECT_EQ(w.Number(), s.number) << s.what;
    EXPECT_EQ(w.Cur()->Point & kPointMask, s.point) << s.what;
    EXPECT_EQ(w.Panel(spNumber), std::to_string(s.number)) << s.what;
  }
  EXPECT_EQ(w.Panel(spPass), "no tenuki");
  w.form->Forward(0);
  EXPECT_EQ(w.Panel(spPass), "End of var.");
  EXPECT_EQ(w.Stones()[4], "....X....");

  // Each key and wheel step that went forward clicked once.
  const int clicks = w.host.Clicks;
  w.form->KeyNavigate(vkUp);
  EXPECT_EQ(w.host.Clicks, clicks);
  w.form->KeyNavigate(vkDown);
  EXPECT_EQ(w.host.Clicks, clicks + 1);
}

TEST(BoardForm, CapturesAreCountedShownAndTakenBack) {
  Window w("(;SZ[9];B[aa];W[ab];B[ba];W[bb];B[ca];W[cb];B[ee];W[da])");
  w.form->Forward(0);
  EXPECT_EQ(w.Number(), 8);
  EXPECT_EQ(w.Panel(spCaptured), "Dead B:3, W:0");
  EXPECT_EQ(w.Stones()[0], "...O.....");
  w.form->Back(1);
  EXPECT_EQ(w.Panel(spCaptured), "Dead B:0, W:0");
  EXPECT_EQ(w.Stones()[0], "XXX......");
  EXPECT_EQ(w.Stones()[1], "OOO......");
  // The last-move mark and the move number sit on the current stone only.
  EXPECT_EQ(MarkKind(w.Value(4, 4)), MarkKind(68));
  EXPECT_EQ(GetMoveNumber(w.Value(4, 4)), 7);
  EXPECT_EQ(MarkKind(w.Value(2, 1)), 0);
}

TEST(BoardForm, CoordinatesSkipTheLetterI) {
  Window w(kBranchy);
  EXPECT_EQ(w.Panel(spCord), "1 : 1");
  EXPECT_EQ(w.Panel(spAlfaCord), "A1");
  const struct {
    int x, y;
    const char *cord, *alpha;
  } cases[] = {{0, 0, "1 : 1", "A1"},
               {7, 2, "8 : 3", "H3"},
               {8, 0, "9 : 1", "J1"},
               {18, 18, "19 : 19", "T19"}};
  for (const auto& c : cases) {
    w.form->ShowCoordinates(c.x, c.y);
    EXPECT_EQ(w.Panel(spCord), c.cord);
    EXPECT_EQ(w.Panel(spAlfaCord), c.alpha);
  }
}

TEST(BoardForm, TenukiCyclesAndTurnsTheColourToPlay) {
  Window w("(;SZ[9];B[cc](;W[gg])(;B[ee]))");
  w.form->KeyLetter(' ');
  EXPECT_EQ(w.Number(), 0) << "no tenuki at the root: space does nothing";
  EXPECT_EQ(ChildCount(w.Cur()), 1) << "and adds no pass";
  w.form->Forward(1);
  EXPECT_EQ(w.Panel(spPass), "Space - tenuki");
  const int expected[] = {2, 3, 2, 3, 2};
  for (int n : expected) {
    w.form->KeyLetter(' ');
    EXPECT_EQ(w.Number(), n);
  }
  EXPECT_TRUE(w.Cur()->Flags & sfAlternate);
  EXPECT_EQ(MarkKind(w.Value(2, 2)), 0) << "no last-move mark while the opponent passed";
  EXPECT_EQ(w.form->PlayMove(P(4, 4)), 1) << "Black plays again";
  EXPECT_EQ(w.Number(), 3);
  EXPECT_EQ(w.Stones()[4], "....X....");
  w.form->Back(1);
  EXPECT_EQ(w.Number(), 2);
  EXPECT_TRUE(w.Cur()->Flags & sfAlternate);
  w.form->Back(1);
  EXPECT_EQ(w.Number(), 1);
  EXPECT_FALSE(w.Cur()->Flags & (sfAlternate | sfDoubleTenuki));
  EXPECT_EQ(MarkKind(w.Value(2, 2)), MarkKind(68)) << "the mark is back";
  // Forward follows a child of the other colour through a tenuki of its own.
  Window f("(;SZ[9];B[cc];B[ee];W[gg])");
  f.form->Forward(0);
  EXPECT_EQ(f.Number(), 4);
  EXPECT_EQ(f.Cur()->Point & kPointMask, P(6, 6));
  f.form->Back(0);
  EXPECT_EQ(f.Number(), 0);
  EXPECT_EQ(f.Stones()[2], ".........");
}

TEST(BoardForm, CandidateOnASymmetricImagePlaysAndTurnsTheBoard) {
  // The empty board is symmetric under every code; the only candidate is Black at (2, 3).
  for (int orientation = 0; orientation < 8; ++orientation)
    for (int image = 1; image < 8; ++image) {
      Window w("(;SZ[9];B[cd])");
      w.form->ApplySymmetryCode(orientation);
      const TBoardPoint clicked =
          TransformMove(P(2, 3), static_cast<TSymmetry>(image), 9, 9) & kPointMask;
      const TBoardPoint shownAt = w.form->Board().CallerToDisplay(clicked);
      w.form->BoardClick(clicked);
      ASSERT_EQ(w.Number(), 1) << orientation << " " << image;
      EXPECT_EQ(w.form->Board().CallerToDisplay(P(2, 3)), shownAt) << orientation << " " << image;
      EXPECT_EQ(ColourCode(w.Value(2, 3)), kColourBlack);
    }
}

TEST(BoardForm, SetupStonesNeverCoverStonesAndLeaveWithTheirNode) {
  // A set-up stone on a stone is refused; the stone under it stays when the node is left.
  Window w("(;SZ[9];B[cc];W[dd]AB[cc]AW[ee])");
  w.form->Forward(1);
  EXPECT_EQ(w.form->PlayMove(P(3, 3)), 0) << "made, but its modifiers were refused";
  EXPECT_EQ(w.form->LastError(), beOccupied);
  EXPECT_EQ(w.Stones()[4], ".........") << "the rest of the list is not shown";
  w.form->Back(1);
  EXPECT_EQ(w.Stones()[2], "..X......");
  EXPECT_EQ(w.Stones()[3], ".........");

  // Stones set up on a node passed on the way are part of the position, both ways.
  Window v("(;SZ[9]AB[aa];B[cc]AW[gg];W[dd];B[ee])");
  EXPECT_EQ(v.Stones()[0], "X........") << "the root's set-up stones";
  v.form->Forward(0);
  EXPECT_EQ(v.Stones()[6], "......O..");
  v.form->Back(0);
  EXPECT_EQ(v.Stones()[6], ".........");
  EXPECT_EQ(v.Stones()[0], "X........");
}

TEST(BoardForm, LabelsToggleAndTypedLettersPlay) {
  Window w("(;SZ[9];B[cc];W[gg])", true, false);
  TSequence& root = w.form->Root();
  root.Setup = {{P(2, 2), Label("c")}, {P(5, 5), Label("x")}, {P(5, 5), Label("x")}};
  w.form->Initialize();
  EXPECT_EQ(LabelText(w.Value(2, 2)), "c");
  EXPECT_EQ(w.Value(5, 5), 0u) << "a label combined twice vanishes";
  w.form->KeyLetter('d');
  EXPECT_EQ(w.Number(), 0);
  w.form->KeyLetter('c');
  EXPECT_EQ(w.Number(), 1);
  EXPECT_EQ(w.host.Clicks, 1);
  EXPECT_EQ(ColourCode(w.Value(2, 2)), kColourBlack);
  w.form->Back(1);
  EXPECT_EQ(LabelText(w.Value(2, 2)), "c");
}

TEST(BoardForm, InversionSwapsStonesAndCommitsBeforeTheHook) {
  std::vector<std::string> calls;  // outlives the window, whose end calls the hook too
  Window w("(;SZ[9]AB[aa]AW[ba];B[cc];W[dd]AB[ee])");
  w.form->OnCommentChanged = [&](TBoardForm&, TSequence*) { calls.push_back("commit"); };
  w.form->OnNodeChanged = [&](TBoardForm&, TSequence* n) {
    calls.push_back(n == nullptr ? "changed null" : "changed");
  };
  w.Cur()->Flags |= sfModified;
  w.form->InvertColours();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "commit") << "the panes keep their edits first";
  EXPECT_EQ(calls[1], "changed null");
  EXPECT_TRUE(w.form->Inverted());
  EXPECT_TRUE(w.host.Menu[miInverted].Checked);
  EXPECT_EQ(w.Stones()[0], "OX.......");
  w.Cur()->Flags &= static_cast<std::uint8_t>(~sfModified);
  w.form->Forward(0);
  EXPECT_EQ(w.Stones()[2], "..O......") << "moves are shown inverted";
  EXPECT_EQ(w.Stones()[4], "....O....") << "set-up stones too";
  EXPECT_EQ(w.Panel(spCaptured), "Dead B:0, W:0");
  w.form->Back(1);
  EXPECT_EQ(w.Stones()[4], ".........");
  w.form->InvertColours();
  EXPECT_EQ(w.Stones()[0], "XO.......");
  EXPECT_EQ(w.Stones()[2], "..X......");
  w.form->SetInversionAllowed(false);
  w.form->InvertColours();
  EXPECT_FALSE(w.form->Inverted());
  EXPECT_FALSE(w.host.Menu[miInverted].Enabled);
}

TEST(BoardForm, ClickingTheLastStoneTakesItBack) {
  Window w(kBranchy);
  w.form->Forward(2);
  w.form->BoardClick(P(6, 6));
  EXPECT_EQ(w.Number(), 1);
  EXPECT_EQ(w.Stones()[6], ".........");
}

TEST(BoardForm, ForwardToTheEndStopsAtARepeat) {
  Window w("(;SZ[9];B[cc];W[gg];B[ee];W[dd])");
  w.Cur()->FirstChild->FirstChild->Flags |= sfRepeat;
  w.form->Forward(0);
  EXPECT_EQ(w.Number(), 2);
  w.form->Forward(0);
  EXPECT_EQ(w.Number(), 4) << "from the repeat node it goes on";
}

TEST(BoardForm, RefusedClicksLeaveTheNodeAndTreeUnchanged) {
  // Occupied, suicide, ko: the node stays, LastError tells why, nothing is added.
  Window w("(;SZ[9];B[cc];W[gg])");
  w.form->Forward(0);
  w.form->BoardClick(P(2, 2));
  EXPECT_EQ(w.Number(), 2);
  EXPECT_EQ(w.form->LastError(), beOccupied);
  EXPECT_EQ(ChildCount(w.Cur()), 0);
  // Suicide: Black into a white eye.
  Window s("(;SZ[9];B[ee];W[ba];B[ff];W[ab])");
  s.form->Forward(0);
  s.form->BoardClick(P(0, 0));
  EXPECT_EQ(s.Number(), 4);
  EXPECT_EQ(s.form->LastError(), beSuicide);
  EXPECT_EQ(ChildCount(s.Cur()), 0);
  // Ko: White takes at (1, 1), Black retakes at once.
  Window k("(;SZ[9];B[ba];W[ca];B[ab];W[db];B[bc];W[cc];B[cb];W[bb])");
  k.form->Forward(0);
  EXPECT_EQ(k.Panel(spCaptured), "Dead B:1, W:0");
  k.form->BoardClick(P(2, 1));
  EXPECT_EQ(k.form->LastError(), beKo);
  EXPECT_EQ(ChildCount(k.Cur()), 0);
  EXPECT_EQ(k.Number(), 8);
}

TEST(GameForm, NewMovesAreVariationsAndTestMovesVanish) {
  for (bool testBoard : {true, false}) {
    Window w("(;SZ[9];B[cc];W[gg])", testBoard);
    w.form->Forward(1);
    w.form->BoardClick(P(2, 6));  // an empty point: a new White move
    EXPECT_EQ(w.Number(), 2);
    EXPECT_EQ(w.Cur()->Point & kPointMask, P(2, 6));
    EXPECT_FALSE(w.Cur()->Flags & sfBlack);
    EXPECT_EQ(w.Cur()->Kind, skPathNode);
    EXPECT_EQ(w.Cur()->Data, w.form->Root().Data);
    EXPECT_EQ(bool(w.Cur()->Flags & sfTestMove), testBoard);
    w.form->Back(1);
    EXPECT_EQ(ChildCount(w.Cur()), 2);
    EXPECT_EQ(w.form->PlayMove(P(6, 6)), 1);
    EXPECT_EQ(ChildCount(w.Cur()->ParentNode), testBoard ? 1 : 2) << testBoard;
  }
}

TEST(GameForm, ANewMoveAfterATenukiTakesTheColourToPlay) {
  Window w("(;SZ[9];B[cc](;W[gg])(;B[ee]))");
  w.form->Forward(1);
  w.form->KeyLetter(' ');
  w.form->BoardClick(P(6, 2));
  EXPECT_EQ(w.Number(), 3);
  EXPECT_TRUE(w.Cur()->Flags & sfBlack);
  EXPECT_EQ(ColourCode(w.Value(6, 2)), kColourBlack);
  EXPECT_EQ(ChildCount(w.Cur()->ParentNode), 3) << "no orphan beside the new move";
}

TEST(BoardForm, AutoShowWalksLinesPausesAndJumps) {
  Window w("(;SZ[9];B[cc](;W[gg];B[gc])(;W[cg]))");
  w.form->SetAutoShow(true);
  EXPECT_TRUE(w.host.TimerRunning());
  EXPECT_EQ(w.host.Interval, 500u);
  const struct {
    int number;
    TBoardPoint point;
  } ticks[] = {
      {1, P(2, 2)}, {2, P(6, 6)}, {3, P(6, 2)},  // down the first line
      {3, P(6, 2)},                              // a pause at its end
      {2, P(2, 6)},                              // a jump to the next line
      {1, P(2, 2)},                              // that line ends at once: back to the start
      {1, P(2, 2)},                              // a pause after the jump
      {2, P(6, 6)},
  };
  for (const auto& t : ticks) {
    ASSERT_TRUE(w.host.TickTimer());
    EXPECT_EQ(w.Number(), t.number);
    EXPECT_EQ(w.Cur()->Point & kPointMask, t.point);
  }
  w.form->AutoShowPaused = true;
  w.host.TickTimer();
  EXPECT_EQ(w.Number(), 2) << "paused while not active";
  w.form->AutoShowPaused = false;
  w.form.reset();
  EXPECT_FALSE(w.host.TimerRunning()) << "closing the window stops its timer";
}

TEST(BoardForm, AutoShowKeepsTheNodesOfAGameBoard) {
  // The second move is illegal: auto show cannot follow it, and must not free it.
  Window w("(;SZ[9];B[cc];W[cc];B[ee])");
  w.form->SetAutoShow(true);
  for (int i = 0; i < 12; ++i) w.host.TickTimer();
  EXPECT_EQ(ChildCount(w.form->Root().FirstChild), 1);
  EXPECT_LE(w.Number(), 1);
  // Without a single move auto show stops instead of jumping to a missing line.
  test::TRecordingBoardHost host;
  TNullGraphics graphics;
  TGameForm empty(host, graphics);
  empty.Initialize();
  empty.SetAutoShow(true);
  for (int i = 0; i < 3; ++i) host.TickTimer();
  EXPECT_FALSE(host.TimerRunning());
  EXPECT_FALSE(empty.AutoShowActive());
}

TEST(BoardForm, WindowSizeKeepsWholePoints) {
  Window w(kBranchy);
  const TClientSize fitted = w.host.Size;
  EXPECT_EQ(fitted.Height - kStatusBarHeight, fitted.Width);
  EXPECT_EQ(w.form->CanResize(fitted), fitted);
  const TClientSize odd{fitted.Width + 5, fitted.Height + 3};
  const TClientSize snapped = w.form->CanResize(odd);
  EXPECT_NE(snapped, odd);
  EXPECT_EQ(w.form->CanResize(snapped), snapped);
  w.form->SizeBoard(30, 3);
  EXPECT_EQ(w.host.Size, (TClientSize{9 * 30 + 6, 9 * 30 + 6 + kStatusBarHeight}));
  EXPECT_EQ(w.form->Board().PointSize(), 30);
}

TEST(BoardForm, MenuAppliesSymmetriesAndCaptionsComeFromTheTexts) {
  Window w(kBranchy);
  w.form->Forward(1);
  w.form->MenuClick(mi90Degrees);
  EXPECT_EQ(w.form->Board().Symmetry(), 3);
  EXPECT_EQ(ColourCode(w.Value(2, 2)), kColourBlack) << "the tree's coordinates are kept";
  w.form->MenuClick(mi270Degrees);
  EXPECT_EQ(w.form->Board().Symmetry(), 0);
  EXPECT_EQ(DefaultBoardText(MenuItemText(miDiagonal1)), "Diagonal \\");
  w.form->Texts = [](TBoardText id) {
    return id == TBoardText::outDead ? std::string("Tot") : DefaultBoardText(id);
  };
  w.form->UpdateStatus();
  EXPECT_EQ(w.Panel(spCaptured), "Tot B:0, W:0");
}

TEST(BoardForm, TextsFollowTheInterfaceLanguage) {
  Window w(kBranchy);
  EXPECT_EQ(InterfaceBoardText(TBoardText::actDiagonal7), "Diagonal /")
      << "a caption no window registered is the built-in one";
  const auto englishOutputs = Strings().CurrentOutputs;
  Strings().LoadLanguageText(
      "[Output]\r\n\"Dead\" = \"Tot\"\r\n\"No Tenuki\" = \"kein Tenuki\"\r\n");
  w.form->UpdateStatus();
  EXPECT_EQ(w.Panel(spCaptured), "Tot B:0, W:0");
  EXPECT_EQ(w.Panel(spPass), "kein Tenuki");
  Strings().CurrentOutputs = englishOutputs;
  w.form->UpdateStatus();
  EXPECT_EQ(w.Panel(spCaptured), "Dead B:0, W:0");
}

// ---- Limits ----

std::string LongLine(int moves) {
  // Passes with a stone now and then: a line far longer than the board has points.
  std::string sgf = "(;SZ[19]";
  for (int i = 0; i < moves; ++i) {
    sgf += (i % 2) ? ";W[" : ";B[";
    if (i < 38)
      sgf += std::string{static_cast<char>('a' + i / 2), static_cast<char>('a' + i % 2 * 5)};
    sgf += "]";
  }
  return sgf + ")";
}

TEST(BoardFormLimits, HundredThousandMovesOnOneLine) {
  Window w(LongLine(100000));
  w.form->Forward(0);
  EXPECT_EQ(w.Number(), 100000);
  w.form->Back(0);
  EXPECT_EQ(w.Number(), 0);
  TSequence* copy = NewNodeUnder(nullptr);
  CopyTree(&w.form->Root(), copy, nullptr);
  ReleaseTree(copy);
  w.form.reset();  // frees the line without recursion
}

TEST(BoardFormLimits, TenThousandNestedVariations) {
  std::string sgf = "(;SZ[19];B[aa]";
  const int depth = kMaxVariationDepth - 1;
  for (int i = 0; i < depth; ++i) sgf += (i % 2) ? "(;B[]" : "(;W[]";
  for (int i = 0; i < depth; ++i) sgf += ")";
  sgf += ")";
  Window w(sgf);
  w.form->Forward(0);
  EXPECT_EQ(w.Number(), depth + 1);
  w.form->Back(0);
  EXPECT_EQ(w.Number(), 0);
  TSequence* copy = NewNodeUnder(nullptr);
  CopyTree(&w.form->Root(), copy, nullptr);
  ReleaseTree(copy);
}

}  // namespace
}  // namespace kessaro
