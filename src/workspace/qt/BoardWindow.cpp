#include "workspace/qt/BoardWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "display/BoardProperties.h"
#include "display/qt/BoardWidget.h"

namespace kessaro {

namespace {

class TWindowTimer : public TTimer {
 public:
  TWindowTimer(unsigned intervalMs, std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
    timer_.start(static_cast<int>(intervalMs));
  }

 private:
  QTimer timer_;  // no parent: the logic owns its timer
};

QString FromText(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr const char* kPanelNames[kStatusPanelCount] = {
    "CordPanel", "AlfaCordPanel", "NumberPanel", "CapturedPanel", "PassPanel", "RestPanel"};
constexpr const char* kItemNames[kBoardMenuItemCount] = {
    "InvertedItem", "RotateItem",     "N90DegreesItem", "N180DegreesItem", "N270DegreesItem",
    "SymmetryItem", "HorizontalItem", "VerticalItem",   "Diagonal1Item",   "Diagonal7Item"};

}  // namespace

int NavigationKeyCode(int qtKey) {
  switch (qtKey) {
    case Qt::Key_PageUp:
      return vkPageUp;
    case Qt::Key_PageDown:
      return vkPageDown;
    case Qt::Key_End:
      return vkEnd;
    case Qt::Key_Home:
      return vkHome;
    case Qt::Key_Left:
      return vkLeft;
    case Qt::Key_Up:
      return vkUp;
    case Qt::Key_Right:
      return vkRight;
    case Qt::Key_Down:
      return vkDown;
    default:
      return 0;
  }
}

TBoardWindow::TBoardWindow(TGraphics& graphics, const TFormFactory& makeForm,
                           TBoardProperties* properties, QWidget* parent)
    : QWidget(parent, Qt::Window), properties_(properties) {
  setFocusPolicy(Qt::StrongFocus);
  resize(400, 400 + kStatusBarHeight);

  statusBar_ = new QStatusBar(this);
  statusBar_->setObjectName("StatusBar");
  statusBar_->setSizeGripEnabled(false);
  statusBar_->setFixedHeight(kStatusBarHeight);
  for (int i = 0; i < kStatusPanelCount; ++i) {
    auto* label = new QLabel(statusBar_);
    label->setObjectName(kPanelNames[i]);
    if (i < kStatusPanelCount - 1) {
      label->setFixedWidth(kStatusPanelWidths[i]);
      label->setAlignment(Qt::AlignCenter);
    }
    statusBar_->addWidget(label, i == kStatusPanelCount - 1 ? 1 : 0);
    panels_[static_cast<std::size_t>(i)] = label;
  }

  menu_ = new QMenu(this);
  QMenu* rotate = nullptr;
  QMenu* symmetry = nullptr;
  for (int i = 0; i < kBoardMenuItemCount; ++i) {
    const auto item = static_cast<TBoardMenuItem>(i);
    QAction* action = nullptr;
    const QString caption = FromText(DefaultBoardText(MenuItemText(item)));
    if (item == miRotate) {
      rotate = menu_->addMenu(caption);
      action = rotate->menuAction();
    } else if (item == miSymmetry) {
      symmetry = menu_->addMenu(caption);
      action = symmetry->menuAction();
    } else {
      QMenu* into = MenuItemSymmetry(item) == 0 ? menu_ : item <= mi270Degrees ? rotate : symmetry;
      action = into->addAction(caption);
      connect(action, &QAction::triggered, this, [this, item] { form_->MenuClick(item); });
    }
    action->setObjectName(kItemNames[i]);
    actions_[static_cast<std::size_t>(i)] = action;
  }
  actions_[miInverted]->setCheckable(true);

  form_ = makeForm(*this, graphics);
  // Captions through the window's interface texts.
  for (int i = 0; i < kBoardMenuItemCount; ++i)
    actions_[static_cast<std::size_t>(i)]->setText(
        FromText(form_->Texts(MenuItemText(static_cast<TBoardMenuItem>(i)))));
  form_->Board().Properties = properties_;
  form_->ExtraHeight = kStatusBarHeight;

  widget_ = new TBoardWidget(form_->Board(), this);
  widget_->setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(widget_, 1);
  layout->addWidget(statusBar_);
}

TBoardWindow::~TBoardWindow() {
  form_->SetAutoShow(false);
  // The widget refers to the form's board: it goes first.
  delete widget_;
  widget_ = nullptr;
  form_.reset();
}

void TBoardWindow::SetCaption(const std::string& caption) {
  setWindowTitle(FromText(caption));
}

void TBoardWindow::SetPanelText(TStatusPanel panel, const std::string& text) {
  panels_[panel]->setText(FromText(text));
}

void TBoardWindow::Repaint() {
  if (widget_ != nullptr) widget_->update();
}

std::unique_ptr<TTimer> TBoardWindow::StartTimer(unsigned intervalMs, std::function<void()> tick) {
  return std::make_unique<TWindowTimer>(intervalMs, std::move(tick));
}

TClientSize TBoardWindow::ClientSize() const {
  return {width(), height()};
}

void TBoardWindow::SetClientSize(TClientSize size) {
  resize(size.Width, size.Height);
}

void TBoardWindow::RequestClose() {
  close();
}

void TBoardWindow::SetMenuItemState(TBoardMenuItem item, bool enabled, bool checked) {
  QAction* action = actions_[item];
  action->setEnabled(enabled);
  if (action->isCheckable()) action->setChecked(checked);
}

void TBoardWindow::PlayClick() {
  if (properties_ != nullptr) properties_->Click.Play();
}

void TBoardWindow::keyPressEvent(QKeyEvent* event) {
  if (const int code = NavigationKeyCode(event->key()); code != 0) {
    form_->KeyNavigate(code);
    return;
  }
  const QByteArray text = event->text().toLatin1();
  const auto commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
  if (text.size() == 1 && !(event->modifiers() & commands)) {
    form_->KeyLetter(text[0]);
    return;
  }
  QWidget::keyPressEvent(event);
}

void TBoardWindow::wheelEvent(QWheelEvent* event) {
  form_->WheelScroll(event->angleDelta().y());
  event->accept();
}

void TBoardWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (form_ == nullptr) return;  // sized while the logic is being made
  // Qt cannot refuse a size: snap to whole points afterwards.
  const TClientSize size = ClientSize();
  const TClientSize fitted = form_->CanResize(size);
  if (!(fitted == size)) {
    resize(fitted.Width, fitted.Height);
    return;
  }
  form_->ClientResized(size);
}

void TBoardWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) form_->Activate();
}

void TBoardWindow::closeEvent(QCloseEvent* event) {
  if (form_->Locked) {
    event->ignore();
    return;
  }
  form_->SetAutoShow(false);
  QWidget::closeEvent(event);
}

void TBoardWindow::contextMenuEvent(QContextMenuEvent* event) {
  menu_->exec(event->globalPos());
}

}  // namespace kessaro
