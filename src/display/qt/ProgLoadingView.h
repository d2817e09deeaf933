#pragma once
// The loading window: a frameless splash on top of every window with the program's name,
// version and the latest progress line. The bases load on a thread of their own while the UI
// thread keeps this window painted and answering.
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "display/ProgLoading.h"
#include "strings/StringsHolder.h"

class QLabel;

namespace kessaro {

class TProgLoadingView : public QWidget, public TProgLoadingHost {
 public:
  explicit TProgLoadingView(TProgLoading& loading, TStringsHolder& strings = Strings());

  // Shows the window, runs `load` on another thread (it reports through SetLoadingText and
  // must not touch widgets) while this thread shows every step, then shows "Loaded", keeps
  // the window up for the keep-up time and closes it. An exception of `load` is rethrown
  // here once the window is closed.
  void Run(const std::function<void()>& load);
  // How the keep-up time is waited for; by default an event loop with a single-shot timer.
  void SetWaiter(std::function<void(int ms)> waiter) { waiter_ = std::move(waiter); }

  QLabel* ProgressLabel() const { return progress_; }

  void ShowWindow() override;
  void ShowText(const std::string& text) override;
  void CloseWindow() override;

 private:
  TProgLoading& loading_;
  QLabel* progress_ = nullptr;
  QTimer poll_;
  std::function<void(int ms)> waiter_;
};

}  // namespace kessaro
