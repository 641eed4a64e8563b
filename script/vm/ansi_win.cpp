#include "script/vm/ansi.h"

#include <windows.h>

namespace zelph {

std::string WideToAnsi(std::u16string_view text)
{
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int wideSize = static_cast<int>(text.size());
    // No best-fit mapping: a character the code page lacks becomes "?", never a
    // look-alike.
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, wideSize, nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, wideSize, out.data(), size, "?", nullptr);
    return out;
}

std::u16string AnsiToWide(std::string_view text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

} // namespace zelph
