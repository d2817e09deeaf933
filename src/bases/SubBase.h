#pragma once
// The sub base (".sbs"): a named selection of games drawn from up to three sources, a game
// base, a user game base and the variations base. Per source it records the identity and
// size of the source it was made for and an optional bit field that selects a subset of its
// games (no field: every game). Sub bases also exist only in memory, over no source or over
// the sources the holder has.
//
// Layout (data offsets, little-endian, plain positioned access): a 1624-byte header, then
// the bit fields in the order game base, user base, variations, each of count + 1 bits
// packed in whole 32-bit words. Offsets and sizes read from a file are checked against the
// file before anything is allocated.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "records/GameTypes.h"
#include "storage/BitsField.h"
#include "storage/FileMapping.h"

namespace kessaro {

constexpr std::uint32_t kSubBaseSignature = 0x8795726F;

// Header fields: offset (width 4 unless said).
constexpr std::uint32_t kSbCreated = 0;        // 8, double
constexpr std::uint32_t kSbModified = 8;       // 8, double
constexpr std::uint32_t kSbGameCount = 16;     // game base: number of games
constexpr std::uint32_t kSbGameIdentity = 20;  // game base: Identity
constexpr std::uint32_t kSbUserCount = 24;
constexpr std::uint32_t kSbUserIdentity = 28;
constexpr std::uint32_t kSbVarsCount = 32;  // the word at offset 16 of the position store header
constexpr std::uint32_t kSbVarsIdentity = 36;
constexpr std::uint32_t kSbBits = 40;  // GameBits, UserBits, VarBits
constexpr std::uint32_t kSbHasMask = 52;
constexpr std::uint32_t kSbFieldOffset = 64;  // three offsets
constexpr std::uint32_t kSbFieldCrc = 88;     // three Crc32s
constexpr std::uint32_t kSbOrderKey = 104;
constexpr std::uint32_t kSbMenuName = 108;  // 256
constexpr std::uint32_t kSbMenuNameSize = 256;
constexpr std::uint32_t kSbSourceFlags = 1620;  // 1
constexpr std::uint32_t kSbHeaderCrc = 1622;    // 2
constexpr std::uint32_t kSubBaseHeaderSize = kSbHeaderCrc + 2;
static_assert(kSubBaseHeaderSize == 1624);

// SourceFlags
constexpr std::uint8_t sbGameBase = 0x01;
constexpr std::uint8_t sbUserBase = 0x02;
constexpr std::uint8_t sbVarsBase = 0x04;
constexpr std::uint8_t sbRecorded = 0x08;

// Identifiers of user base games are complemented numbers.
constexpr std::uint32_t kUserGameIds = 0xF0000000;

enum TSubBasePart : int { spGame = 0, spUser = 1, spVars = 2 };

// A game base or user game base: no part of the product loads one, so only this much of it
// is known.
class TGameSource {
 public:
  virtual ~TGameSource() = default;
  virtual std::uint32_t GameCount() const = 0;
  virtual std::uint32_t Identity() const = 0;
  // Fills the record of game `number` (1-based); false when it cannot.
  virtual bool LoadGame(std::uint32_t number, TGame& game) = 0;
  virtual std::uint32_t TakeErrors() { return 0; }
};

// What a sub base needs of the variations base.
class TVarsSource {
 public:
  virtual ~TVarsSource() = default;
  virtual std::uint32_t VariationCount() const = 0;
  virtual std::uint32_t Identity() const = 0;
  // The 32-bit word at offset 16 of the position store header, recorded as the source's count.
  virtual std::uint32_t RecordedCount() const = 0;
  virtual std::uint32_t TakeErrors() { return 0; }
};

// The games list issue supplies the mask; a sub base only owns it.
class TSubBaseMask {
 public:
  virtual ~TSubBaseMask() = default;
};

class TSubBase : public TMap {
 public:
  TSubBase();
  ~TSubBase() override;

  bool Open(const std::string& fileName) override;
  bool CreateNew(const std::string& fileName) override;
  void Close() override;
  std::uint32_t TakeErrors() override;

  bool Bind(TGameSource* gameBase, TGameSource* userBase, TVarsSource* varsBase);

  std::uint32_t FirstGame();
  std::uint32_t LastGame();
  std::uint32_t NextGame(std::uint32_t id);
  std::uint32_t PriorGame(std::uint32_t id);
  // Fills `game` whose GameNo holds the identifier; GameNo becomes 0 when the game is not
  // part of the sub base or cannot be loaded.
  void LoadGame(TGame& game);
  // Whether game `number` of a part belongs to the sub base.
  bool Selected(TSubBasePart part, std::uint32_t number);

  // Writable side: selects game `number` of a part (the part needs a bit field).
  void SelectGame(TSubBasePart part, std::uint32_t number, bool selected = true);
  void SetOrderKey(std::uint32_t key);
  void SetMenuName(const std::string& name);
  void SetHasMask(bool hasMask);

  std::uint32_t Identity() const;
  double Created() const;
  double Modified() const;
  std::uint32_t RecordedCount(TSubBasePart part) const;
  std::uint32_t RecordedIdentity(TSubBasePart part) const;
  std::uint32_t BitCount(TSubBasePart part) const;
  std::uint32_t FieldOffset(TSubBasePart part) const;
  std::uint32_t FieldCrc(TSubBasePart part) const;
  bool HasMask() const;
  std::uint32_t OrderKey() const;
  std::string MenuName() const;
  std::uint8_t SourceFlags() const { return header_[kSbSourceFlags]; }
  const TBitsField* Field(TSubBasePart part) const { return fields_[part].get(); }
  TGameSource* GameBase() const { return gameBase_; }
  TGameSource* UserBase() const { return userBase_; }
  TVarsSource* VarsBase() const { return varsBase_; }
  // True for a sub base whose only source is the variations base.
  bool OverVarsOnly() const;
  const std::array<std::uint8_t, kSubBaseHeaderSize>& HeaderBytes() const { return header_; }
  TSubBaseMask* Mask() const { return mask_.get(); }

  // Makes the game mask of a sub base that has one; set by the games list unit. Without it
  // no mask object is created and HasMask only reports the flag.
  static std::function<std::unique_ptr<TSubBaseMask>(TSubBase&)> MaskFactory;

 private:
  std::uint32_t U32(std::uint32_t at) const;
  void SetU32(std::uint32_t at, std::uint32_t v);
  void LoadBitFields();
  void WriteHeader();
  void CreateMask();
  // The size of a part: its source's count (0 without the source).
  std::uint32_t PartCount(TSubBasePart part) const;
  std::uint32_t FirstOf(TSubBasePart part);
  std::uint32_t LastOf(TSubBasePart part);
  std::uint32_t NextOf(TSubBasePart part, std::uint32_t n);
  std::uint32_t PriorOf(TSubBasePart part, std::uint32_t n);

  std::array<std::uint8_t, kSubBaseHeaderSize> header_{};
  std::array<std::unique_ptr<TBitsField>, 3> fields_;
  std::unique_ptr<TSubBaseMask> mask_;
  TGameSource* gameBase_ = nullptr;
  TGameSource* userBase_ = nullptr;
  TVarsSource* varsBase_ = nullptr;
};

}  // namespace kessaro
