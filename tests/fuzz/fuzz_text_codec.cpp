// The UTF-8 / UTF-16 codec over arbitrary bytes, read both as UTF-8 and as UTF-16 code units.
#include "FuzzCheck.h"

#include "core/Error.h"
#include "core/TextCodec.h"

#include <cstdint>
#include <cstring>

using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<std::u16string> strict = fuzz::StrictUtf8ToUtf16(bytes);

    // UTF-8 to UTF-16: invalid input is refused or replaced, never decoded into something else.
    std::u16string wide;
    bool refused = false;
    try {
        wide = brivel::Utf8ToUtf16(bytes);
    } catch (const brivel::Error&) {
        refused = true;
    }
    if (refused) {
        Require(!strict, "valid UTF-8 refused");
    } else {
        Require(fuzz::IsWellFormedUtf16(wide), "UTF-8 decoded into a lone surrogate");
        Require(fuzz::AsciiOf(wide) == fuzz::AsciiOf(bytes), "UTF-8 decoding created or lost ASCII characters");
        if (strict) {
            Require(wide == *strict, "valid UTF-8 decoded wrongly");
            Require(brivel::Utf16ToUtf8(wide) == bytes, "valid UTF-8 did not survive UTF-16 and back");
        }
    }

    // UTF-16 to UTF-8: a lone surrogate is refused or replaced; the result is always valid UTF-8.
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    std::string narrow;
    refused = false;
    try {
        narrow = brivel::Utf16ToUtf8(units);
    } catch (const brivel::Error&) {
        refused = true;
    }
    if (refused) {
        Require(!fuzz::IsWellFormedUtf16(units), "well-formed UTF-16 refused");
    } else {
        const std::optional<std::u16string> back = fuzz::StrictUtf8ToUtf16(narrow);
        Require(back.has_value(), "UTF-16 encoded into invalid UTF-8");
        Require(fuzz::AsciiOf(narrow) == fuzz::AsciiOf(units), "UTF-16 encoding created or lost ASCII characters");
        if (fuzz::IsWellFormedUtf16(units))
            Require(*back == units, "well-formed UTF-16 did not survive UTF-8 and back");
    }
    return 0;
}
