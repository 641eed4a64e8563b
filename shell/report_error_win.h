// Test seam of ReportError: when a hook is set, it receives the text and caption
// instead of a message box being shown (only when there is a main window).
#pragma once

#include <string>

using ErrorBoxHook = void (*)(const std::string& text, const std::string& caption);
void SetErrorBoxHook(ErrorBoxHook hook);
