#include "core/TextCodec.h"

namespace brivel {

namespace {
void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one character at s[i]. On well-formed input returns true with the code
// point and its length; otherwise false, with `len` the bytes to skip: the
// longest prefix that could have begun a valid sequence, at least one (the
// "maximal subpart" practice of the Unicode standard, chapter 3).
bool DecodeOne(std::string_view s, size_t i, char32_t& cp, size_t& len)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    len = 1;
    if (c < 0x80) {
        cp = c;
        return true;
    }
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        need = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 3;
        cp = c & 0x0F;
        if (c == 0xE0)
            lo = 0xA0;  // below: overlong
        else if (c == 0xED)
            hi = 0x9F;  // above: surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 4;
        cp = c & 0x07;
        if (c == 0xF0)
            lo = 0x90;  // below: overlong
        else if (c == 0xF4)
            hi = 0x8F;  // above: beyond U+10FFFF
    } else {
        return false;  // a continuation byte, C0/C1 (always overlong) or F5..FF
    }
    for (size_t k = 1; k < need; ++k) {
        if (i + k >= s.size())
            return false;  // truncated
        const unsigned char cc = static_cast<unsigned char>(s[i + k]);
        const unsigned char min = k == 1 ? lo : 0x80, max = k == 1 ? hi : 0xBF;
        if (cc < min || cc > max)
            return false;
        cp = (cp << 6) | (cc & 0x3F);
        len = k + 1;
    }
    len = need;
    return true;
}
} // namespace

size_t InvalidUtf8At(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        size_t len = 0;
        if (!DecodeOne(s, i, cp, len))
            return i;
        i += len;
    }
    return std::string_view::npos;
}

std::u16string Utf8ToUtf16(const std::string& s)
{
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        size_t len = 0;
        if (!DecodeOne(s, i, cp, len))
            cp = 0xFFFD;
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

} // namespace brivel
