#pragma once
// The statistic file (".stc"): for every position of one sub-net, the game counts per player
// category split by result, and the strongest rank of each side. No signature:
//   0  OwnerIdentity   identity of the sub-net the file belongs to
//   4  CounterCount    K, 3-byte cells per record (6; a reader takes at most six)
//   8  RecordCount     N
//   12 OverflowCount   M
//   16                 N records of 2 + 3K bytes: Strongest (2 bytes), K cells
//   16 + N(2 + 3K)     M overflow entries of three 32-bit counters
// A cell with bit 23 clear holds mover's wins (bits 0-9), opponent's wins (10-19) and
// unknown results (20-22); with bit 23 set, bits 0-22 index an overflow entry.
//
// A small file class of its own with the error bits of the mapped files. The counts of a
// read-only file are hostile: a layout larger than the file fails to open, and every read
// is checked against the file. The writable side keeps overflow entries in memory and
// writes them after the records at Close, so records can be written in any order.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace kessaro {

constexpr std::uint32_t kStatHeaderSize = 4 + 4 + 4 + 4;
constexpr std::uint32_t kStatCategories = 6;
constexpr std::uint32_t kStatCellSize = 3;
constexpr std::uint32_t kStatOverflowSize = 4 + 4 + 4;
constexpr std::uint32_t kStatWritableRoom = 120000;
constexpr std::uint32_t kStatOverflowBit = 0x800000;

enum TStatCategory : int {
  scPro = 0,
  scProSemiPro = 1,
  scStrongAma = 2,
  scAmaDan = 3,
  scKyu = 4,
  scUnknown = 5,
};
extern const char* const kStatCategoryNames[kStatCategories];

struct StatTriple {
  std::uint32_t MoverWins = 0;
  std::uint32_t OpponentWins = 0;
  std::uint32_t Unknown = 0;
  std::uint32_t Games() const { return MoverWins + OpponentWins + Unknown; }
  bool operator==(const StatTriple&) const = default;
};

// The 74 stored bytes of a record in memory (Strongest, then six triples); compared field
// by field, never by its padded object bytes.
struct StatRecord {
  std::array<std::uint8_t, 2> Strongest{};
  std::array<StatTriple, kStatCategories> Triples{};
  bool operator==(const StatRecord&) const = default;
};

void AddTriple(const StatTriple& source, StatTriple& destination);
// Adds every triple; each Strongest byte becomes the larger of the two.
void MergeStatRecords(const StatRecord& source, StatRecord& destination);
bool SameStatRecords(const StatRecord& a, const StatRecord& b);

class TStatistic {
 public:
  TStatistic() = default;
  virtual ~TStatistic();
  TStatistic(const TStatistic&) = delete;
  TStatistic& operator=(const TStatistic&) = delete;

  // Success is Active().
  void Open(const std::string& fileName);
  void Close();
  void SetMapped(bool mapped);
  void SetReadOnly(bool readOnly);
  std::uint32_t TakeErrors();

  // All zero for an index outside 0..N-1 or when not active.
  void ReadRecord(std::uint32_t index, StatRecord& out);

  // Writable side. The counter count can only change while the file holds no record.
  void SetOwnerIdentity(std::uint32_t identity) { ownerIdentity_ = identity; }
  bool SetCounterCount(std::uint32_t count);
  // Writes record `index` (N grows to cover it; skipped records are zero); a triple that
  // does not fit its cell goes to a new overflow entry.
  void WriteRecord(std::uint32_t index, const StatRecord& record);

  std::uint32_t OwnerIdentity() const { return ownerIdentity_; }
  std::uint32_t CounterCount() const { return counterCount_; }
  std::uint32_t RecordCount() const { return recordCount_; }
  std::uint32_t OverflowCount() const;
  bool Active() const { return active_; }
  bool ReadOnly() const { return readOnly_; }
  bool Mapped() const { return view_ != nullptr; }
  std::uint32_t Errors() const { return errors_; }
  const std::string& FileName() const { return fileName_; }
  std::uint64_t MapSize() const { return mapSize_; }
  std::uint64_t RecordSize() const { return 2 + std::uint64_t{kStatCellSize} * counterCount_; }
  // 16 + N (2 + 3K) + 12 M: the size the file has once closed.
  std::uint64_t LayoutSize() const;
  std::uint64_t FileSize() const { return fileSize_; }

 private:
  std::uint64_t RecordsEnd() const { return kStatHeaderSize + RecordSize() * recordCount_; }
  bool ReadBytes(std::uint64_t offset, void* buffer, std::size_t count);
  bool WriteBytes(std::uint64_t offset, const void* buffer, std::size_t count);
  bool MapView(std::uint64_t size);
  void Unmap();
  void EncodeHeader(std::uint8_t* out) const;

  TFileHandle fileHandle_ = kInvalidHandle;
  std::uint8_t* view_ = nullptr;
  std::uint64_t mapSize_ = 0;
  std::uint64_t fileSize_ = 0;
  std::uint32_t ownerIdentity_ = 0;
  std::uint32_t counterCount_ = 0;
  std::uint32_t recordCount_ = 0;
  std::uint32_t overflowCount_ = 0;
  std::vector<StatTriple> overflow_;  // writable files only
  bool active_ = false;
  bool readOnly_ = true;
  std::uint32_t errors_ = 0;
  std::string fileName_;
};

// The integrity check of a whole statistic file: the file size against the layout and
// every overflow reference.
struct TStatCheck {
  std::uint64_t records = 0;
  std::uint64_t badRecords = 0;
  std::vector<std::uint32_t> firstBad;
  bool sizeMatches = true;
  bool Ok() const { return badRecords == 0 && sizeMatches; }
};
TStatCheck CheckStatistic(TStatistic& statistic, std::size_t reportLimit = 10);

}  // namespace kessaro
