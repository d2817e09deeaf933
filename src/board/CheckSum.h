#pragma once
// The two checksums of every stored record and file identity.
//   Crc16: CRC-16/MODBUS (reflected 0xA001, init 0xFFFF, no final XOR).
//   Crc32: CRC-32/JAMCRC (reflected 0xEDB88320, init 0xFFFFFFFF, no final inversion).
// The Continue forms take the previous result, so one check can cover separate pieces.

#include <cstddef>
#include <cstdint>

namespace kessaro {

constexpr std::uint16_t kCrc16Init = 0xFFFF;
constexpr std::uint32_t kCrc32Init = 0xFFFFFFFF;

std::uint16_t Crc16Continue(std::uint16_t value, const void* data, std::size_t count);
std::uint32_t Crc32Continue(std::uint32_t value, const void* data, std::size_t count);

inline std::uint16_t Crc16(const void* data, std::size_t count) {
  return Crc16Continue(kCrc16Init, data, count);
}
inline std::uint32_t Crc32(const void* data, std::size_t count) {
  return Crc32Continue(kCrc32Init, data, count);
}

}  // namespace kessaro
