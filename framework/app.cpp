#include "framework/app.h"

namespace {
CWinApp* current = nullptr;
}

CWinApp::CWinApp()
{
    // Exactly one application object may exist at a time.
    if (!current)
        current = this;
}

CWinApp::~CWinApp()
{
    if (current == this)
        current = nullptr;
}

CWinApp* CWinApp::Current()
{
    return current;
}

HWND AppMainWindow()
{
    return current ? current->MainWindow() : nullptr;
}
