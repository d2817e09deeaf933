#pragma once
// Data texts are stored as bytes in the code page of their language. These conversions are the
// boundary to UTF-8 (terminal, front end) and UTF-16 (collation).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kessaro {

// The ICU converter name of a language's code page: "windows-932" for 1041, "windows-949" for
// 1042, "GBK" for 1028, "windows-1251" for 1049, "windows-1252" for every other language.
const char* CodePageName(std::uint16_t language);

bool IsValidUtf8(std::string_view bytes);

// Stored bytes to UTF-8. Language 0 and every language without a code page of its own (1033
// included) keep bytes that are valid UTF-8 and read the others as Windows-1252. Bytes that the
// code page does not map become U+FFFD.
std::string ToUtf8(std::uint16_t language, std::string_view bytes);
// The same reading, as UTF-16.
std::u16string ToUtf16(std::uint16_t language, std::string_view bytes);

// UTF-8 to stored bytes. Languages read as UTF-8-or-Windows-1252 store UTF-8 unchanged (it
// reads back as itself); the others encode in their code page, with "?" for characters the
// code page lacks. Malformed UTF-8 input becomes U+FFFD before encoding.
std::string FromUtf8(std::uint16_t language, std::string_view utf8);

// Bytes in a character set named as ICU knows it ("UTF-8", "Shift_JIS", "EUC-KR", "GB18030",
// "Big5", "ISO-8859-1", and their aliases) to UTF-8; bytes that are invalid in that set become
// U+FFFD. Nothing when ICU does not know the name or the set does not keep ASCII as it is.
std::optional<std::string> CharsetToUtf8(std::string_view charset, std::string_view bytes);
bool IsKnownCharset(std::string_view charset);

}  // namespace kessaro
