#include "display/ProgLoading.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kessaro {

std::int64_t TProgLoading::SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TProgLoading::TProgLoading(Clock clock) : clock_(std::move(clock)) {}

std::string TProgLoading::VersionText(const TStringsHolder& strings) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, " %d.%d (", kProgramMajorVersion, kProgramMinorVersion);
  return strings.Output(outVersion) + buffer + strings.Output(outBuild) + " " +
         std::to_string(kProgramBuild) + ")";
}

std::string TProgLoading::Caption(const TStringsHolder& strings) {
  return " " + strings.Output(outLoading) + " " + kProgramName + " " + kProgramEdition;
}

void TProgLoading::Show(TProgLoadingHost& host) {
  shownAt_ = clock_();
  {
    const std::lock_guard lock(mutex_);
    text_ = "Initializing";
    pending_ = false;
  }
  host_ = &host;
  host.ShowWindow();
  host.ShowText("Initializing");
}

void TProgLoading::SetLoadingText(std::string_view text) {
  std::size_t size = std::min(text.size(), kMaxLoadingText);
  if (size < text.size())
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  const std::lock_guard lock(mutex_);
  text_.assign(text.data(), size);
  pending_ = true;
}

std::optional<std::string> TProgLoading::TakeText() {
  const std::lock_guard lock(mutex_);
  if (!pending_) return std::nullopt;
  pending_ = false;
  return text_;
}

bool TProgLoading::Pump() {
  if (host_ == nullptr) return false;
  const auto text = TakeText();
  if (!text) return false;
  host_->ShowText(*text);
  return true;
}

int TProgLoading::Finish() {
  if (host_ == nullptr) return 0;
  SetLoadingText("Loaded");
  Pump();
  return KeepUpTime(clock_() - shownAt_);
}

void TProgLoading::Close() {
  if (host_ == nullptr) return;
  TProgLoadingHost* host = host_;
  host_ = nullptr;
  host->CloseWindow();
}

int TProgLoading::KeepUpTime(std::int64_t elapsedMs) {
  if (elapsedMs <= 5000) return 1500;
  if (elapsedMs <= 10000) return 1000;
  return 700;
}

}  // namespace kessaro
