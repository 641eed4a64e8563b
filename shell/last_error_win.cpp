#include "shell/last_error.h"

#include <windows.h>

std::string LastErrorText()
{
    DWORD code = GetLastError();
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<char*>(&text), 0, nullptr);
    if (n == 0 || !text)
        return "Unknown error " + std::to_string(code);
    std::string result(text, n);
    LocalFree(text);
    // System messages end in CR LF.
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
}
