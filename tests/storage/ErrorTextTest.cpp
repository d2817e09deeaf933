// Error words: every bit of every owner named, shared values read by whose word it is, and
// bits an owner does not use shown rather than dropped.
#include <gtest/gtest.h>

#include "storage/Errors.h"

namespace kessaro {
namespace {

TEST(ErrorText, NamesTheBitsOfEachOwner) {
  struct Case {
    std::uint32_t bits;
    TErrorOwner owner;
    const char* text;
  } const cases[] = {
      {0, eoFile, "no error"},
      {ErrIO, eoFile, "input/output error"},
      {ErrFormat, eoStringBase, "not a valid file of its kind (wrong signature or truncated)"},
      {ErrCorrupt, eoSortIndex, "checksum mismatch"},
      {ErrMapping, eoFile, "cannot map the file"},
      {ErrNoObject, eoFile, "no object"},
      {ErrBitsRange, eoFile, "bit index out of range"},
      {ErrLayout, eoFile, "stored section offsets disagree with the header"},
      {ErrBrokenLink, eoFile, "a record link leads nowhere"},
      // 0x10000000 and 0x00000001 mean what the owner says they mean.
      {0x10000000, eoSortIndex, "layout offsets disagree with the name and entry count"},
      {0x10000000, eoStringBase, "a file of the string base could not be opened or created"},
      {0x00000001, eoStringBase, "a string set of 64 KiB or more was not written"},
      {ErrCountMismatch, eoStringBase,
       "the tag file counts a different number of strings than the header"},
      // Several bits, highest first.
      {ErrIO | ErrCorrupt | ErrBrokenLink, eoFile,
       "input/output error; checksum mismatch; a record link leads nowhere"},
      {ErrOpenFailed | ErrCorrupt, eoStringBase,
       "checksum mismatch; a file of the string base could not be opened or created"},
      // A bit the owner never sets is not given another owner's meaning.
      {0x10000000, eoFile, "unknown error bits 10000000"},
      {ErrCorrupt | 0x00000001 | 0x00000004, eoSortIndex,
       "checksum mismatch; unknown error bits 00000005"},
      {0xFFFFFFFF, eoFile,
       "input/output error; not a valid file of its kind (wrong signature or truncated); "
       "checksum mismatch; cannot map the file; no object; bit index out of range; stored "
       "section offsets disagree with the header; a record link leads nowhere; unknown error "
       "bits 10FFFFFE"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorText(c.bits, c.owner), c.text) << std::hex << c.bits << " owner " << +c.owner;
}

}  // namespace
}  // namespace kessaro
