// The application object: one per process, created before start-up.
#pragma once

#include <windows.h>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The window that owns the application's message boxes; null until a mode
    // opens one.
    HWND MainWindow() const { return mainWindow_; }
    void SetMainWindow(HWND window) { mainWindow_ = window; }

    // The application object of this process, or null.
    static CWinApp* Current();

private:
    HWND mainWindow_ = nullptr;
};

// The main window of the current application object, or null.
HWND AppMainWindow();
