#include "bases/SubNety.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "bases/VarsBase.h"
#include "board/CheckSum.h"
#include "board/PositionFunc.h"
#include "board/SealedHeader.h"
#include "platform/DateTime.h"
#include "records/BoardFormFunc.h"
#include "records/GameFunc.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

std::uint64_t FieldBytes(std::uint32_t bits) {
  return (static_cast<std::uint64_t>(bits) + 1 + 31) / 32 * 4;
}

bool IsNetNode(const TSequence* node) {
  return node != nullptr && (node->Kind == skNetNode || node->Kind == skNetGameNode) &&
         node->Data != nullptr;
}

TNetNodeData* NodeData(TSequence* node) {
  return IsNetNode(node) ? static_cast<TNetNodeData*>(node->Data) : nullptr;
}
const TNetNodeData* NodeData(const TSequence* node) {
  return IsNetNode(node) ? static_cast<const TNetNodeData*>(node->Data) : nullptr;
}

constexpr TMoveWord kMoveColourMask = 0x9F1F;

}  // namespace

TSubNety::TSubNety() {
  SetSignature(kSubNetSignature);
  SetMapped(false);
}

TSubNety::~TSubNety() {
  TSubNety::Close();
}

std::uint32_t TSubNety::U32(std::uint32_t at) const {
  return LoadLE32(&header_[at]);
}

std::int64_t TSubNety::I64(std::uint32_t at) const {
  return static_cast<std::int64_t>(LoadLE64(&header_[at]));
}

void TSubNety::SetU32(std::uint32_t at, std::uint32_t v) {
  StoreLE32(&header_[at], v);
}

std::string TSubNety::Text(std::uint32_t at) const {
  const auto* first = reinterpret_cast<const char*>(&header_[at]);
  return std::string(first, strnlen(first, kSnTextSize));
}

void TSubNety::SetText(std::uint32_t at, const std::string& text) {
  std::fill(header_.begin() + at, header_.begin() + at + kSnTextSize, 0);
  std::memcpy(&header_[at], text.data(), std::min<std::size_t>(text.size(), kSnTextSize - 1));
}

void TSubNety::SetTotals(std::int64_t variations, std::int64_t games, std::int64_t moves) {
  const auto put = [this](std::uint32_t at, std::int64_t v) {
    StoreLE64(&header_[at], static_cast<std::uint64_t>(v));
  };
  put(kSnTotalVariations, variations);
  put(kSnTotalGames, games);
  put(kSnTotalMoves, moves);
}

std::uint32_t TSubNety::Identity() const {
  return Crc32(header_.data(), header_.size());
}
double TSubNety::Created() const {
  return LoadDouble(&header_[kSnCreated]);
}
double TSubNety::Modified() const {
  return LoadDouble(&header_[kSnModified]);
}

bool TSubNety::Open(const std::string& fileName) {
  const bool ok = TMap::Open(fileName);
  if (!active_) return ok;
  LoadSealedHeader(*this, header_);
  if (errors_ != 0) {
    Close();
    return false;
  }
  return true;
}

bool TSubNety::CreateNew(const std::string& fileName) {
  const bool ok = TMap::CreateNew(fileName);
  if (!active_) return ok;
  header_.fill(0);
  StoreDouble(&header_[kSnCreated], Now());
  WriteHeader();
  return active_;
}

void TSubNety::WriteHeader() {
  StoreDouble(&header_[kSnModified], Now());
  WriteSealedHeader(*this, header_);
}

void TSubNety::Close() {
  if (active_ && !readOnly_) {
    SetDataSize(kSubNetHeaderSize);
    std::uint32_t running = kSubNetHeaderSize;
    const auto put = [&](TBitsField* field, std::uint32_t bitsAt, std::uint32_t offsetAt,
                         std::uint32_t crcAt) {
      if (field == nullptr || U32(bitsAt) == 0) {
        SetU32(bitsAt, 0);
        return;
      }
      const std::uint32_t bytes = field->ByteSize();
      Write(field->Bits(), running, bytes);
      SetU32(offsetAt, running);
      SetU32(crcAt, Crc32(field->Bits(), bytes));
      running += bytes;
    };
    put(selection_.get(), kSnSelectionBits, kSnSelectionOffset, kSnSelectionCrc);
    // No game-end field without a selection: the game ends are indexed by rank.
    if (U32(kSnSelectionBits) == 0) SetU32(kSnGameEndBits, 0);
    put(gameEnds_.get(), kSnGameEndBits, kSnGameEndOffset, kSnGameEndCrc);
    WriteHeader();
  }
  TMap::Close();
  selection_.reset();
  gameEnds_.reset();
}

std::uint32_t TSubNety::TakeErrors() {
  std::uint32_t e = TMap::TakeErrors();
  if (subBase_ != nullptr) e |= subBase_->TakeErrors();
  if (net_ != nullptr) e |= net_->TakeErrors();
  return e;
}

bool TSubNety::Attach(TSubBase* subBase, TNetyFile* net, TStatistic* stats) {
  if (subBase == nullptr || net == nullptr) return false;
  if (NetIdentity() != 0 && SubBaseIdentity() != 0) {
    if (net->Identity() != NetIdentity() || subBase->Identity() != SubBaseIdentity() ||
        (stats != nullptr && stats->OwnerIdentity() != Identity()))
      return false;
    subBase_ = subBase;
    net_ = net;
    stats_ = stats;
    return true;
  }
  if (!active_) header_.fill(0);
  subBase_ = subBase;
  net_ = net;
  stats_ = stats;
  SetU32(kSnNetIdentity, net->Identity());
  SetU32(kSnSubBaseIdentity, subBase->Identity());
  const std::uint32_t count = net->NodeCount();
  SetU32(kSnSelectionBits, count);
  if (active_ && count != 0) {
    SetU32(kSnGameEndBits, count);
    selection_ = std::make_unique<TBitsIndexedField>(count + 1);
    gameEnds_ = std::make_unique<TBitsField>(count + 1);
  }
  return true;
}

bool TSubNety::LoadBitFields() {
  if (!active_) return false;
  if (SelectionBits() == 0 || selection_ != nullptr) return true;
  std::uint64_t running = kSubNetHeaderSize;
  const auto load = [&](std::uint32_t bits, std::uint32_t offset, std::uint32_t crc,
                        TBitsField& field) {
    const std::uint64_t bytes = FieldBytes(bits);
    if (offset != running) {
      errors_ |= ErrLayout;
      return false;
    }
    if (running + bytes > DataSize()) {  // hostile count: check before allocating
      errors_ |= ErrFormat;
      return false;
    }
    field.SetCount(bits + 1);
    Read(field.Bits(), static_cast<std::int64_t>(running), static_cast<std::uint32_t>(bytes));
    if (Crc32(field.Bits(), bytes) != crc) {
      MarkCorrupt();
      return false;
    }
    running += bytes;
    return true;
  };
  auto selection = std::make_unique<TBitsIndexedField>();
  bool ok = load(SelectionBits(), SelectionOffset(), SelectionCrc(), *selection);
  std::unique_ptr<TBitsField> gameEnds;
  if (ok && GameEndBits() != 0) {
    gameEnds = std::make_unique<TBitsField>();
    ok = load(GameEndBits(), GameEndOffset(), GameEndCrc(), *gameEnds);
  }
  if (!ok || errors_ != 0) {
    const std::uint32_t e = errors_;
    Close();
    errors_ |= e;
    return false;
  }
  selection->BuildIndex();
  selection_ = std::move(selection);
  gameEnds_ = std::move(gameEnds);
  return true;
}

void TSubNety::ReleaseBitFields() {
  if (!readOnly_) return;
  selection_.reset();
  gameEnds_.reset();
}

bool TSubNety::Rewind() {
  TakeErrors();
  if (!active_ || net_ == nullptr || subBase_ == nullptr) return false;
  return EnsureBitFields();
}

bool TSubNety::EnsureBitFields() {
  if (SelectionBits() == 0 || selection_ != nullptr) return true;
  return LoadBitFields();
}

bool TSubNety::InSelection(std::uint32_t index) {
  if (net_ == nullptr || index == 0 || index > net_->NodeCount()) return false;
  if (SelectionBits() == 0) return true;
  if (!EnsureBitFields()) return false;
  return index < selection_->Count() && ((selection_->Bits()[index / 8] >> (index % 8)) & 1);
}

std::uint32_t TSubNety::SelectedCount() {
  if (SelectionBits() == 0) return net_ != nullptr ? net_->NodeCount() : 0;
  if (!EnsureBitFields()) return 0;
  std::uint32_t n = selection_->TotalSetBits();
  if (selection_->Count() > 0 && (selection_->Bits()[0] & 1)) --n;  // bit 0 names no record
  return n;
}

void TSubNety::Select(std::uint32_t index, bool selected) {
  if (selection_ == nullptr) return;
  selection_->SetBit(index, selected);
  selection_->BuildIndex();
}

void TSubNety::DropSelection() {
  selection_.reset();
  gameEnds_.reset();
  SetU32(kSnSelectionBits, 0);
  SetU32(kSnGameEndBits, 0);
}

void TSubNety::MarkGameEnd(std::uint32_t rank, bool gameEnd) {
  if (gameEnds_ != nullptr) gameEnds_->SetBit(rank, gameEnd);
}

bool TSubNety::HasGameEnd(std::uint32_t index) {
  if (selection_ == nullptr || gameEnds_ == nullptr || !InSelection(index)) return false;
  const std::uint32_t rank = selection_->Rank(index);
  return rank < gameEnds_->Count() && ((gameEnds_->Bits()[rank / 8] >> (rank % 8)) & 1);
}

bool TSubNety::NetFailed() {
  if (net_ == nullptr) return true;
  const std::uint32_t e = net_->TakeErrors();
  errors_ |= e;
  return e != 0;
}

void TSubNety::ReadStats(std::uint32_t index, StatRecord& out) {
  out = StatRecord{};
  if (stats_ == nullptr) return;
  if (SelectionBits() != 0) {
    if (!InSelection(index)) return;
    index = selection_->Rank(index);
  }
  stats_->ReadRecord(index, out);
}

template <typename Visit>
void TSubNety::WalkRing(const NetRecord& record, Visit visit) {
  if (net_ == nullptr) return;
  const std::uint32_t start = record.Index;
  std::uint32_t current = net_->LinkTarget(record);
  std::uint32_t marker = 0;
  std::uint64_t power = 1, steps = 0;
  NetRecord member;
  while (current != 0 && current != start) {
    if (current == marker || !net_->ValidIndex(current)) {
      errors_ |= ErrBrokenLink;  // a cycle that misses the start, or a link off the net
      return;
    }
    net_->ReadNode(current, member);
    if (NetFailed() || !visit(member)) return;
    if (++steps == power) {
      marker = current;
      power *= 2;
      steps = 0;
    }
    current = net_->LinkTarget(member);
    if (NetFailed()) return;
  }
}

void TSubNety::SumTranspositions(TNetNodeData& data) {
  data.SumStats = data.Stats;
  WalkRing(data.Node, [&](const NetRecord& member) {
    if (InSelection(member.Index)) {
      StatRecord r;
      ReadStats(member.Index, r);
      MergeStatRecords(r, data.SumStats);
    }
    return true;
  });
}

TSymmetry TSubNety::CombinedSymmetry(const TSequence* node) const {
  TSymmetry result = 0;
  for (const TSequence* n = node; IsNetNode(n); n = n->ParentNode)
    result = ComposeSymmetry(result, NodeData(n)->Node.ChildSymmetry());
  return result;
}

void TSubNety::ExpandRoot(TSequence* root) {
  if (root == nullptr || net_ == nullptr) return;
  if (root->Data == nullptr) {
    auto data = std::make_unique<TNetRootData>();
    if (stats_ != nullptr) stats_->ReadRecord(0, data->Stats);
    root->Data = data.release();
    root->Kind = skNetRoot;
  }
  if (root->Kind != skNetRoot || root->FirstChild != nullptr) return;
  if (!EnsureBitFields()) return;
  ExpandChildren(1, root, true);
}

void TSubNety::ExpandNode(TSequence* node) {
  const TNetNodeData* data = NodeData(node);
  if (data == nullptr || node->FirstChild != nullptr) return;
  ExpandChildren(data->Node.Child(), node, true);
}

void TSubNety::ExpandChildren(std::uint32_t firstIndex, TSequence* parent, bool withStats) {
  if (parent == nullptr || net_ == nullptr) return;
  if (parent->Kind == skNetGameNode) {
    ExpandGameTail(parent);
    return;
  }
  if ((parent->Kind != skNetNode && parent->Kind != skNetRoot) || firstIndex == 0) return;
  if (parent->Kind == skNetNode && parent->Data == nullptr) return;
  if (!EnsureBitFields()) return;
  const TSymmetry code = CombinedSymmetry(parent);
  TSequence* last = nullptr;
  for (TSequence* c = parent->FirstChild; c != nullptr; c = c->NextSibling) last = c;
  // A sibling list longer than the net is a cycle.
  std::uint64_t budget = static_cast<std::uint64_t>(net_->NodeCount()) + 1;
  for (std::uint32_t index = firstIndex; index != 0 && budget-- > 0;) {
    NetRecord record;
    net_->ReadNode(index, record);
    if (NetFailed()) return;
    const std::uint32_t next = record.Next();
    if (!InSelection(index)) {
      index = next;
      continue;
    }
    const bool hasGames = (record.NodeFlags() & nfHasGames) || HasGameEnd(index);
    std::unique_ptr<TNetNodeData> data;
    if (hasGames)
      data = std::make_unique<TNetGameNodeData>();
    else
      data = std::make_unique<TNetNodeData>();
    data->Node = record;
    if (withStats) {
      ReadStats(index, data->Stats);
      SumTranspositions(*data);
      if (errors_ != 0) return;
    }
    net_->ResolveChildren(data->Node);
    if (NetFailed()) return;
    TMoveWord move = record.Move();
    net_->TransformMove(move, code);
    const std::int32_t kind = hasGames ? skNetGameNode : skNetNode;
    bool repeat = false;
    for (const TSequence* a = parent; a != nullptr && a->Kind == skNetNode && a->Data != nullptr;
         a = a->ParentNode) {
      const std::uint32_t own = NodeData(a)->Node.Index;
      if (own == index || own == data->Node.Child()) {
        repeat = true;
        break;
      }
    }
    TSequence* child = last == nullptr
                           ? AddMove(parent, move, record.Annotation(), kind, data.release())
                           : AddMoveAfter(last, move, record.Annotation(), kind, data.release());
    if (repeat) child->Flags |= sfRepeat;
    last = child;
    index = next;
  }
}

void TSubNety::TranspositionFamily(const TSequence* node, ANetyMoves& out) {
  out.clear();
  const TNetNodeData* data = NodeData(node);
  if (data == nullptr || net_ == nullptr) return;
  out.push_back(data->Node);
  std::vector<TMoveWord> listed{static_cast<TMoveWord>(data->Node.Move() & kMoveColourMask)};
  const TSymmetry inverse = InverseSymmetry(CombinedSymmetry(node));
  // The ring runs through the record as stored (before its children were resolved).
  NetRecord stored;
  net_->ReadNode(data->Node.Index, stored);
  if (NetFailed()) return;
  WalkRing(stored, [&](const NetRecord& member) {
    if (!InSelection(member.Index)) return true;
    TMoveWord move = member.Move();
    net_->TransformMove(move, InverseSymmetry(ComposeSymmetry(inverse, member.ChildSymmetry())));
    move &= kMoveColourMask;
    if (std::find(listed.begin(), listed.end(), move) == listed.end()) {
      listed.push_back(move);
      out.push_back(member);
    }
    return true;
  });
}

bool TSubNety::PathToRecord(std::uint32_t index, APoint& moves, TSymmetry& code) {
  moves.clear();
  code = 0;
  if (net_ == nullptr || !InSelection(index)) return false;
  // The chain from the record up to the first level; a parent chain that repeats an index
  // is a cycle and fails.
  std::vector<std::uint32_t> chain;
  std::unordered_set<std::uint32_t> seen;
  NetRecord current;
  net_->ReadNode(index, current);
  if (NetFailed()) return false;
  for (;;) {
    if (!seen.insert(current.Index).second) return false;
    chain.push_back(current.Index);
    std::uint32_t parent = current.Parent();
    if (parent == 0) break;
    if (!InSelection(parent)) {
      bool found = false;
      WalkRing(current, [&](const NetRecord& member) {
        if (member.Parent() != 0 && InSelection(member.Parent())) {
          chain.back() = member.Index;
          parent = member.Parent();
          found = true;
          return false;
        }
        return true;
      });
      if (!found) return false;
    }
    net_->ReadNode(parent, current);
    if (NetFailed()) return false;
  }
  std::reverse(chain.begin(), chain.end());

  TSequence* root = NewNodeUnder(nullptr);
  root->Kind = skNetRoot;
  root->Data = new TNetRootData();
  ExpandChildren(1, root, false);
  TSequence* level = root;
  TSequence* found = nullptr;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    found = nullptr;
    for (TSequence* c = level->FirstChild; c != nullptr; c = c->NextSibling) {
      const TNetNodeData* d = NodeData(c);
      if (d != nullptr && d->Node.Index == chain[i]) {
        found = c;
        break;
      }
    }
    if (found == nullptr) break;
    moves.push_back(static_cast<std::uint16_t>((found->Point & kPointMask) |
                                               ((found->Flags & sfBlack) ? 0 : kWhiteBit)));
    if (i + 1 < chain.size()) ExpandChildren(NodeData(found)->Node.Child(), found, false);
    level = found;
  }
  if (found != nullptr) code = CombinedSymmetry(found);
  ReleaseTree(root);
  if (found == nullptr) {
    moves.clear();
    code = 0;
    return false;
  }
  return true;
}

namespace {

// The continuation of a game beyond the net: the game's moves translated into the region,
// with the state of the net's game reference (ContIndex, ContLast, ContMove).
class TContinuation {
 public:
  TContinuation(const TVarMoves& moves, const NetRecord& ref, const TMatrix& start,
                TRegionWord region)
      : moves_(moves),
        start_(start),
        region_(region),
        originX_(ref.OriginX()),
        originY_(ref.OriginY()),
        swapColours_((ref.GameSymmetry() & kSymColours) != 0),
        index_(ref.ContIndex()),
        last_(ref.ContLast()) {
    for (std::uint8_t& c : start_)
      if (c == kCellOutside) c = kCellOutside;  // kept: masked cells are not usable
  }

  std::int32_t Index() const { return index_; }
  TMoveWord Move() const { return move_; }

  // Brings the working slot to the stored state: the move at a stored index (or the next
  // usable one), or the first move of a search.
  void Start() {
    if (index_ >= 0) {
      ScanFrom(index_, false);
    } else if (index_ < -1) {
      Advance();
    } else {
      move_ = kNoMove;
    }
  }

  void Advance() {
    if (index_ == -1) return;
    if (index_ < -1) {
      const std::int64_t from = SearchStart();
      if (from < 0) return End();
      ScanFrom(from, true);
    } else {
      ScanFrom(std::int64_t{index_} + 1, false);
    }
  }

  void StepBack() {
    if (index_ < -1) return;
    if (index_ == -1) index_ = last_ >= 0 ? last_ + 1 : static_cast<std::int32_t>(moves_.size());
    for (std::int64_t i =
             std::min<std::int64_t>(index_, static_cast<std::int64_t>(moves_.size())) - 1;
         i >= 0; --i) {
      TMoveWord m;
      if (Usable(static_cast<std::size_t>(i), m)) {
        index_ = static_cast<std::int32_t>(i);
        move_ = m;
        return;
      }
    }
    move_ = kNoMove;
    index_ = -2;
  }

 private:
  bool Usable(std::size_t i, TMoveWord& regionMove) const {
    const TMoveWord m = moves_[i].Move;
    if (IsNoMove(m)) return false;
    const int x = MoveX(m) - originX_, y = MoveY(m) - originY_;
    const int w = RegionWidth(region_), h = RegionHeight(region_);
    if (x < 0 || y < 0 || x >= w || y >= h) return false;
    if (start_[static_cast<std::size_t>(y * w + x)] == kCellOutside) return false;
    regionMove = static_cast<TMoveWord>((m & ~kPointMask) | x | y << 8);
    if (swapColours_) regionMove ^= kWhiteBit;
    return true;
  }

  // Replays usable moves on an empty board until it equals the start position; the index
  // after the last move played, or -1 when the list ends first.
  std::int64_t SearchStart() const {
    const int w = RegionWidth(region_), h = RegionHeight(region_);
    TMatrix target = start_;
    for (std::uint8_t& c : target)
      if (c == kCellOutside) c = kCellEmpty;
    TMatrix board(target.size(), kCellEmpty);
    for (std::size_t i = 0;; ++i) {
      if (board == target) return static_cast<std::int64_t>(i);
      if (i >= moves_.size()) return -1;
      TMoveWord m;
      if (!Usable(i, m)) continue;
      PlaceStone(board, RegionKind(region_), w, (m & kWhiteBit) ? kCellWhite : kCellBlack, MoveY(m),
                 MoveX(m), h);
    }
  }

  void ScanFrom(std::int64_t from, bool searching) {
    for (std::int64_t i = from; i < static_cast<std::int64_t>(moves_.size()); ++i) {
      if (last_ >= 0 && i > last_) break;
      TMoveWord m;
      if (!Usable(static_cast<std::size_t>(i), m)) continue;
      const int w = RegionWidth(region_);
      if (searching && start_[static_cast<std::size_t>(MoveY(m) * w + MoveX(m))] != kCellEmpty)
        break;
      index_ = static_cast<std::int32_t>(i);
      move_ = m;
      return;
    }
    End();
  }

  void End() {
    move_ = kNoMove;
    index_ = -1;
  }

  const TVarMoves& moves_;
  TMatrix start_;
  TRegionWord region_;
  int originX_, originY_;
  bool swapColours_;
  std::int32_t index_, last_;
  TMoveWord move_ = kNoMove;
};

}  // namespace

bool TSubNety::SingleLineToGames(NetRecord& record, std::vector<TSymmetry>& codes) {
  // Follow the only selected child until a record with games; a fork, a leaf or a cycle fails.
  std::unordered_set<std::uint32_t> seen{record.Index};
  for (std::uint32_t level = 0; level <= net_->NodeCount(); ++level) {
    NetRecord resolved = record;
    net_->ResolveChildren(resolved);
    if (NetFailed()) return false;
    NetRecord only;
    int count = 0;
    std::uint64_t budget = std::uint64_t{net_->NodeCount()} + 1;
    for (std::uint32_t i = resolved.Child(); i != 0 && budget-- > 0 && count < 2;) {
      NetRecord child;
      net_->ReadNode(i, child);
      if (NetFailed()) return false;
      if (InSelection(i)) {
        only = child;
        ++count;
      }
      i = child.Next();
    }
    if (count != 1 || !seen.insert(only.Index).second) return false;
    codes.push_back(only.ChildSymmetry());
    record = only;
    if (record.NodeFlags() & nfHasGames) return true;
  }
  return false;
}

bool TSubNety::FindGameRef(const NetRecord& stored, NetRecord& ref) {
  std::uint32_t index = 0;
  if (!(stored.NodeFlags() & nfLink) && InSelection(stored.Child())) {
    index = stored.Child();
  } else {
    NetRecord resolved = stored, junction;
    net_->ResolveChildrenJunction(resolved, junction);
    if (NetFailed()) return false;
    if (InSelection(resolved.Child())) {
      index = resolved.Child();
    } else if (junction.Alternate() != 0 && net_->ValidIndex(junction.Alternate())) {
      NetRecord alternate;
      net_->ReadJunction(junction.Alternate(), alternate);
      if (NetFailed()) return false;
      if (InSelection(alternate.Entry())) index = alternate.Entry();
    }
  }
  if (index == 0 || !net_->ValidIndex(index)) return false;
  net_->ReadGameRef(index, ref);
  return !NetFailed();
}

void TSubNety::ExpandGameTail(TSequence* node) {
  if (node == nullptr || node->Kind != skNetGameNode || node->Data == nullptr ||
      node->FirstChild != nullptr || net_ == nullptr)
    return;
  auto* data = static_cast<TNetGameNodeData*>(node->Data);
  TSequence* root = RootOf(node);
  auto* rootData = dynamic_cast<TNetRootData*>(root->Data);
  if (rootData == nullptr) return;

  // 1. The record that holds the game reference: the node's own, or the end of the single
  // line below it; the codes of that line bring the reference into this node's frame.
  NetRecord holder;
  net_->ReadNode(data->Node.Index, holder);
  if (NetFailed()) return;
  std::vector<TSymmetry> lineCodes;
  if (!(holder.NodeFlags() & nfHasGames) && !(data->Node.NodeFlags() & nfHasGames) &&
      !SingleLineToGames(holder, lineCodes))
    return;

  // 2. The game reference.
  NetRecord ref;
  if (!FindGameRef(holder, ref)) return;
  data->GameRef = ref;

  // 3. The game, as a variation in the net's orientation.
  TVar var;
  const std::uint32_t id = ref.GameId();
  const auto low = static_cast<TSymmetry>(ref.GameSymmetry() & 0x0F);
  TGame& game = rootData->GameRecord;
  if (id >= kVarGameIdFirst && id <= kVarGameIdLast) {
    if (vars_ == nullptr || !vars_->ReadVar(id - kVarGameIdFirst, var)) return;
    TransformVar(var, low);
    FreeGame(game);
    InitGame(game);
    game.GameNo = static_cast<std::int32_t>(id);
    game.BoardSize = var.BoardSize;
  } else {
    if (subBase_ == nullptr) return;
    FreeGame(game);
    InitGame(game);
    game.GameNo = static_cast<std::int32_t>(id);
    subBase_->LoadGame(game);
    errors_ |= subBase_->TakeErrors();
    if (game.GameNo == 0) return;
    TransformMoves(game, low & 7, ref.GameBoardSize());
    GameAsVar(game, var);
    if (low & kSymColours)
      for (TVarMove& m : var.Moves) m.Move ^= kWhiteBit;
  }
  data->LoadedGame = &game;

  // 4. The path's code, and the continuation stepped back over the levels climbed down.
  TSymmetry code = static_cast<TSymmetry>(ref.GameSymmetry() >> 4);
  for (auto it = lineCodes.rbegin(); it != lineCodes.rend(); ++it)
    code = ComposeSymmetry(code, *it);
  code = ComposeSymmetry(code, CombinedSymmetry(node));
  const TNetHeader& header = net_->Header();
  TMatrix start;
  net_->GetStartPosition(start);
  start.resize(static_cast<std::size_t>(header.RegionWidth() * header.RegionHeight()), 0);
  TContinuation walk(var.Moves, ref, start, header.RegionWord());
  walk.Start();
  for (std::size_t i = 0; i < lineCodes.size(); ++i) walk.StepBack();

  // 5. The tail, one kind 6 node per usable move; every advance moves forward in the list.
  TSequence* previous = node;
  for (std::size_t guard = 0; walk.Index() != -1 && guard <= var.Moves.size(); ++guard) {
    TMoveWord move = walk.Move();
    if (walk.Index() >= 0) {
      net_->TransformMove(move, code);
      const auto annotation = var.Moves[static_cast<std::size_t>(walk.Index())].Annotation;
      previous = AddMove(previous, move, annotation, skGameMove, rootData);
    }
    walk.Advance();
  }
}

void TSubNety::CollapseSiblings(TSequence* node) {
  for (TSequence* n = node; n != nullptr; n = n->NextSibling) {
    if (n->Kind == skGameMove || n->FirstChild == nullptr) continue;
    ReleaseTree(n->FirstChild);
  }
}

}  // namespace kessaro
