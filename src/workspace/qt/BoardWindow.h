#pragma once
// The view of a board window: a top-level window holding the board widget, a status bar with
// the six panels and the context menu (inversion, rotations, mirrors). It implements the
// window logic's host and forwards keys, the wheel, activation, close and the auto show timer;
// the rules live in the logic (TBoardForm and its descendants), which the window owns.
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "workspace/BoardForm.h"

class QLabel;
class QMenu;
class QAction;
class QStatusBar;

namespace kessaro {

class TBoardWidget;
class TBoardProperties;

class TBoardWindow : public QWidget, public TBoardFormHost {
 public:
  using TFormFactory =
      std::function<std::unique_ptr<TBoardForm>(TBoardFormHost& host, TGraphics& graphics)>;

  // `properties` (the board appearance, with its stone click) may be null; it must outlive
  // the window, and so must graphics.
  TBoardWindow(TGraphics& graphics, const TFormFactory& makeForm,
               TBoardProperties* properties = nullptr, QWidget* parent = nullptr);
  ~TBoardWindow() override;

  TBoardForm& Form() { return *form_; }
  TBoardWidget& BoardWidget() { return *widget_; }
  QStatusBar& StatusBar() { return *statusBar_; }
  QMenu& ContextMenu() { return *menu_; }
  QLabel& Panel(TStatusPanel panel) { return *panels_[panel]; }

  // The host.
  void SetCaption(const std::string& caption) override;
  void SetPanelText(TStatusPanel panel, const std::string& text) override;
  void Repaint() override;
  std::unique_ptr<TTimer> StartTimer(unsigned intervalMs, std::function<void()> tick) override;
  TClientSize ClientSize() const override;
  void SetClientSize(TClientSize size) override;
  void RequestClose() override;
  void SetMenuItemState(TBoardMenuItem item, bool enabled, bool checked) override;
  void PlayClick() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  TBoardProperties* properties_;
  QStatusBar* statusBar_ = nullptr;
  std::array<QLabel*, kStatusPanelCount> panels_{};
  QMenu* menu_ = nullptr;
  std::array<QAction*, kBoardMenuItemCount> actions_{};
  std::unique_ptr<TBoardForm> form_;
  TBoardWidget* widget_ = nullptr;
};

// Virtual key code of a navigation key, 0 for other keys.
int NavigationKeyCode(int qtKey);

}  // namespace kessaro
