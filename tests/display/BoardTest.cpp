#include "display/Board.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/SymmetryFunctions.h"
#include "display/BoardProperties.h"
#include "display/RecordingCanvas.h"

namespace kessaro {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr int kFront = 1;  // the board's first image
constexpr int kBack = 2;

constexpr std::uint32_t B = kColourBlack;
constexpr std::uint32_t W = kColourWhite;

TBoardPoint P(int c, int r) {
  return MakeBoardPoint(c, r);
}

// The stones of the region as rows of ". X O" in caller coordinates.
std::vector<std::string> Stones(TCustomBoard& board, int w, int h) {
  std::vector<std::string> rows;
  for (int r = 0; r < h; ++r) {
    std::string row;
    for (int c = 0; c < w; ++c) {
      const auto v = ColourCode(board.GetValue(c, r));
      row += v == B ? 'X' : v == W ? 'O' : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

void Place(TCustomBoard& board, const std::vector<std::string>& rows) {
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < static_cast<int>(rows[r].size()); ++c)
      if (rows[r][c] != '.') board.SetValue(c, r, rows[r][c] == 'X' ? B : W);
}

struct BoardFixture : ::testing::Test {
  test::TRecordingGraphics graphics;
  TBoard board{graphics};
};

// ---- Geometry ----

TEST_F(BoardFixture, GeometryOf19LinesIn400Pixels) {
  board.SetSize(400, 400);
  board.RebuildBackground();
  EXPECT_EQ(board.PointSize(), 20);
  EXPECT_EQ(board.Margin(), 10);
  EXPECT_EQ(board.PointCentre(P(0, 0)), (TPoint{21, 21}));
  EXPECT_EQ(board.PointCentre(P(18, 18)), (TPoint{381, 381}));
  EXPECT_EQ(board.PointRect(P(1, 2)), (TRect{31, 51, 51, 71}));
  EXPECT_EQ(board.PointAt(10, 10), P(0, 0));
  EXPECT_EQ(board.PointAt(29, 30), P(0, 1));
  // The margin gives the pass point, which is never visible.
  EXPECT_EQ(board.PointAt(9, 200), kPassPoint);
  EXPECT_FALSE(board.IsVisible(board.PointAt(9, 200)));
}

TEST_F(BoardFixture, GeometryTakesTheSmallerCandidate) {
  board.SetRegion(MakeRegion(rkCorner, 7, 5));
  board.SetSize(200, 140);
  board.RebuildBackground();
  EXPECT_EQ(board.PointSize(), 27);  // from the height: 138 / 5
  EXPECT_EQ(board.Margin(), 2);
}

TEST_F(BoardFixture, FitSizeKeepsWholeCellsAndMinimumWidth) {
  int w = 400, h = 400;
  EXPECT_TRUE(board.FitSize(w, h));
  EXPECT_EQ(w, 400);
  w = h = 100;
  EXPECT_FALSE(board.FitSize(w, h));
  EXPECT_EQ(w, 4 + 19 * 8);
  EXPECT_EQ(h, 4 + 19 * 8);
  w = 401, h = 390;
  EXPECT_FALSE(board.FitSize(w, h));
  EXPECT_EQ(w, h);

  board.SetRegion(MakeRegion(rkCorner, 5, 5));
  for (int request = 0; request <= 300; request += 7) {
    int fw = request, fh = request;
    board.FitSize(fw, fh);
    EXPECT_GT(fw, 130) << request;
  }
}

// ---- Symmetry ----

TEST_F(BoardFixture, SymmetryRoundTripRestoresTheGrid) {
  Place(board, {"X.O", ".XX", "O.."});
  board.SetValue(5, 7, W | (3u << kMarkShift));
  const auto before = Stones(board, 19, 19);
  const std::uint32_t marked = board.GetValue(5, 7);
  board.ApplySymmetry(3);
  board.ApplySymmetry(5);
  EXPECT_EQ(board.Symmetry(), 0);
  EXPECT_EQ(board.DisplayValue(P(5, 7)), marked);
  EXPECT_EQ(Stones(board, 19, 19), before);

  for (int code = 0; code < 8; ++code) {
    board.ApplySymmetry(code);
    EXPECT_EQ(board.GetValue(5, 7), marked) << "callers see board coordinates, code " << code;
    EXPECT_EQ(Stones(board, 19, 19), before);
    board.ApplySymmetry(board.InverseSymmetry());
    EXPECT_EQ(board.Symmetry(), 0);
    EXPECT_EQ(board.DisplayValue(P(5, 7)), marked);
  }
}

TEST_F(BoardFixture, DisplayPointFollowsTheSymmetry) {
  board.SetValue(2, 5, B);
  for (int code = 0; code < 8; ++code) {
    board.ApplySymmetry(code);
    int x = 2, y = 5;
    TransformXY(x, y, static_cast<TSymmetry>(board.Symmetry()), 19, 19);
    EXPECT_EQ(board.DisplayValue(P(x, y)), B) << code;
    EXPECT_EQ(board.DisplayToCaller(P(x, y)), P(2, 5));
    board.ApplySymmetry(board.InverseSymmetry());
  }
}

TEST_F(BoardFixture, FirstColAndRowUnderEveryCode) {
  const int n = 19;
  for (TRegionWord region : {MakeRegion(rkWholeBoard, 19, 19), MakeRegion(rkUpperPart, 19, 8),
                             MakeRegion(rkCorner, 7, 5), MakeRegion(rkUpperStretch, 9, 6),
                             MakeRegion(rkCentre, 9, 7), MakeRegion(rkBand, 10, 19)}) {
    board.SetRegion(region);
    const int kind = RegionKind(region);
    const int x0 = board.OffsetX(), y0 = board.OffsetY();
    const int w = kind <= 2 ? n : RegionWidth(region);
    const int h = (kind == 1 || kind == 6) ? n : RegionHeight(region);
    const int expected[8][2] = {
        {x0, y0},         {y0, x0},         {n - x0 - w, y0},         {n - y0 - h, x0},
        {x0, n - y0 - h}, {y0, n - x0 - w}, {n - x0 - w, n - y0 - h}, {n - y0 - h, n - x0 - w}};
    for (int code = 0; code < 8; ++code) {
      board.ApplySymmetry(
          RelativeSymmetry(static_cast<TSymmetry>(board.Symmetry()), static_cast<TSymmetry>(code)));
      ASSERT_EQ(board.Symmetry(), code);
      EXPECT_EQ(board.FirstCol(), expected[code][0]) << kind << " " << code;
      EXPECT_EQ(board.FirstRow(), expected[code][1]) << kind << " " << code;
      const TVisibleRange v = board.VisibleRange();
      EXPECT_EQ(v.LastCol - v.FirstCol + 1, (code & 1) ? h : w);
      EXPECT_EQ(v.LastRow - v.FirstRow + 1, (code & 1) ? w : h);
      // Every caller point of the region is visible, its neighbours beyond it are not.
      EXPECT_TRUE(board.IsVisible(board.CallerToDisplay(P(0, 0))));
      EXPECT_TRUE(board.IsVisible(board.CallerToDisplay(P(w - 1, h - 1))));
      if (w < n) {
        EXPECT_FALSE(board.IsVisible(board.CallerToDisplay(P(w, 0))));
      }
    }
    board.ApplySymmetry(board.InverseSymmetry());
  }
}

TEST_F(BoardFixture, RegionOffsetsAndInvisiblePoints) {
  board.SetRegion(MakeRegion(rkCentre, 5, 5));
  EXPECT_EQ(board.OffsetX(), 1);
  EXPECT_EQ(board.OffsetY(), 1);
  board.SetValue(0, 0, B);
  EXPECT_EQ(board.TakeError(), 0);
  EXPECT_EQ(board.DisplayValue(P(1, 1)), B);
  board.SetValue(5, 0, W);
  EXPECT_EQ(board.TakeError(), beOutside);
  EXPECT_EQ(board.GetValue(6, 1), 0u);
  EXPECT_EQ(board.TakeError(), beOutside);
  EXPECT_EQ(board.GetValue(31, 2), 0u);
  EXPECT_EQ(board.TakeError(), 0) << "column 31 is a pass";
  EXPECT_EQ(board.GetValueAt(kPassPoint), 0u);
  EXPECT_EQ(board.TakeError(), 0);
  board.SetValueAt(kPassPoint, B);
  EXPECT_EQ(board.TakeError(), 0);
  EXPECT_EQ(board.LastMove(), kPassPoint);
  // A region that does not fit, and a size of 32, are ignored.
  board.SetRegion(MakeRegion(rkCorner, 20, 5));
  EXPECT_EQ(board.Region(), MakeRegion(rkCentre, 5, 5));
  board.SetBoardSize(32);
  EXPECT_EQ(board.BoardSize(), 19);
}

// ---- Rules ----

TEST_F(BoardFixture, CaptureKoAndTakingBack) {
  Place(board, {".XO.", "XO.O", ".XO."});
  EXPECT_EQ(board.TakeError(), 0);
  // Black takes the white stone at (1, 1).
  board.SetValue(2, 1, B);
  ASSERT_EQ(board.TakeError(), 0);
  EXPECT_EQ(board.GetCaptureFlags(), 8);
  EXPECT_EQ(board.CapturedWhite(), 1);
  EXPECT_EQ(board.CapturedBlack(), 0);
  EXPECT_EQ(Stones(board, 4, 3), (std::vector<std::string>{".XO.", "X.XO", ".XO."}));

  // White retakes at once: ko.
  board.AllowKo = false;
  EXPECT_FALSE(board.CanSetValueAt(P(1, 1), W));
  EXPECT_EQ(board.TakeError(), beKo);
  board.SetValue(1, 1, W);
  EXPECT_EQ(board.TakeError(), beKo);
  EXPECT_EQ(board.GetValue(1, 1), 0u) << "a refused value changes nothing";
  EXPECT_EQ(board.GetValue(2, 1), B);

  // Taking the capture back: last move, its flags, restore, clear.
  board.SetLastMove(P(2, 1));
  board.SetCaptureFlags(8);
  board.RestoreCaptured();
  board.SetValueAt(P(2, 1), 0);
  EXPECT_EQ(Stones(board, 4, 3), (std::vector<std::string>{".XO.", "XO.O", ".XO."}));

  board.AllowKo = true;
  board.SetValue(2, 1, B);
  board.SetValue(1, 1, W);
  EXPECT_EQ(board.TakeError(), 0) << "ko allowed: accepted and captures";
  EXPECT_EQ(board.GetCaptureFlags(), 2);
  EXPECT_EQ(board.CapturedBlack(), 1);
}

TEST_F(BoardFixture, KoOnTheFirstLine) {
  Place(board, {"O.", ".O", "OX", "X."});
  board.SetValue(0, 1, B);
  ASSERT_EQ(board.GetCaptureFlags(), 1);
  board.AllowKo = false;
  EXPECT_FALSE(board.CanSetValueAt(P(0, 2), W));
  EXPECT_EQ(board.TakeError(), beKo);
}

// A ko in each of the four directions: Black at M takes the white stone at C = M + d, and
// White's immediate retake at C is refused. The capture flag names the direction of C.
TEST_F(BoardFixture, KoInEveryCaptureDirection) {
  struct Direction {
    int dx, dy;
    std::uint8_t flag;
  };
  for (const Direction d :
       {Direction{0, 1, 1}, Direction{1, 0, 2}, Direction{0, -1, 4}, Direction{-1, 0, 8}}) {
    TBoard b{graphics};
    const int mx = 4, my = 4, cx = mx + d.dx, cy = my + d.dy;
    const int px = -d.dy, py = d.dx;  // perpendicular
    b.SetValue(cx, cy, W);
    for (const auto& [x, y] :
         {std::pair{cx + d.dx, cy + d.dy}, {cx + px, cy + py}, {cx - px, cy - py}})
      b.SetValue(x, y, B);
    for (const auto& [x, y] :
         {std::pair{mx - d.dx, my - d.dy}, {mx + px, my + py}, {mx - px, my - py}})
      b.SetValue(x, y, W);
    ASSERT_EQ(b.TakeError(), 0);
    b.SetValue(mx, my, B);
    ASSERT_EQ(b.TakeError(), 0);
    ASSERT_EQ(b.GetValue(cx, cy), 0u) << "flag " << int(d.flag);
    EXPECT_EQ(b.GetCaptureFlags(), d.flag);
    b.AllowKo = false;
    EXPECT_FALSE(b.CanSetValueAt(P(cx, cy), W)) << "flag " << int(d.flag);
    EXPECT_EQ(b.TakeError(), beKo) << "flag " << int(d.flag);
  }
}

TEST_F(BoardFixture, TakingBackUnderSymmetryRestoresTheGroup) {
  board.ApplySymmetry(5);
  Place(board, {".XX.", "XOOX", ".X.."});
  board.SetValue(2, 2, B);
  ASSERT_EQ(board.CapturedWhite(), 2);
  const std::uint8_t flags = board.GetCaptureFlags();
  EXPECT_EQ(flags, 4) << "in board orientation: the group above";
  board.ApplySymmetry(2);
  board.SetLastMove(P(2, 2));
  board.SetCaptureFlags(flags);
  board.RestoreCaptured();
  board.SetValueAt(P(2, 2), 0);
  EXPECT_EQ(Stones(board, 4, 3), (std::vector<std::string>{".XX.", "XOOX", ".X.."}));
}

TEST_F(BoardFixture, SuicideOccupiedAndRulesOff) {
  Place(board, {".O", "O."});
  board.AllowSuicide = false;
  board.SetValue(0, 0, B);
  EXPECT_EQ(board.TakeError(), beSuicide);
  EXPECT_EQ(board.GetValue(0, 0), 0u);
  board.SetValue(1, 0, B);
  EXPECT_EQ(board.TakeError(), beOccupied);

  board.AllowSuicide = true;
  board.SetValue(0, 0, B);
  EXPECT_EQ(board.TakeError(), 0);
  EXPECT_EQ(board.GetValue(0, 0), 0u) << "the stone's own group is removed";
  EXPECT_EQ(board.CapturedBlack(), 1);
  EXPECT_EQ(board.GetCaptureFlags(), 16);
  EXPECT_EQ(board.LastMove(), P(0, 0));
  board.RestoreCaptured();
  EXPECT_EQ(board.GetValue(0, 0), B) << "a suicide is taken back with the stone's colour";

  // Colour code 3 counts as empty: a label is a liberty.
  board.SetValue(0, 0, 0);
  board.SetValue(0, 0, kColourCovered | TextLabel("a"));
  EXPECT_EQ(ColourCode(board.GetValue(0, 0)), kColourCovered);

  board.PlayRules = false;
  board.SetValue(5, 5, W);
  board.SetValue(5, 5, B);
  EXPECT_EQ(board.TakeError(), 0) << "without rules a stone replaces a stone";
  EXPECT_EQ(board.GetValue(5, 5), B);
}

// ---- Labels and numbers ----

TEST(BoardLabels, TextsAndSequence) {
  EXPECT_EQ(LabelText(TextLabel("a")), "a");
  EXPECT_EQ(LabelText(TextLabel("Z")), "Z");
  EXPECT_EQ(LabelText(TextLabel("b7")), "b7");
  EXPECT_EQ(TextLabel("a"), 1u << 8);
  EXPECT_EQ(TextLabel("A"), 27u << 8);
  EXPECT_EQ(TextLabel("c9"), (3u << 8) | (9u << 14));
  EXPECT_EQ(TextLabel("c!"), 3u << 8) << "another second character is ignored";
  EXPECT_EQ(TextLabel("1"), 0u);
  EXPECT_EQ(TextLabel("abc"), 0u);
  EXPECT_EQ(LabelText(53u << 8), "");

  const std::pair<std::string, std::string> next[] = {
      {"", "a"},    {"a", "b"},   {"z", "A"},   {"Z", "a1"},  {"a8", "a9"},
      {"a9", "b1"}, {"z9", "A1"}, {"Z9", "Z1"}, {"abc", "a"}, {"b", "c"}};
  for (const auto& [from, to] : next) EXPECT_EQ(NextLabel(from), to) << from;

  const std::uint32_t stone = W | kLetterFlag | (5u << 24);
  EXPECT_EQ(GetMoveNumber(stone), 0);
  const std::uint32_t numbered = SetMoveNumber(stone, 321);
  EXPECT_EQ(GetMoveNumber(numbered), 321);
  EXPECT_EQ(numbered & kLetterFlag, 0u);
  EXPECT_EQ(ColorIndex(numbered), 5);
  EXPECT_EQ(SetMoveNumber(TextLabel("a"), 3), TextLabel("a")) << "not a stone";
}

TEST_F(BoardFixture, NumberLimits) {
  board.SetFirstNumber(1);
  EXPECT_EQ(board.FirstNumber(), 1);
  board.SetNumberOffset(50);
  EXPECT_EQ(board.FirstNumber(), 51);
  board.SetNumberOffset(0);
  EXPECT_EQ(board.NumberOffset(), 50);
  board.SetFirstNumber(20);
  EXPECT_EQ(board.NumberOffset(), 19);
}

TEST(BoardCaptureFlags, TransformLikePoints) {
  for (int code = 0; code < 8; ++code)
    for (std::uint8_t flag : {1, 2, 4, 8}) {
      // The captured neighbour of (9, 9) in that direction, transformed as a point.
      const int dx = flag == 2 ? 1 : flag == 8 ? -1 : 0, dy = flag == 1 ? 1 : flag == 4 ? -1 : 0;
      int x = 9 + dx, y = 9 + dy, cx = 9, cy = 9;
      TransformXY(x, y, static_cast<TSymmetry>(code), 19, 19);
      TransformXY(cx, cy, static_cast<TSymmetry>(code), 19, 19);
      const std::uint8_t expect = (y > cy) ? 1 : (x > cx) ? 2 : (y < cy) ? 4 : 8;
      EXPECT_EQ(TransformCaptureFlags(flag, code), expect) << code << " " << int(flag);
    }
  EXPECT_EQ(TransformCaptureFlags(16, 7), 16);
}

// ---- Drawing ----

struct DrawFixture : BoardFixture {
  TBoardProperties props{graphics};
  DrawFixture() {
    board.Properties = &props;
    props.Background.SetColor(MakeColor(10, 20, 30));
    props.Update();
  }
  std::vector<std::string> Lines(int id) { return graphics.Calls(id, "Line"); }
};

TEST_F(DrawFixture, GridAndStarPointsOfTheWholeBoard) {
  board.SetSize(400, 400);
  board.RebuildBackground();
  const auto lines = Lines(kBack);
  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines[0], "Line 21,21-21,382");
  EXPECT_EQ(lines[18], "Line 381,21-381,382");
  EXPECT_EQ(lines[19], "Line 21,21-382,21");
  const auto stars = graphics.Calls(kBack, "Ellipse");
  EXPECT_EQ(stars.size(), 9u);
  EXPECT_THAT(stars, Contains("Ellipse 199,199,204,204"));
  EXPECT_THAT(stars, Contains("Ellipse 79,79,84,84"));
  EXPECT_THAT(graphics.Calls(kBack, "Rectangle"), ElementsAre("Rectangle 0,0,400,400"));
  EXPECT_THAT(graphics.Calls(kFront, "Copy"),
              ElementsAre("Copy 0,0 from #2 400x400 0,0,400,400 copy"));
}

TEST_F(DrawFixture, CornerUnderMirrorExtendsTowardsTheCentreOnly) {
  board.SetRegion(MakeRegion(rkCorner, 7, 5));
  board.ApplySymmetry(2);
  EXPECT_EQ(board.FirstCol(), 12);
  EXPECT_EQ(board.FirstRow(), 0);
  board.SetSize(200, 140);
  board.RebuildBackground();
  // Cell 27, margin 2, extension e = 13 + 1.
  const auto lines = Lines(kBack);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "Line 16,16-16,139") << "down into the board, not up past the edge";
  EXPECT_EQ(lines[7], "Line 2,16-179,16") << "left into the board, not right past the edge";
  EXPECT_THAT(graphics.Calls(kBack, "Ellipse"), ElementsAre("Ellipse 94,94,101,101"));

  board.BorderLines = true;
  graphics.Log.clear();
  board.RebuildBackground();
  const auto bordered = Lines(kBack);
  ASSERT_EQ(bordered.size(), 14u) << "one border group right, one at the top";
  EXPECT_THAT(bordered, Contains("Line 179,15-179,140"));
  EXPECT_THAT(bordered, Contains("Line 1,15-180,15"));
}

TEST_F(DrawFixture, ThickGridLinesAndNoStarsInTheCentre) {
  board.SetSize(19 * 64 + 2, 19 * 64 + 2);
  board.RebuildBackground();
  ASSERT_EQ(board.PointSize(), 64);
  const auto lines = Lines(kBack);
  ASSERT_EQ(lines.size(), 76u);
  EXPECT_EQ(lines[0], "Line 34,34-34,1187");
  EXPECT_EQ(lines[1], "Line 35,34-35,1187");

  board.SetRegion(MakeRegion(rkCentre, 7, 7));
  graphics.Log.clear();
  board.RebuildBackground();
  EXPECT_THAT(graphics.Calls(kBack, "Ellipse"), IsEmpty());
}

TEST_F(DrawFixture, LabelsNumbersAndMarksOnPoints) {
  board.SetSize(400, 400);
  board.RebuildBackground();
  board.SetValue(0, 0, kColourCovered | TextLabel("a"));
  board.SetValue(1, 0, kColourEmpty | TextLabel("b") | (2u << kMarkShift));
  board.SetValue(2, 0, SetMoveNumber(B, 123) | (1u << kMarkShift));
  board.SetValue(3, 0, W | (5u << kMarkShift) | (10u << 24));
  graphics.Log.clear();
  board.RedrawAll();
  auto front = graphics.Calls(kFront);
  EXPECT_THAT(front, Contains("Text 'a' 12,12,31,31 h16 w0 wt650 Courier New 0"));
  EXPECT_THAT(front, Contains("Copy 31,11 from #2 400x400 31,11,51,31 copy"));
  EXPECT_THAT(front, Contains("Text 'b' 32,12,51,31 h16 w0 wt650 Courier New 0"));
  EXPECT_THAT(front, Not(Contains(testing::HasSubstr("Text '123'"))))
      << "numbers hidden while ShowNumbers is off";
  EXPECT_THAT(front, Contains("Ellipse 73,13,90,30")) << "the white stone";
  EXPECT_THAT(front, Contains("Ellipse 77,17,86,26")) << "its circle mark";
  EXPECT_EQ(graphics.Calls(kFront, "Line").size(), 2u) << "only the cross on the number stone";

  board.ShowNumbers = true;
  board.SetNumberOffset(100);
  board.ShowLetters = false;
  graphics.Log.clear();
  board.RedrawAll();
  front = graphics.Calls(kFront);
  EXPECT_THAT(front, Contains(testing::HasSubstr("Text '23' ")));
  EXPECT_THAT(front, Not(Contains(testing::HasSubstr("Text 'a'"))))
      << "ShowLetters off hides labels on colour code 3";
  EXPECT_THAT(front, Contains(testing::HasSubstr("Text 'b'")));
  EXPECT_EQ(graphics.Calls(kFront, "Line").size(), 0u) << "the number suppresses the cross";
}

TEST_F(DrawFixture, RedrawChangedPaintsOnlyChangedPoints) {
  board.SetSize(400, 400);
  Place(board, {"XO", "OX"});
  auto screen = graphics.CreateImage(400, 400);
  board.Paint(*screen);
  graphics.Log.clear();
  board.RedrawChanged();
  EXPECT_THAT(graphics.Log, IsEmpty());
  board.SetValue(5, 5, B);
  board.RedrawChanged();
  EXPECT_THAT(graphics.Calls(kFront, "Ellipse"), ElementsAre("Ellipse 113,113,130,130"));
  graphics.Log.clear();
  board.SetValue(5, 5, 0);
  board.RedrawChanged();
  EXPECT_THAT(graphics.Calls(kFront),
              ElementsAre("Copy 111,111 from #2 400x400 111,111,131,131 copy"));
}

TEST_F(DrawFixture, DrawToPaintsIntoAnotherRectangleAndKeepsTheScreenGeometry) {
  board.SetSize(400, 400);
  board.RebuildBackground();
  board.SetValue(0, 0, B);
  auto page = graphics.CreateImage(1000, 1000);
  graphics.Log.clear();
  board.DrawTo(*page, {100, 50, 100 + 192, 50 + 192});
  const std::string tag = "#" + std::to_string(dynamic_cast<test::TRecordingImage&>(*page).Id());
  std::vector<std::string> calls;
  for (const auto& line : graphics.Log)
    if (line.rfind(tag + " ", 0) == 0) calls.push_back(line.substr(tag.size() + 1));
  // 190 / 19 = 10, margin 1: the first centre is at origin + 1 + 5 + 1.
  EXPECT_THAT(calls, Contains("Rectangle 100,50,292,242"));
  EXPECT_THAT(calls, Contains("Line 107,57-107,238"));
  EXPECT_THAT(calls, Contains("Ellipse 104,54,111,61")) << "a 7-pixel stone in a 10-pixel cell";
  EXPECT_EQ(board.PointSize(), 20);
  EXPECT_EQ(board.PointCentre(P(0, 0)), (TPoint{21, 21}));
}

// ---- Mouse, shading and blinking ----

struct FakeHost : TBoardHost {
  struct Timer : TTimer {
    FakeHost& host;
    explicit Timer(FakeHost& h) : host(h) {}
    ~Timer() override { --host.timers; }
  };
  std::unique_ptr<TTimer> StartTimer(unsigned ms, std::function<void()> f) override {
    interval = ms;
    tick = std::move(f);
    ++timers;
    return std::make_unique<Timer>(*this);
  }
  void InvalidateRect(const TRect& r) override { invalidated.push_back(r); }
  TPoint CursorPos() override { return cursor; }
  void SetCursorPos(TPoint p) override { cursor = p; }
  void SetCursorShape(TCursorShape s) override { shape = s; }
  unsigned interval = 0;
  int timers = 0;
  std::function<void()> tick;
  std::vector<TRect> invalidated;
  TPoint cursor;
  TCursorShape shape = crArrow;
};

int Centre(int i) {
  return 21 + 20 * i;
}

struct MouseFixture : DrawFixture {
  FakeHost host;
  MouseFixture() {
    TCustomBoard::ResetLastMousePosition();
    board.SetMouseHolder(false);
    board.SetParent(&host);
    board.SetSize(400, 400);
    auto screen = graphics.CreateImage(400, 400);
    board.Paint(*screen);
  }
  // The host goes first: detach the board so that its timer is not stopped on a dead host.
  ~MouseFixture() override { board.SetParent(nullptr); }
};

TEST_F(MouseFixture, ClicksAndMovesInCallerAndViewCoordinates) {
  board.SetRegion(MakeRegion(rkCorner, 9, 9));
  board.ApplySymmetry(6);
  board.SetSize(182, 182);  // cells of 20, margin 1
  auto screen = graphics.CreateImage(182, 182);
  board.Paint(*screen);
  std::vector<TBoardPoint> clicks, moves;
  board.OnPointClick = [&](TCustomBoard&, TBoardPoint p) { clicks.push_back(p); };
  board.OnPointMove = [&](TCustomBoard&, TBoardPoint p) { moves.push_back(p); };
  board.MouseMove(25, 5, false);
  board.MouseUp(mbLeft, 25, 5);
  board.MouseUp(mbRight, 25, 5);
  board.MouseUp(mbLeft, 0, 5);
  EXPECT_THAT(moves, ElementsAre(P(1, 0)));
  // View (1, 0) of the rotated corner is board column 9 - 1 - 1 = 7, row 8.
  EXPECT_THAT(clicks, ElementsAre(P(7, 8)));
  board.ShadowBoard = true;
  board.MouseUp(mbLeft, 25, 5);
  EXPECT_EQ(clicks.size(), 1u) << "no clicks while shading";
}

TEST_F(MouseFixture, DiscreteMouseMoveRestsOnCentres) {
  board.SetMouseHolder(true);
  EXPECT_EQ(host.shape, crCross);
  host.cursor = {1000 + 35, 500 + 28};  // the control sits at (1000, 500) on the screen
  board.MouseMove(35, 28, false);
  EXPECT_EQ(host.cursor, (TPoint{1000 + 41, 500 + 21})) << "snapped to point (1, 0)";
  // Small hand movements accumulate until they pass half a cell.
  // Small hand movements accumulate until they pass half a cell; moving the cursor reports
  // the centre again.
  for (int x : {48, 41, 49, 41}) {
    host.cursor = {1000 + x, 500 + 21};
    board.MouseMove(x, 21, false);
    EXPECT_EQ(host.cursor, (TPoint{1000 + 41, 500 + 21})) << x;
  }
  host.cursor = {1000 + 45, 500 + 21};
  board.MouseMove(45, 21, false);
  EXPECT_EQ(host.cursor, (TPoint{1000 + 61, 500 + 21}));
}

TEST_F(MouseFixture, ShadingDragTogglesTheCellsItSpans) {
  board.SetValue(3, 3, B | (3u << kMarkShift) | kBlinkBit | kBlinkPhaseBit);
  int changes = 0;
  board.OnShadowChange = [&](TCustomBoard&) { ++changes; };
  board.ShadowBoard = true;
  board.MouseMove(Centre(2), Centre(2), true);  // anchor (2, 2)
  board.MouseMove(Centre(4), Centre(3), true);
  board.MouseMove(Centre(3), Centre(3), true);  // pulled back to (3, 3)
  EXPECT_EQ(board.SelectionRect(), (TRect{51, 51, 91, 91}));
  EXPECT_EQ(changes, 0);
  board.MouseMove(Centre(3) + 1, Centre(3), false);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(board.SelectionRect(), TRect{});
  for (int c = 0; c < 6; ++c)
    for (int r = 0; r < 6; ++r) {
      const bool inside = c >= 2 && c <= 3 && r >= 2 && r <= 3;
      EXPECT_EQ((board.GetValue(c, r) & kShadedBit) != 0, inside) << c << "," << r;
    }
  EXPECT_EQ(board.GetValue(3, 3) & (kBlinkBit | kBlinkPhaseBit), 0u) << "shading stops blinking";
  // Every focus rectangle drawn is drawn again to erase it.
  const auto focus = graphics.Calls(kFront, "Focus");
  EXPECT_EQ(focus.size() % 2, 0u);
  EXPECT_THAT(graphics.Calls(kFront), Contains(testing::HasSubstr("from #")));
}

TEST_F(MouseFixture, BlinkTimerAlternatesPartners) {
  EXPECT_EQ(host.interval, 300u);
  EXPECT_EQ(host.timers, 1);
  board.SetValue(0, 0, kBlinkBit | (3u << kMarkShift));
  board.SetValue(1, 0, kBlinkBit | (20u << kMarkShift));
  board.RedrawAll();
  graphics.Log.clear();
  host.tick();
  EXPECT_EQ(board.GetValue(0, 0) & kBlinkPhaseBit, kBlinkPhaseBit);
  // Kind 3 in phase one (big square) is inverted away, then kind 4 (small square) inverted in;
  // kind 20 draws only in phase one.
  EXPECT_THAT(
      graphics.Calls(kFront, "Rectangle"),
      ElementsAre("Rectangle 17,17,27,27", "Rectangle 19,19,25,25", "Rectangle 39,19,44,24"));
  host.tick();
  EXPECT_EQ(graphics.Calls(kFront, "Rectangle").size(), 6u) << "kind 20 only in phase one";
  EXPECT_THAT(graphics.Calls(kFront, "Pen"), Contains(testing::HasSubstr(" not")));
  EXPECT_EQ(host.invalidated.size(), 4u);
  EXPECT_EQ(board.DrawnValue(P(0, 0)) & kBlinkPhaseBit, 0u) << "Drawn is not updated by blinking";

  board.SetParent(nullptr);
  EXPECT_EQ(host.timers, 0);
}

}  // namespace
}  // namespace kessaro
