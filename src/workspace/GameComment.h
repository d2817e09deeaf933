#pragma once
// The game comment pane (the game's information fields and the node's comment text) and the
// options frame that chooses and orders the fields it lists.

#include <cstdint>
#include <string>
#include <vector>

#include "records/BoardFormTypes.h"
#include "records/GameTypes.h"

namespace kessaro {

class TRegistryKey;

// Elements with a display name: the ones a game comment pane can list.
bool IsListableElement(TGameInfoElement element);
// The 23 fields listed by default.
const TGameInfoElementOrder& DefaultInfoOrder();
// A checksum of everything the pane shows of a game record.
std::uint32_t GameRecordCrc(const TGame& game);

struct TGameCommentLine {
  std::string Name, Text;
};

class TGameComment {
 public:
  void SetNode(TSequence* node);
  void SetInfoOrder(const TGameInfoElementOrder& order);
  // A missing, damaged or foreign stored order keeps the current one.
  void LoadSettings(TRegistryKey& key, const std::string& name);
  void SaveSettings(TRegistryKey& key, const std::string& name) const;

  TSequence* Node() const { return node_; }
  const TGameInfoElementOrder& InfoOrder() const { return order_; }
  std::uint32_t GameCrc() const { return gameCrc_; }

  std::vector<TGameCommentLine> Lines;
  std::string LongComment;
  std::uint8_t ListCharset = 0;  // of the game's language
  int MemoHeight = 30;
  int Rebuilds = 0;  // times the list was refilled from a record

 private:
  void Refill(const TGame& game);

  TSequence* node_ = nullptr;
  TGameInfoElementOrder order_ = DefaultInfoOrder();
  std::uint32_t gameCrc_ = 0;
  bool crcValid_ = false;
};

// Two lists of fields: Src the hidden ones (in field order), Dst the shown ones in their order.
class TGameCommentOptionsFrame {
 public:
  struct Line {
    TGameInfoElement Element;
    bool Selected = false;
  };

  void SetOrder(const TGameInfoElementOrder& order);
  // The shown fields; the default order when none is shown.
  TGameInfoElementOrder GetOrder() const;

  void MoveRight();     // ">"
  void MoveLeft();      // "<"
  void MoveAllRight();  // ">>"
  void MoveAllLeft();   // "<<"
  void MoveUp();
  void MoveDown();
  bool RightEnabled() const { return !Src.empty(); }
  bool LeftEnabled() const { return !Dst.empty(); }

  std::vector<Line> Src, Dst;

 private:
  static void Move(std::vector<Line>& from, std::vector<Line>& to);
};

}  // namespace kessaro
