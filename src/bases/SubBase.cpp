#include "bases/SubBase.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "board/CheckSum.h"
#include "board/SealedHeader.h"
#include "platform/DateTime.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

constexpr std::uint8_t kPartFlag[3] = {sbGameBase, sbUserBase, sbVarsBase};
constexpr std::uint32_t kPartCount[3] = {kSbGameCount, kSbUserCount, kSbVarsCount};
constexpr std::uint32_t kPartIdentity[3] = {kSbGameIdentity, kSbUserIdentity, kSbVarsIdentity};

// Bytes of a field of count + 1 bits in whole 32-bit words.
std::uint64_t FieldBytes(std::uint32_t bits) {
  return (static_cast<std::uint64_t>(bits) + 1 + 31) / 32 * 4;
}

}  // namespace

std::function<std::unique_ptr<TSubBaseMask>(TSubBase&)> TSubBase::MaskFactory;

TSubBase::TSubBase() {
  SetSignature(kSubBaseSignature);
  SetMapped(false);
}

TSubBase::~TSubBase() {
  TSubBase::Close();
}

std::uint32_t TSubBase::U32(std::uint32_t at) const {
  return LoadLE32(&header_[at]);
}

void TSubBase::SetU32(std::uint32_t at, std::uint32_t v) {
  StoreLE32(&header_[at], v);
}

bool TSubBase::Open(const std::string& fileName) {
  const bool ok = TMap::Open(fileName);
  if (!active_) return ok;
  LoadSealedHeader(*this, header_);
  if (errors_ == 0) LoadBitFields();
  if (errors_ == 0 && HasMask()) CreateMask();
  if (errors_ != 0) {
    Close();
    return false;
  }
  return true;
}

void TSubBase::LoadBitFields() {
  std::uint64_t running = kSubBaseHeaderSize;
  for (int part = 0; part < 3; ++part) {
    const std::uint32_t bits = BitCount(static_cast<TSubBasePart>(part));
    if (bits == 0) continue;
    const std::uint64_t bytes = FieldBytes(bits);
    if (FieldOffset(static_cast<TSubBasePart>(part)) != running) {
      errors_ |= ErrLayout;
      return;
    }
    // The stored count is hostile: the field must lie inside the file before it is allocated.
    if (running + bytes > DataSize()) {
      errors_ |= ErrFormat;
      return;
    }
    auto field = std::make_unique<TBitsField>(bits + 1);
    Read(field->Bits(), static_cast<std::int64_t>(running), static_cast<std::uint32_t>(bytes));
    if (Crc32(field->Bits(), bytes) != FieldCrc(static_cast<TSubBasePart>(part))) {
      MarkCorrupt();
      return;
    }
    fields_[part] = std::move(field);
    running += bytes;
  }
}

bool TSubBase::CreateNew(const std::string& fileName) {
  const bool ok = TMap::CreateNew(fileName);
  if (!active_) return ok;
  header_.fill(0);
  StoreDouble(&header_[kSbCreated], Now());
  WriteHeader();
  return active_;
}

void TSubBase::WriteHeader() {
  StoreDouble(&header_[kSbModified], Now());
  WriteSealedHeader(*this, header_);
}

void TSubBase::Close() {
  if (active_ && !readOnly_) {
    SetDataSize(kSubBaseHeaderSize);
    std::uint32_t running = kSubBaseHeaderSize;
    for (int part = 0; part < 3; ++part) {
      TBitsField* field = fields_[part].get();
      if (field == nullptr || BitCount(static_cast<TSubBasePart>(part)) == 0) {
        SetU32(kSbBits + 4 * static_cast<std::uint32_t>(part), 0);  // no field written
        continue;
      }
      const std::uint32_t bytes = field->ByteSize();
      Write(field->Bits(), running, bytes);
      SetU32(kSbFieldOffset + 4 * static_cast<std::uint32_t>(part), running);
      SetU32(kSbFieldCrc + 4 * static_cast<std::uint32_t>(part), Crc32(field->Bits(), bytes));
      running += bytes;
    }
    WriteHeader();
  }
  TMap::Close();
  mask_.reset();
  for (auto& field : fields_) field.reset();
}

std::uint32_t TSubBase::TakeErrors() {
  std::uint32_t e = TMap::TakeErrors();
  if (gameBase_ != nullptr) e |= gameBase_->TakeErrors();
  if (userBase_ != nullptr) e |= userBase_->TakeErrors();
  if (varsBase_ != nullptr) e |= varsBase_->TakeErrors();
  return e;
}

void TSubBase::CreateMask() {
  if (MaskFactory) mask_ = MaskFactory(*this);
}

bool TSubBase::Bind(TGameSource* gameBase, TGameSource* userBase, TVarsSource* varsBase) {
  const std::uint8_t flags = SourceFlags();
  if (flags & sbRecorded) {
    const auto matches = [this](int part, std::uint32_t count, std::uint32_t identity) {
      return U32(kPartCount[part]) == count && U32(kPartIdentity[part]) == identity;
    };
    if (flags & sbGameBase) {
      if (gameBase == nullptr || !matches(spGame, gameBase->GameCount(), gameBase->Identity()))
        return false;
    }
    if (flags & sbUserBase) {
      if (userBase == nullptr || !matches(spUser, userBase->GameCount(), userBase->Identity()))
        return false;
    }
    if (flags & sbVarsBase) {
      if (varsBase == nullptr || !matches(spVars, varsBase->RecordedCount(), varsBase->Identity()))
        return false;
    }
    gameBase_ = (flags & sbGameBase) ? gameBase : nullptr;
    userBase_ = (flags & sbUserBase) ? userBase : nullptr;
    varsBase_ = (flags & sbVarsBase) ? varsBase : nullptr;
    return true;
  }
  if (!active_) header_.fill(0);
  std::uint8_t newFlags = 0;
  const auto record = [&](int part, std::uint32_t identity, std::uint32_t count,
                          std::uint32_t games) {
    newFlags |= kPartFlag[part];
    SetU32(kPartIdentity[part], identity);
    SetU32(kPartCount[part], count);
    SetU32(kSbBits + 4 * static_cast<std::uint32_t>(part), games);
  };
  if (gameBase != nullptr)
    record(spGame, gameBase->Identity(), gameBase->GameCount(), gameBase->GameCount());
  if (userBase != nullptr)
    record(spUser, userBase->Identity(), userBase->GameCount(), userBase->GameCount());
  if (varsBase != nullptr)
    record(spVars, varsBase->Identity(), varsBase->RecordedCount(), varsBase->VariationCount());
  header_[kSbSourceFlags] = static_cast<std::uint8_t>(newFlags | sbRecorded);
  gameBase_ = gameBase;
  userBase_ = userBase;
  varsBase_ = varsBase;
  if (active_) {
    for (int part = 0; part < 3; ++part) {
      const std::uint32_t bits = BitCount(static_cast<TSubBasePart>(part));
      fields_[part] = bits != 0 ? std::make_unique<TBitsField>(bits + 1) : nullptr;
    }
    CreateMask();
  }
  return true;
}

std::uint32_t TSubBase::PartCount(TSubBasePart part) const {
  switch (part) {
    case spGame:
      return gameBase_ != nullptr ? gameBase_->GameCount() : 0;
    case spUser:
      return userBase_ != nullptr ? userBase_->GameCount() : 0;
    case spVars:
      return varsBase_ != nullptr ? varsBase_->VariationCount() : 0;
  }
  return 0;
}

bool TSubBase::Selected(TSubBasePart part, std::uint32_t number) {
  if (!(SourceFlags() & kPartFlag[part]) || number == 0 || number > PartCount(part)) return false;
  const TBitsField* field = fields_[part].get();
  if (field == nullptr) return true;
  return number < field->Count() && ((field->Bits()[number / 8] >> (number % 8)) & 1) != 0;
}

void TSubBase::SelectGame(TSubBasePart part, std::uint32_t number, bool selected) {
  if (fields_[part] != nullptr) fields_[part]->SetBit(number, selected);
}

// The part's numbers: the set bits of its field (never bit 0), else 1 to its count; the
// results are always within 1..count, whatever a stored field holds.
std::uint32_t TSubBase::NextOf(TSubBasePart part, std::uint32_t n) {
  const std::uint32_t count = PartCount(part);
  if (count == 0 || n >= count) return 0;
  const TBitsField* field = fields_[part].get();
  if (field == nullptr) return n + 1;
  const std::uint32_t next = field->NextSetBit(n);
  return next < field->Count() && next <= count ? next : 0;
}

std::uint32_t TSubBase::PriorOf(TSubBasePart part, std::uint32_t n) {
  const std::uint32_t count = PartCount(part);
  if (count == 0 || n <= 1) return 0;
  const TBitsField* field = fields_[part].get();
  n = std::min(n, count + 1);
  if (field == nullptr) return n - 1;
  const std::uint32_t prior = field->PrevSetBit(n);
  return prior < field->Count() && prior >= 1 && prior <= count ? prior : 0;
}

std::uint32_t TSubBase::FirstOf(TSubBasePart part) {
  return NextOf(part, 0);
}

std::uint32_t TSubBase::LastOf(TSubBasePart part) {
  return PriorOf(part, PartCount(part) + 1);
}

std::uint32_t TSubBase::FirstGame() {
  if (const std::uint32_t n = FirstOf(spGame)) return n;
  if (const std::uint32_t n = FirstOf(spUser)) return ~n;
  return FirstOf(spVars);
}

std::uint32_t TSubBase::LastGame() {
  if (const std::uint32_t n = LastOf(spUser)) return ~n;
  return LastOf(spGame);
}

std::uint32_t TSubBase::NextGame(std::uint32_t id) {
  if (id >= kUserGameIds) {
    const std::uint32_t n = NextOf(spUser, ~id);
    return n != 0 ? ~n : 0;
  }
  if (const std::uint32_t n = NextOf(spGame, id)) return n;
  const std::uint32_t u = FirstOf(spUser);
  return u != 0 ? ~u : 0;
}

std::uint32_t TSubBase::PriorGame(std::uint32_t id) {
  if (id >= kUserGameIds) {
    if (const std::uint32_t n = PriorOf(spUser, ~id)) return ~n;
    return LastOf(spGame);
  }
  return PriorOf(spGame, id);
}

void TSubBase::LoadGame(TGame& game) {
  const auto id = static_cast<std::uint32_t>(game.GameNo);
  const bool user = id >= kUserGameIds;
  const TSubBasePart part = user ? spUser : spGame;
  const std::uint32_t number = user ? ~id : id;
  TGameSource* source = user ? userBase_ : gameBase_;
  bool ok = source != nullptr && Selected(part, number);
  if (ok) {
    ok = source->LoadGame(number, game);
    if (const std::uint32_t e = source->TakeErrors()) {
      errors_ |= e;
      ok = false;
    }
  }
  game.GameNo = ok ? static_cast<std::int32_t>(id) : 0;
}

void TSubBase::SetOrderKey(std::uint32_t key) {
  SetU32(kSbOrderKey, key);
}

void TSubBase::SetMenuName(const std::string& name) {
  std::fill(header_.begin() + kSbMenuName, header_.begin() + kSbMenuName + kSbMenuNameSize, 0);
  const std::size_t n = std::min<std::size_t>(name.size(), kSbMenuNameSize - 1);
  std::memcpy(&header_[kSbMenuName], name.data(), n);
}

void TSubBase::SetHasMask(bool hasMask) {
  SetU32(kSbHasMask, hasMask ? 1 : 0);
}

std::uint32_t TSubBase::Identity() const {
  return Crc32(header_.data(), header_.size());
}
double TSubBase::Created() const {
  return LoadDouble(&header_[kSbCreated]);
}
double TSubBase::Modified() const {
  return LoadDouble(&header_[kSbModified]);
}
std::uint32_t TSubBase::RecordedCount(TSubBasePart part) const {
  return U32(kPartCount[part]);
}
std::uint32_t TSubBase::RecordedIdentity(TSubBasePart part) const {
  return U32(kPartIdentity[part]);
}
std::uint32_t TSubBase::BitCount(TSubBasePart part) const {
  return U32(kSbBits + 4 * static_cast<std::uint32_t>(part));
}
std::uint32_t TSubBase::FieldOffset(TSubBasePart part) const {
  return U32(kSbFieldOffset + 4 * static_cast<std::uint32_t>(part));
}
std::uint32_t TSubBase::FieldCrc(TSubBasePart part) const {
  return U32(kSbFieldCrc + 4 * static_cast<std::uint32_t>(part));
}
bool TSubBase::HasMask() const {
  return U32(kSbHasMask) != 0;
}
std::uint32_t TSubBase::OrderKey() const {
  return U32(kSbOrderKey);
}
std::string TSubBase::MenuName() const {
  const auto* first = reinterpret_cast<const char*>(&header_[kSbMenuName]);
  return std::string(first, strnlen(first, kSbMenuNameSize));
}
bool TSubBase::OverVarsOnly() const {
  return (SourceFlags() & (sbGameBase | sbUserBase | sbVarsBase)) == sbVarsBase;
}

}  // namespace kessaro
