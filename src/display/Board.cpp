#include "display/Board.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "board/SymmetryFunctions.h"
#include "display/BoardProperties.h"

namespace kessaro {

namespace {

// The last mouse position processed by any board of the process.
TPoint gLastMouse{INT_MIN, INT_MIN};

constexpr int kNeighbourDX[4] = {-1, 1, 0, 0};
constexpr int kNeighbourDY[4] = {0, 0, -1, 1};

// Offsets across a line k pixels thick: 0, +1, -1, +2, -2, ...
int LineOffset(int i) {
  const int step = (i + 1) / 2;
  return (i % 2 == 1) ? step : -step;
}

char LetterOf(int index) {
  // 0..25 "a".."z", 26..51 "A".."Z".
  return index < 26 ? static_cast<char>('a' + index) : static_cast<char>('A' + index - 26);
}

char AdvanceLetter(char c) {
  if (c == ' ') return 'a';
  if ((c >= 'A' && c <= 'Y') || (c >= 'a' && c <= 'y')) return static_cast<char>(c + 1);
  if (c == 'z') return 'A';
  return c;
}

}  // namespace

std::string LabelText(std::uint32_t value) {
  const int letter = LabelLetter(value);
  if (letter < 1 || letter > 52) return std::string();
  std::string text(1, LetterOf(letter - 1));
  const int digit = static_cast<int>((value >> 14) & 0xF);
  if (digit >= 1 && digit <= 9) text += static_cast<char>('0' + digit);
  return text;
}

std::uint32_t TextLabel(const std::string& text) {
  if (text.empty() || text.size() > 2) return 0;
  std::uint32_t index = 0;
  const char first = text[0];
  if (first >= 'a' && first <= 'z')
    index = static_cast<std::uint32_t>(first - 'a' + 1);
  else if (first >= 'A' && first <= 'Z')
    index = static_cast<std::uint32_t>(first - 'A' + 27);
  else
    return 0;
  std::uint32_t result = index << 8;
  if (text.size() == 2 && text[1] >= '1' && text[1] <= '9')
    result |= static_cast<std::uint32_t>(text[1] - '0') << 14;
  return result;
}

std::string NextLabel(const std::string& text) {
  if (text.size() == 2) {
    std::string next = text;
    if (next[1] >= '1' && next[1] <= '8') {
      ++next[1];
    } else {
      next[1] = '1';
      next[0] = AdvanceLetter(next[0]);
    }
    return next;
  }
  if (text.size() == 1) {
    if (text[0] == 'Z') return "a1";
    return std::string(1, AdvanceLetter(text[0]));
  }
  return "a";
}

std::uint32_t SetMoveNumber(std::uint32_t value, int n) {
  if (!IsStoneValue(value)) return value;
  return (value & ~0x00FFFF00u) | ((static_cast<std::uint32_t>(n) << 9) & 0x00FFFE00u);
}

int GetMoveNumber(std::uint32_t value) {
  if (!IsStoneValue(value) || (value & kLetterFlag)) return 0;
  return static_cast<int>((value >> 9) & 0x7FFF);
}

std::uint8_t TransformCaptureFlags(std::uint8_t flags, int code) {
  auto swapBits = [&](std::uint8_t a, std::uint8_t b) {
    const bool hasA = flags & a;
    const bool hasB = flags & b;
    flags = static_cast<std::uint8_t>(flags & ~(a | b));
    if (hasA) flags |= b;
    if (hasB) flags |= a;
  };
  if (code & kSymSwapXY) {
    swapBits(1, 2);
    swapBits(4, 8);
  }
  if (code & kSymMirrorX) swapBits(2, 8);
  if (code & kSymMirrorY) swapBits(1, 4);
  return flags;
}

TCustomBoard::TCustomBoard(TGraphics& graphics)
    : graphics_(graphics),
      frontImage_(graphics.CreateImage(0, 0)),
      backImage_(graphics.CreateImage(0, 0)) {
  SetBoardSize(19);
}

TCustomBoard::~TCustomBoard() = default;

void TCustomBoard::SetBoardSize(int size) {
  if (size == boardSize_ || size >= 32 || size < 1) return;
  boardSize_ = size;
  region_ = MakeRegion(rkWholeBoard, size, size);
  offsetX_ = offsetY_ = 0;
  const auto cells = static_cast<std::size_t>(size * size);
  stones_.assign(cells, 0);
  drawn_.assign(cells, 0);
  visited_.assign(cells, 0);
  lastMove_ = kPassPoint;
  captureFlags_ = 0;
  symmetry_ = inverseSymmetry_ = 0;
  UpdateFirst();
}

void TCustomBoard::SetRegion(TRegionWord region) {
  if (!RegionFitsBoard(region, boardSize_)) return;
  region_ = region & 0x00FFFFFF;
  const int kind = RegionKind(region_);
  offsetX_ = (kind == rkUpperStretch || kind == rkCentre || kind == rkBand) ? 1 : 0;
  offsetY_ = kind == rkCentre ? 1 : 0;
  lastMove_ = kPassPoint;
  captureFlags_ = 0;
  std::fill(stones_.begin(), stones_.end(), 0);
  UpdateFirst();
}

void TCustomBoard::ShownRect(int& x0, int& y0, int& w, int& h) const {
  const int kind = RegionKind(region_);
  x0 = offsetX_;
  y0 = offsetY_;
  w = RegionWidth(region_);
  h = RegionHeight(region_);
  if (kind == rkWholeBoard) w = h = boardSize_;
  if (kind == rkUpperPart) w = boardSize_;
  if (kind == rkBand) h = boardSize_;
}

void TCustomBoard::VisibleCounts(int& cols, int& rows) const {
  int x0, y0, w, h;
  ShownRect(x0, y0, w, h);
  cols = (symmetry_ & kSymSwapXY) ? h : w;
  rows = (symmetry_ & kSymSwapXY) ? w : h;
}

void TCustomBoard::UpdateFirst() {
  // The smallest display column and row of the region's image: the image of a rectangle is
  // spanned by the images of two opposite corners.
  int x0, y0, w, h;
  ShownRect(x0, y0, w, h);
  int ax = x0, ay = y0, bx = x0 + w - 1, by = y0 + h - 1;
  TransformXY(ax, ay, static_cast<TSymmetry>(symmetry_), boardSize_, boardSize_);
  TransformXY(bx, by, static_cast<TSymmetry>(symmetry_), boardSize_, boardSize_);
  firstCol_ = std::min(ax, bx);
  firstRow_ = std::min(ay, by);
}

void TCustomBoard::ApplySymmetry(int code) {
  code &= 7;
  symmetry_ = ComposeSymmetry(static_cast<TSymmetry>(symmetry_), static_cast<TSymmetry>(code)) & 7;
  for (int c = 0; c < 8; ++c)
    if ((ComposeSymmetry(static_cast<TSymmetry>(symmetry_), static_cast<TSymmetry>(c)) & 7) == 0) {
      inverseSymmetry_ = c;
      break;
    }
  if (lastMove_ != kPassPoint) {
    int x = PointColumn(lastMove_), y = PointRow(lastMove_);
    if (OnBoard(x, y)) {
      TransformXY(x, y, static_cast<TSymmetry>(code), boardSize_, boardSize_);
      lastMove_ = MakeBoardPoint(x, y);
    }
  }
  captureFlags_ = TransformCaptureFlags(captureFlags_, code);
  const int n = boardSize_;
  std::vector<std::uint32_t> turned(stones_.size());
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y) {
      int tx = x, ty = y;
      TransformXY(tx, ty, static_cast<TSymmetry>(code), n, n);
      turned[static_cast<std::size_t>(tx * n + ty)] = AtConst(x, y);
    }
  stones_ = std::move(turned);
  UpdateFirst();
}

void TCustomBoard::SetMouseHolder(bool on) {
  if (on == mouseHolder_) return;
  mouseHolder_ = on;
  if (host_) host_->SetCursorShape(on ? crCross : crArrow);
}

void TCustomBoard::SetFirstNumber(int n) {
  if (n == firstNumber_ || n < 2) return;
  firstNumber_ = n;
  if (n < numberOffset_) numberOffset_ = n - 1;
}

void TCustomBoard::SetNumberOffset(int n) {
  if (n == numberOffset_ || n <= 0) return;
  numberOffset_ = n;
  if (firstNumber_ < n) firstNumber_ = n + 1;
}

TBoardPoint TCustomBoard::CallerToDisplay(TBoardPoint caller) const {
  int x = PointColumn(caller) + offsetX_;
  int y = PointRow(caller) + offsetY_;
  if (x >= 32 || y >= 32) return kPassPoint;
  TransformXY(x, y, 0, boardSize_, boardSize_);
  if (x < boardSize_ && y < boardSize_)
    TransformXY(x, y, static_cast<TSymmetry>(symmetry_), boardSize_, boardSize_);
  return MakeBoardPoint(x, y);
}

TBoardPoint TCustomBoard::DisplayToCaller(TBoardPoint display) const {
  int x = PointColumn(display), y = PointRow(display);
  if (!OnBoard(x, y)) return display;
  TransformXY(x, y, static_cast<TSymmetry>(inverseSymmetry_), boardSize_, boardSize_);
  return MakeBoardPoint(x - offsetX_, y - offsetY_);
}

bool TCustomBoard::IsVisible(TBoardPoint point) const {
  int x = PointColumn(point), y = PointRow(point);
  if (!OnBoard(x, y)) return false;
  TransformXY(x, y, static_cast<TSymmetry>(inverseSymmetry_), boardSize_, boardSize_);
  int x0, y0, w, h;
  ShownRect(x0, y0, w, h);
  return x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
}

TVisibleRange TCustomBoard::VisibleRange() const {
  int cols, rows;
  VisibleCounts(cols, rows);
  return {firstCol_, firstRow_, firstCol_ + cols - 1, firstRow_ + rows - 1};
}

std::uint32_t TCustomBoard::DisplayValue(TBoardPoint display) const {
  const int x = PointColumn(display), y = PointRow(display);
  return OnBoard(x, y) ? AtConst(x, y) : 0;
}

std::uint32_t TCustomBoard::DrawnValue(TBoardPoint display) const {
  const int x = PointColumn(display), y = PointRow(display);
  return OnBoard(x, y) ? drawn_[static_cast<std::size_t>(x * boardSize_ + y)] : 0;
}

std::uint32_t TCustomBoard::GetValue(int column, int row) {
  if (column < 0 || row < 0 || column > 31 || row > 31) {
    lastError_ = beOutside;
    return 0;
  }
  const TBoardPoint d = CallerToDisplay(MakeBoardPoint(column, row));
  if (IsVisible(d)) return AtConst(PointColumn(d), PointRow(d));
  if (column != 31 && row != 31) lastError_ = beOutside;
  return 0;
}

std::uint32_t TCustomBoard::GetValueAt(TBoardPoint point) {
  point &= kPointMask;
  const TBoardPoint d = CallerToDisplay(point);
  if (IsVisible(d)) return AtConst(PointColumn(d), PointRow(d));
  if (point != kPassPoint) lastError_ = beOutside;
  return 0;
}

int TCustomBoard::TakeError() {
  return std::exchange(lastError_, 0);
}

void TCustomBoard::SetLastMove(TBoardPoint point) {
  const TBoardPoint d = CallerToDisplay(point & kPointMask);
  if (IsVisible(d))
    lastMove_ = d;
  else
    lastError_ = beOutside;
}

void TCustomBoard::SetCaptureFlags(std::uint8_t flags) {
  captureFlags_ = TransformCaptureFlags(flags, symmetry_);
}

std::uint8_t TCustomBoard::GetCaptureFlags() const {
  return TransformCaptureFlags(captureFlags_, inverseSymmetry_);
}

bool TCustomBoard::HasLiberty(int column, int row) {
  // Depth-first search with an explicit stack, so that the depth counters follow the
  // recursive description while the call stack stays flat.
  const std::uint32_t colour = ColourCode(AtConst(column, row));
  struct Frame {
    int x, y, next;
  };
  std::vector<Frame> stack;
  bool found;
  auto enter = [&](int x, int y) -> bool {
    visited_[static_cast<std::size_t>(x * boardSize_ + y)] = 1;
    ++depth_;
    maxDepth_ = std::max(maxDepth_, depth_);
    for (int k = 0; k < 4; ++k) {
      const int nx = x + kNeighbourDX[k], ny = y + kNeighbourDY[k];
      if (!OnBoard(nx, ny)) continue;
      const std::uint32_t c = ColourCode(AtConst(nx, ny));
      if (c == kColourEmpty || c == kColourCovered) return true;
    }
    stack.push_back({x, y, 0});
    return false;
  };
  found = enter(column, row);
  while (!found && !stack.empty()) {
    Frame& f = stack.back();
    if (f.next >= 4) {
      stack.pop_back();
      --depth_;
      continue;
    }
    const int k = f.next++;
    const int nx = f.x + kNeighbourDX[k], ny = f.y + kNeighbourDY[k];
    if (!OnBoard(nx, ny) || visited_[static_cast<std::size_t>(nx * boardSize_ + ny)] ||
        ColourCode(AtConst(nx, ny)) != colour)
      continue;
    if (enter(nx, ny)) found = true;
  }
  depth_ = 0;
  std::fill(visited_.begin(), visited_.end(), 0);
  return found;
}

int TCustomBoard::CheckMove(int column, int row, std::uint32_t colour, std::uint8_t lastFlags) {
  if (!OnBoard(column, row)) return beOutside;
  std::uint32_t& cell = At(column, row);
  if (IsStoneValue(cell)) return beOccupied;
  const std::uint32_t old = cell;
  cell = colour;
  int result = 0;
  if (!HasLiberty(column, row)) {
    const std::uint32_t opponent = colour == kColourBlack ? kColourWhite : kColourBlack;
    bool capture = false;
    for (int k = 0; k < 4 && !capture; ++k) {
      const int nx = column + kNeighbourDX[k], ny = row + kNeighbourDY[k];
      if (!OnBoard(nx, ny) || ColourCode(AtConst(nx, ny)) != opponent) continue;
      maxDepth_ = 0;
      capture = !HasLiberty(nx, ny);
    }
    if (!capture) {
      result = beSuicide;
    } else if (maxDepth_ == 1) {
      // A single stone captured where the last move captured a single stone: ko. The last
      // move may lie on the first line, so any point of the board qualifies.
      const int lx = PointColumn(lastMove_), ly = PointRow(lastMove_);
      if (OnBoard(lx, ly)) {
        if (((lastFlags & 1) && column == lx && row == ly + 1) ||
            ((lastFlags & 2) && column == lx + 1 && row == ly) ||
            ((lastFlags & 4) && column == lx && row == ly - 1) ||
            ((lastFlags & 8) && column == lx - 1 && row == ly))
          result = beKo;
      }
    }
  }
  cell = old;
  return result;
}

void TCustomBoard::RemoveGroup(int column, int row) {
  const std::uint32_t colour = ColourCode(AtConst(column, row));
  std::vector<std::pair<int, int>> stack{{column, row}};
  At(column, row) = 0;
  while (!stack.empty()) {
    const auto [x, y] = stack.back();
    stack.pop_back();
    if (colour == kColourBlack)
      ++capturedBlack_;
    else
      ++capturedWhite_;
    for (int k = 0; k < 4; ++k) {
      const int nx = x + kNeighbourDX[k], ny = y + kNeighbourDY[k];
      if (OnBoard(nx, ny) && ColourCode(AtConst(nx, ny)) == colour) {
        At(nx, ny) = 0;
        stack.push_back({nx, ny});
      }
    }
  }
}

void TCustomBoard::FillGroup(int column, int row, std::uint32_t colour) {
  if (!OnBoard(column, row)) return;
  std::vector<std::pair<int, int>> stack{{column, row}};
  At(column, row) = colour;
  while (!stack.empty()) {
    const auto [x, y] = stack.back();
    stack.pop_back();
    for (int k = 0; k < 4; ++k) {
      const int nx = x + kNeighbourDX[k], ny = y + kNeighbourDY[k];
      if (!OnBoard(nx, ny)) continue;
      const std::uint32_t c = ColourCode(AtConst(nx, ny));
      if (c == kColourEmpty || c == kColourCovered) {
        At(nx, ny) = colour;
        stack.push_back({nx, ny});
      }
    }
  }
}

bool TCustomBoard::SetValueInternal(TBoardPoint caller, std::uint32_t value, bool store) {
  lastError_ = 0;
  // The ko test looks at what the previous move captured, so keep its flags.
  const std::uint8_t lastFlags = captureFlags_;
  if (store) {
    captureFlags_ = 0;
    capturedBlack_ = capturedWhite_ = 0;
  }
  caller &= kPointMask;
  const TBoardPoint d = CallerToDisplay(caller);
  if (!IsVisible(d)) {
    // A pass given by the caller, before or after the region offsets are added.
    const bool pass = caller == kPassPoint ||
                      (PointColumn(caller) + offsetX_ == 31 && PointRow(caller) + offsetY_ == 31);
    if (pass) {
      if (store) lastMove_ = kPassPoint;
      return true;
    }
    lastError_ = beOutside;
    return false;
  }
  const int x = PointColumn(d), y = PointRow(d);
  std::uint32_t c = ColourCode(value);
  if (c == kColourCovered) c = kColourEmpty;
  const int decision = (PlayRules && c != kColourEmpty) ? CheckMove(x, y, c, lastFlags) : 0;
  const bool accepted =
      decision == 0 || (decision == beSuicide && AllowSuicide) || (decision == beKo && AllowKo);
  if (!accepted) {
    lastError_ = decision;
    return false;
  }
  if (!store) return true;
  At(x, y) = value;
  lastMove_ = d;
  if (decision == beSuicide) {
    captureFlags_ = 16;
    suicidePoint_ = d;
    suicideColour_ = c;
    RemoveGroup(x, y);
  } else if (c != kColourEmpty && PlayRules) {
    const std::uint32_t opponent = c == kColourBlack ? kColourWhite : kColourBlack;
    static constexpr std::uint8_t kFlags[4] = {8, 2, 4, 1};
    for (int k = 0; k < 4; ++k) {
      const int nx = x + kNeighbourDX[k], ny = y + kNeighbourDY[k];
      if (!OnBoard(nx, ny) || ColourCode(AtConst(nx, ny)) != opponent) continue;
      if (!HasLiberty(nx, ny)) {
        captureFlags_ |= kFlags[k];
        RemoveGroup(nx, ny);
      }
    }
  }
  return true;
}

void TCustomBoard::SetValue(int column, int row, std::uint32_t value) {
  if (column < 0 || row < 0 || column > 31 || row > 31) {
    lastError_ = beOutside;
    captureFlags_ = 0;
    capturedBlack_ = capturedWhite_ = 0;
    return;
  }
  SetValueInternal(MakeBoardPoint(column, row), value, true);
}

void TCustomBoard::SetValueAt(TBoardPoint point, std::uint32_t value) {
  SetValueInternal(point, value, true);
}

bool TCustomBoard::CanSetValueAt(TBoardPoint point, std::uint32_t value) {
  return SetValueInternal(point, value, false);
}

void TCustomBoard::RestoreCaptured() {
  if (captureFlags_ == 0) return;
  const int lx = PointColumn(lastMove_), ly = PointRow(lastMove_);
  if (!OnBoard(lx, ly)) return;
  const std::uint32_t r = (AtConst(lx, ly) & 1) ? kColourWhite : kColourBlack;
  const std::uint32_t own = r == kColourWhite ? kColourBlack : kColourWhite;
  if (captureFlags_ & 1) FillGroup(lx, ly + 1, r);
  if (captureFlags_ & 2) FillGroup(lx + 1, ly, r);
  if (captureFlags_ & 4) FillGroup(lx, ly - 1, r);
  if (captureFlags_ & 8) FillGroup(lx - 1, ly, r);
  // After a suicide the point is empty and tells no colour; the group removed by the last
  // suicide at this point was of the colour that played it.
  std::uint32_t selfColour = own;
  if (ColourCode(AtConst(lx, ly)) == kColourEmpty && lastMove_ == suicidePoint_ &&
      suicideColour_ != 0)
    selfColour = suicideColour_;
  if (captureFlags_ & 16) FillGroup(lx, ly, selfColour);
}

TCustomBoard::TGeometry TCustomBoard::ComputeGeometry(int width, int height, int cols, int rows) {
  const int w = width < 2 ? 0 : width - 2;
  const int h = height < 2 ? 0 : height - 2;
  cols = std::max(cols, 1);
  rows = std::max(rows, 1);
  const TGeometry byWidth{w / cols, (w % cols) / 2 + 1};
  const TGeometry byHeight{h / rows, (h % rows) / 2 + 1};
  if (byHeight.Size * 32 + byHeight.Margin < byWidth.Size * 32 + byWidth.Margin) return byHeight;
  return byWidth;
}

bool TCustomBoard::FitSize(int& width, int& height) const {
  if (RegionWidth(region_) == 0 || RegionHeight(region_) == 0) return true;
  int cols, rows;
  VisibleCounts(cols, rows);
  const int requestedWidth = width, requestedHeight = height;
  int baseWidth = width, baseHeight = height;
  bool changed = false;
  for (;;) {
    width = std::max(width, 2);
    height = std::max(height, 2);
    TGeometry g = ComputeGeometry(width, height, cols, rows);
    if (g.Size < 8) g = {8, 2};
    width = 2 * g.Margin + cols * g.Size;
    height = 2 * g.Margin + rows * g.Size;
    if (width > 130) break;
    ++baseWidth;
    ++baseHeight;
    width = baseWidth;
    height = baseHeight;
    changed = true;
  }
  return !changed && width == requestedWidth && height == requestedHeight;
}

void TCustomBoard::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  resized_ = true;
}

TBoardPoint TCustomBoard::PointAt(int x, int y) const {
  if (pointSize_ <= 0) return kPassPoint;
  const int dx = x - origin_.x - margin_, dy = y - origin_.y - margin_;
  if (dx < 0 || dy < 0) return kPassPoint;
  const int col = firstCol_ + dx / pointSize_, row = firstRow_ + dy / pointSize_;
  if (col > 31 || row > 31) return kPassPoint;
  return MakeBoardPoint(col, row);
}

TPoint TCustomBoard::PointCentre(TBoardPoint p) const {
  return {origin_.x + margin_ + pointSize_ / 2 + 1 + (PointColumn(p) - firstCol_) * pointSize_,
          origin_.y + margin_ + pointSize_ / 2 + 1 + (PointRow(p) - firstRow_) * pointSize_};
}

TRect TCustomBoard::PointRect(TBoardPoint p) const {
  TRect r;
  r.Left = origin_.x + margin_ + 1 + (PointColumn(p) - firstCol_) * pointSize_;
  r.Top = origin_.y + margin_ + 1 + (PointRow(p) - firstRow_) * pointSize_;
  r.Right = r.Left + pointSize_;
  r.Bottom = r.Top + pointSize_;
  return r;
}

void TCustomBoard::DrawGrid(TCanvas& canvas) {
  const TVisibleRange v = VisibleRange();
  const int n = boardSize_;
  const int k = pointSize_ > 31 ? pointSize_ / 32 : 1;
  const int e = pointSize_ / 2 + margin_ / 2;
  const int f = (k - 1) / 2;
  canvas.SetPen(kColorBlack, 1, pmCopy);

  const TPoint first = PointCentre(MakeBoardPoint(v.FirstCol, v.FirstRow));
  const TPoint last = PointCentre(MakeBoardPoint(v.LastCol, v.LastRow));
  // Vertical lines: from the first to the last visible row, extended by e towards open edges.
  const int top = first.y - (v.FirstRow != 0 ? e : 0) - f;
  const int bottom = last.y + (v.LastRow != n - 1 ? e : 0) + f;
  const int left = first.x - (v.FirstCol != 0 ? e : 0) - f;
  const int right = last.x + (v.LastCol != n - 1 ? e : 0) + f;
  auto vertical = [&](int x, int y1, int y2) {
    for (int i = 0; i < k; ++i) canvas.Line({x + LineOffset(i), y1}, {x + LineOffset(i), y2 + 1});
  };
  auto horizontal = [&](int y, int x1, int x2) {
    for (int i = 0; i < k; ++i) canvas.Line({x1, y + LineOffset(i)}, {x2 + 1, y + LineOffset(i)});
  };
  for (int c = v.FirstCol; c <= v.LastCol; ++c)
    vertical(PointCentre(MakeBoardPoint(c, v.FirstRow)).x, top, bottom);
  if (BorderLines) {
    if (v.FirstCol == 0) vertical(first.x - k, top - k, bottom + k);
    if (v.LastCol == n - 1) vertical(last.x + k, top - k, bottom + k);
  }
  for (int r = v.FirstRow; r <= v.LastRow; ++r)
    horizontal(PointCentre(MakeBoardPoint(v.FirstCol, r)).y, left, right);
  if (BorderLines) {
    if (v.FirstRow == 0) horizontal(first.y - k, left - k, right + k);
    if (v.LastRow == n - 1) horizontal(last.y + k, left - k, right + k);
  }

  // Star points, only where the region shows a board corner.
  const int kind = RegionKind(region_);
  const int radius = pointSize_ / 7;
  if ((kind != rkWholeBoard && kind != rkUpperPart && kind != rkCorner) || radius == 0) return;
  std::vector<std::pair<int, int>> stars;
  const int c = n / 2;
  if (n % 2 == 1) {
    stars.push_back({c, c});
    if (n > 14) {
      stars.push_back({c, 3});
      stars.push_back({c, n - 4});
      stars.push_back({3, c});
      stars.push_back({n - 4, c});
    }
  }
  if (n >= 9 && n <= 11) {
    stars.push_back({2, 2});
    stars.push_back({2, n - 3});
    stars.push_back({n - 3, n - 3});
    stars.push_back({n - 3, 2});
  }
  if (n >= 12) {
    stars.push_back({3, 3});
    stars.push_back({3, n - 4});
    stars.push_back({n - 4, n - 4});
    stars.push_back({n - 4, 3});
  }
  canvas.SetBrush(kColorBlack, bsSolid);
  canvas.SetPen(kColorBlack, 1, pmCopy);
  for (const auto& [x, y] : stars) {
    const TBoardPoint p = MakeBoardPoint(x, y);
    if (!IsVisible(p)) continue;
    const TPoint centre = PointCentre(p);
    canvas.Ellipse(
        {centre.x - radius, centre.y - radius, centre.x + radius + 1, centre.y + radius + 1});
  }
}

void TCustomBoard::RebuildBackground() {
  int cols, rows;
  VisibleCounts(cols, rows);
  const TGeometry g = ComputeGeometry(width_, height_, cols, rows);
  pointSize_ = g.Size;
  margin_ = g.Margin;
  origin_ = {0, 0};
  backImage_->SetSize(width_, height_);
  frontImage_->SetSize(width_, height_);
  const TRect all{0, 0, width_, height_};
  if (Properties) {
    Properties->Background.Draw({0, 0}, all, *backImage_);
  } else {
    backImage_->SetBrush(kColorWhite, bsSolid);
    backImage_->SetPen(kColorWhite, 1, pmCopy);
    backImage_->Rectangle(all);
  }
  if (pointSize_ > 0) DrawGrid(*backImage_);
  frontImage_->CopyRect({0, 0}, *backImage_, all, cmSrcCopy);
}

void TCustomBoard::DrawPoint(TCanvas& canvas, TBoardPoint point, bool withStone,
                             std::uint32_t value) {
  if (!Properties) return;
  const TRect r = PointRect(point);
  const std::uint32_t code = ColourCode(value);
  const TColor color = IndexColor(ColorIndex(value), code == kColourBlack);
  bool suppressMark = false;
  if (withStone && !ShowLetters && code == kColourCovered && LabelLetter(value) >= 1 &&
      LabelLetter(value) <= 52)
    return;
  if (withStone) {
    switch (code) {
      case kColourBlack:
        Properties->BlackStone.Draw(r, canvas);
        break;
      case kColourWhite:
        Properties->WhiteStone.Draw(r, canvas);
        break;
      case kColourCovered:
        Properties->Background.Draw(origin_, r, canvas);
        break;
      default:
        canvas.CopyRect({r.Left, r.Top}, *backImage_, r, cmSrcCopy);
        break;
    }
  }
  // Texts suppress the mark; the same test runs for the mark-only pass of blinking, so that a
  // blink never paints a mark that the full drawing hides.
  if (value & kTextBits) {
    if (IsStoneValue(value) && (value & kLetterFlag)) {
      const int index = static_cast<int>((value >> 9) & 0x3F);
      suppressMark = true;
      if (withStone && index < 52)
        Properties->Letters.DrawLabel(std::string(1, LetterOf(index)), color, canvas, r);
    } else if (IsStoneValue(value)) {
      const int n = GetMoveNumber(value);
      if (ShowNumbers && n != 0 && n >= firstNumber_) {
        suppressMark = true;
        if (withStone)
          Properties->Letters.DrawNumber(std::to_string(n - numberOffset_), color, canvas, r);
      }
    } else {
      suppressMark = true;
      if (withStone) Properties->Letters.DrawLabel(LabelText(value), color, canvas, r);
    }
  }
  if (withStone && (value & kShadedBit)) Properties->Shadow.Draw(r, canvas);
  if (!suppressMark && MarkKind(value) != 0) DrawMark(MarkKind(value), value, canvas, r, color);
}

void TCustomBoard::RedrawAll() {
  frontImage_->CopyRect({0, 0}, *backImage_, {0, 0, width_, height_}, cmSrcCopy);
  const TVisibleRange v = VisibleRange();
  for (int x = v.FirstCol; x <= v.LastCol; ++x)
    for (int y = v.FirstRow; y <= v.LastRow; ++y) {
      const std::uint32_t value = AtConst(x, y);
      if (value != 0) DrawPoint(*frontImage_, MakeBoardPoint(x, y), true, value);
      drawn_[static_cast<std::size_t>(x * boardSize_ + y)] = value;
    }
}

void TCustomBoard::RedrawChanged() {
  const TVisibleRange v = VisibleRange();
  for (int x = v.FirstCol; x <= v.LastCol; ++x)
    for (int y = v.FirstRow; y <= v.LastRow; ++y) {
      const std::uint32_t value = AtConst(x, y);
      std::uint32_t& drawn = drawn_[static_cast<std::size_t>(x * boardSize_ + y)];
      if (value == drawn) continue;
      const TBoardPoint p = MakeBoardPoint(x, y);
      if (drawn != 0) DrawPoint(*frontImage_, p, true, 0);
      if (value != 0) DrawPoint(*frontImage_, p, true, value);
      drawn = value;
    }
}

void TCustomBoard::DrawTo(TCanvas& canvas, const TRect& rect) {
  const int savedSize = pointSize_, savedMargin = margin_;
  const TPoint savedOrigin = origin_;
  int cols, rows;
  VisibleCounts(cols, rows);
  const TGeometry g = ComputeGeometry(rect.Width(), rect.Height(), cols, rows);
  pointSize_ = g.Size;
  margin_ = g.Margin;
  origin_ = {rect.Left, rect.Top};
  if (Properties) Properties->Background.Draw(origin_, rect, canvas);
  if (pointSize_ > 0) {
    DrawGrid(canvas);
    const TVisibleRange v = VisibleRange();
    for (int x = v.FirstCol; x <= v.LastCol; ++x)
      for (int y = v.FirstRow; y <= v.LastRow; ++y)
        if (AtConst(x, y) != 0) DrawPoint(canvas, MakeBoardPoint(x, y), true, AtConst(x, y));
  }
  pointSize_ = savedSize;
  margin_ = savedMargin;
  origin_ = savedOrigin;
}

void TCustomBoard::SetParent(TBoardHost* host) {
  blinkTimer_.reset();
  host_ = host;
  if (!host_) return;
  host_->SetCursorShape(mouseHolder_ ? crCross : crArrow);
  blinkTimer_ = host_->StartTimer(blinkInterval_, [this] { BlinkTick(); });
}

void TCustomBoard::Paint(TCanvas& control) {
  if (resized_) {
    resized_ = false;
    RebuildBackground();
    RedrawAll();
  }
  control.CopyRect({0, 0}, *frontImage_, {0, 0, width_, height_}, cmSrcCopy);
}

void TCustomBoard::ResetLastMousePosition() {
  gLastMouse = {INT_MIN, INT_MIN};
}

void TCustomBoard::DrawFocus() {
  frontImage_->DrawFocusRect(selectionRect_);
  if (host_) host_->InvalidateRect(selectionRect_);
}

void TCustomBoard::ApplyShading() {
  const TVisibleRange v = VisibleRange();
  for (int x = v.FirstCol; x <= v.LastCol; ++x)
    for (int y = v.FirstRow; y <= v.LastRow; ++y) {
      const TBoardPoint p = MakeBoardPoint(x, y);
      const TPoint c = PointCentre(p);
      if (c.x <= selectionRect_.Left || c.x >= selectionRect_.Right || c.y <= selectionRect_.Top ||
          c.y >= selectionRect_.Bottom)
        continue;
      std::uint32_t& value = At(x, y);
      value = (value ^ kShadedBit) & ~(kBlinkBit | (1u << 30) | kBlinkPhaseBit);
      DrawPoint(*frontImage_, p, true, 0);
      DrawPoint(*frontImage_, p, true, value);
      drawn_[static_cast<std::size_t>(x * boardSize_ + y)] = value;
    }
}

void TCustomBoard::MouseMove(int x, int y, bool leftButton) {
  if (pointSize_ == 0) return;
  if (gLastMouse == TPoint{x, y}) return;
  gLastMouse = {x, y};
  if (mouseHolder_ && host_) {
    // Discrete move: the cursor rests on point centres and the hand's movement accumulates
    // until it passes half a cell.
    const TPoint screen = host_->CursorPos();
    const TPoint offset{screen.x - x, screen.y - y};
    int col = (x - margin_) / pointSize_;
    int row = (y - margin_) / pointSize_;
    const int h = pointSize_ / 2;
    holderDX_ += x - (h + 1 + margin_ + pointSize_ * col);
    holderDY_ += y - (h + 1 + margin_ + pointSize_ * row);
    if (holderDX_ < -1 - h) {
      --col;
      holderDX_ += pointSize_;
    }
    if (holderDY_ < -1 - h) {
      --row;
      holderDY_ += pointSize_;
    }
    if (holderDX_ > h + 1) {
      ++col;
      holderDX_ -= pointSize_;
    }
    if (holderDY_ > h + 1) {
      ++row;
      holderDY_ -= pointSize_;
    }
    host_->SetCursorPos({offset.x + margin_ + h + 1 + pointSize_ * col,
                         offset.y + margin_ + h + 1 + pointSize_ * row});
  }
  const TBoardPoint p = PointAt(x, y);
  const bool visible = IsVisible(p);
  if (OnPointMove && visible)
    OnPointMove(*this, MakeBoardPoint(PointColumn(p) - firstCol_, PointRow(p) - firstRow_));
  if (!ShadowBoard) return;
  if (leftButton && visible) {
    const TRect r = PointRect(p);
    if (selectionRect_ == TRect{}) {
      selectionAnchor_ = p;
      selectionRect_ = r;
    } else {
      DrawFocus();
      selectionRect_.Left = std::min(selectionRect_.Left, r.Left);
      selectionRect_.Top = std::min(selectionRect_.Top, r.Top);
      selectionRect_.Right = std::max(selectionRect_.Right, r.Right);
      selectionRect_.Bottom = std::max(selectionRect_.Bottom, r.Bottom);
      const int ac = PointColumn(selectionAnchor_), ar = PointRow(selectionAnchor_);
      const int pc = PointColumn(p), pr = PointRow(p);
      if (pc <= ac && selectionRect_.Left < r.Left) selectionRect_.Left = r.Left;
      if (pr <= ar && selectionRect_.Top < r.Top) selectionRect_.Top = r.Top;
      if (pc >= ac && r.Right < selectionRect_.Right) selectionRect_.Right = r.Right;
      if (pr >= ar && r.Bottom < selectionRect_.Bottom) selectionRect_.Bottom = r.Bottom;
    }
    DrawFocus();
  } else if (!leftButton && !(selectionRect_ == TRect{})) {
    DrawFocus();
    ApplyShading();
    if (OnShadowChange) OnShadowChange(*this);
    selectionRect_ = TRect{};
    if (host_) host_->InvalidateRect({0, 0, width_, height_});
  }
}

void TCustomBoard::MouseUp(TMouseButton button, int x, int y) {
  if (!OnPointClick || ShadowBoard || button != mbLeft || x < 1 || y < 1 || margin_ < 1) return;
  const TBoardPoint p = PointAt(x, y);
  if (IsVisible(p)) OnPointClick(*this, DisplayToCaller(p));
}

void TCustomBoard::BlinkTick() {
  const TVisibleRange v = VisibleRange();
  for (int x = v.FirstCol; x <= v.LastCol; ++x)
    for (int y = v.FirstRow; y <= v.LastRow; ++y) {
      std::uint32_t& value = At(x, y);
      if (!(value & kBlinkBit)) continue;
      const TBoardPoint p = MakeBoardPoint(x, y);
      DrawPoint(*frontImage_, p, false, value);
      value ^= kBlinkPhaseBit;
      DrawPoint(*frontImage_, p, false, value);
      if (host_) host_->InvalidateRect(PointRect(p));
    }
}

}  // namespace kessaro
