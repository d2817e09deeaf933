#pragma once
// The node of every move tree: the root carries the game or net a board window shows, every
// other node one move (or a moveless node that only sets up stones) with its comment,
// annotations, setup stones and marks.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/PointTypes.h"
#include "records/GameTypes.h"
#include "strings/StringSet.h"

namespace kessaro {

// One item of a setup or marks list: a point (x low byte, y high byte) and a value. In Setup
// 0 empties the point, 1 puts a black stone, 2 a white one; values with bit 30 are marks.
struct TPositionModifierItem {
  std::uint16_t Point = kNoMove;
  std::uint32_t Value = 0;
  friend bool operator==(const TPositionModifierItem&, const TPositionModifierItem&) = default;
};
using APositionModifier = std::vector<TPositionModifierItem>;
constexpr std::uint32_t kModifierMarkBit = 0x40000000;

// TSequence.Flags
constexpr std::uint8_t sfRepeat = 0x01;        // leads back to a position of an ancestor
constexpr std::uint8_t sfBlack = 0x02;         // the move is Black's
constexpr std::uint8_t sfInverted = 0x04;      // last shown with colours inverted
constexpr std::uint8_t sfTestMove = 0x08;      // added on a test board
constexpr std::uint8_t sfAlternate = 0x10;     // one tenuki after this node: show the Alt lists
constexpr std::uint8_t sfDoubleTenuki = 0x20;  // two tenukis after this node
constexpr std::uint8_t sfModified = 0x40;      // user move, comment or annotation to be stored
constexpr std::uint8_t sfDeleted = 0x80;       // user move to be removed from the position base

// TSequence.Kind
enum TSequenceKind : std::int32_t {
  skPlain = 0,        // SGF and test board nodes; no data
  skBoardRoot = 1,    // root of a board window without net or game; no data
  skGameRoot = 2,     // owns a TGameRootData
  skNetRoot = 3,      // owns a TNetRootData
  skPathNode = 4,     // shares its root's data
  skNetNode = 5,      // owns a TNetNodeData
  skGameMove = 6,     // shares the game record of its root
  skNetGameNode = 7,  // owns a TNetGameNodeData
  skUserMove = 8,     // a user's move in a net window; no data
};
constexpr bool KindOwnsData(std::int32_t kind) {
  return kind == skGameRoot || kind == skNetRoot || kind == skNetNode || kind == skNetGameNode;
}

constexpr std::int32_t kNoMoveNumber = 0x7FFFFF;

// What a node's Data refers to. Owning kinds copy it with Clone; roots expose their game.
class TNodeData {
 public:
  virtual ~TNodeData() = default;
  virtual std::unique_ptr<TNodeData> Clone() const = 0;
  virtual TGame* Game() { return nullptr; }
  const TGame* Game() const { return const_cast<TNodeData*>(this)->Game(); }
};

// Kind 2: the game record of a game tree. It is initialised on creation and released with it.
class TGameRootData : public TNodeData {
 public:
  TGameRootData();
  ~TGameRootData() override;
  TGameRootData(const TGameRootData&) = delete;
  TGameRootData& operator=(const TGameRootData&) = delete;
  std::unique_ptr<TNodeData> Clone() const override;
  TGame* Game() override { return &GameRecord; }

  TGameRoot GameRecord;
};

struct TSequence {
  TMoveWord Point = kNoMove;  // mask 0x1F1F; the colour is in Flags
  std::uint8_t CaptureFlags = 0;
  std::uint8_t Flags = 0;
  std::uint8_t PositionSymmetry = 0;  // 0 when not computed
  std::uint8_t SymmetryDirty = 1;
  std::uint16_t CapturedBlack = 0;
  std::uint16_t CapturedWhite = 0;
  // Ladder flag, tenuki flag, move annotation (0-16), position annotation (0-12).
  std::array<std::uint8_t, 4> Annotations{};
  APositionModifier Setup, SetupAlt, Marks, MarksAlt;
  std::string NodeName;
  std::string Comment;  // lines separated by "\r\n"
  std::unique_ptr<TStringSet> CommentSet;
  std::int32_t MoveNumber = kNoMoveNumber;
  TNodeData* Data = nullptr;  // owned when KindOwnsData(Kind), else shared with the root
  std::int32_t Kind = skPlain;
  TSequence* ParentNode = nullptr;
  TSequence* FirstChild = nullptr;
  TSequence* NextSibling = nullptr;
};

}  // namespace kessaro
