#pragma once
// The loading window's logic: the progress line handed from the thread that loads the bases to
// the UI thread that shows it, and how long the window stays up after "Loaded".

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "strings/StringsHolder.h"

namespace kessaro {

// The program's name, edition and version as the loading and about windows show them.
constexpr const char* kProgramName = "Kessaro";
constexpr const char* kProgramEdition = "Full Edition";
constexpr int kProgramMajorVersion = 0;
constexpr int kProgramMinorVersion = 1;
constexpr int kProgramBuild = 1;
constexpr const char* kProgramWebPage = "https://kessaro.example.org";

// The progress text holds at most this many bytes (a 512-byte buffer with its terminator).
constexpr std::size_t kMaxLoadingText = 511;

// What the loading window needs of the screen; called on the UI thread only.
class TProgLoadingHost {
 public:
  virtual ~TProgLoadingHost() = default;
  virtual void ShowWindow() = 0;
  virtual void ShowText(const std::string& text) = 0;
  virtual void CloseWindow() = 0;
};

class TProgLoading {
 public:
  // Milliseconds of a monotonic clock.
  using Clock = std::function<std::int64_t()>;
  static std::int64_t SteadyMilliseconds();

  explicit TProgLoading(Clock clock = SteadyMilliseconds);

  // The texts the window is built with: "Version 0.1 (Build 1)" and " Loading Kessaro Full
  // Edition", from the interface strings.
  static std::string VersionText(const TStringsHolder& strings);
  static std::string Caption(const TStringsHolder& strings);

  // Remembers the time, clears the pending text, shows the window with "Initializing".
  void Show(TProgLoadingHost& host);
  bool Shown() const { return host_ != nullptr; }

  // Any thread: the latest progress text, cut to kMaxLoadingText bytes (never inside a UTF-8
  // character).
  void SetLoadingText(std::string_view text);
  // UI thread: shows the text set since the last call, if any; true when one was shown.
  bool Pump();
  // The pending text without showing it (for a host that paints on its own).
  std::optional<std::string> TakeText();

  // UI thread, once the bases are loaded: sets "Loaded", shows it and returns how long the
  // window stays up before Close; 0 when the window was never shown.
  int Finish();
  void Close();

  // The keep-up time after "Loaded" for a start-up that took elapsedMs: 1500 ms up to 5 s,
  // 1000 ms up to 10 s, 700 ms beyond. Never longer for a longer start-up.
  static int KeepUpTime(std::int64_t elapsedMs);

 private:
  Clock clock_;
  TProgLoadingHost* host_ = nullptr;
  std::int64_t shownAt_ = 0;

  // Written by the loading thread, read by the UI thread.
  std::mutex mutex_;
  std::string text_;
  bool pending_ = false;
};

}  // namespace kessaro
