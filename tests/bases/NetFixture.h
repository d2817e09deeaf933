#pragma once
// Net files written byte by byte, independently of the net file class: the header fields at
// their offsets, each record sealed with CRC-16 XOR its kind.

#include <cstdint>
#include <string>
#include <vector>

#include "board/CheckSum.h"
#include "support/ByteFixtures.h"

namespace kessaro::test {

class TNetBytes {
 public:
  static constexpr std::size_t kHeader = 2349;
  static constexpr std::size_t kRecordBase = 4 + 2329;  // file offset of record 0

  TNetBytes(std::uint32_t nodeCount, int kind = 3, int width = 5, int height = 5)
      : bytes_(kRecordBase + 20 * (nodeCount + 1), 0) {
    bytes_[0] = 0xC3;  // signature 39611331
    bytes_[1] = 0x6B;
    bytes_[2] = 0x5C;
    bytes_[3] = 0x02;
    PutLE32(bytes_, 4 + 16, nodeCount);
    bytes_[4 + 76] = 0x01;
    bytes_[4 + 77] = static_cast<std::uint8_t>(kind);
    bytes_[4 + 78] = static_cast<std::uint8_t>(width);
    bytes_[4 + 79] = static_cast<std::uint8_t>(height);
    PutLE32(bytes_, 4 + 81, static_cast<std::uint32_t>(width * height));
  }

  void Description(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
      bytes_[4 + 1347 + i] = static_cast<std::uint8_t>(text[i]);
  }
  void StartCell(int index, std::uint8_t value) {
    bytes_[4 + 85 + static_cast<std::size_t>(index)] = value;
  }

  void Node(std::uint32_t i, std::uint32_t parent, std::uint32_t next, std::uint32_t child,
            std::uint16_t move, std::uint8_t flags = 0, std::uint8_t annotation = 0) {
    const std::size_t at = Record(i);
    PutLE32(bytes_, at, parent);
    PutLE32(bytes_, at + 4, next);
    PutLE32(bytes_, at + 8, child);
    PutLE16(bytes_, at + 14, move);
    bytes_[at + 16] = annotation;
    bytes_[at + 17] = flags;
    Seal(i, 0);
  }
  void GameRef(std::uint32_t i, std::uint32_t gameId, std::int16_t contIndex) {
    const std::size_t at = Record(i);
    PutLE32(bytes_, at + 4, gameId);
    PutLE16(bytes_, at + 10, static_cast<std::uint16_t>(contIndex));
    bytes_[at + 16] = 19;
    Seal(i, 1);
  }
  void Junction(std::uint32_t i, std::uint32_t entry, std::uint32_t shared,
                std::uint32_t alternate = 0) {
    const std::size_t at = Record(i);
    PutLE32(bytes_, at + 4, entry);
    PutLE32(bytes_, at + 8, shared);
    PutLE32(bytes_, at + 12, alternate);
    Seal(i, 2);
  }

  static std::size_t Record(std::uint32_t i) {
    return kRecordBase + 20 * static_cast<std::size_t>(i);
  }

  TBytes Image() {
    PutLE16(bytes_, 4 + 2347, Crc16(bytes_.data() + 4, 2347));
    return bytes_;
  }
  std::string Write(const std::string& name) {
    const std::string path = TempPath(name);
    WriteFileBytes(path, Image());
    return path;
  }

 private:
  void Seal(std::uint32_t i, std::uint16_t kind) {
    const std::size_t at = Record(i);
    PutLE16(bytes_, at + 18, static_cast<std::uint16_t>(Crc16(bytes_.data() + at, 18) ^ kind));
  }
  TBytes bytes_;
};

// A small net with every kind of link. Root list 1, 2. Node 1's child 3 is a ring member
// whose ring continues at 4; node 2's child 4 names junction 5, whose shared child 6 has
// games (game reference 7) and a sibling 8.
inline TNetBytes SmallNet() {
  TNetBytes n(8);
  n.Description("corner joseki");
  n.Node(1, 0, 2, 3, 0x0303);
  n.Node(2, 0, 0, 4, 0x0203);
  n.Node(3, 1, 0, 4, 0x8202, 0x20);
  n.Node(4, 2, 0, 5, 0x8303, 0x30 | 0x01);
  n.Junction(5, 3, 6);
  n.Node(6, 4, 8, 7, 0x0404, 0x80, 2 * 13 + 1);
  n.GameRef(7, 0xD0000005, 12);
  n.Node(8, 4, 0, 0, 0x0402);
  return n;
}

}  // namespace kessaro::test
