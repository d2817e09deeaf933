#include "storage/FileMapping.h"

#include "storage/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace kessaro {
namespace {

constexpr std::uint32_t kZeroBlock = 65536;
constexpr std::uint64_t kSaveReserve = 0x8000;
constexpr std::size_t kSaveChunkPages = 16;
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;

}  // namespace

std::uint32_t TakeErrors(TCustomMap* map) {
  return map != nullptr ? map->TakeErrors() : ErrNoObject;
}

// ---------------------------------------------------------------------------------------------
// TCustomMap

TCustomMap::TCustomMap() = default;

TCustomMap::~TCustomMap() {
  TCustomMap::Close();
}

std::uint32_t TCustomMap::TakeErrors() {
  const std::uint32_t e = errors_;
  errors_ = 0;
  return e;
}

TCustomMap& TCustomMap::MarkCorrupt() {
  errors_ |= ErrCorrupt;
  return *this;
}

void TCustomMap::SetFileFlags(std::uint32_t flags) {
  if (!active_) fileFlags_ = flags;
}
void TCustomMap::SetSignature(std::uint32_t signature) {
  if (!active_) signature_ = signature;
}
void TCustomMap::SetMapped(bool mapped) {
  if (!active_) mapped_ = mapped;
}
void TCustomMap::SetReadOnly(bool readOnly) {
  if (!active_) readOnly_ = readOnly;
}
void TCustomMap::SetDataSize(std::uint32_t size) {
  if (active_ && !readOnly_ && size <= kMaxFileSize - 4) fileSize_ = size + 4;
}

bool TCustomMap::HasFreeSpace() {
  return true;
}

bool TCustomMap::MapRange(std::uint64_t size, bool writable, bool writableView) {
  if (size == 0) return true;  // nothing to map (an empty file)
  if (size > kMaxFileSize) {
    errors_ |= ErrMapping;
    return false;
  }
  if (writable) {
    // Allocate every block the mapping covers before it is touched: a write through a map
    // into a hole that the disk cannot back is a SIGBUS, a failed reservation only an error.
    if (!ReserveSpace(fileHandle_, 0, size)) {
      errors_ |= ErrMapping;
      if (const auto physical = FileSizeOf(fileHandle_); physical && *physical > fileSize_)
        SetEndOfFile(fileHandle_, fileSize_);
      return false;
    }
  }
  void* view = MapFile(fileHandle_, static_cast<std::size_t>(size), writableView);
  if (view == nullptr) {
    errors_ |= ErrMapping;
    return false;
  }
  view_ = static_cast<std::uint8_t*>(view);
  mapSize_ = static_cast<std::uint32_t>(size);
  return true;
}

void TCustomMap::ReleaseView() {
  if (view_ != nullptr && !UnmapFile(view_, mapSize_)) errors_ |= ErrIO;
  view_ = nullptr;
  mapSize_ = 0;
}

void TCustomMap::Unmap() {
  const bool had = view_ != nullptr;
  ReleaseView();
  if (had && active_ && !readOnly_) {
    if (!SetEndOfFile(fileHandle_, fileSize_)) errors_ |= ErrIO;
  }
}

void TCustomMap::MapView() {
  Unmap();
  if (readOnly_) {
    MapRange(fileSize_, false, false);
  } else {
    MapRange(static_cast<std::uint64_t>(fileSize_) + growBy_, true, true);
  }
}

bool TCustomMap::Open(const std::string& fileName) {
  if (!FileExists(fileName)) return CreateNew(fileName);
  Close();
  errors_ = 0;
  fileHandle_ = readOnly_ ? OpenFile(fileName, TFileAccess::faRead, TFileCreation::fcOpenExisting,
                                     TFileShare::fsShareRead)
                          : OpenFile(fileName, TFileAccess::faReadWrite,
                                     TFileCreation::fcOpenAlways, TFileShare::fsExclusive);
  active_ = fileHandle_ != kInvalidHandle;
  if (!active_) {
    fileName_ = fileName;
    return false;
  }
  const auto size = FileSizeOf(fileHandle_);
  if (!size || *size > kMaxFileSize) {
    fileSize_ = 0;
    errors_ = ErrIO;
  } else {
    fileSize_ = static_cast<std::uint32_t>(*size);
  }
  if (mapped_ && errors_ == 0) MapView();
  if (errors_ == 0 && fileSize_ > 3) {
    std::uint8_t bytes[4] = {};
    if (mapped_ && view_ != nullptr) {
      std::memcpy(bytes, view_, 4);
    } else if (!ReadAt(fileHandle_, bytes, 4, 0)) {
      errors_ |= ErrIO;
    }
    if (errors_ == 0 && signature_ != 0 && LoadLE32(bytes) != signature_) errors_ |= ErrFormat;
  }
  if (fileSize_ < 4) {
    if (readOnly_)
      errors_ |= ErrFormat;
    else
      fileSize_ = 4;
  }
  if (errors_ != 0) Close();
  fileName_ = fileName;
  return active_;
}

bool TCustomMap::CreateNew(const std::string& fileName) {
  Close();
  errors_ = 0;
  if (readOnly_) return false;
  fileHandle_ = OpenFile(fileName, TFileAccess::faReadWrite, TFileCreation::fcCreateAlways,
                         TFileShare::fsExclusive);
  active_ = fileHandle_ != kInvalidHandle;
  fileName_ = fileName;
  if (!active_) return false;
  fileSize_ = 4;
  if (mapped_) MapView();
  if (errors_ != 0) Close();
  return active_;
}

void TCustomMap::Close() {
  if (active_) {
    if (!readOnly_) {
      // Only a signature that differs is written, so that an unchanged file stays unchanged.
      std::uint8_t bytes[4];
      std::uint8_t held[4];
      StoreLE32(bytes, signature_);
      Read(held, -4, 4);
      if (std::memcmp(bytes, held, 4) != 0 || fileSize_ < 4) Write(bytes, -4, 4);
      if (!mapped_) {
        const auto physical = FileSizeOf(fileHandle_);
        // Cut as well as extend, so that the closed file has exactly its logical size.
        if (!physical || (*physical != fileSize_ && !SetEndOfFile(fileHandle_, fileSize_)))
          errors_ |= ErrIO;
      }
      if (OnBeforeClose) OnBeforeClose(*this);
    }
    if (view_ != nullptr) Unmap();
    if (fileHandle_ != kInvalidHandle && !CloseFile(fileHandle_)) errors_ |= ErrIO;
  }
  fileHandle_ = kInvalidHandle;
  active_ = false;
  fileSize_ = 0;
  mapSize_ = 0;
}

void TCustomMap::Read(void* buffer, std::int64_t offset, std::uint32_t count) {
  if (count == 0) return;
  const std::int64_t pos = offset + 4;
  const std::int64_t end = pos + static_cast<std::int64_t>(count);
  const bool inside = active_ && pos >= 0 && end <= static_cast<std::int64_t>(fileSize_);
  if (inside && mapped_) {
    if (view_ != nullptr && end <= static_cast<std::int64_t>(mapSize_)) {
      std::memcpy(buffer, view_ + pos, count);
      return;
    }
  } else if (inside) {
    if (ReadAt(fileHandle_, buffer, count, static_cast<std::uint64_t>(pos))) return;
    errors_ |= ErrIO;
  }
  std::memset(buffer, 0, count);
}

void TCustomMap::Write(const void* buffer, std::int64_t offset, std::uint32_t count) {
  if (!active_ || readOnly_ || count == 0) return;
  const std::int64_t pos = offset + 4;
  const std::int64_t end = pos + static_cast<std::int64_t>(count);
  if (pos < 0 || end > static_cast<std::int64_t>(kMaxFileSize)) {
    errors_ |= ErrIO;
    return;
  }
  if (mapped_) {
    if (view_ == nullptr) return;
    if (static_cast<std::int64_t>(mapSize_) < end) {
      const std::uint32_t saved = growBy_;
      const std::uint64_t wanted =
          static_cast<std::uint64_t>(growBy_) + static_cast<std::uint64_t>(end) - mapSize_;
      growBy_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, kMaxFileSize));
      MapView();
      growBy_ = saved;
      if (OnRemap) OnRemap(*this);
      if (errors_ != 0 || view_ == nullptr || static_cast<std::int64_t>(mapSize_) < end) {
        errors_ |= ErrMapping;
        Close();
        return;
      }
    }
    if (pos > static_cast<std::int64_t>(fileSize_))
      std::memset(view_ + fileSize_, 0, static_cast<std::size_t>(pos - fileSize_));
    std::memcpy(view_ + pos, buffer, count);
  } else {
    if (pos > static_cast<std::int64_t>(fileSize_)) {
      const auto physical = FileSizeOf(fileHandle_);
      if (!physical) {
        errors_ |= ErrIO;
        return;
      }
      // From the logical end when the file is longer, else from its physical end.
      std::uint64_t from = std::min<std::uint64_t>(*physical, fileSize_);
      static const std::vector<std::uint8_t> zeros(kZeroBlock, 0);
      while (from < static_cast<std::uint64_t>(pos)) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kZeroBlock, pos - from));
        if (!WriteAt(fileHandle_, zeros.data(), n, from)) {
          errors_ |= ErrIO;
          return;
        }
        from += n;
      }
    }
    if (!WriteAt(fileHandle_, buffer, count, static_cast<std::uint64_t>(pos))) {
      errors_ |= ErrIO;
      return;
    }
  }
  fileSize_ = std::max(fileSize_, static_cast<std::uint32_t>(end));
}

void TCustomMap::ReadFilePage(std::uint32_t page, std::uint8_t* out) {
  const std::int64_t start = static_cast<std::int64_t>(page) * kSavePageSize;
  TCustomMap::Read(out, start - 4, kSavePageSize);
  if (start < static_cast<std::int64_t>(fileSize_) &&
      static_cast<std::int64_t>(fileSize_) < start + kSavePageSize) {
    TCustomMap::Read(out, start - 4, static_cast<std::uint32_t>(fileSize_ - start));
  }
}

// ---------------------------------------------------------------------------------------------
// TCustomSaveMap

TCustomSaveMap::TCustomSaveMap() {
  fileFlags_ = kFileFlagRandomAccess | kFileFlagWriteThrough;
  OnBeforeClose = [this](TCustomMap&) { Flush(); };
}

TCustomSaveMap::~TCustomSaveMap() {
  TCustomSaveMap::Close();
}

std::size_t TCustomSaveMap::PendingPages() const {
  return static_cast<std::size_t>(
      std::count_if(pages_.begin(), pages_.end(), [](const auto& p) { return p != nullptr; }));
}

void TCustomSaveMap::MapView() {
  Unmap();
  if (!readOnly_) {
    // A new or short file is extended to the size the mapping covers ("created" as such).
    const auto physical = FileSizeOf(fileHandle_);
    if (!physical) {
      errors_ |= ErrIO;
      return;
    }
    if (*physical < fileSize_ && !SetEndOfFile(fileHandle_, fileSize_)) {
      errors_ |= ErrMapping;
      return;
    }
  }
  // The view is read-only: changes go to the private pages, never through the map.
  MapRange(fileSize_, false, false);
}

bool TCustomSaveMap::Open(const std::string& fileName) {
  savedSinceOpen_ = false;
  const bool ok = TCustomMap::Open(fileName);
  logicalSize_ = std::max(logicalSize_, fileSize_);
  return ok;
}

bool TCustomSaveMap::CreateNew(const std::string& fileName) {
  savedSinceOpen_ = false;
  const bool ok = TCustomMap::CreateNew(fileName);
  logicalSize_ = fileSize_;
  return ok;
}

void TCustomSaveMap::Close() {
  if (HasSide()) DropSide(false);
  closing_ = true;
  TCustomMap::Close();
  closing_ = false;
  pages_.clear();
  logicalSize_ = 0;
  forceSave_ = false;
}

void TCustomSaveMap::SetDataSize(std::uint32_t size) {
  if (active_ && !readOnly_ && size <= kMaxFileSize - 4) logicalSize_ = size + 4;
}

bool TCustomSaveMap::HasFreeSpace() {
  const std::uint64_t needed = static_cast<std::uint64_t>(logicalSize_) + kSaveReserve;
  const auto available = FreeSpace(ResolvePath(fileName_));
  return available && needed < *available;
}

void TCustomSaveMap::Read(void* buffer, std::int64_t offset, std::uint32_t count) {
  if (readOnly_) {
    TCustomMap::Read(buffer, offset, count);
    return;
  }
  if (count == 0) return;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int64_t pos = offset + 4;
  const std::int64_t end = pos + static_cast<std::int64_t>(count);
  if (pos < 0) {
    std::memset(buffer, 0, count);
    return;
  }
  while (pos < end) {
    const auto page = static_cast<std::size_t>(pos / kSavePageSize);
    const auto within = static_cast<std::size_t>(pos % kSavePageSize);
    const auto piece = static_cast<std::uint32_t>(
        std::min<std::int64_t>(end - pos, static_cast<std::int64_t>(kSavePageSize - within)));
    if (page < pages_.size() && pages_[page] != nullptr) {
      std::memcpy(out, pages_[page]->data() + within, piece);
    } else {
      // A page without a private copy reads as the file holds it: the part beyond the end
      // of the file (the logical size may be larger) is zero, the part before it is not.
      const std::int64_t inFile =
          std::clamp<std::int64_t>(static_cast<std::int64_t>(fileSize_) - pos, 0, piece);
      if (inFile > 0) TCustomMap::Read(out, pos - 4, static_cast<std::uint32_t>(inFile));
      if (inFile < piece) std::memset(out + inFile, 0, static_cast<std::size_t>(piece - inFile));
    }
    out += piece;
    pos += piece;
  }
}

void TCustomSaveMap::Write(const void* buffer, std::int64_t offset, std::uint32_t count) {
  if (!active_ || readOnly_ || count == 0) return;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::int64_t pos = offset + 4;
  const std::int64_t end = pos + static_cast<std::int64_t>(count);
  if (pos < 0 || end > static_cast<std::int64_t>(kMaxFileSize)) {
    errors_ |= ErrIO;
    return;
  }
  const auto lastPage = static_cast<std::size_t>(end / kSavePageSize);
  if (pages_.size() < lastPage + 1) pages_.resize(growBy_ / kSavePageSize + lastPage + 1);
  while (pos < end) {
    const auto page = static_cast<std::size_t>(pos / kSavePageSize);
    const auto within = static_cast<std::size_t>(pos % kSavePageSize);
    const auto piece = static_cast<std::size_t>(
        std::min<std::int64_t>(end - pos, static_cast<std::int64_t>(kSavePageSize - within)));
    if (pages_[page] == nullptr) {
      pages_[page] = std::make_unique<TPage>();
      ReadFilePage(static_cast<std::uint32_t>(page), pages_[page]->data());
    }
    std::memcpy(pages_[page]->data() + within, in, piece);
    in += piece;
    pos += static_cast<std::int64_t>(piece);
  }
  logicalSize_ = std::max(logicalSize_, static_cast<std::uint32_t>(end));
}

bool TCustomSaveMap::Changed() const {
  if (logicalSize_ != fileSize_ || forceSave_) return true;
  return std::any_of(pages_.begin(), pages_.end(), [](const auto& p) { return p != nullptr; });
}

void TCustomSaveMap::StampSignature() {
  if (!active_ || readOnly_) return;
  std::uint8_t bytes[4];
  std::uint8_t held[4];
  StoreLE32(bytes, signature_);
  Read(held, -4, 4);
  if (std::memcmp(bytes, held, 4) != 0) Write(bytes, -4, 4);
}

std::string TCustomSaveMap::TargetPath() const {
  return ResolvePath(fileName_);
}

void TCustomSaveMap::Flush() {
  if (!active_ || readOnly_ || !Changed()) return;
  if (!PrepareSide()) return;
  if (!RenameFile(SidePath(), TargetPath())) {
    errors_ |= ErrIO;
    DropSide(false);
    return;
  }
  // From here the new image is the file; a failed folder sync only weakens durability.
  if (!SyncFolderOf(TargetPath())) errors_ |= ErrIO;
  AdoptSide();
}

bool TCustomSaveMap::PrepareSide() {
  if (!active_ || readOnly_ || HasSide()) return false;
  if (OnBeforeSave) OnBeforeSave(*this);
  if (!saveEnabled_) return false;
  if (!HasFreeSpace()) {
    if (OnDiskFull) {
      do {
        OnDiskFull(*this);
      } while (saveEnabled_ && !HasFreeSpace());
    } else {
      saveEnabled_ = false;
    }
  }
  if (!saveEnabled_) return false;
  return WriteSide();
}

void TCustomSaveMap::FinishSide(bool placed, bool keep) {
  if (!HasSide()) return;
  if (placed) {
    AdoptSide();
  } else {
    errors_ |= ErrIO;
    DropSide(keep);
  }
}

void TCustomSaveMap::DropSide(bool keep) {
  CloseFile(sideHandle_);
  sideHandle_ = kInvalidHandle;
  if (!keep) RemoveFile(SidePath());
}

void TCustomSaveMap::AdoptSide() {
  ReleaseView();
  if (!CloseFile(fileHandle_)) errors_ |= ErrIO;
  fileHandle_ = sideHandle_;
  sideHandle_ = kInvalidHandle;
  fileSize_ = logicalSize_;
  pages_.clear();
  forceSave_ = false;
  savedSinceOpen_ = true;
  if (mapped_ && !closing_) MapView();
}

bool TCustomSaveMap::WriteSide() {
  const std::string side = SidePath();
  // The exclusive lock on the file means no other writer owns the side file: what is left
  // there is the remnant of an interrupted save.
  RemoveFile(side);
  const TFileHandle out =
      OpenFile(side, TFileAccess::faReadWrite, TFileCreation::fcCreateNew, TFileShare::fsExclusive);
  if (out == kInvalidHandle) {
    errors_ |= ErrIO;
    return false;
  }
  // Read failures of the old image are told apart from earlier ones.
  const std::uint32_t earlier = errors_;
  errors_ &= ~ErrIO;
  auto abandon = [&] {
    CloseFile(out);
    RemoveFile(side);
    errors_ |= earlier | ErrIO;
    return false;
  };
  if (const auto mode = FileModeOf(fileHandle_)) SetFileMode(out, *mode);

  // The new image: private pages where they exist, the file's own bytes elsewhere, cut at
  // the logical size.
  std::vector<std::uint8_t> chunk(kSaveChunkPages * kSavePageSize);
  const std::uint64_t total = logicalSize_;
  const auto pageCount = static_cast<std::uint32_t>((total + kSavePageSize - 1) / kSavePageSize);
  std::uint64_t chunkStart = 0;
  std::size_t filled = 0;

  for (std::uint32_t p = 0; p < pageCount; ++p) {
    std::uint8_t* slot = chunk.data() + filled;
    if (p < pages_.size() && pages_[p] != nullptr)
      std::memcpy(slot, pages_[p]->data(), kSavePageSize);
    else
      ReadFilePage(p, slot);
    filled += kSavePageSize;
    if (filled == chunk.size() || p + 1 == pageCount) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(filled, total - chunkStart));
      if (!WriteAt(out, chunk.data(), n, chunkStart)) return abandon();
      chunkStart += n;
      filled = 0;
    }
  }
  if (errors_ & ErrIO) return abandon();  // an unreadable old page must not be saved as zeros
  if (!SetEndOfFile(out, total) || !SyncFile(out)) return abandon();
  errors_ |= earlier;
  sideHandle_ = out;
  return true;
}

}  // namespace kessaro
