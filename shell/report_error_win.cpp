#include "shell/report_error.h"
#include "shell/report_error_win.h"

#include "framework/app.h"
#include "framework/exception.h"

#include <windows.h>

namespace {
ErrorBoxHook errorBoxHook = nullptr;
}

void SetErrorBoxHook(ErrorBoxHook hook)
{
    errorBoxHook = hook;
}

void ReportError(const CException& error)
{
    HWND owner = AppMainWindow();
    if (!owner)
        return;
    std::string text = error.ErrorMessage(260);
    char caption[260] = {};
    GetWindowTextA(owner, caption, sizeof caption);
    if (errorBoxHook)
        errorBoxHook(text, caption);
    else
        MessageBoxA(owner, text.c_str(), caption, MB_OK | MB_ICONERROR);
}
