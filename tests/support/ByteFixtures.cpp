#include "support/ByteFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kessaro::test {

std::string TempPath(const std::string& name) {
  const auto path = std::filesystem::path(std::getenv("KESSARO_HOME")) / name;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return path.string();
}

TBytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const TBytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

void FlipByte(const std::string& path, std::size_t offset, std::uint8_t mask) {
  TBytes bytes = ReadFileBytes(path);
  ASSERT_LT(offset, bytes.size());
  bytes[offset] ^= mask;
  WriteFileBytes(path, bytes);
}

void CutFile(const std::string& path, std::size_t size) {
  std::filesystem::resize_file(path, size);
}

void PutLE16(TBytes& bytes, std::size_t offset, std::uint16_t value) {
  if (bytes.size() < offset + 2) bytes.resize(offset + 2);
  bytes[offset] = static_cast<std::uint8_t>(value);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLE32(TBytes& bytes, std::size_t offset, std::uint32_t value) {
  if (bytes.size() < offset + 4) bytes.resize(offset + 4);
  for (std::size_t i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace kessaro::test
