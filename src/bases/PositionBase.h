#pragma once
// The keyed position store: data per board position, found again in any orientation and with
// the colours swapped. It is a save map, so every change stays in private pages until the file
// is closed and is then written atomically.
//
// Positions are counted in 32-bit words: word index w is data offset 4 w. Layout (little-endian):
//   header, 32 bytes at word 0: Created (double), Modified (double), 4 reserved, FirstTable,
//     FirstFree, 2 reserved, Crc16 of bytes 0-29
//   table record, 24 bytes, one per region word: region, bucket table index (record + 8),
//     Crc32 of the bucket table, previous, next, 2 reserved, Crc16 of bytes 0-21
//   bucket table, 65536 words indexed by the hash bucket: 0 empty, a position record's index,
//     or (bit 31 set) a tag list's index
//   position record: Crc16 of everything after it, data length d (2), the stored position
//     (p bytes, p = (first word & 0x3FFF) + 5), the data
//   tag list: Crc16 of everything after it, count n (2), n items of (32-bit tag, record index)
//   free block, 14 bytes: size in bytes, previous, next, Crc16 of bytes 0-11
//
// Everything read from the file is hostile: every index is checked against the data and the
// tables before it is used, every chain walk is bounded, and a checksum failure marks the
// file corrupt (ErrCorrupt) and makes only the damaged record, list or chain unusable.
// Table links and the header are rewritten from memory at every save.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "board/PointTypes.h"
#include "board/SymmetryFunctions.h"
#include "platform/DateTime.h"
#include "storage/FileMapping.h"
#include "strings/StringBase.h"

namespace kessaro {

using TPosData = std::vector<std::uint8_t>;

// Header fields: offset (width).
constexpr std::uint32_t kPhCreated = 0;      // 8
constexpr std::uint32_t kPhModified = 8;     // 8
constexpr std::uint32_t kPhFirstTable = 20;  // 4 (after 4 reserved bytes)
constexpr std::uint32_t kPhFirstFree = 24;   // 4
constexpr std::uint32_t kPhHeaderCrc = 30;   // 2 (after 2 reserved bytes)
constexpr std::uint32_t kPosHeaderSize = 8 + 8 + 4 + 4 + 4 + 2 + 2;
constexpr std::uint32_t kPosHeaderWords = kPosHeaderSize / 4;
static_assert(kPosHeaderSize == 32 && kPhHeaderCrc + 2 == kPosHeaderSize);

constexpr std::uint32_t kPosTableRecordSize = 4 + 4 + 4 + 4 + 4 + 2 + 2;
constexpr std::uint32_t kBucketTableGap = 8;  // words from a table record to its buckets
constexpr std::uint32_t kBucketCount = 65536;
constexpr std::uint32_t kBucketTableSize = kBucketCount * 4;
constexpr std::uint32_t kTableAreaSize = kBucketTableGap * 4 + kBucketTableSize;
static_assert(kPosTableRecordSize == 24 && kPosTableRecordSize <= kBucketTableGap * 4);

constexpr std::uint32_t kTagListBit = 0x80000000;
constexpr std::uint32_t kPosRecordHeadSize = 2 + 2;
constexpr std::uint32_t kPosTagSize = 4 + 4;
constexpr std::uint32_t kPosFreeRecordSize = 4 + 4 + 4 + 2;
static_assert(kPosFreeRecordSize == 14);
// A released block smaller than this cannot hold its free block record and is left unused.
constexpr std::uint32_t kPosMinFreeBlock = 16;
constexpr std::uint32_t kMaxPosData = 0xFFFF;

struct TPosHeader {
  TDateTime Created = 0;
  TDateTime Modified = 0;
  std::uint32_t FirstTable = 0;
  std::uint32_t FirstFree = 0;
  std::uint16_t HeaderCrc = 0;
  std::array<std::uint8_t, 4> Reserved{};  // kept as read
  std::array<std::uint8_t, 2> Reserved2{};

  void Decode(const std::uint8_t* bytes);
  // Encodes with a fresh HeaderCrc (stored into the field as well).
  void Encode(std::uint8_t* bytes);
};

struct TPosTable {
  std::uint32_t Index = 0;  // word index of the table record
  TRegionWord Region = 0;
  std::uint32_t Buckets = 0;  // word index of the bucket table
  std::uint32_t Crc = 0;      // Crc32 of the bucket table as stored
  bool Damaged = false;       // the bucket table's Crc32 did not match when opened
  bool Dirty = false;         // a bucket changed since the last save
};

struct TPosFreeBlock {
  std::uint32_t Index = 0;
  std::uint32_t Size = 0;  // bytes, a multiple of 4
};

// One stored position as the file holds it.
struct TPosRecord {
  std::uint32_t Index = 0;
  TBoardPosition Position;
  TPosData Data;
  std::uint32_t Size() const {
    return kPosRecordHeadSize + static_cast<std::uint32_t>(Position.size() + Data.size());
  }
};

struct TPosTag {
  std::uint32_t Tag = 0;
  std::uint32_t Index = 0;
};
using TPosTags = std::vector<TPosTag>;

class TCustomPositionBase : public TSaveMap {
 public:
  // Called before a position record is written at word index `index` with `data`.
  using TWriteRecordEvent =
      std::function<void(TCustomPositionBase& sender, std::uint32_t index, const TPosData& data)>;

  TCustomPositionBase();
  ~TCustomPositionBase() override;

  bool Open(const std::string& fileName) override;
  bool CreateNew(const std::string& fileName) override;
  void Close() override;

  // The data stored for the position and the code (bits 0-2 geometry, bit 3 colour swap) that
  // turns the stored position into the given one; false (code 0, empty data) when not stored.
  bool FindPosition(const TMatrix& matrix, TRegionWord region, TSymmetry& code, TPosData& data);
  // Stores or replaces the data of a position. Empty data for a position that is not stored
  // changes nothing (and succeeds). False when the store was refused: not writable, an
  // invalid region or matrix, data longer than 65535 bytes, or the file would pass its size
  // limit; the file is then unchanged.
  bool StorePosition(const TMatrix& matrix, TRegionWord region, const TPosData& data);

  // The bucket table's word index for a region, or 0.
  std::uint32_t TableOf(TRegionWord region) const;
  std::uint32_t AddTable(TRegionWord region);
  // A word index for `size` bytes: a free block of exactly that rounded size, or the end of
  // the data; 0 when the file cannot grow that far.
  std::uint32_t Allocate(std::uint32_t size);
  void Release(std::uint32_t index, std::uint32_t size);

  // Reading records for checks and listings; false (and ErrCorrupt) on a bad record.
  bool ReadPositionRecord(std::uint32_t index, TPosRecord& out);
  bool ReadTagList(std::uint32_t index, TPosTags& out);
  // The bucket words of a table (empty when the table is not loaded).
  std::vector<std::uint32_t> ReadBuckets(const TPosTable& table);

  const TPosHeader& Header() const { return header_; }
  const std::vector<TPosTable>& Tables() const { return tables_; }
  std::vector<TPosFreeBlock> FreeBlocks() const;
  // What the last open found: the header checksum, and the table and free chains whole.
  bool HeaderIntact() const { return headerIntact_; }
  bool ChainsIntact() const { return chainsIntact_; }

  TWriteRecordEvent OnWriteRecord;

 protected:
  // Writes the table records and the header; runs as OnBeforeSave.
  void Save();

 private:
  using TFreeList = std::list<TPosFreeBlock>;

  void ResetState();
  void InitHeader();
  void LoadTables();
  void ScanForTables();
  bool AcceptTable(std::uint32_t index, const std::uint8_t* record, bool& damaged);
  void LoadFreeList();
  // The byte spans of every record and tag list the buckets reach, merged and sorted.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> LiveSpans();
  // The block lies after the header, inside the data and outside every table.
  bool ValidBlock(std::uint64_t index, std::uint64_t size) const;
  bool OverlapsTable(std::uint64_t begin, std::uint64_t end) const;
  // Reads a record or tag list: its first `headSize` bytes give its whole size through
  // `sizeOf` (0 for a head that describes no block); the block must be valid and its leading
  // CRC-16 must cover the rest. False (and ErrCorrupt) otherwise.
  using TBlockSize = std::uint32_t (*)(const std::uint8_t* head);
  bool ReadCheckedBlock(std::uint32_t index, std::uint32_t headSize, TBlockSize sizeOf,
                        std::vector<std::uint8_t>& out);
  std::uint32_t ReadWord(std::uint32_t wordIndex);
  void WriteWord(std::uint32_t wordIndex, std::uint32_t value);
  void SetBucket(TPosTable& table, std::uint16_t bucket, std::uint32_t value);
  TPosTable* FindTable(TRegionWord region);
  void WriteFreeRecord(std::uint32_t index, std::uint32_t size, std::uint32_t prev,
                       std::uint32_t next);
  void WriteTagList(std::uint32_t index, const TPosTags& tags);
  // Allocates and writes a record; 0 when it could not be placed.
  std::uint32_t WriteNewRecord(const TBoardPosition& position, const TPosData& data);
  // Decodes a record of the region; false when it does not decode to that region.
  static bool DecodeRecord(const TPosRecord& record, TRegionWord region, TMatrix& out);
  std::uint32_t EndWord() const { return (LogicalDataSize() + 3) / 4; }

  TPosHeader header_;
  bool headerIntact_ = true;
  bool chainsIntact_ = true;
  std::vector<TPosTable> tables_;
  TFreeList free_;
  // Free blocks by size in list order, for Allocate's first exact fit.
  std::unordered_map<std::uint32_t, std::deque<TFreeList::iterator>> freeBySize_;
};

// The user's moves of one position, 8 bytes each in the stored data: the move word (with the
// ladder and tenuki bits), the annotation byte (move annotation * 13 + position annotation),
// the source flags and the number of the move's comment in the comment base (0 = none).
constexpr std::uint32_t kPositionBaseSignature = 427884819;  // 0x19810113
constexpr std::uint32_t kPosMoveSize = 2 + 1 + 1 + 4;
constexpr std::uint8_t kPosMoveFromGames = 0x01;  // a game or user base
constexpr std::uint8_t kPosMoveFromVars = 0x02;   // the variations base

struct TPosMove {
  TMoveWord Move = kNoMove;
  std::uint8_t Annotation = 0;
  std::uint8_t Flags = 0;
  std::uint32_t Comment = 0;
  bool operator==(const TPosMove&) const = default;
};
using TPosMoves = std::vector<TPosMove>;

TPosData EncodePosMoves(const TPosMoves& moves);
// False (and no moves) when the length is not a multiple of 8.
bool DecodePosMoves(const TPosData& data, TPosMoves& moves);

// The ".pos" file of the user's moves with its two string bases: the comments of the moves
// (".str", ".sid", ".sbk") and the names of comment sources (".ltr", ".lid", ".lbk"), all
// under one base name.
//
// The five files are saved as one commit (platform/FileCommit.h) under the record
// "<name>.pos.commit": after a kill they are all old or all new, and the next open finishes
// or discards what the kill interrupted before it reads anything. Files that did not change
// are not written, and a base without changes writes nothing at all.
class TPositionBase : public TCustomPositionBase {
 public:
  // Asked while a save finds too little free disk space, with the name of the file; true
  // checks again, false gives up saving that file (it keeps its previous contents).
  using TDiskFullHandler = std::function<bool(const std::string& fileName)>;

  TPositionBase();
  ~TPositionBase() override;

  // The name's extension is replaced by ".pos"; the string bases take the same base name.
  // When one of the three fails to open, all are closed, nothing is written and files this
  // call created are removed.
  bool Open(const std::string& fileName) override;
  bool CreateNew(const std::string& fileName) override;
  void Close() override;
  std::uint32_t TakeErrors() override;

  // The stored moves mapped onto the given orientation; empty when the position is not
  // stored or its data is not a list of moves.
  bool FindMoves(const TMatrix& matrix, TRegionWord region, TPosMoves& moves);
  // An empty list stores nothing for a position that is not stored.
  bool StoreMoves(const TMatrix& matrix, TRegionWord region, const TPosMoves& moves);

  // Applied to the position file and both string bases.
  void SetSaveEnabled(bool enabled);
  void SetDiskFullHandler(TDiskFullHandler handler);
  // Closes (saving what is pending) and opens the same base again.
  bool Reopen();

  TStringBase& CommentBase() { return commentBase_; }
  TStringBase& LetterBase() { return letterBase_; }

  // The five files of the base named `fileName` (".pos", ".str", ".sid", ".ltr", ".lid") and
  // the commit record of their saves.
  static std::vector<std::string> FileSet(const std::string& fileName);
  static std::string CommitRecord(const std::string& fileName);
  // Finishes or discards a save of the base that a kill interrupted (see FileCommit.h).
  static bool RecoverSave(const std::string& fileName, bool mayWrite);

 private:
  bool OpenAll(const std::string& fileName, bool create);
  // Saves the changed files of the five as one commit; false when the commit did not
  // complete (the files are old, or new once the next open finishes the commit).
  bool SaveTogether();

  TStringBase commentBase_;
  TStringBase letterBase_;
  TDiskFullHandler diskFull_;
};

// Matches a stored matrix against a target through colour swaps and the region's symmetries,
// in the order of the lookup; the code turns the stored matrix into the target.
bool MatchPosition(const TMatrix& target, TRegionWord region, TMatrix stored, TSymmetry& code);

// The integrity check of a whole base: every table, bucket, tag list, record and free block.
struct TPosTableCheck {
  TRegionWord Region = 0;
  std::uint32_t Index = 0;
  bool Damaged = false;         // bucket table Crc32 mismatch at open
  std::uint64_t Positions = 0;  // readable records
  std::uint64_t TagLists = 0;
  std::uint64_t BadRecords = 0;  // records or tag lists with a bad checksum or content
};
struct TPosBaseCheck {
  bool HeaderOk = true;
  std::vector<TPosTableCheck> Tables;
  std::uint64_t Positions = 0;
  std::uint64_t BadRecords = 0;
  std::uint64_t FreeBlocks = 0;
  std::uint64_t FreeBytes = 0;
  bool ChainsOk = true;  // table and free chains loaded without a break
  bool Ok() const;
};
TPosBaseCheck CheckPositionBase(TCustomPositionBase& base);

// Every readable record of every table, in table and bucket order.
void ForEachPosition(TCustomPositionBase& base,
                     const std::function<void(const TPosTable&, const TPosRecord&)>& visit);

}  // namespace kessaro
