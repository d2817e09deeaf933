#pragma once
// The fixed header every database file begins with ends in the CRC-16 of the bytes before it,
// stored little-endian. One set of helpers reads, verifies and seals such an image, whatever
// its size. It sits beside the checksums it needs (a type belongs on the floor of what it
// uses); the file it reads from is any class with the positioned Read and Write of the file
// maps.

#include <algorithm>
#include <cstdint>
#include <span>

#include "board/CheckSum.h"
#include "storage/ByteOrder.h"
#include "storage/Errors.h"

namespace kessaro {

// The checksum the image should carry: the CRC-16 of all but its last two bytes.
inline std::uint16_t HeaderCheck(std::span<const std::uint8_t> image) {
  return Crc16(image.data(), image.size() - 2);
}

// The checksum the image carries.
inline std::uint16_t StoredHeaderCheck(std::span<const std::uint8_t> image) {
  return LoadLE16(image.data() + image.size() - 2);
}

inline bool HeaderIntact(std::span<const std::uint8_t> image) {
  return StoredHeaderCheck(image) == HeaderCheck(image);
}

// Stores the image's checksum in its last two bytes.
inline void SealHeader(std::span<std::uint8_t> image) {
  StoreLE16(image.data() + image.size() - 2, HeaderCheck(image));
}

// Reads the image from data offset 0 of the file; true when its checksum holds. A read the
// file cannot serve yields zeros (and its own error bits), which do not verify.
template <class TFile>
bool ReadSealedHeader(TFile& file, std::span<std::uint8_t> image) {
  file.Read(image.data(), 0, static_cast<std::uint32_t>(image.size()));
  return HeaderIntact(image);
}

// Loads the header of a file just opened: the image is zero when the file is too short to
// hold it (ErrFormat); a checksum that does not hold marks the file corrupt. True when the
// header is whole and intact.
template <class TFile>
bool LoadSealedHeader(TFile& file, std::span<std::uint8_t> image) {
  std::fill(image.begin(), image.end(), std::uint8_t{0});
  if (file.DataSize() < image.size()) {
    file.AddErrors(ErrFormat);
    return false;
  }
  if (ReadSealedHeader(file, image)) return true;
  file.MarkCorrupt();
  return false;
}

// Seals the image and writes it at data offset 0 of the file.
template <class TFile>
void WriteSealedHeader(TFile& file, std::span<std::uint8_t> image) {
  SealHeader(image);
  file.Write(image.data(), 0, static_cast<std::uint32_t>(image.size()));
}

}  // namespace kessaro
