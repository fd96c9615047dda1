#pragma once
#include <string>
#include <string_view>

namespace brivel {

// Text operations that look only at ASCII: every other byte, those of UTF-8
// sequences included, stays as it is, whatever the process's locale.

// Removes leading and trailing characters of code 32 or lower (blanks, tabs,
// line breaks and the other control characters).
std::string TrimControl(const std::string& text);

// Upper- or lower-cases the letters a to z only.
inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string UpperAscii(std::string text);
std::string LowerAscii(std::string text);

// Same text with the letters a to z compared without case.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace brivel
