#include "display/NullGraphics.h"

#include <gtest/gtest.h>

#include "display/Board.h"
#include "display/BoardProperties.h"

namespace kessaro {
namespace {

// A hidden board window: the appearance, the rules, the geometry and painting all work on the
// null canvas, with no front end.
TEST(NullGraphics, HiddenBoardPlaysAndPaints) {
  TNullGraphics graphics;
  TBoardProperties props(graphics);
  props.Update();
  TBoard board(graphics);
  board.Properties = &props;
  board.SetBoardSize(19);
  board.SetSize(600, 600);
  TNullImage screen(600, 600);
  board.Paint(screen);
  EXPECT_EQ(board.FrontImage().Width(), 600);
  EXPECT_EQ(board.PointSize(), 31);  // (600 - 2) / 19
  EXPECT_EQ(board.PointAt(board.PointCentre(MakeBoardPoint(3, 4)).x,
                          board.PointCentre(MakeBoardPoint(3, 4)).y),
            MakeBoardPoint(3, 4));

  // A capture, then the ko retake refused.
  board.AllowKo = false;
  const struct {
    int c, r;
    std::uint32_t colour;
  } moves[] = {{1, 0, kColourBlack}, {2, 0, kColourWhite}, {0, 1, kColourBlack},
               {3, 1, kColourWhite}, {1, 2, kColourBlack}, {2, 2, kColourWhite},
               {2, 1, kColourBlack}, {1, 1, kColourWhite}};
  for (const auto& m : moves) board.SetValue(m.c, m.r, m.colour);
  EXPECT_EQ(board.TakeError(), 0);
  EXPECT_EQ(board.CapturedBlack(), 1);
  board.SetValue(2, 1, kColourBlack);
  EXPECT_EQ(board.TakeError(), beKo);
  board.RedrawChanged();
  board.ApplySymmetry(5);
  board.Paint(screen);
  board.DrawTo(screen, TRect{0, 0, 300, 300});

  TNullImage picture(4, 3);
  EXPECT_EQ(picture.GetPixels().Data.size(), 4u * 3u * 3u);
  picture.SetPixels(TPixels(7, 2));
  EXPECT_EQ(picture.Width(), 7);
  picture.SetSize(-1, 5);
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(graphics.LoadPicture("/nonexistent.png"), nullptr);
}

}  // namespace
}  // namespace kessaro
