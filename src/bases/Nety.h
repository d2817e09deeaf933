#pragma once
// The net file (".net"): one move net, the tree of every sequence a game collection played
// inside one board region, with transpositions joined in rings and references from the ends
// of the net into the games that continue beyond it.
//
// Layout (data offsets, little-endian): a 2349-byte header, then 20-byte records; record i
// (1 to NodeCount) starts at 2329 + 20 * i. Each record ends with the CRC-16 of its first 18
// bytes XORed with its kind (0 move node, 1 game reference, 2 junction); the kind follows
// from the link that leads to the record. Readers treat every byte as hostile: an index
// outside 1..NodeCount or outside the file reads as zeros and sets ErrBrokenLink, and every
// walk along links is bounded.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/PointTypes.h"
#include "board/SealedHeader.h"
#include "board/SymmetryFunctions.h"
#include "storage/ByteOrder.h"
#include "storage/FileMapping.h"

namespace kessaro {

constexpr std::uint32_t kNetSignature = 39611331;  // bytes C3 6B 5C 02
constexpr std::uint32_t kNetGrowBy = 0x80000;

// Header fields: offset and width.
constexpr std::uint32_t kNhCreated = 0;         // 8, double
constexpr std::uint32_t kNhModified = 8;        // 8, double
constexpr std::uint32_t kNhNodeCount = 16;      // 4
constexpr std::uint32_t kNhNetFlags = 76;       // 1 (after 56 reserved bytes)
constexpr std::uint32_t kNhRegion = 77;         // 4: kind, width, height, reserved
constexpr std::uint32_t kNhStartSize = 81;      // 4
constexpr std::uint32_t kNhStartPosition = 85;  // up to the description
constexpr std::uint32_t kNhDescription = 1347;  // 988
constexpr std::uint32_t kNhHeaderCrc = 2347;    // 2 (after 12 reserved bytes)
constexpr std::uint32_t kNetStartCells = kNhDescription - kNhStartPosition;
constexpr std::uint32_t kNetDescriptionSize = 988;
constexpr std::uint32_t kNetHeaderSize = kNhHeaderCrc + 2;
static_assert(kNhDescription + kNetDescriptionSize + 12 == kNhHeaderCrc);
static_assert(kNetHeaderSize == 2349);

constexpr std::uint32_t kNetRecordSize = 4 + 4 + 4 + 2 + 2 + 1 + 1 + 2;
constexpr std::uint32_t kNetRecordBase = kNetHeaderSize - kNetRecordSize;  // record 0
static_assert(kNetRecordSize == 20 && kNetRecordBase == 2329);

enum TNetRecordKind : std::uint8_t { nkNode = 0, nkGameRef = 1, nkJunction = 2 };

// NetFlags
constexpr std::uint8_t netOffered = 0x01;
constexpr std::uint8_t netColourInversion = 0x02;

// NodeFlags
constexpr std::uint8_t nfSymmetryMask = 0x0F;
constexpr std::uint8_t nfViaJunction = 0x10;
constexpr std::uint8_t nfLink = 0x20;
constexpr std::uint8_t nfReserved = 0x40;
constexpr std::uint8_t nfHasGames = 0x80;

// A record read into memory: its index and its 20 stored bytes, with accessors for the
// fields of the three kinds.
struct NetRecord {
  std::uint32_t Index = 0;
  std::array<std::uint8_t, kNetRecordSize> Bytes{};

  std::uint32_t U32(std::size_t at) const { return LoadLE32(&Bytes[at]); }
  std::uint16_t U16(std::size_t at) const { return LoadLE16(&Bytes[at]); }
  void SetU32(std::size_t at, std::uint32_t v) { StoreLE32(&Bytes[at], v); }
  void SetU16(std::size_t at, std::uint16_t v) { StoreLE16(&Bytes[at], v); }

  // Move node
  std::uint32_t Parent() const { return U32(0); }
  std::uint32_t Next() const { return U32(4); }
  std::uint32_t Child() const { return U32(8); }
  TMoveWord Move() const { return U16(14); }
  std::uint8_t Annotation() const { return Bytes[16]; }
  std::uint8_t NodeFlags() const { return Bytes[17]; }
  void SetParent(std::uint32_t v) { SetU32(0, v); }
  void SetNext(std::uint32_t v) { SetU32(4, v); }
  void SetChild(std::uint32_t v) { SetU32(8, v); }
  void SetMove(TMoveWord v) { SetU16(14, v); }
  void SetAnnotation(std::uint8_t v) { Bytes[16] = v; }
  void SetNodeFlags(std::uint8_t v) { Bytes[17] = v; }
  TSymmetry ChildSymmetry() const { return static_cast<TSymmetry>(NodeFlags() & nfSymmetryMask); }
  int MoveAnnotation() const { return Annotation() / 13; }
  int PositionAnnotation() const { return Annotation() % 13; }

  // Game reference
  std::uint32_t GameId() const { return U32(4); }
  TMoveWord ContMove() const { return U16(8); }
  std::int16_t ContIndex() const { return static_cast<std::int16_t>(U16(10)); }
  std::int16_t ContLast() const { return static_cast<std::int16_t>(U16(12)); }
  std::uint8_t OriginX() const { return Bytes[14]; }
  std::uint8_t OriginY() const { return Bytes[15]; }
  std::uint8_t GameBoardSize() const { return Bytes[16]; }
  std::uint8_t GameSymmetry() const { return Bytes[17]; }
  void SetGameId(std::uint32_t v) { SetU32(4, v); }
  void SetContMove(TMoveWord v) { SetU16(8, v); }
  void SetContIndex(std::int16_t v) { SetU16(10, static_cast<std::uint16_t>(v)); }
  void SetContLast(std::int16_t v) { SetU16(12, static_cast<std::uint16_t>(v)); }
  void SetOrigin(std::uint8_t x, std::uint8_t y) {
    Bytes[14] = x;
    Bytes[15] = y;
  }
  void SetGameBoardSize(std::uint8_t v) { Bytes[16] = v; }
  void SetGameSymmetry(std::uint8_t v) { Bytes[17] = v; }

  // Junction
  std::uint32_t Entry() const { return U32(4); }
  std::uint32_t SharedChild() const { return U32(8); }
  std::uint32_t Alternate() const { return U32(12); }
  void SetEntry(std::uint32_t v) { SetU32(4, v); }
  void SetSharedChild(std::uint32_t v) { SetU32(8, v); }
  void SetAlternate(std::uint32_t v) { SetU32(12, v); }

  std::uint16_t Check() const { return U16(18); }
};
static_assert(sizeof(NetRecord) == 24, "a NetRecord is the index and the 20 record bytes");

using ANetyMoves = std::vector<NetRecord>;

// The check value a record of the given kind must carry, and a record sealed with it.
std::uint16_t NetRecordCheck(const NetRecord& record, TNetRecordKind kind);
void SealNetRecord(NetRecord& record, TNetRecordKind kind);
bool NetRecordValid(const NetRecord& record, TNetRecordKind kind);

// The header image, decoded on demand.
class TNetHeader {
 public:
  std::array<std::uint8_t, kNetHeaderSize> Bytes{};

  double Created() const;
  double Modified() const;
  std::uint32_t NodeCount() const;
  std::uint8_t NetFlags() const { return Bytes[kNhNetFlags]; }
  std::uint8_t RegionKind() const { return Bytes[kNhRegion]; }
  std::uint8_t RegionWidth() const { return Bytes[kNhRegion + 1]; }
  std::uint8_t RegionHeight() const { return Bytes[kNhRegion + 2]; }
  // The packed region word (kind, width, height, reserved byte) the board control takes.
  TRegionWord RegionWord() const;
  std::uint32_t StartSize() const;
  // The stored start cells, at most as many as the field holds.
  TMatrix StartCells() const;
  std::string Description() const;
  std::uint16_t HeaderCrc() const { return StoredHeaderCheck(Bytes); }
  bool Intact() const { return HeaderIntact(Bytes); }

  void SetCreated(double v);
  void SetModified(double v);
  void SetNodeCount(std::uint32_t v);
  void SetNetFlags(std::uint8_t v) { Bytes[kNhNetFlags] = v; }
  void SetRegion(int kind, int width, int height);
  // Stores width x height cells (StartSize := their number); false when they do not fit.
  bool SetStartPosition(const TMatrix& cells);
  // Cut to 987 bytes so that the zero end always fits.
  void SetDescription(const std::string& text);
  void Seal() { SealHeader(Bytes); }  // HeaderCrc := CRC-16 of bytes 0-2346
};

class TNetyFile : public TMap {
 public:
  TNetyFile();
  ~TNetyFile() override;

  bool Open(const std::string& fileName) override;
  bool CreateNew(const std::string& fileName) override;

  // Copy record Index; with VerifyRecords a wrong check value for the kind marks the file
  // corrupt (the bytes are returned all the same). An index outside 1..NodeCount or outside
  // the file yields a zero record and sets ErrBrokenLink.
  void ReadNode(std::uint32_t index, NetRecord& out);
  void ReadGameRef(std::uint32_t index, NetRecord& out);
  void ReadJunction(std::uint32_t index, NetRecord& out);
  void ReadRecord(std::uint32_t index, TNetRecordKind kind, NetRecord& out);
  // The stored bytes without any check; false (zero record) when the index is outside.
  bool ReadRecordBytes(std::uint32_t index, NetRecord& out);
  bool ValidIndex(std::uint32_t index) const;

  // The next member of a transposition ring (0 when the record is not a link).
  std::uint32_t LinkTarget(const NetRecord& record);
  // Turns a link node in place into a node whose Child starts the shared children list.
  void ResolveChildren(NetRecord& record);
  void ResolveChildrenJunction(NetRecord& record, NetRecord& junction);
  // The children of a node (record Index 0 is the root position); false when a link or
  // the list is broken (what was read before is kept).
  bool ListChildren(const NetRecord& node, ANetyMoves& out);

  void TransformMove(TMoveWord& move, TSymmetry code) const;
  // width x height cells of the start position (cells the header does not hold are empty).
  void GetStartPosition(TMatrix& matrix) const;
  std::uint32_t Identity() const;

  // Writable side for builders: records are sealed with their check value and NodeCount
  // grows to cover them; the header is written at close (and by WriteHeader).
  void WriteNode(const NetRecord& record) { WriteRecord(record, nkNode); }
  void WriteGameRef(const NetRecord& record) { WriteRecord(record, nkGameRef); }
  void WriteJunction(const NetRecord& record) { WriteRecord(record, nkJunction); }
  void WriteRecord(NetRecord record, TNetRecordKind kind);
  void WriteHeader();  // Modified := now, HeaderCrc, 2349 bytes at data offset 0

  TNetHeader& Header() { return header_; }
  const TNetHeader& Header() const { return header_; }
  std::uint32_t NodeCount() const { return header_.NodeCount(); }
  std::uint8_t StartSymmetry() const { return startSymmetry_; }
  const std::uint8_t* NodeBase() const { return nodeBase_; }
  // Recomputes StartSymmetry after the header's region or start position changed.
  void ComputeStartSymmetry();

  bool VerifyRecords = true;

 private:
  void RefreshNodeBase();

  TNetHeader header_;
  const std::uint8_t* nodeBase_ = nullptr;
  std::uint8_t startSymmetry_ = 0;
};

// The integrity check of a whole net: every record's check value for the kind its links
// give it, every link's target, every ring and junction. Linear in the number of records.
struct TNetCheck {
  std::uint64_t records = 0;            // NodeCount
  std::uint64_t unreached = 0;          // records no link leads to (checked against every kind)
  std::uint64_t badRecords = 0;         // records with a wrong check value or a broken link
  std::vector<std::uint32_t> firstBad;  // the lowest bad indices, at most the limit asked
  bool Ok() const { return badRecords == 0; }
};
TNetCheck CheckNet(TNetyFile& net, std::size_t reportLimit = 10);

}  // namespace kessaro
