#include "display/qt/AlsaSound.h"

#include <alsa/asoundlib.h>

#include <cstring>

#include "storage/ByteOrder.h"

namespace kessaro {

namespace {

// ALSA reports a missing device on stderr; a silent click is the intended behaviour there.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void PlayBlocking(const TWaveData& wave) {
  static const bool quiet = (snd_lib_error_set_handler(SilentAlsaErrors), true);
  (void)quiet;
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return;
  snd_pcm_nonblock(pcm, 0);
  const snd_pcm_format_t format =
      wave.BitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED,
                         static_cast<unsigned>(wave.Channels),
                         static_cast<unsigned>(wave.SampleRate), 1, 100000) >= 0) {
    const std::size_t frameBytes =
        static_cast<std::size_t>(wave.Channels) * static_cast<std::size_t>(wave.BitsPerSample / 8);
    const std::uint8_t* data = wave.Samples.data();
    snd_pcm_uframes_t frames = wave.Samples.size() / frameBytes;
    int retries = 3;
    while (frames > 0) {
      const snd_pcm_sframes_t written = snd_pcm_writei(pcm, data, frames);
      if (written < 0) {
        if (--retries < 0 || snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0) break;
        continue;
      }
      data += static_cast<std::size_t>(written) * frameBytes;
      frames -= static_cast<snd_pcm_uframes_t>(written);
    }
    snd_pcm_drain(pcm);
  }
  snd_pcm_close(pcm);
}

}  // namespace

std::optional<TWaveData> ParseWave(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return std::nullopt;
  TWaveData wave;
  bool haveFormat = false;
  std::size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    const std::uint8_t* chunk = bytes.data() + pos;
    const std::size_t size = LoadLE32(chunk + 4);
    const std::size_t body = pos + 8;
    if (size > bytes.size() - body) return std::nullopt;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || LoadLE16(chunk + 8) != 1) return std::nullopt;
      wave.Channels = LoadLE16(chunk + 10);
      wave.SampleRate = static_cast<int>(LoadLE32(chunk + 12));
      wave.BitsPerSample = LoadLE16(chunk + 22);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return std::nullopt;
      wave.Samples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(body),
                          bytes.begin() + static_cast<std::ptrdiff_t>(body + size));
      if (wave.Channels < 1 || wave.Channels > 8 || wave.SampleRate < 1000 ||
          wave.SampleRate > 384000 || (wave.BitsPerSample != 8 && wave.BitsPerSample != 16))
        return std::nullopt;
      return wave;
    }
    pos = body + size + (size & 1);
  }
  return std::nullopt;
}

TAlsaSoundPlayer::~TAlsaSoundPlayer() {
  Wait();
}

void TAlsaSoundPlayer::Wait() {
  if (worker_.joinable()) worker_.join();
}

void TAlsaSoundPlayer::PlayAsync(const std::vector<std::uint8_t>& bytes) {
  if (busy_) return;
  auto wave = ParseWave(bytes);
  if (!wave) return;
  Wait();  // the previous thread has finished its sound; only its exit is left
  busy_ = true;
  ++started_;
  worker_ = std::thread([this, data = std::move(*wave)] {
    PlayBlocking(data);
    busy_ = false;
  });
}

}  // namespace kessaro
