#pragma once
// A board window host that records what the window showed, and a timer the test ticks itself.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workspace/BoardForm.h"

namespace kessaro::test {

class TRecordingBoardHost : public TBoardFormHost {
 public:
  struct TMenuState {
    bool Enabled = false;
    bool Checked = false;
  };

  void SetCaption(const std::string& caption) override { Caption = caption; }
  void SetPanelText(TStatusPanel panel, const std::string& text) override { Panels[panel] = text; }
  void Repaint() override { ++Repaints; }
  std::unique_ptr<TTimer> StartTimer(unsigned intervalMs, std::function<void()> tick) override {
    Interval = intervalMs;
    Tick = std::move(tick);
    return std::make_unique<TFakeTimer>(*this);
  }
  TClientSize ClientSize() const override { return Size; }
  void SetClientSize(TClientSize size) override { Size = size; }
  void RequestClose() override { ++CloseRequests; }
  void SetMenuItemState(TBoardMenuItem item, bool enabled, bool checked) override {
    Menu[item] = {enabled, checked};
  }
  void PlayClick() override { ++Clicks; }

  // Runs one timer tick when a timer is running.
  bool TickTimer() {
    if (!Tick) return false;
    const auto tick = Tick;  // the tick may stop the timer
    tick();
    return true;
  }
  bool TimerRunning() const { return static_cast<bool>(Tick); }

  std::string Caption;
  std::array<std::string, kStatusPanelCount> Panels;
  std::array<TMenuState, kBoardMenuItemCount> Menu;
  int Repaints = 0;
  int Clicks = 0;
  int CloseRequests = 0;
  unsigned Interval = 0;
  TClientSize Size{400, 400 + kStatusBarHeight};

 private:
  class TFakeTimer : public TTimer {
   public:
    explicit TFakeTimer(TRecordingBoardHost& host) : host_(host) {}
    ~TFakeTimer() override { host_.Tick = nullptr; }

   private:
    TRecordingBoardHost& host_;
  };
  std::function<void()> Tick;
};

}  // namespace kessaro::test
