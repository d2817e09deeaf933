// Renders boards with the Qt canvas into PNG files under display-renders/ beside the test
// executable (default pictures and plain colours, a full board with every kind of content and
// a corner under every symmetry), and checks what the pictures must show.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "display/Board.h"
#include "display/BoardProperties.h"
#include "display/qt/QtCanvas.h"
#include "platform/Registry.h"
#include "platform/UserHome.h"

namespace kessaro {
namespace {

std::filesystem::path RenderDir() {
  const auto dir =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "display-renders";
  std::filesystem::create_directories(dir);
  return dir;
}

void Save(const TImage& image, const std::string& name) {
  ASSERT_TRUE(QtImageOf(image)->save(QString::fromStdString((RenderDir() / name).string())));
}

struct Appearance {
  TQtGraphics graphics;
  TBoardProperties props{graphics};
  explicit Appearance(bool pictures) {
    TMemoryRegistry registry;
    props.LoadFromRegistry(registry, "Window Board Properties");
    if (!pictures) {
      props.Background.SetUseBitmap(false);
      props.Background.SetColor(MakeColor(230, 190, 110));
      props.BlackStone.SetUseBitmap(false);
      props.WhiteStone.SetUseBitmap(false);
    }
    props.Update();
  }
};

std::uint32_t Mark(int kind, int colour = 0) {
  return (static_cast<std::uint32_t>(kind) << kMarkShift) |
         (static_cast<std::uint32_t>(colour) << 24);
}

void FillFullBoard(TBoard& board) {
  const char* rows[] = {
      "...................", "...................", "...X..O.....OX.....", "..XOO.X.....XO.X...",
      "...XO..............", "....X...........O..", "...................", "...................",
      "...................", "...................", "...................", "...................",
      "...................", "...................", "...................", "...................",
      "...................", "...................", "..................."};
  int number = 1;
  for (int r = 0; r < 19; ++r)
    for (int c = 0; c < 19; ++c)
      if (rows[r][c] != '.') {
        const std::uint32_t stone = rows[r][c] == 'X' ? kColourBlack : kColourWhite;
        board.SetValue(c, r, SetMoveNumber(stone, number++));
      }
  // Letters on stones, labels on covered and on plain empty points.
  board.SetValue(12, 2, (board.GetValue(12, 2) & 0xFF0000FF) | kLetterFlag | (0u << 9));
  board.SetValue(13, 3,
                 (board.GetValue(13, 3) & 0xFF0000FF) | kLetterFlag | (27u << 9) | (10u << 24));
  std::string label = "a";
  for (int c = 2; c < 17; ++c) {
    board.SetValue(c, 8,
                   kColourCovered | TextLabel(label) | (static_cast<std::uint32_t>(c % 16) << 24));
    label = NextLabel(label);
  }
  board.SetValue(2, 9, kColourEmpty | TextLabel("b7"));
  // Every mark kind 1..16 on empty points, on black and on white stones.
  for (int k = 1; k <= 16; ++k) {
    board.SetValue(k + 1, 11, Mark(k, 10));
    board.SetValue(k + 1, 12, kColourBlack | Mark(k));
    board.SetValue(k + 1, 13, kColourWhite | Mark(k));
  }
  board.SetValue(3, 14, kColourBlack | Mark(3, 1) | kBlinkBit);
  // Shading over a block with stones and empty points.
  for (int c = 12; c < 16; ++c)
    for (int r = 4; r < 7; ++r) board.SetValue(c, r, board.GetValue(c, r) | kShadedBit);
  board.SetValue(14, 5, kColourBlack | kShadedBit);
  // Long move numbers.
  board.SetValue(6, 16, SetMoveNumber(kColourBlack, 123));
  board.SetValue(8, 16, SetMoveNumber(kColourWhite, 4567));
}

TEST(Render, FullBoardWithPicturesAndWithColours) {
  for (bool pictures : {true, false}) {
    Appearance look(pictures);
    ASSERT_EQ(look.props.Background.UseBitmap(), pictures) << "default pictures beside the program";
    ASSERT_EQ(look.props.BlackStone.UseBitmap(), pictures);
    TBoard board(look.graphics);
    board.Properties = &look.props;
    board.PlayRules = false;
    board.ShowNumbers = true;
    board.SetSize(19 * 30 + 2, 19 * 30 + 2);
    FillFullBoard(board);
    auto screen = look.graphics.CreateImage(board.Width(), board.Height());
    board.Paint(*screen);
    ASSERT_EQ(board.PointSize(), 30);
    Save(*screen, pictures ? "board19-pictures.png" : "board19-colours.png");

    const QImage& image = *QtImageOf(*screen);
    auto centre = [&](int c, int r) {
      const TPoint p = board.PointCentre(MakeBoardPoint(c, r));
      return QColor(image.pixel(p.x, p.y));
    };
    EXPECT_LT(centre(3, 4).lightness(), 90) << "a black stone";
    EXPECT_GT(centre(4, 4).lightness(), 150) << "a white stone";
    const TRect cell = board.PointRect(MakeBoardPoint(3, 4));
    // The cell's corner, outside the disc, still shows the board.
    const QColor corner(image.pixel(cell.Left + 1, cell.Top + 1));
    EXPECT_GT(corner.red(), corner.blue() + 40) << "board colour, not the stone picture's square";
  }
}

TEST(Render, CornerUnderEverySymmetry) {
  for (bool pictures : {true, false}) {
    Appearance look(pictures);
    for (int code = 0; code < 8; ++code) {
      TBoard board(look.graphics);
      board.Properties = &look.props;
      board.ShowNumbers = true;
      board.SetRegion(MakeRegion(rkCorner, 9, 7));
      board.ApplySymmetry(code);
      board.SetValue(2, 3, kColourBlack);
      board.SetValue(3, 2, SetMoveNumber(kColourWhite, 2));
      board.SetValue(3, 3, SetMoveNumber(kColourBlack, 3));
      board.SetValue(4, 4, kColourCovered | TextLabel("a"));
      board.SetValue(5, 2, kColourCovered | TextLabel("b") | (10u << 24));
      board.SetValue(2, 2, kColourBlack | Mark(5, 10));
      const bool swap = code & 1;
      board.SetSize(swap ? 7 * 26 + 2 : 9 * 26 + 2, swap ? 9 * 26 + 2 : 7 * 26 + 2);
      auto screen = look.graphics.CreateImage(board.Width(), board.Height());
      board.Paint(*screen);
      Save(*screen, std::string("corner-sym") + std::to_string(code) +
                        (pictures ? "-pictures.png" : "-colours.png"));
      // The black stone at caller (2, 3) is where the symmetry puts it.
      const TBoardPoint display = board.CallerToDisplay(MakeBoardPoint(2, 3));
      const TPoint p = board.PointCentre(display);
      EXPECT_LT(QColor(QtImageOf(*screen)->pixel(p.x, p.y)).lightness(), 90) << code;
    }
  }
}

TEST(Render, DrawToMatchesTheScreenAndAnchorsTheTexture) {
  Appearance look(true);
  TBoard board(look.graphics);
  board.Properties = &look.props;
  board.SetSize(402, 402);
  board.SetValue(3, 3, kColourBlack);
  board.SetValue(15, 15, kColourWhite);
  board.SetValue(9, 9, kColourCovered | TextLabel("c"));
  auto screen = look.graphics.CreateImage(402, 402);
  board.Paint(*screen);
  auto page = look.graphics.CreateImage(600, 500);
  board.DrawTo(*page, {117, 43, 117 + 402, 43 + 402});
  Save(*page, "drawto-page.png");
  const QImage expected = QtImageOf(*screen)->copy();
  const QImage actual = QtImageOf(*page)->copy(117, 43, 402, 402);
  int differing = 0;
  for (int y = 0; y < 402; ++y)
    for (int x = 0; x < 402; ++x)
      if (expected.pixel(x, y) != actual.pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0) << "texture, grid, stones and label at the same board positions";
  // The texture continues across the whole board: the left and top margins show it too.
  EXPECT_NE(expected.pixel(0, 0), QColor(255, 255, 0).rgb());
}

TEST(Render, DefaultPicturesFollowTheMaskRule) {
  TQtGraphics graphics;
  auto black = graphics.LoadPicture(ProgramDir() + "/black.bmp");
  auto white = graphics.LoadPicture(ProgramDir() + "/white.bmp");
  auto wood = graphics.LoadPicture(ProgramDir() + "/goboard.bmp");
  ASSERT_TRUE(black && white && wood);
  EXPECT_EQ(black->Width(), black->Height());
  EXPECT_EQ(white->Width(), white->Height());
  const TPixels b = black->GetPixels(), w = white->GetPixels();
  const int s = b.Width;
  for (auto [x, y] : {std::pair{0, 0}, {s - 1, 0}, {0, s - 1}, {s - 1, s - 1}, {s / 7, s / 7}}) {
    EXPECT_EQ(b.At(x, y)[0] + b.At(x, y)[1] + b.At(x, y)[2], 0) << "black outside the disc";
    EXPECT_EQ(w.At(x, y)[0] + w.At(x, y)[1] + w.At(x, y)[2], 3 * 255) << "white outside the disc";
  }
  // The wood tiles seamlessly: opposite edges differ no more than neighbouring columns do.
  const TPixels t = wood->GetPixels();
  long long seam = 0, inner = 0;
  for (int y = 0; y < t.Height; ++y) {
    seam += std::abs(t.At(0, y)[0] - t.At(t.Width - 1, y)[0]);
    inner += std::abs(t.At(1, y)[0] - t.At(2, y)[0]);
  }
  EXPECT_LT(seam, inner * 3 + t.Height);
}

}  // namespace
}  // namespace kessaro
