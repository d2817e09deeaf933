#pragma once
// Asynchronous playback of an in-memory wave through ALSA. A sound is not started while
// another is playing; where there is no sound device the player stays silent.
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "display/BoardProperties.h"

namespace kessaro {

// The PCM part of a RIFF wave: 8- or 16-bit samples.
struct TWaveData {
  int Channels = 0;
  int SampleRate = 0;
  int BitsPerSample = 0;
  std::vector<std::uint8_t> Samples;
};

// Parses a wave held in memory; nullopt for anything but uncompressed 8/16-bit PCM.
std::optional<TWaveData> ParseWave(const std::vector<std::uint8_t>& bytes);

class TAlsaSoundPlayer : public TSoundPlayer {
 public:
  TAlsaSoundPlayer() = default;
  ~TAlsaSoundPlayer() override;
  TAlsaSoundPlayer(const TAlsaSoundPlayer&) = delete;
  TAlsaSoundPlayer& operator=(const TAlsaSoundPlayer&) = delete;

  void PlayAsync(const std::vector<std::uint8_t>& wave) override;
  bool Busy() const { return busy_; }
  // Sounds handed to a playback thread so far (tests).
  int Started() const { return started_; }
  // Waits for the sound being played.
  void Wait();

 private:
  std::thread worker_;
  std::atomic<bool> busy_{false};
  int started_ = 0;
};

}  // namespace kessaro
