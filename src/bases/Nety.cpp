#include "bases/Nety.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "board/CheckSum.h"
#include "platform/DateTime.h"
#include "storage/ByteOrder.h"

namespace kessaro {
namespace {

constexpr std::uint8_t kLinkFlags = nfLink | nfViaJunction;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Records and header

std::uint16_t NetRecordCheck(const NetRecord& record, TNetRecordKind kind) {
  return static_cast<std::uint16_t>(Crc16(record.Bytes.data(), kNetRecordSize - 2) ^ kind);
}

void SealNetRecord(NetRecord& record, TNetRecordKind kind) {
  record.SetU16(kNetRecordSize - 2, NetRecordCheck(record, kind));
}

bool NetRecordValid(const NetRecord& record, TNetRecordKind kind) {
  return record.Check() == NetRecordCheck(record, kind);
}

double TNetHeader::Created() const {
  return LoadDouble(&Bytes[kNhCreated]);
}
double TNetHeader::Modified() const {
  return LoadDouble(&Bytes[kNhModified]);
}
std::uint32_t TNetHeader::NodeCount() const {
  return LoadLE32(&Bytes[kNhNodeCount]);
}
TRegionWord TNetHeader::RegionWord() const {
  return LoadLE32(&Bytes[kNhRegion]);
}
std::uint32_t TNetHeader::StartSize() const {
  return LoadLE32(&Bytes[kNhStartSize]);
}

TMatrix TNetHeader::StartCells() const {
  const std::uint32_t n = std::min(StartSize(), kNetStartCells);
  return TMatrix(Bytes.begin() + kNhStartPosition, Bytes.begin() + kNhStartPosition + n);
}

std::string TNetHeader::Description() const {
  const auto* first = reinterpret_cast<const char*>(&Bytes[kNhDescription]);
  const auto* end = static_cast<const char*>(std::memchr(first, 0, kNetDescriptionSize));
  return std::string(first, end != nullptr ? end : first + kNetDescriptionSize);
}

void TNetHeader::SetCreated(double v) {
  StoreDouble(&Bytes[kNhCreated], v);
}
void TNetHeader::SetModified(double v) {
  StoreDouble(&Bytes[kNhModified], v);
}
void TNetHeader::SetNodeCount(std::uint32_t v) {
  StoreLE32(&Bytes[kNhNodeCount], v);
}

void TNetHeader::SetRegion(int kind, int width, int height) {
  Bytes[kNhRegion] = static_cast<std::uint8_t>(kind);
  Bytes[kNhRegion + 1] = static_cast<std::uint8_t>(width);
  Bytes[kNhRegion + 2] = static_cast<std::uint8_t>(height);
}

bool TNetHeader::SetStartPosition(const TMatrix& cells) {
  if (cells.size() > kNetStartCells) return false;
  std::fill(Bytes.begin() + kNhStartPosition, Bytes.begin() + kNhDescription, 0);
  std::copy(cells.begin(), cells.end(), Bytes.begin() + kNhStartPosition);
  StoreLE32(&Bytes[kNhStartSize], static_cast<std::uint32_t>(cells.size()));
  return true;
}

void TNetHeader::SetDescription(const std::string& text) {
  std::fill(Bytes.begin() + kNhDescription, Bytes.begin() + kNhDescription + kNetDescriptionSize,
            0);
  const std::size_t n = std::min<std::size_t>(text.size(), kNetDescriptionSize - 1);
  std::memcpy(&Bytes[kNhDescription], text.data(), n);
}

// ---------------------------------------------------------------------------------------------
// TNetyFile

TNetyFile::TNetyFile() {
  mapped_ = true;
  signature_ = kNetSignature;
  growBy_ = kNetGrowBy;
  OnRemap = [this](TCustomMap&) { RefreshNodeBase(); };
  OnBeforeClose = [this](TCustomMap&) { WriteHeader(); };
}

TNetyFile::~TNetyFile() {
  TNetyFile::Close();
}

void TNetyFile::RefreshNodeBase() {
  nodeBase_ = Data() != nullptr ? Data() + kNetRecordBase : nullptr;
}

void TNetyFile::ComputeStartSymmetry() {
  const TRegionWord region =
      MakeRegion(header_.RegionKind(), header_.RegionWidth(), header_.RegionHeight());
  startSymmetry_ = 0;
  if (!IsValidRegion(region)) return;
  TMatrix cells;
  GetStartPosition(cells);
  startSymmetry_ = SymmetryMask(cells, region);
}

bool TNetyFile::Open(const std::string& fileName) {
  const bool ok = TMap::Open(fileName);
  if (!active_) return ok;
  if (!ReadSealedHeader(*this, header_.Bytes)) MarkCorrupt();
  // Every record the header counts must lie inside the file, so that no read leaves it.
  const std::uint64_t needed =
      kNetRecordBase + (static_cast<std::uint64_t>(header_.NodeCount()) + 1) * kNetRecordSize;
  if (errors_ == 0 && DataSize() < needed) errors_ |= ErrFormat;
  if (errors_ != 0) {
    Close();
    return false;
  }
  RefreshNodeBase();
  ComputeStartSymmetry();
  return true;
}

bool TNetyFile::CreateNew(const std::string& fileName) {
  const bool ok = TMap::CreateNew(fileName);
  if (!active_) return ok;
  header_ = TNetHeader{};
  header_.SetCreated(Now());
  WriteHeader();
  RefreshNodeBase();
  ComputeStartSymmetry();
  return active_;
}

void TNetyFile::WriteHeader() {
  if (!active_ || readOnly_) return;
  header_.SetModified(Now());
  WriteSealedHeader(*this, header_.Bytes);
  RefreshNodeBase();
}

bool TNetyFile::ValidIndex(std::uint32_t index) const {
  if (index == 0 || index > header_.NodeCount()) return false;
  const std::uint64_t end =
      kNetRecordBase + (static_cast<std::uint64_t>(index) + 1) * kNetRecordSize;
  return end <= DataSize();
}

bool TNetyFile::ReadRecordBytes(std::uint32_t index, NetRecord& out) {
  out.Index = index;
  if (!active_ || !ValidIndex(index)) {
    out.Bytes.fill(0);
    return false;
  }
  const std::uint64_t offset = kNetRecordBase + static_cast<std::uint64_t>(index) * kNetRecordSize;
  if (nodeBase_ != nullptr && offset + kNetRecordSize <= static_cast<std::uint64_t>(mapSize_) - 4)
    std::memcpy(out.Bytes.data(), nodeBase_ + static_cast<std::size_t>(index) * kNetRecordSize,
                kNetRecordSize);
  else
    Read(out.Bytes.data(), static_cast<std::int64_t>(offset), kNetRecordSize);
  return true;
}

void TNetyFile::ReadRecord(std::uint32_t index, TNetRecordKind kind, NetRecord& out) {
  if (!ReadRecordBytes(index, out)) {
    errors_ |= ErrBrokenLink;
    return;
  }
  if (VerifyRecords && !NetRecordValid(out, kind)) MarkCorrupt();
}

void TNetyFile::ReadNode(std::uint32_t index, NetRecord& out) {
  ReadRecord(index, nkNode, out);
}
void TNetyFile::ReadGameRef(std::uint32_t index, NetRecord& out) {
  ReadRecord(index, nkGameRef, out);
}
void TNetyFile::ReadJunction(std::uint32_t index, NetRecord& out) {
  ReadRecord(index, nkJunction, out);
}

void TNetyFile::WriteRecord(NetRecord record, TNetRecordKind kind) {
  if (!active_ || readOnly_ || record.Index == 0) return;
  SealNetRecord(record, kind);
  const std::uint64_t offset =
      kNetRecordBase + static_cast<std::uint64_t>(record.Index) * kNetRecordSize;
  if (offset + kNetRecordSize > 0xFFFFFFFFull - 4) {
    errors_ |= ErrIO;
    return;
  }
  Write(record.Bytes.data(), static_cast<std::int64_t>(offset), kNetRecordSize);
  if (record.Index > header_.NodeCount()) header_.SetNodeCount(record.Index);
}

std::uint32_t TNetyFile::LinkTarget(const NetRecord& record) {
  if (!(record.NodeFlags() & nfLink)) return 0;
  if (!(record.NodeFlags() & nfViaJunction)) return record.Child();
  NetRecord junction;
  ReadJunction(record.Child(), junction);
  return junction.Entry();
}

void TNetyFile::ResolveChildren(NetRecord& record) {
  NetRecord junction;
  ResolveChildrenJunction(record, junction);
}

void TNetyFile::ResolveChildrenJunction(NetRecord& record, NetRecord& junction) {
  junction = NetRecord{};
  if (!(record.NodeFlags() & nfLink) || record.Child() == 0) return;
  NetRecord r = record;
  if (!(r.NodeFlags() & nfViaJunction)) {
    // Follow the ring to the member that names the junction. A ring that never gets there
    // is broken: it meets 0, an index outside the net, a record that is no link, comes
    // back to the start, or runs into a cycle of its own (Brent's cycle check).
    std::uint32_t current = r.Child();
    std::uint32_t marker = 0;
    std::uint64_t power = 1, steps = 0;
    NetRecord member;
    for (;;) {
      if (current == 0 || current == r.Index || current == marker || !ValidIndex(current)) {
        errors_ |= ErrBrokenLink;
        return;
      }
      ReadNode(current, member);
      if (member.NodeFlags() & nfViaJunction) break;
      if (!(member.NodeFlags() & nfLink)) {
        errors_ |= ErrBrokenLink;
        return;
      }
      if (++steps == power) {
        marker = current;
        power *= 2;
        steps = 0;
      }
      current = member.Child();
    }
    r.SetChild(member.Child());
    if (member.NodeFlags() & nfHasGames) r.SetNodeFlags(r.NodeFlags() | nfHasGames);
  }
  if (!ValidIndex(r.Child())) {
    errors_ |= ErrBrokenLink;
    return;
  }
  ReadJunction(r.Child(), junction);
  if (junction.SharedChild() != 0) {
    r.SetChild(junction.SharedChild());
  } else if (junction.Alternate() != 0 && (r.NodeFlags() & nfHasGames)) {
    NetRecord alternate;
    if (!ValidIndex(junction.Alternate())) {
      errors_ |= ErrBrokenLink;
      return;
    }
    ReadJunction(junction.Alternate(), alternate);
    if (alternate.Entry() == 0) {
      errors_ |= ErrBrokenLink;
      return;
    }
    r.SetChild(alternate.Entry());
  } else {
    errors_ |= ErrBrokenLink;
    return;
  }
  r.SetNodeFlags(static_cast<std::uint8_t>(r.NodeFlags() & ~kLinkFlags));
  record = r;
}

bool TNetyFile::ListChildren(const NetRecord& node, ANetyMoves& out) {
  out.clear();
  std::uint32_t current = 1;
  if (node.Index != 0) {
    const bool wasLink = (node.NodeFlags() & nfLink) != 0;
    NetRecord r = node;
    ResolveChildren(r);
    if (r.NodeFlags() & nfLink) return false;
    // The Child of a plain node with games names its game reference, not children.
    if (!wasLink && (r.NodeFlags() & nfHasGames)) return true;
    current = r.Child();
  } else if (header_.NodeCount() == 0) {
    return true;
  }
  // A sibling list longer than the net is a cycle.
  const std::uint32_t limit = header_.NodeCount();
  NetRecord child;
  while (current != 0) {
    if (out.size() >= limit || !ValidIndex(current)) {
      errors_ |= ErrBrokenLink;
      return false;
    }
    ReadNode(current, child);
    out.push_back(child);
    current = child.Next();
  }
  return true;
}

void TNetyFile::TransformMove(TMoveWord& move, TSymmetry code) const {
  move = kessaro::TransformMove(move, code, header_.RegionWidth(), header_.RegionHeight());
}

void TNetyFile::GetStartPosition(TMatrix& matrix) const {
  const std::size_t cells =
      static_cast<std::size_t>(header_.RegionWidth()) * header_.RegionHeight();
  matrix.assign(cells, kCellEmpty);
  const std::size_t n = std::min<std::size_t>({cells, header_.StartSize(), kNetStartCells});
  std::copy_n(header_.Bytes.begin() + kNhStartPosition, n, matrix.begin());
}

std::uint32_t TNetyFile::Identity() const {
  return Crc32(header_.Bytes.data(), kNetHeaderSize);
}

// ---------------------------------------------------------------------------------------------
// Integrity check

namespace {

constexpr std::uint8_t kKindUnknown = 0xFF;
constexpr std::uint32_t kRingBad = 0xFFFFFFFF;
constexpr std::uint32_t kRingOnPath = 0xFFFFFFFE;

struct TPending {
  std::uint32_t index;
  std::uint32_t from;  // the record whose link leads here (0 for the root list)
  TNetRecordKind kind;
};

}  // namespace

TNetCheck CheckNet(TNetyFile& net, std::size_t reportLimit) {
  TNetCheck result;
  const std::uint32_t n = net.NodeCount();
  result.records = n;
  if (n == 0) return result;
  std::vector<std::uint8_t> kind(static_cast<std::size_t>(n) + 1, kKindUnknown);
  std::vector<std::uint8_t> bad(static_cast<std::size_t>(n) + 1, 0);
  auto markBad = [&](std::uint32_t i) {
    if (i != 0 && i <= n) bad[i] = 1;
  };

  // 1. Give every reachable record the kind its links say, checking its check value.
  std::vector<TPending> stack;
  stack.push_back({1, 0, nkNode});
  NetRecord r;
  while (!stack.empty()) {
    const TPending p = stack.back();
    stack.pop_back();
    if (p.index == 0 || p.index > n || !net.ValidIndex(p.index)) {
      markBad(p.from);
      continue;
    }
    if (kind[p.index] != kKindUnknown) {
      if (kind[p.index] != p.kind) markBad(p.index);  // reached as two kinds
      continue;
    }
    kind[p.index] = p.kind;
    net.ReadRecordBytes(p.index, r);
    if (!NetRecordValid(r, p.kind)) markBad(p.index);
    auto follow = [&](std::uint32_t target, TNetRecordKind k) {
      stack.push_back({target, p.index, k});
    };
    if (p.kind == nkNode) {
      if (r.Parent() > n) markBad(p.index);
      if (r.Next() != 0) follow(r.Next(), nkNode);
      const std::uint8_t flags = r.NodeFlags();
      if (flags & nfLink) {
        follow(r.Child(), (flags & nfViaJunction) ? nkJunction : nkNode);
      } else if (flags & nfHasGames) {
        follow(r.Child(), nkGameRef);
      } else if (r.Child() != 0) {
        follow(r.Child(), nkNode);
      }
    } else if (p.kind == nkJunction) {
      if (r.Entry() != 0) follow(r.Entry(), nkNode);
      if (r.SharedChild() != 0) follow(r.SharedChild(), nkNode);
      if (r.Alternate() != 0) follow(r.Alternate(), nkJunction);
    }
  }

  // 2. Rings: every link must reach the member that names the junction, and that junction
  // must give the ring its children. via[i] holds the via member of link i, or kRingBad.
  std::vector<std::uint32_t> via(static_cast<std::size_t>(n) + 1, 0);
  std::vector<std::uint32_t> path;
  NetRecord junction, alternate;
  for (std::uint32_t i = 1; i <= n; ++i) {
    if (kind[i] != nkNode || via[i] != 0) continue;
    net.ReadRecordBytes(i, r);
    if (!(r.NodeFlags() & nfLink)) continue;
    path.clear();
    std::uint32_t current = i;
    std::uint32_t found = kRingBad;
    for (;;) {
      if (current == 0 || current > n || kind[current] != nkNode || via[current] == kRingOnPath)
        break;
      if (via[current] != 0) {
        found = via[current];
        break;
      }
      net.ReadRecordBytes(current, r);
      if (!(r.NodeFlags() & nfLink)) break;
      if (r.NodeFlags() & nfViaJunction) {
        found = current;
        via[current] = current;
        break;
      }
      via[current] = kRingOnPath;
      path.push_back(current);
      current = r.Child();
    }
    for (const std::uint32_t member : path) via[member] = found;
    if (found == kRingBad) {
      for (const std::uint32_t member : path) markBad(member);
      if (path.empty()) markBad(i);
    }
  }
  // The junction test of each link, with the games flag the link has after the walk.
  for (std::uint32_t i = 1; i <= n; ++i) {
    if (kind[i] != nkNode || via[i] == 0 || via[i] == kRingBad) continue;
    net.ReadRecordBytes(i, r);
    NetRecord viaMember;
    net.ReadRecordBytes(via[i], viaMember);
    const bool games = ((r.NodeFlags() | viaMember.NodeFlags()) & nfHasGames) != 0;
    const std::uint32_t j = viaMember.Child();
    if (!net.ValidIndex(j) || kind[j] != nkJunction) {
      markBad(i);
      continue;
    }
    net.ReadRecordBytes(j, junction);
    if (junction.SharedChild() != 0) continue;
    const std::uint32_t a = junction.Alternate();
    if (a == 0 || !games || !net.ValidIndex(a) || kind[a] != nkJunction) {
      markBad(i);
      continue;
    }
    net.ReadRecordBytes(a, alternate);
    if (alternate.Entry() == 0) markBad(i);
  }

  // 3. Records no link leads to must still carry the check value of some kind.
  for (std::uint32_t i = 1; i <= n; ++i) {
    if (kind[i] != kKindUnknown) continue;
    ++result.unreached;
    if (!net.ReadRecordBytes(i, r) || !(NetRecordValid(r, nkNode) || NetRecordValid(r, nkGameRef) ||
                                        NetRecordValid(r, nkJunction)))
      bad[i] = 1;
  }
  for (std::uint32_t i = 1; i <= n; ++i) {
    if (!bad[i]) continue;
    ++result.badRecords;
    if (result.firstBad.size() < reportLimit) result.firstBad.push_back(i);
  }
  return result;
}

}  // namespace kessaro
