#include "platform/CodePage.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <map>
#include <memory>

namespace kessaro {
namespace {

constexpr UChar32 kReplacement = 0xFFFD;

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Opened converters are kept per thread: a converter carries state and is not shareable.
UConverter* Converter(const char* name) {
  thread_local std::map<std::string, ConverterPtr, std::less<>> cache;
  auto it = cache.find(std::string_view(name));
  if (it != cache.end()) return it->second.get();
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr c(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(c.get(), "?", 1, &status);
  return cache.emplace(name, std::move(c)).first->second.get();
}

bool ReadsAsUtf8(std::uint16_t language, std::string_view bytes) {
  return std::string_view(CodePageName(language)) == "windows-1252" && IsValidUtf8(bytes);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out(utf8.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                       static_cast<int32_t>(utf8.size()), kReplacement, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3 + 1, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                     static_cast<int32_t>(text.size()), kReplacement, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace

const char* CodePageName(std::uint16_t language) {
  switch (language) {
    case 1041:
      return "windows-932";
    case 1042:
      return "windows-949";
    case 1028:
      return "GBK";
    case 1049:
      return "windows-1251";
    default:
      return "windows-1252";
  }
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) lo = 0xA0;  // no overlong forms
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (n - i <= static_cast<std::size_t>(extra)) return false;
    if (s[i + 1] < lo || s[i + 1] > hi) return false;
    for (int k = 2; k <= extra; ++k)
      if (s[i + k] < 0x80 || s[i + k] > 0xBF) return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

std::u16string ToUtf16(std::uint16_t language, std::string_view bytes) {
  if (bytes.empty()) return {};
  if (ReadsAsUtf8(language, bytes)) return Utf8ToUtf16(bytes);
  UConverter* c = Converter(CodePageName(language));
  if (!c) return {};
  std::u16string out(bytes.size() * 2 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(c, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    length = ucnv_toUChars(c, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                           static_cast<int32_t>(bytes.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string ToUtf8(std::uint16_t language, std::string_view bytes) {
  if (ReadsAsUtf8(language, bytes)) return std::string(bytes);
  return Utf16ToUtf8(ToUtf16(language, bytes));
}

std::string FromUtf8(std::uint16_t language, std::string_view utf8) {
  if (utf8.empty()) return {};
  if (std::string_view(CodePageName(language)) == "windows-1252")
    return IsValidUtf8(utf8) ? std::string(utf8) : Utf16ToUtf8(Utf8ToUtf16(utf8));
  UConverter* c = Converter(CodePageName(language));
  if (!c) return {};
  const std::u16string text = Utf8ToUtf16(utf8);
  std::string out(text.size() * 2 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_fromUChars(c, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                   static_cast<int32_t>(text.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    length = ucnv_fromUChars(c, out.data(), static_cast<int32_t>(out.size()), text.data(),
                             static_cast<int32_t>(text.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

bool IsKnownCharset(std::string_view charset) {
  if (charset.empty() || charset.size() > 64) return false;
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr c(ucnv_open(std::string(charset).c_str(), &status));
  if (U_FAILURE(status) || c == nullptr || ucnv_getMinCharSize(c.get()) != 1) return false;
  // The file's own syntax is ASCII, so only a set that keeps ASCII as it is can be the set of
  // its texts; EBCDIC and the like would turn delimiters and blanks into other characters.
  char ascii[0x7F - 0x20];
  for (int i = 0; i < 0x7F - 0x20; ++i) ascii[i] = static_cast<char>(0x20 + i);
  UChar converted[0x7F - 0x20];
  status = U_ZERO_ERROR;
  const std::int32_t length =
      ucnv_toUChars(c.get(), converted, 0x7F - 0x20, ascii, 0x7F - 0x20, &status);
  if (U_FAILURE(status) || length != 0x7F - 0x20) return false;
  for (int i = 0; i < 0x7F - 0x20; ++i)
    if (converted[i] != static_cast<UChar>(0x20 + i)) return false;
  return true;
}

std::optional<std::string> CharsetToUtf8(std::string_view charset, std::string_view bytes) {
  if (!IsKnownCharset(charset)) return std::nullopt;
  if (bytes.empty()) return std::string();
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr c(ucnv_open(std::string(charset).c_str(), &status));
  if (U_FAILURE(status)) return std::nullopt;
  // Every invalid or unmapped sequence becomes U+FFFD, whatever the set's own substitute.
  status = U_ZERO_ERROR;
  ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
  std::u16string out;
  out.reserve(bytes.size() + 1);
  const char* source = bytes.data();
  const char* const sourceEnd = source + bytes.size();
  char16_t buffer[1024];
  do {
    UChar* target = reinterpret_cast<UChar*>(buffer);
    status = U_ZERO_ERROR;
    ucnv_toUnicode(c.get(), &target, target + 1024, &source, sourceEnd, nullptr, true, &status);
    out.append(buffer, static_cast<std::size_t>(reinterpret_cast<char16_t*>(target) - buffer));
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  if (U_FAILURE(status)) return std::nullopt;
  for (auto& ch : out)
    if (ch == 0x1A) ch = static_cast<char16_t>(kReplacement);  // a set whose substitute is SUB
  return Utf16ToUtf8(out);
}

}  // namespace kessaro
