// Shows a shell failure to the user.
#pragma once

class CException;

// A message box owned by the application's main window, with the exception's
// text (as read into a 260-byte buffer), the main window's title as caption, the
// error icon and an OK button. Without a main window nothing is shown.
void ReportError(const CException& error);
