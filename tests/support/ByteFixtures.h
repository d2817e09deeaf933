#pragma once
// Byte fixtures for the readers of stored files: temporary paths, whole-file reads and
// writes, and the damage a test inflicts (a flipped byte, a cut file).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kessaro::test {

using TBytes = std::vector<std::uint8_t>;

// A fresh path inside the test's user home (the file is removed if it exists).
std::string TempPath(const std::string& name);
TBytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const TBytes& bytes);
void FlipByte(const std::string& path, std::size_t offset, std::uint8_t mask = 0xFF);
void CutFile(const std::string& path, std::size_t size);

void PutLE16(TBytes& bytes, std::size_t offset, std::uint16_t value);
void PutLE32(TBytes& bytes, std::size_t offset, std::uint32_t value);

}  // namespace kessaro::test
