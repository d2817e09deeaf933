#include "workspace/GameComment.h"

#include <algorithm>

#include "bases/NetNodeData.h"
#include "board/CheckSum.h"
#include "lists/FontList.h"
#include "platform/Registry.h"
#include "records/GameFunc.h"

namespace kessaro {

bool IsListableElement(TGameInfoElement element) {
  return element != GI_Empty && element < kGameInfoElementCount && !ElementName(element).empty();
}

const TGameInfoElementOrder& DefaultInfoOrder() {
  return FullElementOrder();
}

std::uint32_t GameRecordCrc(const TGame& game) {
  std::uint32_t crc = kCrc32Init;
  auto add = [&crc](const auto& value) { crc = Crc32Continue(crc, &value, sizeof value); };
  add(game.GameNo);
  add(game.BoardSize);
  add(game.Handicap);
  add(game.NumberOfMoves);
  add(game.NumberOfFixedMoves);
  add(game.Charset);
  add(game.Date);
  add(game.Komi);
  add(game.BlackGameRank);
  add(game.WhiteGameRank);
  add(game.BlackBaseRank);
  add(game.WhiteBaseRank);
  for (int e = 0; e < kGameInfoElementCount; ++e) {
    const TStringSet* set = ElementSet(game, static_cast<TGameInfoElement>(e));
    std::uint32_t size = set ? set->Size() : 0xFFFFFFFF;
    add(size);
    if (set && size > 0) crc = Crc32Continue(crc, set->Buffer().data(), size);
  }
  for (const TSource& s : game.Info.Sources) {
    add(s.Page);
    add(s.Dia);
    if (s.Name) crc = Crc32Continue(crc, s.Name->Buffer().data(), s.Name->Size());
  }
  return crc;
}

namespace {

const TGame* GameOf(const TSequence& node) {
  if (node.Data == nullptr) return nullptr;
  if (node.Kind == skNetGameNode) {
    const auto* data = dynamic_cast<const TNetGameNodeData*>(node.Data);
    return data ? data->LoadedGame : nullptr;
  }
  return node.Data->Game();
}

std::string WithoutBreaks(std::string text) {
  std::erase_if(text, [](char c) { return c == '\n' || c == '\r' || c == '\t'; });
  return text;
}

}  // namespace

void TGameComment::SetNode(TSequence* node) {
  if (node == nullptr) {
    node_ = nullptr;
    crcValid_ = false;
    return;
  }
  if (node->Kind != skGameRoot && node->Kind != skPathNode && node->Kind != skGameMove &&
      node->Kind != skNetGameNode) {
    return;
  }
  node_ = node;
  LongComment = node->Comment;
  const TGame* game = GameOf(*node);
  if (game == nullptr) {
    Lines.clear();
    crcValid_ = false;
    return;
  }
  std::uint32_t crc = GameRecordCrc(*game);
  if (crcValid_ && crc == gameCrc_) return;
  gameCrc_ = crc;
  crcValid_ = true;
  Refill(*game);
}

void TGameComment::Refill(const TGame& game) {
  ++Rebuilds;
  Lines.clear();
  TLanguage language = MainLanguage(game);
  ListCharset = kessaro::ListCharset(language);
  for (TGameInfoElement e : order_) {
    if (!IsListableElement(e)) continue;
    std::string text = ElementTextIn(game, e, kEnglish);
    if (text.empty() && (e == GI_BlackPlayer || e == GI_WhitePlayer)) {
      text = ElementTextIn(game, e, language);
    }
    text = WithoutBreaks(std::move(text));
    if (text.empty()) continue;
    Lines.push_back({ElementName(e), std::move(text)});
  }
}

void TGameComment::SetInfoOrder(const TGameInfoElementOrder& order) {
  order_ = order;
  crcValid_ = false;
  TSequence* node = node_;
  node_ = nullptr;
  if (node != nullptr) SetNode(node);
}

void TGameComment::LoadSettings(TRegistryKey& key, const std::string& name) {
  auto sub = OpenKeyForRead(key, name);
  if (!sub) return;
  auto height =
      static_cast<std::int32_t>(ReadInteger(*sub, "", static_cast<std::uint32_t>(MemoHeight)));
  MemoHeight = height <= 0 ? 30 : height;
  std::uint32_t count = ReadInteger(*sub, "Count", 0);
  if (count == 0 || ReadInteger(*sub, "Count ", 0) != 54) return;
  // The stored count is checked against the value's real size and every element's range.
  if (count > static_cast<std::uint32_t>(kGameInfoElementCount) * 4 ||
      BinarySize(*sub, "Info Order") != count * 2) {
    return;
  }
  std::vector<std::uint8_t> bytes(count * 2);
  if (ReadBinary(*sub, "Info Order", bytes.data(), 0, bytes.size()) != bytes.size()) return;
  TGameInfoElementOrder order;
  for (std::uint32_t i = 0; i < count; ++i) {
    auto value = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (value >= kGameInfoElementCount) return;
    order.push_back(static_cast<TGameInfoElement>(value));
  }
  order_ = std::move(order);
  crcValid_ = false;
}

void TGameComment::SaveSettings(TRegistryKey& key, const std::string& name) const {
  auto sub = OpenKeyForWrite(key, name);
  if (!sub) return;
  WriteInteger(*sub, "", static_cast<std::uint32_t>(MemoHeight));
  WriteInteger(*sub, "Count", static_cast<std::uint32_t>(order_.size()));
  WriteInteger(*sub, "Count ", 54);
  if (order_.empty()) return;
  std::vector<std::uint8_t> bytes;
  for (TGameInfoElement e : order_) {
    bytes.push_back(static_cast<std::uint8_t>(e));
    bytes.push_back(static_cast<std::uint8_t>(e >> 8));
  }
  WriteBinary(*sub, "Info Order", bytes.data(), bytes.size());
}

void TGameCommentOptionsFrame::SetOrder(const TGameInfoElementOrder& order) {
  Src.clear();
  Dst.clear();
  for (TGameInfoElement e : order) {
    if (IsListableElement(e)) Dst.push_back({e});
  }
  for (int i = 0; i < kGameInfoElementCount; ++i) {
    auto e = static_cast<TGameInfoElement>(i);
    if (!IsListableElement(e)) continue;
    if (std::none_of(Dst.begin(), Dst.end(), [e](const Line& l) { return l.Element == e; })) {
      Src.push_back({e});
    }
  }
}

TGameInfoElementOrder TGameCommentOptionsFrame::GetOrder() const {
  if (Dst.empty()) return DefaultInfoOrder();
  TGameInfoElementOrder order;
  for (const Line& l : Dst) order.push_back(l.Element);
  return order;
}

void TGameCommentOptionsFrame::Move(std::vector<Line>& from, std::vector<Line>& to) {
  int first = -1;
  std::vector<Line> moved;
  for (int i = static_cast<int>(from.size()) - 1; i >= 0; --i) {
    if (!from[static_cast<std::size_t>(i)].Selected) continue;
    first = i;
    moved.push_back({from[static_cast<std::size_t>(i)].Element});
    from.erase(from.begin() + i);
  }
  // Taken from the last up, so the moved lines arrive in reverse list order.
  for (const Line& l : moved) to.push_back(l);
  for (Line& l : from) l.Selected = false;
  for (Line& l : to) l.Selected = false;
  if (from.empty()) return;
  std::size_t select =
      first < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(first), from.size() - 1);
  from[select].Selected = true;
}

void TGameCommentOptionsFrame::MoveRight() {
  Move(Src, Dst);
}
void TGameCommentOptionsFrame::MoveLeft() {
  Move(Dst, Src);
}

void TGameCommentOptionsFrame::MoveAllRight() {
  if (Dst.empty()) {
    SetOrder(DefaultInfoOrder());
    return;
  }
  for (const Line& l : Src) Dst.push_back({l.Element});
  Src.clear();
}

void TGameCommentOptionsFrame::MoveAllLeft() {
  for (const Line& l : Dst) Src.push_back({l.Element});
  Dst.clear();
}

void TGameCommentOptionsFrame::MoveUp() {
  for (std::size_t i = 1; i < Dst.size(); ++i) {
    if (Dst[i].Selected && !Dst[i - 1].Selected) std::swap(Dst[i], Dst[i - 1]);
  }
}

void TGameCommentOptionsFrame::MoveDown() {
  for (std::size_t i = Dst.size(); i-- > 1;) {
    if (Dst[i - 1].Selected && !Dst[i].Selected) std::swap(Dst[i], Dst[i - 1]);
  }
}

}  // namespace kessaro
