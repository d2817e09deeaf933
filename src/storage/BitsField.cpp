#include "storage/BitsField.h"

#include <array>
#include <bit>

namespace kessaro {
namespace {

constexpr std::uint32_t kBlockBits = 1024;
constexpr std::uint32_t kBlockBytes = kBlockBits / 8;

constexpr std::array<std::uint8_t, 256> MakeBitCounts() {
  std::array<std::uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v)
    t[static_cast<std::size_t>(v)] =
        static_cast<std::uint8_t>(std::popcount(static_cast<unsigned>(v)));
  return t;
}

constexpr std::array<std::uint8_t, 256> kBitCounts = MakeBitCounts();

}  // namespace

void TBitsField::SetCount(std::uint32_t count) {
  if (count == count_) return;
  const std::uint64_t bytes = (static_cast<std::uint64_t>(count) + 31) / 32 * 4;
  if (bytes != bits_.size()) bits_.resize(static_cast<std::size_t>(bytes), 0);
  // Bits beyond a smaller count are cleared so that a later growth adds clear bits.
  if (count < count_) {
    for (std::uint32_t i = count; i < count_ && i / 8 < bits_.size(); ++i)
      bits_[i / 8] = static_cast<std::uint8_t>(bits_[i / 8] & ~(1u << (i % 8)));
  }
  count_ = count;
}

std::uint32_t TBitsField::TakeErrors() {
  const std::uint32_t e = errors_;
  errors_ = 0;
  return e;
}

int TBitsField::GetBit(std::uint32_t i) {
  if (i >= count_) {
    errors_ |= ErrBitsRange;
    return 0;
  }
  return (bits_[i / 8] >> (i % 8)) & 1;
}

void TBitsField::SetBit(std::uint32_t i, bool value) {
  if (i >= count_) {
    errors_ |= ErrBitsRange;
    return;
  }
  const auto mask = static_cast<std::uint8_t>(1u << (i % 8));
  bits_[i / 8] = static_cast<std::uint8_t>(value ? bits_[i / 8] | mask : bits_[i / 8] & ~mask);
}

std::uint32_t TBitsField::NextSetBit(std::uint32_t i) const {
  if (static_cast<std::uint64_t>(i) + 1 >= count_) return count_;
  std::uint32_t j = i + 1;
  // The rest of j's byte, then whole bytes.
  std::uint32_t byte = j / 8;
  unsigned v = bits_[byte] >> (j % 8);
  if (v != 0) {
    const std::uint32_t found = j + static_cast<std::uint32_t>(std::countr_zero(v));
    return found < count_ ? found : count_;
  }
  const std::uint32_t lastByte = (count_ - 1) / 8;
  for (++byte; byte <= lastByte; ++byte) {
    if (bits_[byte] != 0) {
      const std::uint32_t found =
          byte * 8 +
          static_cast<std::uint32_t>(std::countr_zero(static_cast<unsigned>(bits_[byte])));
      return found < count_ ? found : count_;
    }
  }
  return count_;
}

std::uint32_t TBitsField::PrevSetBit(std::uint32_t i) const {
  if (count_ == 0 || i == 0) return count_;
  std::uint32_t j = (i > count_ ? count_ : i) - 1;
  std::uint32_t byte = j / 8;
  const unsigned low = bits_[byte] & ((2u << (j % 8)) - 1);
  if (low != 0) return byte * 8 + 31 - static_cast<std::uint32_t>(std::countl_zero(low));
  while (byte > 0) {
    --byte;
    if (bits_[byte] != 0)
      return byte * 8 + 31 -
             static_cast<std::uint32_t>(std::countl_zero(static_cast<unsigned>(bits_[byte])));
  }
  return count_;
}

void TBitsIndexedField::SetCount(std::uint32_t count) {
  if (count == count_) return;
  blockCounts_.clear();
  TBitsField::SetCount(count);
  blockCounts_.assign((static_cast<std::size_t>(count_) + kBlockBits - 1) / kBlockBits, 0);
}

void TBitsIndexedField::BuildIndex() {
  std::uint32_t total = 0;
  for (std::size_t k = 0; k < blockCounts_.size(); ++k) {
    std::size_t bytes = kBlockBytes;
    if (k + 1 == blockCounts_.size() && count_ % kBlockBits != 0)
      bytes = (count_ % kBlockBits + 7) / 8;
    const std::size_t first = k * kBlockBytes;
    for (std::size_t b = 0; b < bytes; ++b) total += kBitCounts[bits_[first + b]];
    blockCounts_[k] = total;
  }
}

std::uint32_t TBitsIndexedField::Rank(std::uint32_t i) {
  if (GetBit(i) == 0) return 0;
  const std::uint32_t block = i / kBlockBits;
  std::uint32_t rank = block > 0 ? blockCounts_[block - 1] : 0;
  for (std::uint32_t b = block * kBlockBytes; b < i / 8; ++b) rank += kBitCounts[bits_[b]];
  rank += kBitCounts[bits_[i / 8] & ((1u << (i % 8)) - 1)];
  return rank + 1;
}

}  // namespace kessaro
