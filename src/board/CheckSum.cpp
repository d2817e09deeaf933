#include "board/CheckSum.h"

#include <array>

namespace kessaro {
namespace {

constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t c = static_cast<std::uint16_t>(i);
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
    table[i] = c;
  }
  return table;
}

// Eight tables for slicing-by-8: the integrity check reads whole files through Crc32.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Crc32Tables MakeCrc32Tables() {
  Crc32Tables t{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[0][i] = c;
  }
  for (unsigned i = 0; i < 256; ++i)
    for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  return t;
}

constexpr auto kCrc16Table = MakeCrc16Table();
constexpr Crc32Tables kCrc32Tables = MakeCrc32Tables();

}  // namespace

std::uint16_t Crc16Continue(std::uint16_t value, const void* data, std::size_t count) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < count; ++i)
    value = static_cast<std::uint16_t>((value >> 8) ^ kCrc16Table[(value ^ p[i]) & 0xFF]);
  return value;
}

std::uint32_t Crc32Continue(std::uint32_t value, const void* data, std::size_t count) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  const auto& t = kCrc32Tables;
  while (count >= 8) {
    const std::uint32_t lo = value ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                      std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
    value = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    p += 8;
    count -= 8;
  }
  while (count-- > 0) value = (value >> 8) ^ t[0][(value ^ *p++) & 0xFF];
  return value;
}

}  // namespace kessaro
