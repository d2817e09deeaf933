#include "board/CheckSum.h"

#include <gtest/gtest.h>

#include <string>

namespace kessaro {
namespace {

TEST(CheckSum, PublishedCheckValues) {
  const std::string s = "123456789";
  EXPECT_EQ(Crc16(s.data(), s.size()), 0x4B37);
  EXPECT_EQ(Crc32(s.data(), s.size()), 0x340BC6D9u);
  // JAMCRC is the complement of the common CRC-32 (0xCBF43926).
  EXPECT_EQ(Crc32(s.data(), s.size()), ~0xCBF43926u);
}

TEST(CheckSum, NoDataReturnsRunningValue) {
  EXPECT_EQ(Crc16(nullptr, 0), kCrc16Init);
  EXPECT_EQ(Crc32(nullptr, 0), kCrc32Init);
  EXPECT_EQ(Crc16Continue(0x1234, nullptr, 0), 0x1234);
  EXPECT_EQ(Crc32Continue(0xDEADBEEF, nullptr, 0), 0xDEADBEEFu);
}

TEST(CheckSum, ContinuingOverPiecesEqualsOneRun) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 37 + 11);
  const auto whole16 = Crc16(data.data(), data.size());
  const auto whole32 = Crc32(data.data(), data.size());
  // Split points around the 8-byte blocks of the CRC-32 fast path.
  for (std::size_t cut : {0u, 1u, 7u, 8u, 9u, 500u, 999u, 1000u}) {
    auto c16 = Crc16(data.data(), cut);
    auto c32 = Crc32(data.data(), cut);
    c16 = Crc16Continue(c16, data.data() + cut, data.size() - cut);
    c32 = Crc32Continue(c32, data.data() + cut, data.size() - cut);
    EXPECT_EQ(c16, whole16) << cut;
    EXPECT_EQ(c32, whole32) << cut;
  }
}

}  // namespace
}  // namespace kessaro
