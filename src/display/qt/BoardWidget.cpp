#include "display/qt/BoardWidget.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "display/qt/QtCanvas.h"

namespace kessaro {

namespace {

class TQtTimer : public TTimer {
 public:
  TQtTimer(QObject* owner, unsigned intervalMs, std::function<void()> tick) : timer_(owner) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
    timer_.start(static_cast<int>(intervalMs));
  }

 private:
  QTimer timer_;
};

}  // namespace

TBoardWidget::TBoardWidget(TBoard& board, QWidget* parent) : QWidget(parent), board_(board) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  board_.SetSize(width(), height());
  board_.SetParent(this);
}

TBoardWidget::~TBoardWidget() {
  board_.SetParent(nullptr);
}

std::unique_ptr<TTimer> TBoardWidget::StartTimer(unsigned intervalMs, std::function<void()> tick) {
  return std::make_unique<TQtTimer>(this, intervalMs, std::move(tick));
}

void TBoardWidget::InvalidateRect(const TRect& r) {
  update(QRect(r.Left, r.Top, r.Width() + 1, r.Height() + 1));
}

TPoint TBoardWidget::CursorPos() {
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

void TBoardWidget::SetCursorPos(TPoint screen) {
  QCursor::setPos(screen.x, screen.y);
}

void TBoardWidget::SetCursorShape(TCursorShape shape) {
  setCursor(shape == crCross ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TBoardWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  auto canvas = MakePainterCanvas(painter);
  board_.Paint(*canvas);
}

void TBoardWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  board_.SetSize(width(), height());
}

void TBoardWidget::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  const QPoint p = event->position().toPoint();
  board_.MouseMove(p.x(), p.y(), event->buttons() & Qt::LeftButton);
}

void TBoardWidget::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  const QPoint p = event->position().toPoint();
  const TMouseButton button = event->button() == Qt::LeftButton    ? mbLeft
                              : event->button() == Qt::RightButton ? mbRight
                                                                   : mbMiddle;
  board_.MouseUp(button, p.x(), p.y());
}

void TBoardWidget::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A new parent window gets its own blink timer.
  if (event->type() == QEvent::ParentChange) board_.SetParent(this);
}

}  // namespace kessaro
