#include "storage/Errors.h"

#include <cstdio>

namespace kessaro {
namespace {

constexpr std::uint8_t kFile = 1 << eoFile;
constexpr std::uint8_t kSort = 1 << eoSortIndex;
constexpr std::uint8_t kStrings = 1 << eoStringBase;
constexpr std::uint8_t kEvery = kFile | kSort | kStrings;

// Highest bit first; a bit the owners share has one row, an owner's own bit one per meaning.
constexpr struct {
  std::uint32_t Bit;
  std::uint8_t Owners;
  const char* Text;
} kWords[] = {
    {ErrIO, kEvery, "input/output error"},
    {ErrFormat, kEvery, "not a valid file of its kind (wrong signature or truncated)"},
    {ErrCorrupt, kEvery, "checksum mismatch"},
    {ErrSortLayout, kSort, "layout offsets disagree with the name and entry count"},
    {ErrOpenFailed, kStrings, "a file of the string base could not be opened or created"},
    {ErrMapping, kEvery, "cannot map the file"},
    {ErrNoObject, kEvery, "no object"},
    {ErrBitsRange, kEvery, "bit index out of range"},
    {ErrLayout, kEvery, "stored section offsets disagree with the header"},
    {ErrCountMismatch, kStrings,
     "the tag file counts a different number of strings than the header"},
    {ErrBrokenLink, kFile, "a record link leads nowhere"},
    {ErrTooLong, kStrings, "a string set of 64 KiB or more was not written"},
};

}  // namespace

std::string ErrorText(std::uint32_t bits, TErrorOwner owner) {
  if (bits == 0) return "no error";
  std::string text;
  const auto add = [&text](const char* words) {
    if (!text.empty()) text += "; ";
    text += words;
  };
  std::uint32_t left = bits;
  for (const auto& w : kWords) {
    if (!(left & w.Bit) || !(w.Owners & (1u << owner))) continue;
    add(w.Text);
    left &= ~w.Bit;
  }
  if (left != 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "unknown error bits %08X", static_cast<unsigned>(left));
    add(buffer);
  }
  return text;
}

}  // namespace kessaro
