#include "core/AsciiText.h"

namespace brivel {

std::string TrimControl(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.substr(begin, end - begin);
}

std::string UpperAscii(std::string text)
{
    for (char& c : text)
        c = UpperAscii(c);
    return text;
}

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        c = LowerAscii(c);
    return text;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

} // namespace brivel
