#include "script/vm/ansi.h"

#include <array>

namespace zelph {
namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined
// map to the C1 control of the same number, as Windows maps them.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ByteToUnit(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char16_t>(b);
}

char UnitToByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::string WideToAnsi(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out.push_back(UnitToByte(c));
    return out;
}

std::u16string AnsiToWide(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(ByteToUnit(static_cast<unsigned char>(c)));
    return out;
}

} // namespace zelph
