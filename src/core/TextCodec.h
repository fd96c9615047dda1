#pragma once
#include <string>

namespace brivel {

// Conversions between the core's UTF-8 text and the encodings of files and Windows APIs.
// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

} // namespace brivel
