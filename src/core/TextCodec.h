#pragma once
#include <string>
#include <string_view>

namespace brivel {

// Conversions between the core's UTF-8 text and the encodings of files and Windows APIs.
//
// Only well-formed UTF-8 is decoded: overlong forms, surrogates (U+D800..U+DFFF),
// code points above U+10FFFF and truncated sequences each become U+FFFD, so that
// no byte sequence can turn into a character (a line feed, a brace) that a check
// on the bytes did not see.
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

// The offset of the first byte that is not part of well-formed UTF-8, or npos.
size_t InvalidUtf8At(std::string_view text);
inline bool IsValidUtf8(std::string_view text) { return InvalidUtf8At(text) == std::string_view::npos; }

} // namespace brivel
