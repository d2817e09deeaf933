#pragma once
// What a board control needs of the window that holds it: a periodic timer, repainting a part
// of the control, the screen cursor and the cursor shape.
#include <functional>
#include <memory>

#include "display/Canvas.h"

namespace kessaro {

enum TCursorShape : std::uint8_t { crArrow, crCross };

// A running periodic timer; destroying it stops it.
class TTimer {
 public:
  virtual ~TTimer() = default;
};

class TScreenCursor {
 public:
  virtual ~TScreenCursor() = default;
  // Screen coordinates.
  virtual TPoint CursorPos() = 0;
  virtual void SetCursorPos(TPoint screen) = 0;
  virtual void SetCursorShape(TCursorShape shape) = 0;
};

class TBoardHost : public TScreenCursor {
 public:
  // Calls `tick` every `intervalMs` on the UI thread until the returned timer is destroyed.
  virtual std::unique_ptr<TTimer> StartTimer(unsigned intervalMs, std::function<void()> tick) = 0;
  // The control's picture changed inside `rect` (control coordinates); repaint it from the
  // control's front image.
  virtual void InvalidateRect(const TRect& rect) = 0;
};

}  // namespace kessaro
