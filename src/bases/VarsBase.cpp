#include "bases/VarsBase.h"

#include <algorithm>

#include "board/CheckSum.h"
#include "board/PositionFunc.h"
#include "board/SymmetryFunctions.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

// The cells of a region only: a matrix may be larger than the region it serves.
std::uint32_t MatrixCrc(const TMatrix& m) {
  return Crc32(m.data(), m.size());
}

}  // namespace

TVarsBase::TVarsBase() {
  positions_.OnWriteRecord = [this](TCustomPositionBase&, std::uint32_t index,
                                    const TPosData& data) { OnPositionWritten(index, data); };
}

TVarsBase::~TVarsBase() {
  Close();
}

bool TVarsBase::SetReadOnly(bool readOnly) {
  if (!Active()) readOnly_ = readOnly;
  return Active();
}

bool TVarsBase::SetMapped(bool mapped) {
  if (!Active()) mapped_ = mapped;
  return Active();
}

bool TVarsBase::Active() const {
  return positions_.Active() && info_.Active() && data_.Active();
}

bool TVarsBase::Open(const std::string& fileName) {
  Close();
  TSaveMap* files[] = {&positions_, &info_, &data_};
  const char* extensions[] = {".vpb", ".vim", ".vdm"};
  for (int i = 0; i < 3; ++i) {
    files[i]->SetMapped(mapped_);
    files[i]->SetReadOnly(readOnly_);
    files[i]->Open(fileName + extensions[i]);
  }
  return Active();
}

void TVarsBase::Close() {
  TSaveMap* files[] = {&positions_, &info_, &data_};
  for (TSaveMap* f : files) {
    f->SetSaveEnabled(saveEnabled_);
    f->Close();
  }
}

std::uint32_t TVarsBase::TakeErrors() {
  return positions_.TakeErrors() | info_.TakeErrors() | data_.TakeErrors();
}

std::array<std::uint8_t, kPosHeaderSize> TVarsBase::StoreHeader() const {
  std::array<std::uint8_t, kPosHeaderSize> bytes{};
  // Read keeps no state but the error bits, which a failed read sets.
  const_cast<TPosVarsBase&>(positions_).Read(bytes.data(), 0, kPosHeaderSize);
  return bytes;
}

std::uint32_t TVarsBase::Identity() const {
  const auto bytes = StoreHeader();
  return Crc32(bytes.data(), bytes.size());
}

std::uint32_t TVarsBase::RecordedCount() const {
  return LoadLE32(StoreHeader().data() + 16);
}

std::uint32_t TVarsBase::VariationCount() const {
  return info_.Active() ? (info_.LogicalDataSize() + kVarIndexSize - 1) / kVarIndexSize : 0;
}

bool TVarsBase::ReadIndex(std::uint32_t n, TVarIndex& out) {
  out = TVarIndex{};
  if (n == 0 || n > VariationCount() || std::uint64_t{n} * kVarIndexSize > info_.LogicalDataSize())
    return false;
  std::uint8_t b[kVarIndexSize];
  info_.Read(b, std::int64_t{n - 1} * kVarIndexSize, kVarIndexSize);
  if (Crc16(b, 12) != LoadLE16(b + 12)) {
    info_.MarkCorrupt();
    return false;
  }
  out.Next = LoadLE32(b);
  out.DataWord = LoadLE32(b + 4);
  out.PositionWord = LoadLE32(b + 8);
  return true;
}

void TVarsBase::WriteIndex(std::uint32_t n, const TVarIndex& index) {
  std::uint8_t b[kVarIndexSize];
  StoreLE32(b, index.Next);
  StoreLE32(b + 4, index.DataWord);
  StoreLE32(b + 8, index.PositionWord);
  StoreLE16(b + 12, Crc16(b, 12));
  info_.Write(b, std::int64_t{n - 1} * kVarIndexSize, kVarIndexSize);
}

bool TVarsBase::ReadVar(std::uint32_t n, TVar& v) {
  v = TVar{};
  TVarIndex index;
  if (!Active() || !ReadIndex(n, index)) return false;

  // The move data record, checked against the file before its items are read.
  const std::uint64_t at = (std::uint64_t{index.DataWord} - 1) * 4;
  if (index.DataWord == 0 || at + kVarDataHeadSize > data_.LogicalDataSize()) {
    data_.MarkCorrupt();
    return false;
  }
  std::uint8_t head[kVarDataHeadSize];
  data_.Read(head, static_cast<std::int64_t>(at), kVarDataHeadSize);
  const std::uint32_t m = LoadLE16(head + 8);
  if (at + kVarDataHeadSize + std::uint64_t{m} * kVarMoveSize > data_.LogicalDataSize()) {
    data_.MarkCorrupt();
    return false;
  }
  std::vector<std::uint8_t> items(std::size_t{m} * kVarMoveSize);
  if (m != 0)
    data_.Read(items.data(), static_cast<std::int64_t>(at + kVarDataHeadSize),
               static_cast<std::uint32_t>(items.size()));
  if (Crc16Continue(Crc16(head, 10), items.data(), items.size()) != LoadLE16(head + 10)) {
    data_.MarkCorrupt();
    return false;
  }
  const std::uint32_t storedCrc = LoadLE32(head + 4);
  for (std::uint32_t i = 0; i < m; ++i)
    v.Moves.push_back({LoadLE16(&items[i * kVarMoveSize]), items[i * kVarMoveSize + 2]});
  v.Id = n;

  TPosRecord record;
  TRegionWord region = 0;
  if (!positions_.ReadPositionRecord(index.PositionWord, record) ||
      !DecodePosition(record.Position, v.StartPosition, region)) {
    v = TVar{};
    return false;
  }
  v.Region = region;
  const int w = RegionWidth(region), h = RegionHeight(region);
  if (MatrixCrc(v.StartPosition) == storedCrc) return true;

  // The shared start position is stored in another orientation: find the code that turns it
  // back into this variation's own. The colour swap alone is tried as well, since the store
  // matches positions under it.
  const TMatrix stored = v.StartPosition;
  const std::uint8_t codes = RegionSymmetries(region);
  for (TSymmetry c = 0; c < 8; ++c) {
    if (c != 0 && !(codes & (1u << c))) continue;
    TMatrix turned = stored;
    if (c != 0) {
      TransformMatrix(turned, c, w, h);
      if (MatrixCrc(turned) == storedCrc) {
        v.StartPosition = std::move(turned);
        return true;
      }
    }
    InvertColours(turned);
    if (MatrixCrc(turned) == storedCrc) {
      v.StartPosition = std::move(turned);
      return true;
    }
  }
  v.Moves.clear();
  v.StartPosition.clear();
  return false;
}

void TVarsBase::OnPositionWritten(std::uint32_t index, const TPosData& data) {
  if (data.size() != kVarPosDataSize) return;
  // Every variation of the chain points at the record's new place; a chain longer than the
  // index is a cycle.
  std::uint32_t n = LoadLE32(data.data());
  for (std::uint32_t steps = 0; n != 0 && steps <= VariationCount(); ++steps) {
    TVarIndex record;
    if (!ReadIndex(n, record) || record.PositionWord == index) return;
    record.PositionWord = index;
    WriteIndex(n, record);
    n = record.Next;
  }
}

std::uint32_t TVarsBase::AppendVariation(const TMatrix& start, TRegionWord region,
                                         const TVarMoves& moves) {
  if (!Active() || readOnly_ || moves.size() > 0xFFFF) return 0;
  const int w = RegionWidth(region), h = RegionHeight(region);
  if (!IsValidRegion(region) || start.size() < static_cast<std::size_t>(w * h)) return 0;
  const TMatrix own(start.begin(), start.begin() + w * h);

  // The move data record at the end of ".vdm", padded to whole words.
  const std::uint32_t word = (data_.LogicalDataSize() + 3) / 4 + 1;
  std::vector<std::uint8_t> b(kVarDataHeadSize + moves.size() * kVarMoveSize);
  StoreLE32(b.data() + 4, MatrixCrc(own));
  StoreLE16(b.data() + 8, static_cast<std::uint16_t>(moves.size()));
  for (std::size_t i = 0; i < moves.size(); ++i) {
    StoreLE16(&b[kVarDataHeadSize + i * kVarMoveSize], moves[i].Move);
    b[kVarDataHeadSize + i * kVarMoveSize + 2] = moves[i].Annotation;
  }
  StoreLE16(b.data() + 10, Crc16Continue(Crc16(b.data(), 10), b.data() + kVarDataHeadSize,
                                         b.size() - kVarDataHeadSize));
  b.resize((b.size() + 3) / 4 * 4, 0);
  data_.Write(b.data(), std::int64_t{word - 1} * 4, static_cast<std::uint32_t>(b.size()));

  // The index record first, chained in front of the variations of the same start; storing
  // the position then points the whole chain at the record (OnPositionWritten).
  TSymmetry code = 0;
  TPosData data;
  std::uint32_t first = 0;
  if (positions_.FindPosition(own, region, code, data) && data.size() == kVarPosDataSize)
    first = LoadLE32(data.data());
  data.assign(kVarPosDataSize, 0);
  const std::uint32_t n = VariationCount() + 1;
  WriteIndex(n, {first, word, 0});
  StoreLE32(data.data(), n);
  if (!positions_.StorePosition(own, region, data)) return 0;
  return n;
}

void TransformVar(TVar& v, TSymmetry code) {
  const int w = RegionWidth(v.Region), h = RegionHeight(v.Region);
  for (TVarMove& item : v.Moves) {
    int x = MoveX(item.Move), y = MoveY(item.Move);
    if (x < w && y < h) {
      if (code & kSymSwapXY) std::swap(x, y);
      if (code & kSymMirrorX) x = w - 1 - x;
      if (code & kSymMirrorY) y = h - 1 - y;
      item.Move = static_cast<TMoveWord>((item.Move & ~kPointMask) | (x & 0x1F) | (y & 0x1F) << 8);
    }
    if (code & kSymColours) item.Move ^= kWhiteBit;
  }
  if (v.StartPosition.size() >= static_cast<std::size_t>(w * h) && w > 0 && h > 0) {
    TransformMatrix(v.StartPosition, static_cast<TSymmetry>(code & 7), w, h);
    if (code & kSymColours) InvertColours(v.StartPosition);
  }
}

void GameAsVar(const TGame& game, TVar& v) {
  v = TVar{};
  v.Id = static_cast<std::uint32_t>(game.GameNo);
  v.BoardSize = game.BoardSize;
  v.Region = MakeRegion(rkWholeBoard, game.BoardSize, game.BoardSize);
  if (!(game.Flags & kGameHasMoves) || game.Moves.empty()) return;
  const std::size_t count = std::min<std::size_t>(game.NumberOfMoves, game.Moves.size() - 1);
  for (std::size_t j = 1; j <= count; ++j) {
    const TGameMove& move = game.Moves[j];
    if (IsNoMove(move.Point)) continue;
    const bool white = j % 2 == 0;
    v.Moves.push_back(
        {static_cast<TMoveWord>((move.Point & kPointMask) | (white ? kWhiteBit : 0)), move.Marks});
  }
}

}  // namespace kessaro
