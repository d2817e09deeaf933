#pragma once
// The widget that hosts a board control: it forwards paint, resize, mouse move, mouse release
// and parent changes, runs the blink timer and moves the cursor for the discrete mouse move.
// The board belongs to the window that holds the widget and must outlive the widget.
#include <QWidget>

#include "display/Board.h"
#include "display/BoardHost.h"

namespace kessaro {

class TBoardWidget : public QWidget, public TBoardHost {
 public:
  explicit TBoardWidget(TBoard& board, QWidget* parent = nullptr);
  ~TBoardWidget() override;

  TBoard& Board() { return board_; }

  std::unique_ptr<TTimer> StartTimer(unsigned intervalMs, std::function<void()> tick) override;
  void InvalidateRect(const TRect& rect) override;
  TPoint CursorPos() override;
  void SetCursorPos(TPoint screen) override;
  void SetCursorShape(TCursorShape shape) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  TBoard& board_;
};

}  // namespace kessaro
