#include "display/qt/ProgLoadingView.h"

#include <QEventLoop>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>
#include <exception>
#include <thread>

#include "platform/CodePage.h"
#include "strings/qt/QtLanguage.h"

namespace kessaro {

namespace {

// How often the UI thread looks for a new progress text.
constexpr int kPollMs = 13;

// The window's picture: a corner of a board with a black and a white stone.
QPixmap Picture(qreal ratio) {
  constexpr int kSize = 72;
  QPixmap pixmap(QSize(kSize, kSize) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(QColor(0xDC, 0xB3, 0x5C));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  for (int i = 0; i < 4; ++i) {
    p.drawLine(12, 12 + i * 16, kSize, 12 + i * 16);
    p.drawLine(12 + i * 16, 12, 12 + i * 16, kSize);
  }
  p.setBrush(Qt::black);
  p.drawEllipse(QPointF(28, 44), 7.5, 7.5);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(44, 28), 7.5, 7.5);
  return pixmap;
}

QLabel* AddLabel(QWidget* parent, QBoxLayout* layout, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  layout->addWidget(label);
  return label;
}

}  // namespace

TProgLoadingView::TProgLoadingView(TProgLoading& loading, TStringsHolder& strings)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      loading_(loading) {
  setObjectName("ProgLoadingForm");
  setWindowTitle(InterfaceText(TProgLoading::Caption(strings), strings));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  outer->addWidget(panel);

  auto* rows = new QVBoxLayout(panel);
  rows->setContentsMargins(16, 14, 16, 12);
  auto* top = new QHBoxLayout;
  rows->addLayout(top);
  auto* picture = new QLabel(panel);
  picture->setObjectName("ProgImage");
  picture->setPixmap(Picture(devicePixelRatioF()));
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addSpacing(14);
  auto* texts = new QVBoxLayout;
  top->addLayout(texts, 1);

  QLabel* name = AddLabel(panel, texts, "ProgNameLabel", kProgramName);
  QFont big = name->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 2);
  name->setFont(big);
  QLabel* edition = AddLabel(panel, texts, "ProgSpecLabel", kProgramEdition);
  QFont bold = edition->font();
  bold.setBold(true);
  edition->setFont(bold);
  AddLabel(panel, texts, "VerLabel", InterfaceText(TProgLoading::VersionText(strings), strings));
  AddLabel(panel, texts, "WebLabel", kProgramWebPage);

  rows->addSpacing(8);
  progress_ = AddLabel(panel, rows, "lbProgLoadingProcessInfo", {});
  progress_->setMinimumWidth(320);

  ApplyLanguage(this, true, strings);

  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, [this] { loading_.Pump(); });
  waiter_ = [](int ms) {
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
  };
}

void TProgLoadingView::ShowWindow() {
  adjustSize();
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  show();
  // The offscreen platform used by tests has no window stack.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
}

void TProgLoadingView::ShowText(const std::string& text) {
  progress_->setText(QString::fromStdString(ToUtf8(0, text)));
}

void TProgLoadingView::CloseWindow() {
  close();
}

void TProgLoadingView::Run(const std::function<void()>& load) {
  loading_.Show(*this);
  repaint();
  poll_.start();

  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      load();
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued: the loop quits from within exec even when the load ends before exec starts.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();

  poll_.stop();
  const int keepUp = loading_.Finish();
  repaint();
  waiter_(keepUp);
  loading_.Close();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kessaro
