#include "bases/PositionBase.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_set>

#include "board/CheckSum.h"
#include "board/HashFunc.h"
#include "board/PositionFunc.h"
#include "board/SealedHeader.h"
#include "platform/FileCommit.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

// The largest data size a save map holds (its file size is a 32-bit value).
constexpr std::uint64_t kMaxDataSize = 0xFFFFFFFFull - kSignatureSize;
// Room kept free at the end for the worst store: a record, a tag list of the most items and a
// new table.
constexpr std::uint64_t kStoreReserve =
    kPosRecordHeadSize + kBoardPositionHeaderSize + 0x3FFF + kMaxPosData + 8 + kPosRecordHeadSize +
    std::uint64_t{kPosTagSize} * 0x10000 + 8 + kTableAreaSize + 8;
constexpr std::size_t kScanChunk = 1u << 20;

std::uint64_t RoundUp4(std::uint64_t n) {
  return (n + 3) & ~std::uint64_t{3};
}

// Only the kind, width and height identify a region; the reserved byte is not part of the key.
TRegionWord RegionKey(TRegionWord region) {
  return region & 0x00FFFFFF;
}

bool MatrixFits(const TMatrix& matrix, TRegionWord region) {
  return IsValidRegion(region) &&
         matrix.size() >= static_cast<std::size_t>(RegionWidth(region) * RegionHeight(region));
}

TMatrix Target(const TMatrix& matrix, TRegionWord region) {
  TMatrix t(matrix.begin(), matrix.begin() + RegionWidth(region) * RegionHeight(region));
  NormalizeCells(t);
  return t;
}

void EncodeTableRecord(const TPosTable& t, std::uint32_t crc, std::uint32_t prev,
                       std::uint32_t next, std::uint8_t* out) {
  std::memset(out, 0, kPosTableRecordSize);
  StoreLE32(out, t.Region);
  StoreLE32(out + 4, t.Buckets);
  StoreLE32(out + 8, crc);
  StoreLE32(out + 12, prev);
  StoreLE32(out + 16, next);
  StoreLE16(out + 22, Crc16(out, kPosTableRecordSize - 2));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPosHeader

void TPosHeader::Decode(const std::uint8_t* b) {
  Created = LoadDouble(b + kPhCreated);
  Modified = LoadDouble(b + kPhModified);
  std::copy(b + 16, b + 20, Reserved.begin());
  FirstTable = LoadLE32(b + kPhFirstTable);
  FirstFree = LoadLE32(b + kPhFirstFree);
  std::copy(b + 28, b + 30, Reserved2.begin());
  HeaderCrc = LoadLE16(b + kPhHeaderCrc);
}

void TPosHeader::Encode(std::uint8_t* b) {
  StoreDouble(b + kPhCreated, Created);
  StoreDouble(b + kPhModified, Modified);
  std::copy(Reserved.begin(), Reserved.end(), b + 16);
  StoreLE32(b + kPhFirstTable, FirstTable);
  StoreLE32(b + kPhFirstFree, FirstFree);
  std::copy(Reserved2.begin(), Reserved2.end(), b + 28);
  const std::span<std::uint8_t> image(b, kPosHeaderSize);
  SealHeader(image);
  HeaderCrc = StoredHeaderCheck(image);
}

// ---------------------------------------------------------------------------------------------
// Matching

bool MatchPosition(const TMatrix& target, TRegionWord region, TMatrix q, TSymmetry& code) {
  const int w = RegionWidth(region);
  const int h = RegionHeight(region);
  if (q.size() != target.size()) return false;
  bool inverted = false;
  auto found = [&](TSymmetry c) {
    code = static_cast<TSymmetry>(c | (inverted ? kSymColours : 0));
    return true;
  };
  if (q == target) return found(0);
  InvertColours(q);
  inverted = true;
  if (q == target) return found(0);
  const std::uint8_t set = RegionSymmetries(region);
  // With the full set each step is one mirror or swap away from the last.
  static constexpr TSymmetry kAscending[] = {1, 2, 3, 4, 5, 6, 7};
  static constexpr TSymmetry kSingleSteps[] = {2, 6, 4, 3, 7, 5, 1};
  const TSymmetry* order = set == 0xFF ? kSingleSteps : kAscending;
  TSymmetry previous = 0;
  for (int k = 0; k < 7; ++k) {
    const TSymmetry c = order[k];
    if (!(set & (1u << c))) continue;
    TransformMatrix(q, RelativeSymmetry(previous, c), w, h);
    previous = c;
    if (q == target) return found(c);
    InvertColours(q);
    inverted = !inverted;
    if (q == target) return found(c);
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// TCustomPositionBase

TCustomPositionBase::TCustomPositionBase() {
  OnBeforeSave = [this](TCustomMap&) { Save(); };
}

TCustomPositionBase::~TCustomPositionBase() {
  TCustomPositionBase::Close();
}

void TCustomPositionBase::ResetState() {
  header_ = TPosHeader{};
  headerIntact_ = true;
  chainsIntact_ = true;
  tables_.clear();
  free_.clear();
  freeBySize_.clear();
}

void TCustomPositionBase::InitHeader() {
  header_ = TPosHeader{};
  header_.Created = Now();
  std::uint8_t bytes[kPosHeaderSize] = {};
  header_.Encode(bytes);
  Write(bytes, 0, kPosHeaderSize);
}

bool TCustomPositionBase::CreateNew(const std::string& fileName) {
  const bool ok = TSaveMap::CreateNew(fileName);
  ResetState();
  if (!active_) return ok;
  InitHeader();
  return active_;
}

bool TCustomPositionBase::Open(const std::string& fileName) {
  const bool ok = TSaveMap::Open(fileName);  // creates a missing file through CreateNew
  if (!active_) return ok;
  ResetState();
  if (LogicalDataSize() == 0 && !readOnly_) {
    InitHeader();  // an empty file is an empty base
    return active_;
  }
  std::uint8_t bytes[kPosHeaderSize] = {};
  const bool intact = ReadSealedHeader(*this, bytes);
  header_.Decode(bytes);
  if (LogicalDataSize() < kPosHeaderSize || !intact) {
    // The chains cannot be trusted; the tables are found again by their own checksums, the
    // free space is given up.
    MarkCorrupt();
    headerIntact_ = false;
    chainsIntact_ = false;
    header_.FirstTable = 0;
    header_.FirstFree = 0;
    ScanForTables();
    MarkChanged();
    return active_;
  }
  LoadTables();
  LoadFreeList();
  // Damage found here is mended by the next save, which rewrites the chains and the header.
  if (errors_ & ErrCorrupt) MarkChanged();
  return active_;
}

void TCustomPositionBase::Close() {
  TSaveMap::Close();
  ResetState();
}

bool TCustomPositionBase::OverlapsTable(std::uint64_t begin, std::uint64_t end) const {
  for (const auto& t : tables_) {
    const std::uint64_t tb = std::uint64_t{t.Index} * 4;
    const std::uint64_t te = std::uint64_t{t.Buckets} * 4 + kBucketTableSize;
    if (begin < te && tb < end) return true;
  }
  return false;
}

bool TCustomPositionBase::ValidBlock(std::uint64_t index, std::uint64_t size) const {
  if (index < kPosHeaderWords || size == 0) return false;
  const std::uint64_t begin = index * 4;
  const std::uint64_t end = begin + size;
  return end <= LogicalDataSize() && !OverlapsTable(begin, end);
}

bool TCustomPositionBase::AcceptTable(std::uint32_t index, const std::uint8_t* record,
                                      bool& damaged) {
  damaged = false;
  if (Crc16(record, kPosTableRecordSize - 2) != LoadLE16(record + kPosTableRecordSize - 2))
    return false;
  const TRegionWord region = LoadLE32(record);
  const std::uint32_t buckets = LoadLE32(record + 4);
  if (index < kPosHeaderWords || buckets != std::uint64_t{index} + kBucketTableGap) return false;
  const std::uint64_t end = std::uint64_t{buckets} * 4 + kBucketTableSize;
  if (!IsValidRegion(region) || RegionKey(region) != region || end > LogicalDataSize() ||
      OverlapsTable(std::uint64_t{index} * 4, end) || TableOf(region) != 0)
    return false;
  TPosTable t;
  t.Index = index;
  t.Region = region;
  t.Buckets = buckets;
  t.Crc = LoadLE32(record + 8);
  std::vector<std::uint8_t> table(kBucketTableSize);
  Read(table.data(), std::int64_t{buckets} * 4, kBucketTableSize);
  if (Crc32(table.data(), table.size()) != t.Crc) {
    // Every record behind the buckets has its own checksum, so the table stays in use.
    MarkCorrupt();
    t.Damaged = damaged = true;
  }
  tables_.push_back(t);
  return true;
}

void TCustomPositionBase::LoadTables() {
  std::unordered_set<std::uint32_t> seen;
  bool broken = false;
  for (std::uint32_t at = header_.FirstTable; at != 0;) {
    std::uint8_t record[kPosTableRecordSize];
    bool damaged = false;
    if (!seen.insert(at).second ||
        std::uint64_t{at} * 4 + kPosTableRecordSize > LogicalDataSize()) {
      broken = true;
      break;
    }
    Read(record, std::int64_t{at} * 4, kPosTableRecordSize);
    if (!AcceptTable(at, record, damaged)) {
      broken = true;
      break;
    }
    at = LoadLE32(record + 16);
  }
  if (broken) {
    // The tables after a bad link are still whole; find them by their own checksums.
    MarkCorrupt();
    chainsIntact_ = false;
    ScanForTables();
  }
}

void TCustomPositionBase::ScanForTables() {
  const std::uint64_t size = LogicalDataSize();
  std::vector<std::uint8_t> chunk(kScanChunk + kPosTableRecordSize);
  for (std::uint64_t start = kPosHeaderSize; start + kPosTableRecordSize <= size;
       start += kScanChunk) {
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk.size(), size - start));
    Read(chunk.data(), static_cast<std::int64_t>(start), n);
    for (std::uint32_t off = 0; off + kPosTableRecordSize <= n && off < kScanChunk; off += 4) {
      const auto word = static_cast<std::uint32_t>((start + off) / 4);
      const std::uint8_t* record = chunk.data() + off;
      if (LoadLE32(record + 4) != std::uint64_t{word} + kBucketTableGap) continue;
      bool damaged = false;
      AcceptTable(word, record, damaged);
    }
  }
}

void TCustomPositionBase::LoadFreeList() {
  std::unordered_set<std::uint32_t> seen;
  std::map<std::uint64_t, std::uint64_t> spans;  // begin -> end, to refuse overlapping blocks
  bool broken = false;
  for (std::uint32_t at = header_.FirstFree; at != 0;) {
    std::uint8_t record[kPosFreeRecordSize];
    if (!seen.insert(at).second || !ValidBlock(at, kPosFreeRecordSize)) {
      broken = true;
      break;
    }
    Read(record, std::int64_t{at} * 4, kPosFreeRecordSize);
    const std::uint32_t size = LoadLE32(record);
    if (Crc16(record, kPosFreeRecordSize - 2) != LoadLE16(record + kPosFreeRecordSize - 2) ||
        size % 4 != 0 || size < kPosMinFreeBlock || !ValidBlock(at, size)) {
      broken = true;
      break;
    }
    const std::uint64_t begin = std::uint64_t{at} * 4;
    const std::uint64_t end = begin + size;
    auto after = spans.lower_bound(begin);
    if ((after != spans.end() && after->first < end) ||
        (after != spans.begin() && std::prev(after)->second > begin)) {
      broken = true;
      break;
    }
    spans.emplace(begin, end);
    free_.push_back({at, size});
    at = LoadLE32(record + 8);
  }
  // A free block must not hold anything the buckets still reach, or taking it would overwrite
  // a stored position: the chain is cut before the first such block.
  if (!free_.empty()) {
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> live = LiveSpans();
    for (auto it = free_.begin(); it != free_.end(); ++it) {
      const std::uint64_t begin = std::uint64_t{it->Index} * 4;
      const std::uint64_t end = begin + it->Size;
      // The spans are disjoint and sorted: only the first one that ends after `begin` can meet
      // the block.
      const auto span =
          std::upper_bound(live.begin(), live.end(), begin,
                           [](std::uint64_t value, const auto& s) { return value < s.second; });
      if (span != live.end() && span->first < end) {
        free_.erase(it, free_.end());
        broken = true;
        break;
      }
    }
  }
  for (auto it = free_.begin(); it != free_.end(); ++it) freeBySize_[it->Size].push_back(it);
  if (broken) {
    // Cut the chain after the last good block; the space behind the break is given up.
    MarkCorrupt();
    chainsIntact_ = false;
    if (free_.empty()) {
      header_.FirstFree = 0;
    } else {
      const TPosFreeBlock& last = free_.back();
      const std::uint32_t prev = free_.size() > 1 ? std::prev(free_.end(), 2)->Index : 0;
      WriteFreeRecord(last.Index, last.Size, prev, 0);
    }
  }
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> TCustomPositionBase::LiveSpans() {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
  std::unordered_set<std::uint32_t> lists;
  auto addRecord = [&](std::uint32_t index) {
    std::uint8_t head[kPosRecordHeadSize + 2];
    if (!ValidBlock(index, sizeof head)) return;
    Read(head, std::int64_t{index} * 4, sizeof head);
    const std::uint64_t total = kPosRecordHeadSize + LoadLE16(head + 2) +
                                (LoadLE16(head + 4) & 0x3FFFu) + kBoardPositionHeaderSize;
    if (ValidBlock(index, total))
      spans.emplace_back(std::uint64_t{index} * 4, index * 4ull + total);
  };
  for (const auto& t : tables_) {
    for (const std::uint32_t entry : ReadBuckets(t)) {
      if (entry == 0) continue;
      if (!(entry & kTagListBit)) {
        addRecord(entry);
        continue;
      }
      const std::uint32_t list = entry & ~kTagListBit;
      if (!lists.insert(list).second) continue;
      std::uint8_t head[kPosRecordHeadSize];
      if (!ValidBlock(list, sizeof head)) continue;
      Read(head, std::int64_t{list} * 4, sizeof head);
      const std::uint32_t n = LoadLE16(head + 2);
      const std::uint32_t total = kPosRecordHeadSize + kPosTagSize * n;
      if (!ValidBlock(list, total)) continue;
      spans.emplace_back(std::uint64_t{list} * 4, list * 4ull + total);
      std::vector<std::uint8_t> items(kPosTagSize * n);
      Read(items.data(), std::int64_t{list} * 4 + kPosRecordHeadSize,
           static_cast<std::uint32_t>(items.size()));
      for (std::uint32_t i = 0; i < n; ++i) addRecord(LoadLE32(items.data() + kPosTagSize * i + 4));
    }
  }
  std::sort(spans.begin(), spans.end());
  // Merged into disjoint spans.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> merged;
  for (const auto& s : spans) {
    if (!merged.empty() && s.first < merged.back().second)
      merged.back().second = std::max(merged.back().second, s.second);
    else
      merged.push_back(s);
  }
  return merged;
}

std::vector<TPosFreeBlock> TCustomPositionBase::FreeBlocks() const {
  return {free_.begin(), free_.end()};
}

std::uint32_t TCustomPositionBase::ReadWord(std::uint32_t wordIndex) {
  std::uint8_t b[4];
  Read(b, std::int64_t{wordIndex} * 4, 4);
  return LoadLE32(b);
}

void TCustomPositionBase::WriteWord(std::uint32_t wordIndex, std::uint32_t value) {
  std::uint8_t b[4];
  StoreLE32(b, value);
  Write(b, std::int64_t{wordIndex} * 4, 4);
}

void TCustomPositionBase::SetBucket(TPosTable& table, std::uint16_t bucket, std::uint32_t value) {
  WriteWord(table.Buckets + bucket, value);
  table.Dirty = true;
}

void TCustomPositionBase::WriteFreeRecord(std::uint32_t index, std::uint32_t size,
                                          std::uint32_t prev, std::uint32_t next) {
  std::uint8_t r[kPosFreeRecordSize];
  StoreLE32(r, size);
  StoreLE32(r + 4, prev);
  StoreLE32(r + 8, next);
  StoreLE16(r + 12, Crc16(r, kPosFreeRecordSize - 2));
  Write(r, std::int64_t{index} * 4, kPosFreeRecordSize);
}

void TCustomPositionBase::WriteTagList(std::uint32_t index, const TPosTags& tags) {
  std::vector<std::uint8_t> b(kPosRecordHeadSize + kPosTagSize * tags.size());
  StoreLE16(b.data() + 2, static_cast<std::uint16_t>(tags.size()));
  for (std::size_t i = 0; i < tags.size(); ++i) {
    StoreLE32(b.data() + kPosRecordHeadSize + kPosTagSize * i, tags[i].Tag);
    StoreLE32(b.data() + kPosRecordHeadSize + kPosTagSize * i + 4, tags[i].Index);
  }
  StoreLE16(b.data(), Crc16(b.data() + 2, b.size() - 2));
  Write(b.data(), std::int64_t{index} * 4, static_cast<std::uint32_t>(b.size()));
}

TPosTable* TCustomPositionBase::FindTable(TRegionWord region) {
  region = RegionKey(region);
  for (auto& t : tables_)
    if (t.Region == region) return &t;
  return nullptr;
}

std::uint32_t TCustomPositionBase::TableOf(TRegionWord region) const {
  region = RegionKey(region);
  for (const auto& t : tables_)
    if (t.Region == region) return t.Buckets;
  return 0;
}

std::uint32_t TCustomPositionBase::AddTable(TRegionWord region) {
  region = RegionKey(region);
  if (const std::uint32_t t = TableOf(region)) return t;
  if (!active_ || readOnly_ || !IsValidRegion(region)) return 0;
  const std::uint32_t r = std::max(EndWord(), kPosHeaderWords);
  const std::uint64_t end = (std::uint64_t{r} + kBucketTableGap) * 4 + kBucketTableSize;
  if (end > kMaxDataSize) return 0;
  // The new area lies beyond everything written, so it reads as zeros: an empty table.
  SetDataSize(static_cast<std::uint32_t>(end));
  TPosTable t;
  t.Index = r;
  t.Region = region;
  t.Buckets = r + kBucketTableGap;
  t.Dirty = true;
  tables_.push_back(t);
  return t.Buckets;
}

std::uint32_t TCustomPositionBase::Allocate(std::uint32_t size) {
  if (!active_ || readOnly_ || size == 0) return 0;
  const std::uint64_t rounded = RoundUp4(size);
  if (auto it = freeBySize_.find(static_cast<std::uint32_t>(rounded));
      it != freeBySize_.end() && !it->second.empty()) {
    const auto block = it->second.front();
    it->second.pop_front();
    if (it->second.empty()) freeBySize_.erase(it);
    const std::uint32_t index = block->Index;
    const bool hasPrev = block != free_.begin();
    const auto next = std::next(block);
    const std::uint32_t prevIndex = hasPrev ? std::prev(block)->Index : 0;
    const std::uint32_t nextIndex = next != free_.end() ? next->Index : 0;
    if (hasPrev) {
      const auto prev = std::prev(block);
      const std::uint32_t prevPrev = prev != free_.begin() ? std::prev(prev)->Index : 0;
      WriteFreeRecord(prev->Index, prev->Size, prevPrev, nextIndex);
    } else {
      header_.FirstFree = nextIndex;
    }
    if (next != free_.end()) {
      const auto nextNext = std::next(next);
      WriteFreeRecord(next->Index, next->Size, prevIndex,
                      nextNext != free_.end() ? nextNext->Index : 0);
    }
    free_.erase(block);
    return index;
  }
  const std::uint32_t index = std::max(EndWord(), kPosHeaderWords);
  if (std::uint64_t{index} * 4 + rounded > kMaxDataSize) return 0;
  return index;
}

void TCustomPositionBase::Release(std::uint32_t index, std::uint32_t size) {
  if (!active_ || readOnly_) return;
  const std::uint64_t rounded = RoundUp4(size);
  // A block too small for its free record, or one that is not a block of this file, is left.
  if (rounded < kPosMinFreeBlock || !ValidBlock(index, size)) return;
  const auto blockSize = static_cast<std::uint32_t>(rounded);
  if (free_.empty()) {
    WriteFreeRecord(index, blockSize, 0, 0);
    header_.FirstFree = index;
  } else {
    const TPosFreeBlock& tail = free_.back();
    const std::uint32_t tailPrev = free_.size() > 1 ? std::prev(free_.end(), 2)->Index : 0;
    WriteFreeRecord(index, blockSize, tail.Index, 0);
    WriteFreeRecord(tail.Index, tail.Size, tailPrev, index);
  }
  free_.push_back({index, blockSize});
  freeBySize_[blockSize].push_back(std::prev(free_.end()));
}

bool TCustomPositionBase::ReadCheckedBlock(std::uint32_t index, std::uint32_t headSize,
                                           TBlockSize sizeOf, std::vector<std::uint8_t>& out) {
  std::uint8_t head[kPosRecordHeadSize + 2];
  if (headSize > sizeof head || !ValidBlock(index, headSize)) {
    MarkCorrupt();
    return false;
  }
  Read(head, std::int64_t{index} * 4, headSize);
  const std::uint32_t total = sizeOf(head);
  if (total == 0 || !ValidBlock(index, total)) {
    MarkCorrupt();
    return false;
  }
  out.resize(total);
  Read(out.data(), std::int64_t{index} * 4, total);
  if (Crc16(out.data() + 2, total - 2) != LoadLE16(out.data())) {
    MarkCorrupt();
    return false;
  }
  return true;
}

bool TCustomPositionBase::ReadPositionRecord(std::uint32_t index, TPosRecord& out) {
  out = TPosRecord{};
  out.Index = index;
  // Check value, data length d, then the stored position whose header gives its size p.
  const auto sizeOf = [](const std::uint8_t* head) -> std::uint32_t {
    const std::uint32_t d = LoadLE16(head + 2);
    const std::uint32_t p = (LoadLE16(head + 4) & 0x3FFFu) + kBoardPositionHeaderSize;
    return kPosRecordHeadSize + p + d;
  };
  std::vector<std::uint8_t> b;
  if (!ReadCheckedBlock(index, kPosRecordHeadSize + 2, sizeOf, b)) return false;
  const std::uint32_t p = (LoadLE16(b.data() + 4) & 0x3FFFu) + kBoardPositionHeaderSize;
  out.Position.assign(b.begin() + kPosRecordHeadSize, b.begin() + kPosRecordHeadSize + p);
  out.Data.assign(b.begin() + kPosRecordHeadSize + p, b.end());
  return true;
}

bool TCustomPositionBase::ReadTagList(std::uint32_t index, TPosTags& out) {
  out.clear();
  // Check value, count n (never 0), n items.
  const auto sizeOf = [](const std::uint8_t* head) -> std::uint32_t {
    const std::uint32_t n = LoadLE16(head + 2);
    return n == 0 ? 0 : kPosRecordHeadSize + kPosTagSize * n;
  };
  std::vector<std::uint8_t> b;
  if (!ReadCheckedBlock(index, kPosRecordHeadSize, sizeOf, b)) return false;
  const std::uint32_t n = LoadLE16(b.data() + 2);
  out.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    out[i].Tag = LoadLE32(b.data() + kPosRecordHeadSize + kPosTagSize * i);
    out[i].Index = LoadLE32(b.data() + kPosRecordHeadSize + kPosTagSize * i + 4);
  }
  return true;
}

std::vector<std::uint32_t> TCustomPositionBase::ReadBuckets(const TPosTable& table) {
  std::vector<std::uint32_t> words;
  if (TableOf(table.Region) != table.Buckets || table.Buckets == 0) return words;
  std::vector<std::uint8_t> b(kBucketTableSize);
  Read(b.data(), std::int64_t{table.Buckets} * 4, kBucketTableSize);
  words.resize(kBucketCount);
  for (std::uint32_t i = 0; i < kBucketCount; ++i) words[i] = LoadLE32(b.data() + 4 * i);
  return words;
}

bool TCustomPositionBase::DecodeRecord(const TPosRecord& record, TRegionWord region, TMatrix& out) {
  TRegionWord stored = 0;
  return DecodePosition(record.Position, out, stored) && stored == RegionKey(region);
}

std::uint32_t TCustomPositionBase::WriteNewRecord(const TBoardPosition& position,
                                                  const TPosData& data) {
  const auto size = static_cast<std::uint32_t>(kPosRecordHeadSize + position.size() + data.size());
  const std::uint32_t index = Allocate(size);
  if (index == 0) return 0;
  if (OnWriteRecord) OnWriteRecord(*this, index, data);
  std::vector<std::uint8_t> b(size);
  StoreLE16(b.data() + 2, static_cast<std::uint16_t>(data.size()));
  std::copy(position.begin(), position.end(), b.begin() + kPosRecordHeadSize);
  std::copy(data.begin(), data.end(),
            b.begin() + kPosRecordHeadSize + static_cast<std::ptrdiff_t>(position.size()));
  StoreLE16(b.data(), Crc16(b.data() + 2, size - 2));
  Write(b.data(), std::int64_t{index} * 4, size);
  return index;
}

bool TCustomPositionBase::FindPosition(const TMatrix& matrix, TRegionWord region, TSymmetry& code,
                                       TPosData& data) {
  code = 0;
  data.clear();
  region = RegionKey(region);
  if (!active_ || !MatrixFits(matrix, region)) return false;
  const std::uint32_t table = TableOf(region);
  if (table == 0) return false;
  const TPositionHash hash = PositionHash(matrix, region);
  const std::uint32_t entry = ReadWord(table + hash.bucket);
  if (entry == 0) return false;
  std::vector<std::uint32_t> candidates;
  if (entry & kTagListBit) {
    TPosTags tags;
    if (!ReadTagList(entry & ~kTagListBit, tags)) return false;
    for (const auto& t : tags)
      if (t.Tag == hash.tag) candidates.push_back(t.Index);
  } else {
    candidates.push_back(entry);
  }
  const TMatrix target = Target(matrix, region);
  for (const std::uint32_t index : candidates) {
    TPosRecord record;
    TMatrix stored;
    if (!ReadPositionRecord(index, record)) continue;
    if (!DecodeRecord(record, region, stored)) {
      MarkCorrupt();
      continue;
    }
    TSymmetry c = 0;
    if (MatchPosition(target, region, std::move(stored), c)) {
      code = c;
      data = std::move(record.Data);
      return true;
    }
  }
  return false;
}

bool TCustomPositionBase::StorePosition(const TMatrix& matrix, TRegionWord region,
                                        const TPosData& data) {
  region = RegionKey(region);
  if (!active_ || readOnly_ || data.size() > kMaxPosData || !MatrixFits(matrix, region))
    return false;
  TBoardPosition position;
  if (!EncodePosition(matrix, coBest, region, position)) return false;
  // Checked once here, so that no step below can fail halfway for want of room.
  if (std::uint64_t{EndWord()} * 4 + kStoreReserve > kMaxDataSize) return false;
  const TPositionHash hash = PositionHash(matrix, region);
  if (data.empty() && TableOf(region) == 0) return true;
  AddTable(region);
  TPosTable* table = FindTable(region);
  if (table == nullptr) return false;
  const std::uint32_t entry = ReadWord(table->Buckets + hash.bucket);
  const TMatrix target = Target(matrix, region);
  auto placeSingle = [&] {
    if (data.empty()) return true;
    const std::uint32_t index = WriteNewRecord(position, data);
    if (index == 0) return false;
    SetBucket(*table, hash.bucket, index);
    return true;
  };
  if (entry == 0) return placeSingle();

  if (entry & kTagListBit) {
    const std::uint32_t list = entry & ~kTagListBit;
    TPosTags tags;
    // An unreadable list cannot be trusted for any of its items: the bucket starts anew.
    if (!ReadTagList(list, tags)) return placeSingle();
    for (auto& item : tags) {
      if (item.Tag != hash.tag) continue;
      TPosRecord old;
      TMatrix stored;
      TSymmetry c = 0;
      if (!ReadPositionRecord(item.Index, old)) continue;
      if (!DecodeRecord(old, region, stored)) {
        MarkCorrupt();
        continue;
      }
      if (!MatchPosition(target, region, std::move(stored), c)) continue;
      Release(old.Index, old.Size());
      const std::uint32_t index = WriteNewRecord(position, data);
      if (index == 0) return false;
      item.Index = index;
      WriteTagList(list, tags);
      table->Dirty = true;
      return true;
    }
    if (data.empty()) return true;
    if (tags.size() >= 0xFFFF) return false;
    const std::uint32_t index = WriteNewRecord(position, data);
    if (index == 0) return false;
    tags.push_back({hash.tag, index});
    const std::uint32_t longer =
        Allocate(static_cast<std::uint32_t>(kPosRecordHeadSize + kPosTagSize * tags.size()));
    if (longer == 0) return false;
    WriteTagList(longer, tags);
    SetBucket(*table, hash.bucket, longer | kTagListBit);
    Release(list, static_cast<std::uint32_t>(kPosRecordHeadSize + kPosTagSize * (tags.size() - 1)));
    return true;
  }

  TPosRecord old;
  TMatrix stored;
  const bool usable = ReadPositionRecord(entry, old) && DecodeRecord(old, region, stored) &&
                      PositionHash(stored, region).bucket == hash.bucket;
  if (!usable) {
    // A bad record, or one that belongs to another bucket: dropped from this bucket.
    MarkCorrupt();
    return placeSingle();
  }
  const std::uint32_t oldTag = PositionHash(stored, region).tag;
  TSymmetry c = 0;
  if (MatchPosition(target, region, std::move(stored), c)) {
    // Replaced even by empty data: the bucket must not keep pointing at the released block.
    Release(old.Index, old.Size());
    const std::uint32_t index = WriteNewRecord(position, data);
    if (index == 0) return false;
    SetBucket(*table, hash.bucket, index);
    return true;
  }
  if (data.empty()) return true;
  const std::uint32_t index = WriteNewRecord(position, data);
  if (index == 0) return false;
  const TPosTags tags = {{oldTag, entry}, {hash.tag, index}};
  const std::uint32_t list = Allocate(kPosRecordHeadSize + kPosTagSize * 2);
  if (list == 0) return false;
  WriteTagList(list, tags);
  SetBucket(*table, hash.bucket, list | kTagListBit);
  return true;
}

void TCustomPositionBase::Save() {
  if (!active_ || readOnly_) return;
  std::vector<std::uint8_t> buckets(kBucketTableSize);
  for (std::size_t i = 0; i < tables_.size(); ++i) {
    TPosTable& t = tables_[i];
    if (t.Dirty || t.Damaged) {
      Read(buckets.data(), std::int64_t{t.Buckets} * 4, kBucketTableSize);
      t.Crc = Crc32(buckets.data(), buckets.size());
      t.Dirty = t.Damaged = false;
    }
    std::uint8_t record[kPosTableRecordSize], stored[kPosTableRecordSize];
    EncodeTableRecord(t, t.Crc, i > 0 ? tables_[i - 1].Index : 0,
                      i + 1 < tables_.size() ? tables_[i + 1].Index : 0, record);
    // Unchanged records are not rewritten, so that their pages stay untouched.
    Read(stored, std::int64_t{t.Index} * 4, kPosTableRecordSize);
    if (std::memcmp(record, stored, kPosTableRecordSize) != 0)
      Write(record, std::int64_t{t.Index} * 4, kPosTableRecordSize);
  }
  header_.FirstTable = tables_.empty() ? 0 : tables_.front().Index;
  header_.FirstFree = free_.empty() ? 0 : free_.front().Index;
  header_.Modified = Now();
  std::uint8_t bytes[kPosHeaderSize] = {};
  header_.Encode(bytes);
  Write(bytes, 0, kPosHeaderSize);
}

// ---------------------------------------------------------------------------------------------
// TPositionBase

TPosData EncodePosMoves(const TPosMoves& moves) {
  TPosData d(moves.size() * kPosMoveSize);
  for (std::size_t i = 0; i < moves.size(); ++i) {
    std::uint8_t* p = d.data() + i * kPosMoveSize;
    StoreLE16(p, moves[i].Move);
    p[2] = moves[i].Annotation;
    p[3] = moves[i].Flags;
    StoreLE32(p + 4, moves[i].Comment);
  }
  return d;
}

bool DecodePosMoves(const TPosData& data, TPosMoves& moves) {
  moves.clear();
  if (data.size() % kPosMoveSize != 0) return false;
  moves.resize(data.size() / kPosMoveSize);
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const std::uint8_t* p = data.data() + i * kPosMoveSize;
    moves[i] = {LoadLE16(p), p[2], p[3], LoadLE32(p + 4)};
  }
  return true;
}

TPositionBase::TPositionBase() {
  signature_ = kPositionBaseSignature;
  letterBase_.SetHolderExt(".ltr");
  letterBase_.SetBackupExt(".lbk");
  letterBase_.SetTagExt(".lid");
}

TPositionBase::~TPositionBase() {
  TPositionBase::Close();
}

bool TPositionBase::Open(const std::string& fileName) {
  return OpenAll(fileName, false);
}

bool TPositionBase::CreateNew(const std::string& fileName) {
  return OpenAll(fileName, true);
}

std::vector<std::string> TPositionBase::FileSet(const std::string& fileName) {
  std::vector<std::string> files;
  for (const char* ext : {".pos", ".str", ".sid", ".ltr", ".lid"})
    files.push_back(ChangeFileExt(fileName, ext));
  return files;
}

std::string TPositionBase::CommitRecord(const std::string& fileName) {
  // Beside the file itself when the name is a link, as the side files are.
  return ResolvePath(ChangeFileExt(fileName, ".pos")) + ".commit";
}

bool TPositionBase::RecoverSave(const std::string& fileName, bool mayWrite) {
  const std::string record = CommitRecord(fileName);
  std::vector<std::string> sides;
  for (const auto& f : FileSet(fileName)) sides.push_back(ResolvePath(f) + ".saving");
  TFolderLock lock(record);
  return RecoverCommit(record, sides, mayWrite) != TRecoverResult::rrFailed;
}

bool TPositionBase::SaveTogether() {
  std::vector<TCustomSaveMap*> maps = {this, &commentBase_.HolderFile(), &commentBase_.TagFile(),
                                       &letterBase_.HolderFile(), &letterBase_.TagFile()};
  std::vector<TCustomSaveMap*> changed;
  if (FileName().empty()) return false;
  for (TCustomSaveMap* m : maps) {
    // A file without a name (never opened) has nothing to save beside the others.
    if (!m->Active() || m->ReadOnly() || m->FileName().empty()) continue;
    m->StampSignature();
    if (m->Changed()) changed.push_back(m);
  }
  if (changed.empty()) return true;
  const std::string record = CommitRecord(FileName());
  TFolderLock lock(record);
  // A record left by an earlier commit of this session that could not finish is finished by
  // the next open; a new set must not replace it.
  if (FileExists(record)) {
    for (TCustomSaveMap* m : changed) m->AddErrors(ErrIO);
    return false;
  }
  bool prepared = true;
  for (TCustomSaveMap* m : changed) {
    if (!m->PrepareSide() && m->SaveEnabled()) prepared = false;
    if (!prepared) break;
  }
  std::vector<TCommitEntry> entries;
  for (TCustomSaveMap* m : changed) {
    // A string base that gave up saving after one of its files was written gives up both.
    if (m->HasSide() && !m->SaveEnabled()) m->FinishSide(false);
    if (m->HasSide()) entries.push_back({m->SidePath(), m->TargetPath()});
  }
  const TCommitResult result =
      prepared && !entries.empty() ? CommitFiles(record, entries) : TCommitResult::crNotCommitted;
  for (TCustomSaveMap* m : changed) {
    if (result == TCommitResult::crPending) m->AddErrors(ErrIO);
    if (!m->HasSide()) continue;
    const bool placed = result != TCommitResult::crNotCommitted && !FileExists(m->SidePath());
    m->FinishSide(placed, result == TCommitResult::crPending);
  }
  return result == TCommitResult::crCommitted;
}

bool TPositionBase::OpenAll(const std::string& fileName, bool create) {
  Close();
  const std::string name = ChangeFileExt(fileName, ".pos");
  if (!RecoverSave(name, !readOnly_)) {
    errors_ |= ErrIO;
    return false;
  }
  const bool existed = FileExists(name);
  // A missing file is created here rather than through the inherited Open, which would come
  // back to this class's CreateNew.
  const bool opened =
      create || !existed ? TCustomPositionBase::CreateNew(name) : TCustomPositionBase::Open(name);
  if (!opened) return false;
  bool strings = true;
  for (TStringBase* b : {&commentBase_, &letterBase_}) {
    b->SetReadOnly(readOnly_);
    strings = strings && (create ? b->CreateNew(fileName) : b->Open(fileName));
  }
  if (strings) return true;
  // Nothing of this failed open is written; a position file it created goes again.
  const bool saving = SaveEnabled();
  TCustomSaveMap::SetSaveEnabled(false);
  TCustomPositionBase::Close();
  TCustomSaveMap::SetSaveEnabled(saving);
  if (!existed && !readOnly_) RemoveFile(name);
  commentBase_.Close();
  letterBase_.Close();
  return false;
}

void TPositionBase::Close() {
  if (Active() && !ReadOnly() && !SaveTogether()) {
    // What the commit did not save stays unsaved: no file is saved apart from the others.
    const bool saving[3] = {TCustomSaveMap::SaveEnabled(), commentBase_.SaveEnabled(),
                            letterBase_.SaveEnabled()};
    TCustomSaveMap::SetSaveEnabled(false);
    commentBase_.SetSaveEnabled(false);
    letterBase_.SetSaveEnabled(false);
    TCustomPositionBase::Close();
    commentBase_.Close();
    letterBase_.Close();
    TCustomSaveMap::SetSaveEnabled(saving[0]);
    commentBase_.SetSaveEnabled(saving[1]);
    letterBase_.SetSaveEnabled(saving[2]);
    return;
  }
  TCustomPositionBase::Close();
  commentBase_.Close();
  letterBase_.Close();
}

std::uint32_t TPositionBase::TakeErrors() {
  return TCustomPositionBase::TakeErrors() | commentBase_.TakeErrors() | letterBase_.TakeErrors();
}

bool TPositionBase::FindMoves(const TMatrix& matrix, TRegionWord region, TPosMoves& moves) {
  moves.clear();
  TSymmetry code = 0;
  TPosData data;
  if (!FindPosition(matrix, region, code, data) || !DecodePosMoves(data, moves)) return false;
  for (auto& m : moves) m.Move = TransformMoveWord(m.Move, code, region);
  return true;
}

bool TPositionBase::StoreMoves(const TMatrix& matrix, TRegionWord region, const TPosMoves& moves) {
  return StorePosition(matrix, region, EncodePosMoves(moves));
}

void TPositionBase::SetSaveEnabled(bool enabled) {
  TCustomSaveMap::SetSaveEnabled(enabled);
  commentBase_.SetSaveEnabled(enabled);
  letterBase_.SetSaveEnabled(enabled);
}

void TPositionBase::SetDiskFullHandler(TDiskFullHandler handler) {
  diskFull_ = std::move(handler);
  if (!diskFull_) {
    OnDiskFull = nullptr;
    commentBase_.OnDiskFull = nullptr;
    letterBase_.OnDiskFull = nullptr;
    return;
  }
  OnDiskFull = [this](TCustomMap& sender) {
    if (!diskFull_(sender.FileName())) static_cast<TCustomSaveMap&>(sender).SetSaveEnabled(false);
  };
  // A string base gives up both of its files together, so that its index never describes
  // records that were not saved.
  const auto forBase = [this](TStringBase& sender) {
    if (!diskFull_(sender.FileName())) sender.SetSaveEnabled(false);
  };
  commentBase_.OnDiskFull = forBase;
  letterBase_.OnDiskFull = forBase;
}

bool TPositionBase::Reopen() {
  const std::string name = FileName();
  if (name.empty()) return false;
  Close();
  return Open(name);
}

// ---------------------------------------------------------------------------------------------
// Listing and checking

void ForEachPosition(TCustomPositionBase& base,
                     const std::function<void(const TPosTable&, const TPosRecord&)>& visit) {
  const std::vector<TPosTable> tables = base.Tables();
  // A damaged file may name one list from many buckets; each is listed once, so the work stays
  // bounded by the size of the file.
  std::unordered_set<std::uint32_t> lists;
  for (const auto& t : tables) {
    const std::vector<std::uint32_t> words = base.ReadBuckets(t);
    for (const std::uint32_t entry : words) {
      if (entry == 0) continue;
      std::vector<std::uint32_t> indexes;
      if (entry & kTagListBit) {
        TPosTags tags;
        if (lists.insert(entry).second && base.ReadTagList(entry & ~kTagListBit, tags))
          for (const auto& item : tags) indexes.push_back(item.Index);
      } else {
        indexes.push_back(entry);
      }
      for (const std::uint32_t index : indexes) {
        TPosRecord record;
        if (base.ReadPositionRecord(index, record)) visit(t, record);
      }
    }
  }
}

bool TPosBaseCheck::Ok() const {
  if (!HeaderOk || !ChainsOk || BadRecords != 0) return false;
  return std::none_of(Tables.begin(), Tables.end(), [](const auto& t) { return t.Damaged; });
}

TPosBaseCheck CheckPositionBase(TCustomPositionBase& base) {
  TPosBaseCheck check;
  check.HeaderOk = base.HeaderIntact();
  check.ChainsOk = base.ChainsIntact();
  const std::vector<TPosTable> tables = base.Tables();
  std::unordered_set<std::uint32_t> lists;
  for (const auto& t : tables) {
    TPosTableCheck tc;
    tc.Region = t.Region;
    tc.Index = t.Index;
    tc.Damaged = t.Damaged;
    const std::vector<std::uint32_t> words = base.ReadBuckets(t);
    for (std::uint32_t bucket = 0; bucket < words.size(); ++bucket) {
      const std::uint32_t entry = words[bucket];
      if (entry == 0) continue;
      TPosTags items;
      if (entry & kTagListBit) {
        if (!lists.insert(entry).second) {
          ++tc.BadRecords;  // a second bucket naming the same list
          continue;
        }
        ++tc.TagLists;
        if (!base.ReadTagList(entry & ~kTagListBit, items)) {
          ++tc.BadRecords;
          continue;
        }
      } else {
        items.push_back({0, entry});
      }
      for (const auto& item : items) {
        TPosRecord record;
        TMatrix m;
        TRegionWord region = 0;
        bool good = base.ReadPositionRecord(item.Index, record) &&
                    DecodePosition(record.Position, m, region) && region == t.Region;
        if (good) {
          // The record must be where its hash puts it.
          const TPositionHash h = PositionHash(m, region);
          good = h.bucket == bucket && ((entry & kTagListBit) == 0 || h.tag == item.Tag);
        }
        if (good)
          ++tc.Positions;
        else
          ++tc.BadRecords;
      }
    }
    check.Positions += tc.Positions;
    check.BadRecords += tc.BadRecords;
    check.Tables.push_back(tc);
  }
  for (const auto& f : base.FreeBlocks()) {
    ++check.FreeBlocks;
    check.FreeBytes += f.Size;
  }
  return check;
}

}  // namespace kessaro
