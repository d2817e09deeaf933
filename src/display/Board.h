#pragma once
// The board control: a grid of 32-bit point values shown in any of the eight symmetries and
// any region of the board, with the capture rules (suicide and ko detection, taking a capture
// back), cell geometry, hit testing, mouse events, shading drags and blinking marks. It paints
// into two off-screen images through the abstract canvas and only copies them to the screen.
//
// Three coordinate frames: caller coordinates (0-based inside the region), board coordinates
// (caller plus the region offset) and display coordinates (board coordinates after
// `Symmetry`). The grid, the last move and the capture flags are kept in display coordinates.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/PointTypes.h"
#include "display/BoardHost.h"
#include "display/Canvas.h"

namespace kessaro {

class TBoardProperties;

// A board point: column in the low byte, row in the high byte (bits 0-4 and 8-12).
using TBoardPoint = std::uint16_t;

constexpr TBoardPoint MakeBoardPoint(int column, int row) {
  return static_cast<TBoardPoint>((column & 0x1F) | ((row & 0x1F) << 8));
}
constexpr int PointColumn(TBoardPoint p) {
  return p & 0x1F;
}
constexpr int PointRow(TBoardPoint p) {
  return (p >> 8) & 0x1F;
}

// Point value bits.
constexpr std::uint32_t kColourMask = 0x3;
constexpr std::uint32_t kColourEmpty = 0;
constexpr std::uint32_t kColourBlack = 1;
constexpr std::uint32_t kColourWhite = 2;
constexpr std::uint32_t kColourCovered = 3;  // empty, background painted over the grid
constexpr int kMarkShift = 2;
constexpr std::uint32_t kMarkMask = 0x3F << kMarkShift;
constexpr std::uint32_t kLetterFlag = 1u << 8;
constexpr std::uint32_t kTextBits = 0x00FFFF00;
constexpr int kColorIndexShift = 24;
constexpr std::uint32_t kShadedBit = 1u << 28;
constexpr std::uint32_t kBlinkBit = 1u << 29;
constexpr std::uint32_t kBlinkPhaseBit = 1u << 31;

constexpr std::uint32_t ColourCode(std::uint32_t value) {
  return value & kColourMask;
}
constexpr bool IsStoneValue(std::uint32_t value) {
  return ColourCode(value) == kColourBlack || ColourCode(value) == kColourWhite;
}
constexpr int MarkKind(std::uint32_t value) {
  return static_cast<int>((value & kMarkMask) >> kMarkShift);
}
constexpr int ColorIndex(std::uint32_t value) {
  return static_cast<int>((value >> kColorIndexShift) & 0xF);
}
// Label letter index 1..52 of an empty point.
constexpr int LabelLetter(std::uint32_t value) {
  return static_cast<int>((value >> 8) & 0x3F);
}

// Label and number helpers over a value word.
std::string LabelText(std::uint32_t value);
std::uint32_t TextLabel(const std::string& text);
std::string NextLabel(const std::string& text);
std::uint32_t SetMoveNumber(std::uint32_t value, int n);
int GetMoveNumber(std::uint32_t value);

// Capture flags (display directions from the last move): 1 below, 2 right, 4 above, 8 left,
// 16 the stone's own group.
std::uint8_t TransformCaptureFlags(std::uint8_t flags, int code);

enum TBoardError : int {
  beNone = 0,
  beOutside = 1,
  beOccupied = 2,
  beSuicide = 3,
  beKo = 4,
};

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

struct TVisibleRange {
  int FirstCol, FirstRow, LastCol, LastRow;
};

class TCustomBoard {
 public:
  using TPointEvent = std::function<void(TCustomBoard& sender, TBoardPoint point)>;
  using TNotifyEvent = std::function<void(TCustomBoard& sender)>;

  explicit TCustomBoard(TGraphics& graphics);
  virtual ~TCustomBoard();
  TCustomBoard(const TCustomBoard&) = delete;
  TCustomBoard& operator=(const TCustomBoard&) = delete;

  // Setup and display state.
  void SetBoardSize(int size);
  void SetRegion(TRegionWord region);
  virtual void ApplySymmetry(int code);
  int BoardSize() const { return boardSize_; }
  TRegionWord Region() const { return region_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }
  int FirstCol() const { return firstCol_; }
  int FirstRow() const { return firstRow_; }
  int Symmetry() const { return symmetry_; }
  int InverseSymmetry() const { return inverseSymmetry_; }

  bool PlayRules = true;
  bool AllowKo = true;
  bool AllowSuicide = true;
  bool ShadowBoard = false;
  bool ShowLetters = true;
  bool ShowNumbers = false;
  bool BorderLines = false;
  TBoardProperties* Properties = nullptr;  // not owned
  TPointEvent OnPointClick;
  TPointEvent OnPointMove;
  TNotifyEvent OnShadowChange;

  bool MouseHolder() const { return mouseHolder_; }
  void SetMouseHolder(bool on);
  int FirstNumber() const { return firstNumber_; }
  int NumberOffset() const { return numberOffset_; }
  void SetFirstNumber(int n);
  void SetNumberOffset(int n);
  unsigned BlinkInterval() const { return blinkInterval_; }

  // Values, in caller coordinates.
  std::uint32_t GetValue(int column, int row);
  std::uint32_t GetValueAt(TBoardPoint point);
  void SetValue(int column, int row, std::uint32_t value);
  void SetValueAt(TBoardPoint point, std::uint32_t value);
  bool CanSetValueAt(TBoardPoint point, std::uint32_t value);
  int TakeError();
  void SetLastMove(TBoardPoint point);
  // The last move in display coordinates.
  TBoardPoint LastMove() const { return lastMove_; }
  void SetCaptureFlags(std::uint8_t flags);
  std::uint8_t GetCaptureFlags() const;
  void RestoreCaptured();
  int CapturedBlack() const { return capturedBlack_; }
  int CapturedWhite() const { return capturedWhite_; }
  // Both counts as one word, black in the low half.
  std::uint32_t Captured() const {
    return static_cast<std::uint32_t>(capturedBlack_) |
           (static_cast<std::uint32_t>(capturedWhite_) << 16);
  }
  // The stored and the painted value of a display point (0 outside the board).
  std::uint32_t DisplayValue(TBoardPoint display) const;
  std::uint32_t DrawnValue(TBoardPoint display) const;

  // Geometry and painting.
  bool FitSize(int& width, int& height) const;
  void SetSize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  void RebuildBackground();
  void RedrawAll();
  void RedrawChanged();
  void DrawTo(TCanvas& canvas, const TRect& rect);
  TBoardPoint PointAt(int x, int y) const;
  TPoint PointCentre(TBoardPoint point) const;
  TRect PointRect(TBoardPoint point) const;
  TVisibleRange VisibleRange() const;
  bool IsVisible(TBoardPoint point) const;
  int PointSize() const { return pointSize_; }
  int Margin() const { return margin_; }
  const TImage& FrontImage() const { return *frontImage_; }
  const TImage& BackImage() const { return *backImage_; }
  TRect SelectionRect() const { return selectionRect_; }

  // Caller point to display point and back; conversions do not test visibility.
  TBoardPoint CallerToDisplay(TBoardPoint caller) const;
  TBoardPoint DisplayToCaller(TBoardPoint display) const;

  // Platform notifications.
  // The window that holds the control: it runs the blink timer and the cursor. nullptr detaches.
  void SetParent(TBoardHost* host);
  // Copies the front image to the control's canvas, rebuilding both images after a resize.
  void Paint(TCanvas& control);
  void MouseMove(int x, int y, bool leftButton);
  void MouseUp(TMouseButton button, int x, int y);
  // One tick of the blink timer.
  void BlinkTick();
  // Forgets the last mouse position shared by all boards (tests start from a clean state).
  static void ResetLastMousePosition();

 protected:
  void DrawPoint(TCanvas& canvas, TBoardPoint point, bool withStone, std::uint32_t value);

 private:
  struct TGeometry {
    int Size;
    int Margin;
  };
  static TGeometry ComputeGeometry(int width, int height, int cols, int rows);
  void VisibleCounts(int& cols, int& rows) const;
  void ShownRect(int& x0, int& y0, int& w, int& h) const;
  void UpdateFirst();
  std::uint32_t& At(int column, int row) {
    return stones_[static_cast<std::size_t>(column * boardSize_ + row)];
  }
  std::uint32_t AtConst(int column, int row) const {
    return stones_[static_cast<std::size_t>(column * boardSize_ + row)];
  }
  bool OnBoard(int column, int row) const {
    return column >= 0 && row >= 0 && column < boardSize_ && row < boardSize_;
  }
  int CheckMove(int column, int row, std::uint32_t colour, std::uint8_t lastFlags);
  bool HasLiberty(int column, int row);
  void RemoveGroup(int column, int row);
  void FillGroup(int column, int row, std::uint32_t colour);
  bool SetValueInternal(TBoardPoint caller, std::uint32_t value, bool store);
  void DrawGrid(TCanvas& canvas);
  void DrawFocus();
  void ApplyShading();

  // Recursion depth of the liberty search and the greatest depth of the current search.
  int depth_ = 0;
  int maxDepth_ = 0;
  int pointSize_ = 0;
  int margin_ = 0;
  TPoint origin_;
  TGraphics& graphics_;
  std::unique_ptr<TImage> frontImage_;
  std::unique_ptr<TImage> backImage_;
  TRect selectionRect_;
  TBoardPoint selectionAnchor_ = kPassPoint;
  std::uint8_t captureFlags_ = 0;
  TBoardPoint lastMove_ = kPassPoint;
  std::uint16_t capturedBlack_ = 0;
  std::uint16_t capturedWhite_ = 0;
  TRegionWord region_ = 0;
  int boardSize_ = 0;
  int offsetX_ = 0;
  int offsetY_ = 0;
  int firstCol_ = 0;
  int firstRow_ = 0;
  int symmetry_ = 0;
  int inverseSymmetry_ = 0;
  std::vector<std::uint32_t> stones_;
  std::vector<std::uint32_t> drawn_;
  std::vector<std::uint8_t> visited_;
  bool resized_ = true;
  int holderDX_ = 0;
  int holderDY_ = 0;
  bool mouseHolder_ = true;
  TBoardHost* host_ = nullptr;
  std::unique_ptr<TTimer> blinkTimer_;
  unsigned blinkInterval_ = 300;
  int firstNumber_ = 1;
  int numberOffset_ = 0;
  int lastError_ = 0;
  // Point and colour of the last accepted suicide, so that taking it back restores its colour.
  TBoardPoint suicidePoint_ = kPassPoint;
  std::uint32_t suicideColour_ = 0;
  int width_ = 0;
  int height_ = 0;
};

class TBoard : public TCustomBoard {
 public:
  using TCustomBoard::TCustomBoard;
};

}  // namespace kessaro
