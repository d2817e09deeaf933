// The little-endian field accessors against known byte images, and their round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

constexpr std::uint8_t kImage[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

TEST(ByteOrder, LoadsReadTheLowByteFirst) {
  EXPECT_EQ(LoadLE16(kImage), 0x2301u);
  EXPECT_EQ(LoadLE24(kImage), 0x452301u);
  EXPECT_EQ(LoadLE32(kImage), 0x67452301u);
  EXPECT_EQ(LoadLE32(kImage + 4), 0xEFCDAB89u);  // the top bit set does not sign-extend
  EXPECT_EQ(LoadLE64(kImage), 0xEFCDAB8967452301ull);
}

TEST(ByteOrder, StoresAndAppendsWriteTheImageBack) {
  std::uint8_t b[8] = {};
  StoreLE64(b, 0xEFCDAB8967452301ull);
  EXPECT_EQ(std::vector<std::uint8_t>(b, b + 8), std::vector<std::uint8_t>(kImage, kImage + 8));
  std::uint8_t c[8] = {};
  StoreLE16(c, 0x2301);
  StoreLE16(c + 2, 0x6745);
  StoreLE32(c + 4, 0xEFCDAB89u);
  EXPECT_EQ(std::vector<std::uint8_t>(c, c + 8), std::vector<std::uint8_t>(kImage, kImage + 8));
  std::vector<std::uint8_t> out;
  AppendLE16(out, 0x2301);
  AppendLE16(out, 0x6745);
  AppendLE32(out, 0xEFCDAB89u);
  EXPECT_EQ(out, std::vector<std::uint8_t>(kImage, kImage + 8));
}

TEST(ByteOrder, DoublesKeepTheirBitPattern) {
  // 1.0 is 3FF0000000000000: the exponent byte comes last.
  std::uint8_t b[8] = {};
  StoreDouble(b, 1.0);
  EXPECT_EQ(b[7], 0x3F);
  EXPECT_EQ(b[6], 0xF0);
  EXPECT_EQ(LoadLE64(b), 0x3FF0000000000000ull);
  for (const double v : {0.0, -0.0, 1.5, -2.25e10, 45000.123456789}) {
    StoreDouble(b, v);
    EXPECT_EQ(LoadDouble(b), v);
    EXPECT_EQ(std::signbit(LoadDouble(b)), std::signbit(v));
  }
}

}  // namespace
}  // namespace kessaro
