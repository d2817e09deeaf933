// The sealed header helpers: the check value's place and byte order, a flipped byte anywhere
// caught, and what loading a header from a short or damaged file reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "board/SealedHeader.h"

namespace kessaro {
namespace {

// The data of an open file, with the positioned reads, writes and error bits of the maps.
struct TFakeFile {
  std::vector<std::uint8_t> Data;
  std::uint32_t Errors = 0;

  std::uint64_t DataSize() const { return Data.size(); }
  void Read(void* buffer, std::int64_t offset, std::uint32_t count) {
    std::memset(buffer, 0, count);
    const auto at = static_cast<std::size_t>(offset);
    if (at + count <= Data.size()) std::memcpy(buffer, Data.data() + at, count);
  }
  void Write(const void* buffer, std::int64_t offset, std::uint32_t count) {
    const auto at = static_cast<std::size_t>(offset);
    Data.resize(std::max<std::size_t>(Data.size(), at + count));
    std::memcpy(Data.data() + at, buffer, count);
  }
  void AddErrors(std::uint32_t bits) { Errors |= bits; }
  void MarkCorrupt() { Errors |= ErrCorrupt; }
};

TEST(SealedHeader, TheCheckValueIsTheCrc16OfTheRestStoredLowByteFirst) {
  // CRC-16/MODBUS of "123456789" is 4B37.
  std::array<std::uint8_t, 11> image = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0, 0};
  SealHeader(image);
  EXPECT_EQ(image[9], 0x37);
  EXPECT_EQ(image[10], 0x4B);
  EXPECT_EQ(StoredHeaderCheck(image), 0x4B37);
  EXPECT_TRUE(HeaderIntact(image));
  for (std::size_t i = 0; i < image.size(); ++i) {
    auto damaged = image;
    damaged[i] ^= 0x10;
    EXPECT_FALSE(HeaderIntact(damaged)) << "byte " << i;
  }
}

TEST(SealedHeader, WrittenHeadersLoadAndDamagedOrShortOnesReportWhy) {
  std::array<std::uint8_t, 16> image{};
  image[3] = 7;
  TFakeFile file;
  WriteSealedHeader(file, image);
  file.Data.push_back(0xAA);  // data after the header

  std::array<std::uint8_t, 16> loaded{};
  EXPECT_TRUE(LoadSealedHeader(file, loaded));
  EXPECT_EQ(loaded, image);
  EXPECT_EQ(file.Errors, 0u);

  file.Data[5] ^= 1;
  EXPECT_FALSE(LoadSealedHeader(file, loaded));
  EXPECT_EQ(file.Errors, ErrCorrupt);

  TFakeFile shortFile;
  shortFile.Data.assign(15, 0x55);
  loaded.fill(0xFF);
  EXPECT_FALSE(LoadSealedHeader(shortFile, loaded));
  EXPECT_EQ(shortFile.Errors, ErrFormat);
  EXPECT_TRUE(std::all_of(loaded.begin(), loaded.end(), [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace kessaro
