#include "strings/StringBase.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "board/CheckSum.h"
#include "board/SealedHeader.h"
#include "platform/FileSystem.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

// The CRC-16 of a 16-bit length followed by a 32-bit word: record headers and tag entries.
std::uint16_t PairCheck(std::uint16_t length, std::uint32_t word) {
  std::uint8_t bytes[6];
  StoreLE16(bytes, length);
  StoreLE32(bytes + 2, word);
  return Crc16(bytes, sizeof bytes);
}

std::int64_t UnitOffset(std::uint32_t unit) {
  return static_cast<std::int64_t>(unit) * 4;
}

// Largest data size of a file of at most 4 GiB.
constexpr std::uint64_t kMaxDataSize = 0xFFFFFFFFu - 4;

}  // namespace

bool TStringRecordHead::Valid() const {
  return Check == PairCheck(Length, Link);
}

// ---------------------------------------------------------------------------------------------
// Holder file

TStringHolderFile::TStringHolderFile() {
  SetSignature(kStringHolderSignature);
  SetGrowBy(kStringFileGrowBy);
  OnBeforeSave = [this](TCustomMap&) {
    if (!headerLoaded_ || ReadOnly()) return;
    LastSaved = Now();
    WriteHeader();
  };
}

TStringHolderFile::~TStringHolderFile() {
  Close();  // while the header fields that OnBeforeSave writes still exist
}

void TStringHolderFile::Close() {
  TSaveMap::Close();
  headerLoaded_ = false;
}

bool TStringHolderFile::Open(const std::string& fileName) {
  created_ = false;
  headerLoaded_ = false;
  if (!TSaveMap::Open(fileName)) return false;
  if (headerLoaded_) return true;  // created just now
  if (!ReadOnly() && LogicalDataSize() == 0) {
    InitHeader();
    return true;
  }
  if (!LoadHeader()) {
    MarkCorrupt();
    Discard();
    return false;
  }
  return true;
}

bool TStringHolderFile::CreateNew(const std::string& fileName) {
  created_ = false;
  headerLoaded_ = false;
  if (!TSaveMap::CreateNew(fileName)) return false;
  created_ = true;
  InitHeader();
  return true;
}

void TStringHolderFile::InitHeader() {
  CreatedTime = Now();
  LastSaved = 0;
  StringCount = 0;
  FreeHead = 0;
  MaxID = 0;
  headerLoaded_ = true;
  WriteHeader();
}

void TStringHolderFile::WriteHeader() {
  std::uint8_t h[kStringHeaderSize] = {};
  StoreDouble(h + kShCreated, CreatedTime);
  StoreDouble(h + kShLastSaved, LastSaved);
  StoreLE32(h + kShStringCount, static_cast<std::uint32_t>(StringCount));
  StoreLE32(h + kShFreeHead, FreeHead);
  StoreLE32(h + kShMaxID, MaxID);
  WriteSealedHeader(*this, h);
}

bool TStringHolderFile::LoadHeader() {
  if (LogicalDataSize() < kStringHeaderSize) return false;
  std::uint8_t h[kStringHeaderSize];
  if (!ReadSealedHeader(*this, h)) return false;
  CreatedTime = LoadDouble(h + kShCreated);
  LastSaved = LoadDouble(h + kShLastSaved);
  StringCount = static_cast<std::int32_t>(LoadLE32(h + kShStringCount));
  FreeHead = LoadLE32(h + kShFreeHead);
  MaxID = LoadLE32(h + kShMaxID);
  headerLoaded_ = true;
  return true;
}

void TStringHolderFile::Discard() {
  const bool saving = SaveEnabled();
  SetSaveEnabled(false);
  Close();
  SetSaveEnabled(saving);
}

TStringRecordHead TStringHolderFile::ReadHead(std::uint32_t unit) {
  std::uint8_t b[kRecordHeadSize];
  Read(b, UnitOffset(unit), kRecordHeadSize);
  return {LoadLE16(b), LoadLE16(b + 2), LoadLE32(b + 4)};
}

void TStringHolderFile::WriteHead(std::uint32_t unit, std::uint16_t length, std::uint32_t link) {
  std::uint8_t b[kRecordHeadSize];
  StoreLE16(b, PairCheck(length, link));
  StoreLE16(b + 2, length);
  StoreLE32(b + 4, link);
  Write(b, UnitOffset(unit), kRecordHeadSize);
}

// ---------------------------------------------------------------------------------------------
// Tag file

TStringTagFile::TStringTagFile() {
  SetSignature(kStringTagSignature);
  SetGrowBy(kStringFileGrowBy);
}

bool TStringTagFile::ReadEntry(std::uint32_t id, TStringTagEntry& entry) {
  entry = {};
  std::uint8_t b[kTagEntrySize];
  Read(b, static_cast<std::int64_t>(id) * kTagEntrySize, kTagEntrySize);
  const std::uint16_t length = LoadLE16(b + 2);
  const std::uint32_t unit = LoadLE32(b + 4);
  if (length == 0 && unit == 0) return true;
  if (LoadLE16(b) != PairCheck(length, unit)) return false;
  entry = {length, unit};
  return true;
}

void TStringTagFile::WriteEntry(std::uint32_t id, const TStringTagEntry& entry) {
  std::uint8_t b[kTagEntrySize];
  const bool empty = entry.Length == 0 && entry.Unit == 0;
  StoreLE16(b, empty ? 0 : PairCheck(entry.Length, entry.Unit));
  StoreLE16(b + 2, entry.Length);
  StoreLE32(b + 4, entry.Unit);
  Write(b, static_cast<std::int64_t>(id) * kTagEntrySize, kTagEntrySize);
}

void TStringTagFile::Clear() {
  const std::uint32_t size = std::max(LogicalDataSize(), DataSize());
  static const std::vector<std::uint8_t> zeros(65536, 0);
  for (std::uint32_t at = 0; at < size;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(zeros.size(), size - at));
    Write(zeros.data(), at, n);
    at += n;
  }
  SetDataSize(0);
}

// ---------------------------------------------------------------------------------------------
// String base

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
  const auto slash = name.find_last_of('/');
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + ext;
  return name.substr(0, dot) + ext;
}

std::uint32_t TakeErrors(TStringBase* base) {
  return base != nullptr ? base->TakeErrors() : ErrNoObject;
}

TStringBase::TStringBase() {
  // Without an owner's handler a full disk gives up saving that file, as an unhooked save
  // map does (a hooked one would ask forever).
  holder_.OnDiskFull = [this](TCustomMap&) {
    if (OnDiskFull)
      OnDiskFull(*this);
    else
      holder_.SetSaveEnabled(false);
  };
  tags_.OnDiskFull = [this](TCustomMap&) {
    if (OnDiskFull)
      OnDiskFull(*this);
    else
      tags_.SetSaveEnabled(false);
  };
}

TStringBase::~TStringBase() {
  Close();
}

std::uint32_t TStringBase::TakeErrors() {
  const std::uint32_t e = errors_ | tags_.TakeErrors() | holder_.TakeErrors();
  errors_ = 0;
  return e;
}

void TStringBase::SetSaveEnabled(bool value) {
  tags_.SetSaveEnabled(value);
  holder_.SetSaveEnabled(value);
}

void TStringBase::SetReadOnly(bool value) {
  if (!active_) readOnly_ = value;
}
void TStringBase::SetMappedTags(bool value) {
  if (!active_) mappedTags_ = value;
}
void TStringBase::SetHolderExt(const std::string& ext) {
  if (!active_) holderExt_ = ext;
}
void TStringBase::SetTagExt(const std::string& ext) {
  if (!active_) tagExt_ = ext;
}
void TStringBase::SetBackupExt(const std::string& ext) {
  if (!active_) backupExt_ = ext;
}

bool TStringBase::Open(const std::string& name) {
  return OpenFiles(name, false);
}

bool TStringBase::CreateNew(const std::string& name) {
  return OpenFiles(name, true);
}

bool TStringBase::OpenFiles(const std::string& name, bool create) {
  Close();
  tags_.SetReadOnly(readOnly_);
  tags_.SetMapped(mappedTags_);
  holder_.SetReadOnly(readOnly_);
  holder_.SetMapped(true);
  errors_ = 0;
  tags_.TakeErrors();
  holder_.TakeErrors();

  fileName_ = ChangeFileExt(name, holderExt_);
  const std::string tagName = ChangeFileExt(name, tagExt_);
  if (!create && !FileExists(fileName_)) {
    const std::string backup = ChangeFileExt(fileName_, backupExt_);
    if (FileExists(backup) && OnAskRestore) {
      const std::string_view format = kRestoreQuestion;
      const auto at = format.find("%s");
      const std::string question =
          std::string(format.substr(0, at)) + fileName_ + std::string(format.substr(at + 2));
      if (OnAskRestore(*this, question) && !CopyFileNoOverwrite(backup, fileName_)) {
        errors_ = ErrOpenFailed;
        return false;
      }
    }
  }
  // CreateNew empties existing files, so they count as created.
  holderExisted_ = !create && FileExists(fileName_);
  tagExisted_ = !create && FileExists(tagName);

  bool ok = create ? holder_.CreateNew(fileName_) : holder_.Open(fileName_);
  if (ok) ok = create ? tags_.CreateNew(tagName) : tags_.Open(tagName);
  if (!ok) {
    errors_ |= ErrOpenFailed;
    Abandon();
    return false;
  }
  active_ = true;
  LoadFreeList();
  if (tags_.LogicalDataSize() == 0) RebuildIndex();
  CheckOverlaps();
  if ((tags_.Errors() | holder_.Errors()) != 0) {
    errors_ |= ErrOpenFailed;
    Abandon();
    return false;
  }
  return true;
}

void TStringBase::Abandon() {
  const bool holderSaving = holder_.SaveEnabled();
  const bool tagSaving = tags_.SaveEnabled();
  holder_.SetSaveEnabled(false);
  tags_.SetSaveEnabled(false);
  Close();
  holder_.SetSaveEnabled(holderSaving);
  tags_.SetSaveEnabled(tagSaving);
}

void TStringBase::Close() {
  // A file this open created and that is not saved would be left as a bare unsigned stub
  // that no later open accepts: it goes.
  const bool dropHolder = holder_.Active() && !holderExisted_;
  const bool dropTags = tags_.Active() && !tagExisted_;
  ClearFreeList();
  tags_.Close();
  holder_.Close();
  if (dropHolder && !holder_.SaveEnabled() && !holder_.SavedSinceOpen())
    RemoveFile(holder_.FileName());
  if (dropTags && !tags_.SaveEnabled() && !tags_.SavedSinceOpen()) RemoveFile(tags_.FileName());
  active_ = false;
}

void TStringBase::ClearFreeList() {
  freeList_.clear();
  freeByClass_.clear();
  freeUnits_.clear();
}

void TStringBase::LoadFreeList() {
  ClearFreeList();
  const std::uint32_t end = holder_.EndUnit();
  // Every block is checked before it joins the list: a block that is damaged, outside the
  // records, met twice or in fact a used record (its tag entry leads to it) ends the walk, so
  // that reuse never overwrites a record.
  for (std::uint32_t unit = holder_.FreeHead; unit != 0;) {
    if (unit < kStringFirstUnit || unit >= end || freeUnits_.count(unit) != 0) {
      holder_.MarkCorrupt();
      return;
    }
    const TStringRecordHead head = holder_.ReadHead(unit);
    if (!head.Valid() || static_cast<std::uint64_t>(unit) + RecordUnits(head.Length) > end) {
      holder_.MarkCorrupt();
      return;
    }
    TStringTagEntry tag;
    if (head.Link != 0 && head.Link <= kMaxStringID && tags_.ReadEntry(head.Link, tag) &&
        tag.Unit == unit) {
      holder_.MarkCorrupt();
      return;
    }
    freeList_.push_back({head.Length, unit});
    freeByClass_[SizeClass(head.Length)].push_back(std::prev(freeList_.end()));
    freeUnits_.insert(unit);
    unit = head.Link;
  }
}

void TStringBase::CheckOverlaps() {
  struct Span {
    std::uint64_t from, to;
  };
  std::vector<Span> spans;
  spans.reserve(freeList_.size());
  for (const TStringFreeBlock& b : freeList_)
    spans.push_back({b.Unit, std::uint64_t{b.Unit} + RecordUnits(b.Length)});
  const std::uint32_t end = holder_.EndUnit();
  const std::uint32_t ids = std::min(tags_.EntryCount(), kMaxStringID + 1);
  for (std::uint32_t id = 1; id < ids; ++id) {
    TStringTagEntry e;
    // Entries that do not lead to their record are dealt with when they are used.
    if (!tags_.ReadEntry(id, e) || e.Unit < kStringFirstUnit || e.Unit >= end) continue;
    const TStringRecordHead head = holder_.ReadHead(e.Unit);
    if (!head.Valid() || head.Length != e.Length || head.Link != id) continue;
    spans.push_back({e.Unit, std::uint64_t{e.Unit} + RecordUnits(e.Length)});
  }
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.from < b.from; });
  std::uint64_t reached = 0;
  for (const Span& span : spans) {
    if (span.from < reached) {
      holder_.MarkCorrupt();
      return;
    }
    reached = span.to;
  }
}

std::vector<TStringFreeBlock> TStringBase::FreeList() const {
  return {freeList_.begin(), freeList_.end()};
}

TStringBase::TRecordRef TStringBase::RecordOf(std::uint32_t id) {
  TRecordRef r;
  if (id == 0 || id > kMaxStringID) return r;
  TStringTagEntry e;
  if (!tags_.ReadEntry(id, e)) {
    tags_.MarkCorrupt();
    r.listed = true;
    return r;
  }
  if (e.Unit == 0 && e.Length == 0) return r;
  r.listed = true;
  if (e.Unit < kStringFirstUnit || e.Unit >= holder_.EndUnit() || freeUnits_.count(e.Unit) != 0) {
    tags_.MarkCorrupt();
    return r;
  }
  const TStringRecordHead head = holder_.ReadHead(e.Unit);
  if (!head.Valid()) {
    holder_.MarkCorrupt();
    return r;
  }
  if (head.Length != e.Length || head.Link != id) {
    tags_.MarkCorrupt();
    return r;
  }
  if (UnitOffset(e.Unit) + kRecordDataOffset + e.Length > holder_.LogicalDataSize()) {
    holder_.MarkCorrupt();
    return r;
  }
  r.entry = e;
  r.verified = true;
  return r;
}

void TStringBase::Read(std::uint32_t id, std::unique_ptr<TStringSet>& set) {
  if (!active_) return;
  const TRecordRef r = RecordOf(id);
  if (!r.verified) {
    if (set) set->Clear();
    return;
  }
  if (!set) set = std::make_unique<TStringSet>();
  const std::int64_t at = UnitOffset(r.entry.Unit);
  buffer_.resize(2 + std::size_t{r.entry.Length});
  holder_.Read(buffer_.data(), at + kRecordHeadSize, static_cast<std::uint32_t>(buffer_.size()));
  set->SetBuffer(buffer_.data() + 2, r.entry.Length);
  // A damaged text is kept as read (the set's readers walk it defensively) and reported.
  if (LoadLE16(buffer_.data()) != Crc16(buffer_.data() + 2, r.entry.Length)) holder_.MarkCorrupt();
}

void TStringBase::Read(std::uint32_t id, TStringSet& set) {
  if (!active_) return;
  std::unique_ptr<TStringSet> read;
  Read(id, read);
  if (read)
    set = std::move(*read);
  else
    set.Clear();
}

void TStringBase::WriteRecord(std::uint32_t unit, std::uint32_t id, const TStringSet& set) {
  const auto length = static_cast<std::uint16_t>(set.Size());
  buffer_.resize(kRecordDataOffset + std::size_t{length});
  std::uint8_t* b = buffer_.data();
  StoreLE16(b, PairCheck(length, id));
  StoreLE16(b + 2, length);
  StoreLE32(b + 4, id);
  StoreLE16(b + 8, Crc16(set.Buffer().data(), length));
  if (length != 0) std::memcpy(b + kRecordDataOffset, set.Buffer().data(), length);
  holder_.Write(b, UnitOffset(unit), static_cast<std::uint32_t>(buffer_.size()));
}

void TStringBase::FreeBlock(std::uint16_t length, std::uint32_t unit) {
  holder_.WriteHead(unit, length, holder_.FreeHead);
  holder_.FreeHead = unit;
  freeList_.push_front({length, unit});
  freeByClass_[SizeClass(length)].push_front(freeList_.begin());
  freeUnits_.insert(unit);
}

std::uint32_t TStringBase::TakeBlock(std::uint32_t sizeClass) {
  const auto found = freeByClass_.find(sizeClass);
  if (found == freeByClass_.end() || found->second.empty()) return 0;
  const TFreeChain::iterator block = found->second.front();
  found->second.pop_front();
  const auto after = std::next(block);
  const std::uint32_t next = after == freeList_.end() ? 0 : after->Unit;
  if (block == freeList_.begin()) {
    holder_.FreeHead = next;
  } else {
    const TStringFreeBlock& previous = *std::prev(block);
    holder_.WriteHead(previous.Unit, previous.Length, next);
  }
  const std::uint32_t unit = block->Unit;
  freeUnits_.erase(unit);
  freeList_.erase(block);
  return unit;
}

void TStringBase::Write(std::uint32_t id, const TStringSet* set) {
  if (!active_ || readOnly_ || id == 0) return;
  if (id > kMaxStringID) {
    tags_.AddErrors(ErrIO);  // its tag entry would lie beyond the largest file
    return;
  }
  holder_.MaxID = std::max(holder_.MaxID, id);
  if (set == nullptr || set->Empty()) {
    Delete(id);
    return;
  }
  if (set->Size() > 0xFFFF) {
    errors_ |= ErrTooLong;
    return;
  }
  const auto length = static_cast<std::uint16_t>(set->Size());
  const TRecordRef r = RecordOf(id);
  std::uint32_t unit = 0;
  if (r.verified && SizeClass(r.entry.Length) == SizeClass(length)) {
    unit = r.entry.Unit;
  } else {
    const auto fit = freeByClass_.find(SizeClass(length));
    const bool reuse = fit != freeByClass_.end() && !fit->second.empty();
    const std::uint32_t endUnit = std::max(holder_.EndUnit(), kStringFirstUnit);
    if (!reuse && (static_cast<std::uint64_t>(endUnit) + RecordUnits(length)) * 4 > kMaxDataSize) {
      holder_.AddErrors(ErrIO);  // the holder file cannot grow past 4 GiB
      return;
    }
    if (r.verified)
      FreeBlock(r.entry.Length, r.entry.Unit);
    else if (!r.listed)
      ++holder_.StringCount;
    unit = reuse ? TakeBlock(SizeClass(length)) : endUnit;
  }
  WriteRecord(unit, id, *set);
  tags_.WriteEntry(id, {length, unit});
}

void TStringBase::Delete(std::uint32_t id) {
  if (!active_ || readOnly_) return;
  const TRecordRef r = RecordOf(id);
  if (!r.listed) return;
  // An entry that leads to no record of its own is dropped without freeing what it names.
  if (r.verified) FreeBlock(r.entry.Length, r.entry.Unit);
  --holder_.StringCount;
  tags_.WriteEntry(id, {});
}

void TStringBase::ForEachRecord(const std::function<void(const TStringRecordInfo&)>& visit) {
  if (!active_) return;
  const std::uint32_t end = holder_.EndUnit();
  const std::uint64_t dataSize = holder_.LogicalDataSize();
  std::vector<std::uint8_t> data;
  bool resync = false;
  for (std::uint32_t unit = kStringFirstUnit; unit < end;) {
    TStringRecordInfo info;
    info.Unit = unit;
    info.Head = holder_.ReadHead(unit);
    info.StoredHeadCheck = info.Head.Check;
    info.HeadCheck = PairCheck(info.Head.Length, info.Head.Link);
    const std::uint32_t units = RecordUnits(info.Head.Length);
    info.HeadOk = info.Head.Valid() && static_cast<std::uint64_t>(unit) + units <= end;
    info.Free = freeUnits_.count(unit) != 0;
    if (info.HeadOk && !info.Free) {
      const std::uint64_t at = static_cast<std::uint64_t>(unit) * 4;
      if (at + kRecordDataOffset + info.Head.Length <= dataSize) {
        data.resize(2 + std::size_t{info.Head.Length});
        holder_.Read(data.data(), UnitOffset(unit) + kRecordHeadSize,
                     static_cast<std::uint32_t>(data.size()));
        info.StoredDataCheck = LoadLE16(data.data());
        info.DataCheck = Crc16(data.data() + 2, info.Head.Length);
        info.DataOk = info.StoredDataCheck == info.DataCheck;
      }
      // Inside damaged bytes only a record that checks completely resynchronises the walk.
      if (resync && !info.DataOk) info.HeadOk = false;
    }
    if (!info.HeadOk) {
      if (!resync) visit(info);
      resync = true;
      ++unit;
      continue;
    }
    resync = false;
    if (!info.Free && info.Head.Link != 0 && info.Head.Link <= kMaxStringID) {
      TStringTagEntry tag;
      info.Indexed = tags_.ReadEntry(info.Head.Link, tag) && tag.Unit == unit &&
                     tag.Length == info.Head.Length;
    }
    visit(info);
    unit += units;
  }
}

void TStringBase::RebuildIndex() {
  if (!active_ || readOnly_ || holder_.LogicalDataSize() <= kStringHeaderSize) return;
  tags_.Clear();
  std::int32_t count = 0;
  ForEachRecord([&](const TStringRecordInfo& r) {
    if (!r.HeadOk) {
      holder_.MarkCorrupt();
      return;
    }
    if (r.Free) return;
    if (r.Head.Link == 0 || r.Head.Link > kMaxStringID) {
      holder_.MarkCorrupt();
      return;
    }
    if (!r.DataOk) holder_.MarkCorrupt();  // indexed all the same: its ID still owns it
    tags_.WriteEntry(r.Head.Link, {r.Head.Length, r.Unit});
    // IDs handed out later must not collide with what the records hold.
    holder_.MaxID = std::max(holder_.MaxID, r.Head.Link);
    ++count;
  });
  if (count != holder_.StringCount) errors_ |= ErrCountMismatch;
}

}  // namespace kessaro
