#pragma once
// The variations base: single variations (a start position and a short list of moves) in
// three files of one base name. ".vpb" is a keyed position store holding every distinct
// start position once (its 12-byte data begins with the first variation that starts there),
// ".vim" holds one 14-byte index record per variation (next variation of the same start,
// move data word index, position record word index, Crc16), ".vdm" the move data records.
// The index follows the position records when the store moves them (OnWriteRecord).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bases/PositionBase.h"
#include "bases/SubBase.h"
#include "records/GameTypes.h"
#include "storage/FileMapping.h"

namespace kessaro {

constexpr std::uint32_t kPosVarsSignature = 318865688;     // 0x13018118
constexpr std::uint32_t kVarsInfoSignature = 2909245964u;  // 0xAD67920C
constexpr std::uint32_t kVarsDataSignature = 4102816387u;  // 0xF48C0283
constexpr std::uint32_t kVarsInfoGrowBy = 0x3800;
constexpr std::uint32_t kVarIndexSize = 4 + 4 + 4 + 2;
constexpr std::uint32_t kVarDataHeadSize = 4 + 4 + 2 + 2;
constexpr std::uint32_t kVarMoveSize = 2 + 1;
constexpr std::uint32_t kVarPosDataSize = 12;
static_assert(kVarIndexSize == 14 && kVarDataHeadSize == 12);

struct TVarMove {
  TMoveWord Move = kNoMove;  // colour in bit 15
  std::uint8_t Annotation = 0;
  friend bool operator==(const TVarMove&, const TVarMove&) = default;
};
using TVarMoves = std::vector<TVarMove>;

struct TVar {
  std::uint32_t Id = 0;
  TRegionWord Region = 0;  // kind, width, height, reserved byte
  std::uint8_t BoardSize = 0;
  std::array<std::uint8_t, 2> Reserved{};
  std::uint16_t Reserved2 = 0;
  TMatrix StartPosition;
  TVarMoves Moves;
};

class TPosVarsBase : public TCustomPositionBase {
 public:
  TPosVarsBase() { SetSignature(kPosVarsSignature); }
};
class TVarsMainInfoFile : public TSaveMap {
 public:
  TVarsMainInfoFile() {
    SetSignature(kVarsInfoSignature);
    SetGrowBy(kVarsInfoGrowBy);
  }
};
class TVarsMainDataFile : public TSaveMap {
 public:
  TVarsMainDataFile() { SetSignature(kVarsDataSignature); }
};

// One index record.
struct TVarIndex {
  std::uint32_t Next = 0;
  std::uint32_t DataWord = 0;
  std::uint32_t PositionWord = 0;
};

class TVarsBase : public TVarsSource {
 public:
  TVarsBase();
  ~TVarsBase() override;
  TVarsBase(const TVarsBase&) = delete;
  TVarsBase& operator=(const TVarsBase&) = delete;

  bool SetReadOnly(bool readOnly);
  bool SetMapped(bool mapped);
  void SetSaveEnabled(bool enabled) { saveEnabled_ = enabled; }
  bool Active() const;
  // Opens fileName + ".vpb", ".vim", ".vdm"; a writable base creates missing files.
  bool Open(const std::string& fileName);
  void Close();
  std::uint32_t TakeErrors() override;

  std::uint32_t Identity() const override;
  std::uint32_t RecordedCount() const override;
  std::uint32_t VariationCount() const override;

  // Variation n (1-based) in its own orientation; false (empty) when it cannot be read.
  bool ReadVar(std::uint32_t n, TVar& v);
  bool ReadIndex(std::uint32_t n, TVarIndex& out);

  // Writable side: appends a variation, sharing the start position with every variation
  // stored from the same position in any orientation. Returns its number, 0 on failure.
  std::uint32_t AppendVariation(const TMatrix& start, TRegionWord region, const TVarMoves& moves);

  TPosVarsBase& Positions() { return positions_; }
  TVarsMainInfoFile& Info() { return info_; }
  TVarsMainDataFile& MoveData() { return data_; }
  bool ReadOnly() const { return readOnly_; }
  bool Mapped() const { return mapped_; }

 private:
  void WriteIndex(std::uint32_t n, const TVarIndex& index);
  void OnPositionWritten(std::uint32_t index, const TPosData& data);
  std::array<std::uint8_t, kPosHeaderSize> StoreHeader() const;

  TPosVarsBase positions_;
  TVarsMainInfoFile info_;
  TVarsMainDataFile data_;
  bool readOnly_ = true;
  bool mapped_ = true;
  bool saveEnabled_ = true;
};

// Brings a variation into another orientation: bits 0-2 turn the moves inside the region and
// the start position, bit 3 swaps colours.
void TransformVar(TVar& v, TSymmetry code);
// A game record as a variation on the whole board, for the continuation of a net branch.
void GameAsVar(const TGame& game, TVar& v);

}  // namespace kessaro
