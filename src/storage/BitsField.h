#pragma once
// Bit arrays that select subsets of net records and games. Bit i lives in bit (i mod 32) of
// little-endian 32-bit word i div 32, which is bit (i mod 8) of byte i div 8, so the buffer
// is stored and loaded as plain bytes. The indexed field adds cumulative counts per block of
// 1024 bits, so that the rank of a set bit among all set bits is found in constant time.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/Errors.h"

namespace kessaro {

class TBitsField {
 public:
  TBitsField() = default;
  explicit TBitsField(std::uint32_t count) { TBitsField::SetCount(count); }
  virtual ~TBitsField() = default;

  virtual void SetCount(std::uint32_t count);

  std::uint32_t Count() const { return count_; }
  std::uint32_t ByteSize() const { return (count_ + 31) / 32 * 4; }
  // The stored bytes; a loader fills them after SetCount (and rebuilds an index).
  std::uint8_t* Bits() { return bits_.data(); }
  const std::uint8_t* Bits() const { return bits_.data(); }
  std::uint32_t Errors() const { return errors_; }
  std::uint32_t TakeErrors();

  int GetBit(std::uint32_t i);
  void SetBit(std::uint32_t i, bool value = true);
  // Smallest set index above i (Count when none); greatest set index below i (Count when none).
  std::uint32_t NextSetBit(std::uint32_t i) const;
  std::uint32_t PrevSetBit(std::uint32_t i) const;

 protected:
  std::uint32_t count_ = 0;
  std::vector<std::uint8_t> bits_;
  std::uint32_t errors_ = 0;
};

class TBitsIndexedField : public TBitsField {
 public:
  TBitsIndexedField() = default;
  explicit TBitsIndexedField(std::uint32_t count) { TBitsIndexedField::SetCount(count); }

  // Resizing drops the index: call BuildIndex again.
  void SetCount(std::uint32_t count) override;
  void BuildIndex();
  // 0 for a clear bit, else 1 + the number of set bits below i.
  std::uint32_t Rank(std::uint32_t i);
  std::uint32_t TotalSetBits() const { return blockCounts_.empty() ? 0 : blockCounts_.back(); }
  const std::vector<std::uint32_t>& BlockCounts() const { return blockCounts_; }

 private:
  std::vector<std::uint32_t> blockCounts_;
};

}  // namespace kessaro
