#pragma once
// Little-endian reads and writes of the integers and doubles that every stored format holds.
// Every reader and writer of a stored field goes through these, so that no unit decodes bytes
// by hand.

#include <bit>
#include <cstdint>
#include <vector>

namespace kessaro {

inline std::uint16_t LoadLE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// The three low bytes of a 32-bit word (the statistic's packed cells).
inline std::uint32_t LoadLE24(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16;
}

inline std::uint32_t LoadLE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t LoadLE64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadLE32(p)) | static_cast<std::uint64_t>(LoadLE32(p + 4))
                                                       << 32;
}

inline void StoreLE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void StoreLE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void StoreLE64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void AppendLE16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void AppendLE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline double LoadDouble(const std::uint8_t* p) {
  return std::bit_cast<double>(LoadLE64(p));
}

inline void StoreDouble(std::uint8_t* p, double v) {
  StoreLE64(p, std::bit_cast<std::uint64_t>(v));
}

}  // namespace kessaro
