#pragma once
// What the base holder needs of a sort index: the sub base it belongs to and its order key.
// Kept apart so that the sort index and the holder need not include each other.

#include <cstdint>

namespace kessaro {

class TBaseSorting;

class THolderSortIndex {
 public:
  virtual ~THolderSortIndex() = default;
  virtual std::uint32_t SubBaseIdentity() const = 0;
  virtual std::uint32_t OrderKey() const = 0;
  // The games list's sort index behind this one; nullptr for other kinds (test doubles).
  virtual TBaseSorting* Sorting() { return nullptr; }
};

}  // namespace kessaro
