#pragma once
// The error word of the stored-format classes. No file class throws: each failure sets a bit,
// TakeErrors returns and clears the word, and an object that owns others adds their bits to
// its own. The file bits mean the same everywhere; a few low and high bits are the owner's
// own and mean different things in a sort index and in a string base, so ErrorText is told
// whose word it reads.

#include <cstdint>
#include <string>

namespace kessaro {

// Every file class.
constexpr std::uint32_t ErrIO = 0x80000000;
constexpr std::uint32_t ErrFormat = 0x40000000;
constexpr std::uint32_t ErrCorrupt = 0x20000000;
constexpr std::uint32_t ErrMapping = 0x08000000;
constexpr std::uint32_t ErrNoObject = 0x04000000;
constexpr std::uint32_t ErrBitsRange = 0x02000000;  // a bit field asked for a bit past its end
constexpr std::uint32_t ErrLayout = 0x01000000;
constexpr std::uint32_t ErrBrokenLink = 0x00000001;  // nets and what walks them

// A sort index: the stored layout offsets disagree with the name length and the entry count.
constexpr std::uint32_t ErrSortLayout = 0x10000000;

// A string base.
constexpr std::uint32_t ErrOpenFailed = 0x10000000;
constexpr std::uint32_t ErrCountMismatch = 0x00000008;
constexpr std::uint32_t ErrTooLong = 0x00000001;

// Whose error word ErrorText reads: the owner's own bits share values.
enum TErrorOwner : std::uint8_t { eoFile, eoSortIndex, eoStringBase };

// The set bits in words, highest bit first, joined by "; " ("no error" for none); bits the
// owner does not use are shown as a hexadecimal remainder.
std::string ErrorText(std::uint32_t bits, TErrorOwner owner = eoFile);

}  // namespace kessaro
