#pragma once
// The file classes every database file derives from. A file starts with a four-byte
// signature; data offsets count from byte 4. Access goes through a memory mapping or through
// positioned reads and writes behind the same operations. Writable mappings reserve their
// growth on disk before they are touched, so a full disk sets an error bit instead of
// raising SIGBUS.
//
// The save map keeps every change in private 4 KiB pages and writes them only in Flush (run
// at Close). Flush writes the complete new image to "<file>.saving" in the same folder,
// syncs it, renames it over the file and syncs the folder, so that the file on disk is at
// every instant either the complete old image or the complete new one.
//
// No operation throws: failures set bits of Errors, which TakeErrors returns and clears.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "storage/Errors.h"

namespace kessaro {

constexpr std::uint32_t kFileFlagRandomAccess = 0x10000000;
constexpr std::uint32_t kFileFlagWriteThrough = 0x80000000;
constexpr std::uint32_t kSignatureSize = 4;
constexpr std::uint32_t kDefaultGrowBy = 0x20000;
constexpr std::uint32_t kSavePageSize = 4096;

class TCustomMap {
 public:
  using TNotify = std::function<void(TCustomMap& sender)>;

  TCustomMap();
  virtual ~TCustomMap();
  TCustomMap(const TCustomMap&) = delete;
  TCustomMap& operator=(const TCustomMap&) = delete;

  virtual std::uint32_t TakeErrors();
  virtual void MapView();
  virtual bool Open(const std::string& fileName);
  virtual bool CreateNew(const std::string& fileName);
  virtual void Close();
  virtual bool HasFreeSpace();
  // Offsets are data offsets (file offset - 4); -4 addresses the signature.
  virtual void Read(void* buffer, std::int64_t offset, std::uint32_t count);
  virtual void Write(const void* buffer, std::int64_t offset, std::uint32_t count);

  TCustomMap& MarkCorrupt();
  void AddErrors(std::uint32_t bits) { errors_ |= bits; }
  std::uint32_t DataSize() const { return fileSize_ < kSignatureSize ? 0 : fileSize_ - 4; }
  // The mapped data (file offset 4), or null when not mapped. Valid until the next remap;
  // OnRemap tells owners that keep pointers into it.
  const std::uint8_t* Data() const { return view_ != nullptr ? view_ + kSignatureSize : nullptr; }

  void SetFileFlags(std::uint32_t flags);
  void SetSignature(std::uint32_t signature);
  void SetMapped(bool mapped);
  void SetReadOnly(bool readOnly);
  virtual void SetDataSize(std::uint32_t size);
  void SetGrowBy(std::uint32_t growBy) { growBy_ = growBy; }
  void Unmap();

  const std::string& FileName() const { return fileName_; }
  bool ReadOnly() const { return readOnly_; }
  bool Active() const { return active_; }
  bool Mapped() const { return mapped_; }
  std::uint32_t FileFlags() const { return fileFlags_; }
  std::uint32_t Signature() const { return signature_; }
  TFileHandle FileHandle() const { return fileHandle_; }
  const std::uint8_t* View() const { return view_; }
  std::uint32_t FileSize() const { return fileSize_; }
  std::uint32_t MapSize() const { return mapSize_; }
  std::uint32_t GrowBy() const { return growBy_; }
  std::uint32_t Errors() const { return errors_; }

  TNotify OnBeforeClose;
  TNotify OnRemap;

 protected:
  // Maps `size` bytes of the open file; writable mappings first reserve their blocks.
  bool MapRange(std::uint64_t size, bool writable, bool writableView);
  // Releases the view and mapping without touching the file.
  void ReleaseView();
  // Fills the whole page `page` of the file image as the file holds it: a page that reaches
  // past the end of the file keeps the part the file covers, the rest is zero.
  void ReadFilePage(std::uint32_t page, std::uint8_t* out);

  std::string fileName_;
  bool readOnly_ = true;
  bool active_ = false;
  std::uint32_t fileFlags_ = kFileFlagRandomAccess;
  std::uint32_t signature_ = 0;
  TFileHandle fileHandle_ = kInvalidHandle;
  std::uint8_t* view_ = nullptr;
  std::uint32_t fileSize_ = 0;
  std::uint32_t mapSize_ = 0;
  std::uint32_t growBy_ = kDefaultGrowBy;
  std::uint32_t errors_ = 0;
  bool mapped_ = true;
};

// Read-only formats (the net file) derive from it.
class TMap : public TCustomMap {};

// TakeErrors on no object.
std::uint32_t TakeErrors(TCustomMap* map);

class TCustomSaveMap : public TCustomMap {
 public:
  TCustomSaveMap();
  ~TCustomSaveMap() override;

  void MapView() override;
  bool Open(const std::string& fileName) override;
  bool CreateNew(const std::string& fileName) override;
  void Close() override;
  // Room for the complete new image (it is written beside the old one) and 32 KiB.
  bool HasFreeSpace() override;
  void Read(void* buffer, std::int64_t offset, std::uint32_t count) override;
  void Write(const void* buffer, std::int64_t offset, std::uint32_t count) override;
  void SetDataSize(std::uint32_t size) override;

  // Writes the pending pages (see the header comment); runs as OnBeforeClose. A file whose
  // image did not change is left alone.
  void Flush();

  // The image differs from the file on disk: a page was written, the size changed, or the
  // owner asked for a save (MarkChanged: damage that a save mends).
  bool Changed() const;
  void MarkChanged() {
    if (active_ && !readOnly_) forceSave_ = true;
  }
  // Writes the signature into the image unless the file already holds it (Close does so).
  void StampSignature();
  // Saves made together with other files (see platform/FileCommit.h): PrepareSide runs
  // OnBeforeSave and the free space check and writes the new image, synced, to SidePath();
  // false when nothing was written (save disabled, or a failure: ErrIO). FinishSide then
  // takes the side file as the file when the commit placed it there, or else drops it
  // (`keep` leaves it on disk for a pending commit) and keeps the pages.
  bool PrepareSide();
  void FinishSide(bool placed, bool keep = false);
  bool HasSide() const { return sideHandle_ != kInvalidHandle; }
  // A save placed a new image since the last Open or CreateNew.
  bool SavedSinceOpen() const { return savedSinceOpen_; }
  std::string TargetPath() const;
  std::string SidePath() const { return TargetPath() + ".saving"; }

  std::uint32_t LogicalSize() const { return logicalSize_; }
  std::uint32_t LogicalDataSize() const { return logicalSize_ < 4 ? 0 : logicalSize_ - 4; }
  bool SaveEnabled() const { return saveEnabled_; }
  void SetSaveEnabled(bool enabled) { saveEnabled_ = enabled; }
  std::size_t PendingPages() const;

  TNotify OnBeforeSave;
  TNotify OnDiskFull;

 protected:
  using TPage = std::array<std::uint8_t, kSavePageSize>;
  // Writes the image to the side file and syncs it; false removes the side file (ErrIO).
  bool WriteSide();
  // The side file, renamed over the file, becomes the open file.
  void AdoptSide();
  void DropSide(bool keep);

  TFileHandle sideHandle_ = kInvalidHandle;
  bool savedSinceOpen_ = false;
  bool forceSave_ = false;

  std::vector<std::unique_ptr<TPage>> pages_;
  std::uint32_t logicalSize_ = 0;
  bool saveEnabled_ = true;
  bool closing_ = false;
};

class TSaveMap : public TCustomSaveMap {};

}  // namespace kessaro
