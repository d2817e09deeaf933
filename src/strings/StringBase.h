#pragma once
// The string base: persistent string sets addressed by numeric IDs in a ".str" holder file and
// a ".sid" tag file. The string set, the language table and collation are in StringSet.h.
//
// Holder file (data offsets, little-endian), addressed in 4-byte units:
//   unit 0..7   header: Created (double), LastSaved (double), StringCount (i32),
//               FreeHead (unit), MaxID, two zero bytes, CRC-16 of bytes 0..29
//   unit 8..    records: CRC-16 of the next 6 bytes, length L (u16), ID (used) or the unit of
//               the next free block (free), CRC-16 of the data (used), L data bytes.
//               A record of length L spans floor((L + 1) / 4) + 3 units; that floor is its
//               size class, and freed blocks are reused only by a record of the same class.
// Tag file: one 8-byte entry per ID at 8 * ID: CRC-16 of the next 6 bytes, L (u16), unit
// (u32); L = 0 and unit 0 is an empty entry. It is derived data and rebuilt from the holder.
//
// Everything read from the files is hostile. A tag entry must lead to a record whose header
// names the same ID and length before a write reuses or frees it, so a damaged index never
// makes a write overwrite another record; the free chain is followed with a bound and a
// check against the index. Failures set error bits (TakeErrors); nothing throws. Changes stay
// in the private pages of both save maps until Close writes them atomically.

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/DateTime.h"
#include "storage/Errors.h"
#include "storage/FileMapping.h"
#include "strings/StringSet.h"

namespace kessaro {

constexpr std::uint32_t kStringHolderSignature = 0xF3F00DA9;
constexpr std::uint32_t kStringTagSignature = 0x02111825;
constexpr std::uint32_t kStringFileGrowBy = 0x20000;

constexpr std::uint32_t kShCreated = 0;       // 8
constexpr std::uint32_t kShLastSaved = 8;     // 8
constexpr std::uint32_t kShStringCount = 16;  // 4
constexpr std::uint32_t kShFreeHead = 20;     // 4
constexpr std::uint32_t kShMaxID = 24;        // 4
constexpr std::uint32_t kShCheck = 30;        // 2, after two zero bytes
constexpr std::uint32_t kStringHeaderSize = 8 + 8 + 4 + 4 + 4 + 2 + 2;
constexpr std::uint32_t kStringFirstUnit = kStringHeaderSize / 4;
static_assert(kStringHeaderSize == 32 && kStringFirstUnit == 8);
static_assert(kShCheck + 2 == kStringHeaderSize, "the header ends in its check value");

constexpr std::uint32_t kRecordHeadSize = 2 + 2 + 4;
constexpr std::uint32_t kRecordDataOffset = kRecordHeadSize + 2;
constexpr std::uint32_t kTagEntrySize = 2 + 2 + 4;
// Highest ID whose tag entry lies inside a file of at most 4 GiB.
constexpr std::uint32_t kMaxStringID = (0xFFFFFFFFu - 4 - kTagEntrySize) / kTagEntrySize;

// The question Open asks (through OnAskRestore) before restoring a missing holder file from
// its backup; %s is the holder file name.
constexpr const char* kRestoreQuestion =
    "File: %s doesn't exist, but Backuped file exists.\r\nRestore it from the Backup?";

inline std::uint32_t SizeClass(std::uint32_t length) {
  return (length + 1) / 4;
}
inline std::uint32_t RecordUnits(std::uint32_t length) {
  return SizeClass(length) + 3;
}

// A record header as stored; for a free block Link is the next free unit, else the ID.
struct TStringRecordHead {
  std::uint16_t Check = 0;
  std::uint16_t Length = 0;
  std::uint32_t Link = 0;
  bool Valid() const;
};

struct TStringTagEntry {
  std::uint16_t Length = 0;
  std::uint32_t Unit = 0;
};

class TStringHolderFile : public TSaveMap {
 public:
  TStringHolderFile();
  ~TStringHolderFile() override;
  void Close() override;
  // Opening reads and checks the header; a writable file without data receives a fresh one.
  // Any error leaves the file closed and unchanged on disk.
  bool Open(const std::string& fileName) override;
  bool CreateNew(const std::string& fileName) override;

  TStringRecordHead ReadHead(std::uint32_t unit);
  void WriteHead(std::uint32_t unit, std::uint16_t length, std::uint32_t link);
  // The first unit after the data.
  std::uint32_t EndUnit() const { return (LogicalDataSize() + 3) / 4; }
  // The file was created by the last Open or CreateNew.
  bool Created() const { return created_; }

  TDateTime CreatedTime = 0;
  TDateTime LastSaved = 0;
  std::int32_t StringCount = 0;
  std::uint32_t FreeHead = 0;
  std::uint32_t MaxID = 0;

 private:
  void InitHeader();
  void WriteHeader();
  bool LoadHeader();
  // Closes without writing anything.
  void Discard();

  bool created_ = false;
  bool headerLoaded_ = false;
};

class TStringTagFile : public TSaveMap {
 public:
  TStringTagFile();
  // The entry of an ID; false (and an empty entry) for a checksum mismatch.
  bool ReadEntry(std::uint32_t id, TStringTagEntry& entry);
  void WriteEntry(std::uint32_t id, const TStringTagEntry& entry);
  // Zeroes every entry and cuts the file to no data (zeroing first, because pages and the
  // file beyond the logical size still hold the old entries).
  void Clear();
  std::uint32_t EntryCount() const { return LogicalDataSize() / kTagEntrySize; }
};

struct TStringFreeBlock {
  std::uint16_t Length = 0;
  std::uint32_t Unit = 0;
};

// One record as the holder file holds it, for checks and reports.
struct TStringRecordInfo {
  std::uint32_t Unit = 0;
  TStringRecordHead Head;
  std::uint16_t StoredHeadCheck = 0, HeadCheck = 0;
  std::uint16_t StoredDataCheck = 0, DataCheck = 0;  // used records only
  bool Free = false;
  bool HeadOk = false;
  bool DataOk = false;   // header valid, data inside the file and its checksum matches
  bool Indexed = false;  // used record whose tag entry leads here
};

class TStringBase {
 public:
  // Asked when the holder file is missing but its backup exists; true restores it.
  using TAskRestore = std::function<bool(TStringBase& sender, const std::string& question)>;
  using TNotify = std::function<void(TStringBase& sender)>;

  TStringBase();
  virtual ~TStringBase();
  TStringBase(const TStringBase&) = delete;
  TStringBase& operator=(const TStringBase&) = delete;

  virtual std::uint32_t TakeErrors();
  virtual void SetSaveEnabled(bool value);
  virtual bool Open(const std::string& name);
  virtual bool CreateNew(const std::string& name);
  virtual void Close();
  virtual void Delete(std::uint32_t id);
  // An absent or empty set deletes the ID's string set.
  virtual void Write(std::uint32_t id, const TStringSet* set);

  // Fills the caller's set, creating it when absent; an ID without a string set clears an
  // existing set and leaves an absent one absent.
  void Read(std::uint32_t id, std::unique_ptr<TStringSet>& set);
  void Read(std::uint32_t id, TStringSet& set);
  std::uint32_t MaxID() const { return holder_.MaxID; }
  // Rewrites the tag file from the records of the holder file.
  void RebuildIndex();

  // Walks every record of the holder file from unit 8, resynchronising unit by unit after a
  // damaged header. Read-only: marks nothing.
  void ForEachRecord(const std::function<void(const TStringRecordInfo&)>& visit);

  // Only while closed.
  void SetReadOnly(bool value);
  void SetMappedTags(bool value);
  void SetHolderExt(const std::string& ext);
  void SetTagExt(const std::string& ext);
  void SetBackupExt(const std::string& ext);

  bool ReadOnly() const { return readOnly_; }
  bool MappedTags() const { return mappedTags_; }
  bool Active() const { return active_; }
  bool SaveEnabled() const { return holder_.SaveEnabled(); }
  const std::string& FileName() const { return fileName_; }
  const std::string& HolderExt() const { return holderExt_; }
  const std::string& TagExt() const { return tagExt_; }
  const std::string& BackupExt() const { return backupExt_; }
  std::uint32_t Errors() const { return errors_; }
  std::int32_t StringCount() const { return holder_.StringCount; }
  // In chain order, head first.
  std::vector<TStringFreeBlock> FreeList() const;
  TStringHolderFile& HolderFile() { return holder_; }
  TStringTagFile& TagFile() { return tags_; }

  TAskRestore OnAskRestore;
  TNotify OnDiskFull;

 private:
  using TFreeChain = std::list<TStringFreeBlock>;
  struct TRecordRef {
    TStringTagEntry entry;
    bool listed = false;    // the tag file names a record for the ID
    bool verified = false;  // and it is that ID's record, inside the file
  };

  bool OpenFiles(const std::string& name, bool create);
  // Closes both files writing nothing, and removes files this open created.
  void Abandon();
  void LoadFreeList();
  // Free blocks and indexed records must not share a unit, or reusing one would overwrite
  // another; an overlap marks the holder file corrupt.
  void CheckOverlaps();
  void ClearFreeList();
  // The tag entry of an ID, verified against the record it leads to; a damaged entry or one
  // that leads elsewhere marks the file at fault.
  TRecordRef RecordOf(std::uint32_t id);
  void FreeBlock(std::uint16_t length, std::uint32_t unit);
  // Takes the first free block of a size class out of the chain; 0 when there is none.
  std::uint32_t TakeBlock(std::uint32_t sizeClass);
  void WriteRecord(std::uint32_t unit, std::uint32_t id, const TStringSet& set);

  TStringTagFile tags_;
  TStringHolderFile holder_;
  // The free chain in memory, with the blocks of each size class in chain order.
  TFreeChain freeList_;
  std::unordered_map<std::uint32_t, std::deque<TFreeChain::iterator>> freeByClass_;
  std::unordered_set<std::uint32_t> freeUnits_;
  std::vector<std::uint8_t> buffer_;  // record bytes of the last Read or Write
  std::string holderExt_ = ".str";
  std::string tagExt_ = ".sid";
  std::string backupExt_ = ".sbk";
  std::string fileName_;
  bool readOnly_ = false;
  bool active_ = false;
  std::uint32_t errors_ = 0;
  bool mappedTags_ = true;
  // Whether the files existed before the current Open, so that a failed open removes only
  // what it created.
  bool holderExisted_ = false;
  bool tagExisted_ = false;
};

// TakeErrors on no object.
std::uint32_t TakeErrors(TStringBase* base);

// The name with the extension of its last path component replaced (or appended).
std::string ChangeFileExt(const std::string& name, const std::string& ext);

}  // namespace kessaro
