#pragma once
// The sub-net (".sns"): one net seen through one sub base. A selection bit field picks the
// net records that occur in the sub base's games (rank index: the statistic record of a
// selected node is its rank), a game-end bit field marks, by rank, the selected nodes at
// which a game of the sub base leaves the net. The sub-net grows a board tree lazily from
// the net: moves turned into the path's orientation, statistics per move and summed over
// transpositions, repeats marked, and the continuation of the game that ends a branch.
//
// Layout (data offsets, little-endian, plain positioned access): a 1610-byte header, then
// the selection field (SelectionBits + 1 bits) and the game-end field (GameEndBits + 1
// bits). Every walk over net links is bounded: sibling lists by the net's record count,
// rings and parent chains by a cycle check, so a hostile net ends every walk.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bases/NetNodeData.h"
#include "bases/Nety.h"
#include "bases/Statistic.h"
#include "bases/SubBase.h"
#include "records/BoardFormTypes.h"
#include "storage/BitsField.h"
#include "storage/FileMapping.h"

namespace kessaro {

class TVarsBase;

constexpr std::uint32_t kSubNetSignature = 303374851;  // 0x12152203

// Header fields: offset (width 4 unless said).
constexpr std::uint32_t kSnCreated = 0;   // 8, double
constexpr std::uint32_t kSnModified = 8;  // 8, double
constexpr std::uint32_t kSnNetIdentity = 16;
constexpr std::uint32_t kSnSubBaseIdentity = 20;
constexpr std::uint32_t kSnSelectionOffset = 28;
constexpr std::uint32_t kSnGameEndOffset = 32;
constexpr std::uint32_t kSnSelectionCrc = 40;
constexpr std::uint32_t kSnGameEndCrc = 44;
constexpr std::uint32_t kSnTotalVariations = 48;  // 8, signed
constexpr std::uint32_t kSnTotalGames = 56;       // 8, signed
constexpr std::uint32_t kSnTotalMoves = 64;       // 8, signed
constexpr std::uint32_t kSnSelectionBits = 84;
constexpr std::uint32_t kSnGameEndBits = 88;
constexpr std::uint32_t kSnOrderKey = 92;
constexpr std::uint32_t kSnMenuPath = 96;  // 256
constexpr std::uint32_t kSnNetName = 352;  // 256
constexpr std::uint32_t kSnTextSize = 256;
constexpr std::uint32_t kSnHeaderCrc = 1608;  // 2
constexpr std::uint32_t kSubNetHeaderSize = kSnHeaderCrc + 2;
static_assert(kSubNetHeaderSize == 1610);

// Variation identifiers of net game references.
constexpr std::uint32_t kVarGameIdFirst = 0xD0000000;
constexpr std::uint32_t kVarGameIdLast = 0xDFFFFFFF;

class TSubNety : public TMap {
 public:
  TSubNety();
  ~TSubNety() override;

  bool Open(const std::string& fileName) override;
  bool CreateNew(const std::string& fileName) override;
  void Close() override;
  // Own bits with those of the sub base and the net.
  std::uint32_t TakeErrors() override;

  bool Attach(TSubBase* subBase, TNetyFile* net, TStatistic* stats);
  // The variations base that game references 0xD0000000-0xDFFFFFFF name.
  void SetVarsBase(TVarsBase* vars) { vars_ = vars; }
  bool LoadBitFields();
  void ReleaseBitFields();
  // Back to the start of the net before a window opens it: stale error bits of the sub-net,
  // its net and its sub base are dropped and the bit fields a selection needs are loaded, so
  // that the window's first expansion starts clean. False when the sub-net is not open and
  // attached or its bit fields cannot be loaded.
  bool Rewind();

  TSymmetry CombinedSymmetry(const TSequence* node) const;
  void ExpandRoot(TSequence* root);
  void ExpandNode(TSequence* node);
  void ExpandChildren(std::uint32_t firstIndex, TSequence* parent, bool withStats);
  void ReadStats(std::uint32_t index, StatRecord& out);
  void SumTranspositions(TNetNodeData& data);
  void TranspositionFamily(const TSequence* node, ANetyMoves& out);
  // The moves from the root to record `index` (White's with bit 15) and the symmetry code
  // of the node reached; false (empty list) when no path is found.
  bool PathToRecord(std::uint32_t index, APoint& moves, TSymmetry& code);
  void ExpandGameTail(TSequence* node);
  void CollapseSiblings(TSequence* node);

  // Whether record `index` belongs to the sub-net; every record does without a selection.
  bool InSelection(std::uint32_t index);
  std::uint32_t SelectedCount();

  // Writable side for builders: bit fields of a sub-net attached while its file is open.
  void Select(std::uint32_t index, bool selected = true);
  void MarkGameEnd(std::uint32_t rank, bool gameEnd = true);
  // Every record belongs: no selection and no game-end field.
  void DropSelection();
  void SetOrderKey(std::uint32_t key) { SetU32(kSnOrderKey, key); }
  void SetMenuPath(const std::string& path) { SetText(kSnMenuPath, path); }
  void SetNetName(const std::string& name) { SetText(kSnNetName, name); }
  void SetTotals(std::int64_t variations, std::int64_t games, std::int64_t moves);

  std::uint32_t Identity() const;
  double Created() const;
  double Modified() const;
  std::uint32_t NetIdentity() const { return U32(kSnNetIdentity); }
  std::uint32_t SubBaseIdentity() const { return U32(kSnSubBaseIdentity); }
  std::uint32_t SelectionBits() const { return U32(kSnSelectionBits); }
  std::uint32_t GameEndBits() const { return U32(kSnGameEndBits); }
  std::uint32_t SelectionOffset() const { return U32(kSnSelectionOffset); }
  std::uint32_t GameEndOffset() const { return U32(kSnGameEndOffset); }
  std::uint32_t SelectionCrc() const { return U32(kSnSelectionCrc); }
  std::uint32_t GameEndCrc() const { return U32(kSnGameEndCrc); }
  std::int64_t TotalVariations() const { return I64(kSnTotalVariations); }
  std::int64_t TotalGames() const { return I64(kSnTotalGames); }
  std::int64_t TotalMoves() const { return I64(kSnTotalMoves); }
  std::uint32_t OrderKey() const { return U32(kSnOrderKey); }
  std::string MenuPath() const { return Text(kSnMenuPath); }
  std::string NetName() const { return Text(kSnNetName); }
  const std::array<std::uint8_t, kSubNetHeaderSize>& HeaderBytes() const { return header_; }

  TBitsIndexedField* Selection() const { return selection_.get(); }
  TBitsField* GameEnds() const { return gameEnds_.get(); }
  TSubBase* SubBase() const { return subBase_; }
  TNetyFile* Net() const { return net_; }
  TStatistic* Stats() const { return stats_; }
  TVarsBase* VarsBase() const { return vars_; }

 private:
  std::uint32_t U32(std::uint32_t at) const;
  std::int64_t I64(std::uint32_t at) const;
  void SetU32(std::uint32_t at, std::uint32_t v);
  std::string Text(std::uint32_t at) const;
  void SetText(std::uint32_t at, const std::string& text);
  void WriteHeader();
  // Loads the bit fields a selection needs before the first expansion.
  bool EnsureBitFields();
  // Moves the net's error bits to the sub-net's; true when there were any.
  bool NetFailed();
  bool HasGameEnd(std::uint32_t index);
  // Calls visit(member) for every other member of record's ring, in ring order; stops when
  // visit returns false, at 0, back at the start, or on a cycle that misses the start.
  bool SingleLineToGames(NetRecord& record, std::vector<TSymmetry>& codes);
  bool FindGameRef(const NetRecord& stored, NetRecord& ref);
  template <typename Visit>
  void WalkRing(const NetRecord& record, Visit visit);

  std::array<std::uint8_t, kSubNetHeaderSize> header_{};
  std::unique_ptr<TBitsIndexedField> selection_;
  std::unique_ptr<TBitsField> gameEnds_;
  TSubBase* subBase_ = nullptr;
  TNetyFile* net_ = nullptr;
  TStatistic* stats_ = nullptr;
  TVarsBase* vars_ = nullptr;
};

}  // namespace kessaro
