// Conversions between UTF-16 and 8-bit text in the ANSI code page. On Windows
// that is the system's ANSI code page; elsewhere it is Windows-1252 (the code
// page the Windows builds are tested with). Code units the code page cannot
// represent become "?" on both. The ASCII range maps to itself everywhere.
#pragma once

#include <string>
#include <string_view>

namespace zelph {

std::string WideToAnsi(std::u16string_view text);
std::u16string AnsiToWide(std::string_view text);

} // namespace zelph
