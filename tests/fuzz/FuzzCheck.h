#pragma once
// Helpers shared by the libFuzzer targets: a failed property aborts with its
// reason, so libFuzzer saves the input and the run fails.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <type_traits>
#include <string>

namespace fuzz {

[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "\nProperty failed: %s\n", what);
    std::abort();
}

inline void Require(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// Strict UTF-8 (RFC 3629): shortest forms only, no surrogates, nothing above
// U+10FFFF. Written here independently of the codec under test.
inline std::optional<std::u16string> StrictUtf8ToUtf16(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len;
        char32_t cp, min;
        if (c < 0x80) {
            len = 1, cp = c, min = 0;
        } else if (c >= 0xC0 && c < 0xE0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c < 0xF0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c < 0xF8) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + len > s.size())
            return std::nullopt;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

// No lone surrogate.
inline bool IsWellFormedUtf16(const std::u16string& s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] >= 0xD800 && s[i] <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// The ASCII characters of a text, in order: a decoder may replace a bad sequence,
// but never turn it into ASCII (a line break, a brace, a quote) nor swallow ASCII.
template <class Text>
std::string AsciiOf(const Text& text)
{
    std::string out;
    for (auto c : text)
        if (static_cast<std::make_unsigned_t<decltype(c)>>(c) < 0x80)
            out += static_cast<char>(c);
    return out;
}

} // namespace fuzz
