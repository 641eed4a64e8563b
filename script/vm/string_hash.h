// The string hash shared by the Atom table, the compiler's keyword table, symbol
// scopes and constant pool: h = (h << 5) ^ (h >> 7) ^ (h >> 16) ^ byte, from 0.
#pragma once

#include <cstdint>
#include <string_view>

namespace zelph {

inline std::uint32_t StringHash(std::string_view text)
{
    std::uint32_t h = 0;
    for (unsigned char c : text)
        h = (h >> 7) ^ (h >> 16) ^ c ^ (h << 5);
    return h;
}

} // namespace zelph
