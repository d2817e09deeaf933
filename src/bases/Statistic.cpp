#include "bases/Statistic.h"

#include <algorithm>
#include <cstring>

#include "storage/ByteOrder.h"
#include "storage/FileMapping.h"

namespace kessaro {
namespace {

constexpr std::uint32_t kMaxOverflow = kStatOverflowBit;

bool FitsCell(const StatTriple& t) {
  return t.MoverWins <= 0x3FF && t.OpponentWins <= 0x3FF && t.Unknown <= 7;
}

StatTriple LoadOverflow(const std::uint8_t* p) {
  return {LoadLE32(p), LoadLE32(p + 4), LoadLE32(p + 8)};
}

}  // namespace

const char* const kStatCategoryNames[kStatCategories] = {"Pro",     "Pro/SemiPro", "Strong Ama",
                                                         "Ama Dan", "Kyu",         "Unknown"};

void AddTriple(const StatTriple& source, StatTriple& destination) {
  destination.MoverWins += source.MoverWins;
  destination.OpponentWins += source.OpponentWins;
  destination.Unknown += source.Unknown;
}

void MergeStatRecords(const StatRecord& source, StatRecord& destination) {
  for (std::size_t i = 0; i < kStatCategories; ++i)
    AddTriple(source.Triples[i], destination.Triples[i]);
  for (std::size_t i = 0; i < 2; ++i)
    destination.Strongest[i] = std::max(destination.Strongest[i], source.Strongest[i]);
}

bool SameStatRecords(const StatRecord& a, const StatRecord& b) {
  return a == b;
}

TStatistic::~TStatistic() {
  Close();
}

std::uint32_t TStatistic::TakeErrors() {
  const std::uint32_t e = errors_;
  errors_ = 0;
  return e;
}

std::uint32_t TStatistic::OverflowCount() const {
  return readOnly_ ? overflowCount_ : static_cast<std::uint32_t>(overflow_.size());
}

std::uint64_t TStatistic::LayoutSize() const {
  return RecordsEnd() + std::uint64_t{kStatOverflowSize} * OverflowCount();
}

void TStatistic::EncodeHeader(std::uint8_t* out) const {
  StoreLE32(out, ownerIdentity_);
  StoreLE32(out + 4, counterCount_);
  StoreLE32(out + 8, recordCount_);
  StoreLE32(out + 12, OverflowCount());
}

void TStatistic::SetReadOnly(bool readOnly) {
  if (!active_) readOnly_ = readOnly;
}

void TStatistic::Open(const std::string& fileName) {
  Close();
  errors_ = 0;
  fileName_ = fileName;
  fileHandle_ = readOnly_ ? OpenFile(fileName, TFileAccess::faRead, TFileCreation::fcOpenExisting,
                                     TFileShare::fsShareRead)
                          : OpenFile(fileName, TFileAccess::faReadWrite,
                                     TFileCreation::fcOpenAlways, TFileShare::fsExclusive);
  active_ = fileHandle_ != kInvalidHandle;
  if (!active_) return;
  ownerIdentity_ = counterCount_ = recordCount_ = overflowCount_ = 0;
  overflow_.clear();
  const auto size = FileSizeOf(fileHandle_);
  if (!size) {
    errors_ |= ErrIO;
    Close();
    return;
  }
  fileSize_ = *size;
  if (fileSize_ < kStatHeaderSize) {
    if (readOnly_) {
      errors_ |= ErrFormat;
      Close();
    }
    return;  // a writable file starts with an all-zero header
  }
  std::uint8_t header[kStatHeaderSize];
  if (!ReadAt(fileHandle_, header, sizeof header, 0)) {
    errors_ |= ErrIO;
    Close();
    return;
  }
  ownerIdentity_ = LoadLE32(header);
  counterCount_ = LoadLE32(header + 4);
  recordCount_ = LoadLE32(header + 8);
  overflowCount_ = LoadLE32(header + 12);
  // The counts must describe a file that fits; divide first so that no product overflows.
  const std::uint64_t stride = RecordSize();
  const bool recordsFit =
      recordCount_ == 0 || stride <= (fileSize_ - kStatHeaderSize) / recordCount_;
  const bool fits = recordsFit && std::uint64_t{kStatOverflowSize} * overflowCount_ <=
                                      fileSize_ - kStatHeaderSize - stride * recordCount_;
  if (!fits) {
    errors_ |= ErrFormat;
    if (readOnly_) {
      Close();
      return;
    }
    // A writable file keeps what fits of its records and drops the overflow it cannot read.
    recordCount_ = static_cast<std::uint32_t>(recordsFit ? recordCount_
                                                         : (fileSize_ - kStatHeaderSize) /
                                                               std::max<std::uint64_t>(stride, 1));
    overflowCount_ = 0;
  }
  if (!readOnly_ && overflowCount_ > 0) {
    std::vector<std::uint8_t> bytes(std::size_t{kStatOverflowSize} * overflowCount_);
    if (!ReadAt(fileHandle_, bytes.data(), bytes.size(), RecordsEnd())) {
      errors_ |= ErrIO;
    } else {
      overflow_.reserve(overflowCount_);
      for (std::uint32_t j = 0; j < overflowCount_; ++j)
        overflow_.push_back(LoadOverflow(&bytes[std::size_t{kStatOverflowSize} * j]));
    }
  }
}

void TStatistic::Close() {
  if (active_ && !readOnly_) {
    // Overflow entries after the records, then the header; the file is cut to the layout.
    std::vector<std::uint8_t> bytes(std::size_t{kStatOverflowSize} * overflow_.size());
    for (std::size_t j = 0; j < overflow_.size(); ++j) {
      StoreLE32(&bytes[12 * j], overflow_[j].MoverWins);
      StoreLE32(&bytes[12 * j + 4], overflow_[j].OpponentWins);
      StoreLE32(&bytes[12 * j + 8], overflow_[j].Unknown);
    }
    if (!bytes.empty()) WriteBytes(RecordsEnd(), bytes.data(), bytes.size());
    std::uint8_t header[kStatHeaderSize];
    EncodeHeader(header);
    WriteBytes(0, header, sizeof header);
  }
  Unmap();
  if (active_ && !readOnly_ && !SetEndOfFile(fileHandle_, LayoutSize())) errors_ |= ErrIO;
  if (fileHandle_ != kInvalidHandle && !CloseFile(fileHandle_)) errors_ |= ErrIO;
  fileHandle_ = kInvalidHandle;
  active_ = false;
  fileSize_ = 0;
  overflow_.clear();
}

bool TStatistic::MapView(std::uint64_t size) {
  if (size == 0 || size > SIZE_MAX) return false;
  if (!readOnly_) {
    if (!ReserveSpace(fileHandle_, 0, size)) {
      errors_ |= ErrMapping;
      if (fileSize_ < size) SetEndOfFile(fileHandle_, fileSize_);
      return false;
    }
    fileSize_ = std::max(fileSize_, size);
  }
  void* view = MapFile(fileHandle_, static_cast<std::size_t>(size), !readOnly_);
  if (view == nullptr) {
    errors_ |= ErrMapping;
    return false;
  }
  view_ = static_cast<std::uint8_t*>(view);
  mapSize_ = size;
  return true;
}

void TStatistic::Unmap() {
  if (view_ == nullptr) return;
  if (!UnmapFile(view_, static_cast<std::size_t>(mapSize_))) errors_ |= ErrIO;
  view_ = nullptr;
  mapSize_ = 0;
  if (active_ && !readOnly_) {
    if (!SetEndOfFile(fileHandle_, LayoutSize()))
      errors_ |= ErrIO;
    else
      fileSize_ = LayoutSize();
  }
}

void TStatistic::SetMapped(bool mapped) {
  if (!active_ || mapped == Mapped()) return;
  if (!mapped) {
    Unmap();
    return;
  }
  MapView(readOnly_ ? fileSize_ : LayoutSize() + kStatWritableRoom);
}

bool TStatistic::ReadBytes(std::uint64_t offset, void* buffer, std::size_t count) {
  if (view_ != nullptr) {
    if (offset > mapSize_ || count > mapSize_ - offset) return false;
    std::memcpy(buffer, view_ + offset, count);
    return true;
  }
  if (offset > fileSize_ || count > fileSize_ - offset) return false;
  if (ReadAt(fileHandle_, buffer, count, offset)) return true;
  errors_ |= ErrIO;
  return false;
}

bool TStatistic::WriteBytes(std::uint64_t offset, const void* buffer, std::size_t count) {
  if (view_ != nullptr && (offset > mapSize_ || count > mapSize_ - offset)) {
    // Grow the mapping with the usual room; without it fall back to positioned writes.
    const std::uint64_t wanted = offset + count + kStatWritableRoom;
    Unmap();
    MapView(wanted);
  }
  if (view_ != nullptr) {
    std::memcpy(view_ + offset, buffer, count);
    return true;
  }
  if (!WriteAt(fileHandle_, buffer, count, offset)) {
    errors_ |= ErrIO;
    return false;
  }
  fileSize_ = std::max(fileSize_, offset + count);
  return true;
}

void TStatistic::ReadRecord(std::uint32_t index, StatRecord& out) {
  out = StatRecord{};
  if (!active_ || index >= recordCount_) return;
  const std::uint64_t stride = RecordSize();
  std::uint8_t bytes[2 + kStatCellSize * kStatCategories] = {};
  const std::uint32_t cells = std::min(counterCount_, kStatCategories);
  if (!ReadBytes(kStatHeaderSize + stride * index, bytes, 2 + kStatCellSize * cells)) {
    errors_ |= ErrCorrupt;
    return;
  }
  out.Strongest = {bytes[0], bytes[1]};
  for (std::uint32_t c = 0; c < cells; ++c) {
    const std::uint32_t v = LoadLE24(&bytes[2 + kStatCellSize * c]);
    StatTriple& t = out.Triples[c];
    if (!(v & kStatOverflowBit)) {
      t = {v & 0x3FF, (v >> 10) & 0x3FF, (v >> 20) & 7};
      continue;
    }
    const std::uint32_t entry = v & (kStatOverflowBit - 1);
    if (!readOnly_) {
      if (entry < overflow_.size())
        t = overflow_[entry];
      else
        errors_ |= ErrCorrupt;
      continue;
    }
    std::uint8_t e[kStatOverflowSize];
    if (entry >= overflowCount_ ||
        !ReadBytes(RecordsEnd() + std::uint64_t{kStatOverflowSize} * entry, e, sizeof e)) {
      errors_ |= ErrCorrupt;
      continue;
    }
    t = LoadOverflow(e);
  }
}

bool TStatistic::SetCounterCount(std::uint32_t count) {
  if (!active_ || readOnly_ || recordCount_ != 0 || count > 0xFFFF) return false;
  counterCount_ = count;
  return true;
}

void TStatistic::WriteRecord(std::uint32_t index, const StatRecord& record) {
  if (!active_ || readOnly_ || index == 0xFFFFFFFF) return;
  const std::uint64_t stride = RecordSize();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride), 0);
  if (index > recordCount_) {
    // Records skipped over may hold the old overflow bytes: clear them.
    const std::uint64_t from = RecordsEnd();
    const std::uint64_t to = kStatHeaderSize + stride * index;
    std::vector<std::uint8_t> zeros(65536, 0);
    for (std::uint64_t at = from; at < to; at += zeros.size())
      if (!WriteBytes(at, zeros.data(),
                      static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), to - at))))
        return;
  }
  bytes[0] = record.Strongest[0];
  bytes[1] = record.Strongest[1];
  const std::uint32_t cells = std::min(counterCount_, kStatCategories);
  for (std::uint32_t c = 0; c < cells; ++c) {
    const StatTriple& t = record.Triples[c];
    std::uint32_t v;
    if (FitsCell(t)) {
      v = t.MoverWins | t.OpponentWins << 10 | t.Unknown << 20;
    } else {
      if (overflow_.size() >= kMaxOverflow) {
        errors_ |= ErrIO;
        return;
      }
      v = kStatOverflowBit | static_cast<std::uint32_t>(overflow_.size());
      overflow_.push_back(t);
    }
    for (std::uint32_t b = 0; b < kStatCellSize; ++b)
      bytes[2 + kStatCellSize * c + b] = static_cast<std::uint8_t>(v >> (8 * b));
  }
  if (!WriteBytes(kStatHeaderSize + stride * index, bytes.data(), bytes.size())) return;
  recordCount_ = std::max(recordCount_, index + 1);
}

TStatCheck CheckStatistic(TStatistic& statistic, std::size_t reportLimit) {
  TStatCheck result;
  result.records = statistic.RecordCount();
  result.sizeMatches = statistic.FileSize() == statistic.LayoutSize();
  StatRecord record;
  for (std::uint32_t i = 0; i < statistic.RecordCount(); ++i) {
    statistic.TakeErrors();
    statistic.ReadRecord(i, record);
    if (statistic.TakeErrors() == 0) continue;
    ++result.badRecords;
    if (result.firstBad.size() < reportLimit) result.firstBad.push_back(i);
  }
  return result;
}

}  // namespace kessaro
